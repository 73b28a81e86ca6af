// The work region: which item is shown in which mode, the still picture loaded on entering the
// picture mode, and photo requests in each mode.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <vector>

#include "app/work_region_mgr.h"
#include "media/media_platform.h"
#include "view/picture_item.h"
#include "view/picture_view.h"
#include "view/video_item.h"

namespace {

// Top row first, rows padded to 4 bytes: the layout camera frames arrive in.
std::vector<uint8_t> MakeFrameRows(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> rows(size_t(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = rows.data() + y * stride + 3 * x;
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t(x + y);
        }
    }
    return rows;
}

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

}  // namespace

class WorkRegionMgrTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(MediaPlatformInit()); }  // no camera: frames are fed by hand
    void init();
    void cleanup();
    void startsUnsetAndLaysNothingOut();
    void setModeReportsOnlyChanges();
    void layoutGivesTheWholeAreaToTheShownItem_data();
    void layoutGivesTheWholeAreaToTheShownItem();
    void resizeLaysOut();
    void pictureModeLoadsTheSelectedFile();
    void pictureModeWithoutSelectionKeepsThePicture();
    void photoRequestSavesOnlyInLiveMode();
    void photoRequestUsesTheSelectionBox();

private:
    QWidget* parent_ = nullptr;
    CWorkRegionMgr* region_ = nullptr;
    QTemporaryDir* dir_ = nullptr;
};

void WorkRegionMgrTest::init() {
    CPicture::ResetRefit();
    dir_ = new QTemporaryDir;
    parent_ = new QWidget;
    parent_->resize(800, 600);
    region_ = new CWorkRegionMgr;
    QVERIFY(region_->Create(QStringLiteral("workmgr"), parent_, 100));
    region_->setGeometry(27, 175, 500, 400);
    parent_->show();
}

void WorkRegionMgrTest::cleanup() {
    delete dir_;
    delete parent_;
    parent_ = nullptr;
    region_ = nullptr;
}

void WorkRegionMgrTest::startsUnsetAndLaysNothingOut() {
    QCOMPARE(region_->GetMode(), int(CWorkRegionMgr::kModeUnset));
    QCOMPARE(region_->objectName(), QStringLiteral("workmgr"));
    QCOMPARE(region_->parentWidget(), parent_);
    QVERIFY(region_->GetVideoItem() != nullptr);
    QVERIFY(region_->GetPictureItem() != nullptr);
    const QRect before = region_->GetVideoItem()->geometry();
    region_->Layout(500, 400);
    QCOMPARE(region_->GetVideoItem()->geometry(), before);
    // A photo before the live mode is set saves nothing.
    const PhotoResult result =
        region_->RequestPhoto(dir_->filePath(QStringLiteral("early.png")), PhotoOptions{});
    QVERIFY(!result.saved);
    QVERIFY(!result.thumbnail.IsValid());
    QVERIFY(Files(dir_->path()).isEmpty());
}

void WorkRegionMgrTest::setModeReportsOnlyChanges() {
    QVERIFY(region_->SetMode(0));
    QVERIFY(!region_->SetMode(0));
    QVERIFY(region_->SetMode(1));
    QVERIFY(!region_->SetMode(1));
    QVERIFY(region_->SetMode(0));
    QCOMPARE(region_->GetMode(), 0);
}

void WorkRegionMgrTest::layoutGivesTheWholeAreaToTheShownItem_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("live") << 0;
    QTest::newRow("picture") << 1;
}

void WorkRegionMgrTest::layoutGivesTheWholeAreaToTheShownItem() {
    QFETCH(int, mode);
    QVERIFY(region_->SetMode(mode));
    QWidget* shown = mode == 0 ? static_cast<QWidget*>(region_->GetVideoItem())
                               : static_cast<QWidget*>(region_->GetPictureItem());
    QWidget* other = mode == 0 ? static_cast<QWidget*>(region_->GetPictureItem())
                               : static_cast<QWidget*>(region_->GetVideoItem());
    QCOMPARE(shown->geometry(), QRect(0, 0, 500, 400));
    QCOMPARE(other->geometry().size(), QSize(0, 0));
    region_->Layout(320, 200);
    QCOMPARE(shown->geometry(), QRect(0, 0, 320, 200));
    QCOMPARE(other->geometry().size(), QSize(0, 0));
}

