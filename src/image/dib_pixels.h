#pragma once
// Row-level pixel helpers shared by the image operations and the codecs. Rows are raw DIB rows:
// 24-bit pixels as blue, green, red; 1- and 4-bit pixels packed from the most significant bit.

#include <cstddef>
#include <cstdint>

inline uint32_t GetPackedIndex(const uint8_t* row, uint32_t x, uint32_t bits) {
    switch (bits) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
        case 8:
            return row[x];
        default:
            return 0;
    }
}

inline void SetPackedIndex(uint8_t* row, uint32_t x, uint32_t bits, uint32_t index) {
    switch (bits) {
        case 1: {
            const uint8_t mask = uint8_t(0x80u >> (x & 7));
            row[x >> 3] = (index & 1) ? uint8_t(row[x >> 3] | mask) : uint8_t(row[x >> 3] & ~mask);
            break;
        }
        case 4:
            if (x & 1) {
                row[x >> 1] = uint8_t((row[x >> 1] & 0xF0u) | (index & 0x0Fu));
            } else {
                row[x >> 1] = uint8_t((row[x >> 1] & 0x0Fu) | ((index & 0x0Fu) << 4));
            }
            break;
        case 8:
            row[x] = uint8_t(index);
            break;
        default:
            break;
    }
}

// Grey = (306 R + 601 G + 117 B) >> 10 for a row of blue-green-red triples.
inline void GreyRow(const uint8_t* __restrict bgr, uint8_t* __restrict grey, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t b = bgr[3 * x], g = bgr[3 * x + 1], r = bgr[3 * x + 2];
        grey[x] = uint8_t((306 * r + 601 * g + 117 * b) >> 10);
    }
}

// Packs grey > level as 1 bits, most significant bit first; the row's pad bits become 0.
inline void PackThreshold(const uint8_t* __restrict grey, uint8_t* __restrict bits, uint32_t width,
                          uint8_t level) {
    const uint32_t whole = width / 8;
    for (uint32_t i = 0; i < whole; ++i) {
        const uint8_t* g = grey + 8 * i;
        uint32_t v = 0;
        for (int k = 0; k < 8; ++k)
            v |= uint32_t(g[k] > level) << (7 - k);
        bits[i] = uint8_t(v);
    }
    if (width & 7) {
        uint32_t v = 0;
        for (uint32_t k = 0; k < (width & 7); ++k)
            v |= uint32_t(grey[8 * whole + k] > level) << (7 - k);
        bits[whole] = uint8_t(v);
    }
    const uint32_t used = (width + 7) / 8;
    const uint32_t stride = ((width + 31) / 32) * 4;
    for (uint32_t i = used; i < stride; ++i)
        bits[i] = 0;
}

// Reverses a row of blue-green-red triples in place.
inline void MirrorRow24(uint8_t* row, uint32_t width) {
    if (width < 2)
        return;
    uint8_t* a = row;
    uint8_t* b = row + size_t(width - 1) * 3;
    for (; a < b; a += 3, b -= 3) {
        const uint8_t t0 = a[0], t1 = a[1], t2 = a[2];
        a[0] = b[0];
        a[1] = b[1];
        a[2] = b[2];
        b[0] = t0;
        b[1] = t1;
        b[2] = t2;
    }
}
