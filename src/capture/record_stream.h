#pragma once
// CKTRecordStream: the frame buffer and the sample clock of a recording. The user-interface
// thread hands the shown picture over with PushFrame; the recording pipeline's streaming
// thread takes the newest picture in FillBuffer and sends it on as one 24-bit BGR sample.
//
// Samples sit on slots of one declared rate on the pipeline clock: slot n starts at running
// time n / rate. FillBuffer waits for the next slot that has a new picture; the picture before it
// is then sent, lasting up to that slot. So a picture that did not change lasts several slots
// (downstream repeats it where the container needs every slot), slots that passed while sending
// was late are skipped rather than caught up, and at the end the last picture lasts up to the
// moment the recording stopped: a recording plays exactly as long as it ran, whatever the
// machine manages to encode.
//
// The hand-over is one newest-frame slot guarded by a lock that either side holds only to swap
// a buffer pointer: PushFrame never waits (a frame that meets the lock taken is dropped), and a
// picture is written into a buffer nobody else can see, so no sample is ever torn.

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstdint>
#include <mutex>

class CDibImage;

class CKTRecordStream {
public:
    // A stream of width x height pictures at framesPerSecond slots a second; its frame buffer
    // starts black.
    CKTRecordStream(int width, int height, int framesPerSecond);
    ~CKTRecordStream();
    CKTRecordStream(const CKTRecordStream&) = delete;
    CKTRecordStream& operator=(const CKTRecordStream&) = delete;

    // False when the frame buffers could not be made (a size of no pixels, no memory).
    bool IsValid() const { return pool_ != nullptr; }
    // The one media type the stream offers (a new reference): BGR rows padded to 4 bytes,
    // width x height, framesPerSecond, progressive, square pixels.
    GstCaps* MediaType() const;
    // Running time at which slot n starts.
    GstClockTime SlotTime(uint64_t n) const;

    // User-interface thread: makes picture the newest frame. Pictures of 8 bits or fewer are
    // recorded as 24-bit; another size is scaled to the stream's. False when the frame was
    // dropped.
    bool PushFrame(const CDibImage& picture);

    // Streaming thread (the source's need-data): waits for the next slot that has a new frame
    // and sends the frame before it; after RequestEnd, sends what is held up to the present slot
    // and ends the stream.
    void FillBuffer(GstAppSrc* source);
    // Any thread: the stream ends at running time `at` (when FillBuffer notices, for none), at
    // the next FillBuffer; a FillBuffer waiting for a slot returns at once.
    void RequestEnd(GstClockTime at = GST_CLOCK_TIME_NONE);

    // Samples sent, slots that passed without a sample because sending was late, frames handed
    // over and frames dropped at the hand-over.
    uint64_t SamplesSent() const { return frameNumber_.load(); }
    uint64_t SlotsSkipped() const { return skipped_.load(); }
    uint64_t FramesPushed() const { return pushed_.load(); }
    uint64_t FramesDropped() const { return dropped_.load(); }

private:
    // False when the stream is ending.
    bool WaitForSlot(GstClock* clock, GstClockTime at);
    GstBuffer* TakeNewest();
    // Sends the held frame, lasting up to slot `until`, and holds frame, starting at that slot.
    void SendHeld(GstAppSrc* source, uint64_t until, GstBuffer* frame);
    uint64_t PresentSlot(GstClock* clock, GstClockTime base) const;

    int rate_;
    GstVideoInfo info_;
    GstBufferPool* pool_ = nullptr;

    std::mutex lock_;              // guards newest_, ending_ and wait_
    GstBuffer* newest_ = nullptr;  // handed over, not yet sent
    bool ending_ = false;
    GstClockTime endAt_ = GST_CLOCK_TIME_NONE;
    GstClockID wait_ = nullptr;  // the slot FillBuffer waits for

    // Streaming thread only.
    GstBuffer* held_ = nullptr;  // taken; sent once the next frame's slot is known
    uint64_t heldSlot_ = 0;
    uint64_t nextSlot_ = 0;
    bool ended_ = false;

    std::atomic<uint64_t> frameNumber_{0};
    std::atomic<uint64_t> skipped_{0};
    std::atomic<uint64_t> pushed_{0};
    std::atomic<uint64_t> dropped_{0};
};
