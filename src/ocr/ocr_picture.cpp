#include "ocr/ocr_picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "image/dib_image.h"
#include "image/dib_pixels.h"
#include "ocr/grey_resample.h"
#include "ocr/ink_pieces.h"

namespace {

uint8_t Grey(uint8_t r, uint8_t g, uint8_t b) {
    return uint8_t((306 * r + 601 * g + 117 * b) >> 10);
}

QvRect Clip(const CDibImage& image, const QvRect& region) {
    const QvRect whole{0, 0, int32_t(image.GetWidth()), int32_t(image.GetHeight())};
    if (region.IsEmpty())
        return whole;
    return QvRect{std::max(region.left, 0), std::max(region.top, 0),
                  std::min(region.right, whole.right), std::min(region.bottom, whole.bottom)};
}

// Grey of one stored row's pixels from column `left` on, `count` of them.
void GreyRow(const CDibImage& image, const std::array<uint8_t, 256>& paletteGrey,
             const uint8_t* row, int32_t left, int32_t count, uint8_t* out) {
    const uint32_t bits = image.GetBpp();
    if (bits == 24) {
        const uint8_t* p = row + size_t(left) * 3;
        for (int32_t x = 0; x < count; ++x, p += 3)
            out[x] = Grey(p[2], p[1], p[0]);
        return;
    }
    for (int32_t x = 0; x < count; ++x)
        out[x] = paletteGrey[GetPackedIndex(row, uint32_t(left + x), bits)];
}

// Grey of the picture's pixels inside `area` (picture pixels from the top-left corner), each
// result pixel the average of a block of step x step pixels (the last ones may be smaller).
std::vector<uint8_t> GreyOf(const CDibImage& image, const QvRect& area, int32_t step) {
    const int32_t w = (area.Width() + step - 1) / step;
    const int32_t h = (area.Height() + step - 1) / step;
    std::vector<uint8_t> grey(size_t(w) * size_t(h));
    std::array<uint8_t, 256> paletteGrey{};
    for (uint32_t i = 0; i < image.GetNumColors() && i < 256; ++i) {
        const QvColour c = image.GetPaletteColor(i);
        paletteGrey[i] = Grey(QvRed(c), QvGreen(c), QvBlue(c));
    }
    if (step == 1) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* row = image.GetRow(image.GetHeight() - 1 - uint32_t(area.top + y));
            GreyRow(image, paletteGrey, row, area.left, w, grey.data() + size_t(y) * size_t(w));
        }
        return grey;
    }
    std::vector<uint8_t> line(size_t(area.Width()));
    std::vector<uint32_t> sums(static_cast<size_t>(w));
    std::vector<uint32_t> counts(static_cast<size_t>(w));
    for (int32_t y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        std::fill(counts.begin(), counts.end(), 0u);
        for (int32_t r = y * step; r < std::min(area.Height(), (y + 1) * step); ++r) {
            const uint8_t* row = image.GetRow(image.GetHeight() - 1 - uint32_t(area.top + r));
            GreyRow(image, paletteGrey, row, area.left, area.Width(), line.data());
            for (int32_t x = 0; x < area.Width(); ++x) {
                sums[size_t(x / step)] += line[size_t(x)];
                ++counts[size_t(x / step)];
            }
        }
        uint8_t* out = grey.data() + size_t(y) * size_t(w);
        for (int32_t x = 0; x < w; ++x)
            out[x] = uint8_t((sums[size_t(x)] + counts[size_t(x)] / 2) / counts[size_t(x)]);
    }
    return grey;
}

// The paper's grey: the most frequent value from `lightest` up.
uint8_t PaperLevel(const std::vector<uint8_t>& grey, int lightest) {
    std::array<uint64_t, 256> histogram{};
    for (uint8_t v : grey)
        ++histogram[v];
    const auto from = histogram.begin() + std::clamp(lightest, 0, 255);
    return uint8_t(std::max_element(from, histogram.end()) - histogram.begin());
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

// A margin of paper around the page: text that touches the picture's edge (a tight selection
// box) is otherwise often missed.
std::vector<uint8_t> AddMargin(const std::vector<uint8_t>& grey, int32_t width, int32_t height,
                               int32_t margin, uint8_t paper) {
    const int32_t w = width + 2 * margin;
    std::vector<uint8_t> out(size_t(w) * size_t(height + 2 * margin), paper);
    for (int32_t y = 0; y < height; ++y)
        std::copy_n(grey.data() + size_t(y) * size_t(width), width,
                    out.data() + size_t(y + margin) * size_t(w) + size_t(margin));
    return out;
}

}  // namespace

