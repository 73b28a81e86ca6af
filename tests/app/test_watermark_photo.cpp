// "水印设置" through the main window: the dialog is driven as a user would, and a photo saved
// with the main window's watermark values carries the text where the marker put it, reading
// from top to bottom, and the date line, in the chosen size and colour. The photos are read
// back with Qt's PNG reader and compared with a photo saved without the watermark.

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "app/quorvane_dlg.h"
#include "dialogs/watermark_dialog.h"
#include "platform/font_faces.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/photo_home.h"
#include "ui/qv_button.h"

namespace {

void Click(QWidget* target, QPoint at) {
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
}

// Runs `act` on the watermark dialog once the main window has opened it modally.
void WhenDialogOpens(std::function<void(CShuiYinDlg&)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* dlg = qobject_cast<CShuiYinDlg*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dlg);
        }
    });
    poll->start(10);
}

// Ink that `marked` has and `plain` has not, as a box, in the photo's top-down pixels.
struct Ink {
    QRect box;
    int topHalf = 0;
    int bottomHalf = 0;
    bool allInColour = true;
};

Ink Difference(const QImage& marked, const QImage& plain, QRect within, QRgb colour) {
    Ink ink;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            if (marked.pixel(x, y) != plain.pixel(x, y)) {
                ink.box |= QRect(x, y, 1, 1);
                ink.allInColour = ink.allInColour && (marked.pixel(x, y) & 0xFFFFFF) == colour;
            }
        }
    }
    for (int y = ink.box.top(); y <= ink.box.bottom(); ++y) {
        for (int x = ink.box.left(); x <= ink.box.right(); ++x) {
            if (marked.pixel(x, y) != plain.pixel(x, y)) {
                ++(y < ink.box.center().y() ? ink.topHalf : ink.bottomHalf);
            }
        }
    }
    return ink;
}

}  // namespace

class WatermarkPhotoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        InstallFontFaces();
        SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
        QVERIFY(home_.Make());
    }

    void photoCarriesTheWatermarkWhereTheMarkerPutIt() {
        CQuorvaneDlg main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        WhenDialogOpens([](CShuiYinDlg& dlg) {
            dlg.SetFontPicker([](QFont& font, QvColour& colour, QWidget*) {
                font = QFont(QStringLiteral("Noto Sans CJK SC"), 36);
                colour = QvRgb(200, 0, 0);
                return true;
            });
            Click(dlg.Button(CShuiYinDlg::kFontButtonId), QPoint(5, 5));
            dlg.TextEdit()->setText(QStringLiteral("M........"));
            Click(dlg.Button(CShuiYinDlg::kInputButtonId), QPoint(5, 5));
            Click(dlg.Button(CShuiYinDlg::kPositionButtonId), QPoint(5, 5));
            Click(&dlg, QPoint(30 + 63, 50 + 180));  // ratios 0.3 and 0.6
            // The check box is placed by its first paint.
            QVERIFY(QTest::qWaitFor([&dlg] { return !dlg.DateItem().HitRect().IsEmpty(); }));
            const QvRect& date = dlg.DateItem().HitRect();
            Click(&dlg, QPoint(date.left + 2, date.top + 2));
            Click(dlg.CloseButton(), QPoint(5, 5));
        });
        SendWindowMessage(&main, qvmsg::kButtonClicked, mainctl::kWatermark, 0);
        const PhotoOptions options = main.CurrentPhotoOptions();
        QCOMPARE(options.watermarkText, QStringLiteral("M........"));
        QVERIFY(options.dateWatermark);
        QCOMPARE(options.watermarkX, 0.3f);
        QCOMPARE(options.watermarkY, 0.6f);
        const qreal dpi = main.screen()->logicalDotsPerInchY();
        QCOMPARE(options.watermarkFont.height, int(std::lround(36 * dpi / 72)));

        // A white 640 x 480 frame, saved with the watermark and without it.
        CDibImage frame;
        QVERIFY(frame.Create(640, 480, 24, kDibFormatBmp));
        for (uint32_t row = 0; row < 480; ++row) {
            std::memset(frame.GetRow(row), 0xFF, frame.GetEffWidth());
        }
        PhotoSource source;
        source.workImage = &frame;
        const QString marked = home_.FilePath(QStringLiteral("marked.png"));
        const QString plain = home_.FilePath(QStringLiteral("plain.png"));
        QVERIFY(SavePhoto(source, marked, options).saved);
        QVERIFY(SavePhoto(source, plain, PhotoOptions{}).saved);
        const QImage withInk(marked);
        const QImage without(plain);
        QCOMPARE(withInk.size(), QSize(640, 480));

        // Written on the picture turned a quarter to the left (480 x 640) at (144, 384), the
        // text's bottom edge; turned back, its top is at y = 144 and its bottom edge at
        // x = 639 - 384. The date line's bottom edge, at (20, 580), comes back at x = 59; at this
        // size the line is longer than the picture is wide, so it starts at the edge, not at 20.
        const int size = options.watermarkFont.height;
        const int line = size * 3 / 2;  // the text box: the face's ascent and descent
        const Ink text = Difference(withInk, without, QRect(200, 0, 440, 480), 0xC80000);
        QVERIFY2(text.box.top() >= 144 && text.box.top() <= 144 + 6,
                 qPrintable(QString::number(text.box.top())));
        QVERIFY(text.box.left() >= 255 && text.box.right() <= 255 + line);
        QVERIFY(text.box.width() > size / 2);  // the chosen size, not the 16-pixel default
        QVERIFY(text.box.height() > 3 * text.box.width());  // a line running down the photo
        QVERIFY(text.topHalf > 2 * text.bottomHalf);        // "M" first: it reads downwards
        QVERIFY(text.allInColour);
        const Ink date = Difference(withInk, without, QRect(0, 0, 200, 480), 0xC80000);
        QVERIFY(date.box.left() >= 59 && date.box.right() <= 59 + line);
        QVERIFY2(date.box.top() >= 0 && date.box.top() <= 6,
                 qPrintable(QString::number(date.box.top())));
        QVERIFY(date.box.height() > 5 * date.box.width());
    }

private:
    PhotoHome home_;
};

QTEST_MAIN(WatermarkPhotoTest)
#include "test_watermark_photo.moc"
