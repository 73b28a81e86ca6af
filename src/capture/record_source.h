#pragma once
// CKTRecordSource: the source at the head of the recording pipeline, an application source
// element ("Video Capture device") that is live, runs in time format and offers exactly its
// stream's media type. Its need-data callback is the stream's FillBuffer, so the stream paces
// itself to the pipeline clock. Downstream elements learn the picture's format, size and rate
// from that media type through caps negotiation.

#include <gst/gst.h>

#include <memory>

#include "capture/record_stream.h"

class CKTRecordSource {
public:
    CKTRecordSource(int width, int height, int framesPerSecond);
    ~CKTRecordSource();
    CKTRecordSource(const CKTRecordSource&) = delete;
    CKTRecordSource& operator=(const CKTRecordSource&) = delete;

    // The element to add to the pipeline (this object holds a reference); null when the
    // application source is missing or the stream's buffers could not be made.
    GstElement* Element() const { return element_; }
    CKTRecordStream& Stream() { return stream_; }

private:
    CKTRecordStream stream_;
    GstElement* element_ = nullptr;
};
