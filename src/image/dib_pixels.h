#pragma once
// Row-level pixel helpers shared by the image operations and the codecs. Rows are raw DIB rows:
// 24-bit pixels as blue, green, red; 1- and 4-bit pixels packed from the most significant bit.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

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

#if defined(__SSE2__)
// Sums of four pixels' weighted channels from madd results holding (117 B + 601 G, 306 R) pairs.
inline __m128i GreySums(__m128i lo, __m128i hi) {
    const __m128 l = _mm_castsi128_ps(lo), h = _mm_castsi128_ps(hi);
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(l, h, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(l, h, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_srli_epi32(_mm_add_epi32(even, odd), 10);
}

// Eight pixels a step with byte shuffles (16-byte loads, so it stops 10 pixels before the end).
__attribute__((target("ssse3"))) inline uint32_t GreyRowSsse3(const uint8_t* bgr, uint8_t* grey,
                                                              uint32_t width) {
    const __m128i weights = _mm_setr_epi16(117, 601, 306, 0, 117, 601, 306, 0);
    const __m128i first = _mm_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 3, -1, 4, -1, 5, -1, -1, -1);
    const __m128i second =
        _mm_setr_epi8(6, -1, 7, -1, 8, -1, -1, -1, 9, -1, 10, -1, 11, -1, -1, -1);
    uint32_t x = 0;
    for (; x + 10 <= width; x += 8) {
        const uint8_t* p = bgr + size_t(x) * 3;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
        const __m128i sa = GreySums(_mm_madd_epi16(_mm_shuffle_epi8(a, first), weights),
                                    _mm_madd_epi16(_mm_shuffle_epi8(a, second), weights));
        const __m128i sb = GreySums(_mm_madd_epi16(_mm_shuffle_epi8(b, first), weights),
                                    _mm_madd_epi16(_mm_shuffle_epi8(b, second), weights));
        const __m128i words = _mm_packs_epi32(sa, sb);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(grey + x), _mm_packus_epi16(words, words));
    }
    return x;
}

__attribute__((target("avx2"))) inline __m256i Load2x16(const uint8_t* low, const uint8_t* high) {
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high),
                               reinterpret_cast<const __m128i*>(low));
}

__attribute__((target("avx2"))) inline __m256i GreySums256(__m256i lo, __m256i hi) {
    const __m256 l = _mm256_castsi256_ps(lo), h = _mm256_castsi256_ps(hi);
    const __m256i even = _mm256_castps_si256(_mm256_shuffle_ps(l, h, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i odd = _mm256_castps_si256(_mm256_shuffle_ps(l, h, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm256_srli_epi32(_mm256_add_epi32(even, odd), 10);
}

// The SSSE3 step on both halves of a 256-bit register: the low half takes pixels 0-7, the
// high half 8-15 (52-byte reach, so it stops 18 pixels before the end).
__attribute__((target("avx2"))) inline uint32_t GreyRowAvx2(const uint8_t* bgr, uint8_t* grey,
                                                            uint32_t width) {
    const __m256i weights =
        _mm256_setr_epi16(117, 601, 306, 0, 117, 601, 306, 0, 117, 601, 306, 0, 117, 601, 306, 0);
    const __m256i first =
        _mm256_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 3, -1, 4, -1, 5, -1, -1, -1, 0, -1, 1, -1, 2,
                         -1, -1, -1, 3, -1, 4, -1, 5, -1, -1, -1);
    const __m256i second =
        _mm256_setr_epi8(6, -1, 7, -1, 8, -1, -1, -1, 9, -1, 10, -1, 11, -1, -1, -1, 6, -1, 7, -1,
                         8, -1, -1, -1, 9, -1, 10, -1, 11, -1, -1, -1);
    uint32_t x = 0;
    for (; x + 18 <= width; x += 16) {
        const uint8_t* p = bgr + size_t(x) * 3;
        const __m256i a = Load2x16(p, p + 24), b = Load2x16(p + 12, p + 36);
        const __m256i sa = GreySums256(_mm256_madd_epi16(_mm256_shuffle_epi8(a, first), weights),
                                       _mm256_madd_epi16(_mm256_shuffle_epi8(a, second), weights));
        const __m256i sb = GreySums256(_mm256_madd_epi16(_mm256_shuffle_epi8(b, first), weights),
                                       _mm256_madd_epi16(_mm256_shuffle_epi8(b, second), weights));
        const __m256i words = _mm256_packs_epi32(sa, sb);
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(grey + x), _mm256_castsi256_si128(bytes));
    }
    return x;
}

// Eight pixels a step, each read as four bytes: it stops while a whole pixel still follows.
inline uint32_t GreyRowSse2(const uint8_t* bgr, uint8_t* grey, uint32_t width) {
    const __m128i weights = _mm_setr_epi16(117, 601, 306, 0, 117, 601, 306, 0);
    const __m128i zero = _mm_setzero_si128();
    auto load = [](const uint8_t* p) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    };
    auto four = [&](const uint8_t* p) {
        const __m128i px = _mm_setr_epi32(load(p), load(p + 3), load(p + 6), load(p + 9));
        return GreySums(_mm_madd_epi16(_mm_unpacklo_epi8(px, zero), weights),
                        _mm_madd_epi16(_mm_unpackhi_epi8(px, zero), weights));
    };
    uint32_t x = 0;
    for (; x + 9 <= width; x += 8) {
        const uint8_t* p = bgr + size_t(x) * 3;
        const __m128i words = _mm_packs_epi32(four(p), four(p + 12));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(grey + x), _mm_packus_epi16(words, words));
    }
    return x;
}
#endif

