// Turning by any angle and the bilinear sampling that it shares with smooth drawing.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/dib_image.h"
#include "image/dib_pixels.h"

namespace {

struct Rgb {
    float r, g, b;
};

// floor by truncating after a positive shift (in double, so no fraction is rounded away).
inline int32_t FastFloor(float v) {
    if (v < -1048576.0f || v > 1.0e9f)
        return int32_t(std::floor(v));
    return int32_t(double(v) + 1048576.0) - 1048576;
}

uint8_t ToByte(float v) {
    return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

// Nearest palette entry by squared distance, remembered per 15-bit colour.
class PaletteMatcher {
public:
    PaletteMatcher(const uint8_t* palette, uint32_t entries)
        : palette_(palette), entries_(entries), cache_(32768, -1) {}

    uint32_t Match(uint8_t r, uint8_t g, uint8_t b) {
        const uint32_t key = (uint32_t(r >> 3) << 10) | (uint32_t(g >> 3) << 5) | (b >> 3);
        if (cache_[key] >= 0)
            return uint32_t(cache_[key]);
        uint32_t best = 0, bestDistance = UINT32_MAX;
        for (uint32_t i = 0; i < entries_; ++i) {
            const int db = int(palette_[4 * i]) - b, dg = int(palette_[4 * i + 1]) - g,
                      dr = int(palette_[4 * i + 2]) - r;
            const uint32_t d = uint32_t(dr * dr + dg * dg + db * db);
            if (d < bestDistance)
                bestDistance = d, best = i;
        }
        cache_[key] = int32_t(best);
        return best;
    }

private:
    const uint8_t* palette_;
    uint32_t entries_;
    std::vector<int32_t> cache_;
};

int32_t Load4(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The common case of Rotate: a 24-bit picture, bilinear, background outside. The source point
// advances along a destination row in 32.32 fixed point, so the inner loop is integer only;
// its sampling points match c*x + s*y to far below a 256th of a pixel.
void RotateRows24(const uint8_t* base, size_t stride, int32_t iw, int32_t ih, CDibImage& out,
                  float sx, float sy, float c, float s, const uint8_t background[3]) {
    const uint32_t nw = out.GetWidth(), nh = out.GetHeight();
    constexpr double kOne = 4294967296.0;
    const int64_t stepX = std::llround(double(c) * kOne), stepY = std::llround(-double(s) * kOne);
    // Bands of destination columns keep the source rows a band touches in cache: one
    // destination row of a turned picture crosses many source rows.
    constexpr uint32_t kBand = 128;
    for (uint32_t band = 0; band < nw; band += kBand) {
        const uint32_t bandEnd = std::min(nw, band + kBand);
        for (uint32_t dy = 0; dy < nh; ++dy) {
            const float y = sy + float(dy);
            int64_t fx = std::llround((double(c) * sx + double(s) * y) * kOne) + stepX * band;
            int64_t fy = std::llround((double(c) * y - double(s) * sx) * kOne) + stepY * band;
            uint8_t* q = out.GetRow(dy) + size_t(band) * 3;
            for (uint32_t dx = band; dx < bandEnd; ++dx, fx += stepX, fy += stepY, q += 3) {
                const int32_t xi = int32_t(fx >> 32), yi = int32_t(fy >> 32);
                const int w1 = int((fx >> 24) & 255), w2 = int((fy >> 24) & 255);
                const int d = (w1 * w2) >> 8, b = w1 - d, cc = w2 - d, a = 256 - w1 - cc;
                if (uint32_t(xi) < uint32_t(iw - 1) && uint32_t(yi) < uint32_t(ih - 1)) {
                    const uint8_t* p0 = base + size_t(yi) * stride + size_t(xi) * 3;
                    const uint8_t* p1 = p0 + stride;
#if defined(__SSE2__)
                    // Four-byte reads and writes: the read may reach one byte past the last
                    // neighbour (allowed unless it is the block's last row), the write's fourth
                    // byte is overwritten by the next pixel.
                    if ((yi + 2 < ih || size_t(xi) * 3 + 7 <= stride) && dx + 1 < nw) {
                        const __m128i zero = _mm_setzero_si128();
                        const __m128i top =
                            _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(Load4(p0)),
                                                                 _mm_cvtsi32_si128(Load4(p0 + 3))),
                                              zero);
                        const __m128i bottom =
                            _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(Load4(p1)),
                                                                 _mm_cvtsi32_si128(Load4(p1 + 3))),
                                              zero);
                        const __m128i wTop = _mm_setr_epi16(short(a), short(a), short(a), short(a),
                                                            short(b), short(b), short(b), short(b));
                        const __m128i wBottom =
                            _mm_setr_epi16(short(cc), short(cc), short(cc), short(cc), short(d),
                                           short(d), short(d), short(d));
                        // Weights add up to 256, so every sum fits 16 bits.
                        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(top, wTop),
                                                          _mm_mullo_epi16(bottom, wBottom));
                        const __m128i both = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
                        const __m128i px = _mm_packus_epi16(_mm_srli_epi16(both, 8), zero);
                        const int32_t v = _mm_cvtsi128_si32(px);
                        std::memcpy(q, &v, 4);
                        continue;
                    }
#endif
                    q[0] = uint8_t((p0[0] * a + p0[3] * b + p1[0] * cc + p1[3] * d) >> 8);
                    q[1] = uint8_t((p0[1] * a + p0[4] * b + p1[1] * cc + p1[4] * d) >> 8);
                    q[2] = uint8_t((p0[2] * a + p0[5] * b + p1[2] * cc + p1[5] * d) >> 8);
                    continue;
                }
                if (xi < -1 || xi >= iw || yi < -1 || yi >= ih) {
                    q[0] = background[0], q[1] = background[1], q[2] = background[2];
                    continue;
                }
                // On the border: neighbours outside the picture contribute the background.
                auto at = [&](int32_t px, int32_t py) -> const uint8_t* {
                    if (px < 0 || py < 0 || px >= iw || py >= ih)
                        return background;
                    return base + size_t(py) * stride + size_t(px) * 3;
                };
                const uint8_t *p00 = at(xi, yi), *p10 = at(xi + 1, yi), *p01 = at(xi, yi + 1),
                              *p11 = at(xi + 1, yi + 1);
                for (int k = 0; k < 3; ++k) {
                    q[k] = uint8_t((p00[k] * a + p10[k] * b + p01[k] * cc + p11[k] * d) >> 8);
                }
            }
        }
    }
}

}  // namespace

