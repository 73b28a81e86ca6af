#pragma once
// CRecordingFinisher: finishes recordings off the user-interface thread. Waiting for the end of
// a stream to reach the file, stopping the pipeline and mending or restoring the file can take
// seconds; the user-interface thread only ends the recording and later receives how it ended.
// Several recordings may be finishing at once (a new one may start while the last finishes).

#include <QObject>
#include <functional>
#include <list>
#include <memory>
#include <thread>

#include "capture/video_recorder.h"

class CRecordingFinisher {
public:
    using Done = std::function<void(const RecordingOutcome&)>;

    CRecordingFinisher();
    ~CRecordingFinisher();  // waits for the files still being finished; done is not called
    CRecordingFinisher(const CRecordingFinisher&) = delete;
    CRecordingFinisher& operator=(const CRecordingFinisher&) = delete;

    // User-interface thread: the recording ends now (RequestStop) and its file is finished on a
    // thread of its own; done runs on this thread afterwards. Nothing happens for no recorder.
    void Finish(std::unique_ptr<CVideoRecorder> recorder, Done done,
                int timeoutMs = CVideoRecorder::kEndTimeoutMs);
    // Waits for every recording being finished and runs their done at once (the program ends).
    void WaitForAll();
    bool IsBusy() const { return !jobs_.empty(); }

private:
    struct Job {
        std::unique_ptr<CVideoRecorder> recorder;
        Done done;
        RecordingOutcome outcome;
        std::thread thread;
    };
    void Complete(std::list<Job>::iterator job);

    std::list<Job> jobs_;
    std::unique_ptr<QObject> context_;  // carries finished jobs back to this thread
};
