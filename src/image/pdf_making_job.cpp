#include "image/pdf_making_job.h"

#include <condition_variable>
#include <mutex>

namespace {

// Makings under way in the process, with the jobs that own them or without.
std::mutex g_runningLock;
std::condition_variable g_runningChanged;
int g_running = 0;

}  // namespace

// What the making thread shares with its job; it outlives a job destroyed before the making ends.
struct CPdfMakingJob::Shared {
    std::mutex mutex;
    CPdfMakingJob* owner = nullptr;  // null once the job is gone
    std::atomic<bool> cancel{false};

    // Runs call(owner) on the owner's thread, unless the owner is gone. Posted while the owner
    // is known to live; Qt drops the call if the owner is destroyed before it is delivered.
    template <typename Call>
    void Post(Call call) {
        std::lock_guard<std::mutex> lock(mutex);
        if (owner != nullptr) {
            QMetaObject::invokeMethod(
                owner, [job = owner, call = std::move(call)] { call(job); }, Qt::QueuedConnection);
        }
    }
};

CPdfMakingJob::CPdfMakingJob(QObject* parent) : QObject(parent) {}

CPdfMakingJob::~CPdfMakingJob() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    shared_->cancel = true;
    thread_.detach();
}

bool CPdfMakingJob::Start(Making making) {
    if (IsRunning())
        return false;
    shared_ = std::make_shared<Shared>();
    shared_->owner = this;
    {
        std::lock_guard<std::mutex> lock(g_runningLock);
        ++g_running;
    }
    thread_ = std::thread([shared = shared_, making = std::move(making)] {
        // Making thread: makes the PDF, handing each step and the result to the owner's thread.
        CPdfMaker::Options options;
        options.cancel = &shared->cancel;
        options.progress = [&shared](const CPdfMaker::Progress& p) {
            shared->Post([p](CPdfMakingJob* job) { emit job->Progress(p); });
        };
        const CPdfMaker::Result result = making(options);
        shared->Post([result](CPdfMakingJob* job) { job->Deliver(result); });
        std::lock_guard<std::mutex> lock(g_runningLock);
        --g_running;
        g_runningChanged.notify_all();
    });
    return true;
}

void CPdfMakingJob::Cancel() {
    if (shared_)
        shared_->cancel = true;
}

bool CPdfMakingJob::IsCancelling() const {
    return IsRunning() && shared_->cancel;
}

void CPdfMakingJob::Deliver(const CPdfMaker::Result& result) {
    if (thread_.joinable())
        thread_.join();
    emit Finished(result);
}

void CPdfMakingJob::WaitForAll() {
    std::unique_lock<std::mutex> lock(g_runningLock);
    g_runningChanged.wait(lock, [] { return g_running == 0; });
}
