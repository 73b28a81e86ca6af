#pragma once
// The thread behind automatic cropping. While it runs it takes one live frame at a time, finds
// the document, measures its tilt, straightens the frame and finds the document's box again in
// the straightened picture, then publishes three results: the angle by which photos are turned,
// the crop rectangle in the turned photo, and the document's outline in the live frame.
//
// Use from the user-interface thread (the video item owns one):
//   Start()       when automatic cropping is switched on; starts a fresh thread (at the lowest
//                 priority) unless one is running. Never waits for a stopping predecessor: that
//                 one keeps its own frame and is joined later.
//   Stop()        asks the thread to end and returns at once; the thread finishes within one
//                 step of the detection and publishes nothing more.
//   IsRunning()   true from Start() until the thread has ended after Stop().
//   OfferFrame()  hands a frame over when the thread is waiting for one (it is copied then and
//                 only then); frames offered while it works are ignored, never queued.
//   Results()     the latest results, always a complete set.
// The destructor stops and joins every thread it started, so nothing they read outlives them.
//
// The notification passed to the constructor runs on the worker thread after each publication;
// it must only post to the user-interface thread (a window message or a queued call).

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "image/dib_image.h"
#include "platform/win_types.h"

struct DocumentEdgeResults {
    // Degrees to turn a photo by (CDibImage::Rotate, positive clockwise as seen).
    int32_t tiltAngle = 0;
    // The document in the turned photo (left, top, right, bottom); may reach past its edges.
    QvRect cropImageRect;
    // The document's outline in the live frame's pixels, from the top-left corner.
    std::array<QvPoint, 4> outlineImagePoints{};
    // False until the first detection: then the angle is 0 and the rectangle and outline are the
    // whole of the last offered frame (empty before any frame).
    bool detected = false;
    // The detection found the page. When it did not, or could not trust what it found, the
    // results are those of no page: angle 0, the whole frame.
    bool pageFound = false;
    // Counts publications, so a reader can tell a new result from one it has seen.
    uint64_t serial = 0;
};

class CDocumentEdgeWorker {
public:
    using Notify = std::function<void()>;

    explicit CDocumentEdgeWorker(Notify notify = {});
    ~CDocumentEdgeWorker();
    CDocumentEdgeWorker(const CDocumentEdgeWorker&) = delete;
    CDocumentEdgeWorker& operator=(const CDocumentEdgeWorker&) = delete;

    void Start();
    void Stop();
    bool IsRunning() const;
    // True when the frame was taken.
    bool OfferFrame(const CDibImage& frame);
    DocumentEdgeResults Results() const;

    // One detection on a 24-bit frame, as the thread runs it; stopRequested is polled between
    // the steps. False when stopped or when the frame gives no result. A page is taken as found
    // only when the box meets a band on every side, before and after the turn, and the turned
    // page measures level; otherwise the results are the whole frame, unturned.
    static bool Detect(const CDibImage& frame, DocumentEdgeResults& results,
                       const std::function<bool()>& stopRequested = {});

private:
    // What one thread works on; a stopping thread keeps its own while a new one starts.
    struct Session {
        std::mutex mutex;
        std::condition_variable wake;
        std::atomic<bool> stop{false};
        std::atomic<bool> waiting{true};
        std::atomic<bool> finished{false};
        CDibImage frame;
    };

    void Run(Session& session);
    void JoinFinished();

    Notify notify_;
    std::shared_ptr<Session> session_;
    std::thread thread_;
    std::vector<std::pair<std::shared_ptr<Session>, std::thread>> retired_;

    mutable std::mutex resultsMutex_;
    DocumentEdgeResults results_;
};
