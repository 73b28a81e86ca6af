#include "capture/capture_engine.h"

#include <QMetaObject>
#include <QThread>
#include <atomic>

#include "capture/frame_filter.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "media/pipeline_state.h"
#include "platform/message_box.h"

namespace {

// Numbers the devices added to any engine in this process.
std::atomic<int> g_deviceCounter{0};

const QString kCaption = QStringLiteral("RozuzIze");

// A new element with a full (non-floating) reference held by the caller; null when missing.
GstElement* Make(const char* factory, const char* name = nullptr) {
    GstElement* e = gst_element_factory_make(factory, name);
    return e ? GST_ELEMENT(gst_object_ref_sink(e)) : nullptr;
}

}  // namespace

AboutDirectShow::AboutDirectShow() : relay_(std::make_unique<QObject>()) {
    if (MediaPlatformInit())
        graph = gst_pipeline_new("capture graph");
    if (!graph) {
        QvMessageBox(QStringLiteral("Create graph error"), kCaption);
        return;
    }
    gst_object_ref_sink(graph);
    GstBus* bus = gst_element_get_bus(graph);
    gst_bus_set_sync_handler(bus, BusSyncHandler, this, nullptr);
    gst_object_unref(bus);
}

AboutDirectShow::~AboutDirectShow() {
    Shutdown();
}

// Runs on whichever thread posts the message (mostly a streaming thread): errors are carried
// to the user-interface thread; nothing is left on the bus, which nobody reads.
GstBusSyncReply AboutDirectShow::BusSyncHandler(GstBus*, GstMessage* message, gpointer self) {
    auto* engine = static_cast<AboutDirectShow*>(self);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        QMetaObject::invokeMethod(
            engine->relay_.get(), [engine] { engine->OnStreamError(); }, Qt::QueuedConnection);
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void AboutDirectShow::OnStreamError() {
    if (!runRequested)
        return;  // already stopped; one message per failure
    Stop();
    QvMessageBox(QStringLiteral("Can't preview"), kCaption);
}

bool AboutDirectShow::AddDevice() {
    if (!videoDevice.IsValid() || !graph)
        return false;
    const int number = g_deviceCounter.fetch_add(1);
    const QByteArray name =
        QString::asprintf("Video Capture device %d- %d", number, deviceIndex).toUtf8();
    GstElement* element = videoDevice.CreateElement(name.constData());
    bool added = false;
    if (element) {
        gst_object_ref_sink(element);
        added = gst_bin_add(GST_BIN(graph), element);
        if (added)
            source = element;
        gst_object_unref(element);
    }
    EnumerateOutputSizes();
    return added;
}

std::vector<StreamCapability> AboutDirectShow::Capabilities() const {
    GstCaps* caps = videoDevice.Caps();
    std::vector<StreamCapability> result = CapabilitiesOf(caps);
    if (caps)
        gst_caps_unref(caps);
    return result;
}

void AboutDirectShow::EnumerateOutputSizes() {
    outputSizes.clear();
    if (!graph || !videoDevice.IsValid())
        return;
    std::vector<OutputCapability> list;
    for (const StreamCapability& c : Capabilities())
        list.push_back({c.formatName, c.width, c.height});
    outputSizes = BuildOutputSizeCatalogue(list);
}

GstCaps* AboutDirectShow::PreviewCaps() const {
    if (chosenFormat_)
        return gst_caps_ref(chosenFormat_);
    GstCaps* caps = videoDevice.Caps();
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        if (caps)
            gst_caps_unref(caps);
        return gst_caps_new_any();
    }
    GstCaps* first = gst_caps_copy_nth(caps, 0);
    gst_caps_unref(caps);
    return first;
}

