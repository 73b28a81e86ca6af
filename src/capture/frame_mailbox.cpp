#include "capture/frame_mailbox.h"

#include <cstring>
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

CFrameMailbox* CFrameMailbox::Current() {
    std::lock_guard<std::mutex> guard(g_currentLock);
    return g_current;
}

intptr_t CFrameMailbox::PackSize(int width, int height) {
    return static_cast<intptr_t>((static_cast<uint32_t>(width) << 16) |
                                 (static_cast<uint32_t>(height) & 0xFFFFu));
}

bool CFrameMailbox::Deliver(const uint8_t* rows, int width, int height, int srcStride) {
    std::lock_guard<std::mutex> guard(g_currentLock);
    return g_current && g_current->Offer(rows, width, height, srcStride);
}

bool CFrameMailbox::Offer(const uint8_t* rows, int width, int height, int srcStride) {
    if (!rows || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF ||
        srcStride < width * 3) {
        return false;
    }
    if (full_.load(std::memory_order_acquire)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    // The user-interface thread does not touch the buffer while the mailbox is empty.
    const int stride = (width * 3 + 3) & ~3;
    const size_t size = static_cast<size_t>(stride) * height;
    if (buffer_.size() != size)
        buffer_.resize(size);
    if (stride == srcStride) {
        std::memcpy(buffer_.data(), rows, size);
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(buffer_.data() + static_cast<size_t>(y) * stride,
                        rows + static_cast<size_t>(y) * srcStride, static_cast<size_t>(width) * 3);
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    full_.store(true, std::memory_order_release);
    delivered_.fetch_add(1, std::memory_order_relaxed);
    if (!PostWindowMessage(receiver_, qvmsg::kNewFrame, reinterpret_cast<WParam>(buffer_.data()),
                           PackSize(width, height))) {
        full_.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void CFrameMailbox::Taken() {
    full_.store(false, std::memory_order_release);
}
