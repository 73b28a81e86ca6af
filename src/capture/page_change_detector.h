#pragma once
// Hands-free page capture: from the live picture's thumbs, tells when a new page has come to lie
// still, so that it is photographed once, and only then.
//
// The picture is *moving* while it keeps changing (a hand, a page being turned or pushed); it
// has *settled* once it has stopped changing for the settle time; a settled picture is a *new
// page* when its content is not the content of the last photo's picture, wherever on the desk
// either lies. Noise, exposure drift and a resting hand's tremor are not changes (see
// ComparePictures); the same page laid down again, pushed or slightly turned, is not a new page
// (see CompareContent). Each settled picture is judged once: nothing more happens until
// something moves again. The first settled picture after a reset is always a new page.
//
// Not thread-safe: one thread feeds it.

#include <cstdint>

#include "capture/picture_change.h"

enum class PageState {
    kMoving,    // something moves in the picture
    kSettling,  // nothing has moved for less than the settle time
    kWaiting,   // still, and the page of the last photo: waiting for the next page
};

class CPageChangeDetector {
public:
    // How long the picture must stay unchanged before it counts as lying still.
    static constexpr int64_t kDefaultSettleMs = 600;
    // Share of its detailed blocks by which a settled picture must differ from the last photo's
    // to be a new page. Measured on pages that share one layout: another page differs by 0.60
    // and more at every camera size and desk; the same page pushed by up to 1.5 % of the picture's
    // width or laid again turned by up to 1.5 degrees by 0.34 at most, a hand resting beside it by
    // 0.12 at most.
    static constexpr float kNewPageShare = 0.45f;

    explicit CPageChangeDetector(int64_t settleMs = kDefaultSettleMs) : settleMs_(settleMs) {}

    // One frame's thumb, taken at timeMs (a steady clock). True when the picture has just
    // settled on a new page: photograph it now. The thumb becomes the last photo's picture.
    bool AddFrame(const PictureThumb& thumb, int64_t timeMs);
    PageState State() const { return state_; }
    // Starts again: the next settled picture is a new page.
    void Reset();

private:
    int64_t settleMs_;
    PageState state_ = PageState::kSettling;
    PictureThumb still_;  // the picture since it last changed
    int64_t stillSinceMs_ = 0;
    bool judged_ = false;  // the settled picture has been judged
    PictureThumb photo_;   // the last photo's picture; empty before the first
};
