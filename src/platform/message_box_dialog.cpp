#include "platform/message_box_dialog.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/message_box.h"

void InstallMessageBoxDialog() {
    SetDefaultMessageBoxHandler([](const QString& text, const QString& caption, MessageIcon icon) {
        QMessageBox box(icon == MessageIcon::kError ? QMessageBox::Critical : QMessageBox::NoIcon,
                        caption, text, QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    });
    SetDefaultQuestionBoxHandler([](const QString& text, const QString& caption) {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    });
}
