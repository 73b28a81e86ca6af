#include "ui/input_edit.h"

#include <QKeyEvent>

#include "platform/font_faces.h"
#include "platform/window_messages.h"

CInputEdit::CInputEdit(QWidget* parent) : QLineEdit(parent) {
    setFont(QvFont(QStringLiteral("宋体"), 12, 400));
}

void CInputEdit::keyReleaseEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() && parentWidget() != nullptr) {
        SendWindowMessage(parentWidget(), qvmsg::kInputEditEnter, 0, 0);
    }
    QLineEdit::keyReleaseEvent(event);
}
