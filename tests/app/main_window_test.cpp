// The main window on the offscreen platform: its button layout from the real skins, placement
// on the screen, enabling per mode, keys, full screen, dragging and the first commands.

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_layout.h"
#include "app/quorvane_dlg.h"
#include "media/media_platform.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/qv_button.h"

namespace {

// Counts the photographs asked for instead of taking them.
class CountingDlg : public CQuorvaneDlg {
public:
    int photos = 0;
    void TakePhoto() override { ++photos; }
};

void Click(QWidget* button) {
    const QPoint at(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(button->mapToGlobal(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(button->mapToGlobal(at)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
}

const int kLiveOnly[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007,
                         1008, 1011, 1012, 1023, 1024, 1027, 1028};
const int kPictureOnly[] = {1015, 1016, 1017, 1018, 1020, 1021, 1022, 1025, 1026};
const int kAlways[] = {1009, 1010, 1013, 1014, 1019, 1029, 1030, 1036, 1037};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    CountingDlg* dlg_ = nullptr;

private slots:
    void initTestCase() {
        // The window reads its settings file from the user's settings folder.
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        InstallFontFaces();
        // As at start-up: the media layer, here with the simulated camera, before the window.
        SetSimulatedCameraOption(true);
        QVERIFY(MediaPlatformInit());
    }

    void init() {
        dlg_ = new CountingDlg;
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_));
    }

    void cleanup() {
        delete dlg_;
        dlg_ = nullptr;
    }

    void centredPlacement_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("window");
        QTest::newRow("1280 x 1024") << QSize(1280, 1024) << QRect(128, 178, 1024, 668);
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << QRect(448, 206, 1024, 668);
        // Odd margins truncate towards the top-left; the size stays the window's.
        QTest::newRow("1366 x 767") << QSize(1366, 767) << QRect(171, 49, 1024, 668);
        QTest::newRow("smaller screen") << QSize(800, 600) << QRect(-112, -34, 1024, 668);
    }

    void centredPlacement() {
        QFETCH(QSize, screen);
        QFETCH(QRect, window);
        const QvRect r = CentredWindowRect(screen.width(), screen.height(), 1024, 668);
        QCOMPARE(QRect(r.left, r.top, r.Width(), r.Height()), window);
    }

    void windowSizeAndPlace() {
        QCOMPARE(dlg_->size(), QSize(1024, 668));
        const QRect screen = dlg_->screen()->geometry();
        const QvRect r = CentredWindowRect(screen.width(), screen.height(), 1024, 668);
        QCOMPARE(dlg_->pos(), screen.topLeft() + QPoint(r.left, r.top));
        QVERIFY(!dlg_->mask().contains(QPoint(0, 0)));
        QVERIFY(dlg_->mask().contains(QPoint(7, 7)));
        QVERIFY(dlg_->mask().contains(QPoint(512, 334)));
    }

    void buttonPositions_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QPoint>("at");
        const struct {
            int id, x, y;
        } table[] = {
            {1000, 100, 35},  {1001, 183, 35},  {1002, 266, 35},  {1003, 349, 35},
            {1004, 432, 35},  {1005, 515, 35},  {1006, 598, 35},  {1008, 681, 35},
            {1007, 764, 35},  {1009, 847, 35},  {1010, 930, 35},  {1011, 20, 126},
            {1012, 58, 126},  {1013, 126, 126}, {1014, 164, 126}, {1015, 202, 126},
            {1016, 270, 126}, {1017, 338, 126}, {1018, 406, 126}, {1019, 474, 126},
            {1021, 512, 126}, {1020, 550, 126}, {1022, 588, 126}, {1036, 810, 265},
            {1037, 920, 265}, {1023, 820, 310}, {1024, 914, 310}, {1025, 820, 350},
            {1026, 914, 350}, {1027, 820, 380}, {1028, 914, 380}, {1029, 944, 2},
            {1030, 974, 2},
        };
        for (const auto& row : table) {
            QTest::newRow(qPrintable(QString::number(row.id))) << row.id << QPoint(row.x, row.y);
        }
    }