void WorkRegionMgrTest::resizeLaysOut() {
    QVERIFY(region_->SetMode(0));
    region_->resize(640, 360);
    QTRY_COMPARE(region_->GetVideoItem()->geometry(), QRect(0, 0, 640, 360));
}

void WorkRegionMgrTest::pictureModeLoadsTheSelectedFile() {
    CDibImage picture;
    QVERIFY(picture.Create(90, 60, 24, kDibFormatPng));
    const QString path = dir_->filePath(QStringLiteral("Image1.png"));
    QVERIFY(picture.Save(path, kDibFormatPng));
    region_->SetSelectedPathSource([path] { return path; });
    QVERIFY(region_->SetMode(0));
    CPicItem* item = region_->GetPictureItem();
    item->SetStretchToWindow(true);
    QVERIFY(region_->SetMode(1));
    QVERIFY(item->HasImage());
    QCOMPARE(item->GetFilePath(), path);
    QTRY_COMPARE(item->GetWorkImage().GetWidth(), 90u);
    QVERIFY(!item->IsStretchToWindow());
}

void WorkRegionMgrTest::pictureModeWithoutSelectionKeepsThePicture() {
    CDibImage picture;
    QVERIFY(picture.Create(40, 30, 24, kDibFormatPng));
    const QString path = dir_->filePath(QStringLiteral("Image2.png"));
    QVERIFY(picture.Save(path, kDibFormatPng));
    QString selected = path;
    region_->SetSelectedPathSource([&selected] { return selected; });
    QVERIFY(region_->SetMode(1));
    QVERIFY(region_->SetMode(0));
    selected = QString();  // the strip was emptied
    QVERIFY(region_->SetMode(1));
    QCOMPARE(region_->GetPictureItem()->GetFilePath(), path);
    QVERIFY(region_->GetPictureItem()->HasImage());
}

void WorkRegionMgrTest::photoRequestSavesOnlyInLiveMode() {
    const std::vector<uint8_t> rows = MakeFrameRows(64, 48);
    QVERIFY(region_->SetMode(0));
    region_->GetVideoItem()->SetFrame((64u << 16) | 48u, rows.data());
    const QString livePath = dir_->filePath(QStringLiteral("live.png"));
    const PhotoResult live = region_->RequestPhoto(livePath, PhotoOptions{});
    QVERIFY2(live.saved, qPrintable(live.failure));
    QCOMPARE(live.thumbnail.GetWidth(), 55u);
    CDibImage written;
    QVERIFY(written.Load(livePath, kDibFormatPng));
    QCOMPARE(written.GetWidth(), 64u);
    QCOMPARE(written.GetHeight(), 48u);

    QVERIFY(region_->SetMode(1));
    const PhotoResult still =
        region_->RequestPhoto(dir_->filePath(QStringLiteral("still.png")), PhotoOptions{});
    QVERIFY(!still.saved);
    QVERIFY(still.failure.isEmpty());  // nothing was meant to be written
    QVERIFY(!still.thumbnail.IsValid());
    QCOMPARE(Files(dir_->path()), QStringList{QStringLiteral("live.png")});
}

void WorkRegionMgrTest::photoRequestUsesTheSelectionBox() {
    const std::vector<uint8_t> rows = MakeFrameRows(64, 48);
    QVERIFY(region_->SetMode(0));
    CPicture* live = region_->GetVideoItem();
    live->SetFrame((64u << 16) | 48u, rows.data());
    live->SetSelectionImageRect({8, 4, 40, 36});
    live->SelectionToClient();
    const QString path = dir_->filePath(QStringLiteral("box.png"));
    QVERIFY(region_->RequestPhoto(path, PhotoOptions{}).saved);
    CDibImage written;
    QVERIFY(written.Load(path, kDibFormatPng));
    QCOMPARE(written.GetWidth(), uint32_t(live->GetSelectionImageRect().Width()));
    QCOMPARE(written.GetHeight(), uint32_t(live->GetSelectionImageRect().Height()));
    // The box went through the view's client coordinates: a pixel may be lost to truncation.
    QVERIFY(qAbs(int(written.GetWidth()) - 32) <= 1);
    QVERIFY(qAbs(int(written.GetHeight()) - 32) <= 1);
}

QTEST_MAIN(WorkRegionMgrTest)
#include "test_work_region_mgr.moc"
