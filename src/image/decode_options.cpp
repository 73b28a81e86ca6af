#include "image/decode_options.h"

#include <algorithm>

#include "image/dib_image.h"

bool DecodeOptions::Admit(uint32_t width, uint32_t height, uint32_t bits, bool alpha,
                          std::string& error) {
    fullWidth = width;
    fullHeight = height;
    if (CDibImage::CheckSize(width, height, alpha ? 32 : bits, error)) {
        return true;
    }
    tooLarge = width != 0 && height != 0;
    return false;
}

uint32_t DecodeOptions::Factor(uint32_t width, uint32_t height) const {
    return std::min(ReductionFactor(width, height, needWidth, needHeight), std::max(1u, maxFactor));
}

uint32_t ReductionFactor(uint32_t width, uint32_t height, uint32_t needWidth, uint32_t needHeight) {
    if (needWidth == 0 || needHeight == 0) {
        return 1;
    }
    const uint32_t f = std::min(width / needWidth, height / needHeight);
    return std::clamp<uint32_t>(f, 1, kMaxReduction);
}
