#include "ocr/text_recognition_job.h"

#include "ocr/text_recogniser.h"

CTextRecognitionJob::CTextRecognitionJob(std::shared_ptr<CTextRecogniser> recogniser,
                                         QObject* parent)
    : QObject(parent), recogniser_(std::move(recogniser)) {}

CTextRecognitionJob::~CTextRecognitionJob() {
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool CTextRecognitionJob::Start(CDibImage picture, const QvRect& region) {
    if (running_)
        return false;
    if (thread_.joinable())
        thread_.join();
    running_ = true;
    cancel_ = false;
    progress_ = 0;
    thread_ = std::thread([this, picture = std::move(picture), region] {
        // Recognition thread: reads the picture, then hands the outcome to the owner's thread.
        OcrOutcome outcome = recogniser_->Recognise(picture, region, &cancel_, &progress_);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)] { Deliver(outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void CTextRecognitionJob::Cancel() {
    cancel_ = true;
}

void CTextRecognitionJob::Deliver(const OcrOutcome& outcome) {
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    emit Finished(outcome);
}
