#include "capture/capture_engine.h"

#include <QMetaObject>
#include <atomic>
#include <mutex>

#include "capture/frame_filter.h"
#include "capture/pipeline_control.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "media/stream_decoder.h"
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

// Lets the streaming and control threads run a call on the user-interface thread while the
// engine exists; the engine cuts the link before it goes, waiting for a post in progress.
struct AboutDirectShow::Link {
    std::mutex mutex;
    QObject* relay = nullptr;
    AboutDirectShow* engine = nullptr;

    void Post(void (AboutDirectShow::*call)()) {
        std::lock_guard<std::mutex> guard(mutex);
        if (!relay)
            return;
        AboutDirectShow* target = engine;
        // A queued call to relay is dropped with it, so it never reaches a deleted engine.
        QMetaObject::invokeMethod(
            relay, [target, call] { (target->*call)(); }, Qt::QueuedConnection);
    }
    void Cut() {
        std::lock_guard<std::mutex> guard(mutex);
        relay = nullptr;
        engine = nullptr;
    }
};

AboutDirectShow::AboutDirectShow()
    : relay_(std::make_unique<QObject>()), link_(std::make_shared<Link>()) {
    link_->relay = relay_.get();
    link_->engine = this;
    startWatch_.setSingleShot(true);
    QObject::connect(&startWatch_, &QTimer::timeout, relay_.get(), [this] { OnStartTimeout(); });
    failureNotice_.setSingleShot(true);
    QObject::connect(&failureNotice_, &QTimer::timeout, relay_.get(),
                     [] { QvMessageBox(QStringLiteral("Can't preview"), kCaption); });
    if (MediaPlatformInit())
        graph = gst_pipeline_new("capture graph");
    if (!graph) {
        QvMessageBox(QStringLiteral("Create graph error"), kCaption);
        return;
    }
    gst_object_ref_sink(graph);
    GstBus* bus = gst_element_get_bus(graph);
    gst_bus_set_sync_handler(
        bus, BusSyncHandler, new std::shared_ptr<Link>(link_),
        [](gpointer link) { delete static_cast<std::shared_ptr<Link>*>(link); });
    gst_object_unref(bus);
    // Runs on the control thread.
    control_ = std::make_unique<CPipelineControl>(
        graph, startTimeoutMs, [link = link_] { link->Post(&AboutDirectShow::OnControlSettled); });
}

AboutDirectShow::~AboutDirectShow() {
    Shutdown();
}

// Runs on whichever thread posts the message (mostly a streaming thread): errors are carried
// to the user-interface thread; nothing is left on the bus, which nobody reads.
GstBusSyncReply AboutDirectShow::BusSyncHandler(GstBus*, GstMessage* message, gpointer link) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        (*static_cast<std::shared_ptr<Link>*>(link))->Post(&AboutDirectShow::ReportPreviewFailure);
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void AboutDirectShow::ReportPreviewFailure() {
    // Errors of a pipeline that is being stopped for a rebuild are the old format's.
    if (!runRequested || rebuildPending_)
        return;  // already stopped; one message per failure
    Stop();
    failureNotice_.start(kFailureNoticeMs);
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
        QvMessageBox(QStringLiteral("Add No render fail"), ErrorCaption(), MessageIcon::kError);
        TearDownPreview();
        return false;
    }
    g_object_set(nullRenderer, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, nullptr);
    chain_.push_back(nullRenderer);
    GstCaps* caps = PreviewCaps();
    const bool ok = LinkPreview(caps);
    gst_caps_unref(caps);
    if (!ok) {
        QvMessageBox(QStringLiteral("Connect Render Filter error"), ErrorCaption(),
                     MessageIcon::kError);
        TearDownPreview();
        return false;
    }
    previewBuilt = true;
    return true;
}

bool AboutDirectShow::LinkPreview(GstCaps* caps) {
    GstElement* queue = Make("queue");
    GstElement* formatFilter = Make("capsfilter", "format filter");
    GstElement* convert = Make("videoconvert");
    GstElement* bgrFilter = Make("capsfilter", "bgr filter");
    std::vector<GstElement*> decoders;
    bool ok = MakeDecodeChain(caps, &decoders);
    for (GstElement* e : {queue, formatFilter, convert, bgrFilter}) {
        ok = ok && e;
        if (e)
            chain_.push_back(e);
    }
    chain_.insert(chain_.end(), decoders.begin(), decoders.end());
    if (!ok)
        return false;
    // A leaky queue lets the camera run on while a frame is being converted: late frames are
    // dropped instead of piling up. Frames of a stream format (H.264 …) build on the ones
    // before them, so those are dropped only once decoded.
    g_object_set(queue, "leaky", 2, "max-size-buffers", 2, "max-size-bytes", 0, "max-size-time",
                 G_GUINT64_CONSTANT(0), nullptr);
    g_object_set(formatFilter, "caps", caps, nullptr);
    GstCaps* bgr = CVideoCaptureTransInPlaceFilter::AcceptedCaps();
    g_object_set(bgrFilter, "caps", bgr, nullptr);
    // A camera that sends BGR itself hands its own buffers to the frame filter.
    frameFilter->SetHoldFrames(!gst_caps_is_any(caps) && !gst_caps_can_intersect(caps, bgr));
    gst_caps_unref(bgr);
    std::vector<GstElement*> links = {source};
    if (FramesDecodeAlone(caps)) {
        links.insert(links.end(), {queue, formatFilter});
        links.insert(links.end(), decoders.begin(), decoders.end());
    } else {
        links.push_back(formatFilter);
        links.insert(links.end(), decoders.begin(), decoders.end());
        links.push_back(queue);
    }
    links.insert(links.end(), {convert, bgrFilter, frameFilter->Element(), nullRenderer});
    for (GstElement* e : chain_)
        ok = ok && gst_bin_add(GST_BIN(graph), e);
    ok = ok && gst_bin_add(GST_BIN(graph), frameFilter->Element());
    for (size_t i = 0; ok && i + 1 < links.size(); ++i)
        ok = gst_element_link(links[i], links[i + 1]);
    return ok;
}

