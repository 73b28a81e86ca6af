#pragma once
// The picture as the recognition engine reads it best: one grey byte a pixel, rows top first,
// without the dark desk around a photographed page, and scaled so that its text stands at the
// height the engine reads best. Small print is
// enlarged (at most twice); large print is reduced by averaging, which also smooths the sensor
// noise of a photograph. Pictures of any depth come in; huge ones are reduced to a size the
// engine can hold.

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/win_types.h"

class CDibImage;

struct OcrPicture {
    std::vector<uint8_t> grey;  // width * height bytes, rows top first, no padding
    int32_t width = 0;
    int32_t height = 0;
    // Prepared pixels per picture pixel, and where the prepared picture starts in the picture.
    double scale = 1.0;
    QvPoint origin;
    int32_t margin = 0;  // paper added around the picture on every side

    bool IsEmpty() const { return grey.empty(); }
    // A box of the prepared picture in the pixels of the picture it came from.
    QvRect ToPicture(const QvRect& box) const;
};

// Glyph height (the 75th percentile of the letters' ink heights) the engine reads best, and the
// band around it that is left at its own scale.
constexpr int32_t kOcrGlyphHeight = 24;
constexpr int32_t kOcrSmallGlyph = 14;
constexpr int32_t kOcrLargeGlyph = 30;
// The prepared picture never exceeds this many pixels, nor this side length.
constexpr int64_t kOcrMaxPixels = 40'000'000;
constexpr int32_t kOcrMaxSide = 30000;

// Grey copy of a picture (1, 4, 8 or 24 bits), rows top first. Empty when the picture is not
// valid or its rows cannot be held.
std::vector<uint8_t> OcrGreyPixels(const CDibImage& image);

// The scale at which the picture's glyphs reach kOcrGlyphHeight, or 1 when they already lie in
// the band (or when there are too few to tell). glyphHeight is the measured height, 0 if none.
double OcrScaleForGlyphs(int32_t glyphHeight);

// Prepares `image`, or only `region` of it when that is not empty (clipped to the picture).
// Empty when there is nothing to read, or when `cancel` (may be null) was set while it worked.
OcrPicture PrepareOcrPicture(const CDibImage& image, const QvRect& region = QvRect(),
                             const std::atomic<bool>* cancel = nullptr);
