#include "capture/video_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "capture/recording_repair.h"
#include "media/media_platform.h"
#include "platform/message_box.h"
#include "platform/user_folders.h"

namespace {

CVideoRecorder* g_current = nullptr;

bool Fail(const QString& text) {
    QvMessageBox(text, ErrorCaption(), MessageIcon::kError);
    return false;
}

QString ExtensionOf(const QString& fileName) {
    const QString upper = fileName.toUpper();
    const qsizetype dot = upper.lastIndexOf(u'.');
    return dot < 0 ? upper : upper.mid(dot + 1);
}

// Copies what fd holds into a new file at path; false (and no file) when it cannot.
bool CopyInto(int fd, const QString& path) {
    QFile out(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !out.open(QIODevice::NewOnly))
        return false;
    std::vector<char> block(1 << 20);
    ssize_t n = 0;
    off_t at = 0;
    while ((n = pread(fd, block.data(), block.size(), at)) > 0) {
        if (out.write(block.data(), n) != n)
            break;
        at += n;
    }
    if (n == 0 && out.flush())
        return true;
    out.remove();
    return false;
}

}  // namespace

CVideoRecorder::CVideoRecorder() : relay_(std::make_unique<QObject>()) {}

CVideoRecorder::~CVideoRecorder() {
    StopRecording();
    if (keptFile_ >= 0)
        close(keptFile_);
    if (g_current == this)
        g_current = nullptr;
}

CVideoRecorder* CVideoRecorder::Current() {
    return g_current;
}

CVideoRecorder* CVideoRecorder::CreateRecorder() {
    DestroyRecorder();
    g_current = new CVideoRecorder();
    return g_current;
}

void CVideoRecorder::DestroyRecorder() {
    delete g_current;  // clears g_current
}

std::unique_ptr<CVideoRecorder> CVideoRecorder::TakeCurrent() {
    return std::unique_ptr<CVideoRecorder>(std::exchange(g_current, nullptr));
}

bool CVideoRecorder::PushFrame(const CDibImage& picture) {
    CVideoRecorder* recorder = g_current;
    return recorder && recorder->recording_ && recorder->source_ &&
           recorder->source_->Stream().PushFrame(picture);
}

