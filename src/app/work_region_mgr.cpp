#include "app/work_region_mgr.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include "view/picture_item.h"
#include "view/picture_view.h"
#include "view/video_item.h"

CWorkRegionMgr::CWorkRegionMgr(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// The items are children of the region: the picture item goes first, then the live item.
CWorkRegionMgr::~CWorkRegionMgr() {
    delete pictureItem_;
    pictureItem_ = nullptr;
    delete videoItem_;
    videoItem_ = nullptr;
}

bool CWorkRegionMgr::Create(const QString& name, QWidget* parent, int id) {
    if (parent != nullptr && parentWidget() != parent) {
        setParent(parent);
    }
    setObjectName(name);
    id_ = id;
    if (videoItem_ == nullptr) {
        // The cameras are found first; the live item's Open then builds the engine.
        videoItem_ = new CVideoItem(this);
        videoItem_->DeviceSet().EnumerateVideoDevices();
        videoItem_->DeviceSet().EnumerateAudioDevices();
        videoItem_->Open(this);
    }
    if (pictureItem_ == nullptr) {
        pictureItem_ = new CPicItem(this);
        pictureItem_->setGeometry(0, 0, 0, 0);
        pictureItem_->show();
    }
    show();
    return true;
}

CDeviceSet* CWorkRegionMgr::GetDeviceSet() const {
    return videoItem_ != nullptr ? &videoItem_->DeviceSet() : nullptr;
}

bool CWorkRegionMgr::SetMode(int mode) {
    if (mode == mode_) {
        return false;
    }
    mode_ = mode;
    // Text being typed belongs to the picture shown until now.
    if (pictureItem_ != nullptr) {
        pictureItem_->CancelAnnotation();
    }
    CDeviceSet* devices = GetDeviceSet();
    if (mode == kModeLive) {
        if (devices != nullptr)
            devices->RunPreview();
    } else if (mode == kModePicture) {
        if (devices != nullptr)
            devices->StopPreview();
        if (pictureItem_ != nullptr) {
            // A null path leaves the picture item with what it showed before.
            pictureItem_->LoadFile(selectedPath_ ? selectedPath_() : QString());
            pictureItem_->SetStretchToWindow(false);
            pictureItem_->FitToWindow();
        }
    }
    Layout(width(), height());
    return true;
}

void CWorkRegionMgr::Layout(int width, int height) {
    QWidget* shown = nullptr;
    QWidget* hidden = nullptr;
    if (mode_ == kModeLive) {
        shown = videoItem_;
        hidden = pictureItem_;
    } else if (mode_ == kModePicture) {
        shown = pictureItem_;
        hidden = videoItem_;
    } else {
        return;
    }
    if (hidden != nullptr) {
        hidden->setGeometry(0, 0, 0, 0);
    }
    if (shown != nullptr) {
        shown->setGeometry(0, 0, width, height);
    }
}

PhotoSource CWorkRegionMgr::LiveSource() {
    PhotoSource source;
    videoItem_->SelectionToImage();
    source.workImage = &videoItem_->GetWorkImage();
    source.selectionImageRect = videoItem_->GetSelectionImageRect();
    source.outlineMode = videoItem_->GetOutlineMode();
    const CVideoItem::AutoCropCut cut = videoItem_->AutoCrop();
    source.tiltAngle = cut.tiltAngle;
    source.cropImageRect = cut.cropImageRect;
    return source;
}

PhotoResult CWorkRegionMgr::RequestPhoto(const QString& path, const PhotoOptions& options) {
    if (mode_ != kModeLive || videoItem_ == nullptr) {
        return PhotoResult();
    }
    return SavePhoto(LiveSource(), path, options);
}

void CWorkRegionMgr::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
}

void CWorkRegionMgr::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout(event->size().width(), event->size().height());
}
