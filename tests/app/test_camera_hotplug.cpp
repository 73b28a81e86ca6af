// Cameras that come and go, through the main window, with simulated cameras whose picture files
// the test takes away and puts back: the camera chosen at start and switching in "视频设置";
// unplugging while previewing, recording, taking continuous photos or watching pages, and the
// live picture coming back on its own; quick unplug and plug cycles leaving no thread or memory
// behind.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QtTest>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/save_notice.h"
#include "app/work_region_mgr.h"
#include "capture/device_set.h"
#include "capture/video_recorder.h"
#include "dialogs/camera_settings_dialog.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/photo_home.h"
#include "support/recorded_messages.h"
#include "support/video_probe.h"
#include "view/video_item.h"

namespace {

void Press(CQuorvaneDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

// A line of /proc/self/status, in its own unit (kB for memory).
long ProcessStatus(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ')[0].toLong();
    }
    return -1;
}

}  // namespace

class CameraHotplugTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        InstallFontFaces();
        QVERIFY(dir_.isValid());
        webcam_ = Page("webcam.png", Qt::blue);
        first_ = Page("first.png", Qt::red);
        second_ = Page("second.png", Qt::green);
        SetSimulatedCameraOptions({{second_.toStdString(), false},
                                   {webcam_.toStdString(), true},
                                   {first_.toStdString(), false}});
        QVERIFY(MediaPlatformInit());
    }
    void init() {
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
        CIniFile settings;
        QVERIFY(settings.WriteInt(qvini::kVideo, qvini::kVideoWidth, 640));
        QVERIFY(settings.WriteInt(qvini::kVideo, qvini::kVideoHeight, 480));
        QVERIFY(settings.WriteString(qvini::kVideo, qvini::kRecordPath, home_->Storage()));
        QVERIFY(settings.WriteInt(qvini::kVideo, qvini::kRecordFormat, 1));
        messages_.texts.clear();
    }
    void cleanup() {
        CVideoRecorder::DestroyRecorder();
        for (const QString& page : {first_, second_, webcam_})
            QFile::rename(page + ".away", page);
        home_.reset();
    }

    // The webcam is listed first, yet the document camera opens; a stored choice wins when
    // present; "视频设置" switches at once and stores the choice.
    void chosenCameraAtStartAndSwitching_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("opened");
        QTest::newRow("none stored: the first document camera") << ""
                                                                << "second";
        QTest::newRow("stored") << "first"
                                << "first";
        QTest::newRow("stored, absent") << "gone"
                                        << "second";
    }
    void chosenCameraAtStartAndSwitching() {
        QFETCH(QString, stored);
        QFETCH(QString, opened);
        if (!stored.isEmpty())
            CIniFile().WriteString(qvini::kVideo, qvini::kVideoDevice, Id(stored));
        auto dlg = Open();
        QVERIFY(dlg);
        CDeviceSet* devices = dlg->WorkRegion()->GetDeviceSet();
        QCOMPARE(devices->Cameras().front().name, QString(kSimulatedWebcamName));
        QCOMPARE(devices->CurrentCamera(), Id(opened));
        QTRY_COMPARE(CentreColour(*dlg), opened == "first" ? Qt::red : Qt::green);

        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CameraSettingsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->CameraChoice()->count() == 3);
            QCOMPARE(dialog->CameraChoice()->currentData().toString(), Id(opened));
            emit dialog->CameraChoice()->activated(0);  // the webcam
            QVERIFY(dialog->Editor("Brightness"));      // its own controls
            dialog->accept();
        });
        Press(*dlg, mainctl::kCameraSettings);
        QCOMPARE(devices->CurrentCamera(), Id("webcam"));
        QTRY_COMPARE(CentreColour(*dlg), Qt::blue);
        QCOMPARE(CIniFile().ReadFolder(qvini::kVideo, qvini::kVideoDevice, ""), Id("webcam"));
    }

    // Unplugged: the stage says so, photos refused, continuous photos stopped, a recording
    // finished into a file as long as it ran and the user told where it is, and no other message
    // box; plugged back: live again on its own.
    void unplugWhileWorking_data() {
        QTest::addColumn<int>("running");
        QTest::addColumn<int>("autoMode");  // [PIC] automode: 0 timed, 1 on each new page
        QTest::newRow("previewing") << 0 << 0;
        QTest::newRow("recording") << int(mainctl::kRecord) << 0;
        QTest::newRow("continuous photos") << int(mainctl::kContinuous) << 0;
        QTest::newRow("page capture") << int(mainctl::kContinuous) << 1;
    }
    void unplugWhileWorking() {
        QFETCH(int, running);
        QFETCH(int, autoMode);
        QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kAutoMode, autoMode));
        auto dlg = Open();
        QVERIFY(dlg);
        CVideoItem* video = dlg->WorkRegion()->GetVideoItem();
        QElapsedTimer recorded;
        if (running != 0)
            Press(*dlg, running);
        QCOMPARE(video->IsPageCaptureOn(), autoMode == 1);
        recorded.start();
        QTest::qWait(1500);
        QVERIFY(QFile::rename(second_, second_ + ".away"));
        QTRY_VERIFY(dlg->WorkRegion()->GetDeviceSet()->IsCameraUnplugged());
        const double seconds = recorded.nsecsElapsed() / 1e9;
        QVERIFY(!video->HasImage());
        QVERIFY(CVideoRecorder::Current() == nullptr);
        QVERIFY(!dlg->IsContinuousRunning());
        QVERIFY(!video->IsPageCaptureOn());
        QVERIFY(!video->EdgeWorker().IsWatchingPages());
        const QStringList photos = QDir(home_->Storage()).entryList(QDir::Files);
        Press(*dlg, mainctl::kTakePhoto);
        QCOMPARE(QDir(home_->Storage()).entryList(QDir::Files), photos);
        QVERIFY(dlg->SaveNotice()->text().contains(CQuorvaneDlg::NoLivePictureText()));
        QStringList told;
        if (running == mainctl::kRecord) {
            const QString file = home_->Storage() + "/Record00000d.avi";
            QTRY_VERIFY_WITH_TIMEOUT(!dlg->IsFinishingRecordings(), 20000);
            const VideoProbe probe = ProbeVideo(file);
            QVERIFY2(
                std::abs(probe.duration - seconds) < 0.5,
                qPrintable(
                    QString("%1 s in the file, %2 s recorded").arg(probe.duration).arg(seconds)));
            QCOMPARE(messages_.texts.size(), 1);  // where the recording is
            QVERIFY2(messages_.texts[0].contains(file), qPrintable(messages_.texts[0]));
            told = messages_.texts;
        }
        QTest::qWait(AboutDirectShow::kFailureNoticeMs + 200);
        QCOMPARE(messages_.texts, told);

        QVERIFY(QFile::rename(second_ + ".away", second_));
        QTRY_VERIFY_WITH_TIMEOUT(video->HasImage() && video->GetWorkImage().GetWidth() == 640,
                                 10000);
        QCOMPARE(dlg->WorkRegion()->GetDeviceSet()->CurrentCamera(), Id("second"));
    }

    // Quick cycles end live, with the threads and memory of after the first one.
    void quickCyclesLeaveNothingBehind() {
        auto dlg = Open();
        QVERIFY(dlg);
        CVideoItem* video = dlg->WorkRegion()->GetVideoItem();
        long threads = 0, memory = 0;
        for (int cycle = 0; cycle <= 20; ++cycle) {
            QVERIFY(QFile::rename(second_, second_ + ".away"));
            QTRY_VERIFY(dlg->WorkRegion()->GetDeviceSet()->IsCameraUnplugged());
            QVERIFY(QFile::rename(second_ + ".away", second_));
            QTRY_VERIFY_WITH_TIMEOUT(video->HasImage(), 10000);
            if (cycle == 0) {
                threads = ProcessStatus("Threads:");
                memory = ProcessStatus("VmRSS:");
            }
        }
        QTRY_COMPARE(ProcessStatus("Threads:"), threads);
        QVERIFY2(ProcessStatus("VmRSS:") < memory + 16 * 1024,
                 qPrintable(QString("%1 kB after the first cycle, %2 kB after 20")
                                .arg(memory)
                                .arg(ProcessStatus("VmRSS:"))));
    }