QvRect OcrPicture::ToPicture(const QvRect& box) const {
    const auto at = [&](int32_t v, int32_t shift) {
        return shift + int32_t(std::lround((v - margin) / scale));
    };
    return QvRect{at(box.left, origin.x), at(box.top, origin.y), at(box.right, origin.x),
                  at(box.bottom, origin.y)};
}

std::vector<uint8_t> OcrGreyPixels(const CDibImage& image) {
    if (!image.IsValid())
        return {};
    return GreyOf(image, Clip(image, QvRect()), 1);
}

double OcrScaleForGlyphs(int32_t glyphHeight) {
    if (glyphHeight <= 0)
        return 1.0;
    if (glyphHeight > kOcrLargeGlyph)
        return double(kOcrGlyphHeight) / glyphHeight;
    if (glyphHeight < kOcrSmallGlyph)
        return std::min(2.0, double(kOcrGlyphHeight) / glyphHeight);
    return 1.0;
}

OcrPicture PrepareOcrPicture(const CDibImage& image, const QvRect& region,
                             const std::atomic<bool>* cancel) {
    OcrPicture picture;
    if (!image.IsValid())
        return picture;
    const QvRect area = Clip(image, region);
    if (area.Width() < 2 || area.Height() < 2)
        return picture;
    // A huge picture is reduced while it is read, so that its full-size grey copy is never held.
    const int64_t pixels = int64_t(area.Width()) * area.Height();
    const int32_t step =
        pixels > kOcrMaxPixels ? int32_t(std::ceil(std::sqrt(double(pixels) / kOcrMaxPixels))) : 1;
    std::vector<uint8_t> grey = GreyOf(image, area, step);
    if (Cancelled(cancel))
        return picture;
    const int32_t w = (area.Width() + step - 1) / step;
    const int32_t h = (area.Height() + step - 1) / step;

    // The dark desk around a photographed page goes, wherever the page lies (also against an
    // edge, where the page itself would count as the frame of light print on a dark ground);
    // what is left is measured.
    uint8_t paper = PaperLevel(grey, 0);
    const CInkPieces light(grey.data(), w, h, w, CInkPieces::Ink::kLight);
    if (light.HasLargePiece()) {
        paper = PaperLevel(grey, light.Level() + 1);
        CInkPieces(grey.data(), w, h, w, CInkPieces::Ink::kDark).ClearFrame(grey.data(), paper);
    } else {
        CInkPieces(grey.data(), w, h, w).ClearFrame(grey.data(), paper);
    }
    if (Cancelled(cancel))
        return picture;
    const CInkPieces ink(grey.data(), w, h, w);
    double scale = OcrScaleForGlyphs(ink.GlyphHeight());
    const double scaled = double(w) * h * scale * scale;
    if (scaled > double(kOcrMaxPixels))
        scale *= std::sqrt(double(kOcrMaxPixels) / scaled);
    scale = std::min(scale, double(kOcrMaxSide) / std::max(w, h));
    const int32_t newWidth = std::max(1, int32_t(std::lround(w * scale)));
    const int32_t newHeight = std::max(1, int32_t(std::lround(h * scale)));
    if (Cancelled(cancel))
        return picture;
    if (newWidth != w || newHeight != h)
        grey = ResampleGrey(grey.data(), w, h, newWidth, newHeight);

    picture.margin = kOcrGlyphHeight / 2;
    picture.grey = AddMargin(grey, newWidth, newHeight, picture.margin, paper);
    picture.width = newWidth + 2 * picture.margin;
    picture.height = newHeight + 2 * picture.margin;
    picture.scale = double(newWidth) / area.Width();
    picture.origin = QvPoint{area.left, area.top};
    return picture;
}
