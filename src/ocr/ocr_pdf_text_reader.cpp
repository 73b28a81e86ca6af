#include "ocr/ocr_pdf_text_reader.h"

#include <dlfcn.h>

#include "ocr/text_recogniser.h"

namespace {

// The maker reads pages side by side, one a core. The engine's own OpenMP helper threads would
// then only compete for the cores, and they wait for each other by spinning: on a machine busy
// with other work a page took four times as long (8.3 s against 1.9 s). Parallel regions started
// from the calling thread then run on it alone (OpenMP keeps this setting per thread). The
// runtime is the engine's: it is looked up where the engine loaded it, and an engine built
// without OpenMP needs nothing.
void KeepEngineOnThisThread() {
    using SetLevels = void (*)(int);
    static const auto set =
        reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    if (set != nullptr)
        set(0);
}

}  // namespace

COcrPdfTextReader::COcrPdfTextReader(std::shared_ptr<CTextRecogniser> recogniser)
    : recogniser_(std::move(recogniser)) {}

bool COcrPdfTextReader::Read(const CDibImage& picture, const std::atomic<bool>* cancel,
                             PdfPageText& text, QString& error) {
    KeepEngineOnThisThread();
    const OcrOutcome outcome = recogniser_->Recognise(picture, QvRect(), cancel);
    if (outcome.status == OcrStatus::kCancelled)
        return false;
    if (outcome.status != OcrStatus::kDone) {
        error = outcome.error;
        return false;
    }
    text = PageText(outcome.page);
    return true;
}

CPdfMaker::TextReaders COcrPdfTextReader::Readers() {
    return [] { return std::make_unique<COcrPdfTextReader>(std::make_shared<CTextRecogniser>()); };
}

PdfPageText COcrPdfTextReader::PageText(const OcrPage& page) {
    PdfPageText text;
    for (const OcrLine& line : page.lines) {
        PdfPictureLine placed;
        placed.box = line.box;
        for (const OcrWord& word : line.words)
            placed.words.push_back({word.text, word.box});
        text.push_back(std::move(placed));
    }
    return text;
}
