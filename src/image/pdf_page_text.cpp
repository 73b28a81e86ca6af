#include "image/pdf_page_text.h"

#include <QList>
#include <algorithm>

namespace {

// Characters of Chinese (and Japanese) writing and their full-width punctuation, which stand
// without spaces between words.
bool IsWide(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0x20000 && c <= 0x3FFFF);
}

// The left and right edges of a line's words, in picture pixels, as readers should see them.
// The engine's word boxes in Chinese may reach over the next words; readers that find words
// overlapping break the line apart, so a word ends where the next begins. Between two words of
// Chinese there is no space in the text, so the gap between them is closed too: readers insert
// a space wherever they see one.
std::vector<std::pair<int32_t, int32_t>> WordEdges(const PdfPictureLine& line,
                                                   const std::vector<std::u32string>& texts) {
    std::vector<std::pair<int32_t, int32_t>> edges;
    for (const PdfPictureWord& word : line.words)
        edges.emplace_back(word.box.left, word.box.right);
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
        const int32_t next = edges[i + 1].first;
        if (next <= edges[i].first || texts[i].empty() || texts[i + 1].empty())
            continue;
        if (edges[i].second > next || (IsWide(texts[i].back()) && IsWide(texts[i + 1].front())))
            edges[i].second = next;
    }
    return edges;
}

}  // namespace

std::vector<PdfTextWord> PdfPlaceText(const PdfPageText& text, uint32_t width, uint32_t height,
                                      const PdfPlacement& placement) {
    std::vector<PdfTextWord> words;
    if (width == 0 || height == 0)
        return words;
    const double sx = placement.width / width;
    const double sy = placement.height / height;
    for (const PdfPictureLine& line : text) {
        std::vector<std::u32string> texts;
        for (const PdfPictureWord& word : line.words) {
            const QList<uint> code = word.text.toUcs4();
            texts.emplace_back(code.begin(), code.end());
        }
        const auto edges = WordEdges(line, texts);
        for (size_t i = 0; i < texts.size(); ++i) {
            PdfTextWord placed;
            placed.text = std::move(texts[i]);
            placed.x = placement.x + edges[i].first * sx;
            placed.y = placement.y + (double(height) - line.box.bottom) * sy;
            placed.width = (edges[i].second - edges[i].first) * sx;
            placed.height = line.box.Height() * sy;
            words.push_back(std::move(placed));
        }
    }
    return words;
}
