#include "capture/document_edge_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "capture/document_edges.h"
#include "image/frame_image.h"

namespace {

// Below the threads of the live picture, but not at the bottom: page photos and the outline must
// follow within a second on a busy machine too. At nice 19, beside the camera's streaming thread
// and three busy processes, the thread waited over 100 times as long as it ran and the first
// outline came after 6 to 10 s; at nice 10, after 1 s. It takes about a tenth of a contended core
// at most, and rarely uses it: it detects only when the picture changed.
void LowerThisThreadsPriority() {
    setpriority(PRIO_PROCESS, id_t(gettid()), 10);
}

bool Stopped(const std::function<bool()>& stopRequested) {
    return stopRequested && stopRequested();
}

// The point of the straightened picture (size turnedW x turnedH) in the live frame (width x
// height), turning it back by angle degrees clockwise as seen (y runs downward).
QvPoint TurnBack(QvPoint p, int32_t angle, int32_t width, int32_t height, int32_t turnedW,
                 int32_t turnedH) {
    const float theta = float(angle * std::numbers::pi / 180.0);
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const float dx = float(p.x - turnedW / 2);
    const float dy = float(p.y - turnedH / 2);
    return {int32_t(float(width / 2) + c * dx - s * dy),
            int32_t(float(height / 2) + s * dx + c * dy)};
}

// The turned page must measure level within this many degrees. The turn is in whole degrees
// and truncated, so up to a degree remains of a well measured tilt; the least-squares measure of
// the remainder is good to about half a degree. A remainder beyond means the tilt was measured on
// something other than the page's edge, and the photo would be turned wrong.
constexpr float kLevelTolerance = 1.5f;

// The photo's cut, inside the document's edges so that no desk shows along them: the edges
// blur over a pixel or two when the photo is turned, and the tilt left over after the turn in
// whole degrees (measured, give or take a quarter degree) slants each edge across a wedge as
// wide as the other side's length times its tangent.
constexpr int32_t kBlurAllowance = 2;
constexpr float kLeftOverTiltError = 0.25f;

QvRect CutInsideEdges(const QvRect& inside, float leftOverTilt) {
    const double slant =
        std::tan((std::abs(leftOverTilt) + kLeftOverTiltError) * std::numbers::pi / 180.0);
    const auto wedge = [slant](int32_t length) {
        return kBlurAllowance + int32_t(std::ceil(double(std::max(length, 0)) * slant));
    };
    const int32_t dx = wedge(inside.Height());
    const int32_t dy = wedge(inside.Width());
    return {inside.left + dx, inside.top + dy, inside.right - dx, inside.bottom - dy};
}

void WholeFrame(int32_t width, int32_t height, DocumentEdgeResults& results) {
    results.pageFound = false;
    results.tiltAngle = 0;
    results.cropImageRect = {0, 0, width, height};
    results.outlineImagePoints = {QvPoint{0, 0}, {width, 0}, {width, height}, {0, height}};
}

}  // namespace

CDocumentEdgeWorker::CDocumentEdgeWorker(Notify notify, PageNotify pageNotify)
    : notify_(std::move(notify)), pageNotify_(std::move(pageNotify)) {}