bool AboutDirectShow::BuildPreview() {
    if (previewBuilt)
        return true;
    if (!source)
        return false;
    frameFilter = new CVideoCaptureTransInPlaceFilter();
    if (!frameFilter->Element()) {
        TearDownPreview();
        return false;
    }
    nullRenderer = Make("fakesink", "RenderNULL");
    if (!nullRenderer) {
        QvMessageBox(QStringLiteral("Add No render fail"), QStringLiteral("Error"),
                     MessageIcon::kError);
        TearDownPreview();
        return false;
    }
    g_object_set(nullRenderer, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, nullptr);
    chain_.push_back(nullRenderer);

    // A leaky queue lets the camera run on while a frame is being converted: late frames are
    // dropped at the camera's side instead of piling up.
    GstElement* queue = Make("queue");
    GstElement* formatFilter = Make("capsfilter", "format filter");
    GstCaps* caps = PreviewCaps();
    const bool jpeg = !gst_caps_is_any(caps) &&
                      gst_structure_has_name(gst_caps_get_structure(caps, 0), "image/jpeg");
    GstElement* decoder = jpeg ? Make("jpegdec") : nullptr;
    GstElement* convert = Make("videoconvert");
    GstElement* bgrFilter = Make("capsfilter", "bgr filter");
    std::vector<GstElement*> links = {source, queue, formatFilter};
    for (GstElement* e : {queue, formatFilter, decoder, convert, bgrFilter}) {
        if (e)
            chain_.insert(chain_.end() - 1, e);
    }
    bool ok = queue && formatFilter && (!jpeg || decoder) && convert && bgrFilter;
    if (ok) {
        g_object_set(queue, "leaky", 2, "max-size-buffers", 2, "max-size-bytes", 0, "max-size-time",
                     G_GUINT64_CONSTANT(0), nullptr);
        g_object_set(formatFilter, "caps", caps, nullptr);
        GstCaps* bgr = CVideoCaptureTransInPlaceFilter::AcceptedCaps();
        g_object_set(bgrFilter, "caps", bgr, nullptr);
        gst_caps_unref(bgr);
        if (decoder)
            links.push_back(decoder);
        links.insert(links.end(), {convert, bgrFilter, frameFilter->Element(), nullRenderer});
        for (GstElement* e : chain_)
            ok = ok && gst_bin_add(GST_BIN(graph), e);
        ok = ok && gst_bin_add(GST_BIN(graph), frameFilter->Element());
        for (size_t i = 0; ok && i + 1 < links.size(); ++i)
            ok = gst_element_link(links[i], links[i + 1]);
    }
    gst_caps_unref(caps);
    if (!ok) {
        QvMessageBox(QStringLiteral("Connect Render Filter error"), QStringLiteral("Error"),
                     MessageIcon::kError);
        TearDownPreview();
        return false;
    }
    previewBuilt = true;
    return true;
}

void AboutDirectShow::TearDownPreview() {
    if (graph)
        gst_element_set_state(graph, GST_STATE_NULL);
    std::vector<GstElement*> elements = chain_;
    if (frameFilter && frameFilter->Element())
        elements.push_back(frameFilter->Element());
    for (GstElement* e : elements) {
        if (graph && GST_OBJECT_PARENT(e) == GST_OBJECT(graph))
            gst_bin_remove(GST_BIN(graph), e);
    }
    for (GstElement* e : chain_)
        gst_object_unref(e);
    chain_.clear();
    nullRenderer = nullptr;
    delete frameFilter;
    frameFilter = nullptr;
    previewBuilt = false;
}

bool AboutDirectShow::Run() {
    if (runRequested)
        return true;
    if (!graph || !previewBuilt)
        return false;
    runRequested = true;
    if (!SetStateAndWait(graph, GST_STATE_PLAYING, 5000)) {
        // A failed start leaves nothing half-running, so that the next Run tries again.
        gst_element_set_state(graph, GST_STATE_NULL);
        runRequested = false;
        return false;
    }
    running = true;
    return true;
}

bool AboutDirectShow::Stop() {
    if (!runRequested)
        return true;
    if (!graph)
        return false;
    runRequested = false;
    for (int attempt = 0; attempt <= 30; ++attempt) {
        if (gst_element_set_state(graph, GST_STATE_NULL) != GST_STATE_CHANGE_FAILURE)
            break;
        QThread::msleep(100);
    }
    running = false;
    return true;
}

