#include "media/simulated_camera.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>
#include <jpeglib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "media/followed_picture_file.h"

namespace {

struct Mode {
    int width, height, fps;
};
// 1600x1200 comes first, so a capture with no stored size starts there: the size a document
// camera is used at.
constexpr Mode kModes[] = {{1600, 1200, 30}, {640, 480, 30}, {1280, 720, 30}, {2592, 1944, 15}};
// A laptop's built-in camera: small sizes only, the smallest first.
constexpr Mode kWebcamModes[] = {{640, 480, 30}, {1280, 720, 30}};

// The H.264 frames are made with this encoder; without it the camera offers no H.264.
constexpr const char* kH264Encoder = "openh264enc";

bool CanEncodeH264() {
    GstElementFactory* factory = gst_element_factory_find(kH264Encoder);
    if (factory)
        gst_object_unref(factory);
    return factory != nullptr;
}

GstCaps* DeviceCaps(bool builtIn) {
    GstCaps* caps = gst_caps_new_empty();
    std::vector<const char*> media = {"video/x-raw", "image/jpeg"};
    if (CanEncodeH264())
        media.push_back("video/x-h264");
    for (const char* name : media) {
        for (const Mode& m : builtIn ? std::span<const Mode>(kWebcamModes) : kModes) {
            GstStructure* s =
                gst_structure_new(name, "width", G_TYPE_INT, m.width, "height", G_TYPE_INT,
                                  m.height, "framerate", GST_TYPE_FRACTION, m.fps, 1, nullptr);
            if (std::strcmp(name, "video/x-raw") == 0)
                gst_structure_set(s, "format", G_TYPE_STRING, "YUY2", nullptr);
            if (std::strcmp(name, "video/x-h264") == 0)
                gst_structure_set(s, "stream-format", G_TYPE_STRING, "byte-stream", "alignment",
                                  G_TYPE_STRING, "au", nullptr);
            gst_caps_append_structure(caps, s);
        }
    }
    return caps;
}

// ---- JPEG encoding (libjpeg's longjmp error path; no C++ objects in this frame) ----

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Encodes BGR rows (top first) into a malloc'ed JPEG; false on failure.
bool EncodeJpeg(const uint8_t* bgr, int width, int height, int stride, unsigned char** out,
                unsigned long* size) {
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    *out = nullptr;
    *size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(*out);
        *out = nullptr;
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(bgr + static_cast<size_t>(cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

// Encodes BGR rows (top first) as one H.264 key frame (byte stream, SPS and PPS in front), which
// decodes on its own and so can be sent again and again; null on failure.
GstBuffer* EncodeH264(const uint8_t* bgr, int width, int height, int stride) {
    const std::string description =
        std::string("appsrc name=in ! videoconvert ! ") + kH264Encoder +
        " bitrate=20000000 ! video/x-h264,stream-format=byte-stream,alignment=au ! "
        "appsink name=out sync=false";
    GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
    if (!pipeline)
        return nullptr;
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width",
                                        G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                        "framerate", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(in, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
    gst_caps_unref(caps);
    GstBuffer* frame = gst_buffer_new_allocate(nullptr, size_t(stride) * height, nullptr);
    gst_buffer_fill(frame, 0, bgr, size_t(stride) * height);
    GST_BUFFER_PTS(frame) = 0;
    GST_BUFFER_DURATION(frame) = GST_SECOND;
    GstBuffer* encoded = nullptr;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        gst_buffer_unref(frame);
    else if (gst_app_src_push_buffer(GST_APP_SRC(in), frame) == GST_FLOW_OK &&
             gst_app_src_end_of_stream(GST_APP_SRC(in)) == GST_FLOW_OK) {
        if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 10 * GST_SECOND)) {
            encoded = gst_buffer_copy_deep(gst_sample_get_buffer(sample));
            gst_sample_unref(sample);
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(in);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    return encoded;
}

void BgrToYuy2(const uint8_t* bgr, int width, int height, int stride, uint8_t* out) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bgr + static_cast<size_t>(y) * stride;
        uint8_t* o = out + static_cast<size_t>(y) * width * 2;
        for (int x = 0; x + 1 < width; x += 2, p += 6, o += 4) {
            const int b0 = p[0], g0 = p[1], r0 = p[2], b1 = p[3], g1 = p[4], r1 = p[5];
            const int r = (r0 + r1) / 2, g = (g0 + g1) / 2, b = (b0 + b1) / 2;
            o[0] = static_cast<uint8_t>(((66 * r0 + 129 * g0 + 25 * b0 + 128) >> 8) + 16);
            o[1] = static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            o[2] = static_cast<uint8_t>(((66 * r1 + 129 * g1 + 25 * b1 + 128) >> 8) + 16);
            o[3] = static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
}

// ---- the source element ----

enum {
    PROP_0,
    PROP_BRIGHTNESS,
    PROP_CONTRAST,
    PROP_TILT,
    PROP_DESK,
    PROP_NOISE,
    PROP_PICTURE,
    PROP_START_DELAY,
    PROP_BUILT_IN
};

enum class Coding { kYuy2, kJpeg, kH264 };

// What a change of settings produces: the rendered scene and the frame it becomes.
struct Products {
    SimulatedScene scene;
    std::vector<uint8_t> yuy2;
    GstBuffer* encoded = nullptr;  // the JPEG or H.264 frame
    ~Products() {
        if (encoded)
            gst_buffer_unref(encoded);
    }
};

struct SimCamState {
    std::mutex lock;
    int brightness = 0;
    int contrast = 0;
    int tilt = 6;
    int desk = 0;
    bool noise = true;
    std::string pictureFile;
    std::shared_ptr<FollowedPictureFile> followed;  // null: the built-in page
    uint64_t followedVersion = 0;                   // of the picture shown
    std::shared_ptr<const SimulatedPicture> picture;

    int startDelayMs = 0;
    bool builtIn = false;  // offers the built-in webcam's sizes only

    bool dirty = true;
    Coding coding = Coding::kYuy2;
    int width = 0;
    int height = 0;
    GstClockTime duration = GST_CLOCK_TIME_NONE;
    std::unique_ptr<Products> products;  // for the current settings unless dirty
    GstBufferPool* pool = nullptr;
    uint64_t frames = 0;
    std::chrono::steady_clock::time_point startedAt;
    std::condition_variable unlocked;  // wakes a first frame waiting out the start delay
    bool flushing = false;

    SimulatedSceneSettings Settings() const {
        SimulatedSceneSettings s;
        s.width = width;
        s.height = height;
        s.tiltDegrees = tilt;
        s.brightness = brightness;
        s.contrast = contrast;
        s.desk = static_cast<DeskKind>(desk);
        s.noiseAmplitude = noise ? 3 : 0;
        if (picture)
            s.picture = {picture->pixels.data(), picture->width, picture->height, picture->stride};
        return s;
    }
};

struct QvSimCam {
    GstPushSrc parent;
    SimCamState* state;
};
struct QvSimCamClass {
    GstPushSrcClass parentClass;
};

G_DEFINE_TYPE(QvSimCam, qv_sim_cam, GST_TYPE_PUSH_SRC)

GType DeskEnumType() {
    static GType type = 0;
    static const GEnumValue values[] = {{0, "Dark plain desk", "dark"},
                                        {1, "Bright plain desk", "bright"},
                                        {2, "Textured desk", "textured"},
                                        {0, nullptr, nullptr}};
    if (!type)
        type = g_enum_register_static("QvSimCamDesk", values);
    return type;
}

// Renders the scene and encodes its frame; runs without the state's lock, so that changing
// a control never waits for a render. Encoded frames are the same every time: no noise.
std::unique_ptr<Products> Render(SimulatedSceneSettings settings, Coding coding) {
    auto p = std::make_unique<Products>();
    if (coding != Coding::kYuy2)
        settings.noiseAmplitude = 0;
    p->scene.Configure(settings);
    const std::vector<uint8_t>& clean = p->scene.Clean();
    const int w = p->scene.Width();
    const int h = p->scene.Height();
    if (coding == Coding::kJpeg) {
        unsigned char* data = nullptr;
        unsigned long size = 0;
        if (EncodeJpeg(clean.data(), w, h, p->scene.Stride(), &data, &size))
            p->encoded = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, data, size, 0, size,
                                                     data, free);
    } else if (coding == Coding::kH264) {
        p->encoded = EncodeH264(clean.data(), w, h, p->scene.Stride());
    } else {
        p->yuy2.resize(static_cast<size_t>(w) * h * 2);
        BgrToYuy2(clean.data(), w, h, p->scene.Stride(), p->yuy2.data());
    }
    return p;
}

// Streaming thread: brings the products up to date with the controls and the picture file.
// Called and returns with the lock held; releases it while rendering.
void Refresh(SimCamState* s, std::unique_lock<std::mutex>& lock) {
    if (s->followed && s->followed->Version() != s->followedVersion) {
        s->followedVersion = s->followed->Version();
        s->picture = s->followed->Picture();
        s->dirty = true;
    }
    if (!s->dirty && s->products)
        return;
    s->dirty = false;
    const SimulatedSceneSettings settings = s->Settings();
    // Keeps settings.picture valid while the lock is let go.
    const std::shared_ptr<const SimulatedPicture> picture = s->picture;
    const Coding coding = s->coding;
    lock.unlock();
    std::unique_ptr<Products> fresh = Render(settings, coding);
    lock.lock();
    s->products = std::move(fresh);
}

void qv_sim_cam_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(object)->state;
    std::shared_ptr<FollowedPictureFile> followed;
    std::string file;
    if (id == PROP_PICTURE) {
        const char* text = g_value_get_string(value);
        file = text ? text : "";
        followed = FollowedPictureFile::Follow(file);  // decoded before taking the lock
    }
    std::lock_guard<std::mutex> guard(s->lock);
    switch (id) {
        case PROP_BRIGHTNESS:
            s->brightness = g_value_get_int(value);
            break;
        case PROP_CONTRAST:
            s->contrast = g_value_get_int(value);
            break;
        case PROP_TILT:
            s->tilt = g_value_get_int(value);
            break;
        case PROP_DESK:
            s->desk = g_value_get_enum(value);
            break;
        case PROP_NOISE:
            s->noise = g_value_get_boolean(value);
            break;
        case PROP_PICTURE:
            s->pictureFile = file;
            s->followed = followed;
            s->followedVersion = followed ? followed->Version() : 0;
            s->picture = followed ? followed->Picture() : nullptr;
            break;
        case PROP_START_DELAY:
            s->startDelayMs = g_value_get_int(value);
            return;  // the picture stays as it is
        case PROP_BUILT_IN:
            s->builtIn = g_value_get_boolean(value);
            return;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            return;
    }
    s->dirty = true;
}

void qv_sim_cam_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(object)->state;
    std::lock_guard<std::mutex> guard(s->lock);
    switch (id) {
        case PROP_BRIGHTNESS:
            g_value_set_int(value, s->brightness);
            break;
        case PROP_CONTRAST:
            g_value_set_int(value, s->contrast);
            break;
        case PROP_TILT:
            g_value_set_int(value, s->tilt);
            break;
        case PROP_DESK:
            g_value_set_enum(value, s->desk);
            break;
        case PROP_NOISE:
            g_value_set_boolean(value, s->noise);
            break;
        case PROP_PICTURE:
            g_value_set_string(value, s->pictureFile.c_str());
            break;
        case PROP_START_DELAY:
            g_value_set_int(value, s->startDelayMs);
            break;
        case PROP_BUILT_IN:
            g_value_set_boolean(value, s->builtIn);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
}

void qv_sim_cam_finalize(GObject* object) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(object)->state;
    if (s->pool)
        gst_object_unref(s->pool);
    delete s;
    G_OBJECT_CLASS(qv_sim_cam_parent_class)->finalize(object);
}

gboolean qv_sim_cam_set_caps(GstBaseSrc* src, GstCaps* caps) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    const GstStructure* st = gst_caps_get_structure(caps, 0);
    int width = 0, height = 0, fpsN = 0, fpsD = 1;
    if (!gst_structure_get_int(st, "width", &width) ||
        !gst_structure_get_int(st, "height", &height) ||
        !gst_structure_get_fraction(st, "framerate", &fpsN, &fpsD) || fpsN <= 0 || width <= 0 ||
        height <= 0)
        return FALSE;
    std::lock_guard<std::mutex> guard(s->lock);
    s->coding = gst_structure_has_name(st, "image/jpeg")     ? Coding::kJpeg
                : gst_structure_has_name(st, "video/x-h264") ? Coding::kH264
                                                             : Coding::kYuy2;
    s->width = width;
    s->height = height;
    s->duration = gst_util_uint64_scale_int(GST_SECOND, fpsD, fpsN);
    s->dirty = true;
    s->products.reset();
    if (s->pool) {
        gst_buffer_pool_set_active(s->pool, FALSE);
        gst_object_unref(s->pool);
        s->pool = nullptr;
    }
    if (s->coding == Coding::kYuy2) {
        s->pool = gst_buffer_pool_new();
        GstStructure* config = gst_buffer_pool_get_config(s->pool);
        gst_buffer_pool_config_set_params(config, caps, static_cast<guint>(width) * height * 2, 2,
                                          0);
        if (!gst_buffer_pool_set_config(s->pool, config) ||
            !gst_buffer_pool_set_active(s->pool, TRUE)) {
            gst_object_unref(s->pool);
            s->pool = nullptr;
            return FALSE;
        }
    }
    return TRUE;
}

GstCaps* qv_sim_cam_get_caps(GstBaseSrc* src, GstCaps* filter) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    bool builtIn = false;
    {
        std::lock_guard<std::mutex> guard(s->lock);
        builtIn = s->builtIn;
    }
    GstCaps* caps = DeviceCaps(builtIn);
    if (!filter)
        return caps;
    GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    return both;
}

