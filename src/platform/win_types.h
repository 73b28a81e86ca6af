#pragma once
// Plain geometry and colour types with the platform-neutral meaning the system's arithmetic is
// written in: a rectangle is (left, top, right, bottom) with right and bottom exclusive, and a
// colour packs red in the low byte, then green, then blue (0x00BBGGRR).

#include <cstdint>

struct QvPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const QvPoint&, const QvPoint&) = default;
};

struct QvRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // Empty when it has no area, as the platform's IsRectEmpty.
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int32_t x, int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    void SetEmpty() { left = top = right = bottom = 0; }
    friend bool operator==(const QvRect&, const QvRect&) = default;
};

using QvColour = uint32_t;

constexpr QvColour QvRgb(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t QvRed(QvColour c) {
    return uint8_t(c);
}
constexpr uint8_t QvGreen(QvColour c) {
    return uint8_t(c >> 8);
}
constexpr uint8_t QvBlue(QvColour c) {
    return uint8_t(c >> 16);
}
