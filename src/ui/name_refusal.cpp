#include "ui/name_refusal.h"

#include <QLineEdit>
#include <QWidget>

#include "platform/message_box.h"
#include "platform/name_rules.h"

bool RefuseNamePrefix(QWidget* dialog, QLineEdit* edit, const QString& caption) {
    const QString problem = NamePrefixProblem(edit->text());
    if (problem.isEmpty()) {
        return false;
    }
    QvMessageBox(problem, caption, MessageIcon::kError);
    dialog->activateWindow();  // back from the message box, typing goes on in the name
    edit->setFocus();
    edit->selectAll();
    return true;
}
