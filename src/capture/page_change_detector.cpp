#include "capture/page_change_detector.h"

namespace {

// A picture that changed within this long is shown as moving, afterwards as settling: frames
// come every 33 to 70 ms, so a moving picture changes several times within it.
constexpr int64_t kMovingMs = 150;

}  // namespace

void CPageChangeDetector::Reset() {
    state_ = PageState::kSettling;
    still_ = PictureThumb{};
    judged_ = false;
    photo_ = PictureThumb{};
}

bool CPageChangeDetector::AddFrame(const PictureThumb& thumb, int64_t timeMs) {
    if (!thumb.IsValid())
        return false;
    // Against the picture since the last change rather than the previous frame, so that a slow
    // push, a little each frame, adds up to a change.
    if (!still_.IsValid() || PictureChanged(thumb, still_)) {
        const bool first = !still_.IsValid();
        still_ = thumb;
        stillSinceMs_ = timeMs;
        judged_ = false;
        state_ = first ? PageState::kSettling : PageState::kMoving;
        return false;
    }
    if (judged_)
        return false;
    if (timeMs - stillSinceMs_ < settleMs_) {
        if (timeMs - stillSinceMs_ >= kMovingMs)
            state_ = PageState::kSettling;
        return false;
    }
    judged_ = true;
    state_ = PageState::kWaiting;
    if (photo_.IsValid()) {
        const ContentDifference difference = CompareContent(thumb, photo_);
        if (difference.comparable && difference.differingShare <= kNewPageShare)
            return false;
    }
    photo_ = thumb;
    return true;
}
