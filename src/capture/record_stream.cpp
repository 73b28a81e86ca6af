#include "capture/record_stream.h"

#include <algorithm>
#include <cstring>

#include "capture/record_frame.h"

CKTRecordStream::CKTRecordStream(int width, int height, int framesPerSecond)
    : rate_(std::max(framesPerSecond, 1)) {
    gst_video_info_init(&info_);
    if (width <= 0 || height <= 0 ||
        !gst_video_info_set_format(&info_, GST_VIDEO_FORMAT_BGR, guint(width), guint(height))) {
        return;
    }
    GST_VIDEO_INFO_FPS_N(&info_) = rate_;
    GST_VIDEO_INFO_FPS_D(&info_) = 1;
    // The pool reuses frame-sized blocks: a frame goes back to it once the encoder is done with
    // it. No upper bound, so that PushFrame never waits for a buffer.
    GstBufferPool* pool = gst_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(pool);
    GstCaps* caps = MediaType();
    gst_buffer_pool_config_set_params(config, caps, guint(GST_VIDEO_INFO_SIZE(&info_)), 2, 0);
    gst_caps_unref(caps);
    GstBuffer* black = nullptr;
    if (gst_buffer_pool_set_config(pool, config) && gst_buffer_pool_set_active(pool, TRUE) &&
        gst_buffer_pool_acquire_buffer(pool, &black, nullptr) == GST_FLOW_OK) {
        gst_buffer_memset(black, 0, 0, gst_buffer_get_size(black));
        newest_ = black;
        pool_ = pool;
        return;
    }
    gst_object_unref(pool);
}

CKTRecordStream::~CKTRecordStream() {
    if (newest_)
        gst_buffer_unref(newest_);
    if (held_)
        gst_buffer_unref(held_);
    if (pool_) {
        gst_buffer_pool_set_active(pool_, FALSE);
        gst_object_unref(pool_);
    }
}

GstCaps* CKTRecordStream::MediaType() const {
    return gst_video_info_to_caps(&info_);
}

GstClockTime CKTRecordStream::SlotTime(uint64_t n) const {
    return gst_util_uint64_scale_int(n, GST_SECOND, rate_);
}

uint64_t CKTRecordStream::PresentSlot(GstClock* clock, GstClockTime base) const {
    const GstClockTime now = gst_clock_get_time(clock);
    return now > base ? gst_util_uint64_scale_int(now - base, rate_, GST_SECOND) : 0;
}

bool CKTRecordStream::PushFrame(const CDibImage& picture) {
    GstBuffer* frame = nullptr;
    if (!pool_ || gst_buffer_pool_acquire_buffer(pool_, &frame, nullptr) != GST_FLOW_OK) {
        dropped_.fetch_add(1);
        return false;
    }
    bool written = false;
    GstMapInfo map;
    if (gst_buffer_map(frame, &map, GST_MAP_WRITE)) {
        written = CopyPictureToFrame(picture, map.data, GST_VIDEO_INFO_PLANE_STRIDE(&info_, 0),
                                     GST_VIDEO_INFO_WIDTH(&info_), GST_VIDEO_INFO_HEIGHT(&info_));
        gst_buffer_unmap(frame, &map);
    }
    std::unique_lock<std::mutex> guard(lock_, std::try_to_lock);
    if (!written || !guard.owns_lock()) {
        if (guard.owns_lock())
            guard.unlock();
        gst_buffer_unref(frame);
        dropped_.fetch_add(1);
        return false;
    }
    std::swap(newest_, frame);
    guard.unlock();
    if (frame)  // a frame no slot took: the newer one replaces it
        gst_buffer_unref(frame);
    pushed_.fetch_add(1);
    return true;
}

GstBuffer* CKTRecordStream::TakeNewest() {
    std::lock_guard<std::mutex> guard(lock_);
    GstBuffer* frame = newest_;
    newest_ = nullptr;
    return frame;
}

