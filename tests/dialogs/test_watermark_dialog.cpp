// The watermark dialog with the program's own skins: the marker and the ratios it stands for,
// "定位", "输入", the date check box, the font and colour, and how the dialog looks.

#include <QLineEdit>
#include <QScreen>
#include <QtTest>
#include <cmath>
#include <memory>

#include "dialogs/watermark_dialog.h"
#include "platform/font_faces.h"
#include "support/dialog_skins.h"
#include "ui/qv_button.h"

namespace {

void Click(QWidget* target, QPoint at) {
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
}

void Press(QWidget* button) {
    Click(button, QPoint(5, 5));
}

QPoint Centre(const QvRect& r) {
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace

class WatermarkDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        InstallFontFaces();
        skins_ = std::make_unique<DialogSkins>();
        QVERIFY(skins_->SkinImage(211) != nullptr);
    }

    void init() {
        dlg_ = std::make_unique<CShuiYinDlg>();
        dlg_->SetValues(0.0f, 0.0f, QString(), false);
    }

    void cleanup() { dlg_.reset(); }

    void markerRoundTrip_data() {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<QPoint>("marker");
        QTest::newRow("top-left corner") << 0.0f << 0.0f << QPoint(30, 50);
        QTest::newRow("centre") << 0.5f << 0.5f << QPoint(135, 200);
        QTest::newRow("thirds") << 1.0f / 3 << 2.0f / 3 << QPoint(100, 250);
        QTest::newRow("off the whole pixels") << 0.9987f << 0.0037f << QPoint(239, 51);
    }

    // Opening and closing without touching the marker gives back exactly the ratios, however
    // often it is done.
    void markerRoundTrip() {
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(QPoint, marker);
        float rx = x;
        float ry = y;
        for (int run = 0; run < 3; ++run) {
            CShuiYinDlg dlg;
            dlg.SetValues(rx, ry, QString(), false);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            QCOMPARE(QPoint(dlg.Marker().x, dlg.Marker().y), marker);
            Press(dlg.CloseButton());
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            rx = dlg.HorizontalRatio();
            ry = dlg.VerticalRatio();
        }
        QVERIFY(rx == x && ry == y);  // exactly, not up to float rounding
    }

    void positioningIsArmedOncePerPress() {
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
        const auto marker = [this] { return QPoint(dlg_->Marker().x, dlg_->Marker().y); };
        Click(dlg_.get(), QPoint(135, 200));  // not armed: nothing moves
        QCOMPARE(marker(), QPoint(30, 50));
        Press(dlg_->Button(CShuiYinDlg::kPositionButtonId));
        QVERIFY(dlg_->IsPositioningArmed());
        Click(dlg_.get(), QPoint(240, 200));  // just right of the area
        QCOMPARE(marker(), QPoint(30, 50));
        QVERIFY(dlg_->IsPositioningArmed());
        Click(dlg_.get(), QPoint(135, 200));
        QCOMPARE(marker(), QPoint(135, 200));
        QVERIFY(!dlg_->IsPositioningArmed());
        Click(dlg_.get(), QPoint(60, 60));  // the next click needs "定位" again
        QCOMPARE(marker(), QPoint(135, 200));
        Press(dlg_->CloseButton());
        QCOMPARE(dlg_->HorizontalRatio(), 0.5f);
        QCOMPARE(dlg_->VerticalRatio(), 0.5f);
    }

