#include "capture/frame_filter.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "capture/frame_mailbox.h"

// What the hand-off works with, freed with the element's signal closure.
struct FrameFilterTap {
    std::atomic<uint64_t> frames{0};
    std::atomic<bool> hold{true};
    std::atomic<bool> passing{true};
};

namespace {

bool ReadVideoInfo(const GstCaps* caps, GstVideoInfo& info) {
    return caps && gst_caps_is_fixed(caps) && gst_video_info_from_caps(&info, caps) &&
           GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGR && info.width > 0 &&
           info.height > 0;
}

// A mapped buffer that stays mapped (and referenced) as long as a frame points into it.
struct MappedFrame {
    GstVideoFrame frame;
    ~MappedFrame() { gst_video_frame_unmap(&frame); }
};

bool HoldFrame(GstBuffer* buffer, GstVideoInfo& info, FrameRows* rows) {
    auto mapped = std::make_shared<MappedFrame>();
    if (!gst_video_frame_map(&mapped->frame, &info, buffer, GST_MAP_READ))
        return false;
    rows->rows = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0));
    rows->width = uint32_t(info.width);
    rows->height = uint32_t(info.height);
    rows->stride = uint32_t(GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0));
    rows->owner = std::move(mapped);
    return true;
}

bool CopyFrame(GstBuffer* buffer, GstVideoInfo& info, FrameRows* rows) {
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return false;
    const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const size_t srcStride = size_t(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
    const uint32_t stride = FrameRows::DibStride(uint32_t(info.width));
    auto copy = std::make_shared<std::vector<uint8_t>>(size_t(stride) * uint32_t(info.height));
    for (int y = 0; y < info.height; ++y)
        std::memcpy(copy->data() + size_t(y) * stride, src + size_t(y) * srcStride,
                    size_t(info.width) * 3);
    gst_video_frame_unmap(&frame);
    *rows = FrameRows{copy->data(), uint32_t(info.width), uint32_t(info.height), stride, copy};
    return true;
}

// Streaming thread: one frame into the current mailbox, held or copied, while the tap passes
// frames (checked inside the delivery, so that closing it can wait for this frame).
bool HandOver(GstBuffer* buffer, GstPad* pad, const FrameFilterTap& tap) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstVideoInfo info;
    const bool ok = ReadVideoInfo(caps, info);
    if (caps)
        gst_caps_unref(caps);
    if (!ok)
        return false;
    return CFrameMailbox::Deliver([&](FrameRows* rows) {
        if (!tap.passing.load())
            return false;
        return tap.hold.load() ? HoldFrame(buffer, info, rows) : CopyFrame(buffer, info, rows);
    });
}

// Runs on the preview pipeline's streaming thread.
void OnHandoff(GstElement* identity, GstBuffer* buffer, gpointer data) {
    auto* tap = static_cast<FrameFilterTap*>(data);
    tap->frames.fetch_add(1, std::memory_order_relaxed);
    HandOver(buffer, GST_BASE_TRANSFORM_SINK_PAD(identity), *tap);
}

void FreeTap(gpointer data, GClosure*) {
    delete static_cast<FrameFilterTap*>(data);
}

}  // namespace

CVideoCaptureTransInPlaceFilter::CVideoCaptureTransInPlaceFilter() {
    element_ = gst_element_factory_make("identity", "Video Capture TransInPlaceFilter");
    if (!element_)
        return;
    gst_object_ref_sink(element_);
    g_object_set(element_, "signal-handoffs", TRUE, "silent", TRUE, nullptr);
    tap_ = new FrameFilterTap;
    g_signal_connect_data(element_, "handoff", G_CALLBACK(OnHandoff), tap_, FreeTap,
                          GConnectFlags(0));
}

CVideoCaptureTransInPlaceFilter::~CVideoCaptureTransInPlaceFilter() {
    if (element_)
        gst_object_unref(element_);
}

GstCaps* CVideoCaptureTransInPlaceFilter::AcceptedCaps() {
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
}

bool CVideoCaptureTransInPlaceFilter::CheckInputType(const GstCaps* caps) {
    GstVideoInfo info;
    return ReadVideoInfo(caps, info);
}

void CVideoCaptureTransInPlaceFilter::SetHoldFrames(bool hold) {
    if (tap_)
        tap_->hold = hold;
}

void CVideoCaptureTransInPlaceFilter::SetPassing(bool passing) {
    if (!tap_)
        return;
    tap_->passing = passing;
    if (!passing)
        CFrameMailbox::WaitForDelivery();
}

uint64_t CVideoCaptureTransInPlaceFilter::Frames() const {
    return tap_ ? tap_->frames.load(std::memory_order_relaxed) : 0;
}

bool CVideoCaptureTransInPlaceFilter::Transform(GstBuffer* buffer, GstPad* pad) {
    if (!buffer || !pad || !tap_)
        return false;
    return HandOver(buffer, pad, *tap_);
}
