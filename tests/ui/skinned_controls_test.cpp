// Image buttons, option items, the skinned dialog base and off-screen drawing, driven with
// synthetic mouse events on the offscreen platform.

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QtTest>
#include <vector>

#include "image/dib_image.h"
#include "platform/window_messages.h"
#include "support/skin_services.h"
#include "ui/main_window_services.h"
#include "ui/mem_dc.h"
#include "ui/option_item.h"
#include "ui/qv_button.h"
#include "ui/qv_dialog.h"

namespace {

// A 24-bit picture of one colour.
CDibImage Solid(int width, int height, QColor colour) {
    CDibImage image;
    image.Create(uint32_t(width), uint32_t(height), 24, kDibFormatBmp);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.GetRow(uint32_t(y));
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uint8_t(colour.blue());
            row[3 * x + 1] = uint8_t(colour.green());
            row[3 * x + 2] = uint8_t(colour.red());
        }
    }
    return image;
}

// Skins as the main window would hand them out: a dialog skin whose title band (top 34 rows)
// is red and whose body is green, close buttons and the option box.
class SkinProvider : public SkinServices {
public:
    SkinProvider() {
        CDibImage dialog = Solid(200, 150, QColor(0, 160, 0));
        for (uint32_t y = 0; y < 34; ++y) {
            uint8_t* row = dialog.GetRow(150 - 1 - y);  // rows are stored bottom-up
            for (int x = 0; x < 200; ++x) {
                row[3 * x] = 0;
                row[3 * x + 1] = 0;
                row[3 * x + 2] = 200;
            }
        }
        skins[129] = dialog;
        skins[217] = Solid(30, 24, QColor(10, 20, 30));
        skins[222] = Solid(30, 24, QColor(40, 50, 60));
        skins[218] = Solid(30, 24, QColor(70, 80, 90));
        skins[224] = Solid(12, 12, QColor(128, 128, 128));
    }
};

// Records every window message it receives.
class MessageSink : public QWidget {
public:
    struct Message {
        int message;
        WParam wParam;
        LParam lParam;
    };
    std::vector<Message> received;

protected:
    bool event(QEvent* event) override {
        if (event->type() == WindowMessageEvent::EventType()) {
            auto* m = static_cast<WindowMessageEvent*>(event);
            received.push_back({m->message, m->wParam, m->lParam});
            return true;
        }
        return QWidget::event(event);
    }
};

