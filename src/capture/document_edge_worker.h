#pragma once
// The thread behind automatic cropping and hands-free page capture. While it runs it takes one
// live frame at a time and makes the frame's thumb (picture_change.h).
//
// Automatic cropping: when the thumb shows a change since the frame last detected on (or the
// frame's size or flip or mirror changed), it finds the document, measures its tilt, straightens
// the frame and finds the document's box again in the straightened picture, then publishes three
// results: the angle by which photos are turned, the crop rectangle in the turned photo, and the
// document's outline in the live frame. A picture that has not changed keeps its results and
// costs only its thumb.
//
// Page capture: every thumb goes to the page-change detector, which tells when a new page has
// come to lie still.
//
// Use from the user-interface thread (the video item owns one):
//   Start()       when automatic cropping is switched on; starts a fresh thread (at a priority
//                 below the live picture's) unless one is running. Never waits for a stopping
//                 predecessor: that one keeps its own frame and is joined later.
//   Stop()        automatic cropping off: returns at once, and nothing is published from then
//                 on; the thread ends within one step of the detection unless pages are watched.
//   StartPageWatch(), StopPageWatch()   the same for page capture; each start begins afresh
//                 (the page lying there is a new page once it is still).
//   IsRunning()   true from a start until the thread has ended after the last stop.
//   OfferFrame()  hands a frame over when the thread is waiting for one; frames offered while
//                 it works are ignored, never queued. A frame that keeps its rows alive (an
//                 owner) is held, not copied; one borrowed for the call is copied.
//   Results()     the latest results, always a complete set.
// The destructor stops and joins every thread it started, so nothing they read outlives them.
//
// The notifications passed to the constructor run on the worker thread, after each publication
// and after each change of the page state; they must only post to the user-interface thread (a
// window message or a queued call).

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/page_change_detector.h"
#include "capture/picture_change.h"
#include "image/dib_image.h"
#include "image/frame_rows.h"
#include "platform/win_types.h"

// A live frame as the video item shows it: the camera's rows and how they are turned into the
// picture (see StoreFrame), with the moment it arrived (steady clock, milliseconds).
struct LiveFrame {
    FrameRows rows;
    bool flipRows = true;
    bool mirror = true;
    int64_t timeMs = 0;
};

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
    // The page state, and whether a new page has just come to lie still (photograph it).
    using PageNotify = std::function<void(PageState state, bool newPage)>;

    explicit CDocumentEdgeWorker(Notify notify = {}, PageNotify pageNotify = {});
    ~CDocumentEdgeWorker();
    CDocumentEdgeWorker(const CDocumentEdgeWorker&) = delete;
    CDocumentEdgeWorker& operator=(const CDocumentEdgeWorker&) = delete;

    void Start();
    void Stop();
    void StartPageWatch();
    void StopPageWatch();
    bool IsRunning() const;
    bool IsWatchingPages() const { return session_ && session_->pages; }
    // True when the frame was taken.
    bool OfferFrame(const LiveFrame& frame);
    DocumentEdgeResults Results() const;
    // Frames taken and detections run by the current thread; tests and benchmarks watch them.
    uint64_t FramesTaken() const { return session_ ? session_->framesTaken.load() : 0; }
    uint64_t Detections() const { return session_ ? session_->detections.load() : 0; }

    // One detection on a 24-bit frame, as the thread runs it; stopRequested is polled between
    // the steps. False when stopped or when the frame gives no result. A page is taken as found
    // only when the box meets a band on every side, before and after the turn, and the turned
    // page measures level; otherwise the results are the whole frame, unturned.
    static bool Detect(const CDibImage& frame, DocumentEdgeResults& results,
                       const std::function<bool()>& stopRequested = {});

private:
    // What one thread works on; a stopping thread keeps its own while a new one starts. The
    // user-interface thread sets the jobs (under the results lock for edges, so that nothing is
    // published after Stop()); the thread owns everything below `frame`.
    struct Session {
        std::mutex mutex;
        std::condition_variable wake;
        std::atomic<bool> stop{false};
        std::atomic<bool> waiting{true};
        std::atomic<bool> finished{false};
        std::atomic<bool> edges{false};
        std::atomic<bool> pages{false};
        // Set by a start: the thread begins that job afresh with its next frame.
        std::atomic<bool> edgesRestart{false};
        std::atomic<bool> pagesRestart{false};
        std::atomic<uint64_t> framesTaken{0};
        std::atomic<uint64_t> detections{0};
        LiveFrame frame;

        PictureThumb thumb;
        PictureThumb detectedThumb;  // the thumb of the frame last detected on
        bool detectedFlip = true, detectedMirror = true;
        CDibImage picture;  // the frame made into the picture the detection works on
        CPageChangeDetector pageDetector;
        PageState pageState = PageState::kSettling;
    };

    // Starts a thread unless one runs, and switches a job on in it.
    Session& Running();
    // Ends the session when it has no job left.
    void StopIfIdle();
    void Run(Session& session);
    void FindEdges(Session& session, const std::function<bool()>& stopRequested);
    void WatchPages(Session& session);
    void JoinFinished();

    Notify notify_;
    PageNotify pageNotify_;
    std::shared_ptr<Session> session_;
    std::thread thread_;
    std::vector<std::pair<std::shared_ptr<Session>, std::thread>> retired_;

    mutable std::mutex resultsMutex_;
    DocumentEdgeResults results_;
};
