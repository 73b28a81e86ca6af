// Preview throughput with the simulated document camera: frames per second reaching the
// receiver on the user-interface thread, the time that thread spends per frame, and the whole
// process's CPU use, beside the bare pipeline (the same source and conversion into fakesink,
// as gst-launch-1.0 would run it) as the floor. The video item runs with automatic cropping
// off, then on, then with page capture on, to show what the worker thread adds to the preview.
// Times are CPU times (process and user-interface thread), so that other work on a shared
// machine slows the rows down without inflating them; "ms/frame" is the process's CPU time per
// frame shown, the figure to compare with the bare pipeline's when a loaded machine drops frames.
//   capture_preview_bench [seconds per run] [item]   (item: only the video item rows)

#include <gst/gst.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "capture/device_set.h"
#include "capture/frame_mailbox.h"
#include "dialogs/format_dialog.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "platform/window_messages.h"
#include "view/video_item.h"

namespace {

double CpuSeconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU time of the calling thread (the user-interface thread here).
qint64 ThreadCpuNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Rate {
    double cpuShare = 0;    // of one core
    double msPerFrame = 0;  // process CPU time per frame
};

// What every row prints after its label and size: frames per second, the process's CPU share of
// one core and its CPU time per frame.
Rate PrintRate(const char* label, int width, int height, int frames, double seconds, double cpu) {
    const Rate rate{cpu / seconds, frames ? cpu * 1e3 / frames : 0.0};
    std::printf("%-28s %4dx%-4d  %5.1f fps  CPU %5.1f%%  %5.2f ms/frame", label, width, height,
                frames / seconds, 100 * rate.cpuShare, rate.msPerFrame);
    return rate;
}

class Receiver : public QObject {
public:
    Receiver() : mailbox(this) { CFrameMailbox::SetCurrent(&mailbox); }
    ~Receiver() override { CFrameMailbox::SetCurrent(nullptr); }
    bool event(QEvent* e) override {
        if (e->type() != WindowMessageEvent::EventType())
            return QObject::event(e);
        const qint64 t0 = ThreadCpuNs();
        // What the video item does before its picture view takes over: read the whole frame.
        const uint8_t* p = mailbox.Frame();
        uint32_t sum = 0;
        for (int y = 0; y < mailbox.Height(); y += 8)
            sum += p[static_cast<size_t>(y) * mailbox.Stride()];
        checksum += sum;
        mailbox.Taken();
        ++frames;
        busyNs += ThreadCpuNs() - t0;
        return true;
    }
    CFrameMailbox mailbox;
    int frames = 0;
    qint64 busyNs = 0;
    uint32_t checksum = 0;
};

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void RunEngine(const char* label, int width, int height, int ms, bool jpeg) {
    Receiver receiver;
    CDeviceSet set;
    set.EnumerateVideoDevices();
    set.CreateEngine();
    AboutDirectShow* engine = set.Engine();
    if (!engine) {
        std::printf("no simulated camera\n");
        return;
    }
    bool ok = false;
    if (jpeg) {
        // The MJPG capability of this size, chosen as in the format dialog.
        SetFormatChooser([&](const std::vector<StreamCapability>& caps, int) {
            for (size_t i = 0; i < caps.size(); ++i) {
                if (caps[i].formatName == "MJPG" && caps[i].width == width &&
                    caps[i].height == height)
                    return static_cast<int>(i);
            }
            return -1;
        });
        ok = set.ShowFormatSettings();
        SetFormatChooser({});
    } else {
        ok = set.ChangeOutputSize(width, height);
    }
    if (!ok) {
        std::printf("size %dx%d refused\n", width, height);
        return;
    }
    set.RunPreview();
    Wait(1000);  // settle: first frames, scene rendering
    const int frames0 = receiver.frames;
    const qint64 busy0 = receiver.busyNs;
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Wait(ms);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    const int frames = receiver.frames - frames0;
    const double busy = (receiver.busyNs - busy0) / 1e9;
    PrintRate(label, width, height, frames, seconds, cpu);
    std::printf("  UI %6.3f ms/frame  UI busy %5.1f%%  dropped %llu\n",
                frames ? busy * 1e3 / frames : 0.0, 100 * busy / seconds,
                static_cast<unsigned long long>(receiver.mailbox.Dropped()));
    set.StopPreview();
}

// The live video item on screen: the time the user-interface thread spends per frame on the
// hand-off and SetFrame (OnFrame) and on painting.
class TimedVideoItem : public CVideoItem {
public:
    using CVideoItem::CVideoItem;
    bool event(QEvent* e) override {
        if (e->type() != WindowMessageEvent::EventType())
            return CVideoItem::event(e);
        const qint64 t0 = ThreadCpuNs();
        const bool r = CVideoItem::event(e);
        frameNs += ThreadCpuNs() - t0;
        ++frames;
        return r;
    }
    void paintEvent(QPaintEvent* e) override {
        const qint64 t0 = ThreadCpuNs();
        CVideoItem::paintEvent(e);
        paintNs += ThreadCpuNs() - t0;
        ++paints;
    }
    qint64 frameNs = 0, paintNs = 0;
    int frames = 0, paints = 0;
};

enum class Analysis { kNone, kAutoCrop, kPages };

Rate RunVideoItem(int width, int height, int ms, Analysis analysis) {
    QWidget window;
    window.resize(1024, 768);
    auto* item = new TimedVideoItem;
    item->DeviceSet().EnumerateVideoDevices();
    item->Open(&window);
    item->setGeometry(0, 0, 1024, 768);
    window.show();
    if (!item->DeviceSet().ChangeOutputSize(width, height) || !item->DeviceSet().RunPreview()) {
        std::printf("video item preview failed\n");
        delete item;
        return {};
    }
    item->SetAutoCropMode(analysis == Analysis::kAutoCrop ? 2 : 0);
    item->SetPageCapture(analysis == Analysis::kPages);
    Wait(1000);
    const uint64_t detections0 = item->EdgeWorker().Results().serial;
    const uint64_t looked0 = item->EdgeWorker().FramesTaken();
    const int frames0 = item->frames, paints0 = item->paints;
    const qint64 frameNs0 = item->frameNs, paintNs0 = item->paintNs;
    const qint64 ui0 = ThreadCpuNs();
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Wait(ms);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    const double ui = (ThreadCpuNs() - ui0) / 1e9;
    const int frames = item->frames - frames0;
    const int paints = item->paints - paints0;
    const uint64_t detections = item->EdgeWorker().Results().serial - detections0;
    const uint64_t looked = item->EdgeWorker().FramesTaken() - looked0;
    const double frameS = (item->frameNs - frameNs0) / 1e9;
    const double paintS = (item->paintNs - paintNs0) / 1e9;
    const char* labels[] = {"video item, auto crop off", "video item, auto crop on",
                            "video item, page capture"};
    const Rate rate = PrintRate(labels[int(analysis)], width, height, frames, seconds, cpu);
    std::printf(
        "  OnFrame %5.2f ms  paint %5.2f ms (%d)  UI busy %5.1f%%  worker %4.1f frames/s, "
        "detections %4.1f/s\n",
        frames ? frameS * 1e3 / frames : 0.0, paints ? paintS * 1e3 / paints : 0.0, paints,
        100 * ui / seconds, looked / seconds, detections / seconds);
    item->DeviceSet().StopPreview();
    delete item;
    return rate;
}

Rate RunBare(int width, int height, int ms, const char* format) {
    const QByteArray description =
        QStringLiteral(
            "%1 ! %2,width=%3,height=%4 ! queue leaky=2 max-size-buffers=2 ! %5"
            "videoconvert ! video/x-raw,format=BGR ! fakesink name=sink sync=false "
            "signal-handoffs=true")
            .arg(kSimulatedCameraElement)
            .arg(format)
            .arg(width)
            .arg(height)
            .arg(QString(format).startsWith("image/jpeg") ? "jpegdec ! " : "")
            .toUtf8();
    GstElement* pipeline = gst_parse_launch(description.constData(), nullptr);
    if (!pipeline) {
        std::printf("bare pipeline failed\n");
        return {};
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    static std::atomic<int> count;
    count = 0;
    g_signal_connect(sink, "handoff",
                     G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer) { ++count; }),
                     nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    Wait(1000);
    const int frames0 = count;
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Wait(ms);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    const Rate rate =
        PrintRate("bare pipeline (floor)", width, height, count - frames0, seconds, cpu);
    std::printf("\n");
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return rate;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int ms = argc > 1 ? std::atoi(argv[1]) * 1000 : 5000;
    const bool itemOnly = argc > 2 && std::strcmp(argv[2], "item") == 0;
    MediaPlatformInit();
    RegisterSimulatedCamera("", 1);
    for (auto [w, h] : {std::pair{1600, 1200}, std::pair{2592, 1944}}) {
        Rate bare;
        if (!itemOnly) {
            bare = RunBare(w, h, ms, "video/x-raw,format=YUY2");
            RunEngine("preview YUY2 -> receiver", w, h, ms, false);
            RunBare(w, h, ms, "image/jpeg");
            RunEngine("preview MJPG -> receiver", w, h, ms, true);
        }
        const Rate item = RunVideoItem(w, h, ms, Analysis::kNone);
        const Rate crop = RunVideoItem(w, h, ms, Analysis::kAutoCrop);
        RunVideoItem(w, h, ms, Analysis::kPages);
        if (item.msPerFrame > 0) {
            std::printf("%-28s %4dx%-4d  CPU %4.2f x  per frame %4.2f x\n", "auto crop on / off", w,
                        h, crop.cpuShare / item.cpuShare, crop.msPerFrame / item.msPerFrame);
        }
        if (bare.cpuShare > 0 && bare.msPerFrame > 0) {
            std::printf("%-28s %4dx%-4d  CPU %4.2f x  per frame %4.2f x\n",
                        "video item / bare (YUY2)", w, h, item.cpuShare / bare.cpuShare,
                        item.msPerFrame / bare.msPerFrame);
        }
    }
    return 0;
}
