// Photos end to end through the main window: names in the three naming modes, the counter in
// the settings file, continuous photos, the still picture and back, the commands on the shown
// picture, and the notice for a photo that could not be written. Storage and settings folders
// are temporary; the clock of time-stamp names is fixed.

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/quorvane_dlg.h"
#include "app/save_notice.h"
#include "app/work_region_mgr.h"
#include "image/picture_item.h"
#include "image/picture_view.h"
#include "image/thumbnail_view.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "ui/qv_button.h"

namespace {

const QDateTime kClock(QDate(2012, 3, 5), QTime(14, 7, 9));

QStringList Photos(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void Press(CQuorvaneDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

}  // namespace

class PhotoCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void namesInEachMode_data();
    void namesInEachMode();
    void counterIsSharedAndSurvivesRestart();
    void blackAndWhiteWithJpegChosenIsTiff();
    void enterInPictureModeAddsAnEmptyThumbnail();
    void continuousPhotosAtOneSecond();
    void pictureModeShowsTheSelectedPhotoAndLiveComesBack();
    void viewCommandsActOnTheShownItem();
    void unwritableFolderShowsANotice_data();
    void unwritableFolderShowsANotice();

private:
    std::unique_ptr<CQuorvaneDlg> Open();
    void FeedFrame(CQuorvaneDlg& dlg);
    int StoredCounter() const;

    std::unique_ptr<QTemporaryDir> home_;
    QString storage_;
};

void PhotoCaptureTest::initTestCase() {
    InstallFontFaces();
    SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
}

void PhotoCaptureTest::init() {
    CPicture::ResetRefit();
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    qputenv("HOME", home_->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home_->filePath(QStringLiteral("config")).toLocal8Bit());
    storage_ = home_->filePath(QStringLiteral("Scan"));
    QVERIFY(QDir().mkpath(storage_));
    CIniFile settings;
    QVERIFY(settings.EnsureFile() == 1);
    QVERIFY(settings.WriteString(qvini::kPic, qvini::kPicPath, storage_));
}

void PhotoCaptureTest::cleanup() {
    home_.reset();
}

std::unique_ptr<CQuorvaneDlg> PhotoCaptureTest::Open() {
    auto dlg = std::make_unique<CQuorvaneDlg>();
    dlg->SetPhotoClock([] { return kClock; });
    dlg->show();
    if (!QTest::qWaitForWindowExposed(dlg.get()) || dlg->WorkRegion() == nullptr) {
        return nullptr;
    }
    FeedFrame(*dlg);
    return dlg;
}

// A camera frame as the frame filter hands it over: 24-bit rows, top row first.
void PhotoCaptureTest::FeedFrame(CQuorvaneDlg& dlg) {
    const int width = 320;
    const int height = 240;
    const int stride = width * 3;
    std::vector<uint8_t> rows(size_t(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = rows.data() + y * stride + 3 * x;
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t(255 - x);
        }
    }
    dlg.WorkRegion()->GetVideoItem()->SetFrame((uint32_t(width) << 16) | uint32_t(height),
                                               rows.data());
}

int PhotoCaptureTest::StoredCounter() const {
    return CIniFile().ReadInt(qvini::kPic, qvini::kPicIndex, -1);
}

void PhotoCaptureTest::namesInEachMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("odd") << 1 << QStringList{"Image1.jpg", "Image3.jpg", "Image5.jpg"};
    QTest::newRow("even") << 2 << QStringList{"Image0.jpg", "Image2.jpg", "Image4.jpg"};
    QTest::newRow("time stamp") << 0
                                << QStringList{"Image201203051407090.jpg",
                                               "Image201203051407091.jpg"};
}

void PhotoCaptureTest::namesInEachMode() {
    QFETCH(int, mode);
    QFETCH(QStringList, names);
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, mode));
    auto dlg = Open();
    QVERIFY(dlg);
    for (int i = 0; i < names.size(); ++i) {
        Press(*dlg, 1023);
        QCOMPARE(StoredCounter(), i + 1);  // written at every photo
        const QString path = storage_ + u'/' + names[i];
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        CDibImage written;
        QVERIFY(written.Load(path, kDibFormatJpeg));
        QCOMPARE(written.GetWidth(), 320u);
        QCOMPARE(written.GetHeight(), 240u);
        QCOMPARE(dlg->Thumbnails()->Count(), i + 1);
        QCOMPARE(dlg->Thumbnails()->Cell(0).path, path);
    }
    QCOMPARE(Photos(storage_), names);
    QVERIFY(!dlg->SaveNotice()->isVisible());
}

