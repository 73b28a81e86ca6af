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
    SetDefaultConfirmHandler([](const QString& text, const QString& caption) {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                        QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok;
    });
}
