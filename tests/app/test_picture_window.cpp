// The stage of the main window in a real window, driven with the mouse and keys: the live picture
// through full screen and back, pictures fitted to the window (also after a crop), and a line of
// text typed into a photo. Settings and storage folders are temporary.
#include <QtTest>
#include <cstring>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/photo_home.h"
#include "ui/input_edit.h"
#include "view/picture_item.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

namespace {

void Press(CQuorvaneDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

QRect ToQRect(const QvRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// Dark pixels of a picture inside and outside a rectangle of it.
QPair<int, int> DarkPixels(const QImage& image, const QRect& inside) {
    int in = 0;
    int out = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 100)
                ++(inside.contains(x, y) ? in : out);
        }
    }
    return {in, out};
}

bool SamePixels(const CDibImage& a, const CDibImage& b) {
    return a.GetEffWidth() == b.GetEffWidth() && a.GetHeight() == b.GetHeight() &&
           std::memcmp(a.GetRow(0), b.GetRow(0), size_t(a.GetEffWidth()) * a.GetHeight()) == 0;
}

}  // namespace

class PictureWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PhotoHome> home_;

    std::unique_ptr<CQuorvaneDlg> Open() {
        auto dlg = std::make_unique<CQuorvaneDlg>();
        dlg->show();
        dlg->activateWindow();
        if (!QTest::qWaitForWindowActive(dlg.get()) || dlg->WorkRegion() == nullptr)
            return nullptr;
        CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
        if (!QTest::qWaitFor([live] { return live->HasImage(); }, 20000))
            return nullptr;
        return dlg;
    }

    // Shows a light picture of the given size, from the strip, as the still picture.
    CPicItem* ShowStill(CQuorvaneDlg& dlg, int w, int h) {
        CDibImage picture;
        const QString path = home_->FilePath(QStringLiteral("page_%1x%2.bmp").arg(w).arg(h));
        if (!picture.Create(uint32_t(w), uint32_t(h), 24, 0))
            return nullptr;
        for (uint32_t y = 0; y < uint32_t(h); ++y)
            std::memset(picture.GetRow(y), 0xF0, picture.GetEffWidth());
        if (!picture.Save(path, kDibFormatBmp))
            return nullptr;
        dlg.Thumbnails()->AddPicture(picture, path);
        SendWindowMessage(&dlg, qvmsg::kSetWorkMode, 1, 0);
        CPicItem* still = dlg.WorkRegion()->GetPictureItem();
        still->WithFullPicture([] {});  // the whole picture, not a reduced copy, read
        const bool read = QTest::qWaitFor(
            [still] { return !still->IsLoading() && !still->IsShowingReduced(); }, 20000);
        return read && still->GetFilePath() == path ? still : nullptr;
    }

    // The whole picture inside the item, centred to a pixel.
    static void VerifyFittedAndCentred(const CPicture& view) {
        const QRect shown = ToQRect(view.GetImageRect());
        QVERIFY2(view.rect().contains(shown), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                             .arg(shown.x())
                                                             .arg(shown.y())
                                                             .arg(shown.width())
                                                             .arg(shown.height())));
        QVERIFY((shown.center() - view.rect().center()).manhattanLength() <= 2);
    }