void PhotoCaptureTest::counterIsSharedAndSurvivesRestart() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    {
        auto dlg = Open();
        QVERIFY(dlg);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(dlg.get(), Qt::Key_Return);
        }
    }
    QCOMPARE(StoredCounter(), 3);
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 2));
    auto dlg = Open();
    QVERIFY(dlg);
    Press(*dlg, 1023);
    QVERIFY(QFileInfo::exists(storage_ + QStringLiteral("/Image6.jpg")));
    QCOMPARE(StoredCounter(), 4);
}

void PhotoCaptureTest::blackAndWhiteWithJpegChosenIsTiff() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    CPicture* live = dlg->WorkRegion()->GetVideoItem();
    live->SetColourMode(2);
    live->SetThresholdLevel(128);
    FeedFrame(*dlg);
    Press(*dlg, 1023);
    const QString path = storage_ + QStringLiteral("/Image1.tif");
    QVERIFY(QFileInfo::exists(path));
    CDibImage written;
    QVERIFY(written.Load(path, kDibFormatTiff));
    QCOMPARE(written.GetBpp(), 1u);
}

void PhotoCaptureTest::enterInPictureModeAddsAnEmptyThumbnail() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    Press(*dlg, 1023);
    QCOMPARE(Photos(storage_).size(), 1);
    SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
    QCOMPARE(dlg->WorkMode(), 1);
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    QCOMPARE(dlg->Thumbnails()->Count(), 2);
    QVERIFY(!dlg->Thumbnails()->Cell(0).IsValid());
    QCOMPARE(dlg->Thumbnails()->Cell(0).path, storage_ + QStringLiteral("/Image3.jpg"));
    QCOMPARE(StoredCounter(), 2);
    QCOMPARE(Photos(storage_), QStringList{QStringLiteral("Image1.jpg")});
    QVERIFY(!dlg->SaveNotice()->isVisible());  // nothing was meant to be written
}

void PhotoCaptureTest::continuousPhotosAtOneSecond() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    dlg->SetCaptureInterval(1);
    QElapsedTimer clock;
    clock.start();
    Press(*dlg, 1024);
    QVERIFY(dlg->IsContinuousRunning());
    QCOMPARE(dlg->Button(1024)->Text(), QStringLiteral("停止连拍"));
    QCOMPARE(Photos(storage_).size(), 1);  // the first photo is taken at once
    QTRY_COMPARE_WITH_TIMEOUT(Photos(storage_).size(), 6, 20000);
    QVERIFY(clock.elapsed() >= 4500);  // one a second, not faster
    Press(*dlg, 1024);
    QVERIFY(!dlg->IsContinuousRunning());
    QCOMPARE(dlg->Button(1024)->Text(), QStringLiteral("开始连拍"));
    const qsizetype stopped = Photos(storage_).size();
    QTest::qWait(1500);
    QCOMPARE(Photos(storage_).size(), stopped);
    QCOMPARE(StoredCounter(), int(stopped));
}

void PhotoCaptureTest::pictureModeShowsTheSelectedPhotoAndLiveComesBack() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    Press(*dlg, 1023);
    Press(*dlg, 1023);
    // The strip's selection stays on the first photo.
    QCOMPARE(dlg->Thumbnails()->GetSelectedPath(), storage_ + QStringLiteral("/Image1.jpg"));
    SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
    CPicItem* still = dlg->WorkRegion()->GetPictureItem();
    QCOMPARE(still->GetFilePath(), storage_ + QStringLiteral("/Image1.jpg"));
    QCOMPARE(still->GetWorkImage().GetWidth(), 320u);
    QVERIFY(still->width() > 0);
    QCOMPARE(dlg->WorkRegion()->GetVideoItem()->width(), 0);
    QVERIFY(dlg->Button(1015)->isEnabled());
    QVERIFY(!dlg->Button(1023)->isEnabled());
    QVERIFY(!dlg->Button(1024)->isEnabled());

    // Another selection in the strip is shown at once.
    dlg->Thumbnails()->Previous();
    QCOMPARE(still->GetFilePath(), storage_ + QStringLiteral("/Image3.jpg"));

    Press(*dlg, 1022);
    QCOMPARE(dlg->WorkMode(), 0);
    QVERIFY(dlg->WorkRegion()->GetVideoItem()->width() > 0);
    QCOMPARE(still->width(), 0);
    QVERIFY(dlg->Button(1023)->isEnabled());
    QVERIFY(!dlg->Button(1015)->isEnabled());
}