private:
    QString Page(const char* name, Qt::GlobalColor colour) {
        QImage page(60, 80, QImage::Format_RGB32);
        page.fill(colour);
        const QString path = dir_.filePath(name);
        return page.save(path) ? path : QString();
    }
    QString Id(const QString& camera) const { return "serial:" + dir_.filePath(camera + ".png"); }
    // The colour in the middle of the live picture: the page's.
    static Qt::GlobalColor CentreColour(CQuorvaneDlg& dlg) {
        const QImage shown = dlg.WorkRegion()->GetVideoItem()->grab().toImage();
        const QColor c = shown.pixelColor(shown.width() / 2, shown.height() / 2);
        return c.red() > 150     ? Qt::red
               : c.green() > 150 ? Qt::green
               : c.blue() > 150  ? Qt::blue
                                 : Qt::black;
    }
    std::unique_ptr<CQuorvaneDlg> Open() {
        auto dlg = std::make_unique<CQuorvaneDlg>();
        dlg->show();
        CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
        if (!QTest::qWaitForWindowExposed(dlg.get()) ||
            !QTest::qWaitFor([live] { return live->GetWorkImage().GetWidth() == 640; }, 20000))
            return nullptr;
        return dlg;
    }

    QTemporaryDir dir_;
    QString first_, second_, webcam_;
    std::unique_ptr<PhotoHome> home_;
    RecordedMessages messages_;
};

QTEST_MAIN(CameraHotplugTest)
#include "test_camera_hotplug.moc"
