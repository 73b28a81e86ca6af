#include "capture/video_item.h"

#include <QMouseEvent>

#include "app/main_window_services.h"

namespace {
CVideoItem* g_current = nullptr;
}

CVideoItem::CVideoItem(QWidget* parent) : CPicture(parent), mailbox_(this) {
    g_current = this;
    CFrameMailbox::SetCurrent(&mailbox_);
}

CVideoItem::~CVideoItem() {
    // The streaming thread stops writing before the mailbox and the engine go away.
    CFrameMailbox::SetCurrent(nullptr);
    deviceSet.DestroyEngines();
    if (g_current == this)
        g_current = nullptr;
}

CVideoItem* CVideoItem::Current() {
    return g_current;
}

void CVideoItem::Open(QWidget* parent) {
    SetDarkBackground(true);
    if (!parent)
        return;
    setParent(parent);
    setGeometry(0, 0, 200, 200);
    setFocusPolicy(Qt::ClickFocus);
    show();
    deviceSet.CreateEngine();
    MainWindowServices* main = TheMainWindow();
    if (main && main->StoredVideoWidth() > 0 && main->StoredVideoHeight() > 0)
        deviceSet.ChangeOutputSize(main->StoredVideoWidth(), main->StoredVideoHeight());
}

LParam CVideoItem::OnFrame(WParam wParam, LParam lParam) {
    // Only frames of this item's own mailbox are read: the address names its buffer. While a
    // frame is shown the mailbox stays full, so only a stray message can arrive then.
    if (wParam != reinterpret_cast<WParam>(mailbox_.Frame()) || inFrame)
        return 0;
    inFrame = true;
    SetFrame(static_cast<uint32_t>(lParam), mailbox_.Frame());
    inFrame = false;
    mailbox_.Taken();
    return 0;
}

bool CVideoItem::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (message->message == qvmsg::kNewFrame) {
            message->result = OnFrame(message->wParam, message->lParam);
            return true;
        }
    }
    return CPicture::event(event);
}

void CVideoItem::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    CPicture::mousePressEvent(event);
}