    void buttonPositions() {
        QFETCH(int, id);
        QFETCH(QPoint, at);
        CQVButton* button = dlg_->Button(id);
        QVERIFY(button != nullptr);
        QCOMPARE(button->pos(), at);
        const MainButton* entry = FindMainButton(id);
        const CDibImage* normal = dlg_->SkinImage(entry->normal);
        QVERIFY(normal != nullptr);
        QCOMPARE(button->size(), QSize(int(normal->GetWidth()) + entry->extraWidth,
                                       int(normal->GetHeight()) + entry->extraHeight));
        // Every label fits inside its button, and buttons of one row do not overlap.
        for (const MainButton& other : MainButtons()) {
            if (other.id == id)
                continue;
            QVERIFY2(!button->geometry().intersects(dlg_->Button(other.id)->geometry()),
                     qPrintable(QStringLiteral("%1 overlaps %2").arg(id).arg(other.id)));
        }
    }

    void labelsAndTooltips() {
        QCOMPARE(dlg_->Button(1000)->Text(), QStringLiteral("路径设置"));
        QCOMPARE(dlg_->Button(1001)->Text(), QStringLiteral("文件命名"));
        QCOMPARE(dlg_->Button(1023)->Text(), QStringLiteral("拍照"));
        QCOMPARE(dlg_->Button(1023)->TextPosition(), (QvPoint{35, 15}));
        QCOMPARE(dlg_->Button(1004)->TextPosition(), (QvPoint{20, 55}));
        QCOMPARE(dlg_->Button(1013)->toolTip(), QStringLiteral("放大"));
        QVERIFY(dlg_->Button(1000)->toolTip().isEmpty());
        QVERIFY(dlg_->Button(1030)->Text().isEmpty());
    }

    void enablingPerMode() {
        dlg_->Button(1013)->setEnabled(false);  // not touched by the mode
        for (int mode : {1, 0, 1}) {
            dlg_->EnableForMode(mode);
            for (int id : kLiveOnly)
                QCOMPARE(dlg_->Button(id)->isEnabled(), mode == 0);
            for (int id : kPictureOnly)
                QCOMPARE(dlg_->Button(id)->isEnabled(), mode == 1);
        }
        QVERIFY(!dlg_->Button(1013)->isEnabled());
        for (int id : kAlways) {
            if (id != 1013)
                QVERIFY(dlg_->Button(id)->isEnabled());
        }
    }

    void startsLiveAndSwitchesModeByMessage() {
        QCOMPARE(dlg_->WorkMode(), 0);
        QVERIFY(dlg_->Button(1023)->isEnabled());
        QVERIFY(!dlg_->Button(1022)->isEnabled());
        SendWindowMessage(dlg_, qvmsg::kSetWorkMode, 1, 0);
        QCOMPARE(dlg_->WorkMode(), 1);
        QVERIFY(!dlg_->Button(1023)->isEnabled());
        QVERIFY(dlg_->Button(1022)->isEnabled());
    }

    void enterTakesPhotoEscapeClosesNothing() {
        const QRect before = dlg_->geometry();
        QTest::keyClick(dlg_, Qt::Key_Return);
        QTest::keyClick(dlg_, Qt::Key_Enter);
        QCOMPARE(dlg_->photos, 2);
        QTest::keyClick(dlg_, Qt::Key_Escape);
        QVERIFY(dlg_->isVisible());
        QCOMPARE(dlg_->geometry(), before);
        QVERIFY(!dlg_->IsFullScreen());
        // In picture mode Enter reaches the photo command too, which takes none there.
        SendWindowMessage(dlg_, qvmsg::kSetWorkMode, 1, 0);
        QTest::keyClick(dlg_, Qt::Key_Return);
        QCOMPARE(dlg_->photos, 3);
        QVERIFY(dlg_->isVisible());
    }

    void photoButton() {
        Click(dlg_->Button(1023));
        QCOMPARE(dlg_->photos, 1);
        // Buttons without a command, and "默认设置" not confirmed, do nothing.
        Click(dlg_->Button(1010));
        SendWindowMessage(dlg_, qvmsg::kButtonClicked, 1018, 0);
        SendWindowMessage(dlg_, qvmsg::kButtonClicked, 4242, 0);
        QCOMPARE(dlg_->photos, 1);
        QVERIFY(dlg_->isVisible());
        QVERIFY(!dlg_->IsFullScreen());
    }

