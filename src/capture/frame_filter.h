#pragma once
// The pass-through element every preview frame crosses on its way to the null sink: an
// identity element whose hand-off hands the frame to the current video item's mailbox.

#include <gst/gst.h>

#include <cstdint>

struct FrameFilterTap;

class CVideoCaptureTransInPlaceFilter {
public:
    CVideoCaptureTransInPlaceFilter();
    ~CVideoCaptureTransInPlaceFilter();
    CVideoCaptureTransInPlaceFilter(const CVideoCaptureTransInPlaceFilter&) = delete;
    CVideoCaptureTransInPlaceFilter& operator=(const CVideoCaptureTransInPlaceFilter&) = delete;

    // The element to place in the pipeline (owned by this filter; null when the identity
    // element is missing). Its hand-off uses nothing of this object, so the filter may go
    // while the pipeline is still stopping on another thread.
    GstElement* Element() const { return element_; }

    // Only 24-bit BGR video with a known size passes; the engine puts a converter in front.
    static bool CheckInputType(const GstCaps* caps);
    // Caps the converter in front of the filter must produce.
    static GstCaps* AcceptedCaps();

    // Whether frames are handed over by holding the pipeline's buffer (true, the default) or
    // as a copy. A camera that sends BGR itself passes its own buffers through the converter;
    // those belong to the device and must go back to it when the preview stops, so they are
    // copied.
    void SetHoldFrames(bool hold);

    // Whether frames go on to the mailbox (true, the default). Closing returns once a hand-over
    // in progress has finished: from then on no frame of this filter reaches a mailbox, however
    // long the pipeline takes to stop.
    void SetPassing(bool passing);

    // Frames that have crossed the filter since it was made.
    uint64_t Frames() const;

    // Streaming thread: hands one frame to the current mailbox; the buffer is not changed.
    bool Transform(GstBuffer* buffer, GstPad* pad);

private:
    GstElement* element_ = nullptr;
    FrameFilterTap* tap_ =
        nullptr;  // owned by the hand-off's closure: it lives as long as the element
};
