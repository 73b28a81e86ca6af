// The recorder on its own: pictures pushed at a steady pace, files read back by the real
// readers, and the ways a recording can fail.

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "capture/video_recorder.h"
#include "image/dib_image.h"
#include "media/media_platform.h"
#include "support/recorded_messages.h"
#include "support/video_probe.h"

namespace {

// A 24-bit picture whose brightness changes with n, so that every frame differs.
CDibImage Picture(int width, int height, int n) {
    CDibImage picture;
    picture.Create(uint32_t(width), uint32_t(height), 24, kDibFormatUnknown);
    for (uint32_t y = 0; y < picture.GetHeight(); ++y)
        std::memset(picture.GetRow(y), (n * 7 + int(y)) & 0xFF, picture.GetEffWidth());
    return picture;
}

// Pushes a new picture every 40 ms for ms milliseconds.
void Feed(int width, int height, int ms) {
    int n = 0;
    QTimer pacer;
    QObject::connect(&pacer, &QTimer::timeout,
                     [&] { CVideoRecorder::PushFrame(Picture(width, height, n++)); });
    pacer.start(40);
    QTest::qWait(ms);
}

// Drops the end of the stream before it reaches the muxer, which then never finishes the file.
GstPadProbeReturn DropEnd(GstPad*, GstPadProbeInfo* info, gpointer) {
    return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS ? GST_PAD_PROBE_DROP
                                                                           : GST_PAD_PROBE_OK;
}

}  // namespace

class VideoRecorderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(MediaPlatformInit()); }
    void cleanup() { CVideoRecorder::DestroyRecorder(); }

    // One video stream of the frame's size, no audio, as long as the recording ran.
    void recordsAFileThatPlaysForTheWallTime_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("fileWidth");
        QTest::addColumn<int>("fileHeight");
        QTest::newRow("avi") << "a.avi" << 640 << 480 << "mjpeg" << 640 << 480;
        QTest::newRow("wmv, odd size cut to even") << "b.Wmv" << 641 << 479 << "wmv2" << 640 << 478;
        QTest::newRow("no extension: avi") << "c" << 320 << 240 << "mjpeg" << 320 << 240;
    }
    void recordsAFileThatPlaysForTheWallTime() {
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, codec);
        QFETCH(int, fileWidth);
        QFETCH(int, fileHeight);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        RecordedMessages messages;
        QElapsedTimer timer;  // the recording's time runs from the moment it was asked for
        timer.start();
        CVideoRecorder* recorder = CVideoRecorder::CreateRecorder();
        QVERIFY(recorder->StartRecording(path, width, height, 25));
        QVERIFY(recorder->IsRecording());
        Feed(width, height, 3000);
        const double wall = timer.nsecsElapsed() / 1e9;
        const RecordingOutcome outcome = recorder->StopRecording();
        QVERIFY(!recorder->IsRecording());
        QVERIFY(outcome.kept && outcome.failure.isEmpty());
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('\n')));
        const VideoProbe probe = ProbeVideo(path);
        QCOMPARE(probe.videoStreams, 1);
        QCOMPARE(probe.audioStreams, 0);
        QCOMPARE(probe.codec, codec);
        QCOMPARE(probe.width, fileWidth);
        QCOMPARE(probe.height, fileHeight);
        QVERIFY2(
            std::abs(probe.duration - wall) <= 0.05 * wall,
            qPrintable(QString("%1 s in the file, %2 s recorded").arg(probe.duration).arg(wall)));
        QVERIFY(probe.frames > 0);
        if (codec == QLatin1String("mjpeg"))
            QVERIFY(DiscovererAccepts(path));
    }

    void failuresAreToldAndLeaveNoFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("message");
        QTest::newRow("no picture") << "x.avi" << 0 << "错误: No live picture to record";
        QTest::newRow("missing folder") << "missing/x.avi" << 320 << "错误: Start recording error";
        QTest::newRow("missing folder, wmv")
            << "missing/x.wmv" << 320 << "错误: Start recording error";
    }
    void failuresAreToldAndLeaveNoFile() {
        QFETCH(QString, file);
        QFETCH(int, width);
        QFETCH(QString, message);
        QTemporaryDir dir;
        RecordedMessages messages;
        CVideoRecorder* recorder = CVideoRecorder::CreateRecorder();
        QVERIFY(!recorder->StartRecording(dir.filePath(file), width, 240));
        QVERIFY(!recorder->IsRecording());
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY2(messages.texts[0].startsWith(message), qPrintable(messages.texts[0]));
        QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        QVERIFY(!CVideoRecorder::PushFrame(Picture(320, 240, 0)));
    }

    // A write error while recording (a full disk) stops the recording and tells the owner,
    // whose finishing names the error; the device holds nothing playable.
    void fullDiskStopsTheRecording() {
        RecordedMessages messages;
        CVideoRecorder* recorder = CVideoRecorder::CreateRecorder();
        int failures = 0;
        recorder->SetFailureHandler([&] { ++failures; });
        QVERIFY(recorder->StartRecording(QStringLiteral("/dev/full"), 320, 240, 25));
        QTimer pacer;
        int n = 0;
        QObject::connect(&pacer, &QTimer::timeout,
                         [&] { CVideoRecorder::PushFrame(Picture(320, 240, n++)); });
        pacer.start(40);
        QTRY_COMPARE_WITH_TIMEOUT(failures, 1, 10000);
        QVERIFY(!recorder->IsRecording());
        const RecordingOutcome outcome = recorder->Finish();
        QVERIFY2(outcome.failure.contains("space"), qPrintable(outcome.failure));
        QVERIFY(!outcome.kept);
        QVERIFY(messages.texts.isEmpty());
        QVERIFY(QFileInfo(QStringLiteral("/dev/full")).exists());
    }

    // An end of stream that never reaches the muxer: the stop gives up waiting, says so, and
    // mends the file so that what reached it plays.
    void endThatNeverComesIsToldAndMended_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("avi") << "a.avi";
        QTest::newRow("wmv") << "b.wmv";
    }
    void endThatNeverComesIsToldAndMended() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        CVideoRecorder* recorder = CVideoRecorder::CreateRecorder();
        QVERIFY(recorder->StartRecording(path, 320, 240, 25));
        GstElement* mux = gst_bin_get_by_name(GST_BIN(recorder->Graph()),
                                              name.endsWith("avi") ? "AVI Mux" : "WMV Mux");
        QVERIFY(mux);
        QVERIFY(mux->sinkpads != nullptr);
        gst_pad_add_probe(GST_PAD(mux->sinkpads->data), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
                          DropEnd, nullptr, nullptr);
        gst_object_unref(mux);
        Feed(320, 240, 2000);
        recorder->RequestStop();
        const RecordingOutcome outcome = recorder->Finish(1000);
        QVERIFY(!outcome.failure.isEmpty());
        QCOMPARE(outcome.fileName, path);
        QVERIFY(outcome.kept);
        const VideoProbe probe = ProbeVideo(path);
        QVERIFY2(probe.frames > 10 && std::abs(probe.duration - outcome.seconds) < 0.15,
                 qPrintable(QString("%1 frames, %2 s, told %3 s")
                                .arg(probe.frames)
                                .arg(probe.duration)
                                .arg(outcome.seconds)));
        // What the muxer still held (the ASF packet being filled) is lost with its end, and an
        // encoder behind on a loaded machine holds more: a good part of the 2 s, not all of it.
        QVERIFY2(outcome.seconds > 0.5, qPrintable(QString::number(outcome.seconds)));
    }

    // A second start on the same recorder is refused while the first runs.
    void oneRecordingPerRecorder() {
        QTemporaryDir dir;
        CVideoRecorder* recorder = CVideoRecorder::CreateRecorder();
        QVERIFY(recorder->StartRecording(dir.filePath("a.avi"), 320, 240));
        QVERIFY(!recorder->StartRecording(dir.filePath("b.avi"), 320, 240));
        QVERIFY(CVideoRecorder::CreateRecorder() != nullptr);  // replaces and finishes the first
        QVERIFY(ProbeVideo(dir.filePath("a.avi")).videoStreams == 1);
        QVERIFY(!QFileInfo::exists(dir.filePath("b.avi")));
    }
};

QTEST_MAIN(VideoRecorderTest)
#include "video_recorder_test.moc"
