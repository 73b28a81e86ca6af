#include "capture/record_source.h"

#include <gst/app/gstappsrc.h>

namespace {
// Runs on the recording pipeline's streaming thread.
void OnNeedData(GstAppSrc* source, guint, gpointer stream) {
    static_cast<CKTRecordStream*>(stream)->FillBuffer(source);
}
}  // namespace

CKTRecordSource::CKTRecordSource(int width, int height, int framesPerSecond)
    : stream_(width, height, framesPerSecond) {
    if (!stream_.IsValid())
        return;
    GstElement* element = gst_element_factory_make("appsrc", "Video Capture device");
    if (!element)
        return;
    element_ = GST_ELEMENT(gst_object_ref_sink(element));
    GstCaps* caps = stream_.MediaType();
    g_object_set(element_, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp",
                 FALSE, "block", FALSE, nullptr);
    gst_caps_unref(caps);
    GstAppSrcCallbacks callbacks = {};
    callbacks.need_data = OnNeedData;
    gst_app_src_set_callbacks(GST_APP_SRC(element_), &callbacks, &stream_, nullptr);
}

CKTRecordSource::~CKTRecordSource() {
    if (element_) {
        // The pipeline is stopped by now: no streaming thread calls back any more.
        GstAppSrcCallbacks none = {};
        gst_app_src_set_callbacks(GST_APP_SRC(element_), &none, nullptr, nullptr);
        gst_object_unref(element_);
    }
}
