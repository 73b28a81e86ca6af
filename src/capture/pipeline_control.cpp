#include "capture/pipeline_control.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "media/pipeline_state.h"

namespace {

// How long the end of the program waits for a camera to stop before leaving the thread to it.
constexpr auto kEndWait = std::chrono::seconds(3);

// Control thread. A driver may refuse to stop for a moment; it is asked again every 100 ms for
// about three seconds before the pipeline is taken as stopped.
void StopPipeline(GstElement* pipeline) {
    for (int attempt = 0; attempt <= 30; ++attempt) {
        if (gst_element_set_state(pipeline, GST_STATE_NULL) != GST_STATE_CHANGE_FAILURE)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Control thread: true when the pipeline reached target.
bool Change(GstElement* pipeline, GstState target, int startLimitMs) {
    if (target != GST_STATE_PLAYING) {
        StopPipeline(pipeline);
        return true;
    }
    if (SetStateAndWait(pipeline, GST_STATE_PLAYING, startLimitMs))
        return true;
    // A failed start leaves nothing half-running, so that the next start begins afresh.
    StopPipeline(pipeline);
    return false;
}

}  // namespace

struct CPipelineControl::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    GstElement* pipeline = nullptr;  // the thread's own reference
    int startLimitMs = 0;
    Settled settled;
    GstState wanted = GST_STATE_NULL;
    GstState reached = GST_STATE_NULL;
    uint64_t requests = 0;
    uint64_t served = 0;
    uint64_t failedRequest = 0;
    bool busy = false;
    bool quit = false;
    bool done = false;
    std::thread thread;

    bool AtRest() const { return served == requests && !busy; }

    // Control thread: serves requests until the newest is reached; false once told to end.
    bool Serve(std::unique_lock<std::mutex>& lock) {
        wake.wait(lock, [&] { return served != requests || quit; });
        while (served != requests) {
            const uint64_t request = requests;
            const GstState target = wanted;
            served = request;
            if (target == reached)
                continue;
            busy = true;
            lock.unlock();
            const bool ok = Change(pipeline, target, startLimitMs);
            lock.lock();
            busy = false;
            reached = ok ? target : GST_STATE_NULL;
            if (!ok)
                failedRequest = request;
        }
        return !quit;
    }

    static void Run(std::shared_ptr<Shared> self) {
        std::unique_lock<std::mutex> lock(self->mutex);
        while (self->Serve(lock)) {
            const Settled settled = self->settled;
            lock.unlock();
            if (settled)
                settled();
            lock.lock();
        }
        // The last request served was the stop asked for by the destructor.
        lock.unlock();
        gst_object_unref(self->pipeline);
        lock.lock();
        self->done = true;
        self->ended.notify_all();
    }
};

CPipelineControl::CPipelineControl(GstElement* pipeline, int startLimitMs, Settled settled)
    : shared_(std::make_shared<Shared>()) {
    shared_->pipeline = GST_ELEMENT(gst_object_ref(pipeline));
    shared_->startLimitMs = startLimitMs;
    shared_->settled = std::move(settled);
    shared_->thread = std::thread(&Shared::Run, shared_);
}

CPipelineControl::~CPipelineControl() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->settled = nullptr;
    shared_->wanted = GST_STATE_NULL;
    ++shared_->requests;
    shared_->quit = true;
    shared_->wake.notify_one();
    const bool ended = shared_->ended.wait_for(lock, kEndWait, [&] { return shared_->done; });
    lock.unlock();
    if (ended)
        shared_->thread.join();
    else
        shared_->thread.detach();
}

uint64_t CPipelineControl::Request(GstState target) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->wanted = target;
    const uint64_t request = ++shared_->requests;
    shared_->wake.notify_one();
    return request;
}

CPipelineControl::Status CPipelineControl::Read() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return Status{shared_->reached, shared_->AtRest(), shared_->failedRequest};
}

bool CPipelineControl::IsStoppedAtRest() const {
    const Status status = Read();
    return status.atRest && status.reached == GST_STATE_NULL;
}