QvColour CDibImage::GetPixelColour(uint32_t x, uint32_t y) const {
    const uint8_t* row = GetRow(y);
    if (!row || x >= GetWidth())
        return 0;
    if (GetBpp() == 24)
        return QvRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    return GetPaletteColor(GetPackedIndex(row, x, GetBpp()));
}

QvColour CDibImage::SampleBilinear(float x, float y, Overflow overflow,
                                   QvColour replacement) const {
    const int32_t w = int32_t(GetWidth()), h = int32_t(GetHeight());
    if (overflow == kOverflowRepeat) {
        x = std::clamp(x, 0.0f, float(w - 1));
        y = std::clamp(y, 0.0f, float(h - 1));
    }
    const float fxi = std::floor(x), fyi = std::floor(y);
    if (fxi < -1.0f || fxi >= float(w) || fyi < -1.0f || fyi >= float(h))
        return replacement;
    const int32_t xi = int32_t(fxi), yi = int32_t(fyi);
    const float fx = x - fxi, fy = y - fyi;
    if (GetBpp() == 24 && xi >= 0 && yi >= 0 && xi + 1 < w && yi + 1 < h) {
        const int w1 = int(fx * 256), w2 = int(fy * 256);
        const int d = (w1 * w2) >> 8, b = w1 - d, c = w2 - d, a = 256 - w1 - c;
        const uint8_t* p0 = GetRow(uint32_t(yi)) + size_t(xi) * 3;
        const uint8_t* p1 = GetRow(uint32_t(yi + 1)) + size_t(xi) * 3;
        uint8_t out[3];
        for (int k = 0; k < 3; ++k) {
            out[k] = uint8_t((p0[k] * a + p0[k + 3] * b + p1[k] * c + p1[k + 3] * d) >> 8);
        }
        return QvRgb(out[2], out[1], out[0]);
    }
    auto at = [&](int32_t px, int32_t py) {
        if (px < 0 || py < 0 || px >= w || py >= h) {
            if (overflow != kOverflowRepeat)
                return replacement;
            px = std::clamp(px, 0, w - 1);
            py = std::clamp(py, 0, h - 1);
        }
        return GetPixelColour(uint32_t(px), uint32_t(py));
    };
    const QvColour c00 = at(xi, yi), c10 = at(xi + 1, yi), c01 = at(xi, yi + 1),
                   c11 = at(xi + 1, yi + 1);
    const float k00 = (1 - fx) * (1 - fy), k10 = fx * (1 - fy), k01 = (1 - fx) * fy, k11 = fx * fy;
    auto mix = [&](uint8_t (*channel)(QvColour)) {
        return ToByte(channel(c00) * k00 + channel(c10) * k10 + channel(c01) * k01 +
                      channel(c11) * k11);
    };
    return QvRgb(mix(QvRed), mix(QvGreen), mix(QvBlue));
}

