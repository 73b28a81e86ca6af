// The main window's side of the work region: creating it and the thumbnail strip, laying it out,
// switching between the live and the still picture, and the item the view commands act on.

#include "app/quorvane_dlg.h"
#include "app/save_notice.h"
#include "app/work_region_mgr.h"
#include "capture/device_set.h"
#include "dialogs/camera_settings_dialog.h"
#include "ui/color_mode_panel.h"
#include "ui/save_option_panel.h"
#include "view/picture_item.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

namespace {
QRect ToQRect(const QvRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}
}  // namespace

bool CQuorvaneDlg::CreateChildren() {
    workRegion_ = new CWorkRegionMgr(this);
    if (!workRegion_->Create(QStringLiteral("workmgr"), this, 100)) {
        return false;
    }
    workRegion_->setGeometry(ToQRect(WorkRegionRect(width(), height())));
    workRegion_->SetSelectedPathSource([this] { return thumbnails_->GetSelectedPath(); });
    connect(workRegion_->GetVideoItem(), &CVideoItem::CameraUnplugged, this,
            &CQuorvaneDlg::OnCameraUnplugged);

    thumbnails_ = new CThumnailView(this);
    if (!thumbnails_->Create(this, 100)) {
        return false;
    }
    thumbnails_->setGeometry(ToQRect(ThumbnailStripRect(width())));
    thumbnails_->SetReloadHook([this](const QString& path) { ReloadSelectedPicture(path); });
    tip_.AddTool(thumbnails_, this, QStringLiteral("提示:双击图片打开图片"));

    saveOptionPanel_ = new CSaveOption(this);
    if (!saveOptionPanel_->Create(this, SaveOptionPanelRect(width()), QStringLiteral("saveOption"),
                                  100)) {
        return false;
    }
    colourModePanel_ = new CColorMode(this);
    if (!colourModePanel_->Create(this, ColourModePanelRect(width()), QStringLiteral("colormode"),
                                  100)) {
        return false;
    }
    ShowStoredPanelChoices();

    saveNotice_ = new CSaveNotice(this);
    return true;
}

int CQuorvaneDlg::WorkMode() const {
    return workRegion_ != nullptr ? workRegion_->GetMode() : workMode_;
}

void CQuorvaneDlg::LayOutWorkRegion() {
    if (workRegion_ == nullptr) {
        return;
    }
    workRegion_->setGeometry(fullScreen_ ? rect() : ToQRect(WorkRegionRect(width(), height())));
}

void CQuorvaneDlg::ShowPanels(bool visible) {
    for (QWidget* panel :
         {static_cast<QWidget*>(colourModePanel_), static_cast<QWidget*>(thumbnails_),
          static_cast<QWidget*>(saveOptionPanel_)}) {
        if (panel != nullptr) {
            panel->setVisible(visible);
        }
    }
}

LParam CQuorvaneDlg::OnSetWorkMode(WParam mode) {
    // A still picture gives nothing to photograph or record.
    if (mode != CWorkRegionMgr::kModeLive) {
        StopContinuous();
        FinishRecording();
    }
    EnableForMode(int(mode));
    workMode_ = int(mode);
    if (workRegion_ != nullptr && workRegion_->SetMode(int(mode))) {
        // A colour choice made while the still picture was shown reaches the live picture now.
        if (mode == CWorkRegionMgr::kModeLive && colourModePanel_ != nullptr) {
            colourModePanel_->ApplyToLivePicture();
        }
        // The shown picture has the keyboard, so that Enter takes a photo; a field that had it
        // (the first in the window at start, an annotation left open) would keep Enter to itself.
        if (CPicture* shown = CurrentItem()) {
            shown->setFocus(Qt::OtherFocusReason);
        }
        update();
    }
    return 0;
}

// A new selection in the strip is shown at once while the still picture is on view.
void CQuorvaneDlg::ReloadSelectedPicture(const QString& path) {
    if (WorkMode() != CWorkRegionMgr::kModePicture) {
        return;
    }
    CPicItem* item = workRegion_->GetPictureItem();
    item->CancelAnnotation();
    if (item->LoadFile(path) == 1) {
        item->SetStretchToWindow(false);
        item->FitToWindow();
    }
}

CPicture* CQuorvaneDlg::CurrentItem() const {
    if (workRegion_ == nullptr) {
        return nullptr;
    }
    switch (workRegion_->GetMode()) {
        case CWorkRegionMgr::kModeLive:
            return workRegion_->GetVideoItem();
        case CWorkRegionMgr::kModePicture:
            return workRegion_->GetPictureItem();
        default:
            return nullptr;
    }
}

CPicture* CQuorvaneDlg::LivePicture() {
    return workRegion_ != nullptr ? workRegion_->GetVideoItem() : nullptr;
}

// The panels store what the user changes in them through here.
bool CQuorvaneDlg::WriteSetting(const QString& section, const QString& key, int value) {
    if (section == qvini::kPic) {
        if (key == qvini::kQuantity) {
            stored_.quality = value;
        } else if (key == qvini::kSaveTurn) {
            stored_.saveTurn = value;
        } else if (key == qvini::kColourMode) {
            stored_.colourMode = value;
        } else if (key == qvini::kThreshold) {
            stored_.threshold = value;
        }
    }
    return WriteSettingInt(&settings_, section, key, value);
}

// The panels and automatic cropping as stored: at start, and after "默认设置".
void CQuorvaneDlg::ShowStoredPanelChoices() {
    if (saveOptionPanel_ != nullptr) {
        saveOptionPanel_->ShowChoices(stored_.quality, stored_.saveTurn, stored_.autoCrop);
    }
    if (colourModePanel_ != nullptr) {
        colourModePanel_->ShowChoice(stored_.colourMode, stored_.threshold);
    }
    if (workRegion_ != nullptr) {
        workRegion_->GetVideoItem()->SetAutoCropMode(stored_.autoCrop ? 2 : 0);
    }
}

void CQuorvaneDlg::OnCameraUnplugged() {
    StopContinuous();
    // The recording ends with the pictures; once its file is finished the user learns where it is.
    FinishRecording(QStringLiteral("摄像头已断开，录像已结束。"));
}

void CQuorvaneDlg::ShowCameraSettings() {
    CDeviceSet* devices = workRegion_->GetDeviceSet();
    CameraSettingsDialog dialog(devices, this);
    connect(workRegion_->GetVideoItem(), &CVideoItem::CamerasChanged, &dialog,
            &CameraSettingsDialog::ReloadCameras);
    dialog.CentreOn(this);
    dialog.exec();
    if (!dialog.ChosenCamera().isEmpty()) {
        stored_.videoDevice = dialog.ChosenCamera();
        devices->SetChosenCamera(stored_.videoDevice);
        WriteSettingString(&settings_, qvini::kVideo, qvini::kVideoDevice, stored_.videoDevice);
    }
}

LParam CQuorvaneDlg::OnAutoCropChanged(WParam on) {
    if (workRegion_ != nullptr) {
        workRegion_->GetVideoItem()->SetAutoCropMode(on != 0 ? 2 : 0);
    }
    stored_.autoCrop = on != 0;
    WriteSettingInt(&settings_, qvini::kPic, qvini::kAutoCrop, stored_.autoCrop ? 1 : 0);
    return 0;
}
