// "文字识别": the text of the shown picture, read in the background while the window keeps
// working, then shown in the text result dialog.

#include <QTimer>

#include "app/quorvane_dlg.h"
#include "app/work_region_mgr.h"
#include "dialogs/text_result_dialog.h"
#include "ocr/ocr_pdf_text_reader.h"
#include "ocr/text_recogniser.h"
#include "ocr/text_recognition_job.h"
#include "platform/message_box.h"
#include "ui/busy_panel.h"
#include "view/picture_item.h"

namespace {
constexpr int kProgressPeriodMs = 100;
}

bool CQuorvaneDlg::IsRecognisingText() const {
    return textJob_ != nullptr && textJob_->IsRunning();
}

void CQuorvaneDlg::RecogniseText() {
    if (IsRecognisingText()) {
        textBusy_->raise();
        QvMessageBox(QStringLiteral("正在识别文字，请等待识别完成，或按“取消”结束。"),
                     NoticeCaption());
        return;
    }
    if (WorkMode() != CWorkRegionMgr::kModePicture)
        return;
    CPicItem* still = workRegion_->GetPictureItem();
    // The picture as the user sees it: turned, cropped and written on.
    const CDibImage& picture = still->GetDisplayImage();
    if (!picture.IsValid()) {
        QvMessageBox(QStringLiteral("无法读取图片：%1").arg(still->GetFilePath()), ErrorCaption(),
                     MessageIcon::kError);
        return;
    }
    still->SelectionToImage();
    const QvRect region = still->GetSelectionImageRect();

    if (textJob_ == nullptr) {
        textRecogniser_ = std::make_shared<CTextRecogniser>();
        textJob_ = new CTextRecognitionJob(textRecogniser_, this);
        connect(textJob_, &CTextRecognitionJob::Finished, this, &CQuorvaneDlg::OnTextRecognised);
        textBusy_ = new CBusyPanel(this);
        textBusy_->SetText(QStringLiteral("正在识别文字…"));
        connect(textBusy_, &CBusyPanel::CancelRequested, this,
                &CQuorvaneDlg::CancelTextRecognition);
        textProgressTimer_ = new QTimer(this);
        textProgressTimer_->setInterval(kProgressPeriodMs);
        connect(textProgressTimer_, &QTimer::timeout, this,
                [this] { textBusy_->SetProgress(textJob_->Progress()); });
    }
    textPicturePath_ = still->GetFilePath();
    textPicture_ = picture;
    textJob_->Start(picture, region);
    textBusy_->SetProgress(0);
    textBusy_->ShowOver(workRegion_->geometry());
    textProgressTimer_->start();
}

void CQuorvaneDlg::PlaceTextBusyPanel() {
    if (textBusy_ != nullptr && textBusy_->isVisible())
        textBusy_->ShowOver(workRegion_->geometry());
}

void CQuorvaneDlg::CancelTextRecognition() {
    if (IsRecognisingText())
        textJob_->Cancel();
}

void CQuorvaneDlg::OnTextRecognised(const OcrOutcome& outcome) {
    textProgressTimer_->stop();
    textBusy_->hide();
    switch (outcome.status) {
        case OcrStatus::kCancelled:
            break;
        case OcrStatus::kDone:
            textLayer_ = COcrPdfTextReader::PageText(outcome.page);
            ShowTextResult(outcome.page.text, textPicturePath_);
            break;
        default:
            QvMessageBox(outcome.error, ErrorCaption(), MessageIcon::kError);
            break;
    }
}

void CQuorvaneDlg::ShowTextResult(const QString& text, const QString& picture) {
    if (textPresenter_) {
        textPresenter_(text, picture);
        return;
    }
    CTextResultDlg dialog(text, picture, this);
    dialog.SetPdfPage(textPicture_, textLayer_);
    dialog.exec();
    textPicture_.Destroy();
    textLayer_.clear();
}
