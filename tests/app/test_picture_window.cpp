// The stage of the main window in a real window, driven with the mouse and keys: the live picture
// through full screen and back, pictures fitted to the window (also after a cut), and a line of
// text typed into a photo. Settings and storage folders are temporary.
#include <QtTest>
#include <memory>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/photo_home.h"
#include "support/simulated_media.h"
#include "ui/input_edit.h"
#include "view/picture_item.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

namespace {

void Press(CQuorvaneDlg& dlg, int id) {
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, WParam(id), 0);
}

QRect Shown(const CPicture& view) {
    const QvRect r = view.GetImageRect();
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// The whole picture inside the view, centred.
bool WholeAndCentred(const CPicture& view) {
    return view.rect().contains(Shown(view)) &&
           (Shown(view).center() - view.rect().center()).manhattanLength() <= 2;
}

}  // namespace

class PictureWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PhotoHome> home_;

    std::unique_ptr<CQuorvaneDlg> Open() {
        auto dlg = std::make_unique<CQuorvaneDlg>();
        dlg->show();
        dlg->activateWindow();
        CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
        if (!QTest::qWaitForWindowActive(dlg.get()) ||
            !QTest::qWaitFor([live] { return live->HasImage(); }, 20000))
            return nullptr;
        return dlg;
    }

    // A light page of the given size, opened from the strip and read whole.
    CPicItem* ShowStill(CQuorvaneDlg& dlg, const QSize& size) {
        QImage page(size, QImage::Format_RGB888);
        page.fill(QColor(240, 240, 240));
        const QString path = home_->FilePath(QStringLiteral("page.png"));
        CDibImage thumbnail;
        if (!page.save(path) || !thumbnail.Create(55, 55, 24, 0))
            return nullptr;
        dlg.Thumbnails()->AddPicture(thumbnail, path);
        SendWindowMessage(&dlg, qvmsg::kSetWorkMode, 1, 0);
        CPicItem* still = dlg.WorkRegion()->GetPictureItem();
        still->WithFullPicture([] {});
        return QTest::qWaitFor(
                   [still] { return !still->IsLoading() && !still->IsShowingReduced(); }, 20000)
                   ? still
                   : nullptr;
    }

private slots:
    void initTestCase() {
        QVERIFY(StartSimulatedMedia());
        SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
    }

    void init() {
        CPicture::ResetRefit();
        home_ = std::make_unique<PhotoHome>();
        QVERIFY(home_->Make());
    }

    // At the camera's largest size a fit wanting only one side inside left the picture taller
    // than the stage, and leaving full screen kept the full screen's centre.
    void fullScreenAndBackKeepsTheLivePicture() {
        QVERIFY(CIniFile().WriteInt(qvini::kVideo, qvini::kVideoWidth, 2592));
        QVERIFY(CIniFile().WriteInt(qvini::kVideo, qvini::kVideoHeight, 1944));
        auto dlg = Open();
        QVERIFY(dlg);
        CVideoItem* live = dlg->WorkRegion()->GetVideoItem();
        QTRY_COMPARE(live->GetWorkImage().GetWidth(), 2592u);
        QTRY_VERIFY(!live->IsStretchToWindow());  // fitted by its first paint
        const QvRect before = live->GetImageRect();
        QVERIFY(WholeAndCentred(*live));
        QTest::mouseDClick(live, Qt::LeftButton, {}, live->rect().center());
        QTRY_COMPARE(live->size(), dlg->screen()->size());
        QVERIFY(WholeAndCentred(*live));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!dlg->IsFullScreen());
        QTRY_COMPARE(live->GetImageRect(), before);
    }

    void fitShowsTheWholePicture_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("cutToStrip");
        QTest::newRow("portrait page") << QSize(1240, 1754) << false;
        QTest::newRow("small picture") << QSize(120, 90) << false;
        QTest::newRow("cut to a tall strip") << QSize(1600, 1200) << true;
    }

    void fitShowsTheWholePicture() {
        QFETCH(QSize, picture);
        QFETCH(bool, cutToStrip);
        auto dlg = Open();
        QVERIFY(dlg);
        CPicItem* still = ShowStill(*dlg, picture);
        QVERIFY(still);
        QVERIFY2(WholeAndCentred(*still), qPrintable(QDebug::toString(Shown(*still))));
        if (cutToStrip) {
            // "框选" a tenth of the width and most of the height, then "裁切".
            const QRect shown = Shown(*still);
            const QPoint from(shown.center().x(), shown.top() + 10);
            const QPoint to(from.x() + shown.width() / 10, shown.bottom() - 10);
            Press(*dlg, 1019);
            QTest::mousePress(still, Qt::LeftButton, {}, from);
            QTest::mouseMove(still, to);
            QTest::mouseRelease(still, Qt::LeftButton, {}, to);
            Press(*dlg, 1021);
            QVERIFY(still->GetWorkImage().GetHeight() > 4 * still->GetWorkImage().GetWidth());
            QVERIFY2(WholeAndCentred(*still), qPrintable(QDebug::toString(Shown(*still))));
        }
    }

    // "标注文字", a click, text typed: Escape or the live picture drop it; Enter writes it, dark on
    // the light page, its top-left corner at the picture pixel clicked, also in the saved file.
    void annotationTypedWhereClicked() {
        auto dlg = Open();
        QVERIFY(dlg);
        CPicItem* still = ShowStill(*dlg, QSize(1240, 1754));
        QVERIFY(still);
        const QRect shown = Shown(*still);
        for (const bool escape : {true, false}) {
            Press(*dlg, 1017);
            QTest::mouseClick(still, Qt::LeftButton, {}, shown.center());
            QTRY_COMPARE(QApplication::focusWidget(), still->GetTextEdit());
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("XX"));
            if (escape) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            } else {
                Press(*dlg, 1022);
                SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
            }
            QVERIFY(!still->GetTextEdit()->isVisible() && still->GetTextEdit()->text().isEmpty());
            QVERIFY(dlg->isVisible() && !still->IsModified());
        }

        QCOMPARE(Shown(*still), shown);  // fitted again on the way back
        const QPoint click = shown.center() - QPoint(40, 20);
        const QPoint pixel((click.x() - shown.left()) * 1240 / shown.width(),
                           (click.y() - shown.top()) * 1754 / shown.height());
        Press(*dlg, 1017);
        QTest::mouseClick(still, Qt::LeftButton, {}, click);
        QTRY_COMPARE(QApplication::focusWidget(), still->GetTextEdit());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Page 7"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!still->GetTextEdit()->isVisible() && still->IsModified());

        const QString saved = home_->FilePath(QStringLiteral("annotated.png"));
        still->SetSavePathChooser([&](QWidget*) { return saved; });
        Press(*dlg, 1020);
        const QImage written(saved);
        QCOMPARE(written.size(), QSize(1240, 1754));
        const auto dark = [&written](const QRect& area) {
            int count = 0;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x)
                    count += qGray(written.pixel(x, y)) < 100 ? 1 : 0;
            }
            return count;
        };
        const int inBox = dark(QRect(pixel, QSize(100, 20)));
        QVERIFY2(inBox > 20 && dark(written.rect()) == inBox, qPrintable(QString::number(inBox)));
        QVERIFY(dark(QRect(pixel, QSize(12, 14))) > 0);  // beginning at the corner
    }
};

QTEST_MAIN(PictureWindowTest)
#include "test_picture_window.moc"
