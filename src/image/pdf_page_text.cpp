#include "image/pdf_page_text.h"

#include <QList>

std::vector<PdfTextWord> PdfPlaceText(const PdfPageText& text, uint32_t width, uint32_t height,
                                      const PdfPlacement& placement) {
    std::vector<PdfTextWord> words;
    if (width == 0 || height == 0)
        return words;
    const double sx = placement.width / width;
    const double sy = placement.height / height;
    for (const PdfPictureLine& line : text) {
        for (const PdfPictureWord& word : line.words) {
            const QList<uint> code = word.text.toUcs4();
            PdfTextWord placed;
            placed.text.assign(code.begin(), code.end());
            placed.x = placement.x + word.box.left * sx;
            placed.y = placement.y + (double(height) - line.box.bottom) * sy;
            placed.width = word.box.Width() * sx;
            placed.height = line.box.Height() * sy;
            words.push_back(std::move(placed));
        }
    }
    return words;
}