gboolean qv_sim_cam_start(GstBaseSrc* src) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    std::lock_guard<std::mutex> guard(s->lock);
    s->frames = 0;
    s->startedAt = std::chrono::steady_clock::now();
    return TRUE;
}

// Any thread: interrupts a first frame that waits out the start delay.
gboolean qv_sim_cam_unlock(GstBaseSrc* src) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    std::lock_guard<std::mutex> guard(s->lock);
    s->flushing = true;
    s->unlocked.notify_all();
    return TRUE;
}

gboolean qv_sim_cam_unlock_stop(GstBaseSrc* src) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    std::lock_guard<std::mutex> guard(s->lock);
    s->flushing = false;
    return TRUE;
}

gboolean qv_sim_cam_stop(GstBaseSrc* src) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->pool) {
        gst_buffer_pool_set_active(s->pool, FALSE);
        gst_object_unref(s->pool);
        s->pool = nullptr;
    }
    return TRUE;
}

// Live source: the base class waits for each buffer's time on the pipeline clock.
void qv_sim_cam_get_times(GstBaseSrc*, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
    *start = GST_BUFFER_PTS(buffer);
    *end = GST_CLOCK_TIME_IS_VALID(*start) && GST_BUFFER_DURATION_IS_VALID(buffer)
               ? *start + GST_BUFFER_DURATION(buffer)
               : GST_CLOCK_TIME_NONE;
}

