#pragma once
// CPdfMakingJob: one PDF made on a thread of its own while the windows keep working. Progress and
// the result arrive as signals on the thread that owns the job (the user-interface thread).
//
// Closing the window that owns the job must not wait for the making (a huge picture may take
// seconds to load): destroying the job asks the making to stop and lets its thread end on its
// own, which removes the unfinished file. WaitForAll, at the program's end, waits for such
// threads.

#include <QObject>
#include <functional>
#include <memory>
#include <thread>

#include "image/pdf_maker.h"

class CPdfMakingJob : public QObject {
    Q_OBJECT

public:
    // A making: a CPdfMaker call that passes on the options it is given (progress and cancel).
    using Making = std::function<CPdfMaker::Result(const CPdfMaker::Options& options)>;

    explicit CPdfMakingJob(QObject* parent = nullptr);
    ~CPdfMakingJob() override;

    // Starts making on the job's thread. False, starting nothing, while a making is under way.
    bool Start(Making making);
    // Asks the making to stop; Finished follows (with kCancelled unless it had just ended).
    void Cancel();
    // True from Start until Finished has been delivered.
    bool IsRunning() const { return thread_.joinable(); }
    bool IsCancelling() const;

    // Blocks until every making, also those of jobs destroyed meanwhile, has ended.
    static void WaitForAll();

signals:
    void Progress(const CPdfMaker::Progress& progress);
    void Finished(const CPdfMaker::Result& result);

private:
    struct Shared;
    void Deliver(const CPdfMaker::Result& result);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