void CKTRecordStream::RequestEnd(GstClockTime at) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!ending_)
        endAt_ = at;
    ending_ = true;
    if (wait_)
        gst_clock_id_unschedule(wait_);
}

bool CKTRecordStream::WaitForSlot(GstClock* clock, GstClockTime at) {
    std::unique_lock<std::mutex> guard(lock_);
    if (ending_)
        return false;
    GstClockID id = gst_clock_new_single_shot_id(clock, at);
    wait_ = id;
    guard.unlock();
    // An unschedule from RequestEnd, even one made before the wait begins, ends it at once.
    gst_clock_id_wait(id, nullptr);
    guard.lock();
    wait_ = nullptr;
    gst_clock_id_unref(id);
    return !ending_;
}

void CKTRecordStream::SendHeld(GstAppSrc* source, uint64_t until, GstBuffer* frame) {
    if (held_) {
        const uint64_t number = frameNumber_.fetch_add(1);
        GST_BUFFER_PTS(held_) = SlotTime(heldSlot_);
        GST_BUFFER_DTS(held_) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(held_) = SlotTime(until) - SlotTime(heldSlot_);
        GST_BUFFER_OFFSET(held_) = number;
        GST_BUFFER_OFFSET_END(held_) = number + 1;
        GST_BUFFER_FLAG_UNSET(held_, GST_BUFFER_FLAG_DELTA_UNIT);
        gst_app_src_push_buffer(source, held_);
    }
    held_ = frame;
    heldSlot_ = until;
}

void CKTRecordStream::FillBuffer(GstAppSrc* source) {
    if (ended_)
        return;
    GstClock* clock = gst_element_get_clock(GST_ELEMENT(source));
    const GstClockTime base = gst_element_get_base_time(GST_ELEMENT(source));
    if (clock) {
        while (WaitForSlot(clock, base + SlotTime(nextSlot_))) {
            const uint64_t slot = std::max(nextSlot_, PresentSlot(clock, base));
            skipped_.fetch_add(slot - nextSlot_);
            nextSlot_ = slot + 1;
            if (GstBuffer* frame = TakeNewest()) {
                const bool sent = held_ != nullptr;
                // The first picture starts the file at the start of the recording, however late
                // a loaded machine served the first slot.
                SendHeld(source, sent ? slot : 0, frame);
                if (sent) {
                    gst_object_unref(clock);
                    return;
                }
            }
        }
        // The held picture lasts up to the end of the present slot, when the recording stopped.
        // The end is the moment the stop was asked for, not when encoding let us notice it.
        // A container of constant frame rate (AVI) has each slot filled with the nearer of the two
        // samples around it, and the last sample written once when the stream ends: the slots
        // after the middle of the last gap would be missing. So the held picture is sent once
        // more in each of the last two slots, which fills every slot up to the end.
        GstClockTime endAt = GST_CLOCK_TIME_NONE;
        {
            std::lock_guard<std::mutex> guard(lock_);
            endAt = endAt_;
        }
        const uint64_t present = GST_CLOCK_TIME_IS_VALID(endAt)
                                     ? gst_util_uint64_scale_int(endAt, rate_, GST_SECOND)
                                     : PresentSlot(clock, base);
        const uint64_t end = std::max(nextSlot_, present + 1);
        if (!held_) {
            // Stopped before the first slot: the file still gets one picture (black when none
            // was handed over), as an empty stream leaves no playable file.
            held_ = TakeNewest();
            heldSlot_ = 0;
        }
        for (uint64_t last = std::max(end, uint64_t(2)) - 2; held_ && last < end; ++last) {
            if (last > heldSlot_)
                SendHeld(source, last, gst_buffer_copy(held_));  // shares the pixels
        }
        SendHeld(source, end, nullptr);
        gst_object_unref(clock);
    }
    ended_ = true;
    gst_app_src_end_of_stream(source);
}
