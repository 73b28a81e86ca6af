#pragma once
// COcrPdfTextReader: the PDF maker's text reader over the text-recognition engine, so that a PDF
// carries each page's recognised text (simplified Chinese and English) as a searchable layer.

#include <memory>

#include "image/pdf_maker.h"
#include "ocr/ocr_result.h"

class CTextRecogniser;

class COcrPdfTextReader : public CPdfTextReader {
public:
    explicit COcrPdfTextReader(std::shared_ptr<CTextRecogniser> recogniser);

    bool Read(const CDibImage& picture, const std::atomic<bool>* cancel, PdfPageText& text,
              QString& error) override;

    // Readers for the maker's threads, each with an engine of its own for the default languages.
    static CPdfMaker::TextReaders Readers();

    // A recognised page's lines and words as the maker takes them.
    static PdfPageText PageText(const OcrPage& page);

private:
    std::shared_ptr<CTextRecogniser> recogniser_;
};