// Grey = (306 R + 601 G + 117 B) >> 10 for a row of blue-green-red triples.
inline void GreyRow(const uint8_t* __restrict bgr, uint8_t* __restrict grey, uint32_t width) {
    uint32_t x = 0;
#if defined(__SSE2__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    x = avx2 ? GreyRowAvx2(bgr, grey, width) : 0;
    x += ssse3 ? GreyRowSsse3(bgr + size_t(x) * 3, grey + x, width - x)
               : GreyRowSse2(bgr + size_t(x) * 3, grey + x, width - x);
#endif
    for (; x < width; ++x) {
        const uint32_t b = bgr[3 * x], g = bgr[3 * x + 1], r = bgr[3 * x + 2];
        grey[x] = uint8_t((306 * r + 601 * g + 117 * b) >> 10);
    }
}

#if defined(__SSE2__)
// Sixteen greys a step. Unsigned compare through the sign bit; movemask puts byte k in bit k,
// so each group of eight is first reversed to bring the row's first pixel to bit 7.
__attribute__((target("ssse3"))) inline uint32_t PackThresholdSsse3(const uint8_t* grey,
                                                                    uint8_t* bits, uint32_t width,
                                                                    uint8_t level) {
    const __m128i bias = _mm_set1_epi8(char(0x80));
    const __m128i limit = _mm_set1_epi8(char(level ^ 0x80));
    const __m128i reverse = _mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
    uint32_t i = 0;
    for (; 8 * i + 16 <= width; i += 2) {
        __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + 8 * size_t(i)));
        g = _mm_shuffle_epi8(_mm_xor_si128(g, bias), reverse);
        const uint16_t mask = uint16_t(_mm_movemask_epi8(_mm_cmpgt_epi8(g, limit)));
        std::memcpy(bits + i, &mask, 2);  // low byte first: pixels 0-7, then 8-15
    }
    return i;
}
#endif

// Packs grey > level as 1 bits, most significant bit first; the row's pad bits become 0.
inline void PackThreshold(const uint8_t* __restrict grey, uint8_t* __restrict bits, uint32_t width,
                          uint8_t level) {
    uint32_t i = 0;
#if defined(__SSE2__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        i = PackThresholdSsse3(grey, bits, width, level);
#endif
    const uint32_t whole = width / 8;
    for (; i < whole; ++i) {
        const uint8_t* g = grey + 8 * i;
        uint32_t v = 0;
        for (int k = 0; k < 8; ++k)
            v |= uint32_t(g[k] > level) << (7 - k);
        bits[i] = uint8_t(v);
    }
    if (width & 7) {
        uint32_t v = 0;
        for (uint32_t k = 0; k < (width & 7); ++k) {
            v |= uint32_t(grey[8 * whole + k] > level) << (7 - k);
        }
        bits[whole] = uint8_t(v);
    }
    const uint32_t used = (width + 7) / 8;
    const uint32_t stride = ((width + 31) / 32) * 4;
    for (uint32_t j = used; j < stride; ++j)
        bits[j] = 0;
}

