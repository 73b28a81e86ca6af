#include "image/frame_image.h"

#include <cstring>

namespace {

// Copies one 24-bit row in reverse pixel order. Each pixel moves as one 4-byte word whose
// fourth byte the next pixel overwrites; the rightmost source pixel, which may end the buffer,
// and the last destination pixel move as 3 bytes.
void CopyRowMirrored(const uint8_t* __restrict src, uint8_t* __restrict dst, uint32_t width) {
    if (width == 0) {
        return;
    }
    const uint8_t* s = src + size_t(width - 1) * 3;
    std::memcpy(dst, s, 3);
    for (uint32_t x = 1; x + 1 < width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, s - 3 * x, 4);
        std::memcpy(dst + 3 * x, &pixel, 4);
    }
    if (width > 1) {
        std::memcpy(dst + size_t(width - 1) * 3, src, 3);
    }
}

}  // namespace

bool StoreFrame(CDibImage& image, const FrameRows& frame, bool flip, bool mirror) {
    const uint32_t width = frame.width;
    const uint32_t height = frame.height;
    const bool reusable = image.IsValid() && image.GetWidth() == width &&
                          image.GetHeight() == height && image.GetBpp() == 24 && !image.HasAlpha();
    if (!reusable && !image.Create(width, height, 24, kDibFormatUnknown)) {
        return false;
    }
    const uint32_t stride = image.GetEffWidth();
    const uint32_t used = width * 3;
    for (uint32_t i = 0; i < height; ++i) {
        const uint8_t* src = frame.Row(i);
        uint8_t* dst = image.GetRow(flip ? height - 1 - i : i);
        if (mirror) {
            CopyRowMirrored(src, dst, width);
        } else {
            std::memcpy(dst, src, used);
        }
        std::memset(dst + used, 0, stride - used);
    }
    return true;
}
