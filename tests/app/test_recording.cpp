// Recording end to end through the main window with the simulated camera: file names and the
// counter, the button, the colour mode in the recorded picture, refusals, closing while
// recording, and the recording settings dialog. Files are read back by ffprobe and ffmpeg.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "capture/video_recorder.h"
#include "dialogs/record_setting.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/photo_home.h"
#include "support/recorded_messages.h"
#include "support/simulated_media.h"
#include "support/video_probe.h"
#include "ui/color_mode_panel.h"
#include "ui/folder_browser.h"
#include "ui/qv_button.h"
#include "view/video_item.h"

namespace {

void Press(CQuorvaneDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

QString RecordText(CQuorvaneDlg& dlg) {
    return dlg.Button(1027)->Text();
}

// "停止录像", then the wait for the file to be finished.
bool Stop(CQuorvaneDlg& dlg) {
    Press(dlg, 1027);
    return QTest::qWaitFor([&] { return !dlg.IsFinishingRecordings(); }, 20000);
}

}  // namespace

class RecordingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartSimulatedMedia()); }
    void init() {
        SetSimulatedCameraCount(1);
        messages_.texts.clear();
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
        folder_ = home_->FilePath("Video");
        QVERIFY(QDir().mkpath(folder_));
        CIniFile settings;
        QVERIFY(settings.WriteString(qvini::kVideo, qvini::kRecordPath, folder_));
        QVERIFY(settings.WriteString(qvini::kVideo, qvini::kRecordName, "Clip"));
        QVERIFY(settings.WriteInt(qvini::kVideo, qvini::kVideoWidth, 640));
        QVERIFY(settings.WriteInt(qvini::kVideo, qvini::kVideoHeight, 480));
    }
    void cleanup() {
        CVideoRecorder::DestroyRecorder();
        home_.reset();
    }

    // The names of the examples, the counter written at the start, a taken name passed over.
    void recordsUnderTheNextName_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("codec");
        QTest::newRow("wmv") << 0 << 0 << ""
                             << "Clip00000d.wmv"
                             << "wmv2";
        QTest::newRow("avi") << 1 << 1 << ""
                             << "Clip00001d.avi"
                             << "mjpeg";
        QTest::newRow("other format: avi") << 7 << 2 << ""
                                           << "Clip00002d."
                                           << "mjpeg";
        QTest::newRow("taken name passed over") << 1 << 0 << "Clip00000d.avi"
                                                << "Clip00001d.avi"
                                                << "mjpeg";
    }
    void recordsUnderTheNextName() {
        QFETCH(int, format);
        QFETCH(int, counter);
        QFETCH(QString, taken);
        QFETCH(QString, name);
        QFETCH(QString, codec);
        CIniFile settings;
        settings.WriteInt(qvini::kVideo, qvini::kRecordFormat, format);
        settings.WriteInt(qvini::kVideo, qvini::kRecordIndex, counter);
        if (!taken.isEmpty())
            QFile(folder_ + u'/' + taken).open(QIODevice::WriteOnly);
        auto dlg = Open();
        QVERIFY(dlg);
        QCOMPARE(RecordText(*dlg), QStringLiteral("录像"));
        Press(*dlg, 1027);
        QCOMPARE(RecordText(*dlg), QStringLiteral("停止录像"));
        const QString path = folder_ + u'/' + name;
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        const int next = CIniFile().ReadInt(qvini::kVideo, qvini::kRecordIndex, -1);
        QCOMPARE(next, name.mid(4, 5).toInt() + 1);
        QTest::qWait(1000);
        QVERIFY(Stop(*dlg));
        QCOMPARE(RecordText(*dlg), QStringLiteral("录像"));
        QVERIFY(CVideoRecorder::Current() == nullptr);
        QVERIFY2(messages_.texts.isEmpty(), qPrintable(messages_.texts.join('\n')));
        const VideoProbe probe = ProbeVideo(path);
        QCOMPARE(probe.videoStreams, 1);
        QCOMPARE(probe.audioStreams, 0);
        QCOMPARE(probe.codec, codec);
        QCOMPARE(QSize(probe.width, probe.height), QSize(640, 480));
    }

    // A grey live picture is recorded grey: every decoded pixel has equal channels.
    void greyPictureIsRecordedGrey() {
        CIniFile().WriteInt(qvini::kVideo, qvini::kRecordFormat, 1);
        auto dlg = Open();
        QVERIFY(dlg);
        SendWindowMessage(dlg->ColourModePanel(), qvmsg::kOptionChanged, 2, 1);  // "灰度"
        CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
        QTRY_COMPARE_WITH_TIMEOUT(live->GetWorkImage().GetBpp(), 8u, 20000);
        Press(*dlg, 1027);
        QTest::qWait(1500);
        QVERIFY(Stop(*dlg));
        const QByteArray rgb = DecodeFrame(folder_ + "/Clip00000d.avi", 0.5);
        QCOMPARE(rgb.size(), 640 * 480 * 3);
        int worst = 0, darkest = 255, brightest = 0;
        for (qsizetype i = 0; i < rgb.size(); i += 3 * 97) {
            const int r = uint8_t(rgb[i]), g = uint8_t(rgb[i + 1]), b = uint8_t(rgb[i + 2]);
            worst = std::max({worst, std::abs(r - g), std::abs(g - b)});
            darkest = std::min(darkest, g);
            brightest = std::max(brightest, g);
        }
        QVERIFY2(worst <= 6, qPrintable(QString::number(worst)));
        QVERIFY(brightest - darkest > 60);  // the page on the desk, not a flat picture
    }

    // A refused start tells why, leaves no file, keeps the counter and the button.
    void refusalsAreTold_data() {
        QTest::addColumn<int>("cameras");
        QTest::addColumn<bool>("folderExists");
        QTest::addColumn<QString>("message");
        QTest::newRow("no camera") << 0 << true << "错误: No live picture to record";
        QTest::newRow("missing folder") << 1 << false << "错误: Start recording error";
    }
    void refusalsAreTold() {
        QFETCH(int, cameras);
        QFETCH(bool, folderExists);
        QFETCH(QString, message);
        SetSimulatedCameraCount(cameras);
        if (!folderExists)
            QVERIFY(QDir(folder_).removeRecursively());
        auto dlg = std::make_unique<CQuorvaneDlg>();
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        if (cameras > 0)
            QVERIFY(WaitForFrame(*dlg));
        messages_.texts.clear();  // a missing camera is told at start-up too
        Press(*dlg, 1027);
        QVERIFY2(messages_.texts.size() == 1 && messages_.texts[0].startsWith(message),
                 qPrintable(messages_.texts.join('\n')));
        QCOMPARE(RecordText(*dlg), QStringLiteral("录像"));
        QVERIFY(CVideoRecorder::Current() == nullptr);
        QCOMPARE(CIniFile().ReadInt(qvini::kVideo, qvini::kRecordIndex, -1), -1);  // not written
        QVERIFY(QDir(folder_).entryList(QDir::Files).isEmpty());
    }

    // A hidden window is not painted; the recording still receives every new live frame.
    void hiddenWindowKeepsRecording() {
        CIniFile().WriteInt(qvini::kVideo, qvini::kRecordFormat, 1);
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 1027);
        CKTRecordStream* stream = CVideoRecorder::Current()->Stream();
        dlg->hide();
        const uint64_t before = stream->FramesPushed();
        QTRY_VERIFY_WITH_TIMEOUT(stream->FramesPushed() >= before + 10, 10000);
        QVERIFY(Stop(*dlg));
        QCOMPARE(ProbeVideo(folder_ + "/Clip00000d.avi").videoStreams, 1);
    }

    // Closing the program while recording leaves a finished file.
    void closingFinishesTheRecording() {
        CIniFile().WriteInt(qvini::kVideo, qvini::kRecordFormat, 0);
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 1027);
        QTest::qWait(1500);
        Press(*dlg, 1030);
        dlg.reset();
        const VideoProbe probe = ProbeVideo(folder_ + "/Clip00000d.wmv");
        QCOMPARE(probe.videoStreams, 1);
        QVERIFY2(probe.duration > 1.3, qPrintable(QString::number(probe.duration)));
    }

    // The recording's folder removed while it records: the user is told, and the recording,
    // which the open file still holds, is written again under its name.
    void removedFolderIsToldAndTheRecordingKept() {
        CIniFile().WriteInt(qvini::kVideo, qvini::kRecordFormat, 1);
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 1027);
        QTest::qWait(1000);
        QVERIFY(QDir(folder_).removeRecursively());
        QTest::qWait(1000);
        QVERIFY(Stop(*dlg));
        const QString path = folder_ + "/Clip00000d.avi";
        QCOMPARE(messages_.texts.size(), 1);
        QVERIFY2(messages_.texts[0].contains(u"删除") && messages_.texts[0].contains(path),
                 qPrintable(messages_.texts[0]));
        QVERIFY(ProbeVideo(path).duration > 1.5);
    }

    // With no folder chosen, recordings go to the documents folder, made when missing.
    void defaultFolderIsMade() {
        home_ = std::make_unique<PhotoHome>();  // a settings file naming no recording folder
        QVERIFY(home_->Make());
        CIniFile().WriteInt(qvini::kVideo, qvini::kVideoWidth, 640);
        CIniFile().WriteInt(qvini::kVideo, qvini::kVideoHeight, 480);
        const QString documents = home_->FilePath("Documents");
        QVERIFY(!QFileInfo::exists(documents));
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 1027);
        QVERIFY(Stop(*dlg));
        QVERIFY2(messages_.texts.isEmpty(), qPrintable(messages_.texts.join('\n')));
        QCOMPARE(QDir(documents).entryList(QDir::Files), QStringList{"Record00000d.wmv"});
    }

    // "录像设置": the format items, the folder browser and the name edit; the three values are
    // stored when the dialog closes.
    void settingsDialogStoresItsValues() {
        auto dlg = Open();
        QVERIFY(dlg);
        const QString chosen = home_->FilePath("Chosen");
        QVERIFY(QDir().mkpath(chosen));
        SetFolderBrowser([&](QWidget*, const QString& caption, const QString&) {
            return caption == QStringLiteral("图片存盘路径") ? chosen : QString();
        });
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CRecordSetting*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QCOMPARE(dialog->PathEdit()->text(), folder_);
            QCOMPARE(dialog->NameEdit()->text(), QStringLiteral("Clip"));
            QVERIFY(dialog->Item(CRecordSetting::kWmvItem).IsChecked());
            const QvRect hit = dialog->Item(CRecordSetting::kAviItem).HitRect();
            QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(hit.left + 3, hit.top + 3));
            QVERIFY(dialog->Item(CRecordSetting::kAviItem).IsChecked());
            QVERIFY(!dialog->Item(CRecordSetting::kWmvItem).IsChecked());
            QTest::mouseClick(dialog->BrowseButton(), Qt::LeftButton);
            QCOMPARE(dialog->PathEdit()->text(), chosen);
            dialog->NameEdit()->clear();  // an empty name is not refused
            QTest::mouseClick(dialog->CloseButton(), Qt::LeftButton);
            checked = true;
        });
        Press(*dlg, 1028);
        SetFolderBrowser({});
        QVERIFY(checked);
        CIniFile settings;
        QCOMPARE(settings.ReadInt(qvini::kVideo, qvini::kRecordFormat, -1), 1);
        QCOMPARE(settings.ReadString(qvini::kVideo, qvini::kRecordPath, ""), chosen);
        QCOMPARE(settings.ReadString(qvini::kVideo, qvini::kRecordName, "x"), QString());
        QCOMPARE(dlg->Stored().recordFormat, 1);
    }

private:
    std::unique_ptr<CQuorvaneDlg> Open() {
        auto dlg = std::make_unique<CQuorvaneDlg>();
        dlg->show();
        if (!QTest::qWaitForWindowExposed(dlg.get()) || !WaitForFrame(*dlg))
            return nullptr;
        return dlg;
    }
    static bool WaitForFrame(CQuorvaneDlg& dlg) {
        CVideoItem* live = dlg.WorkRegion()->GetVideoItem();
        return QTest::qWaitFor([live] { return live->GetWorkImage().GetWidth() == 640; }, 20000);
    }

    std::unique_ptr<PhotoHome> home_;
    QString folder_;
    RecordedMessages messages_;  // "caption: text" of each message box
};

QTEST_MAIN(RecordingTest)
#include "test_recording.moc"
