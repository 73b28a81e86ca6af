// Recording and the Enter key as a user meets them: the main window visible on an X server, the
// mouse on its buttons and the thumbnails, a held key; the camera at the size it starts at, and
// the files read back by ffprobe and ffmpeg. The time a recording should play is taken where the
// user takes it: from the click on "录像" to the click on "停止录像".

#include <QElapsedTimer>
#include <QtTest>
#include <csignal>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "capture/video_recorder.h"
#include "media/simulated_camera.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/photo_home.h"
#include "support/recorded_messages.h"
#include "support/simulated_media.h"
#include "support/video_probe.h"
#include "ui/qv_button.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

class RecordingWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartSimulatedMedia()); }
    void init() {
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
        folder_ = home_->FilePath("Video");
        QVERIFY(QDir().mkpath(folder_));
        CIniFile settings;
        QVERIFY(settings.WriteString(qvini::kVideo, qvini::kRecordPath, folder_));
        QVERIFY(settings.WriteString(qvini::kVideo, qvini::kRecordName, "Clip"));
    }
    void cleanup() {
        dlg_.reset();
        home_.reset();
    }

    // Both formats play as long as the user recorded (±2 %), with no more different pictures
    // than the camera gave. The live picture shows a red mark while recording, which the file
    // does not take.
    void playsAsLongAsRecorded_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("file");
        QTest::newRow("wmv") << 0 << "Clip00000d.wmv";
        QTest::newRow("avi") << 1 << "Clip00000d.avi";
    }
    void playsAsLongAsRecorded() {
        QFETCH(int, format);
        QFETCH(QString, file);
        CIniFile().WriteInt(qvini::kVideo, qvini::kRecordFormat, format);
        QVERIFY(Open());
        CQVButton* record = dlg_->Button(1027);
        QElapsedTimer wall;
        wall.start();
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(record->Text(), QStringLiteral("停止录像"));
        QTest::qWait(3000);
        CVideoItem* live = dlg_->WorkRegion()->GetVideoItem();
        QVERIFY(RedPixels(live->grab().toImage()) > 50);  // the mark on the live picture
        const double seconds = wall.nsecsElapsed() / 1e9;
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(record->Text(), QStringLiteral("录像"));
        QCOMPARE(RedPixels(live->grab().toImage()), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg_->IsFinishingRecordings(), 20000);
        QVERIFY2(messages_.texts.isEmpty(), qPrintable(messages_.texts.join('\n')));
        const QString path = folder_ + u'/' + file;
        const VideoProbe probe = ProbeVideo(path);
        QVERIFY2(std::abs(probe.duration - seconds) <= 0.02 * seconds,
                 qPrintable(QString("%1 s in the file, %2 s recorded by the user")
                                .arg(probe.duration)
                                .arg(seconds)));
        const QByteArray frame = DecodeFrame(path, seconds / 2);  // the file is without the mark
        QCOMPARE(RedPixels(QImage(reinterpret_cast<const uchar*>(frame.constData()), probe.width,
                                  probe.height, probe.width * 3, QImage::Format_RGB888)),
                 0);
        const int distinct = DistinctFrames(path);
        QVERIFY2(distinct > 1 && distinct <= 30 * seconds + 1,
                 qPrintable(QString::number(distinct)));
    }

    // Opening a photo from the strip leaves the live picture: the recording is finished, into a
    // file that plays up to that moment, and "录像" can start the next one.
    void leavingLiveFinishesTheRecording() {
        QVERIFY(Open());
        QTest::mouseClick(dlg_->Button(1023), Qt::LeftButton);  // "拍照"
        CThumnailView* strip = dlg_->Thumbnails();
        QTRY_VERIFY(!strip->Cell(0).state->rect.IsEmpty());
        CQVButton* record = dlg_->Button(1027);
        QElapsedTimer wall;
        wall.start();
        QTest::mouseClick(record, Qt::LeftButton);
        QTest::qWait(2000);
        const double seconds = wall.nsecsElapsed() / 1e9;
        const QvRect cell = strip->Cell(0).state->rect;
        QTest::mouseDClick(strip, Qt::LeftButton, {},
                           QPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
        QCOMPARE(dlg_->WorkMode(), int(CWorkRegionMgr::kModePicture));
        QVERIFY(CVideoRecorder::Current() == nullptr);
        QCOMPARE(record->Text(), QStringLiteral("录像"));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg_->IsFinishingRecordings(), 20000);
        const double played = ProbeVideo(folder_ + "/Clip00000d.wmv").duration;
        QVERIFY2(std::abs(played - seconds) <= 0.05 * seconds, qPrintable(QString::number(played)));
    }

    // SIGTERM (as SIGINT and SIGHUP) ends the built program as closing its window does: the
    // recording started by a click in its window is finished into a file that plays.
    void endSignalFinishesTheRecording() {
        CIniFile().WriteInt(qvini::kVideo, qvini::kRecordFormat, 1);
        QVERIFY(Open());  // this window, with the same settings, shows where "录像" is
        CQVButton* button = dlg_->Button(1027);
        const QPoint record = button->mapTo(dlg_.get(), button->rect().center());
        dlg_.reset();
        QProcess program;
        program.start(QUORVANE_PROGRAM, {"--simulated-camera"});
        QVERIFY(program.waitForStarted());
        const QString window = RunTool("xdotool", {"search", "--sync", "--onlyvisible", "--pid",
                                                   QString::number(program.processId())})
                                   .section(u'\n', 0, 0);
        QVERIFY(!window.isEmpty());
        QTest::qWait(2000);  // the live picture is running
        RunTool("xdotool", {"mousemove", "--window", window, QString::number(record.x()),
                            QString::number(record.y()), "click", "1"});
        QTest::qWait(2000);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        const QStringList files = QDir(folder_).entryList({"*.avi"});
        QCOMPARE(files.size(), 1);
        QVERIFY2(ProbeVideo(folder_ + u'/' + files[0]).duration > 1,
                 qPrintable(QString::fromUtf8(program.readAllStandardError())));
    }

    // A held Enter (or a foot switch that holds it) sends the press again and again: one photo.
    // Enter pressed again takes the next.
    void heldEnterTakesOnePhoto() {
        QVERIFY(Open());
        CVideoItem* live = dlg_->WorkRegion()->GetVideoItem();
        QTest::mouseClick(live, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_COMPARE(QApplication::focusWidget(), live);
        for (int press = 1; press <= 2; ++press) {
            for (int i = 0; i < 30; ++i) {
                QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", i > 0);
                QApplication::sendEvent(live, &down);
            }
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
            QApplication::sendEvent(live, &up);
            QCOMPARE(dlg_->Thumbnails()->Count(), press);
        }
    }

private:
    // Pixels of the recording mark's red: none on the simulated page or the desk.
    static int RedPixels(const QImage& image) {
        int red = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 180 && c.green() < 60 && c.blue() < 60;
            }
        }
        return red;
    }

    // The main window shown and active, with the live picture running.
    bool Open() {
        dlg_ = std::make_unique<CQuorvaneDlg>();
        dlg_->show();
        dlg_->activateWindow();
        CVideoItem* live = dlg_->WorkRegion()->GetVideoItem();
        const bool ready = QTest::qWaitForWindowActive(dlg_.get()) &&
                           QTest::qWaitFor([live] { return live->HasImage(); }, 20000);
        messages_.texts.clear();
        return ready;
    }

    std::unique_ptr<PhotoHome> home_;
    std::unique_ptr<CQuorvaneDlg> dlg_;
    QString folder_;
    RecordedMessages messages_;
};

QTEST_MAIN(RecordingWindowTest)
#include "test_recording_window.moc"
