#include "ocr/text_recognition_job.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "ocr/text_recogniser.h"

namespace {
std::atomic<int> g_runsLeft{0};
}

// What a run's thread shares with its job; it outlives a job destroyed before the run ended.
struct CTextRecognitionJob::Run {
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    CTextRecognitionJob* owner = nullptr;  // null once the job let the run go
};

CTextRecognitionJob::CTextRecognitionJob(std::shared_ptr<CTextRecogniser> recogniser,
                                         QObject* parent)
    : QObject(parent), recogniser_(std::move(recogniser)) {}

CTextRecognitionJob::~CTextRecognitionJob() {
    if (!thread_.joinable())
        return;
    run_->cancel = true;
    std::unique_lock<std::mutex> lock(run_->mutex);
    if (run_->ended.wait_for(lock, std::chrono::milliseconds(kEndWaitMs),
                             [this] { return run_->done; })) {
        lock.unlock();
        thread_.join();
        return;
    }
    run_->owner = nullptr;
    ++g_runsLeft;
    thread_.detach();
}

int CTextRecognitionJob::RunsLeft() {
    return g_runsLeft.load();
}

int CTextRecognitionJob::Progress() const {
    return run_ ? run_->progress.load() : 0;
}

bool CTextRecognitionJob::Start(CDibImage picture, const QvRect& region) {
    if (running_)
        return false;
    if (thread_.joinable())
        thread_.join();
    running_ = true;
    run_ = std::make_shared<Run>();
    run_->owner = this;
    thread_ = std::thread([run = run_, recogniser = recogniser_, picture = std::move(picture),
                           region]() mutable {
        // Recognition thread: reads the picture, then hands the outcome to the owner's thread
        // (or, when the job is gone, to no one).
        OcrOutcome outcome = recogniser->Recognise(picture, region, &run->cancel, &run->progress);
        bool orphan = false;
        {
            std::lock_guard<std::mutex> lock(run->mutex);
            run->done = true;
            run->ended.notify_all();
            orphan = run->owner == nullptr;
            if (!orphan) {
                CTextRecognitionJob* owner = run->owner;
                QMetaObject::invokeMethod(
                    owner, [owner, outcome = std::move(outcome)] { owner->Deliver(outcome); },
                    Qt::QueuedConnection);
            }
        }
        if (orphan) {
            recogniser.reset();  // the engine may be the last one left: it ends here
            --g_runsLeft;
        }
    });
    return true;
}

void CTextRecognitionJob::Cancel() {
    if (run_)
        run_->cancel = true;
}

void CTextRecognitionJob::Deliver(const OcrOutcome& outcome) {
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    emit Finished(outcome);
}
