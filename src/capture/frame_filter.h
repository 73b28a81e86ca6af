#pragma once
// The pass-through element every preview frame crosses on its way to the null sink: an
// identity element whose hand-off hands the frame to the current video item's mailbox.

#include <gst/gst.h>

class CVideoCaptureTransInPlaceFilter {
public:
    CVideoCaptureTransInPlaceFilter();
    ~CVideoCaptureTransInPlaceFilter();
    CVideoCaptureTransInPlaceFilter(const CVideoCaptureTransInPlaceFilter&) = delete;
    CVideoCaptureTransInPlaceFilter& operator=(const CVideoCaptureTransInPlaceFilter&) = delete;

    // The element to place in the pipeline (owned by this filter; null when the identity
    // element is missing).
    GstElement* Element() const { return element_; }
    GstPad* SinkPad() const { return sinkPad_; }

    // Only 24-bit BGR video with a known size passes; the engine puts a converter in front.
    static bool CheckInputType(const GstCaps* caps);
    // Caps the converter in front of the filter must produce.
    static GstCaps* AcceptedCaps();

    // Streaming thread: hands one frame to the current mailbox; the buffer is not changed.
    bool Transform(GstBuffer* buffer, GstPad* pad);

private:
    GstElement* element_ = nullptr;
    GstPad* sinkPad_ = nullptr;
};