void PhotoCaptureTest::viewCommandsActOnTheShownItem() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    CPicture* live = dlg->WorkRegion()->GetVideoItem();
    CPicItem* still = dlg->WorkRegion()->GetPictureItem();

    // Live: mirror, flip and box select reach the live item; picture commands do nothing.
    const bool mirror = live->IsNoMirror();
    const bool flip = live->IsNoFlip();
    Press(*dlg, 1007);
    Press(*dlg, 1008);
    QCOMPARE(live->IsNoMirror(), !mirror);
    QCOMPARE(live->IsNoFlip(), !flip);
    Press(*dlg, 1019);
    QVERIFY(live->IsBoxSelectArmed());
    Press(*dlg, 1010);  // no command
    Press(*dlg, 1018);  // no command
    Press(*dlg, 1017);
    QCOMPARE(still->GetAnnotateState(), 0);

    Press(*dlg, 1023);
    SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
    QCOMPARE(still->GetWorkImage().GetWidth(), 320u);
    Press(*dlg, 1007);  // live only
    QCOMPARE(live->IsNoMirror(), !mirror);

    const int step = still->GetZoomStep();
    Press(*dlg, 1013);
    QCOMPARE(still->GetZoomStep(), step + 1);
    Press(*dlg, 1014);
    QCOMPARE(still->GetZoomStep(), step);
    Press(*dlg, 1016);
    QCOMPARE(still->GetWorkImage().GetWidth(), 240u);
    QCOMPARE(still->GetWorkImage().GetHeight(), 320u);
    Press(*dlg, 1015);
    QCOMPARE(still->GetWorkImage().GetWidth(), 320u);
    Press(*dlg, 1017);
    QCOMPARE(still->GetAnnotateState(), 1);
}

void PhotoCaptureTest::unwritableFolderShowsANotice_data() {
    QTest::addColumn<QString>("folder");  // under the home folder
    QTest::newRow("folder is a file") << "plain";
    QTest::newRow("missing folder") << "gone/away";
}

void PhotoCaptureTest::unwritableFolderShowsANotice() {
    QFETCH(QString, folder);
    QFile plain(home_->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString path = home_->filePath(folder);
    QVERIFY(CIniFile().WriteString(qvini::kPic, qvini::kPicPath, path));
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    const QStringList before = QDir(home_->path()).entryList(QDir::AllEntries | QDir::Hidden);
    auto dlg = Open();
    QVERIFY(dlg);
    Press(*dlg, 1023);
    CSaveNotice* notice = dlg->SaveNotice();
    QVERIFY(notice->isVisible());
    QVERIFY(notice->text().contains(QStringLiteral("Image1.jpg")));
    QCOMPARE(notice->FailuresShown(), 1);
    // The counter and the strip advance all the same; the thumbnail is marked.
    QCOMPARE(StoredCounter(), 1);
    QCOMPARE(dlg->Thumbnails()->Count(), 1);
    QCOMPARE(dlg->Thumbnails()->Cell(0).path, path + QStringLiteral("/Image1.jpg"));
    const QvColour centre = dlg->Thumbnails()->Cell(0).GetPixelColour(27, 27);
    QVERIFY(QvRed(centre) > 180 && QvGreen(centre) < 60);
    // Further failures refresh the one banner instead of stacking windows.
    Press(*dlg, 1023);
    QCOMPARE(notice->FailuresShown(), 2);
    QVERIFY(notice->text().contains(QStringLiteral("Image3.jpg")));
    QCOMPARE(dlg->findChildren<CSaveNotice*>().size(), 1);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget* w) { return w->isVisible() && w->isModal(); }),
             0);
    // Nothing was left behind, not even a temporary file.
    QCOMPARE(QDir(home_->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(QFileInfo(plain.fileName()).size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), CSaveNotice::kShowMilliseconds + 3000);
}

QTEST_MAIN(PhotoCaptureTest)
#include "test_photo_capture.moc"
