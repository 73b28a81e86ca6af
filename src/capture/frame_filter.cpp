#include "capture/frame_filter.h"

#include <gst/video/video.h>

#include "capture/frame_mailbox.h"

namespace {

// Runs on the preview pipeline's streaming thread.
void OnHandoff(GstElement*, GstBuffer* buffer, gpointer self) {
    auto* filter = static_cast<CVideoCaptureTransInPlaceFilter*>(self);
    filter->Transform(buffer, filter->SinkPad());
}

bool ReadVideoInfo(const GstCaps* caps, GstVideoInfo& info) {
    return caps && gst_caps_is_fixed(caps) && gst_video_info_from_caps(&info, caps) &&
           GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGR && info.width > 0 &&
           info.height > 0;
}

}  // namespace

CVideoCaptureTransInPlaceFilter::CVideoCaptureTransInPlaceFilter() {
    element_ = gst_element_factory_make("identity", "Video Capture TransInPlaceFilter");
    if (!element_)
        return;
    gst_object_ref_sink(element_);
    // Looked up once: the identity's sink pad lives as long as the element.
    sinkPad_ = gst_element_get_static_pad(element_, "sink");
    g_object_set(element_, "signal-handoffs", TRUE, "silent", TRUE, nullptr);
    g_signal_connect(element_, "handoff", G_CALLBACK(OnHandoff), this);
}

CVideoCaptureTransInPlaceFilter::~CVideoCaptureTransInPlaceFilter() {
    if (element_) {
        g_signal_handlers_disconnect_by_data(element_, this);
        if (sinkPad_)
            gst_object_unref(sinkPad_);
        gst_object_unref(element_);
    }
}

GstCaps* CVideoCaptureTransInPlaceFilter::AcceptedCaps() {
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
}

bool CVideoCaptureTransInPlaceFilter::CheckInputType(const GstCaps* caps) {
    GstVideoInfo info;
    return ReadVideoInfo(caps, info);
}

bool CVideoCaptureTransInPlaceFilter::Transform(GstBuffer* buffer, GstPad* pad) {
    if (!buffer || !pad)
        return false;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstVideoInfo info;
    const bool ok = ReadVideoInfo(caps, info);
    if (caps)
        gst_caps_unref(caps);
    if (!ok)
        return false;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return false;
    const bool delivered =
        CFrameMailbox::Deliver(static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                               info.width, info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    gst_video_frame_unmap(&frame);
    return delivered;
}
