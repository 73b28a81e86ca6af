// Recording with the simulated document camera, beside gst-launch-1.0 running the same encoder
// and muxer in the same run on the same picture (a shown camera frame, repeated by imagefreeze:
// how fast JPEG encodes depends on what the picture holds). For each size and format: the preview
// rate without and during recording, the distinct frames recorded per second, the slots skipped
// because encoding fell behind, the file's duration against the wall time from the start request
// to the stop request, the time the start and the stop take on the window's thread and the time
// finishing the file takes beside it, and the process's resident memory over the recording.
// Run it offscreen and in a visible window (tests/support/with_xvfb.sh record_bench ...).
//   record_bench [seconds per recording] [folder for the files]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "capture/video_recorder.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "platform/window_messages.h"
#include "resident_memory.h"
#include "view/video_item.h"

namespace {

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString Run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(600000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

struct FileFacts {
    double duration = 0;
    int frames = 0;
    qint64 bytes = 0;
};

FileFacts Probe(const QString& path) {
    const QStringList out =
        Run("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                        "stream=nb_read_frames:format=duration", "-of", "csv=p=0", path})
            .split(u'\n');
    FileFacts facts;
    if (out.size() >= 2) {
        facts.frames = out[0].toInt();
        facts.duration = out[1].toDouble();
    }
    facts.bytes = QFileInfo(path).size();
    return facts;
}

// Counts the frames the video item shows.
class CountingVideoItem : public CVideoItem {
public:
    using CVideoItem::CVideoItem;
    bool event(QEvent* e) override {
        if (e->type() == WindowMessageEvent::EventType())
            ++frames;
        return CVideoItem::event(e);
    }
    int frames = 0;
};

double PreviewRate(CountingVideoItem& item, int ms) {
    const int frames0 = item.frames;
    QElapsedTimer wall;
    wall.start();
    Wait(ms);
    return (item.frames - frames0) / (wall.nsecsElapsed() / 1e9);
}

void RecordRow(CountingVideoItem& item, const QString& path, int width, int height, int rate,
               int ms, double previewAlone) {
    // The user's time: from the moment the recording is asked for to the moment its stop is.
    QElapsedTimer wall;
    wall.start();
    CVideoRecorder* recorder = CVideoRecorder::CreateRecorder();
    if (!recorder->StartRecording(path, width, height, rate)) {
        std::printf("recording did not start\n");
        return;
    }
    const double startMs = wall.nsecsElapsed() / 1e6;
    const int frames0 = item.frames;
    std::vector<double> memory;
    for (int t = 0; t < ms; t += 1000) {
        Wait(1000);
        memory.push_back(ResidentMiB());
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double preview = (item.frames - frames0) / seconds;
    CKTRecordStream* stream = recorder->Stream();
    const uint64_t distinct = stream->SamplesSent();
    const uint64_t skipped = stream->SlotsSkipped();
    const uint64_t dropped = stream->FramesDropped();
    QElapsedTimer stop;
    stop.start();
    recorder->RequestStop();
    const double stopMs = stop.nsecsElapsed() / 1e6;
    stop.restart();
    const RecordingOutcome outcome = recorder->Finish();
    const double finishMs = stop.nsecsElapsed() / 1e6;
    CVideoRecorder::DestroyRecorder();
    const FileFacts file = Probe(path);
    std::printf("  ours  %s: %.0f KiB a frame of the file%s\n",
                qPrintable(QFileInfo(path).suffix()),
                file.bytes / 1024.0 / std::max(file.frames, 1),
                outcome.failure.isEmpty() ? "" : qPrintable(" FAILED: " + outcome.failure));
    const double memMax = *std::max_element(memory.begin(), memory.end());
    std::printf(
        "  ours  %-4s %4dx%-4d  preview %5.1f -> %5.1f fps (%+5.1f%%)  distinct %5.1f/s  file %4d "
        "frames %6.2f s / wall %6.2f s (%+5.2f%%)  skipped slots %4llu  dropped %3llu  start %4.0f "
        "ms  stop %3.1f ms + finishing %5.0f ms off the window's thread  RSS %5.0f .. %5.0f MiB "
        "(first %5.0f, at half time %5.0f, last %5.0f)\n",
        path.endsWith("wmv") ? "WMV" : "AVI", width, height, previewAlone, preview,
        100 * (preview / previewAlone - 1), distinct / seconds, file.frames, file.duration, seconds,
        100 * (file.duration / seconds - 1), (unsigned long long)skipped,
        (unsigned long long)dropped, startMs, stopMs, finishMs,
        *std::min_element(memory.begin(), memory.end()), memMax, memory.front(),
        memory[memory.size() / 2], memory.back());
}

// Writes the picture's rows (4-byte aligned BGR) to a file for the peer.
bool SaveRawFrame(const CDibImage& picture, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (uint32_t y = 0; y < picture.GetHeight(); ++y)
        file.write(reinterpret_cast<const char*>(picture.GetRow(y)), picture.GetEffWidth());
    return true;
}

// The same encoder and muxer fed with one camera frame over and over, as fast as they go.
void PeerRow(const QString& path, const QString& frame, bool wmv, int width, int height, int rate,
             int frames) {
    const QString encode =
        wmv ? QString("videoconvert ! video/x-raw,format=I420 ! avenc_wmv2 bitrate=%1 ! asfmux")
                  .arg(CVideoRecorder::WmvBitRate(width, height, rate))
            : QString("jpegenc ! avimux");
    const QString pipeline =
        QString(
            "filesrc location=%7 ! rawvideoparse format=bgr width=%2 height=%3 framerate=%4/1 ! "
            "imagefreeze num-buffers=%1 ! %5 ! filesink location=%6")
            .arg(frames)
            .arg(width)
            .arg(height)
            .arg(rate)
            .arg(encode, path, frame);
    QElapsedTimer wall;
    wall.start();
    QProcess p;
    p.start("sh", {"-c", "gst-launch-1.0 -q " + pipeline});
    p.waitForFinished(600000);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const FileFacts file = Probe(path);
    std::printf(
        "  peer  %-4s %4dx%-4d  gst-launch-1.0: %d frames encoded in %.2f s = %5.1f fps, %.0f KiB "
        "a "
        "frame\n",
        wmv ? "WMV" : "AVI", width, height, file.frames, seconds, file.frames / seconds,
        file.bytes / 1024.0 / std::max(file.frames, 1));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int ms = argc > 1 ? std::atoi(argv[1]) * 1000 : 20000;
    const QString folder = argc > 2 ? QString(argv[2]) : QDir::tempPath();
    MediaPlatformInit();
    RegisterSimulatedCamera("", 1);
    std::printf("load average at start: %s\n", qPrintable(Run("cat", {"/proc/loadavg"})));
    struct Size {
        int width, height, rate;
    };
    for (const Size& size : {Size{1600, 1200, 30}, Size{2592, 1944, 15}}) {
        QWidget window;
        window.resize(1024, 768);
        auto* item = new CountingVideoItem;
        item->DeviceSet().EnumerateVideoDevices();
        item->Open(&window);
        item->setGeometry(0, 0, 1024, 768);
        window.show();
        if (!item->DeviceSet().ChangeOutputSize(size.width, size.height) ||
            !item->DeviceSet().RunPreview()) {
            std::printf("preview failed\n");
            return 1;
        }
        Wait(2000);
        for (const char* ext : {"avi", "wmv"}) {
            const double alone = PreviewRate(*item, 5000);
            const QString path = QString("%1/record_bench_%2x%3.%4")
                                     .arg(folder)
                                     .arg(size.width)
                                     .arg(size.height)
                                     .arg(ext);
            QFile::remove(path);
            RecordRow(*item, path, size.width, size.height, size.rate, ms, alone);
            QFile::remove(path);
            const QString peerPath = path + ".peer." + ext;
            const QString frame = path + ".bgr";
            if (!SaveRawFrame(item->GetWorkImage(), frame)) {
                std::printf("no frame for the peer\n");
                return 1;
            }
            PeerRow(peerPath, frame, QString(ext) == "wmv", size.width, size.height, size.rate,
                    size.rate * 10);
            QFile::remove(peerPath);
            QFile::remove(frame);
        }
        item->DeviceSet().StopPreview();
        delete item;
    }
    std::printf("load average at end: %s\n", qPrintable(Run("cat", {"/proc/loadavg"})));
    return 0;
}
