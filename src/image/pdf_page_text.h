#pragma once
// The recognised text of a page's picture as the PDF maker takes it, the reader that finds it,
// and where its words lie on the page. The maker knows nothing of how text is recognised: the
// program hands it readers (src/ocr) that do.

#include <QString>
#include <atomic>
#include <vector>

#include "image/pdf_text_font.h"
#include "image/pdf_writer.h"
#include "platform/win_types.h"

class CDibImage;

// Boxes are in the pixels of the picture that was read, from its top-left corner.
struct PdfPictureWord {
    QString text;
    QvRect box;
};

struct PdfPictureLine {
    QvRect box;
    std::vector<PdfPictureWord> words;  // in reading order
};

// The lines of a page in reading order; empty when the page has no text.
using PdfPageText = std::vector<PdfPictureLine>;

// Reads the text of page pictures. The maker gives each of its threads a reader of its own, so a
// reader reads one picture at a time.
class CPdfTextReader {
public:
    virtual ~CPdfTextReader() = default;
    // Reads picture into text. cancel (may be null) is polled while reading; the maker tells a
    // cancelled read by its own flag. False, with error saying why for the user, when the text
    // cannot be read.
    virtual bool Read(const CDibImage& picture, const std::atomic<bool>* cancel, PdfPageText& text,
                      QString& error) = 0;
};

// The words of text on a page where a picture of width x height pixels lies at placement: each
// word keeps its left edge, reaches to the next word (with the space between them, if any) and
// takes its line's top and bottom, so a line's words share one baseline and one height, as
// readers expect of a line.
std::vector<PdfTextWord> PdfPlaceText(const PdfPageText& text, uint32_t width, uint32_t height,
                                      const PdfPlacement& placement);
