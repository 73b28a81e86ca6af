// The camera side end to end with the simulated document camera: enumeration, the preview
// pipeline, frames reaching a stand-in for the video item, sizes, formats, errors.

#include <gst/gst.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSlider>
#include <QtTest>

#include "capture/capture_engine.h"
#include "capture/device_set.h"
#include "capture/frame_filter.h"
#include "capture/frame_mailbox.h"
#include "dialogs/camera_settings_dialog.h"
#include "dialogs/format_dialog.h"
#include "media/camera_dialogs.h"
#include "media/media_platform.h"
#include "media/simulated_camera.h"
#include "platform/window_messages.h"
#include "support/recorded_messages.h"

namespace {

// Stands in for the live video item: takes each frame, keeps a copy when asked.
class FrameReceiver : public QObject {
public:
    FrameReceiver() : mailbox(this) { CFrameMailbox::SetCurrent(&mailbox); }
    ~FrameReceiver() override { CFrameMailbox::SetCurrent(nullptr); }

    bool event(QEvent* e) override {
        if (e->type() != WindowMessageEvent::EventType())
            return QObject::event(e);
        auto* m = static_cast<WindowMessageEvent*>(e);
        if (m->message == qvmsg::kNewFrame) {
            ++frames;
            lParam = m->lParam;
            width = mailbox.Width();
            height = mailbox.Height();
            addressMatches = m->wParam == reinterpret_cast<WParam>(mailbox.Frame());
            if (keep)
                copy.assign(mailbox.Frame(), mailbox.Frame() + mailbox.Stride() * mailbox.Height());
            mailbox.Taken();
        }
        return true;
    }

    int Grey(double x, double y) const {
        const int stride = (width * 3 + 3) & ~3;
        const uint8_t* p = copy.data() + static_cast<int>(y) * stride + static_cast<int>(x) * 3;
        return (p[0] + p[1] + p[2]) / 3;
    }

    CFrameMailbox mailbox;
    int frames = 0;
    LParam lParam = 0;
    int width = 0;
    int height = 0;
    bool addressMatches = false;
    bool keep = false;
    std::vector<uint8_t> copy;
};

// Enumerates the cameras and makes the engine of the first; that engine, or none.
AboutDirectShow* FirstEngine(CDeviceSet& set) {
    set.EnumerateVideoDevices();
    set.CreateEngine();
    return set.Engine();
}

// Why the received picture is not the page the camera reports (empty when it is): top row
// first, mirrored like the hardware, the page bright inside its corners and the desk dark.
QString PageMismatch(const FrameReceiver& r, GstElement* source, int width) {
    SimulatedCameraTruth truth;
    if (!ReadSimulatedCameraTruth(source, &truth) || truth.width != width)
        return "no truth for this size";
    const auto& c = truth.frameCorners;
    const double mx = (c[0].x + c[2].x) / 2, my = (c[0].y + c[2].y) / 2;
    for (int i = 0; i < 4; ++i) {
        const double dx = c[i].x - mx, dy = c[i].y - my, len = std::hypot(dx, dy);
        const double in = 6.0 / len, out = -6.0 / len;
        if (r.Grey(c[i].x - dx * in, c[i].y - dy * in) <= 200)
            return QString("corner %1: not bright inside the page").arg(i);
        if (r.Grey(c[i].x - dx * out, c[i].y - dy * out) >= 110)
            return QString("corner %1: not dark outside the page").arg(i);
    }
    if (c[0].x <= c[1].x)
        return "not mirrored: the page's top-left should lie to the right";
    return {};
}

double MeanGrey(const FrameReceiver& r) {
    double sum = 0;
    for (int y = 0; y < r.height; y += 16)
        for (int x = 0; x < r.width; x += 16)
            sum += r.Grey(x, y);
    return sum / ((r.height / 16 + 1) * (r.width / 16 + 1));
}

}  // namespace

class CaptureEngineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(MediaPlatformInit());
        RegisterSimulatedCamera("", 1);
    }
    void init() { SetSimulatedCameraCount(1); }

    void firstDeviceIsNamedAndPreviewDeliversFrames() {
        RecordedMessages messages;
        FrameReceiver receiver;
        CDeviceSet set;
        QCOMPARE(set.EnumerateVideoDevices(), 1);
        QCOMPARE(set.videoCount, 1);
        QCOMPARE(set.videoDevices[0].DisplayName(), QString(kSimulatedCameraName));
        set.CreateEngine();
        AboutDirectShow* engine = set.Engine();
        QVERIFY(engine);
        QVERIFY(engine->previewBuilt);
        QCOMPARE(QString(GST_ELEMENT_NAME(engine->SourceElement())),
                 QString("Video Capture device 0- 0"));
        QVERIFY(gst_bin_get_by_name(GST_BIN(engine->graph), "RenderNULL") != nullptr);
        QVERIFY(set.RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(receiver.frames >= 5, 10000);
        QVERIFY(engine->running);
        QVERIFY(receiver.addressMatches);
        QCOMPARE(receiver.width, 1600);  // the camera's first format
        QCOMPARE(receiver.height, 1200);
        QVERIFY(set.StopPreview());
        QVERIFY(messages.texts.isEmpty());
    }

    void catalogueListsTheCameraSizes() {
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(engine);
        QCOMPARE(engine->outputSizes.size(), size_t(2));
        QVERIFY(engine->outputSizes[0].formatName == u"YUY2");
        QVERIFY(engine->outputSizes[1].formatName == u"MJPG");
        const std::u16string widths = {640, 1280, 1600,
                                       2592};  // ascending, whatever the camera's order
        QVERIFY(engine->outputSizes[0].widths == widths);
        QVERIFY(engine->outputSizes[1].widths == widths);
    }

    void changeOutputSizeDeliversThatSize_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("640") << 640 << 480;
        QTest::newRow("1280") << 1280 << 720;
        QTest::newRow("1600") << 1600 << 1200;
        QTest::newRow("2592") << 2592 << 1944;
    }
    void changeOutputSizeDeliversThatSize() {
        QFETCH(int, width);
        QFETCH(int, height);
        FrameReceiver receiver;
        receiver.keep = true;
        CDeviceSet set;
        FirstEngine(set);
        QVERIFY(set.RunPreview());
        QVERIFY(set.ChangeOutputSize(width, height));
        QTRY_VERIFY_WITH_TIMEOUT(receiver.frames >= 2 && receiver.width == width, 15000);
        QVERIFY(set.Engine()->running);
        QCOMPARE(receiver.height, height);
        QCOMPARE(receiver.lParam, LParam((width << 16) | height));
        int w = 0, h = 0;
        QVERIFY(set.GetCurrentFormat(&w, &h));
        QCOMPARE(w, width);
        QCOMPARE(h, height);
        QCOMPARE(set.Engine()->currentSubtype, int(kFormatYUY2));

        const QString wrong = PageMismatch(receiver, set.Engine()->SourceElement(), width);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QVERIFY(set.StopPreview());
    }

    void stopAndRunAreIdempotent() {
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(engine->Stop());  // never started
        QVERIFY(timer.elapsed() < 50);
        QVERIFY(engine->Run());
        timer.restart();
        QVERIFY(engine->Run());
        QVERIFY(timer.elapsed() < 50);
        QVERIFY(engine->runRequested);
        QTRY_VERIFY(engine->running);
        QVERIFY(engine->Stop());
        QVERIFY(!engine->running && !engine->runRequested);
    }

    void changeOutputSizeOnStoppedEngineStaysStopped() {
        FrameReceiver receiver;
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(engine->ChangeOutputSize(1280, 720));
        QVERIFY(engine->previewBuilt);
        QVERIFY(!engine->running);
        QTest::qWait(200);
        QCOMPARE(receiver.frames, 0);
        QVERIFY(!engine->ChangeOutputSize(1000, 1000));  // not offered: false, preview rebuilt
        QVERIFY(engine->previewBuilt);
    }

    void rebuildReleasesThePreviewElements() {
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(engine->Run());
        std::vector<gpointer> watched;
        GstIterator* it = gst_bin_iterate_elements(GST_BIN(engine->graph));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto* e = GST_ELEMENT(g_value_get_object(&item));
            if (e != engine->SourceElement())
                watched.push_back(e);
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        QCOMPARE(watched.size(), size_t(6));
        for (gpointer& e : watched)
            g_object_add_weak_pointer(G_OBJECT(e), &e);
        QVERIFY(engine->ChangeOutputSize(1600, 1200));
        // The rebuild waits for the pipeline to stop, away from this thread.
        for (gpointer& e : watched)
            QTRY_VERIFY(e == nullptr);
        QTRY_VERIFY(engine->running);
    }

    void fiftyStopStartCyclesKeepDelivering() {
        FrameReceiver receiver;
        CDeviceSet set;
        FirstEngine(set);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 50; ++i) {
            QVERIFY(set.RunPreview());
            QVERIFY(set.StopPreview());
        }
        QVERIFY(timer.elapsed() < 20000);
        QVERIFY(set.RunPreview());
        const int before = receiver.frames;
        QTRY_VERIFY_WITH_TIMEOUT(receiver.frames >= before + 3, 10000);
        QVERIFY(set.StopPreview());
    }

    // The pipeline stops on its own thread, in its own time; no frame arrives once Stop returns.
    void nothingArrivesAfterStop() {
        FrameReceiver receiver;
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(set.RunPreview());
        QTRY_VERIFY_WITH_TIMEOUT(engine->running && receiver.frames >= 2, 10000);
        // A camera slow to stop: the pipeline's state change waits while this thread holds it.
        GST_STATE_LOCK(engine->graph);
        QVERIFY(set.StopPreview());
        const uint64_t stopped = receiver.mailbox.Delivered();
        QTest::qWait(300);
        const uint64_t later = receiver.mailbox.Delivered();
        GST_STATE_UNLOCK(engine->graph);
        QCOMPARE(later, stopped);
    }

    void noCameraNoEngineNoMessage() {
        SetSimulatedCameraCount(0);
        RecordedMessages messages;
        FrameReceiver receiver;
        CDeviceSet set;
        QCOMPARE(set.EnumerateVideoDevices(), 1);
        QCOMPARE(set.videoCount, 0);
        set.CreateEngine();
        QVERIFY(set.Engine() == nullptr);
        QVERIFY(!set.RunPreview());
        QVERIFY(!set.ChangeOutputSize(640, 480));
        set.ShowDeviceSettings();
        QVERIFY(!set.ShowFormatSettings());
        QTest::qWait(100);
        QCOMPARE(receiver.frames, 0);
        QVERIFY(messages.texts.isEmpty());
    }

    void twentyFirstCameraStopsEnumeration() {
        SetSimulatedCameraCount(21);
        RecordedMessages messages;
        CDeviceSet set;
        QCOMPARE(set.EnumerateVideoDevices(), 1);
        QCOMPARE(set.videoCount, 20);
        QCOMPARE(messages.texts, QStringList{"RozuzIze: Video Capture Device too many"});
        for (int i = 0; i < 20; ++i)
            QVERIFY(set.videoDevices[i].IsValid());
        set.CreateEngine();
        QCOMPARE(set.Engine()->videoDevice.DisplayName(), set.videoDevices[0].DisplayName());
        const AboutDirectShow* first = set.Engine();
        set.CreateEngine();  // not replaceable: untouched
        QCOMPARE(set.Engine(), first);
        QCOMPARE(set.engines.size(), size_t(1));
    }

    // Whatever the camera sends is decoded: a picture format (MJPG) and a stream format (H.264).
    void formatDialogChoicePreviews_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code");
        QTest::newRow("MJPG") << "MJPG" << 1280 << 720 << "MJPG  1280 × 720  30 fps"
                              << int(kFormatMJPG);
        // H.264 has no format code: the code stays as it was (none yet).
        QTest::newRow("H264") << "H264" << 640 << 480 << "H264  640 × 480  30 fps" << 0;
    }
    void formatDialogChoicePreviews() {
        QFETCH(QString, format);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, text);
        QFETCH(int, code);
        RecordedMessages messages;
        FrameReceiver receiver;
        receiver.keep = true;
        CDeviceSet set;
        FirstEngine(set);
        QVERIFY(set.RunPreview());
        int offeredCurrent = -2;
        QString chosenText;
        SetFormatChooser([&](const std::vector<StreamCapability>& caps, int current) {
            offeredCurrent = current;
            for (size_t i = 0; i < caps.size(); ++i) {
                if (caps[i].formatName == format.toStdString() && caps[i].width == width) {
                    chosenText = FormatDialog::Describe(caps[i]);
                    return int(i);
                }
            }
            return -1;
        });
        QVERIFY(set.ShowFormatSettings());
        SetFormatChooser({});
        QCOMPARE(offeredCurrent, 0);
        QCOMPARE(chosenText, text);
        QTRY_VERIFY_WITH_TIMEOUT(receiver.width == width && receiver.frames >= 2, 15000);
        const QString wrong = PageMismatch(receiver, set.Engine()->SourceElement(), width);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        int w = 0, h = 0;
        QVERIFY(set.GetCurrentFormat(&w, &h));
        QCOMPARE(set.Engine()->currentSubtype, code);
        QCOMPARE(w, width);
        QCOMPARE(h, height);
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join("; ")));
    }

    // The format dialog names every format the camera offers, those without a catalogue name
    // by the camera's own.
    void formatDialogNamesEveryFormat_data() {
        QTest::addColumn<QString>("caps");
        QTest::addColumn<QString>("text");
        QTest::newRow("catalogue") << "video/x-raw,format=YUY2,width=640,height=480,framerate=15/1"
                                   << "YUY2  640 × 480  15 fps";
        QTest::newRow("raw, no catalogue name") << "video/x-raw,format=NV12,width=1280,height=720"
                                                << "NV12  1280 × 720";
        QTest::newRow("compressed, no catalogue name")
            << "video/x-h263,width=352,height=288,framerate=30000/1001"
            << "video/x-h263  352 × 288  30 fps";
    }
    void formatDialogNamesEveryFormat() {
        QFETCH(QString, caps);
        QFETCH(QString, text);
        GstCaps* c = gst_caps_from_string(caps.toUtf8().constData());
        const std::vector<StreamCapability> list = CapabilitiesOf(c);
        gst_caps_unref(c);
        QCOMPARE(list.size(), size_t(1));
        QCOMPARE(FormatDialog::Describe(list[0]), text);
    }

    // Starts, stops and size changes given in a burst, without waiting for the camera: the
    // preview ends in the state asked for last, at the size asked for last.
    void requestBurstsEndInTheLastState_data() {
        QTest::addColumn<QString>("requests");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("width");
        QTest::newRow("run stop run") << "run stop run" << true << 1600;
        QTest::newRow("run stop") << "run stop" << false << 1600;
        QTest::newRow("run size stop") << "run 1280x720 stop" << false << 1280;
        QTest::newRow("stopped: size, run") << "640x480 run" << true << 640;
        QTest::newRow("run size size") << "run 640x480 1280x720" << true << 1280;
        QTest::newRow("run size stop run") << "run 640x480 stop run" << true << 640;
    }
    void requestBurstsEndInTheLastState() {
        QFETCH(QString, requests);
        QFETCH(bool, running);
        QFETCH(int, width);
        RecordedMessages messages;
        FrameReceiver receiver;
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        for (const QString& r : requests.split(' ')) {
            if (r == "run")
                QVERIFY(set.RunPreview());
            else if (r == "stop")
                QVERIFY(set.StopPreview());
            else
                QVERIFY(
                    set.ChangeOutputSize(r.section('x', 0, 0).toInt(), r.section('x', 1).toInt()));
        }
        QCOMPARE(engine->runRequested, running);
        QTRY_VERIFY_WITH_TIMEOUT(!engine->IsRebuildPending() && engine->running == running, 15000);
        QVERIFY(engine->previewBuilt);
        if (running) {
            QTRY_VERIFY_WITH_TIMEOUT(receiver.width == width, 15000);
        } else {
            QTest::qWait(300);
            const int frames = receiver.frames;
            QTest::qWait(300);
            QCOMPARE(receiver.frames, frames);
        }
        int w = 0, h = 0;
        QVERIFY(set.GetCurrentFormat(&w, &h));
        QCOMPARE(w, width);
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join("; ")));
    }

    void streamErrorStopsPreviewWithOneMessage() {
        RecordedMessages messages;
        FrameReceiver receiver;
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(engine->Run());
        QTRY_VERIFY_WITH_TIMEOUT(receiver.frames >= 1, 10000);
        for (int i = 0; i < 3; ++i) {
            GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ,
                                                "device unplugged");
            gst_element_post_message(
                engine->SourceElement(),
                gst_message_new_error(GST_OBJECT(engine->SourceElement()), error, nullptr));
            g_error_free(error);
        }
        QTRY_VERIFY(!engine->running);
        QTRY_COMPARE(messages.texts, QStringList{"RozuzIze: Can't preview"});
        QVERIFY(engine->Run());  // a later start works again
        const int before = receiver.frames;
        QTRY_VERIFY_WITH_TIMEOUT(receiver.frames > before, 10000);
    }

    void settingsDialogChangesTheCamera() {
        FrameReceiver receiver;
        receiver.keep = true;
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(engine->Run());
        QTRY_VERIFY_WITH_TIMEOUT(receiver.frames >= 2, 10000);
        const double before = MeanGrey(receiver);

        CameraSettingsDialog dialog(ElementControls(engine->SourceElement()));
        auto* brightness = dialog.Editor("Brightness");
        QVERIFY(brightness);
        brightness->findChild<QSlider*>()->setValue(60);
        int value = 0;
        g_object_get(engine->SourceElement(), "brightness", &value, nullptr);
        QCOMPARE(value, 60);
        auto* noise = qobject_cast<QCheckBox*>(dialog.Editor("Sensor noise"));
        QVERIFY(noise && noise->isChecked());
        noise->setChecked(false);
        gboolean on = TRUE;
        g_object_get(engine->SourceElement(), "noise", &on, nullptr);
        QVERIFY(!on);
        QVERIFY(qobject_cast<QComboBox*>(dialog.Editor("Desk")));
        QCOMPARE(qobject_cast<QComboBox*>(dialog.Editor("Desk"))->count(), 3);

        // Frames already on their way show the old settings: wait for the brighter ones.
        QTRY_VERIFY_WITH_TIMEOUT(MeanGrey(receiver) > before + 40, 10000);
        QVERIFY(engine->Stop());
    }

    void filterAcceptsOnlyBgr_data() {
        QTest::addColumn<QString>("caps");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("bgr") << "video/x-raw,format=BGR,width=640,height=480" << true;
        QTest::newRow("rgb") << "video/x-raw,format=RGB,width=640,height=480" << false;
        QTest::newRow("yuy2") << "video/x-raw,format=YUY2,width=640,height=480" << false;
        QTest::newRow("unfixed") << "video/x-raw,format=BGR,width=[1,100],height=480" << false;
        QTest::newRow("jpeg") << "image/jpeg,width=640,height=480" << false;
    }
    void filterAcceptsOnlyBgr() {
        QFETCH(QString, caps);
        QFETCH(bool, accepted);
        GstCaps* c = gst_caps_from_string(caps.toUtf8().constData());
        QCOMPARE(CVideoCaptureTransInPlaceFilter::CheckInputType(c), accepted);
        gst_caps_unref(c);
        QVERIFY(!CVideoCaptureTransInPlaceFilter::CheckInputType(nullptr));
    }

    // A test source through the filter: the mailbox holds exactly the frame's rows, top first,
    // and frames that arrive before the previous one was taken are dropped, not queued.
    void filterCopiesFramesAndDropsWhileBusy() {
        FrameReceiver receiver;
        receiver.keep = true;
        CVideoCaptureTransInPlaceFilter filter;
        GstElement* pipeline = gst_parse_launch(
            "videotestsrc num-buffers=20 pattern=gradient ! "
            "video/x-raw,format=BGR,width=642,height=97 ! identity name=slot ! "
            "fakesink name=sink enable-last-sample=true",
            nullptr);
        QVERIFY(pipeline);
        GstElement* slot = gst_bin_get_by_name(GST_BIN(pipeline), "slot");
        GstPad* pad = gst_element_get_static_pad(slot, "sink");
        struct Probe {
            CVideoCaptureTransInPlaceFilter* filter;
            std::vector<uint8_t> first;
        } probe{&filter, {}};
        gst_pad_add_probe(
            pad, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad* p, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
                auto* probe = static_cast<Probe*>(data);
                GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
                if (probe->first.empty()) {
                    GstMapInfo map;
                    gst_buffer_map(buffer, &map, GST_MAP_READ);
                    probe->first.assign(map.data, map.data + map.size);
                    gst_buffer_unmap(buffer, &map);
                }
                probe->filter->Transform(buffer, p);
                return GST_PAD_PROBE_OK;
            },
            &probe, nullptr);
        QCOMPARE(gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE,
                 true);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* eos = gst_bus_timed_pop_filtered(
            bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        QVERIFY(eos && GST_MESSAGE_TYPE(eos) == GST_MESSAGE_EOS);
        gst_message_unref(eos);
        // All 20 frames passed while nobody took the first: one delivered, the rest dropped.
        QCOMPARE(receiver.mailbox.Delivered(), uint64_t(1));
        QCOMPARE(receiver.mailbox.Dropped(), uint64_t(19));
        QTRY_COMPARE(receiver.frames, 1);
        QCOMPARE(receiver.lParam, LParam((642 << 16) | 97));
        QCOMPARE(receiver.copy.size(), size_t(((642 * 3 + 3) & ~3) * 97));
        QVERIFY(receiver.copy == probe.first);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(bus);
        gst_object_unref(pad);
        gst_object_unref(slot);
        gst_object_unref(pipeline);
    }

    // Runs last: it takes elements out of this process's registry.
    void missingElementsGiveTheStepsMessage_data() {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("message");
        QTest::newRow("converter") << "videoconvert"
                                   << "错误: Connect Render Filter error";
        QTest::newRow("null sink") << "fakesink"
                                   << "错误: Add No render fail";
    }
    void missingElementsGiveTheStepsMessage() {
        QFETCH(QString, element);
        QFETCH(QString, message);
        GstRegistry* registry = gst_registry_get();
        GstPluginFeature* feature =
            gst_registry_lookup_feature(registry, element.toUtf8().constData());
        QVERIFY(feature);
        gst_registry_remove_feature(registry, feature);
        gst_object_unref(feature);
        RecordedMessages messages;
        FrameReceiver receiver;
        CDeviceSet set;
        AboutDirectShow* engine = FirstEngine(set);
        QVERIFY(engine);
        QVERIFY(!engine->previewBuilt);
        QCOMPARE(messages.texts, QStringList{message});
        QVERIFY(!set.RunPreview());
        QVERIFY(!engine->runRequested);
        QVERIFY(!set.ChangeOutputSize(640, 480));
        QCOMPARE(messages.texts.last(), QString("RozuzIze: Can't preview"));
        QTest::qWait(100);
        QCOMPARE(receiver.frames, 0);
    }
};

QTEST_MAIN(CaptureEngineTest)
#include "capture_engine_test.moc"
