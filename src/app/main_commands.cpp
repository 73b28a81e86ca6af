// The main window's command dispatch: every button click arrives here with the button's id.

#include <QDesktopServices>
#include <QUrl>
#include <functional>

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
    // The commands that change, save, print or read the still picture work on the whole
    // picture: while only its reduced copy is shown, they wait until the whole is read.
    const auto onWholePicture = [still](std::function<void()> command) {
        if (still != nullptr)
            still->WithFullPicture(std::move(command));
    };
    switch (id) {
        case mainctl::kMinimise:
            showMinimized();
            break;
        case mainctl::kClose:  // end the program: the modal loop ends and with it the application
            FinishRecording();
            done(0);
            break;
        case mainctl::kContinuous:
            ToggleContinuous();
            break;
        case mainctl::kTakePhoto:
            TakePhoto();
            break;
        case mainctl::kBackToLive:
            SendWindowMessage(this, qvmsg::kSetWorkMode, 0, 0);
            break;
        case mainctl::kZoomIn:
            if (current != nullptr)
                current->ZoomIn();
            break;
        case mainctl::kZoomOut:
            if (current != nullptr)
                current->ZoomOut();
            break;
        case mainctl::kRotateRight:
            onWholePicture([still] { still->RotateRight(); });
            break;
        case mainctl::kRotateLeft:
            onWholePicture([still] { still->RotateLeft(); });
            break;
        case mainctl::kCrop:
            onWholePicture([still] { still->CropToSelection(); });
            break;
        case mainctl::kBoxSelect:
            if (current != nullptr)
                current->SetBoxSelectArmed(true);
            break;
        case mainctl::kSaveAs:
            onWholePicture([still] { still->SaveAs(); });
            break;
        case mainctl::kAnnotate:
            onWholePicture([still] { still->ArmAnnotation(); });
            break;
        case mainctl::kWindowSize:
            ToggleActualSize();
            break;
        case mainctl::kMakePdf:
            RunPdfDialog();
            break;
        case mainctl::kOpenFolder:
            OpenStorageFolder();
            break;
        case mainctl::kCaptureSize:
            if (live)
                ShowCaptureSizePage();
            break;
        case mainctl::kCameraSettings:
            if (live)
                ShowCameraSettings();
            break;
        case mainctl::kFullScreen:
            EnterFullScreen();
            break;
        case mainctl::kMirror:  // takes effect with the next camera frame
            if (video != nullptr)
                video->SetNoMirror(!video->IsNoMirror());
            break;
        case mainctl::kFlip:
            if (video != nullptr)
                video->SetNoFlip(!video->IsNoFlip());
            break;
        case mainctl::kRecord:
            ToggleRecording();
            break;
        case mainctl::kRecordSettings:
            ShowRecordSettings();
            break;
        case mainctl::kStoragePath:
            ChooseStorageFolder();
            break;
        case mainctl::kNewFolder:
            CreateStorageFolder();
            break;
        case mainctl::kFileNaming:
            ChooseFileNaming();
            break;
        case mainctl::kPictureFormat:
            ChoosePictureFormat();
            break;
        case mainctl::kScanSize:
            ShowScanSize();
            break;
        case mainctl::kDefaults:
            RestoreDefaults();
            break;
        case mainctl::kPrint:
            onWholePicture([this] { PrintShownPicture(); });
            break;
        case mainctl::kPrintSetup:
            SetUpPrinter();
            break;
        case mainctl::kWatermark:
            ShowWatermarkDialog();
            break;
        case mainctl::kRecogniseText:
            onWholePicture([this] { RecogniseText(); });
            break;
        default:
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
