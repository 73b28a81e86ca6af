// Photos end to end through the main window: names in the three naming modes, the counter in
// the settings file, continuous photos, the still picture and back, the commands on the shown
// picture, and the notice for a photo that could not be written. Storage and settings folders
// are temporary; the clock of time-stamp names is fixed.

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/save_notice.h"
#include "app/work_region_mgr.h"
#include "capture/device_set.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "settings/stored_settings.h"
#include "support/photo_home.h"
#include "ui/color_mode_panel.h"
#include "ui/input_edit.h"
#include "ui/number_edit.h"
#include "ui/qv_button.h"
#include "ui/save_option_panel.h"
#include "view/picture_item.h"
#include "view/picture_view.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

namespace {

// Stands in for the desktop's file manager.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls << url; }
};

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
    void saveTurnFromTheSaveOptions();
    void enterInPictureModeAddsAnEmptyThumbnail();
    void enterInATextFieldTypesIntoIt_data();
    void enterInATextFieldTypesIntoIt();
    void continuousPhotosAtOneSecond();
    void continuousPhotosStopOnLeavingTheLivePicture();
    void pictureModeShowsTheSelectedPhotoAndLiveComesBack();
    void viewCommandsActOnTheShownItem();
    void openFolderShowsTheStorageFolder();
    void automaticCropSavesTheStraightenedPage();
    void unknownNamingModeShowsANotice();
    void unwritableFolderShowsANotice_data();
    void unwritableFolderShowsANotice();

private:
    std::unique_ptr<CQuorvaneDlg> Open();
    static bool WaitForFrame(CQuorvaneDlg& dlg);
    static QSize FrameSize(CQuorvaneDlg& dlg);
    int StoredCounter() const;

    std::unique_ptr<PhotoHome> home_;
    QString storage_;
};

void PhotoCaptureTest::initTestCase() {
    InstallFontFaces();
    // The simulated document camera delivers the frames.
    SetSimulatedCameraOption(true);
    QVERIFY(MediaPlatformInit());
    SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
}

void PhotoCaptureTest::init() {
    CPicture::ResetRefit();
    home_ = std::make_unique<PhotoHome>();
    QVERIFY(home_->Make());
    storage_ = home_->Storage();
}

void PhotoCaptureTest::cleanup() {
    home_.reset();
}

std::unique_ptr<CQuorvaneDlg> PhotoCaptureTest::Open() {
    auto dlg = std::make_unique<CQuorvaneDlg>();
    dlg->SetPhotoClock([] { return kClock; });
    dlg->show();
    if (!QTest::qWaitForWindowExposed(dlg.get()) || dlg->WorkRegion() == nullptr ||
        !WaitForFrame(*dlg)) {
        return nullptr;
    }
    return dlg;
}

bool PhotoCaptureTest::WaitForFrame(CQuorvaneDlg& dlg) {
    CVideoItem* live = dlg.WorkRegion()->GetVideoItem();
    return QTest::qWaitFor([live] { return live->GetWorkImage().IsValid(); }, 20000);
}

