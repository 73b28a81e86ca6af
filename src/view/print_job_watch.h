#pragma once
// What the CUPS scheduler made of a print: Qt Print Support hands the job over and reports
// success whether or not the queue took it, so the job is looked up afterwards by its number
// (the newest of this user's jobs with the job's name, newer than any before the print) and
// its state, and the queue's own reason is given when it refused, stopped or paused.
//
// User-interface thread only; the scheduler is asked synchronously (it is local and answers
// at once).

#include <QString>

class CPrintJobWatch {
public:
    enum class State {
        kUnknown,   // the scheduler could not be asked: nothing can be told
        kAccepted,  // the queue holds the job, is printing it or has printed it
        kWaiting,   // the queue holds the job but is paused, or the job is held
        kRefused,   // no job: the queue did not accept it
        kFailed,    // the job was stopped, cancelled or aborted
    };

    // Notes the newest job of this user on `queue` before a job named `title` is handed over.
    CPrintJobWatch(const QString& queue, const QString& title);

    // Looks for the job after it was handed over. `reason` receives the queue's reason (its
    // state message, else why it stands), empty for an accepted job.
    State Check(QString* reason) const;

    int JobId() const { return jobId_; }

private:
    QString queue_;
    QString title_;
    int before_ = -1;  // -1: the scheduler did not answer
    mutable int jobId_ = 0;
};