    void textIsTakenByInputOrAtCloseAndDateFollowsTheBox() {
        dlg_->SetValues(0.0f, 0.0f, QStringLiteral("旧"), true);
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
        QCOMPARE(dlg_->TextEdit()->text(), QStringLiteral("旧"));
        QVERIFY(dlg_->DateItem().IsChecked());
        dlg_->TextEdit()->setText(QStringLiteral("样张 2012"));
        QCOMPARE(dlg_->Text(), QStringLiteral("旧"));  // typed, not entered
        Press(dlg_->Button(CShuiYinDlg::kInputButtonId));
        QCOMPARE(dlg_->Text(), QStringLiteral("样张 2012"));
        dlg_->TextEdit()->setText(QStringLiteral("回车"));
        QTest::keyClick(dlg_->TextEdit(), Qt::Key_Return);
        QCOMPARE(dlg_->Text(), QStringLiteral("回车"));
        QVERIFY(dlg_->isVisible());

        Click(dlg_.get(), Centre(dlg_->DateItem().HitRect()));
        QVERIFY(!dlg_->DateFlag());
        Click(dlg_.get(), Centre(dlg_->DateItem().HitRect()));
        QVERIFY(dlg_->DateFlag());

        // Typed and never entered: closing takes it, however the dialog is closed.
        dlg_->TextEdit()->setText(QStringLiteral("未按输入"));
        QTest::keyClick(dlg_.get(), Qt::Key_Escape);
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(dlg_->Text(), QStringLiteral("未按输入"));
    }

    // The font dialog gives points; the main window gets the same size in pixels at the
    // screen's resolution, and the colour, at once.
    void fontThenColourReachTheMainWindow() {
        QFont received;
        QvColour receivedColour = 0;
        int calls = 0;
        dlg_->SetWatermarkFont(QvFont(QStringLiteral("宋体"), 16), 0,
                               [&](const QFont& font, QvColour colour) {
                                   received = font;
                                   receivedColour = colour;
                                   ++calls;
                               });
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
        // The font dialog, then the colour dialog, both confirmed as they open: nothing changes.
        bool confirmPick = true;
        int dialogs = 0;
        QTimer confirm;
        connect(&confirm, &QTimer::timeout, [&dialogs] {
            if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++dialogs;
                open->accept();
            }
        });
        confirm.start(20);
        Press(dlg_->Button(CShuiYinDlg::kFontButtonId));
        confirm.stop();
        QCOMPARE(dialogs, 2);
        QCOMPARE(received.pixelSize(), 16);
        QCOMPARE(receivedColour, QvColour(0));

        dlg_->SetFontPicker([&](QFont& font, QvColour& colour, QWidget*) {
            font = QFont(QStringLiteral("Noto Sans CJK SC"), 30);
            colour = QvRgb(200, 10, 20);
            return confirmPick;
        });
        Press(dlg_->Button(CShuiYinDlg::kFontButtonId));
        QCOMPARE(calls, 2);
        const qreal dpi = dlg_->screen()->logicalDotsPerInchY();
        QCOMPARE(received.pixelSize(), int(std::lround(30 * dpi / 72)));
        QCOMPARE(received.family(), QStringLiteral("Noto Sans CJK SC"));
        QCOMPARE(receivedColour, QvRgb(200, 10, 20));
        confirmPick = false;
        Press(dlg_->Button(CShuiYinDlg::kFontButtonId));
        QCOMPARE(calls, 2);
    }

    // Everything lies inside the dialog; the picture is kept for a look at the dialog.
    void everythingFits() {
        dlg_->SetValues(0.25f, 0.75f, QStringLiteral("扫描专用 仅供内部使用 Quorvane"), true);
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
        const QRect inside = dlg_->rect().adjusted(5, 5, -5, -5);
        for (const QWidget* child : dlg_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(inside.contains(child->geometry()), qPrintable(child->objectName()));
        }
        const QvRect& area = CShuiYinDlg::kPositionArea;
        QVERIFY(inside.contains(QRect(area.left, area.top, area.Width(), area.Height())));
        QVERIFY(inside.contains(
            QRect(QPoint(dlg_->DateItem().HitRect().left, dlg_->DateItem().HitRect().top),
                  QPoint(dlg_->DateItem().HitRect().right, dlg_->DateItem().HitRect().bottom))));
        const QImage shot = dlg_->grab().toImage();
        QVERIFY(shot.save(QStringLiteral("watermark_dialog.png")));
        QCOMPARE(shot.pixelColor(area.left + 60, area.top + 150), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(dlg_->Marker().x + 2, dlg_->Marker().y + 2), QColor(Qt::red));
    }

private:
    std::unique_ptr<DialogSkins> skins_;
    std::unique_ptr<CShuiYinDlg> dlg_;
};

QTEST_MAIN(WatermarkDialogTest)
#include "test_watermark_dialog.moc"