// Streaming thread of the source.
GstFlowReturn qv_sim_cam_create(GstPushSrc* src, GstBuffer** out) {
    SimCamState* s = reinterpret_cast<QvSimCam*>(src)->state;
    std::unique_lock<std::mutex> lock(s->lock);
    if (s->width <= 0)
        return GST_FLOW_NOT_NEGOTIATED;
    if (s->followed && !s->followed->Exists()) {
        // What a real camera's stream does when its cable is pulled.
        lock.unlock();
        GST_ELEMENT_ERROR(src, RESOURCE, READ, ("The camera was unplugged."), (nullptr));
        return GST_FLOW_ERROR;
    }
    if (s->frames == 0 && s->startDelayMs > 0) {
        const auto due = s->startedAt + std::chrono::milliseconds(s->startDelayMs);
        s->unlocked.wait_until(lock, due, [s] { return s->flushing; });
        if (s->flushing)
            return GST_FLOW_FLUSHING;
    }
    Refresh(s, lock);
    const Products& p = *s->products;
    GstBuffer* buffer = nullptr;
    if (s->coding != Coding::kYuy2) {
        if (!p.encoded)
            return GST_FLOW_ERROR;
        buffer = gst_buffer_copy(p.encoded);
    } else {
        if (!s->pool || gst_buffer_pool_acquire_buffer(s->pool, &buffer, nullptr) != GST_FLOW_OK)
            return GST_FLOW_FLUSHING;
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
            gst_buffer_unref(buffer);
            return GST_FLOW_ERROR;
        }
        const size_t n = std::min<size_t>(map.size, p.yuy2.size());
        p.scene.AddNoise(p.yuy2.data(), map.data, n, static_cast<uint32_t>(s->frames));
        gst_buffer_unmap(buffer, &map);
    }
    GST_BUFFER_PTS(buffer) = s->frames * s->duration;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = s->duration;
    GST_BUFFER_OFFSET(buffer) = s->frames;
    GST_BUFFER_OFFSET_END(buffer) = s->frames + 1;
    ++s->frames;
    *out = buffer;
    return GST_FLOW_OK;
}