QSize PhotoCaptureTest::FrameSize(CQuorvaneDlg& dlg) {
    const CDibImage& frame = dlg.WorkRegion()->GetVideoItem()->GetWorkImage();
    return QSize(int(frame.GetWidth()), int(frame.GetHeight()));
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
        QCOMPARE(int(written.GetWidth()), FrameSize(*dlg).width());
        QCOMPARE(int(written.GetHeight()), FrameSize(*dlg).height());
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
    SendWindowMessage(dlg->ColourModePanel(), qvmsg::kOptionChanged, 3, 1);  // "黑白"
    QCOMPARE(dlg->ColourModePanel()->Mode(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(live->GetWorkImage().GetBpp(), 1u, 20000);
    Press(*dlg, 1023);
    const QString path = storage_ + QStringLiteral("/Image1.tif");
    QVERIFY(QFileInfo::exists(path));
    CDibImage written;
    QVERIFY(written.Load(path, kDibFormatTiff));
    QCOMPARE(written.GetBpp(), 1u);
}

void PhotoCaptureTest::saveTurnFromTheSaveOptions() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    const QSize frame = FrameSize(*dlg);
    CSaveOption* options = dlg->SaveOptionPanel();
    const QvRect hit = options->Item(CSaveOption::kTurnRight).HitRect();
    QTest::mouseClick(options, Qt::LeftButton, {},
                      QPoint(hit.left + hit.Width() / 2, hit.top + hit.Height() / 2));
    QVERIFY(options->IsTurnRight());
    Press(*dlg, 1023);
    CDibImage written;
    QVERIFY(written.Load(storage_ + QStringLiteral("/Image1.jpg"), kDibFormatJpeg));
    QCOMPARE(int(written.GetWidth()), frame.height());
    QCOMPARE(int(written.GetHeight()), frame.width());
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

void PhotoCaptureTest::enterInATextFieldTypesIntoIt_data() {
    QTest::addColumn<QString>("field");
    QTest::newRow("annotation") << "annotation";
    QTest::newRow("threshold") << "threshold";
    QTest::newRow("quality") << "quality";
}

// Enter in a text field finishes the typing and takes no photo; away from the fields it does.
void PhotoCaptureTest::enterInATextFieldTypesIntoIt() {
    QFETCH(QString, field);
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    Press(*dlg, 1023);
    CPicItem* still = dlg->WorkRegion()->GetPictureItem();
    QWidget* edit = nullptr;
    if (field == "annotation") {
        SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
        QTRY_VERIFY(!still->IsLoading());
        Press(*dlg, 1017);
        QTest::mouseClick(still, Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(still->GetAnnotateState(), 2);
        edit = still->GetTextEdit();
    } else {
        edit = field == "threshold" ? dlg->ColourModePanel()->ThresholdEdit()
                                    : dlg->SaveOptionPanel()->QualityEdit();
        edit->setFocus();
    }
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, QStringLiteral("5"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(StoredCounter(), 1);
    QCOMPARE(dlg->Thumbnails()->Count(), 1);
    QCOMPARE(Photos(storage_), QStringList{QStringLiteral("Image1.jpg")});
    QVERIFY(dlg->isVisible());
    if (field == "annotation") {
        QCOMPARE(still->GetAnnotateState(), 0);  // the text went into the picture
        QCOMPARE(QApplication::focusWidget(), still);
    } else {
        QTest::mouseClick(dlg->WorkRegion()->GetVideoItem(), Qt::LeftButton, {}, QPoint(20, 20));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(StoredCounter(), 2);
    QCOMPARE(dlg->Thumbnails()->Count(), 2);
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

// A still picture gives nothing to photograph: entering it ends continuous photos.
void PhotoCaptureTest::continuousPhotosStopOnLeavingTheLivePicture() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    dlg->SetCaptureInterval(1);
    Press(*dlg, 1024);
    QVERIFY(dlg->IsContinuousRunning());
    SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
    QVERIFY(!dlg->IsContinuousRunning());
    QCOMPARE(dlg->Button(1024)->Text(), QStringLiteral("开始连拍"));
    const int counter = StoredCounter();
    const int thumbnails = dlg->Thumbnails()->Count();
    QTest::qWait(1500);  // past the next tick
    QCOMPARE(StoredCounter(), counter);
    QCOMPARE(dlg->Thumbnails()->Count(), thumbnails);

    Press(*dlg, 1022);
    QVERIFY(!dlg->IsContinuousRunning());
    Press(*dlg, 1024);
    QVERIFY(dlg->IsContinuousRunning());
    QCOMPARE(dlg->Button(1024)->Text(), QStringLiteral("停止连拍"));
}

void PhotoCaptureTest::pictureModeShowsTheSelectedPhotoAndLiveComesBack() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    Press(*dlg, 1023);
    Press(*dlg, 1023);
    // The strip's selection stays on the first photo.
    QCOMPARE(dlg->Thumbnails()->GetSelectedPath(), storage_ + QStringLiteral("/Image1.jpg"));
    AboutDirectShow* engine = dlg->WorkRegion()->GetDeviceSet()->Engine();
    QVERIFY(engine != nullptr && engine->running);
    SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
    QVERIFY(!engine->running);  // no preview behind a still picture
    CPicItem* still = dlg->WorkRegion()->GetPictureItem();
    QCOMPARE(still->GetFilePath(), storage_ + QStringLiteral("/Image1.jpg"));
    QTRY_COMPARE(int(still->GetWorkImage().GetWidth()), FrameSize(*dlg).width());
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
    QTRY_VERIFY(engine->running);  // the camera starts away from this thread
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
    Press(*dlg, 1012);  // "窗口大小": stretched over the window, then back to fitted
    QVERIFY(live->IsStretchToWindow());
    Press(*dlg, 1012);
    QVERIFY(!live->IsStretchToWindow());
    Press(*dlg, 1010);  // not confirmed: nothing is restored
    Press(*dlg, 1018);  // no command
    Press(*dlg, 1017);
    QCOMPARE(still->GetAnnotateState(), 0);

    Press(*dlg, 1023);
    const QSize frame = FrameSize(*dlg);
    SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
    QTRY_COMPARE(int(still->GetWorkImage().GetWidth()), frame.width());
    Press(*dlg, 1007);  // live only
    QCOMPARE(live->IsNoMirror(), !mirror);

    const int step = still->GetZoomStep();
    Press(*dlg, 1013);
    QCOMPARE(still->GetZoomStep(), step + 1);
    Press(*dlg, 1014);
    QCOMPARE(still->GetZoomStep(), step);
    Press(*dlg, 1016);
    QCOMPARE(int(still->GetWorkImage().GetWidth()), frame.height());
    QCOMPARE(int(still->GetWorkImage().GetHeight()), frame.width());
    Press(*dlg, 1015);
    QCOMPARE(int(still->GetWorkImage().GetWidth()), frame.width());
    Press(*dlg, 1017);
    QCOMPARE(still->GetAnnotateState(), 1);

    // "保存" writes the edited picture under the name the user picks.
    const QString copy = home_->FilePath(QStringLiteral("turned.png"));
    still->SetSavePathChooser([copy](QWidget*) { return copy; });
    Press(*dlg, 1016);
    Press(*dlg, 1020);
    CDibImage saved;
    QVERIFY(saved.Load(copy, kDibFormatPng));
    QCOMPARE(int(saved.GetWidth()), frame.height());
}

void PhotoCaptureTest::openFolderShowsTheStorageFolder() {
    auto dlg = Open();
    QVERIFY(dlg);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    Press(*dlg, 1036);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(storage_)});
}

void PhotoCaptureTest::automaticCropSavesTheStraightenedPage() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    auto dlg = Open();
    QVERIFY(dlg);
    CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
    const QSize frame = FrameSize(*dlg);
    SendWindowMessage(dlg.get(), qvmsg::kAutoCropChanged, 1, 0);
    QVERIFY(live->IsAutoCropOn());
    QCOMPARE(live->GetOutlineMode(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(live->EdgeWorker().Results().detected, 20000);
    // The photo is turned by the detected tilt and cut to the detected box, whatever they are.
    // The detection goes on meanwhile: the photo is cut as the one before it or the one after.
    auto expectedSize = [live] {
        PhotoSource source;
        source.workImage = &live->GetWorkImage();
        source.outlineMode = 2;
        const CVideoItem::AutoCropCut cut = live->AutoCrop();
        source.tiltAngle = cut.tiltAngle;
        source.cropImageRect = cut.cropImageRect;
        const CDibImage expected = PreparePhoto(source, PhotoOptions{});
        return QSize(int(expected.GetWidth()), int(expected.GetHeight()));
    };
    const QSize before = expectedSize();
    Press(*dlg, 1023);
    const QSize after = expectedSize();
    CDibImage written;
    QVERIFY(written.Load(storage_ + QStringLiteral("/Image1.jpg"), kDibFormatJpeg));
    const QSize size(int(written.GetWidth()), int(written.GetHeight()));
    auto near = [size](QSize expected) {
        return qAbs(size.width() - expected.width()) <= 8 &&
               qAbs(size.height() - expected.height()) <= 8;
    };
    QVERIFY2(near(before) || near(after),
             qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));

    SendWindowMessage(dlg.get(), qvmsg::kAutoCropChanged, 0, 0);
    QVERIFY(!live->IsAutoCropOn());
    QCOMPARE(live->GetOutlineMode(), 0);
    Press(*dlg, 1023);
    QVERIFY(written.Load(storage_ + QStringLiteral("/Image3.jpg"), kDibFormatJpeg));
    QCOMPARE(int(written.GetWidth()), frame.width());
    QCOMPARE(int(written.GetHeight()), frame.height());
}

void PhotoCaptureTest::unknownNamingModeShowsANotice() {
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kPicIndex, 4));
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 7));
    auto dlg = Open();
    QVERIFY(dlg);
    Press(*dlg, 1023);
    QVERIFY(dlg->SaveNotice()->isVisible());
    QVERIFY(dlg->SaveNotice()->text().contains(QStringLiteral("命名方式")));
    QCOMPARE(StoredCounter(), 4);  // no name was used
    QCOMPARE(dlg->Thumbnails()->Count(), 1);
    QVERIFY(dlg->Thumbnails()->Cell(0).path.isEmpty());
    QVERIFY(Photos(storage_).isEmpty());
}

void PhotoCaptureTest::unwritableFolderShowsANotice_data() {
    QTest::addColumn<QString>("folder");  // under the home folder
    QTest::newRow("folder is a file") << "plain";
    QTest::newRow("missing folder") << "gone/away";
}

void PhotoCaptureTest::unwritableFolderShowsANotice() {
    QFETCH(QString, folder);
    QFile plain(home_->FilePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString path = home_->FilePath(folder);
    QVERIFY(CIniFile().WriteString(qvini::kPic, qvini::kPicPath, path));
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    const QStringList before = QDir(home_->Path()).entryList(QDir::AllEntries | QDir::Hidden);
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
    QCOMPARE(QDir(home_->Path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(QFileInfo(plain.fileName()).size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), CSaveNotice::kShowMilliseconds + 3000);
}

QTEST_MAIN(PhotoCaptureTest)
#include "test_photo_capture.moc"