private slots:
    void initTestCase() {
        InstallFontFaces();
        SetSimulatedCameraOption(true);
        QVERIFY(MediaPlatformInit());
        SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
    }

    void init() {
        CPicture::ResetRefit();
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
    }

    // At the camera's largest size the picture is fitted smaller than the stage only in width
    // unless the fit asks for both.
    void fullScreenAndBackKeepsTheLivePicture() {
        QVERIFY(CIniFile().WriteInt(qvini::kVideo, qvini::kVideoWidth, 2592));
        QVERIFY(CIniFile().WriteInt(qvini::kVideo, qvini::kVideoHeight, 1944));
        auto dlg = Open();
        QVERIFY(dlg);
        CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
        QTRY_COMPARE(live->GetWorkImage().GetWidth(), 2592u);
        QTRY_VERIFY(!live->IsStretchToWindow());  // fitted by its first paint
        const QvRect before = live->GetImageRect();
        VerifyFittedAndCentred(*live);

        QTest::mouseDClick(live, Qt::LeftButton, {}, live->rect().center());
        QTRY_VERIFY(dlg->IsFullScreen());
        QTRY_COMPARE(live->size(), dlg->size());
        VerifyFittedAndCentred(*live);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!dlg->IsFullScreen());
        QTRY_COMPARE(live->GetImageRect(), before);
    }

    void fitShowsTheWholePicture_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("cropToStrip");
        QTest::newRow("portrait page") << QSize(1240, 1754) << false;
        QTest::newRow("wide page") << QSize(2000, 600) << false;
        QTest::newRow("small picture") << QSize(120, 90) << false;
        QTest::newRow("cropped to a tall strip") << QSize(1600, 1200) << true;
    }

    void fitShowsTheWholePicture() {
        QFETCH(QSize, picture);
        QFETCH(bool, cropToStrip);
        auto dlg = Open();
        QVERIFY(dlg);
        CPicItem* still = ShowStill(*dlg, picture.width(), picture.height());
        QVERIFY(still);
        VerifyFittedAndCentred(*still);
        if (cropToStrip) {
            // "框选" a strip a tenth as wide as the picture and most of its height, then "裁切".
            const QRect shown = ToQRect(still->GetImageRect());
            Press(*dlg, 1019);
            const QPoint from(shown.left() + shown.width() / 2, shown.top() + 10);
            const QPoint to(from.x() + shown.width() / 10, shown.bottom() - 10);
            QTest::mousePress(still, Qt::LeftButton, {}, from);
            QTest::mouseMove(still, to);
            QTest::mouseRelease(still, Qt::LeftButton, {}, to);
            Press(*dlg, 1021);
            QVERIFY(still->IsModified());
            QVERIFY(still->GetWorkImage().GetHeight() > 4 * still->GetWorkImage().GetWidth());
            VerifyFittedAndCentred(*still);
        }
    }

    // "标注文字", a click on the photo, text typed and Enter: dark text on the light page, its
    // top-left corner at the picture pixel clicked, also in the saved file. Escape drops the
    // text; another click moves it; leaving the picture drops it.
    void annotationTypedWhereClicked() {
        auto dlg = Open();
        QVERIFY(dlg);
        CPicItem* still = ShowStill(*dlg, 1240, 1754);
        QVERIFY(still);
        const CDibImage unchanged = still->GetDisplayImage();
        const QRect shown = ToQRect(still->GetImageRect());
        const auto PixelAt = [&](const QPoint& p) {
            return QPoint(int(int64_t(p.x() - shown.left()) * 1240 / shown.width()),
                          int(int64_t(p.y() - shown.top()) * 1754 / shown.height()));
        };

        // Escape, a picture change and the live picture each drop the text being typed.
        for (const char* leave : {"escape", "live"}) {
            Press(*dlg, 1017);
            QTest::mouseClick(still, Qt::LeftButton, {}, shown.center());
            QTRY_COMPARE(QApplication::focusWidget(), still->GetTextEdit());
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("XX"));
            // A click elsewhere on the picture moves the text; it writes nothing.
            QTest::mouseClick(still, Qt::LeftButton, {}, shown.center() + QPoint(30, 30));
            QCOMPARE(still->GetTextEdit()->text(), QStringLiteral("XX"));
            if (QByteArray(leave) == "escape") {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            } else {
                Press(*dlg, 1022);
                SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
            }
            QCOMPARE(still->GetAnnotateState(), 0);
            QVERIFY(!still->GetTextEdit()->isVisible());
            QVERIFY(still->GetTextEdit()->text().isEmpty());
            QVERIFY(dlg->isVisible() && !still->IsModified());
        }
        QVERIFY(SamePixels(still->GetDisplayImage(), unchanged));

        const QRect fitted = ToQRect(still->GetImageRect());
        QCOMPARE(fitted, shown);
        Press(*dlg, 1017);
        const QPoint click = shown.center() + QPoint(-40, -20);
        const QPoint pixel = PixelAt(click);
        QTest::mouseClick(still, Qt::LeftButton, {}, click);
        QTRY_COMPARE(QApplication::focusWidget(), still->GetTextEdit());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Page 7"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(still->GetAnnotateState(), 0);
        QVERIFY(!still->GetTextEdit()->isVisible());
        QVERIFY(still->IsModified());

        const QString saved = home_->FilePath(QStringLiteral("annotated.png"));
        still->SetSavePathChooser([&](QWidget*) { return saved; });
        Press(*dlg, 1020);
        const QImage written(saved);
        QCOMPARE(written.size(), QSize(1240, 1754));
        const QPair<int, int> dark = DarkPixels(written, QRect(pixel, QSize(100, 20)));
        QVERIFY2(dark.first > 20 && dark.second == 0,
                 qPrintable(QStringLiteral("%1 in, %2 out").arg(dark.first).arg(dark.second)));
        // Its top-left corner: nothing above or left of the pixel clicked, text close to it.
        QVERIFY(DarkPixels(written, QRect(pixel, QSize(12, 14))).first > 0);
    }
};

QTEST_MAIN(PictureWindowTest)
#include "test_picture_window.moc"
