#include "capture/frame_mailbox.h"

#include <mutex>

#include "platform/window_messages.h"

namespace {
// Guards the current mailbox while a frame is delivered into it, so that the video item can
// go away at any moment without the streaming thread writing into freed memory.
std::mutex g_currentLock;
CFrameMailbox* g_current = nullptr;
}  // namespace

CFrameMailbox::CFrameMailbox(QObject* receiver) : receiver_(receiver) {}

CFrameMailbox::~CFrameMailbox() {
    std::lock_guard<std::mutex> guard(g_currentLock);
    if (g_current == this)
        g_current = nullptr;
}

void CFrameMailbox::SetCurrent(CFrameMailbox* mailbox) {
    std::lock_guard<std::mutex> guard(g_currentLock);
    g_current = mailbox;
}

void CFrameMailbox::WaitForDelivery() {
    std::lock_guard<std::mutex> guard(g_currentLock);
}

CFrameMailbox* CFrameMailbox::Current() {
    std::lock_guard<std::mutex> guard(g_currentLock);
    return g_current;
}

intptr_t CFrameMailbox::PackSize(int width, int height) {
    return static_cast<intptr_t>((static_cast<uint32_t>(width) << 16) |
                                 (static_cast<uint32_t>(height) & 0xFFFFu));
}

bool CFrameMailbox::Deliver(const std::function<bool(FrameRows*)>& make) {
    std::lock_guard<std::mutex> guard(g_currentLock);
    return g_current && g_current->Offer(make);
}

bool CFrameMailbox::Offer(const std::function<bool(FrameRows*)>& make) {
    if (full_.load(std::memory_order_acquire)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    // The user-interface thread does not touch frame_ while the mailbox is empty.
    FrameRows frame;
    if (!make(&frame) || !frame.IsValid() || frame.width > 0xFFFF || frame.height > 0xFFFF)
        return false;
    frame_ = std::move(frame);
    full_.store(true, std::memory_order_release);
    delivered_.fetch_add(1, std::memory_order_relaxed);
    if (!PostWindowMessage(receiver_, qvmsg::kNewFrame, reinterpret_cast<WParam>(frame_.rows),
                           PackSize(int(frame_.width), int(frame_.height)))) {
        frame_ = FrameRows();
        full_.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

FrameRows CFrameMailbox::TakeFrame() {
    FrameRows frame = std::move(frame_);
    frame_ = FrameRows();
    full_.store(false, std::memory_order_release);
    return frame;
}

void CFrameMailbox::Taken() {
    TakeFrame();
}