    void fullScreenAndBack() {
        const QPoint home = dlg_->pos();
        Click(dlg_->Button(1011));
        QVERIFY(dlg_->IsFullScreen());
        QCOMPARE(dlg_->geometry(), dlg_->screen()->geometry());
        QVERIFY(dlg_->mask().isEmpty());
        for (int id = 1000; id <= 1030; ++id)
            QVERIFY(!dlg_->Button(id)->isVisible());
        QVERIFY(dlg_->Button(1036)->isVisible());
        QVERIFY(dlg_->Button(1037)->isVisible());
        QCOMPARE(dlg_->Button(1036)->pos(), QPoint(810, 265));

        QTest::keyClick(dlg_, Qt::Key_Escape);
        QVERIFY(!dlg_->IsFullScreen());
        QCOMPARE(dlg_->geometry(), QRect(home, QSize(1024, 668)));
        QVERIFY(!dlg_->mask().contains(QPoint(0, 0)));
        for (int id = 1000; id <= 1030; ++id)
            QVERIFY(dlg_->Button(id)->isVisible());

        dlg_->ToggleFullScreen();
        QVERIFY(dlg_->IsFullScreen());
        dlg_->ToggleFullScreen();
        QCOMPARE(dlg_->geometry(), QRect(home, QSize(1024, 668)));
    }

    void dragByTitleStrip_data() {
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("drags");
        QTest::newRow("y 20") << 20 << true;
        QTest::newRow("y 34") << 34 << true;
        QTest::newRow("y 35") << 35 << false;
        QTest::newRow("y 300") << 300 << false;
    }

    void dragByTitleStrip() {
        QFETCH(int, y);
        QFETCH(bool, drags);
        const QPoint start = dlg_->pos();
        const QPoint at(500, y);
        QTest::mousePress(dlg_, Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(dlg_->IsDragging(), drags);
        const QPoint global = dlg_->mapToGlobal(at) + QPoint(-40, 25);
        QMouseEvent move(QEvent::MouseMove, QPointF(dlg_->mapFromGlobal(global)), QPointF(global),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg_, &move);
        QCOMPARE(dlg_->pos(), drags ? start + QPoint(-40, 25) : start);
        QTest::mouseRelease(dlg_, Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(!dlg_->IsDragging());
    }

    void minimiseAndEnd() {
        Click(dlg_->Button(1029));
        QTRY_VERIFY(dlg_->windowState() & Qt::WindowMinimized);
        dlg_->showNormal();
        Click(dlg_->Button(1030));
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(dlg_->result(), 0);
    }

    void skinPaintingLeavesOutTheMiddleRows() {
        QImage skin(int(dlg_->SkinImage(129)->GetWidth()), int(dlg_->SkinImage(129)->GetHeight()),
                    QImage::Format_RGB32);
        QPainter painter(&skin);
        dlg_->SkinImage(129)->Draw(&painter, 0, 0);
        painter.end();
        const QImage window = dlg_->grab().toImage();
        // Upper half from the skin's top rows, lower half 100 rows further down the skin; the
        // right-hand column below the colour-mode panel is skin only.
        for (int y : {330, 333}) {
            QCOMPARE(QColor(window.pixel(1020, y)), QColor(skin.pixel(1020, y)));
        }
        for (int y : {621, 622, 623, 624, 625, 667}) {
            QCOMPARE(QColor(window.pixel(900, y)), QColor(skin.pixel(900, y + 100)));
        }
        // The logo sits at (0, 35) in its own size.
        const CDibImage* logo = dlg_->SkinImage(228);
        QImage logoImage(100, 80, QImage::Format_RGB32);
        QPainter logoPainter(&logoImage);
        logo->Draw(&logoPainter, 0, 0);
        logoPainter.end();
        QCOMPARE(QColor(window.pixel(24, 35 + 40)), QColor(logoImage.pixel(24, 40)));
        // The white panel behind the action buttons.
        QCOMPARE(QColor(window.pixel(1008, 414)), QColor(Qt::white));
    }

    void skinImagesShared() {
        // The dialogs' general button, close button and option box come from here.
        for (int number : {129, 211, 210, 202, 217, 222, 218, 224, 228}) {
            QVERIFY2(dlg_->SkinImage(number) != nullptr, qPrintable(QString::number(number)));
        }
        QCOMPARE(dlg_->SkinImage(129)->GetWidth(), 1024u);
        QCOMPARE(dlg_->SkinImage(129)->GetHeight(), 768u);
        QCOMPARE(dlg_->SkinImage(224)->GetWidth(), 12u);
        QCOMPARE(dlg_->SkinImage(228)->GetWidth(), 100u);
        QCOMPARE(dlg_->SkinImage(228)->GetHeight(), 80u);
        QCOMPARE(dlg_->SkinImage(211)->GetBpp(), 24u);
        QCOMPARE(TheMainWindow(), static_cast<MainWindowServices*>(dlg_));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