bool AboutDirectShow::GetCurrentFormat(int* code, int* width, int* height) {
    if (!videoDevice.IsValid() || !source)
        return false;
    GstCaps* caps = nullptr;
    if (GstPad* pad = gst_element_get_static_pad(source, "src")) {
        caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
    }
    if (!caps)
        caps = PreviewCaps();
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps)) {
        if (caps)
            gst_caps_unref(caps);
        QvMessageBox(QStringLiteral("Cannot find VCapture:IAMStreamConfig"), kCaption);
        return false;
    }
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int w = 0, h = 0;
    if (gst_structure_get_int(s, "width", &w) && gst_structure_get_int(s, "height", &h)) {
        *width = w;
        *height = std::abs(h);
        static const std::pair<const char*, int> kCodes[] = {
            {"UYVY", kFormatUYVY}, {"YUYV", kFormatYUYV},   {"YUY2", kFormatYUY2},
            {"IYUV", kFormatI420}, {"RGB24", kFormatRGB24}, {"RGB32", kFormatRGB32},
            {"MJPG", kFormatMJPG}};
        const std::string name = FormatNameOf(s);
        for (const auto& [n, c] : kCodes) {
            if (name == n)
                *code = c;
        }
    }
    gst_caps_unref(caps);
    currentSubtype = *code;
    currentWidth = *width;
    currentHeight = *height;
    return true;
}

void AboutDirectShow::StopBeforeRebuild(bool* wasRunning) {
    *wasRunning = running;
    if (runRequested)
        Stop();
    runRequested = false;
    TearDownPreview();
}

bool AboutDirectShow::Rebuild(bool wasRunning) {
    if (BuildPreview()) {
        if (!wasRunning || Run())
            return true;
        // A camera without a still-image trigger has nothing to fall back on here.
    }
    QvMessageBox(QStringLiteral("Can't preview"), kCaption);
    return false;
}

bool AboutDirectShow::ApplySize(int width, int height) {
    for (const StreamCapability& c : Capabilities()) {
        if ((c.formatName == "YUY2" || c.formatName == "RGB24") && c.width == width &&
            c.height == height) {
            GstCaps* caps = CapsOfCapability(c);
            if (!caps)
                return false;
            if (chosenFormat_)
                gst_caps_unref(chosenFormat_);
            chosenFormat_ = caps;
            return true;
        }
    }
    return false;
}

bool AboutDirectShow::ChangeOutputSize(int width, int height) {
    if (!videoDevice.IsValid() || usable != 1)
        return false;
    bool wasRunning = false;
    StopBeforeRebuild(&wasRunning);
    const bool result = ApplySize(width, height);
    return Rebuild(wasRunning) && result;
}

void AboutDirectShow::ShowDeviceSettings() {
    if (source)
        ShowCameraSettings(source, videoDevice.DevicePath());
}

bool AboutDirectShow::ShowFormatSettings() {
    if (!videoDevice.IsValid() || usable != 1)
        return false;
    bool wasRunning = false;
    StopBeforeRebuild(&wasRunning);
    const std::vector<StreamCapability> caps = Capabilities();
    if (!caps.empty()) {
        int current = -1;
        GstCaps* preview = PreviewCaps();
        for (size_t i = 0; i < caps.size() && !gst_caps_is_any(preview); ++i) {
            GstCaps* c = CapsOfCapability(caps[i]);
            if (c && gst_caps_can_intersect(c, preview) && current < 0)
                current = static_cast<int>(i);
            if (c)
                gst_caps_unref(c);
        }
        gst_caps_unref(preview);
        const int chosen = ChooseStreamFormat(caps, current);
        if (chosen >= 0 && chosen < static_cast<int>(caps.size())) {
            if (GstCaps* c = CapsOfCapability(caps[chosen])) {
                if (chosenFormat_)
                    gst_caps_unref(chosenFormat_);
                chosenFormat_ = c;
            }
        }
    }
    return Rebuild(wasRunning);
}

void AboutDirectShow::Shutdown() {
    if (runRequested)
        Stop();
    runRequested = false;
    TearDownPreview();
    if (graph) {
        gst_element_set_state(graph, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(graph);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(graph);
        graph = nullptr;
        source = nullptr;
    }
    if (chosenFormat_) {
        gst_caps_unref(chosenFormat_);
        chosenFormat_ = nullptr;
    }
    outputSizes.clear();
}
