// The media layer's reading of device caps, the format dialog and the simulated camera's
// enumeration and controls.

#include <gst/gst.h>

#include <QListWidget>
#include <QtTest>

#include "media/camera_controls.h"
#include "media/format_dialog.h"
#include "media/media_device.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "media/stream_formats.h"

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
                              << "" << 640 << 480;
        QTest::newRow("no size") << "video/x-raw,format=YUY2"
                                 << "YUY2" << 0 << 0;
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
            QCOMPARE(list.size(), size_t(8));
            QVERIFY(d.DevicePath().isEmpty());
        }
        QCOMPARE(simulated, 2);
        SetSimulatedCameraCount(0);
        QVERIFY(EnumerateMediaDevices("Video/Source", &devices));
        for (const MediaDevice& d : devices)
            QVERIFY(!d.DisplayName().startsWith(kSimulatedCameraName));
        SetSimulatedCameraCount(1);
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
            std::vector<GstClockTime> pts;
            size_t size = 0;
        } seen;
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
                auto* s = static_cast<Seen*>(data);
                GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
                s->pts.push_back(GST_BUFFER_PTS(b));
                s->size = gst_buffer_get_size(b);
                return GST_PAD_PROBE_OK;
            },
            &seen, nullptr);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        QTest::qWait(400);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        // A live source at 30 fps: about 12 frames in 0.4 s, not hundreds.
        QVERIFY2(seen.pts.size() >= 5 && seen.pts.size() <= 20,
                 QByteArray::number(int(seen.pts.size())));
        // Steady spacing; the first one is moved to the running time the stream started at.
        for (size_t i = 0; i < seen.pts.size(); ++i)
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
