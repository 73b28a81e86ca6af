// Hands-free page capture through the main window in a visible window, as a user takes it: the
// mouse chooses "翻页拍照" in the picture format dialog and presses "开始连拍", and the test turns
// the pages by replacing the simulated camera's picture file. One photo for each new page, none
// for the same page written again, none once stopped; the live picture's corner shows the state.

#include <QDir>
#include <QImage>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <cstdio>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "dialogs/picture_format_dialog.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "settings/ini_file.h"
#include "support/page_turn_film.h"
#include "support/photo_home.h"
#include "ui/qv_button.h"
#include "view/video_item.h"

namespace {

void Click(QWidget* widget, QPoint at) {
    QTest::mouseMove(widget, at);
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

void Click(QWidget* widget) {
    Click(widget, widget->rect().center());
}

// Lays page `seed` on the simulated desk: written beside the followed file, then renamed over
// it, as a program saving a picture would.
bool LayPage(const QString& desk, int seed) {
    const std::vector<uint8_t> page = film::TextPage(seed, 630, 891);
    const QString next = desk + QStringLiteral(".next.png");
    return QImage(page.data(), 630, 891, 630 * 3, QImage::Format_BGR888).save(next) &&
           std::rename(next.toLocal8Bit().constData(), desk.toLocal8Bit().constData()) == 0;
}

}  // namespace

class PageCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        InstallFontFaces();
        QVERIFY(home_.Make());
        desk_ = home_.FilePath(QStringLiteral("desk.png"));
        QVERIFY(LayPage(desk_, 0));
        SetSimulatedCameraOption(true, desk_);
        QVERIFY(MediaPlatformInit());
        SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
    }

    void onePhotoForEachNewPage() {
        QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
        CQuorvaneDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CVideoItem* live = dlg.WorkRegion()->GetVideoItem();
        QTRY_VERIFY_WITH_TIMEOUT(live->HasImage(), 20000);

        // "图片格式": the dialog runs modally; the mouse picks "翻页拍照" and presses "确定".
        bool chosen = false;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            auto* format = qobject_cast<CPicFormatDlg*>(QApplication::activeModalWidget());
            const QvRect page =
                format != nullptr ? format->ModeItem(CPicFormatDlg::kPageItem).HitRect() : QvRect{};
            if (page.IsEmpty())
                return;  // not shown and painted yet
            driver.stop();
            Click(format, QPoint(page.left + 6, (page.top + page.bottom) / 2));
            for (auto* button : format->findChildren<CQVButton*>()) {
                if (button->ControlId() == CPicFormatDlg::kOkButtonId)
                    Click(button);
            }
            chosen = true;
        });
        driver.start(50);
        Click(dlg.Button(1003));
        QVERIFY(chosen);
        QCOMPARE(dlg.AutoMode(), 1);

        // The page lying there, once still; then each new page, and only new pages.
        Click(dlg.Button(1024));
        QVERIFY(dlg.IsContinuousRunning());
        QCOMPARE(dlg.Button(1024)->Text(), QStringLiteral("停止连拍"));
        QCOMPARE(Photos().size(), 0);  // nothing at once
        QTRY_COMPARE_WITH_TIMEOUT(Photos().size(), 1, 15000);
        for (const int seed : {1, 2}) {
            QVERIFY(LayPage(desk_, seed));
            QTRY_COMPARE_WITH_TIMEOUT(Photos().size(), seed + 1, 15000);
        }
        QVERIFY(LayPage(desk_, 2));  // the same page written again
        QTest::qWait(2500);
        QCOMPARE(Photos().size(), 3);
        QCOMPARE(live->PageCaptureState(), PageState::kWaiting);
        QCOMPARE(Photos(), (QStringList{"Image1.jpg", "Image3.jpg", "Image5.jpg"}));

        // The corner says "等待翻页" with its blue-grey mark, on the screen itself.
        const QFontMetrics metrics(QvFont(QStringLiteral("宋体"), 12, 400));
        const QvRect view = live->IsStretchToWindow() ? QvRect{} : live->GetImageRect();
        const QPoint corner(std::max(view.left, 0), std::max(view.top, 0));
        const QPoint mark = live->mapToGlobal(corner + QPoint(21, 10 + (metrics.height() + 8) / 2));
        const QColor seen =
            dlg.screen()->grabWindow(0, mark.x(), mark.y(), 1, 1).toImage().pixelColor(0, 0);
        QVERIFY2(qAbs(seen.red() - 150) < 30 && qAbs(seen.blue() - 200) < 30,
                 qPrintable(seen.name()));

        Click(dlg.Button(1024));
        QVERIFY(!dlg.IsContinuousRunning());
        QVERIFY(!live->IsPageCaptureOn());
        QVERIFY(LayPage(desk_, 3));
        QTest::qWait(2500);
        QCOMPARE(Photos().size(), 3);
    }

private:
    QStringList Photos() const { return QDir(home_.Storage()).entryList(QDir::Files, QDir::Name); }

    PhotoHome home_;
    QString desk_;
};

QTEST_MAIN(PageCaptureTest)
#include "test_page_capture.moc"
