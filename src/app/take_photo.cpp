// One photograph: naming, the picture counter and the save pipeline of the work region; and
// continuous photos, on timer 1 or on each new page.

#include <QTimer>

#include "app/continuous_period.h"
#include "app/page_capture.h"
#include "app/quorvane_dlg.h"
#include "app/save_notice.h"
#include "app/work_region_mgr.h"
#include "ui/color_mode_panel.h"
#include "ui/qv_button.h"
#include "ui/save_option_panel.h"
#include "view/picture_view.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

int CQuorvaneDlg::PhotoColourMode() const {
    return colourModePanel_ != nullptr ? colourModePanel_->Mode() : 0;
}

PhotoOptions CQuorvaneDlg::CurrentPhotoOptions() const {
    PhotoOptions options;
    options.quality = saveOptionPanel_ != nullptr ? saveOptionPanel_->Quality() : stored_.quality;
    options.saveRotateLeft = saveOptionPanel_ != nullptr && saveOptionPanel_->IsTurnLeft();
    options.saveRotateRight = saveOptionPanel_ != nullptr && saveOptionPanel_->IsTurnRight();
    options.watermarkText = watermarkText_;
    options.dateWatermark = dateWatermark_;
    options.watermarkX = watermarkX_;
    options.watermarkY = watermarkY_;
    options.watermarkFont.face = watermarkFont_.family();
    options.watermarkFont.height =
        watermarkFont_.pixelSize() > 0 ? watermarkFont_.pixelSize() : stored_.watermark.height;
    options.watermarkFont.weight = watermarkFont_.weight();
    options.watermarkFont.italic = watermarkFont_.italic();
    options.watermarkFont.underline = watermarkFont_.underline();
    options.watermarkColour = watermarkColour_;
    return options;
}

QString CQuorvaneDlg::NextPhotoPath(const QString& extension, int* counter) const {
    return photoNamer_.NextPath(stored_.nameMode, stored_.picPath, stored_.picName, *counter,
                                extension);
}

void CQuorvaneDlg::TakePhoto() {
    // The still picture offers nothing to photograph: Enter does what the disabled button does.
    if (WorkMode() != CWorkRegionMgr::kModeLive) {
        return;
    }
    // Without a live picture (the camera unplugged, or none at all) there is nothing to
    // photograph: say so, and spend no name on it.
    CVideoItem* video = workRegion_ != nullptr ? workRegion_->GetVideoItem() : nullptr;
    if (video != nullptr && !video->HasImage()) {
        if (saveNotice_ != nullptr)
            saveNotice_->ShowMessage(NoLivePictureText());
        return;
    }
    const QString extension = CPhotoNamer::PhotoExtension(pictureExtension_, PhotoColourMode());
    // A number is spent only on a photo that was written.
    int counter = stored_.picIndex;
    const QString path = NextPhotoPath(extension, &counter);
    PhotoOptions options = CurrentPhotoOptions();
    // Another copy of the program saving into the same folder may take the name meanwhile.
    options.nextFreeName = [this, extension, &counter] {
        return NextPhotoPath(extension, &counter);
    };

    PhotoResult result;
    if (workRegion_ != nullptr) {
        result = workRegion_->RequestPhoto(path, options);
    }
    if (!result.saved) {
        ReportUnsavedPhoto(path, result);
        return;
    }
    stored_.picIndex = counter;
    WriteSettingInt(&settings_, qvini::kPic, qvini::kPicIndex, counter);
    if (thumbnails_ != nullptr) {
        thumbnails_->AddPicture(result.thumbnail, result.path);
    }
}

void CQuorvaneDlg::ReportUnsavedPhoto(const QString& path, const PhotoResult& result) {
    if (saveNotice_ == nullptr) {
        return;
    }
    QString reason = result.failure;
    if (path.isEmpty() && CPhotoNamer::IsKnownMode(stored_.nameMode)) {
        reason = QStringLiteral("没有可用的文件名：%1").arg(stored_.picPath);
    } else if (path.isEmpty()) {
        reason = QStringLiteral("文件命名方式 %1 无效，照片没有文件名").arg(stored_.nameMode);
    }
    saveNotice_->ShowFailure(path, reason);
}

void CQuorvaneDlg::StopContinuous() {
    if (!continuousRunning_) {
        return;
    }
    Button(mainctl::kContinuous)->SetText(15, 15, QStringLiteral("开始连拍"));
    if (continuousTimer_ != nullptr) {
        continuousTimer_->stop();
    }
    if (pageCapture_ != nullptr) {
        pageCapture_->Stop();
    }
    continuousRunning_ = false;
}

void CQuorvaneDlg::SetCaptureInterval(int seconds) {
    captureInterval_ = seconds;
    if (continuousRunning_ && continuousTimer_ != nullptr && continuousTimer_->isActive()) {
        continuousTimer_->setInterval(ContinuousPeriodMs(captureInterval_));
    }
}

void CQuorvaneDlg::ToggleContinuous() {
    if (continuousRunning_) {
        StopContinuous();
        return;
    }
    if (stored_.autoMode == 1) {
        StartPageCapture();
        return;
    }
    if (continuousTimer_ == nullptr) {
        continuousTimer_ = new QTimer(this);
        connect(continuousTimer_, &QTimer::timeout, this, &CQuorvaneDlg::TakePhoto);
    }
    TakePhoto();
    continuousTimer_->start(ContinuousPeriodMs(captureInterval_));
    Button(mainctl::kContinuous)->SetText(15, 15, QStringLiteral("停止连拍"));
    continuousRunning_ = true;
}

// The page lying there is photographed once it lies still, then each new page; nothing at once.
void CQuorvaneDlg::StartPageCapture() {
    if (pageCapture_ == nullptr) {
        pageCapture_ = new CPageCapture([this] { TakePhoto(); }, this);
    }
    if (workRegion_ == nullptr || !pageCapture_->Start(workRegion_->GetVideoItem())) {
        return;
    }
    Button(mainctl::kContinuous)->SetText(15, 15, QStringLiteral("停止连拍"));
    continuousRunning_ = true;
}
