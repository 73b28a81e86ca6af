// The main window's command dispatch: every button click arrives here with the button's id.

#include <QDesktopServices>
#include <QUrl>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "capture/device_set.h"
#include "view/picture_item.h"
#include "view/picture_view.h"
#include "view/video_item.h"

LParam CQuorvaneDlg::OnButtonClicked(WParam id) {
    CPicture* current = CurrentItem();
    const bool live = WorkMode() == CWorkRegionMgr::kModeLive;
    CPicItem* still =
        WorkMode() == CWorkRegionMgr::kModePicture ? workRegion_->GetPictureItem() : nullptr;
    CPicture* video = live ? workRegion_->GetVideoItem() : nullptr;
    switch (id) {
        case 1029:  // minimise
            showMinimized();
            break;
        case 1030:  // end the program: the modal loop ends and with it the application
            done(0);
            break;
        case 1024:
            ToggleContinuous();
            break;
        case 1023:
            TakePhoto();
            break;
        case 1022:  // back to the live picture
            SendWindowMessage(this, qvmsg::kSetWorkMode, 0, 0);
            break;
        case 1013:
            if (current != nullptr)
                current->ZoomIn();
            break;
        case 1014:
            if (current != nullptr)
                current->ZoomOut();
            break;
        case 1016:
            if (still != nullptr)
                still->RotateRight();
            break;
        case 1015:
            if (still != nullptr)
                still->RotateLeft();
            break;
        case 1021:
            if (still != nullptr)
                still->CropToSelection();
            break;
        case 1019:
            if (current != nullptr)
                current->SetBoxSelectArmed(true);
            break;
        case 1020:
            if (still != nullptr)
                still->SaveAs();
            break;
        case 1017:
            if (still != nullptr)
                still->ArmAnnotation();
            break;
        case 1012:
            ToggleActualSize();
            break;
        case 1036:
            OpenStorageFolder();
            break;
        case 1004:
            if (live)
                ShowCaptureSizePage();
            break;
        case 1005:
            if (live && workRegion_->GetDeviceSet() != nullptr)
                workRegion_->GetDeviceSet()->ShowDeviceSettings();
            break;
        case 1011:
            EnterFullScreen();
            break;
        case 1007:  // takes effect with the next camera frame
            if (video != nullptr)
                video->SetNoMirror(!video->IsNoMirror());
            break;
        case 1008:
            if (video != nullptr)
                video->SetNoFlip(!video->IsNoFlip());
            break;
        default:  // 1010 "默认设置" and 1018 "文字识别" have no command
            break;
    }
    return 0;
}

void CQuorvaneDlg::ToggleActualSize() {
    actualSizeFlag_ = !actualSizeFlag_;
    if (WorkMode() != CWorkRegionMgr::kModeLive) {
        return;
    }
    CPicture* video = workRegion_->GetVideoItem();
    video->SetStretchToWindow(actualSizeFlag_);
    if (!actualSizeFlag_) {
        video->FitToWindow();
    }
    video->update();
}

void CQuorvaneDlg::OpenStorageFolder() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(stored_.picPath));
}

void CQuorvaneDlg::ShowCaptureSizePage() {
    CDeviceSet* devices = workRegion_->GetDeviceSet();
    if (devices == nullptr) {
        return;
    }
    devices->ShowFormatSettings();
    int width = 0;
    int height = 0;
    devices->GetCurrentFormat(&width, &height);
    if (width != 0 && height != 0) {
        stored_.videoWidth = width;
        stored_.videoHeight = height;
        WriteSettingInt(&settings_, qvini::kVideo, qvini::kVideoWidth, width);
        WriteSettingInt(&settings_, qvini::kVideo, qvini::kVideoHeight, height);
    }
}