int CVideoRecorder::WmvBitRate(int width, int height, int framesPerSecond) {
    const int64_t bits = int64_t(width) * height * std::max(framesPerSecond, 1) / 4;
    return int(std::clamp<int64_t>(bits, 500'000, 100'000'000));
}

GstClockTime CVideoRecorder::ClockNow() {
    if (!MediaPlatformInit())
        return GST_CLOCK_TIME_NONE;
    GstClock* clock = gst_system_clock_obtain();
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    return now;
}

void CVideoRecorder::LoadEncoders() {
    if (!MediaPlatformInit())
        return;
    for (const char* factory : {"jpegenc", "avimux", "avenc_wmv2", "asfmux"}) {
        if (GstElement* element = gst_element_factory_make(factory, nullptr))
            gst_object_unref(gst_object_ref_sink(element));
    }
}

bool CVideoRecorder::StartRecording(const QString& fileName, int width, int height,
                                    int framesPerSecond, GstClockTime requestedAt) {
    if (recording_ || graphReady_)
        return false;  // one recording per recorder
    requestedAt_ = GST_CLOCK_TIME_IS_VALID(requestedAt) ? requestedAt : ClockNow();
    fileName_ = fileName;
    const bool wmv = ExtensionOf(fileName) == QLatin1String("WMV");
    if (wmv) {
        // The WMV encoder takes even sizes only: the odd column or row is left out.
        width &= ~1;
        height &= ~1;
    }
    width_ = width;
    height_ = height;
    if (width <= 0 || height <= 0)
        return Fail(QStringLiteral("No live picture to record"));
    const bool built = CreateGraph() && AddSource(framesPerSecond) &&
                       (wmv ? BuildWmvChain(framesPerSecond) : BuildAviChain()) && Run();
    if (!built) {
        TearDown();
        return false;
    }
    KeepFile();
    recording_ = true;
    return true;
}

bool CVideoRecorder::CreateGraph() {
    if (graphReady_)
        return false;
    if (MediaPlatformInit())
        graph_ = gst_pipeline_new("record graph");
    if (!graph_) {
        QvMessageBox(QStringLiteral("Create Video graph Fail"), ErrorCaption());
        return false;
    }
    gst_object_ref_sink(graph_);
    // The recording's time starts when it was asked for: the pipeline's running time counts from
    // that moment on the system clock, so the first picture lasts while the pipeline gets going.
    GstClock* clock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(graph_), clock);
    gst_object_unref(clock);
    gst_element_set_start_time(graph_, GST_CLOCK_TIME_NONE);
    gst_element_set_base_time(graph_, requestedAt_);
    GstBus* bus = gst_element_get_bus(graph_);
    gst_bus_set_sync_handler(bus, BusSyncHandler, this, nullptr);
    gst_object_unref(bus);
    graphReady_ = true;
    return true;
}

bool CVideoRecorder::AddSource(int framesPerSecond) {
    source_ = std::make_unique<CKTRecordSource>(width_, height_, framesPerSecond);
    if (!source_->Element() || !gst_bin_add(GST_BIN(graph_), source_->Element()))
        return Fail(QStringLiteral("Add record source error"));
    return true;
}

GstElement* CVideoRecorder::Add(const char* factory, const char* name) {
    GstElement* element = gst_element_factory_make(factory, name);
    if (element && !gst_bin_add(GST_BIN(graph_), element)) {
        gst_object_unref(element);
        return nullptr;
    }
    return element;
}

void CVideoRecorder::SetOutputFile(GstElement* writer) {
    // Unbuffered: what the muxer has written is in the file even when the recording fails and
    // the writer is stopped without its end; the muxers write whole frames and packets anyway.
    g_object_set(writer, "location", QFile::encodeName(fileName_).constData(), "buffer-mode", 2,
                 nullptr);
}

bool CVideoRecorder::BuildAviChain() {
    GstElement* tee = Add("tee", "Start tee");
    if (!tee)
        return Fail(QStringLiteral("Add smart tee error"));
    if (!gst_element_link(source_->Element(), tee))
        return Fail(QStringLiteral("Connect InfTee to smart tee Error"));
    GstElement* render = Add("fakesink", "NullRender");
    if (!render)
        return Fail(QStringLiteral("Add Video render error"));
    g_object_set(render, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, nullptr);
    if (!gst_element_link(tee, render))
        return Fail(
            QStringLiteral("Connect RuzidInfTee preview  decompressor to video render Error"));
    GstElement* mux = Add("avimux", "AVI Mux");
    if (!mux)
        return Fail(QStringLiteral("Add Avi Mux error"));
    // An AVI plays every frame for one slot: slots the source left empty (no new picture, or
    // encoding fell behind) repeat the previous encoded picture instead of shortening the file.
    GstElement* encoder = Add("jpegenc");
    GstElement* rate = Add("videorate");
    if (!encoder || !rate || !gst_element_link_many(tee, encoder, rate, mux, nullptr))
        return Fail(QStringLiteral("Connect  inftee to avi Mux Error"));
    GstElement* writer = Add("filesink", "FileWriter");
    if (!writer)
        return Fail(QStringLiteral("Add Avi dump error"));
    SetOutputFile(writer);
    if (!gst_element_link(mux, writer))
        return Fail(QStringLiteral("Connect  avi Mux to dump Error"));
    return true;
}

bool CVideoRecorder::BuildWmvChain(int framesPerSecond) {
    // The pieces of the WMV writer: converter, encoder, ASF muxer and file. The ASF muxer of
    // the libav plugin is not used: it writes a start time of an hour into the file.
    GstElement* writer = Add("filesink", "WMV FileWriter");
    GstElement* convert = Add("videoconvert");
    GstElement* i420 = Add("capsfilter");
    GstElement* encoder = Add("avenc_wmv2");
    GstElement* mux = Add("asfmux", "WMV Mux");
    if (!writer || !convert || !i420 || !encoder || !mux)
        return Fail(QStringLiteral("Add wmv file writer error"));
    SetOutputFile(writer);
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", nullptr);
    g_object_set(i420, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(encoder, "bitrate", WmvBitRate(width_, height_, framesPerSecond), nullptr);
    if (!gst_element_link_many(source_->Element(), convert, i420, encoder, mux, writer, nullptr))
        return Fail(QStringLiteral("Connect inftee to wmv writer Error"));
    return true;
}

bool CVideoRecorder::Run() {
    // Opening the file happens within the state change, so a folder that cannot be written
    // fails here. The sinks complete their start with the first samples, which the user-interface
    // thread has yet to push: waiting for that here would wait for ourselves.
    if (gst_element_set_state(graph_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        return true;
    const QString reason = TakeErrorText();
    return Fail(QStringLiteral("Start recording error") +
                (reason.isEmpty() ? QString() : u'\n' + reason));
}

void CVideoRecorder::RequestStop() {
    if (stopRequested_ || !graph_)
        return;
    stopRequested_ = true;
    recording_ = false;
    const GstClockTime end = RunningTime();
    endSeconds_ = GST_CLOCK_TIME_IS_VALID(end) ? double(end) / GST_SECOND : 0;
    if (source_)
        source_->Stream().RequestEnd(end);
}

RecordingOutcome CVideoRecorder::Finish(int timeoutMs) {
    RecordingOutcome outcome;
    if (!graph_)
        return outcome;
    outcome.fileName = fileName_;
    const bool ended = WaitForEnd(timeoutMs);
    outcome.failure = TakeErrorText();
    if (outcome.failure.isEmpty() && !ended)
        outcome.failure = QStringLiteral("The end of the recording did not reach the file in time");
    TearDown();
    SettleFile(outcome);
    return outcome;
}

double CVideoRecorder::ElapsedSeconds() const {
    const GstClockTime now = ClockNow();
    return GST_CLOCK_TIME_IS_VALID(now) && now > requestedAt_
               ? double(now - requestedAt_) / GST_SECOND
               : 0;
}

RecordingOutcome CVideoRecorder::StopRecording() {
    RequestStop();
    return Finish();
}

void CVideoRecorder::KeepFile() {
    keptFile_ = open(QFile::encodeName(fileName_).constData(), O_RDONLY | O_CLOEXEC);
}

bool CVideoRecorder::RestoreFile(RecordingOutcome& outcome) {
    struct stat kept = {};
    struct stat named = {};
    if (keptFile_ < 0 || fstat(keptFile_, &kept) != 0)
        return true;
    if (stat(QFile::encodeName(fileName_).constData(), &named) == 0 &&
        named.st_ino == kept.st_ino && named.st_dev == kept.st_dev)
        return true;
    // Removing the folder took the name away, not the recording, which the open file still
    // holds: it goes back under its own name, or into the documents folder.
    outcome.moved = true;
    const QString documents = DocumentsFolder();
    for (const QString& path :
         {fileName_,
          documents.isEmpty() ? QString() : documents + u'/' + QFileInfo(fileName_).fileName()}) {
        if (!path.isEmpty() && CopyInto(keptFile_, path)) {
            outcome.fileName = path;
            return true;
        }
    }
    return false;
}

void CVideoRecorder::SettleFile(RecordingOutcome& outcome) {
    if (!RestoreFile(outcome))
        return;
    const bool wmv = ExtensionOf(fileName_) == QLatin1String("WMV");
    RecordingContent content;
    if (wmv)
        content = RepairAsf(outcome.fileName);
    else if (!outcome.failure.isEmpty())
        content = RepairAvi(outcome.fileName);
    else
        content = {true, 0, endSeconds_};
    outcome.kept = content.playable;
    outcome.seconds = content.seconds;
    if (!outcome.kept && QFileInfo(outcome.fileName).isFile())
        QFile::remove(outcome.fileName);  // nothing in it plays
}

GstClockTime CVideoRecorder::RunningTime() const {
    GstClock* clock = gst_element_get_clock(graph_);
    if (!clock)
        return GST_CLOCK_TIME_NONE;
    const GstClockTime now = gst_clock_get_time(clock);
    const GstClockTime base = gst_element_get_base_time(graph_);
    gst_object_unref(clock);
    return now > base ? now - base : 0;
}

bool CVideoRecorder::WaitForEnd(int timeoutMs) {
    std::unique_lock<std::mutex> guard(busLock_);
    return busSignal_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                               [this] { return ended_ || !errorText_.isEmpty(); });
}

void CVideoRecorder::TearDown() {
    // A FillBuffer waiting for its slot returns, so the streaming thread can stop.
    if (source_)
        source_->Stream().RequestEnd();
    if (graph_) {
        gst_element_set_state(graph_, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(graph_);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(graph_);
        graph_ = nullptr;
    }
    source_.reset();
    graphReady_ = false;
    recording_ = false;
    std::lock_guard<std::mutex> guard(busLock_);
    ended_ = false;
    errorText_.clear();
}

QString CVideoRecorder::TakeErrorText() {
    std::lock_guard<std::mutex> guard(busLock_);
    return std::exchange(errorText_, QString());
}

// Runs on whichever thread posts the message (mostly a streaming thread; the user-interface
// thread during state changes): the end and the first error are noted, errors are carried to
// the user-interface thread, and nothing is left on the bus, which nobody reads.
GstBusSyncReply CVideoRecorder::BusSyncHandler(GstBus*, GstMessage* message, gpointer self) {
    auto* recorder = static_cast<CVideoRecorder*>(self);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS ||
        GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        std::lock_guard<std::mutex> guard(recorder->busLock_);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            recorder->ended_ = true;
        } else if (recorder->errorText_.isEmpty()) {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            recorder->errorText_ = QString::fromUtf8(error ? error->message : "stream error");
            g_clear_error(&error);
            QMetaObject::invokeMethod(
                recorder->relay_.get(), [recorder] { recorder->OnStreamError(); },
                Qt::QueuedConnection);
        }
        recorder->busSignal_.notify_all();
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void CVideoRecorder::OnStreamError() {
    if (stopRequested_)
        return;  // being finished: the finishing tells the error
    RequestStop();
    if (failed_)
        failed_();
}
