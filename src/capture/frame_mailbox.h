#pragma once
// The one-frame mailbox between the preview's streaming thread and the live video item. The
// video item owns it and makes it current; the frame filter puts each frame into it and posts
// message 1224 (wParam the frame's first row, lParam (width << 16) | height). While a frame
// waits to be taken, newer frames are dropped, never queued: the picture shown is always recent
// and the streaming thread never waits for the user-interface thread.
//
// A frame is held, not copied: it keeps the pipeline's buffer alive until the video item lets
// go of it, which it does when the next frame replaces it.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>

#include "image/frame_rows.h"

class CFrameMailbox {
public:
    // receiver gets message 1224; it calls TakeFrame() or Taken() once it has read the frame.
    explicit CFrameMailbox(QObject* receiver);
    ~CFrameMailbox();
    CFrameMailbox(const CFrameMailbox&) = delete;
    CFrameMailbox& operator=(const CFrameMailbox&) = delete;

    // The process-wide mailbox the frame filter delivers to (the current video item's); null
    // for none. Clearing waits for a delivery in progress to finish.
    static void SetCurrent(CFrameMailbox* mailbox);
    static CFrameMailbox* Current();
    // Returns once a delivery in progress (if any) has finished.
    static void WaitForDelivery();

    // Streaming thread: when the current mailbox is empty, `make` fills in the frame (false
    // when it cannot), which is then posted with message 1224. False when there is no current
    // mailbox, its previous frame was not taken yet (the frame is dropped), or the frame is not
    // a valid 24-bit frame of at most 65535 × 65535.
    static bool Deliver(const std::function<bool(FrameRows*)>& make);

    // User-interface thread, after message 1224: the frame is valid until TakeFrame() or Taken().
    const uint8_t* Frame() const { return frame_.rows; }
    int Width() const { return int(frame_.width); }
    int Height() const { return int(frame_.height); }
    int Stride() const { return int(frame_.stride); }
    // Hands the frame to the caller, who keeps it readable as long as it holds it, and lets the
    // next frame in.
    FrameRows TakeFrame();
    // Lets go of the frame and lets the next one in.
    void Taken();

    uint64_t Delivered() const { return delivered_.load(); }
    uint64_t Dropped() const { return dropped_.load(); }

    // (width << 16) | (height & 0xFFFF), the size as message 1224 carries it.
    static intptr_t PackSize(int width, int height);

private:
    bool Offer(const std::function<bool(FrameRows*)>& make);

    QObject* receiver_;
    FrameRows frame_;
    std::atomic<bool> full_{false};
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> dropped_{0};
};
