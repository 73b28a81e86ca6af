#include "image/pdf_page_text.h"

#include <QList>
#include <algorithm>

#include "image/wide_characters.h"

namespace {

// Between two words of Chinese there is no space.
bool SpaceBetween(const std::u32string& word, const std::u32string& next) {
    return !word.empty() && !next.empty() &&
           !(IsWideCharacter(word.back()) && IsWideCharacter(next.front()));
}

// The left and right edges of a line's words, in picture pixels, as readers should see them: a
// word ends where the next begins. The engine's word boxes in Chinese may reach over the next
// words, and readers that find words overlapping break the line apart; readers also guess a space
// from a gap, and in a slanted photo the line is taller than its letters, so a gap seems too
// narrow for one. The space between words is therefore a character of its own (texts gains it),
// drawn in the gap.
std::vector<std::pair<int32_t, int32_t>> WordEdges(const PdfPictureLine& line,
                                                   std::vector<std::u32string>& texts) {
    std::vector<std::pair<int32_t, int32_t>> edges;
    for (const PdfPictureWord& word : line.words)
        edges.emplace_back(word.box.left, word.box.right);
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
        const int32_t next = edges[i + 1].first;
        if (next <= edges[i].first || texts[i].empty() || texts[i + 1].empty())
            continue;
        if (SpaceBetween(texts[i], texts[i + 1]))
            texts[i] += U' ';
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