#if defined(__SSE2__)
// Sixteen 3-byte pixels held in three registers, put in reverse order. Each output register
// gathers its bytes from two or three input registers with one shuffle each.
__attribute__((target("ssse3"))) inline void Reverse16Pixels(__m128i& a, __m128i& b, __m128i& c) {
    const __m128i a0 = _mm_shuffle_epi8(
        a, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 15, -1));
    const __m128i a2 =
        _mm_shuffle_epi8(a, _mm_setr_epi8(-1, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2));
    const __m128i b0 = _mm_shuffle_epi8(
        b, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 14));
    const __m128i b1 =
        _mm_shuffle_epi8(b, _mm_setr_epi8(15, -1, 11, 12, 13, 8, 9, 10, 5, 6, 7, 2, 3, 4, -1, 0));
    const __m128i b2 = _mm_shuffle_epi8(
        b, _mm_setr_epi8(1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
    const __m128i c0 =
        _mm_shuffle_epi8(c, _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -1));
    const __m128i c1 = _mm_shuffle_epi8(
        c, _mm_setr_epi8(-1, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
    a = _mm_or_si128(c0, b0);
    b = _mm_or_si128(_mm_or_si128(b1, a0), c1);
    c = _mm_or_si128(a2, b2);
}

struct Pixels16 {
    __m128i a, b, c;
};

inline Pixels16 Load16Pixels(const uint8_t* p) {
    const auto* v = reinterpret_cast<const __m128i*>(p);
    return {_mm_loadu_si128(v), _mm_loadu_si128(v + 1), _mm_loadu_si128(v + 2)};
}

inline void Store16Pixels(uint8_t* p, const Pixels16& px) {
    auto* v = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(v, px.a);
    _mm_storeu_si128(v + 1, px.b);
    _mm_storeu_si128(v + 2, px.c);
}

// Swaps reversed blocks of sixteen pixels from both ends of the row towards its middle and
// returns how many pixels each end has done; fewer than 32 remain between them.
__attribute__((target("ssse3"))) inline uint32_t MirrorRow24Ssse3(uint8_t* row, uint32_t width) {
    uint32_t left = 0, right = width;
    for (; right - left >= 32; left += 16, right -= 16) {
        uint8_t* p = row + size_t(left) * 3;
        uint8_t* q = row + size_t(right - 16) * 3;
        Pixels16 front = Load16Pixels(p), back = Load16Pixels(q);
        Reverse16Pixels(front.a, front.b, front.c);
        Reverse16Pixels(back.a, back.b, back.c);
        Store16Pixels(p, back);
        Store16Pixels(q, front);
    }
    return left;
}

// Sixteen pixels a step from the end of src to the start of dst; returns the pixels written.
__attribute__((target("ssse3"))) inline uint32_t ReverseRow24Ssse3(const uint8_t* src, uint8_t* dst,
                                                                   uint32_t width) {
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        Pixels16 px = Load16Pixels(src + size_t(width - x - 16) * 3);
        Reverse16Pixels(px.a, px.b, px.c);
        Store16Pixels(dst + size_t(x) * 3, px);
    }
    return x;
}
#endif

// Reverses a row of 3-byte pixels in place.
inline void MirrorRow24(uint8_t* row, uint32_t width) {
    uint32_t done = 0;
#if defined(__SSE2__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        done = MirrorRow24Ssse3(row, width);
#endif
    if (width - 2 * done < 2)
        return;
    uint8_t* p = row + size_t(done) * 3;
    uint8_t* q = row + size_t(width - done - 1) * 3;
    for (; p < q; p += 3, q -= 3) {
        uint8_t t[3];
        std::memcpy(t, p, 3);
        std::memcpy(p, q, 3);
        std::memcpy(q, t, 3);
    }
}

// Writes the pixels of src to dst in reverse order. Pixels move as four-byte words (the fourth
// byte is overwritten by the next pixel), so src must have one readable byte after its last
// pixel; src and dst must not overlap.
inline void ReverseRow24(const uint8_t* __restrict src, uint8_t* __restrict dst, uint32_t width) {
    if (width == 0)
        return;
    uint32_t done = 0;
#if defined(__SSE2__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        done = ReverseRow24Ssse3(src, dst, width);
#endif
    if (done == width)
        return;
    const uint8_t* s = src + size_t(width - 1 - done) * 3;
    uint8_t* d = dst + size_t(done) * 3;
    for (uint32_t x = done; x + 1 < width; ++x, s -= 3, d += 3) {
        uint32_t v;
        std::memcpy(&v, s, 4);
        std::memcpy(d, &v, 4);
    }
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
}
