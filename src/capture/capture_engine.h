#pragma once
// The capture engine for one camera: the preview pipeline (camera source → format filter →
// decoder/converter to 24-bit BGR → frame filter → null sink "RenderNULL"), starting and
// stopping it, the camera's formats and sizes, and the camera's own settings dialogs.
// User-interface thread only; the streaming threads touch only the frame filter.

#include <gst/gst.h>

#include <QObject>
#include <memory>
#include <vector>

#include "capture/output_size_catalogue.h"
#include "media/media_device.h"
#include "media/stream_formats.h"

class CVideoCaptureTransInPlaceFilter;

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
    std::vector<StreamCapability> Capabilities() const;
    // The caps the preview asks of the camera: the chosen format, else the camera's first.
    GstCaps* PreviewCaps() const;
    bool ApplySize(int width, int height);
    bool Rebuild(bool wasRunning);
    void StopBeforeRebuild(bool* wasRunning);
    // Once per failure of the running preview (camera unplugged, stream error): stops the
    // preview and shows "Can't preview".
    void OnStreamError();
    static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer self);

    GstElement* source = nullptr;      // the camera, stays in the pipeline
    std::vector<GstElement*> chain_;   // the preview elements after the source
    GstCaps* chosenFormat_ = nullptr;  // set by ChangeOutputSize / the format dialog
    std::unique_ptr<QObject> relay_;   // carries bus errors to the user-interface thread
};
