#pragma once
// The dialogs' general button: the main window's skins 211, 210 and 202 (normal, hover,
// pressed; 80 x 30) with a white label centred on it. Without a main window the button keeps
// the skins' size and draws nothing.

#include <QString>

class CQVButton;
class QWidget;

CQVButton* MakeGeneralButton(QWidget* parent, int controlId, const QString& text);
