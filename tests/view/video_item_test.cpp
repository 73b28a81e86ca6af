// The live video item with the simulated document camera.

#include <QElapsedTimer>
#include <QPainter>
#include <QSlider>
#include <QtTest>
#include <cmath>
#include <limits>

#include "dialogs/camera_settings_dialog.h"
#include "dialogs/format_dialog.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "platform/message_box.h"
#include "ui/main_window_services.h"
#include "view/video_item.h"

namespace {

class StoredSize : public MainWindowServices {
public:
    StoredSize(int w, int h) : w_(w), h_(h) {}
    QObject* MessageTarget() override { return nullptr; }
    void ToggleFullScreen() override {}
    int WorkMode() const override { return 0; }
    const CDibImage* SkinImage(int) const override { return nullptr; }
    int StoredVideoWidth() const override { return w_; }
    int StoredVideoHeight() const override { return h_; }

private:
    int w_, h_;
};

// Mean grey of a grabbed widget picture.
double MeanGrey(const QImage& image) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            sum += qGray(image.pixel(x, y));
            ++n;
        }
    }
    return n ? sum / n : 0;
}

// Keeps a picture for looking at when QUORVANE_SNAPSHOT_DIR names a folder.
void Snapshot(const QImage& image, const char* name) {
    const QString dir = qEnvironmentVariable("QUORVANE_SNAPSHOT_DIR");
    if (!dir.isEmpty())
        image.save(dir + "/" + name + ".png");
}

struct Messages {
    Messages() {
        SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon) {
            texts << caption + ": " + text;
        });
    }
    ~Messages() { SetMessageBoxHandler({}); }
    QStringList texts;
};

// A widget repainted every 20 ms that remembers the longest pause between two of its paints:
// a user-interface thread held up by the camera shows as a long pause.
class PaintClock : public QWidget {
public:
    explicit PaintClock(QWidget* parent) : QWidget(parent) {
        connect(&ticks_, &QTimer::timeout, this, [this] { update(); });
        ticks_.start(20);
        since_.start();
    }
    int paints = 0;
    qint64 longestPauseMs = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), paints % 2 ? Qt::gray : Qt::white);
        longestPauseMs = std::max(longestPauseMs, since_.restart());
        ++paints;
    }

private:
    QTimer ticks_;
    QElapsedTimer since_;
};

}  // namespace

class VideoItemTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(MediaPlatformInit());
        RegisterSimulatedCamera("", 1);
    }
    void init() {
        SetSimulatedCameraCount(1);
        SetTheMainWindow(nullptr);
    }

    void showsLiveFramesAtTheStoredSize_data() {
        QTest::addColumn<int>("storedWidth");
        QTest::addColumn<int>("storedHeight");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("stored") << 1280 << 720 << 1280 << 720;
        QTest::newRow("unset: the camera's first size") << -1 << -1 << 1600 << 1200;
        QTest::newRow("one positive") << 1280 << 0 << 1600 << 1200;
    }
    void showsLiveFramesAtTheStoredSize() {
        QFETCH(int, storedWidth);
        QFETCH(int, storedHeight);
        QFETCH(int, width);
        QFETCH(int, height);
        StoredSize main(storedWidth, storedHeight);
        SetTheMainWindow(&main);
        Messages messages;
        QWidget parent;
        parent.resize(400, 300);
        auto* item = new CVideoItem;
        QCOMPARE(CVideoItem::Current(), item);
        QCOMPARE(item->DeviceSet().EnumerateVideoDevices(), 1);
        item->Open(&parent);
        QVERIFY(item->IsDarkBackground());
        QCOMPARE(item->parentWidget(), &parent);
        QVERIFY(item->DeviceSet().Engine());
        QVERIFY(item->DeviceSet().RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(item->HasImage() && int(item->GetRawImage().GetWidth()) == width,
                                 10000);
        QCOMPARE(int(item->GetRawImage().GetHeight()), height);
        QVERIFY(messages.texts.isEmpty());
        delete item;  // while running: the engine shuts down, nothing more arrives
        QVERIFY(CVideoItem::Current() == nullptr);
        QTest::qWait(100);
        SetTheMainWindow(nullptr);
    }

    // The camera settings dialog changes the shown picture; the format dialog changes its size.
    void cameraDialogsChangeThePicture() {
        QWidget window;
        window.resize(800, 600);
        auto* item = new CVideoItem;
        item->DeviceSet().EnumerateVideoDevices();
        item->Open(&window);
        item->setGeometry(0, 0, 800, 600);
        window.show();
        QVERIFY(item->DeviceSet().RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(item->HasImage(), 20000);
        const QImage before = item->grab().toImage();
        Snapshot(before, "live");

        CameraSettingsDialog dialog(ElementControls(item->DeviceSet().Engine()->SourceElement()));
        dialog.show();
        dialog.Editor("Brightness")->findChild<QSlider*>()->setValue(70);
        Snapshot(dialog.grab().toImage(), "camera_settings");
        // Frames taken before the change may still be on their way; a loaded machine slows them.
        QTRY_VERIFY_WITH_TIMEOUT(MeanGrey(item->grab().toImage()) > MeanGrey(before) + 30, 30000);
        Snapshot(item->grab().toImage(), "live_brighter");

        SetFormatChooser([](const std::vector<StreamCapability>& caps, int current) {
            FormatDialog formats(caps, current);
            formats.show();
            Snapshot(formats.grab().toImage(), "format_dialog");
            for (size_t i = 0; i < caps.size(); ++i) {
                if (caps[i].formatName == "YUY2" && caps[i].width == 1600)
                    return int(i);
            }
            return -1;
        });
        QVERIFY(item->DeviceSet().ShowFormatSettings());
        SetFormatChooser({});
        QTRY_VERIFY_WITH_TIMEOUT(item->GetRawImage().GetWidth() == 1600u, 30000);
        Snapshot(item->grab().toImage(), "live_1600");
        delete item;
    }

    // Automatic cropping finds the simulated page: its outline lies on the page's true corners
    // and the tilt is the page's; switching off clears the box and stops the detection.
    void autoCropFindsThePage() {
        QWidget window;
        window.resize(800, 600);
        auto* item = new CVideoItem;
        item->DeviceSet().EnumerateVideoDevices();
        item->Open(&window);
        item->setGeometry(0, 0, 800, 600);
        window.show();
        QVERIFY(item->DeviceSet().ChangeOutputSize(1280, 720));
        QVERIFY(item->DeviceSet().RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(item->HasImage(), 10000);
        QCOMPARE(item->TiltAngle(), 0);
        QCOMPARE(item->CropImageRect(), (QvRect{0, 0, 1280, 720}));
        item->SetAutoCropMode(2);
        QCOMPARE(item->GetOutlineMode(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(item->GetOutlineImagePoints()[2].x != 0, 15000);
        SimulatedCameraTruth truth;
        QVERIFY(ReadSimulatedCameraTruth(item->DeviceSet().Engine()->SourceElement(), &truth));
        for (const ScenePoint& corner : truth.uprightCorners) {
            double nearest = 1e9;
            for (const QvPoint& p : item->GetOutlineImagePoints())
                nearest = std::min(nearest, std::hypot(p.x - corner.x, p.y - corner.y));
            QVERIFY2(nearest < 40, qPrintable(QString::number(nearest)));
        }
        QVERIFY2(std::abs(std::abs(item->TiltAngle()) - std::abs(truth.uprightTiltDegrees)) <= 2,
                 qPrintable(QString::number(item->TiltAngle())));
        QVERIFY(!item->CropImageRect().IsEmpty());
        Snapshot(item->grab().toImage(), "auto_crop");
        item->SetAutoCropMode(0);
        QCOMPARE(item->GetOutlineMode(), 0);
        QVERIFY(!item->IsAutoCropOn());
        QVERIFY(item->GetSelectionImageRect().IsEmpty());
        item->SetAutoCropMode(2);  // on again: a new detection runs
        QVERIFY(item->IsAutoCropOn());
        delete item;  // with the worker busy: joined, nothing left behind
    }

    // A camera that sends no frame within the start limit stops with the engine's message; one
    // that is only slow starts; one closed while it starts goes quietly. The window keeps
    // painting all the while.
    void slowCameraKeepsTheWindowPainting_data() {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("closeWhileStarting");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QStringList>("messages");
        const int never = std::numeric_limits<int>::max();
        QTest::newRow("never starts")
            << never << false << false << QStringList{"RozuzIze: Can't preview"};
        QTest::newRow("slow to start") << 700 << false << true << QStringList{};
        QTest::newRow("closed while starting") << never << true << false << QStringList{};
    }
    void slowCameraKeepsTheWindowPainting() {
        QFETCH(int, delayMs);
        QFETCH(bool, closeWhileStarting);
        QFETCH(bool, starts);
        QFETCH(QStringList, messages);
        Messages shown;
        QWidget window;
        window.resize(400, 300);
        auto* item = new CVideoItem;
        item->DeviceSet().EnumerateVideoDevices();
        item->Open(&window);
        item->setGeometry(0, 0, 400, 250);
        PaintClock clock(&window);
        clock.setGeometry(0, 250, 400, 50);
        window.show();
        AboutDirectShow* engine = item->DeviceSet().Engine();
        engine->startTimeoutMs = 2000;
        g_object_set(engine->SourceElement(), "start-delay", delayMs, nullptr);
        QVERIFY(item->DeviceSet().RunPreview());
        if (closeWhileStarting) {
            QTest::qWait(300);
            delete item;
            item = nullptr;
        }
        const int paintsBefore = clock.paints;
        if (starts)
            QTRY_VERIFY_WITH_TIMEOUT(item->HasImage(), 10000);
        else
            QTest::qWait(2500);  // past the start limit
        QTRY_COMPARE_WITH_TIMEOUT(shown.texts, messages, 5000);
        QVERIFY2(clock.paints > paintsBefore + 20, qPrintable(QString::number(clock.paints)));
        QVERIFY2(clock.longestPauseMs < 1000, qPrintable(QString::number(clock.longestPauseMs)));
        if (item) {
            QCOMPARE(item->HasImage(), starts);
            QCOMPARE(engine->runRequested, starts);
            QTRY_COMPARE(engine->running, starts);
        }
        delete item;
    }

    void withoutCameraTheWindowExistsButNoFrames() {
        SetSimulatedCameraCount(0);
        Messages messages;
        QWidget parent;
        CVideoItem item;
        item.DeviceSet().EnumerateVideoDevices();
        item.Open(&parent);
        QCOMPARE(item.parentWidget(), &parent);
        QVERIFY(item.DeviceSet().Engine() == nullptr);
        QTest::qWait(200);
        QVERIFY(!item.HasImage());
        QCOMPARE(item.Mailbox().Delivered(), uint64_t(0));
        QVERIFY(messages.texts.isEmpty());
    }

    // The newest item is the current one; an older one going away leaves it receiving.
    void olderItemGoingAwayKeepsTheCurrentOne() {
        QWidget parent;
        auto* older = new CVideoItem;
        CVideoItem newer;
        QCOMPARE(CVideoItem::Current(), &newer);
        delete older;
        QCOMPARE(CVideoItem::Current(), &newer);
        newer.DeviceSet().EnumerateVideoDevices();
        newer.Open(&parent);
        QVERIFY(newer.DeviceSet().RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(newer.HasImage(), 10000);
    }

    void foreignFrameAddressesAreIgnored() {
        CVideoItem item;
        uint8_t bogus[16] = {};
        WindowMessageEvent message(qvmsg::kNewFrame, reinterpret_cast<WParam>(bogus),
                                   (1600 << 16) | 1200);
        QCoreApplication::sendEvent(&item, &message);
        QVERIFY(!item.HasImage());
    }

    void streamErrorStopsWithOneMessage() {
        Messages messages;
        QWidget parent;
        CVideoItem item;
        item.DeviceSet().EnumerateVideoDevices();
        item.Open(&parent);
        AboutDirectShow* engine = item.DeviceSet().Engine();
        QVERIFY(item.DeviceSet().RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(item.HasImage(), 10000);
        GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ,
                                            "Could not read from resource.");
        gst_element_post_message(
            engine->SourceElement(),
            gst_message_new_error(GST_OBJECT(engine->SourceElement()), error, nullptr));
        g_error_free(error);
        QTRY_VERIFY(!engine->running);
        QTRY_COMPARE(messages.texts, QStringList{"RozuzIze: Can't preview"});
        const uint64_t delivered = item.Mailbox().Delivered();
        QTest::qWait(200);
        QCOMPARE(item.Mailbox().Delivered(), delivered);
    }
};

QTEST_MAIN(VideoItemTest)
#include "video_item_test.moc"
