#pragma once
// CVideoRecorder: recording the shown live picture to an AVI or a WMV file through a pipeline of
// its own, beside the preview:
//   AVI: record source → tee "Start tee" → fakesink "NullRender"
//                                        → jpegenc → videorate → avimux "AVI Mux"
//                                          → filesink "FileWriter"   (Motion-JPEG)
//   WMV: record source → videoconvert → I420 → avenc_wmv2 → asfmux → filesink "WMV FileWriter"
// The video item hands each shown picture over with PushFrame. A recording's time runs from the
// moment its start was asked for (not from when its pipeline got going, which can take a good
// part of a second), to the moment its stop was asked for, so that the file plays as long as
// the user recorded.
//
// Stopping has two halves: RequestStop ends the recording at once, on the user-interface thread;
// Finish then waits (bounded) for the end of the stream to reach the file, so that the AVI index
// and the ASF header are written, stops the pipeline and settles the file: a file its muxer
// could not finish is mended so that what was recorded plays, and a file whose folder was
// removed while recording is written anew. Finish may take seconds and runs on a thread of its
// own (CRecordingFinisher). At most one recorder is current; the current recorder is the one
// that PushFrame feeds. User-interface thread only, except the stream's FillBuffer and Finish.

#include <gst/gst.h>

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "capture/record_source.h"

class CDibImage;

// How a recording ended and what is left of it.
struct RecordingOutcome {
    QString fileName;    // where the recording is now
    QString failure;     // why it did not end normally; empty when it did
    bool moved = false;  // its file had gone while recording; it was written anew at fileName
    bool kept = false;   // fileName holds a playable recording
    double seconds = 0;  // how long it plays
};

class CVideoRecorder {
public:
    // Slot rate of a recording when the camera's frame rate is unknown.
    static constexpr int kDefaultFramesPerSecond = 30;

    // How long Finish waits for the end of the stream to reach the file.
    static constexpr int kEndTimeoutMs = 5000;

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
    // Takes the current recorder away, so that it can be finished elsewhere; none is current
    // afterwards. Null when there is none.
    static std::unique_ptr<CVideoRecorder> TakeCurrent();
    // Hands the shown picture to the current recorder while it records; false otherwise or
    // when the frame was dropped.
    static bool PushFrame(const CDibImage& picture);

    // The system clock's time, which marks when a recording was asked for.
    static GstClockTime ClockNow();
    // Loads the encoders' plugins, which takes up to a second the first time (the WMV encoder
    // brings a whole codec library): run on a thread of its own at start, so that the first
    // click on "录像" does not wait for it.
    static void LoadEncoders();

    // Records width x height pictures into fileName at framesPerSecond: WMV when the
    // upper-cased extension is "WMV", AVI otherwise. WMV sizes are cut to even numbers. The
    // recording's time starts at requestedAt (a ClockNow() taken when the user asked for it),
    // or now. Every failure is told to the user (caption "错误") and leaves nothing running:
    // false.
    bool StartRecording(const QString& fileName, int width, int height,
                        int framesPerSecond = kDefaultFramesPerSecond,
                        GstClockTime requestedAt = GST_CLOCK_TIME_NONE);
    // The recording ends now: no picture is taken any more, and the file ends at this moment.
    void RequestStop();
    // After RequestStop, on any one thread: waits up to timeoutMs for the end of the stream to
    // reach the file, stops the pipeline and settles the file (see above).
    RecordingOutcome Finish(int timeoutMs = kEndTimeoutMs);
    // RequestStop and Finish in one; an empty outcome when nothing was started.
    RecordingOutcome StopRecording();
    bool IsRecording() const { return recording_; }
    // Seconds since the recording was asked for: how long the file plays so far.
    double ElapsedSeconds() const;

    // Called on the user-interface thread when a running recording failed (a full disk, a write
    // or stream error): the recording has been stopped (RequestStop); the owner finishes it and
    // tells the user.
    void SetFailureHandler(std::function<void()> handler) { failed_ = std::move(handler); }
    // The pipeline, for tests that interfere with it.
    GstElement* Graph() const { return graph_; }

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
    void SetOutputFile(GstElement* writer);
    bool BuildAviChain();
    bool BuildWmvChain(int framesPerSecond);
    // Makes an element, adds it to the graph and keeps it; null (and nothing added) when it
    // cannot be made.
    GstElement* Add(const char* factory, const char* name = nullptr);
    bool Run();
    void TearDown();
    bool WaitForEnd(int timeoutMs);
    // Keeps the file open for reading, so that it can be written anew if it goes away.
    void KeepFile();
    // Writes the kept file anew when its name no longer leads to it; false when it went away and
    // could not be written anew.
    bool RestoreFile(RecordingOutcome& outcome);
    void SettleFile(RecordingOutcome& outcome);
    // The pipeline's running time now; none while it has no clock.
    GstClockTime RunningTime() const;
    void OnStreamError();
    QString TakeErrorText();
    static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer self);

    GstElement* graph_ = nullptr;
    std::unique_ptr<CKTRecordSource> source_;
    bool graphReady_ = false;
    QString fileName_;
    std::atomic<bool> recording_{false};
    bool stopRequested_ = false;
    GstClockTime requestedAt_ = GST_CLOCK_TIME_NONE;  // system clock time of the start request
    double endSeconds_ = 0;                           // where the stop put the file's end
    int keptFile_ = -1;
    int width_ = 0;
    int height_ = 0;
    std::function<void()> failed_;
    std::unique_ptr<QObject> relay_;  // carries stream errors to the user-interface thread

    std::mutex busLock_;  // guards the three below, written on the posting threads
    std::condition_variable busSignal_;
    bool ended_ = false;
    QString errorText_;
};
