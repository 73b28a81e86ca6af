#pragma once
// CVideoRecorder: recording the shown live picture to an AVI or a WMV file through a pipeline of
// its own, beside the preview:
//   AVI: record source → tee "Start tee" → fakesink "NullRender"
//                                        → jpegenc → videorate → avimux "AVI Mux"
//                                          → filesink "FileWriter"   (Motion-JPEG)
//   WMV: record source → videoconvert → I420 → avenc_wmv2 → asfmux → filesink "WMV FileWriter"
// The video item hands each shown picture over with PushFrame. A stop ends the stream and waits
// (bounded) for the end to reach the file, so that the AVI index and the ASF header are
// written. At most one recorder exists; the process-wide current recorder is the one that
// PushFrame feeds. User-interface thread only, except the stream's FillBuffer.

#include <gst/gst.h>

#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "capture/record_source.h"

class CDibImage;

class CVideoRecorder {
public:
    // Slot rate of a recording when the camera's frame rate is unknown.
    static constexpr int kDefaultFramesPerSecond = 30;

    CVideoRecorder();
    ~CVideoRecorder();  // stops a running recording, leaving a finished file
    CVideoRecorder(const CVideoRecorder&) = delete;
    CVideoRecorder& operator=(const CVideoRecorder&) = delete;

    // The current recorder; null when there is none.
    static CVideoRecorder* Current();
    // Stops and frees the current recorder, then makes a new, empty one current.
    static CVideoRecorder* CreateRecorder();
    // Stops and frees the current recorder (nothing without one).
    static void DestroyRecorder();
    // Hands the shown picture to the current recorder while it records; false otherwise or
    // when the frame was dropped.
    static bool PushFrame(const CDibImage& picture);

    // Records width x height pictures into fileName at framesPerSecond: WMV when the
    // upper-cased extension is "WMV", AVI otherwise. WMV sizes are cut to even numbers. Every
    // failure is told to the user (caption "错误") and leaves nothing running: false.
    bool StartRecording(const QString& fileName, int width, int height,
                        int framesPerSecond = kDefaultFramesPerSecond);
    // Ends the stream, waits for the file to be finished (bounded), and tears the pipeline
    // down. Nothing happens when nothing runs.
    void StopRecording();
    bool IsRecording() const { return recording_; }

    // Called on the user-interface thread after a running recording failed (a full disk, a
    // write or stream error): the recording is stopped and the user was told.
    void SetFailureHandler(std::function<void()> handler) { failed_ = std::move(handler); }

    const QString& FileName() const { return fileName_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The stream of the running recording; null when there is none.
    CKTRecordStream* Stream() const { return source_ ? &source_->Stream() : nullptr; }

    // WMV bit rate for a picture size and rate: a quarter bit per pixel of every frame.
    static int WmvBitRate(int width, int height, int framesPerSecond);

private:
    bool CreateGraph();
    bool AddSource(int framesPerSecond);
    bool BuildAviChain();
    bool BuildWmvChain(int framesPerSecond);
    // Makes an element, adds it to the graph and keeps it; null (and nothing added) when it
    // cannot be made.
    GstElement* Add(const char* factory, const char* name = nullptr);
    bool Run();
    void TearDown();
    bool WaitForEnd(int timeoutMs);
    // The pipeline's running time now; none while it has no clock.
    GstClockTime RunningTime() const;
    void OnStreamError();
    QString TakeErrorText();
    static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer self);

    GstElement* graph_ = nullptr;
    std::unique_ptr<CKTRecordSource> source_;
    bool graphReady_ = false;
    QString fileName_;
    bool recording_ = false;
    int width_ = 0;
    int height_ = 0;
    std::function<void()> failed_;
    std::unique_ptr<QObject> relay_;  // carries stream errors to the user-interface thread

    std::mutex busLock_;  // guards the three below, written on the posting threads
    std::condition_variable busSignal_;
    bool ended_ = false;
    QString errorText_;
};
