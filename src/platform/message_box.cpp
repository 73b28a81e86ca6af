#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
}  // namespace

void QvMessageBox(const QString& text, const QString& caption, MessageIcon icon) {
    if (Handler()) {
        Handler()(text, caption, icon);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No window system (a core-only process): the message still reaches the user.
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return;
    }
    QMessageBox box(icon == MessageIcon::kError ? QMessageBox::Critical : QMessageBox::NoIcon,
                    caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}
