#include "capture/recording_finisher.h"

CRecordingFinisher::CRecordingFinisher() : context_(std::make_unique<QObject>()) {}

CRecordingFinisher::~CRecordingFinisher() {
    for (Job& job : jobs_)
        job.thread.join();
}

void CRecordingFinisher::Finish(std::unique_ptr<CVideoRecorder> recorder, Done done,
                                int timeoutMs) {
    if (!recorder)
        return;
    recorder->RequestStop();
    jobs_.push_back(Job{std::move(recorder), std::move(done), {}, {}});
    const auto job = std::prev(jobs_.end());
    // Finishing thread: the outcome is handed back as a queued call, which does not run once
    // the finisher (and its context) is gone.
    job->thread = std::thread([this, job, timeoutMs] {
        job->outcome = job->recorder->Finish(timeoutMs);
        QMetaObject::invokeMethod(
            context_.get(), [this, job] { Complete(job); }, Qt::QueuedConnection);
    });
}

void CRecordingFinisher::Complete(std::list<Job>::iterator job) {
    if (job->thread.joinable())
        job->thread.join();
    const Done done = std::move(job->done);
    const RecordingOutcome outcome = job->outcome;
    jobs_.erase(job);  // the recorder goes on the thread that made it
    if (done)
        done(outcome);
}

void CRecordingFinisher::WaitForAll() {
    for (Job& job : jobs_)
        job.thread.join();
    // The queued hand-backs of these jobs must not run: the context goes with them.
    context_ = std::make_unique<QObject>();
    while (!jobs_.empty())
        Complete(jobs_.begin());
}
