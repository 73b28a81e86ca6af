#pragma once
// Drives one pipeline to the state last asked for, on a thread of its own: a camera that is slow
// to start or to stop holds up that thread, never the user-interface thread.
//
// The user-interface thread asks with Request() and returns at once. The thread works its way
// to the newest target, so that a quick stop and start ends in the state asked for last, and
// after each round calls `settled` on its own thread (it must only post to the user-interface
// thread). A start that fails, or that has not settled within the start limit, leaves the
// pipeline stopped and is recorded as the failed request.
//
// The destructor stops the pipeline and ends the thread. A camera hung in a state change does
// not hold up the program's end for longer than a short wait: the thread is then left to finish
// on its own, with its own reference to the pipeline.

#include <gst/gst.h>

#include <cstdint>
#include <functional>
#include <memory>

class CPipelineControl {
public:
    using Settled = std::function<void()>;

    CPipelineControl(GstElement* pipeline, int startLimitMs, Settled settled);
    ~CPipelineControl();
    CPipelineControl(const CPipelineControl&) = delete;
    CPipelineControl& operator=(const CPipelineControl&) = delete;

    // Asks for GST_STATE_PLAYING or GST_STATE_NULL; returns the request's number (from 1).
    uint64_t Request(GstState target);

    struct Status {
        GstState reached = GST_STATE_NULL;  // the state the pipeline was last brought to
        bool atRest = true;                 // every request served, nothing in progress
        uint64_t failedRequest = 0;         // the last start that failed; 0 for none
    };
    Status Read() const;
    // Stopped with every request served: the pipeline's elements may be changed then.
    bool IsStoppedAtRest() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
