#include "ocr/ink_pieces.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// Letter-sized pieces: at least this tall, at most this tall, and not much wider than tall
// (which leaves out rules, underlines and flat strokes).
constexpr int32_t kMinGlyphHeight = 4;
constexpr int32_t kMaxGlyphHeight = 400;
constexpr int32_t kMaxWidthPerHeight = 3;
// A piece on the edge that reaches along a quarter of a side is frame, not text.
constexpr int32_t kFrameFraction = 4;
// A piece whose box covers a sixteenth of the picture is a page (a quarter of it both ways, or
// a narrow page at the end of a wide picture), never a letter.
constexpr int64_t kLargeFraction = 16;

}  // namespace

uint8_t InkLevel(const uint8_t* grey, int32_t width, int32_t height, int32_t stride) {
    std::array<uint64_t, 256> histogram{};
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = grey + size_t(y) * size_t(stride);
        for (int32_t x = 0; x < width; ++x)
            ++histogram[row[x]];
    }
    double total = 0, sum = 0;
    for (int i = 0; i < 256; ++i) {
        total += double(histogram[size_t(i)]);
        sum += double(i) * double(histogram[size_t(i)]);
    }
    double below = 0, belowSum = 0, best = -1;
    uint8_t level = 127;
    for (int i = 0; i < 255; ++i) {
        below += double(histogram[size_t(i)]);
        belowSum += double(i) * double(histogram[size_t(i)]);
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double difference = belowSum / below - (sum - belowSum) / above;
        const double between = below * above * difference * difference;
        if (between > best) {
            best = between;
            level = uint8_t(i);
        }
    }
    return level;
}

CInkPieces::CInkPieces(const uint8_t* grey, int32_t width, int32_t height, int32_t stride, Ink ink)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), stride_(stride) {
    rowFirst_.assign(size_t(height_) + 1, 0);
    if (grey == nullptr || width_ == 0 || height_ == 0)
        return;
    level_ = InkLevel(grey, width_, height_, stride_);
    bool darkInk = ink == Ink::kDark;
    if (ink == Ink::kRarer) {
        uint64_t dark = 0;
        for (int32_t y = 0; y < height_; ++y) {
            const uint8_t* row = grey + size_t(y) * size_t(stride_);
            for (int32_t x = 0; x < width_; ++x)
                dark += row[x] <= level_;
        }
        darkInk = dark * 2 <= uint64_t(width_) * uint64_t(height_);
    }
    FindRuns(grey, darkInk, level_);
    Measure();
}

int32_t CInkPieces::Find(int32_t i) {
    while (runs_[size_t(i)].parent != i) {
        runs_[size_t(i)].parent = runs_[size_t(runs_[size_t(i)].parent)].parent;
        i = runs_[size_t(i)].parent;
    }
    return i;
}

void CInkPieces::Unite(int32_t a, int32_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b)
        runs_[size_t(std::max(a, b))].parent = std::min(a, b);
}

void CInkPieces::FindRuns(const uint8_t* grey, bool darkInk, uint8_t level) {
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* row = grey + size_t(y) * size_t(stride_);
        const auto ink = [&](int32_t x) { return (row[x] <= level) == darkInk; };
        rowFirst_[size_t(y)] = int32_t(runs_.size());
        for (int32_t x = 0; x < width_;) {
            if (!ink(x)) {
                ++x;
                continue;
            }
            Run run;
            run.start = x;
            while (x < width_ && ink(x))
                ++x;
            run.end = x;
            run.parent = int32_t(runs_.size());
            runs_.push_back(run);
        }
        if (y == 0)
            continue;
        // The runs of both rows are sorted: walk them together.
        int32_t above = rowFirst_[size_t(y) - 1];
        const int32_t aboveEnd = rowFirst_[size_t(y)];
        for (int32_t i = aboveEnd; i < int32_t(runs_.size()); ++i) {
            while (above < aboveEnd && runs_[size_t(above)].end < runs_[size_t(i)].start)
                ++above;
            for (int32_t j = above; j < aboveEnd && runs_[size_t(j)].start <= runs_[size_t(i)].end;
                 ++j)
                Unite(i, j);
        }
    }
    rowFirst_[size_t(height_)] = int32_t(runs_.size());
}

void CInkPieces::Measure() {
    extents_.assign(runs_.size(), Extent());
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t i = rowFirst_[size_t(y)]; i < rowFirst_[size_t(y) + 1]; ++i) {
            const Run& run = runs_[size_t(i)];
            Extent& e = extents_[size_t(Find(i))];
            if (!e.used)
                e = Extent{run.start, y, run.end - 1, y, false, true};
            e.left = std::min(e.left, run.start);
            e.right = std::max(e.right, run.end - 1);
            e.bottom = y;
            e.touchesEdge =
                e.touchesEdge || y == 0 || y == height_ - 1 || run.start == 0 || run.end == width_;
        }
    }
}

bool CInkPieces::IsFrame(const Extent& e) const {
    return e.used && e.touchesEdge &&
           (kFrameFraction * (e.bottom - e.top + 1) > height_ ||
            kFrameFraction * (e.right - e.left + 1) > width_);
}

bool CInkPieces::HasLargePiece() const {
    const int64_t area = int64_t(width_) * height_;
    return std::any_of(extents_.begin(), extents_.end(), [area](const Extent& e) {
        return e.used &&
               kLargeFraction * int64_t(e.bottom - e.top + 1) * (e.right - e.left + 1) >= area;
    });
}

int32_t CInkPieces::GlyphHeight() const {
    std::vector<int32_t> heights;
    for (const Extent& e : extents_) {
        if (!e.used || e.touchesEdge)
            continue;
        const int32_t h = e.bottom - e.top + 1;
        const int32_t w = e.right - e.left + 1;
        if (h >= kMinGlyphHeight && h <= kMaxGlyphHeight && w <= kMaxWidthPerHeight * h)
            heights.push_back(h);
    }
    if (heights.size() < size_t(kMinGlyphs))
        return 0;
    const size_t at = (heights.size() - 1) * 3 / 4;
    std::nth_element(heights.begin(), heights.begin() + std::ptrdiff_t(at), heights.end());
    return heights[at];
}

int CInkPieces::ClearFrame(uint8_t* grey, uint8_t paper) const {
    int cleared = 0;
    for (const Extent& e : extents_)
        cleared += IsFrame(e);
    if (cleared == 0)
        return 0;
    // Find() compresses paths; a copy of the parents keeps this function const.
    std::vector<Run> runs = runs_;
    const auto root = [&runs](int32_t i) {
        while (runs[size_t(i)].parent != i)
            i = runs[size_t(i)].parent = runs[size_t(runs[size_t(i)].parent)].parent;
        return i;
    };
    for (int32_t y = 0; y < height_; ++y) {
        uint8_t* row = grey + size_t(y) * size_t(stride_);
        for (int32_t i = rowFirst_[size_t(y)]; i < rowFirst_[size_t(y) + 1]; ++i) {
            if (IsFrame(extents_[size_t(root(i))]))
                std::fill(row + runs[size_t(i)].start, row + runs[size_t(i)].end, paper);
        }
    }
    return cleared;
}