// Only while the pipeline is stopped and the control thread at rest.
void AboutDirectShow::TearDownPreview() {
    std::vector<GstElement*> elements = chain_;
    if (frameFilter && frameFilter->Element())
        elements.push_back(frameFilter->Element());
    for (GstElement* e : elements) {
        if (graph && GST_OBJECT_PARENT(e) == GST_OBJECT(graph))
            gst_bin_remove(GST_BIN(graph), e);
    }
    ReleasePreview();
}

void AboutDirectShow::ReleasePreview() {
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
    if (!graph || !(previewBuilt || rebuildPending_))
        return false;
    runRequested = true;
    if (!rebuildPending_)
        StartPipeline();
    return true;
}

void AboutDirectShow::StartPipeline() {
    if (frameFilter)
        frameFilter->SetPassing(true);
    startRequest_ = control_->Request(GST_STATE_PLAYING);
    framesAtStart_ = frameFilter ? frameFilter->Frames() : 0;
    startWatch_.start(startTimeoutMs);
}

bool AboutDirectShow::Stop() {
    if (!runRequested)
        return true;
    if (!graph)
        return false;
    runRequested = false;
    running = false;
    startWatch_.stop();
    ClosePreview();
    return true;
}

void AboutDirectShow::OnControlSettled() {
    if (!control_)
        return;
    const CPipelineControl::Status status = control_->Read();
    if (rebuildPending_) {
        if (status.atRest && status.reached == GST_STATE_NULL)
            FinishRebuild();
        return;
    }
    if (!runRequested)
        return;
    if (status.failedRequest != 0 && status.failedRequest >= startRequest_) {
        ReportPreviewFailure();
        return;
    }
    if (status.atRest && status.reached == GST_STATE_PLAYING)
        running = true;
}

void AboutDirectShow::OnStartTimeout() {
    if (runRequested && !rebuildPending_ && frameFilter && frameFilter->Frames() == framesAtStart_)
        ReportPreviewFailure();
}

bool AboutDirectShow::GetCurrentFormat(int* code, int* width, int* height) {
    if (!videoDevice.IsValid() || !source)
        return false;
    // The format chosen last, even while the pipeline still runs the one before it; else the
    // format the camera negotiated, else the one it offers first.
    GstCaps* caps = chosenFormat_ ? gst_caps_ref(chosenFormat_) : nullptr;
    if (GstPad* pad = caps ? nullptr : gst_element_get_static_pad(source, "src")) {
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

// Whether the preview runs again after the rebuild is what runRequested says by then.
void AboutDirectShow::StopBeforeRebuild() {
    running = false;
    startWatch_.stop();
    if (control_ && !control_->IsStoppedAtRest())
        ClosePreview();
}

// The pipeline stops on the control thread, in its own time; its frames stop here and now.
void AboutDirectShow::ClosePreview() {
    if (frameFilter)
        frameFilter->SetPassing(false);
    control_->Request(GST_STATE_NULL);
}

bool AboutDirectShow::Rebuild() {
    rebuildPending_ = true;
    if (control_ && !control_->IsStoppedAtRest())
        return true;  // OnControlSettled finishes it once the pipeline has stopped
    return FinishRebuild();
}

bool AboutDirectShow::FinishRebuild() {
    rebuildPending_ = false;
    TearDownPreview();
    if (BuildPreview()) {
        // A camera that then fails to start is reported by OnControlSettled or the start watch.
        if (runRequested)
            StartPipeline();
        return true;
    }
    runRequested = false;
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

GstCaps* AboutDirectShow::ChosenFormat() const {
    return chosenFormat_ ? gst_caps_ref(chosenFormat_) : nullptr;
}

void AboutDirectShow::KeepFormat(GstCaps* format) {
    GstCaps* offered = videoDevice.Caps();
    if (offered && format && gst_caps_can_intersect(offered, format)) {
        if (chosenFormat_)
            gst_caps_unref(chosenFormat_);
        chosenFormat_ = gst_caps_ref(format);
    }
    if (offered)
        gst_caps_unref(offered);
}

void AboutDirectShow::KeepSize(int width, int height) {
    ApplySize(width, height);
}

bool AboutDirectShow::ChangeOutputSize(int width, int height) {
    if (!videoDevice.IsValid() || usable != 1)
        return false;
    StopBeforeRebuild();
    const bool result = ApplySize(width, height);
    return Rebuild() && result;
}

void AboutDirectShow::ShowDeviceSettings() {
    if (source)
        ShowCameraSettings(source, videoDevice.DevicePath());
}

bool AboutDirectShow::ShowFormatSettings() {
    if (!videoDevice.IsValid() || usable != 1)
        return false;
    StopBeforeRebuild();
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
    return Rebuild();
}

void AboutDirectShow::Shutdown() {
    startWatch_.stop();
    failureNotice_.stop();
    runRequested = false;
    running = false;
    rebuildPending_ = false;
    link_->Cut();
    if (frameFilter)
        frameFilter->SetPassing(false);  // a camera hung while stopping delivers nothing more
    // The control thread stops the pipeline before it lets go of it; the elements are freed
    // with the last reference, whichever thread drops it.
    control_.reset();
    ReleasePreview();
    if (graph) {
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
