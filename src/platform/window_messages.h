#pragma once
// Window messages: numbered notifications (message, wParam, lParam) carried between windows and
// threads as Qt events. A receiver overrides QObject::event() and handles WindowMessageEvent.

#include <QEvent>
#include <QObject>
#include <cstdint>

namespace qvmsg {
constexpr int kUser = 1024;
constexpr int kNewFrame = kUser + 200;           // 1224 frame filter -> video item
constexpr int kSetWorkMode = kUser + 202;        // 1226 wParam 0 live, 1 picture
constexpr int kButtonClicked = kUser + 203;      // 1227 wParam control id
constexpr int kOptionChanged = kUser + 204;      // 1228 wParam item id, lParam new state
constexpr int kNumberEditChanged = kUser + 205;  // 1229 wParam the edit
constexpr int kInputEditEnter = kUser + 206;     // 1230 Enter released in an input edit
constexpr int kListOrderChanged = kUser + 207;   // 1231 list order may have changed
constexpr int kAutoCropChanged = kUser + 208;    // 1232 wParam the new state
}  // namespace qvmsg

using WParam = uintptr_t;
using LParam = intptr_t;

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(int message, WParam wParam, LParam lParam);
    static QEvent::Type EventType();

    int message;
    WParam wParam;
    LParam lParam;
    LParam result = 0;  // set by the receiver; returned by SendWindowMessage
};

// Queues the message to the receiver's thread; safe from any thread. False when target is null.
bool PostWindowMessage(QObject* target, int message, WParam wParam, LParam lParam);

// Delivers the message and returns the receiver's result. On the receiver's own thread the
// event is dispatched at once; from another thread the caller blocks until it was handled.
LParam SendWindowMessage(QObject* target, int message, WParam wParam, LParam lParam);
