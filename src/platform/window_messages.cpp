#include "platform/window_messages.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

WindowMessageEvent::WindowMessageEvent(int message, WParam wParam, LParam lParam)
    : QEvent(EventType()), message(message), wParam(wParam), lParam(lParam) {}

QEvent::Type WindowMessageEvent::EventType() {
    // Registered once for the whole process; thread-safe through the static's initialisation.
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PostWindowMessage(QObject* target, int message, WParam wParam, LParam lParam) {
    if (target == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(target, new WindowMessageEvent(message, wParam, lParam));
    return true;
}

LParam SendWindowMessage(QObject* target, int message, WParam wParam, LParam lParam) {
    if (target == nullptr) {
        return 0;
    }
    WindowMessageEvent event(message, wParam, lParam);
    if (target->thread() == QThread::currentThread()) {
        QCoreApplication::sendEvent(target, &event);
        return event.result;
    }
    // A blocking queued call runs the delivery on the receiver's thread and waits for it; it is
    // only taken when the receiver lives on another thread, where it cannot deadlock on itself.
    QMetaObject::invokeMethod(
        target, [target, &event] { QCoreApplication::sendEvent(target, &event); },
        Qt::BlockingQueuedConnection);
    return event.result;
}
