#pragma once
// Small picture makers and comparisons shared by the image tests.

#include <cstring>
#include <random>

#include "image/dib_image.h"

// A picture of random pixels; palette pictures get a random palette.
inline CDibImage MakeNoise(uint32_t width, uint32_t height, uint32_t bits, uint32_t seed) {
    CDibImage img;
    img.Create(width, height, bits, 0);
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
        img.SetPaletteColor(i, uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = img.GetRow(y);
        for (uint32_t i = 0; i < img.GetEffWidth(); ++i)
            row[i] = uint8_t(rng());
    }
    return img;
}

inline CDibImage MakeSolid(uint32_t width, uint32_t height, QvColour colour) {
    CDibImage img;
    img.Create(width, height, 24, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = img.GetRow(y);
        for (uint32_t x = 0; x < width; ++x) {
            row[3 * x] = QvBlue(colour);
            row[3 * x + 1] = QvGreen(colour);
            row[3 * x + 2] = QvRed(colour);
        }
    }
    return img;
}

// Same size and the same colour at every pixel (palettes may differ in unused entries).
inline bool SamePixels(const CDibImage& a, const CDibImage& b) {
    if (!a.IsValid() || !b.IsValid() || a.GetWidth() != b.GetWidth() ||
        a.GetHeight() != b.GetHeight()) {
        return false;
    }
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            if (a.GetPixelColour(x, y) != b.GetPixelColour(x, y))
                return false;
        }
    }
    return true;
}
