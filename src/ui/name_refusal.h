#pragma once
// A naming dialog's check of the name typed in its edit (platform/name_rules.h): a refused
// name is explained in a message captioned with the dialog's title, and the typing goes on in
// the edit with the name selected.

#include <QString>

class QLineEdit;
class QWidget;

// True when the edit's name was refused (the dialog must stay open).
bool RefuseNamePrefix(QWidget* dialog, QLineEdit* edit, const QString& caption);
