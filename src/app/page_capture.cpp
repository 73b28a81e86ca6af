#include "app/page_capture.h"

#include "view/video_item.h"

CPageCapture::CPageCapture(std::function<void()> takePhoto, QObject* parent)
    : QObject(parent), takePhoto_(std::move(takePhoto)) {}

CPageCapture::~CPageCapture() {
    Stop();
}

bool CPageCapture::Start(CVideoItem* live) {
    Stop();
    if (live == nullptr)
        return false;
    live_ = live;
    still_ = connect(live, &CVideoItem::pageStill, this, &CPageCapture::OnPageStill);
    live->SetPageCapture(true);
    return true;
}

void CPageCapture::Stop() {
    disconnect(still_);
    if (live_)
        live_->SetPageCapture(false);
    live_.clear();
}

void CPageCapture::OnPageStill() {
    if (!live_)
        return;
    takePhoto_();
    if (live_)
        live_->ShowPhotoTaken();
}
