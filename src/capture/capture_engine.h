#pragma once
// The capture engine for one camera: the preview pipeline (camera source → format filter →
// decoder/converter to 24-bit BGR → frame filter → null sink "RenderNULL"), starting and
// stopping it, the camera's formats and sizes, and the camera's own settings dialogs.
// User-interface thread only; the streaming threads touch only the frame filter.
//
// Starting and stopping never hold up the user-interface thread: the pipeline's state is
// changed on the engine's control thread (CPipelineControl), and Run and Stop return at once.
// runRequested is what was asked for last; running is set once the pipeline has started. A
// camera that has not sent a frame within startTimeoutMs of Run, or that fails to start, stops
// the preview with "Can't preview". A size or format change first stops the preview; the
// pipeline is rebuilt as soon as it has stopped, and runs again when running was asked for.

#include <gst/gst.h>

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

#include "capture/output_size_catalogue.h"
#include "media/media_device.h"
#include "media/stream_formats.h"

class CVideoCaptureTransInPlaceFilter;
class CPipelineControl;

// Format codes of GetCurrentFormat.
enum CaptureFormatCode {
    kFormatUYVY = 1,
    kFormatYUYV = 2,
    kFormatYUY2 = 3,
    kFormatI420 = 4,
    kFormatRGB24 = 5,
    kFormatRGB32 = 6,
    kFormatMJPG = 7,
};

class AboutDirectShow {
public:
    AboutDirectShow();
    ~AboutDirectShow();
    AboutDirectShow(const AboutDirectShow&) = delete;
    AboutDirectShow& operator=(const AboutDirectShow&) = delete;

    bool AddDevice();
    void EnumerateOutputSizes();
    bool BuildPreview();
    void TearDownPreview();
    bool Run();
    bool Stop();
    bool GetCurrentFormat(int* code, int* width, int* height);
    bool ChangeOutputSize(int width, int height);
    void ShowDeviceSettings();
    bool ShowFormatSettings();
    void Shutdown();

    // The camera's source element in the pipeline (null before AddDevice).
    GstElement* SourceElement() const { return source; }
    // A rebuild waits for the pipeline to stop.
    bool IsRebuildPending() const { return rebuildPending_; }

    // The format the preview asks of the camera (a new reference), null while none was chosen.
    GstCaps* ChosenFormat() const;
    // Before BuildPreview, for a camera taken up again: the preview is built in this format, or
    // at this size, when the camera offers it.
    void KeepFormat(GstCaps* format);
    void KeepSize(int width, int height);

    // A failed preview is reported this long after it stopped: an unplugged camera's stream
    // fails a moment before the camera leaves the device list, and then its engine goes first.
    static constexpr int kFailureNoticeMs = 1000;

    // How long a started camera may take to send its first frame.
    int startTimeoutMs = 5000;

    // Fields, as the device set and the video item see them.
    GstElement* graph = nullptr;  // the pipeline
    std::vector<OUTPUTSIZENODE> outputSizes;
    int currentSubtype = 0;
    MediaDevice videoDevice;
    MediaDevice audioDevice;  // never set: audio is not previewed
    GstElement* nullRenderer = nullptr;
    CVideoCaptureTransInPlaceFilter* frameFilter = nullptr;
    int primary = 0;
    int replaceable = 0;
    bool previewBuilt = false;
    int usable = 1;
    int currentWidth = 0;
    int currentHeight = 0;
    bool running = false;
    bool runRequested = false;
    int deviceIndex = 0;

private:
    struct Link;

    std::vector<StreamCapability> Capabilities() const;
    // The caps the preview asks of the camera: the chosen format, else the camera's first.
    GstCaps* PreviewCaps() const;
    bool LinkPreview(GstCaps* caps);
    // Lets go of the preview's elements without taking them out of the pipeline.
    void ReleasePreview();
    bool ApplySize(int width, int height);
    void StopBeforeRebuild();
    bool Rebuild();
    bool FinishRebuild();
    void StartPipeline();
    void ClosePreview();
    // The control thread has served its requests: a waiting rebuild goes ahead, a start is
    // confirmed or reported as failed.
    void OnControlSettled();
    void OnStartTimeout();
    // Once per failure of the preview that was asked to run (a camera that does not start, is
    // unplugged or reports a stream error): stops the preview and shows "Can't preview".
    void ReportPreviewFailure();
    static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer link);

    GstElement* source = nullptr;      // the camera, stays in the pipeline
    std::vector<GstElement*> chain_;   // the preview elements after the source
    GstCaps* chosenFormat_ = nullptr;  // set by ChangeOutputSize / the format dialog
    std::unique_ptr<QObject> relay_;   // runs what other threads report on this thread
    std::shared_ptr<Link> link_;       // how other threads reach relay_ while it exists
    std::unique_ptr<CPipelineControl> control_;
    QTimer startWatch_;
    QTimer failureNotice_;
    uint64_t startRequest_ = 0;  // the control request of the latest start
    uint64_t framesAtStart_ = 0;
    bool rebuildPending_ = false;
};