void qv_sim_cam_class_init(QvSimCamClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = qv_sim_cam_set_property;
    object->get_property = qv_sim_cam_get_property;
    object->finalize = qv_sim_cam_finalize;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                GST_PARAM_CONTROLLABLE | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        object, PROP_BRIGHTNESS,
        g_param_spec_int("brightness", "Brightness", "Brightness", -100, 100, 0, flags));
    g_object_class_install_property(
        object, PROP_CONTRAST,
        g_param_spec_int("contrast", "Contrast", "Contrast", -100, 100, 0, flags));
    g_object_class_install_property(
        object, PROP_TILT,
        g_param_spec_int("tilt", "Page tilt", "Page tilt in degrees", -30, 30, 6, flags));
    g_object_class_install_property(
        object, PROP_DESK,
        g_param_spec_enum("desk", "Desk", "Desk under the page", DeskEnumType(), 0, flags));
    g_object_class_install_property(
        object, PROP_NOISE,
        g_param_spec_boolean("noise", "Sensor noise", "Light sensor noise", TRUE, flags));
    g_object_class_install_property(
        object, PROP_PICTURE,
        g_param_spec_string("picture-file", "Picture file", "Picture laid on the desk", "",
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    // Not a control of the camera, so the settings dialog leaves it out.
    g_object_class_install_property(
        object, PROP_START_DELAY,
        g_param_spec_int("start-delay", "Start delay",
                         "Milliseconds from the start to the first frame (a camera slow to wake "
                         "up; the largest value: one that never starts)",
                         0, G_MAXINT, 0,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

    g_object_class_install_property(
        object, PROP_BUILT_IN,
        g_param_spec_boolean("built-in", "Built-in webcam",
                             "Offers a laptop webcam's sizes (up to 1280 x 720) only", FALSE,
                             static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, kSimulatedCameraName, "Source/Video",
                                          "A document page lying tilted on a desk", "Quorvane");
    GstCaps* caps = DeviceCaps(false);
    gst_element_class_add_pad_template(
        element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);

    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    base->get_caps = qv_sim_cam_get_caps;
    base->set_caps = qv_sim_cam_set_caps;
    base->start = qv_sim_cam_start;
    base->stop = qv_sim_cam_stop;
    base->unlock = qv_sim_cam_unlock;
    base->unlock_stop = qv_sim_cam_unlock_stop;
    base->get_times = qv_sim_cam_get_times;
    GST_PUSH_SRC_CLASS(klass)->create = qv_sim_cam_create;
}

void qv_sim_cam_init(QvSimCam* self) {
    self->state = new SimCamState;
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

}  // namespace

GType SimulatedCameraElementType() {
    return qv_sim_cam_get_type();
}

GstCaps* SimulatedCameraCaps(bool builtIn) {
    return DeviceCaps(builtIn);
}

bool ReadSimulatedCameraTruth(GstElement* element, SimulatedCameraTruth* truth) {
    if (!element || !SimulatedCameraRegistered() ||
        !G_TYPE_CHECK_INSTANCE_TYPE(element, qv_sim_cam_get_type()))
        return false;
    SimCamState* s = reinterpret_cast<QvSimCam*>(element)->state;
    std::lock_guard<std::mutex> guard(s->lock);
    if (!s->products)
        return false;
    const SimulatedScene& scene = s->products->scene;
    truth->width = scene.Width();
    truth->height = scene.Height();
    truth->frameTiltDegrees = scene.FrameTiltDegrees();
    truth->uprightTiltDegrees = scene.UprightTiltDegrees();
    truth->frameCorners = scene.FrameCorners();
    truth->uprightCorners = scene.UprightCorners();
    return true;
}
