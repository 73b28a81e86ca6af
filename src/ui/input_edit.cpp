#include "ui/input_edit.h"

#include <QFont>
#include <QKeyEvent>

#include "platform/window_messages.h"

CInputEdit::CInputEdit(QWidget* parent) : QLineEdit(parent) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    setFont(font);
}

void CInputEdit::keyReleaseEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() && parentWidget() != nullptr) {
        SendWindowMessage(parentWidget(), qvmsg::kInputEditEnter, 0, 0);
    }
    QLineEdit::keyReleaseEvent(event);
}