CDocumentEdgeWorker::~CDocumentEdgeWorker() {
    if (session_) {
        session_->edges = false;
        session_->pages = false;
        StopIfIdle();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    for (auto& [session, thread] : retired_) {
        thread.join();
    }
}

CDocumentEdgeWorker::Session& CDocumentEdgeWorker::Running() {
    JoinFinished();
    if (session_ && !session_->stop) {
        return *session_;
    }
    if (session_) {
        retired_.emplace_back(std::move(session_), std::move(thread_));
    }
    session_ = std::make_shared<Session>();
    thread_ = std::thread([this, session = session_] { Run(*session); });
    return *session_;
}

void CDocumentEdgeWorker::StopIfIdle() {
    if (session_->edges || session_->pages || session_->stop) {
        return;
    }
    {
        // Under the results lock, so that nothing is published once Stop() has returned.
        std::lock_guard results(resultsMutex_);
        std::lock_guard lock(session_->mutex);
        session_->stop = true;
    }
    session_->wake.notify_all();
}

void CDocumentEdgeWorker::Start() {
    Session& session = Running();
    session.edgesRestart = true;
    session.edges = true;
}

void CDocumentEdgeWorker::Stop() {
    if (!session_ || session_->stop || !session_->edges) {
        return;
    }
    {
        std::lock_guard results(resultsMutex_);
        session_->edges = false;
    }
    StopIfIdle();
}

void CDocumentEdgeWorker::StartPageWatch() {
    Session& session = Running();
    session.pagesRestart = true;
    session.pages = true;
}

void CDocumentEdgeWorker::StopPageWatch() {
    if (!session_ || session_->stop || !session_->pages) {
        return;
    }
    session_->pages = false;
    StopIfIdle();
}

bool CDocumentEdgeWorker::IsRunning() const {
    return session_ && !session_->finished;
}

bool CDocumentEdgeWorker::OfferFrame(const LiveFrame& frame) {
    if (!frame.rows.IsValid()) {
        return false;
    }
    {
        std::lock_guard results(resultsMutex_);
        if (!results_.detected) {
            const int32_t w = int32_t(frame.rows.width);
            const int32_t h = int32_t(frame.rows.height);
            results_.cropImageRect = {0, 0, w, h};
            results_.outlineImagePoints = {QvPoint{0, 0}, {w, 0}, {w, h}, {0, h}};
        }
    }
    Session* session = session_.get();
    if (!session || session->stop || !session->waiting.load(std::memory_order_acquire)) {
        return false;
    }
    LiveFrame held = frame;
    if (!held.rows.owner) {
        // Rows borrowed for this call only: the thread needs its own.
        const size_t stride = FrameRows::DibStride(frame.rows.width);
        auto copy = std::make_shared<std::vector<uint8_t>>(stride * frame.rows.height);
        for (uint32_t y = 0; y < frame.rows.height; ++y) {
            std::copy_n(frame.rows.Row(y), size_t(frame.rows.width) * 3, copy->data() + y * stride);
        }
        held.rows =
            FrameRows{copy->data(), frame.rows.width, frame.rows.height, uint32_t(stride), copy};
    }
    {
        std::lock_guard lock(session->mutex);
        session->frame = std::move(held);
        session->waiting.store(false, std::memory_order_release);
    }
    session->wake.notify_one();
    return true;
}

DocumentEdgeResults CDocumentEdgeWorker::Results() const {
    std::lock_guard lock(resultsMutex_);
    return results_;
}

void CDocumentEdgeWorker::Run(Session& session) {
    LowerThisThreadsPriority();
    const auto stopRequested = [&session] { return session.stop.load(); };
    for (;;) {
        {
            std::unique_lock lock(session.mutex);
            session.wake.wait(lock, [&session] { return session.stop || !session.waiting; });
        }
        if (session.stop) {
            break;
        }
        ++session.framesTaken;
        MakePictureThumb(session.frame.rows, session.thumb);
        if (session.edges) {
            FindEdges(session, stopRequested);
        }
        if (session.pages && !session.stop) {
            WatchPages(session);
        }
        // The camera's buffer goes back as soon as it has been looked at.
        session.frame = LiveFrame{};
        session.waiting.store(true, std::memory_order_release);
    }
    session.frame = LiveFrame{};
    session.finished = true;
}

void CDocumentEdgeWorker::FindEdges(Session& session, const std::function<bool()>& stopRequested) {
    const LiveFrame& frame = session.frame;
    if (session.edgesRestart.exchange(false)) {
        session.detectedThumb = PictureThumb{};
    }
    if (session.detectedThumb.IsValid() && frame.flipRows == session.detectedFlip &&
        frame.mirror == session.detectedMirror &&
        !PictureChanged(session.thumb, session.detectedThumb)) {
        return;
    }
    DocumentEdgeResults found;
    if (!StoreFrame(session.picture, frame.rows, frame.flipRows, frame.mirror) ||
        !Detect(session.picture, found, stopRequested)) {
        return;
    }
    ++session.detections;
    session.detectedThumb = session.thumb;
    session.detectedFlip = frame.flipRows;
    session.detectedMirror = frame.mirror;
    std::unique_lock results(resultsMutex_);
    if (session.stop || !session.edges) {
        return;
    }
    found.detected = true;
    found.serial = results_.serial + 1;
    results_ = found;
    results.unlock();
    if (notify_) {
        notify_();
    }
}

void CDocumentEdgeWorker::WatchPages(Session& session) {
    if (session.pagesRestart.exchange(false)) {
        session.pageDetector.Reset();
        session.pageState = session.pageDetector.State();
    }
    const bool newPage = session.pageDetector.AddFrame(session.thumb, session.frame.timeMs);
    const PageState state = session.pageDetector.State();
    if ((newPage || state != session.pageState) && pageNotify_) {
        pageNotify_(state, newPage);
    }
    session.pageState = state;
}

void CDocumentEdgeWorker::JoinFinished() {
    std::erase_if(retired_, [](auto& entry) {
        if (!entry.first->finished) {
            return false;
        }
        entry.second.join();
        return true;
    });
    if (session_ && session_->finished) {
        thread_.join();
        session_.reset();
    }
}

bool CDocumentEdgeWorker::Detect(const CDibImage& frame, DocumentEdgeResults& results,
                                 const std::function<bool()>& stopRequested) {
    if (!frame.IsValid() || frame.GetBpp() != 24) {
        return false;
    }
    const int32_t width = int32_t(frame.GetWidth());
    const int32_t height = int32_t(frame.GetHeight());
    FrameGrid grid;
    DocumentEdges tilt;
    if (!MakeFrameGrid(frame.GetRow(0), width, height, grid) ||
        !FindDocumentEdges(grid, true, tilt) || Stopped(stopRequested)) {
        return false;
    }
    if (!tilt.boxFound) {
        WholeFrame(width, height, results);
        return true;
    }
    // Straighten the page and find its box again. Only the grid of the picture CDibImage::Rotate
    // would make is made, sampled from the frame's grid; the corners the turn adds take the
    // background's grey so that the box search sees them as background. Untilted, the grid is
    // the frame's.
    DocumentEdges box = tilt;
    if (tilt.angle != 0) {
        FrameGrid turned;
        if (!MakeTurnedFrameGrid(grid, float(-tilt.angle), tilt.frameBackground, turned) ||
            Stopped(stopRequested) ||
            !FindDocumentEdges(turned, true, box, tilt.backgroundSpread)) {
            return false;
        }
        grid = std::move(turned);
    }
    if (Stopped(stopRequested)) {
        return false;
    }
    if (!box.boxFound || std::abs(box.edgeTilt) > kLevelTolerance) {
        WholeFrame(width, height, results);
        return true;
    }
    results.pageFound = true;
    results.tiltAngle = -tilt.angle;
    results.cropImageRect = CutInsideEdges(box.inside, box.edgeTilt);
    for (size_t i = 0; i < box.points.size(); ++i) {
        results.outlineImagePoints[i] =
            TurnBack(box.points[i], tilt.angle, width, height, grid.width, grid.height);
    }
    return true;
}
