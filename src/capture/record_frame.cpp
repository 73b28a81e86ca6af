#include "capture/record_frame.h"

#include <array>
#include <cstring>
#include <vector>

#include "image/dib_image.h"
#include "image/dib_pixels.h"

namespace {

// The picture's index along one axis for frame index i: the same index while the sizes differ by
// at most one (nothing to scale), else the nearest neighbour.
uint32_t SourceIndex(uint32_t i, uint32_t source, uint32_t target) {
    if (source == target || source == target + 1)
        return i;
    return uint32_t(uint64_t(i) * source / target);
}

using Palette = std::array<uint8_t, 256 * 3>;

Palette ReadPalette(const CDibImage& picture) {
    Palette bgr{};
    const uint8_t* entries = picture.GetPalette();
    const uint32_t count = std::min<uint32_t>(picture.GetNumColors(), 256);
    for (uint32_t i = 0; entries != nullptr && i < count; ++i)
        std::memcpy(&bgr[i * 3], entries + i * 4, 3);
    return bgr;
}

void WriteRow(const CDibImage& picture, const uint8_t* row, const Palette& palette,
              const std::vector<uint32_t>& columns, uint8_t* out) {
    const uint32_t bits = picture.GetBpp();
    for (size_t x = 0; x < columns.size(); ++x) {
        const uint32_t c = columns[x];
        const uint8_t* pixel =
            bits == 24 ? row + size_t(c) * 3 : &palette[GetPackedIndex(row, c, bits) * 3];
        std::memcpy(out + x * 3, pixel, 3);
    }
}

}  // namespace

bool CopyPictureToFrame(const CDibImage& picture, uint8_t* frame, size_t stride, int width,
                        int height) {
    const uint32_t bits = picture.GetBpp();
    const uint32_t w = picture.GetWidth();
    const uint32_t h = picture.GetHeight();
    if (!picture.IsValid() || w == 0 || h == 0 || width <= 0 || height <= 0 ||
        stride < size_t(width) * 3 || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        return false;
    }
    const bool plainRows = bits == 24 && (w == uint32_t(width) || w == uint32_t(width) + 1);
    std::vector<uint32_t> columns;
    Palette palette{};
    if (!plainRows) {
        columns.resize(size_t(width));
        for (uint32_t x = 0; x < uint32_t(width); ++x)
            columns[x] = SourceIndex(x, w, uint32_t(width));
        palette = ReadPalette(picture);
    }
    for (uint32_t y = 0; y < uint32_t(height); ++y) {
        // Frame rows run top first, the picture's stored rows bottom first.
        const uint8_t* row = picture.GetRow(h - 1 - SourceIndex(y, h, uint32_t(height)));
        uint8_t* out = frame + size_t(y) * stride;
        if (plainRows)
            std::memcpy(out, row, size_t(width) * 3);
        else
            WriteRow(picture, row, palette, columns, out);
    }
    return true;
}