bool CDibImage::Rotate(float angle, CDibImage* destination, Interpolation interpolation,
                       Overflow overflow, QvColour replacement, bool rightAngleShortcut,
                       bool keepSize) {
    if (!IsValid())
        return false;
    const float ang = float(-double(angle) * 3.14159265358979323846 / 180.0);
    const float c = std::cos(ang), s = std::sin(ang);
    const float w = float(GetWidth()), h = float(GetHeight());
    const float cx[4] = {-0.5f, w - 0.5f, -0.5f, w - 0.5f};
    const float cy[4] = {-0.5f, -0.5f, h - 0.5f, h - 0.5f};
    float tx[4], ty[4];
    for (int i = 0; i < 4; ++i) {
        tx[i] = cx[i] * c - cy[i] * s;
        ty[i] = cx[i] * s + cy[i] * c;
    }
    if (rightAngleShortcut) {
        auto near = [&](float x, float y) { return std::hypot(tx[3] - x, ty[3] - y) < 0.25f; };
        if (near(h - 0.5f, 0.5f - w))
            return RotateRight90(destination);
        if (near(0.5f - h, w - 0.5f))
            return RotateLeft90(destination);
        if (near(0.5f - w, 0.5f - h))
            return Rotate180(destination);
        if (near(w - 0.5f, h - 0.5f)) {
            if (destination && destination != this)
                return destination->Copy(*this);
            return true;
        }
    }
    const float minx = *std::min_element(tx, tx + 4), maxx = *std::max_element(tx, tx + 4);
    const float miny = *std::min_element(ty, ty + 4), maxy = *std::max_element(ty, ty + 4);
    const double newW = keepSize ? w : std::floor(double(maxx) - minx + 0.5);
    const double newH = keepSize ? h : std::floor(double(maxy) - miny + 0.5);
    if (newW < 1 || newH < 1 || newW * newH > double(kMaxPixels)) {
        SetLastError("CDibImage::Rotate : invalid size");
        return false;
    }
    const uint32_t nw = uint32_t(newW), nh = uint32_t(newH), bpp = GetBpp();
    const float sx = float(((maxx + minx) - (newW - 1)) / 2);
    const float sy = float(((maxy + miny) - (newH - 1)) / 2);
    CDibImage out;
    if (!out.CreateLike(*this, nw, nh, bpp))
        return Fail(out);
    if (alpha_ && !out.AlphaCreate()) {
        SetLastError("CDibImage::Rotate can't allocate memory");
        return false;
    }
    if (bpp < 24)
        std::memset(out.GetRow(0), 0, size_t(out.GetEffWidth()) * nh);
    PaletteMatcher matcher(out.GetPalette(), out.GetNumColors());
    const int32_t iw = int32_t(GetWidth()), ih = int32_t(GetHeight());
    const uint8_t* base = GetRow(0);
    const size_t stride = GetEffWidth();
    const uint8_t rr = QvRed(replacement), rg = QvGreen(replacement), rb = QvBlue(replacement);
    if (bpp == 24 && !alpha_ && interpolation == kInterpolationBilinear &&
        overflow == kOverflowBackground) {
        const uint8_t background[3] = {rb, rg, rr};
        RotateRows24(base, stride, iw, ih, out, sx, sy, c, s, background);
        return Finish(out, destination);
    }
    for (uint32_t dy = 0; dy < nh; ++dy) {
        const float y = sy + float(dy);
        const float sy0 = s * y, cy0 = c * y;
        uint8_t* dst = out.GetRow(dy);
        uint8_t* da = out.alpha_ ? out.alpha_ + size_t(dy) * nw : nullptr;
        for (uint32_t dx = 0; dx < nw; ++dx) {
            const float x = sx + float(dx);
            float px = c * x + sy0, py = cy0 - s * x;
            if (interpolation == kInterpolationNearest) {
                px = std::floor(px + 0.5f);
                py = std::floor(py + 0.5f);
            }
            // Far outside: the replacement colour, without the integer conversions below.
            if (px < -2.0f || py < -2.0f || px > float(iw) + 1.0f || py > float(ih) + 1.0f) {
                if (da)
                    da[dx] = 255;
                if (bpp == 24 && overflow != kOverflowRepeat) {
                    uint8_t* q = dst + size_t(dx) * 3;
                    q[0] = rb, q[1] = rg, q[2] = rr;
                    continue;
                }
            }
            // floor() by truncation of a shifted value: the libm call costs more than the
            // rest of the pixel. Points here lie within [-2, size + 1].
            const int32_t xi = FastFloor(px), yi = FastFloor(py);
            const float fxi = float(xi), fyi = float(yi);
            if (da) {
                const bool inside = xi >= 0 && yi >= 0 && xi < iw && yi < ih;
                da[dx] = inside ? alpha_[size_t(yi) * uint32_t(iw) + uint32_t(xi)] : 255;
            }
            if (bpp == 24 && xi >= 0 && yi >= 0 && xi + 1 < iw && yi + 1 < ih) {
                const int w1 = int((px - fxi) * 256), w2 = int((py - fyi) * 256);
                const int d = (w1 * w2) >> 8, b = w1 - d, cc = w2 - d, a = 256 - w1 - cc;
                const uint8_t* p0 = base + size_t(yi) * stride + size_t(xi) * 3;
                const uint8_t* p1 = p0 + stride;
                uint8_t* q = dst + size_t(dx) * 3;
                q[0] = uint8_t((p0[0] * a + p0[3] * b + p1[0] * cc + p1[3] * d) >> 8);
                q[1] = uint8_t((p0[1] * a + p0[4] * b + p1[1] * cc + p1[4] * d) >> 8);
                q[2] = uint8_t((p0[2] * a + p0[5] * b + p1[2] * cc + p1[5] * d) >> 8);
                continue;
            }
            if (bpp == 24 && (xi < -1 || xi >= iw || yi < -1 || yi >= ih) &&
                overflow != kOverflowRepeat) {
                uint8_t* q = dst + size_t(dx) * 3;
                q[0] = rb, q[1] = rg, q[2] = rr;
                continue;
            }
            const QvColour col = SampleBilinear(px, py, overflow, replacement);
            if (bpp == 24) {
                uint8_t* q = dst + size_t(dx) * 3;
                q[0] = QvBlue(col), q[1] = QvGreen(col), q[2] = QvRed(col);
            } else {
                SetPackedIndex(dst, dx, bpp, matcher.Match(QvRed(col), QvGreen(col), QvBlue(col)));
            }
        }
    }
    return Finish(out, destination);
}
