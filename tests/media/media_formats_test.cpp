// The media layer's reading of device caps, the format dialog and the simulated camera's
// enumeration and controls.

#include <gst/gst.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListWidget>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <climits>
#include <cstdio>

#include "dialogs/camera_settings_dialog.h"
#include "dialogs/format_dialog.h"
#include "media/camera_controls.h"
#include "media/followed_picture_file.h"
#include "media/media_device.h"
#include "media/media_device_monitor.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "media/stream_decoder.h"
#include "media/stream_formats.h"

namespace {

QImage SolidPicture(const QColor& colour) {
    QImage picture(60, 80, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// A simulated camera in a pipeline of its own, 640 x 480 BGR; the colour at the centre of its
// latest frame and when that colour last changed.
class CentreProbe {
public:
    explicit CentreProbe(GstElement* camera) : pipeline_(gst_pipeline_new(nullptr)) {
        GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
        GstElement* sink = gst_element_factory_make("fakesink", nullptr);
        GstElement* yuy2 = Filter("video/x-raw,format=YUY2,width=640,height=480");
        GstElement* bgr = Filter("video/x-raw,format=BGR");
        gst_bin_add_many(GST_BIN(pipeline_), camera, yuy2, convert, bgr, sink, nullptr);
        gst_element_link_many(camera, yuy2, convert, bgr, sink, nullptr);
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &CentreProbe::OnBuffer, this, nullptr);
        gst_object_unref(pad);
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    ~CentreProbe() {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }

    // Red, green or blue clearly above the other two.
    bool Is(Qt::GlobalColor colour) const {
        const int c[3] = {r_, g_, b_};
        const int i = colour == Qt::red ? 0 : colour == Qt::green ? 1 : 2;
        return c[i] > 150 && c[(i + 1) % 3] < 90 && c[(i + 2) % 3] < 90;
    }
    QString Describe() const { return QString("centre %1 %2 %3").arg(r_).arg(g_).arg(b_); }
    std::chrono::steady_clock::time_point LastChange() const {
        return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(changedNs_));
    }

private:
    static GstElement* Filter(const char* caps) {
        GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
        GstCaps* c = gst_caps_from_string(caps);
        g_object_set(filter, "caps", c, nullptr);
        gst_caps_unref(c);
        return filter;
    }
    // Streaming thread.
    static GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer self) {
        auto* probe = static_cast<CentreProbe*>(self);
        GstMapInfo map;
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return GST_PAD_PROBE_OK;
        const uint8_t* p = map.data + 240 * 1920 + 320 * 3;
        if (std::abs(p[2] - probe->r_) + std::abs(p[1] - probe->g_) > 120)
            probe->changedNs_ = std::chrono::steady_clock::now().time_since_epoch().count();
        probe->b_ = p[0];
        probe->g_ = p[1];
        probe->r_ = p[2];
        gst_buffer_unmap(buffer, &map);
        return GST_PAD_PROBE_OK;
    }

    GstElement* pipeline_;
    std::atomic<int> r_{-1}, g_{-1}, b_{-1};
    std::atomic<int64_t> changedNs_{0};
};

}  // namespace

class MediaFormatsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(MediaPlatformInit());
        RegisterSimulatedCamera("", 1);
    }

    void capabilitiesFromCaps_data() {
        QTest::addColumn<QString>("caps");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("yuy2") << "video/x-raw,format=YUY2,width=1600,height=1200"
                              << "YUY2" << 1600 << 1200;
        QTest::newRow("jpeg") << "image/jpeg,width=640,height=480"
                              << "MJPG" << 640 << 480;
        QTest::newRow("i420") << "video/x-raw,format=I420,width=320,height=240"
                              << "IYUV" << 320 << 240;
        QTest::newRow("bgr") << "video/x-raw,format=BGR,width=8,height=6"
                             << "RGB24" << 8 << 6;
        QTest::newRow("bgrx") << "video/x-raw,format=BGRx,width=8,height=6"
                              << "RGB32" << 8 << 6;
        QTest::newRow("range gives minimum")
            << "video/x-raw,format=UYVY,width=[160,1920],height=[120,1080]"
            << "UYVY" << 160 << 120;
        QTest::newRow("unknown format") << "video/x-raw,format=NV12,width=640,height=480"
                                        << "" << 640 << 480;
        QTest::newRow("h264") << "video/x-h264,width=640,height=480"
                              << "H264" << 640 << 480;
        QTest::newRow("unknown compressed") << "video/x-h263,width=352,height=288"
                                            << "" << 352 << 288;
        QTest::newRow("no size") << "video/x-raw,format=YUY2"
                                 << "YUY2" << 0 << 0;
    }
    // What stands between the camera and the converter: nothing for raw video, a decoder for a
    // picture format, a parser and a decoder for a stream format, and no chain at all for a
    // format nothing installed decodes.
    void decodeChainForCaps_data() {
        QTest::addColumn<QString>("caps");
        QTest::addColumn<bool>("made");
        QTest::addColumn<QStringList>("factories");
        QTest::newRow("raw") << "video/x-raw,format=YUY2,width=640,height=480" << true
                             << QStringList{};
        QTest::newRow("jpeg") << "image/jpeg,width=640,height=480" << true
                              << QStringList{"jpegdec"};
        QTest::newRow("h264") << "video/x-h264,stream-format=byte-stream,alignment=au" << true
                              << QStringList{"h264parse", "avdec_h264"};
        QTest::newRow("not decodable") << "video/x-quorvane-unknown" << false << QStringList{};
    }
    void decodeChainForCaps() {
        QFETCH(QString, caps);
        QFETCH(bool, made);
        QFETCH(QStringList, factories);
        GstCaps* c = gst_caps_from_string(caps.toUtf8().constData());
        std::vector<GstElement*> chain;
        QCOMPARE(MakeDecodeChain(c, &chain), made);
        gst_caps_unref(c);
        QStringList names;
        for (GstElement* e : chain) {
            names << GST_OBJECT_NAME(gst_element_get_factory(e));
            gst_object_unref(e);
        }
        QCOMPARE(names, factories);
    }

    void capabilitiesFromCaps() {
        QFETCH(QString, caps);
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(int, height);
        GstCaps* c = gst_caps_from_string(caps.toUtf8().constData());
        const auto list = CapabilitiesOf(c);
        gst_caps_unref(c);
        QCOMPARE(list.size(), size_t(1));
        QCOMPARE(QString::fromStdString(list[0].formatName), name);
        QCOMPARE(list[0].width, width);
        QCOMPARE(list[0].height, height);
        // The capability's caps select exactly its size.
        GstCaps* chosen = CapsOfCapability(list[0]);
        QVERIFY(chosen);
        if (width > 0) {
            int w = 0;
            QVERIFY(gst_structure_get_int(gst_caps_get_structure(chosen, 0), "width", &w));
            QCOMPARE(w, width);
        }
        gst_caps_unref(chosen);
    }

    void anyCapsGiveNoCapabilities() {
        GstCaps* any = gst_caps_new_any();
        QVERIFY(CapabilitiesOf(any).empty());
        gst_caps_unref(any);
        QVERIFY(CapabilitiesOf(nullptr).empty());
    }

    void formatDialogSelectsTheCurrentFormat() {
        GstCaps* caps = gst_caps_from_string(
            "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1;"
            "image/jpeg,width=1280,height=720,framerate=15/1");
        const auto list = CapabilitiesOf(caps);
        gst_caps_unref(caps);
        FormatDialog dialog(list, 1);
        QCOMPARE(dialog.List()->count(), 2);
        QCOMPARE(dialog.Chosen(), 1);
        QCOMPARE(dialog.List()->item(0)->text(), QString("YUY2  640 × 480  30 fps"));
        QCOMPARE(dialog.List()->item(1)->text(), QString("MJPG  1280 × 720  15 fps"));
        dialog.List()->setCurrentRow(0);
        QCOMPARE(dialog.Chosen(), 0);
    }

    void formatDialogOpensCentredOnTheActiveWindow() {
        QWidget main;
        main.setGeometry(60, 50, 640, 480);
        main.show();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QRect opened;
        QString title;
        QTimer::singleShot(0, [&opened, &title] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog != nullptr) {
                opened = dialog->frameGeometry();
                title = dialog->windowTitle();
                dialog->close();
            }
        });
        GstCaps* caps = gst_caps_from_string("video/x-raw,format=YUY2,width=640,height=480");
        RunFormatDialog(CapabilitiesOf(caps), 0);
        gst_caps_unref(caps);
        QCOMPARE(title, QStringLiteral("视频格式"));
        QVERIFY2((opened.center() - main.frameGeometry().center()).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1,%2 %3x%4 over %5,%6")
                                .arg(opened.x())
                                .arg(opened.y())
                                .arg(opened.width())
                                .arg(opened.height())
                                .arg(main.x())
                                .arg(main.y())));
    }

    void simulatedCameraIsListedWithItsFormats() {
        SetSimulatedCameraCount(2);
        std::vector<MediaDevice> devices;
        QVERIFY(EnumerateMediaDevices("Video/Source", &devices));
        int simulated = 0;
        for (const MediaDevice& d : devices) {
            if (!d.DisplayName().startsWith(kSimulatedCameraName))
                continue;
            ++simulated;
            GstCaps* caps = d.Caps();
            const auto list = CapabilitiesOf(caps);
            gst_caps_unref(caps);
            QCOMPARE(list.size(), size_t(12));  // YUY2, MJPG and H.264 at four sizes
            QVERIFY(d.DevicePath().isEmpty());
        }
        QCOMPARE(simulated, 2);
        SetSimulatedCameraCount(0);
        QVERIFY(EnumerateMediaDevices("Video/Source", &devices));
        for (const MediaDevice& d : devices)
            QVERIFY(!d.DisplayName().startsWith(kSimulatedCameraName));
        SetSimulatedCameraCount(1);
    }

    // --simulated-camera=FILE: the devices' cameras lay that picture on the desk.
    void pictureFileIsLaidOnTheDesk() {
        QTemporaryDir dir;
        const QString path = dir.filePath("page.png");
        QVERIFY(SolidPicture(QColor(220, 30, 20)).save(path));
        RegisterSimulatedCamera(path.toStdString(), 1);
        std::vector<MediaDevice> devices;
        QVERIFY(EnumerateMediaDevices("Video/Source", &devices));
        GstElement* camera = nullptr;
        for (const MediaDevice& d : devices) {
            if (d.DisplayName() == kSimulatedCameraName)
                camera = d.CreateElement("camera");
        }
        RegisterSimulatedCamera("", 1);
        QVERIFY(camera);
        gchar* file = nullptr;
        g_object_get(camera, "picture-file", &file, nullptr);
        QCOMPARE(QString(file), path);
        g_free(file);
        CentreProbe probe(camera);
        QTRY_VERIFY2(probe.Is(Qt::red), qPrintable(probe.Describe()));
    }

    // The camera follows its file: the picture that replaced it shows, one that does not decode
    // leaves the last one.
    void pictureFileIsFollowed_data() {
        QTest::addColumn<QString>("replace");
        QTest::newRow("renamed over") << "rename";
        QTest::newRow("rewritten") << "rewrite";
        QTest::newRow("not a picture") << "broken";
    }
    void pictureFileIsFollowed() {
        QFETCH(QString, replace);
        QTemporaryDir dir;
        const QString path = dir.filePath("page.jpg");
        QVERIFY(SolidPicture(QColor(220, 30, 20)).save(path));
        GstElement* camera = gst_element_factory_make(kSimulatedCameraElement, nullptr);
        g_object_set(camera, "picture-file", path.toUtf8().constData(), nullptr);
        CentreProbe probe(camera);
        QTRY_VERIFY2(probe.Is(Qt::red), qPrintable(probe.Describe()));

        const QImage green = SolidPicture(QColor(30, 200, 40));
        if (replace == "rename") {
            QVERIFY(green.save(dir.filePath("next.png")));
            QVERIFY(std::rename(qPrintable(dir.filePath("next.png")), qPrintable(path)) == 0);
        } else if (replace == "rewrite") {
            QVERIFY(green.save(path));
        } else {
            QVERIFY(QFile::copy(QUORVANE_TESTDATA "/images/jpeg/invalid/missing-sof.jpg",
                                dir.filePath("broken.jpg")) &&
                    std::rename(qPrintable(dir.filePath("broken.jpg")), qPrintable(path)) == 0);
            QTest::qWait(10 * FollowedPictureFile::kPollMs);
            QVERIFY2(probe.Is(Qt::red), qPrintable(probe.Describe()));
            QVERIFY(green.save(path));
        }
        const auto replaced = std::chrono::steady_clock::now();
        QTRY_VERIFY2(probe.Is(Qt::green), qPrintable(probe.Describe()));
        qInfo("%s: the new picture showed after %lld ms", qPrintable(replace),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         probe.LastChange() - replaced)
                                         .count()));
    }

    // A camera is plugged in while its file exists; the webcam is listed first with its small
    // sizes only; the watching monitor hears of each change.
    void simulatedCamerasComeAndGoWithTheirFiles() {
        QTemporaryDir dir;
        const QString page = dir.filePath("page.png");
        QVERIFY(SolidPicture(Qt::white).save(page));
        RegisterSimulatedCameras({{page.toStdString(), false}, {"", true}});
        int changes = 0;
        MediaDeviceMonitor monitor("Video/Source", [&] { ++changes; });
        QVERIFY(monitor.IsWatching());
        const auto names = [&] {
            QStringList list;
            for (const MediaDevice& d : monitor.Devices())
                list << d.DisplayName();
            return list;
        };
        QCOMPARE(names(), (QStringList{kSimulatedWebcamName, kSimulatedCameraName}));
        GstCaps* caps = monitor.Devices()[0].Caps();
        for (const StreamCapability& c : CapabilitiesOf(caps))
            QVERIFY(c.width <= 1280 && c.height <= 720);
        gst_caps_unref(caps);
        QCOMPARE(monitor.Devices()[0].Removable(), QString("fixed"));
        QCOMPARE(monitor.Devices()[1].StableId(), "serial:" + page);

        QVERIFY(QFile::rename(page, page + ".away"));
        QTRY_COMPARE(names(), QStringList{kSimulatedWebcamName});
        QTRY_VERIFY(changes > 0);
        QVERIFY(QFile::rename(page + ".away", page));
        QTRY_COMPARE(names(), (QStringList{kSimulatedWebcamName, kSimulatedCameraName}));
        RegisterSimulatedCamera("", 1);
    }

    void simulatedCameraControls() {
        GstElement* camera = gst_element_factory_make(kSimulatedCameraElement, nullptr);
        QVERIFY(camera);
        gst_object_ref_sink(camera);
        auto controls = ElementControls(camera);
        const auto list = controls->List();
        QStringList labels;
        for (const CameraControl& c : list)
            labels << c.label;
        QCOMPARE(labels,
                 (QStringList{"Brightness", "Contrast", "Page tilt", "Desk", "Sensor noise"}));
        const CameraControl& tilt = list[2];
        QCOMPARE(tilt.minimum, -30);
        QCOMPARE(tilt.maximum, 30);
        QVERIFY(controls->Set(tilt, -12));
        int value = 0;
        QVERIFY(controls->Get(tilt, &value));
        QCOMPARE(value, -12);
        QCOMPARE(list[3].menu.size(), size_t(3));
        // Not negotiated yet: no truth to read.
        SimulatedCameraTruth truth;
        QVERIFY(!ReadSimulatedCameraTruth(camera, &truth));
        gst_object_unref(camera);
        GstElement* other = gst_element_factory_make("fakesrc", nullptr);
        gst_object_ref_sink(other);
        QVERIFY(!ReadSimulatedCameraTruth(other, &truth));
        gst_object_unref(other);
    }

    // A node that is not a camera gives no controls rather than failing; a missing one gives
    // none at all, and the camera's own element is used instead.
    void deviceNodeControls() {
        QVERIFY(OpenV4l2Controls("/nonexistent/video9") == nullptr);
        auto null = OpenV4l2Controls("/dev/null");
        QVERIFY(null != nullptr);
        QVERIFY(null->List().empty());
        CameraControl brightness;
        brightness.id = 0x00980900;  // V4L2_CID_BRIGHTNESS
        int value = 0;
        QVERIFY(!null->Get(brightness, &value));
        QVERIFY(!null->Set(brightness, 1));
        GstElement* camera = gst_element_factory_make(kSimulatedCameraElement, nullptr);
        gst_object_ref_sink(camera);
        auto fallback = ControlsForCamera(camera, "/nonexistent/video9");
        QVERIFY(fallback && fallback->List().size() == 5);
        gst_object_unref(camera);
    }

    // A driver may declare a control over the whole of int: the dialog's page step is a tenth
    // of that range, not the wrapped-around difference.
    void settingsDialogTakesAFullRangeControl() {
        struct WideControls : CameraControls {
            std::vector<CameraControl> List() override {
                CameraControl c;
                c.label = QStringLiteral("Exposure");
                c.minimum = INT_MIN;
                c.maximum = INT_MAX;
                return {c};
            }
            bool Get(const CameraControl&, int* value) override {
                *value = 0;
                return true;
            }
            bool Set(const CameraControl&, int) override { return true; }
        };
        CameraSettingsDialog dialog(std::make_unique<WideControls>());
        QWidget* editor = dialog.Editor(QStringLiteral("Exposure"));
        QVERIFY(editor);
        auto* slider = editor->findChild<QSlider*>();
        QVERIFY(slider);
        QCOMPARE(slider->minimum(), INT_MIN);
        QCOMPARE(slider->maximum(), INT_MAX);
        QCOMPARE(slider->pageStep(), int((int64_t(INT_MAX) - INT_MIN) / 10));
    }

    // The camera as a plain pipeline delivers its formats with steady timestamps.
    void simulatedCameraStreamsWithTimestamps_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("yuy2") << "video/x-raw,format=YUY2,width=640,height=480";
        QTest::newRow("mjpg") << "image/jpeg,width=1280,height=720";
    }
    void simulatedCameraStreamsWithTimestamps() {
        QFETCH(QString, format);
        const QByteArray description =
            QStringLiteral(
                "%1 name=cam ! %2 ! fakesink name=sink sync=false enable-last-sample=false")
                .arg(kSimulatedCameraElement, format)
                .toUtf8();
        GstElement* pipeline = gst_parse_launch(description.constData(), nullptr);
        QVERIFY(pipeline);
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        struct Seen {
            std::atomic<int> count{0};
            GstClockTime pts[8] = {};
            size_t size = 0;
        } seen;
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
                auto* s = static_cast<Seen*>(data);
                GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
                const int n = s->count.load();
                if (n < 8) {
                    s->pts[n] = GST_BUFFER_PTS(b);
                    s->size = gst_buffer_get_size(b);
                }
                s->count.store(n + 1);  // published after the frame's values
                return GST_PAD_PROBE_OK;
            },
            &seen, nullptr);
        QElapsedTimer wall;
        wall.start();
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        QTRY_VERIFY_WITH_TIMEOUT(seen.count >= 8, 10000);
        const qint64 elapsed = wall.elapsed();
        gst_element_set_state(pipeline, GST_STATE_NULL);
        // A live source delivers at its frame rate, not as fast as it can.
        QVERIFY2(seen.count <= elapsed / 33 + 3,
                 qPrintable(QString("%1 frames in %2 ms").arg(seen.count).arg(elapsed)));
        // Steady spacing; the first one is moved to the running time the stream started at.
        for (int i = 0; i < 8; ++i)
            QCOMPARE(seen.pts[i] - seen.pts[0], GstClockTime(i * (GST_SECOND / 30)));
        if (format.startsWith("video"))
            QCOMPARE(seen.size, size_t(640 * 480 * 2));
        else
            QVERIFY(seen.size > 1000 && seen.size < 1280 * 720);
        gst_object_unref(pad);
        gst_object_unref(sink);
        gst_object_unref(pipeline);
    }
};

QTEST_MAIN(MediaFormatsTest)
#include "media_formats_test.moc"
