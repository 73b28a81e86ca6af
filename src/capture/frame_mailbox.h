#pragma once
// The one-frame mailbox between the preview's streaming thread and the live video item. The
// video item owns it and makes it current; the frame filter copies each frame into it and
// posts message 1224 (wParam the frame's bytes, lParam (width << 16) | height). While a frame
// waits to be taken, newer frames are dropped, never queued: the picture shown is always
// recent and the streaming thread never waits for the user-interface thread.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <vector>

class CFrameMailbox {
public:
    // receiver gets message 1224; it calls Taken() once it has read the frame.
    explicit CFrameMailbox(QObject* receiver);
    ~CFrameMailbox();
    CFrameMailbox(const CFrameMailbox&) = delete;
    CFrameMailbox& operator=(const CFrameMailbox&) = delete;

    // The process-wide mailbox the frame filter delivers to (the current video item's); null
    // for none. Clearing waits for a delivery in progress to finish.
    static void SetCurrent(CFrameMailbox* mailbox);
    static CFrameMailbox* Current();

    // Streaming thread: copies a frame of 24-bit BGR rows (top row first, srcStride bytes
    // apart) into the current mailbox and posts message 1224. False when there is no current
    // mailbox or its previous frame was not taken yet (the frame is dropped).
    static bool Deliver(const uint8_t* rows, int width, int height, int srcStride);

    // User-interface thread, after message 1224: the frame (rows top first, Stride() apart,
    // padded to 4 bytes) is valid until Taken().
    const uint8_t* Frame() const { return buffer_.data(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    // Lets the next frame in.
    void Taken();

    uint64_t Delivered() const { return delivered_.load(); }
    uint64_t Dropped() const { return dropped_.load(); }

    // (width << 16) | (height & 0xFFFF), the size as message 1224 carries it.
    static intptr_t PackSize(int width, int height);

private:
    bool Offer(const uint8_t* rows, int width, int height, int srcStride);

    QObject* receiver_;
    std::vector<uint8_t> buffer_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::atomic<bool> full_{false};
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> dropped_{0};
};