class ApplyingDialog : public CQVDialog {
public:
    int applied = 0;

protected:
    void Apply() override { ++applied; }
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

void Press(QWidget* target, QPoint at) {
    SendMouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton);
}
void Release(QWidget* target, QPoint at) {
    SendMouse(target, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

QImage Render(QWidget* widget, QColor sentinel) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(sentinel);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

}  // namespace

class SkinnedControlsTest : public QObject {
    Q_OBJECT

private:
    SkinProvider skins_;
    CDibImage red_ = Solid(40, 20, QColor(220, 30, 30));
    CDibImage green_ = Solid(40, 20, QColor(30, 200, 30));
    CDibImage blue_ = Solid(40, 20, QColor(30, 30, 220));

private slots:
    void initTestCase() { SetTheMainWindow(&skins_); }
    void cleanupTestCase() { SetTheMainWindow(nullptr); }

    void buttonWindowIsImagePlusExtras() {
        MessageSink parent;
        CQVButton button(&parent, 1011);
        button.setGeometry(100, 50, 10, 10);
        button.SetImages(&red_, &green_, &blue_, 6, 25);
        QCOMPARE(button.geometry(), QRect(97, 50, 46, 45));
        button.MoveTo(20, 126);
        QCOMPARE(button.geometry(), QRect(20, 126, 46, 45));
    }

    void buttonClickMessage_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QPoint>("releaseAt");
        QTest::addColumn<int>("messages");
        QTest::newRow("inside, enabled") << true << QPoint(5, 5) << 1;
        QTest::newRow("last pixel inside") << true << QPoint(39, 19) << 1;
        QTest::newRow("outside right") << true << QPoint(40, 5) << 0;
        QTest::newRow("outside above") << true << QPoint(5, -1) << 0;
        QTest::newRow("disabled") << false << QPoint(5, 5) << 0;
    }

    void buttonClickMessage() {
        QFETCH(bool, enabled);
        QFETCH(QPoint, releaseAt);
        QFETCH(int, messages);
        MessageSink parent;
        CQVButton button(&parent, 1023);
        button.SetImages(&red_, &green_, &blue_);
        button.setEnabled(enabled);
        Press(&button, QPoint(5, 5));
        Release(&button, releaseAt);
        QCOMPARE(int(parent.received.size()), messages);
        if (messages == 1) {
            QCOMPARE(parent.received[0].message, qvmsg::kButtonClicked);
            QCOMPARE(parent.received[0].wParam, WParam(1023));
            QCOMPARE(parent.received[0].lParam, LParam(0));
        }
        QVERIFY(button.ButtonState() != CQVButton::kPressed);
        if (releaseAt.x() >= 40 || releaseAt.y() < 0) {
            QCOMPARE(button.ButtonState(), CQVButton::kNormal);
        }
    }

    void doubleClickSendsOneClick() {
        MessageSink parent;
        CQVButton button(&parent, 1013);
        button.SetImages(&red_, &green_, &blue_);
        Press(&button, QPoint(5, 5));
        Release(&button, QPoint(5, 5));
        SendMouse(&button, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton);
        Release(&button, QPoint(5, 5));
        QCOMPARE(int(parent.received.size()), 1);
    }

    void hoverAndLeave() {
        MessageSink parent;
        CQVButton button(&parent, 1000);
        button.SetImages(&red_, &green_, &blue_);
        SendMouse(&button, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton);
        QCOMPARE(button.ButtonState(), CQVButton::kHover);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &leave);
        QCOMPARE(button.ButtonState(), CQVButton::kNormal);
        // Held down, the button stays pressed when the mouse wanders off.
        Press(&button, QPoint(3, 3));
        SendMouse(&button, QEvent::MouseMove, QPoint(60, 3), Qt::LeftButton);
        QCoreApplication::sendEvent(&button, &leave);
        QCOMPARE(button.ButtonState(), CQVButton::kPressed);
    }

    void paintsStateImageAndGreyWhenDisabled() {
        MessageSink parent;
        CQVButton button(&parent, 1000);
        button.SetImages(&red_, &green_, &blue_);
        QImage normal = Render(&button, Qt::black);
        QCOMPARE(QColor(normal.pixel(20, 10)), QColor(220, 30, 30));
        Press(&button, QPoint(3, 3));
        QImage pressed = Render(&button, Qt::black);
        QCOMPARE(QColor(pressed.pixel(20, 10)), QColor(30, 30, 220));
        Release(&button, QPoint(3, 3));

        button.setEnabled(false);
        const QColor grey(Render(&button, Qt::black).pixel(20, 10));
        QCOMPARE(grey.red(), grey.green());
        QCOMPARE(grey.green(), grey.blue());
        QVERIFY(grey.red() > 0);
    }

    void whiteIsLeftWhiteAndCornersShowTheParent() {
        MessageSink parent;
        CDibImage white = Solid(40, 20, Qt::white);
        CQVButton button(&parent, 1000);
        button.SetImages(&white, &white, &white);
        const QImage image = Render(&button, QColor(0, 0, 255));
        QCOMPARE(QColor(image.pixel(20, 10)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(0, 0)), QColor(0, 0, 255));
    }

    void buttonWithoutAllImagesPaintsNothing() {
        MessageSink parent;
        CQVButton button(&parent, 1000);
        button.resize(40, 20);
        button.SetImages(&red_, nullptr, &blue_);
        const QImage image = Render(&button, QColor(1, 2, 3));
        QCOMPARE(QColor(image.pixel(20, 10)), QColor(1, 2, 3));
    }

    void optionItemClick_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("checkedBefore");
        QTest::addColumn<QPoint>("clickAt");
        QTest::addColumn<bool>("checkedAfter");
        QTest::addColumn<int>("messages");
        QTest::newRow("check box on") << 1 << false << QPoint(12, 22) << true << 1;
        QTest::newRow("check box off") << 1 << true << QPoint(12, 22) << false << 1;
        QTest::newRow("radio on") << 0 << false << QPoint(12, 22) << true << 1;
        QTest::newRow("checked radio stays") << 0 << true << QPoint(12, 22) << true << 0;
        QTest::newRow("outside") << 1 << false << QPoint(9, 22) << false << 0;
        QTest::newRow("below the box") << 1 << false << QPoint(12, 32) << false << 0;
    }

    void optionItemClick() {
        QFETCH(int, kind);
        QFETCH(bool, checkedBefore);
        QFETCH(QPoint, clickAt);
        QFETCH(bool, checkedAfter);
        QFETCH(int, messages);
        MessageSink owner;
        COptionItem item(&owner, 7, kind);
        item.SetText(QStringLiteral("自动裁切"));
        item.SetCheck(checkedBefore);
        QImage canvas(200, 60, QImage::Format_RGB32);
        QPainter painter(&canvas);
        item.Paint(painter, 10, 20);
        painter.end();
        item.Click({clickAt.x(), clickAt.y()});
        QCOMPARE(item.IsChecked(), checkedAfter);
        QCOMPARE(int(owner.received.size()), messages);
        if (messages == 1) {
            QCOMPARE(owner.received[0].message, qvmsg::kOptionChanged);
            QCOMPARE(owner.received[0].wParam, WParam(7));
            QCOMPARE(owner.received[0].lParam, LParam(checkedAfter ? 1 : 0));
        }
    }

    void optionItemHitRectCoversBoxAndLabel() {
        COptionItem item(nullptr, 1, COptionItem::kCheck);
        QVERIFY(item.HitRect().IsEmpty());
        QVERIFY(!item.Click({0, 0}));  // never painted: nothing to hit
        item.SetText(QStringLiteral("保存时右转"));
        QImage canvas(200, 60, QImage::Format_RGB32);
        QPainter painter(&canvas);
        item.Paint(painter, 10, 20);
        const QvRect hit = item.HitRect();
        QCOMPARE(hit.left, 10);
        QCOMPARE(hit.top, 20);
        QCOMPARE(hit.bottom, 32);
        // Box (12) + gap (5) + a five-character label of 12-pixel characters.
        QVERIFY(hit.right >= 10 + 12 + 5 + 5 * 11);
        QVERIFY(hit.right <= 10 + 12 + 5 + 5 * 13);
        QCOMPARE(QColor(canvas.pixel(15, 25)), QColor(128, 128, 128));  // the box skin
    }

    void dialogTitleBandDrags_data() {
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("drags");
        QTest::newRow("top row") << 0 << true;
        QTest::newRow("last band row") << 33 << true;
        QTest::newRow("first body row") << 34 << false;
    }

    void dialogTitleBandDrags() {
        QFETCH(int, y);
        QFETCH(bool, drags);
        CQVDialog dialog;
        dialog.setGeometry(200, 200, 300, 200);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Press(&dialog, QPoint(100, y));
        QCOMPARE(dialog.IsDragging(), drags);
        if (drags) {
            const QPoint start = dialog.pos();
            const QPoint global = dialog.mapToGlobal(QPoint(100, y)) + QPoint(30, 40);
            QMouseEvent move(QEvent::MouseMove, QPointF(dialog.mapFromGlobal(global)),
                             QPointF(global), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &move);
            QCOMPARE(dialog.pos(), start + QPoint(30, 40));
            Release(&dialog, QPoint(100, y));
            QVERIFY(!dialog.IsDragging());
        }
    }

    void dialogSkinAndCloseButton() {
        ApplyingDialog dialog;
        dialog.resize(300, 200);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.CloseButton() != nullptr);
        QCOMPARE(dialog.CloseButton()->geometry(), QRect(300 - 30 - 5, 5, 30, 24));
        QVERIFY(!dialog.mask().contains(QPoint(0, 0)));
        QVERIFY(dialog.mask().contains(QPoint(150, 100)));

        const QImage image = dialog.grab().toImage();
        QCOMPARE(QColor(image.pixel(150, 33)), QColor(200, 0, 0));
        QCOMPARE(QColor(image.pixel(150, 34)), QColor(0, 160, 0));
        QCOMPARE(QColor(image.pixel(150, 199)), QColor(0, 160, 0));

        Press(dialog.CloseButton(), QPoint(3, 3));
        Release(dialog.CloseButton(), QPoint(3, 3));
        QCOMPARE(dialog.applied, 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    void memDcReachesTargetWhenReleased() {
        QImage target(50, 50, QImage::Format_RGB32);
        target.fill(Qt::black);
        {
            QPainter painter(&target);
            {
                CMemDC dc(&painter, QRect(10, 10, 20, 20));
                dc->fillRect(QRect(10, 10, 10, 20), Qt::red);
                // The raster painter writes straight into the image: nothing there yet.
                QCOMPARE(QColor(target.pixel(12, 12)), QColor(Qt::black));
            }
        }
        QCOMPARE(QColor(target.pixel(12, 12)), QColor(Qt::red));
        QCOMPARE(QColor(target.pixel(25, 12)), QColor(Qt::black));  // left untouched
        QCOMPARE(QColor(target.pixel(5, 5)), QColor(Qt::black));    // outside the rectangle
    }
};

QTEST_MAIN(SkinnedControlsTest)
#include "skinned_controls_test.moc"
