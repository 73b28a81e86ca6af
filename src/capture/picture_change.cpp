#include "capture/picture_change.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Thumbs are about this many cells wide whatever the camera's size, so that a page's text lines
// and words span about as many cells at every size.
constexpr int32_t kThumbCells = 400;
constexpr int32_t kMinCells = 8;

// Grey levels by which a cell must lie outside its neighbourhood in the other picture to count
// as changed. Between two still frames of the simulated camera a cell moves by 4 levels at most
// with its noise (+-3 levels a channel), and by up to 12 when each frame also goes through JPEG
// at quality 75, where the neighbourhood's range takes it in (at edges); a hand, a page's edge or
// ink against paper differ by 40 and more.
constexpr int kNoiseMargin = 12;

// Content comparison: blocks of kBlock x kBlock cells, each lined up within kReach cells either
// way. A block whose mean difference from its neighbour cell stays under kFlatDetail grey levels
// shows no detail (plain paper, a plain desk); a block differs when its best match still leaves
// more than kDifferingDetail times its detail.
constexpr int32_t kBlock = 16;
constexpr int32_t kReach = 6;
constexpr double kFlatDetail = 3;
constexpr double kDifferingDetail = 0.45;

// The grey levels below which 5 %, 10 %, ... 95 % of the cells lie.
std::array<uint8_t, 19> Quantiles(const std::vector<uint8_t>& grey) {
    std::array<uint32_t, 256> histogram{};
    for (const uint8_t v : grey)
        ++histogram[v];
    std::array<uint8_t, 19> levels{};
    uint64_t below = 0;
    size_t next = 0;
    for (int v = 0; v < 256 && next < levels.size(); ++v) {
        below += histogram[size_t(v)];
        while (next < levels.size() && below * 20 > (next + 1) * grey.size())
            levels[next++] = uint8_t(v);
    }
    return levels;
}

// The straight line (gain, offset) that maps before's grey levels onto now's, fitted to the
// two pictures' quantiles: exposure moves every quantile, while a page moved or turned over
// keeps most of them, so the fit does not depend on where things lie.
std::array<uint8_t, 256> BrightnessMap(const PictureThumb& now, const PictureThumb& before) {
    const std::array<uint8_t, 19> a = Quantiles(now.grey);
    const std::array<uint8_t, 19> b = Quantiles(before.grey);
    double sa = 0, sb = 0, sbb = 0, sab = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        sa += a[i];
        sb += b[i];
        sbb += double(b[i]) * b[i];
        sab += double(a[i]) * b[i];
    }
    const double n = double(a.size());
    const double varB = sbb - sb * sb / n;
    const double cov = sab - sa * sb / n;
    // A flat picture says nothing about gain: match the levels only.
    const double gain = varB > 4 * n ? std::clamp(cov / varB, 0.5, 2.0) : 1.0;
    const double offset = (sa - gain * sb) / n;
    std::array<uint8_t, 256> map{};
    for (int v = 0; v < 256; ++v)
        map[size_t(v)] = uint8_t(std::clamp(std::lround(gain * v + offset), 0L, 255L));
    return map;
}

// One row of cells from the sums of two frame rows: the grey of each cell's pixels, averaged.
// kCell > 0 fixes the cell's side at compile time (the usual sizes), 0 takes it from `cell`.
template <int32_t kCell>
void GreyCells(const uint16_t* pair, uint8_t* out, int32_t cells, int32_t cell = kCell) {
    const int32_t side = kCell > 0 ? kCell : cell;
    const uint32_t scale = uint32_t(2 * side) * 256;
    for (int32_t cx = 0; cx < cells; ++cx, pair += 3 * side) {
        uint32_t b = 0, g = 0, r = 0;
        for (int32_t i = 0; i < side; ++i) {
            b += pair[3 * i];
            g += pair[3 * i + 1];
            r += pair[3 * i + 2];
        }
        // (29 B + 150 G + 77 R) / 256: the usual luma weights in integers.
        out[cx] = uint8_t((29 * b + 150 * g + 77 * r + scale / 2) / scale);
    }
}

// A picture with, for every cell, the range of grey that the 3 x 3 cells around it span (clamped
// at the picture's edges), widened by the noise margin.
struct Plane {
    std::vector<uint8_t> grey, low, high;

    Plane(std::vector<uint8_t> cells, int32_t w, int32_t h)
        : grey(std::move(cells)), low(grey.size()), high(grey.size()) {
        std::vector<uint8_t> rowLow(grey.size()), rowHigh(grey.size());
        for (int32_t y = 0; y < h; ++y)
            RowRange(grey.data() + size_t(y) * w, rowLow.data() + size_t(y) * w,
                     rowHigh.data() + size_t(y) * w, w);
        for (int32_t y = 0; y < h; ++y) {
            const size_t up = size_t(std::max(y - 1, 0)) * w;
            const size_t mid = size_t(y) * w;
            const size_t down = size_t(std::min(y + 1, h - 1)) * w;
            ColumnRange(rowLow.data() + up, rowLow.data() + mid, rowLow.data() + down,
                        rowHigh.data() + up, rowHigh.data() + mid, rowHigh.data() + down,
                        low.data() + mid, high.data() + mid, w);
        }
    }

private:
    static void RowRange(const uint8_t* g, uint8_t* lo, uint8_t* hi, int32_t w) {
        if (w < 2) {
            lo[0] = hi[0] = g[0];
            return;
        }
        lo[0] = std::min(g[0], g[1]);
        hi[0] = std::max(g[0], g[1]);
        for (int32_t x = 1; x < w - 1; ++x) {
            lo[x] = std::min(std::min(g[x - 1], g[x]), g[x + 1]);
            hi[x] = std::max(std::max(g[x - 1], g[x]), g[x + 1]);
        }
        lo[w - 1] = std::min(g[w - 2], g[w - 1]);
        hi[w - 1] = std::max(g[w - 2], g[w - 1]);
    }
    static void ColumnRange(const uint8_t* lu, const uint8_t* lm, const uint8_t* ld,
                            const uint8_t* hu, const uint8_t* hm, const uint8_t* hd, uint8_t* low,
                            uint8_t* high, int32_t w) {
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t l = std::min(std::min(lu[x], lm[x]), ld[x]);
            const uint8_t g = std::max(std::max(hu[x], hm[x]), hd[x]);
            low[x] = l > kNoiseMargin ? uint8_t(l - kNoiseMargin) : 0;
            high[x] = g < 255 - kNoiseMargin ? uint8_t(g + kNoiseMargin) : 255;
        }
    }
};

// Cells (all but the outermost ring) where a's grey lies outside b's widened range or b's
// outside a's.
int64_t CountChanged(const Plane& a, const Plane& b, int32_t w, int32_t h) {
    int64_t changed = 0;
    for (int32_t y = 1; y < h - 1; ++y) {
        const size_t r = size_t(y) * w;
        const uint8_t* ag = a.grey.data() + r;
        const uint8_t* al = a.low.data() + r;
        const uint8_t* ah = a.high.data() + r;
        const uint8_t* bg = b.grey.data() + r;
        const uint8_t* bl = b.low.data() + r;
        const uint8_t* bh = b.high.data() + r;
        int32_t row = 0;
        for (int32_t x = 1; x < w - 1; ++x)
            row += ((ag[x] < bl[x]) | (ag[x] > bh[x]) | (bg[x] < al[x]) | (bg[x] > ah[x])) ? 1 : 0;
        changed += row;
    }
    return changed;
}

// before's grey with its brightness matched to now's.
std::vector<uint8_t> MatchBrightness(const PictureThumb& now, const PictureThumb& before) {
    const std::array<uint8_t, 256> map = BrightnessMap(now, before);
    std::vector<uint8_t> matched(before.grey.size());
    std::transform(before.grey.begin(), before.grey.end(), matched.begin(),
                   [&map](uint8_t v) { return map[v]; });
    return matched;
}

bool SameShape(const PictureThumb& a, const PictureThumb& b) {
    return a.IsValid() && a.width == b.width && a.height == b.height && a.cell == b.cell &&
           a.frameWidth == b.frameWidth && a.frameHeight == b.frameHeight;
}

// Mean absolute difference of the block at (x, y) of a and the block at (x + sx, y + sy) of b
// raised by `offset` grey levels.
double BlockDifference(const uint8_t* a, const uint8_t* b, int32_t w, int32_t x, int32_t y,
                       int32_t sx, int32_t sy, int offset = 0) {
    int32_t sum = 0;
    for (int32_t j = 0; j < kBlock; ++j) {
        const uint8_t* ra = a + size_t(y + j) * w + x;
        const uint8_t* rb = b + size_t(y + j + sy) * w + x + sx;
        for (int32_t i = 0; i < kBlock; ++i)
            sum += std::abs(int(ra[i]) - int(rb[i]) - offset);
    }
    return double(sum) / (kBlock * kBlock);
}

// The same with b's block moved by (qx, qy) quarter cells, read between cells bilinearly.
double BlockDifferenceQuarter(const uint8_t* a, const uint8_t* b, int32_t w, int32_t x, int32_t y,
                              int32_t qx, int32_t qy, int offset) {
    const int32_t ix = qx >> 2, iy = qy >> 2;  // floor
    const int32_t fx = qx & 3, fy = qy & 3;
    const int32_t w00 = (4 - fx) * (4 - fy), w01 = fx * (4 - fy), w10 = (4 - fx) * fy,
                  w11 = fx * fy;
    int32_t sum = 0;
    for (int32_t j = 0; j < kBlock; ++j) {
        const uint8_t* ra = a + size_t(y + j) * w + x;
        const uint8_t* rb = b + size_t(y + j + iy) * w + x + ix;
        const uint8_t* rc = rb + w;
        for (int32_t i = 0; i < kBlock; ++i) {
            const int v = w00 * rb[i] + w01 * rb[i + 1] + w10 * rc[i] + w11 * rc[i + 1];
            sum += std::abs(16 * (int(ra[i]) - offset) - v);
        }
    }
    return double(sum) / (16 * kBlock * kBlock);
}

// The block's own detail: its mean difference from itself moved by one cell right and down.
double BlockDetail(const uint8_t* g, int32_t w, int32_t x, int32_t y) {
    return (BlockDifference(g, g, w, x, y, 1, 0) + BlockDifference(g, g, w, x, y, 0, 1)) / 2;
}

// Sums of the cells of every block, from a table of sums of the cells above and left of each.
class BlockSums {
public:
    BlockSums(const std::vector<uint8_t>& grey, int32_t w, int32_t h)
        : w_(w + 1), sums_(size_t(w + 1) * size_t(h + 1), 0) {
        for (int32_t y = 0; y < h; ++y) {
            int32_t row = 0;
            for (int32_t x = 0; x < w; ++x) {
                row += grey[size_t(y) * w + x];
                sums_[size_t(y + 1) * w_ + x + 1] = sums_[size_t(y) * w_ + x + 1] + row;
            }
        }
    }
    int32_t At(int32_t x, int32_t y) const {
        const auto s = [this](int32_t cx, int32_t cy) { return sums_[size_t(cy) * w_ + cx]; };
        return s(x + kBlock, y + kBlock) - s(x, y + kBlock) - s(x + kBlock, y) + s(x, y);
    }

private:
    int32_t w_;
    std::vector<int32_t> sums_;
};

// How little of the block at (x, y) of a is left once the best-matching part of b, within
// kReach cells and then to a quarter cell, is taken away. Each match is made at the two blocks'
// own mean grey, so light falling differently on a part of the desk changes nothing.
double BestMatch(const uint8_t* a, const uint8_t* b, const BlockSums& sa, const BlockSums& sb,
                 int32_t w, int32_t x, int32_t y) {
    double best = 256;
    int32_t bx = 0, by = 0, bestOffset = 0;
    for (int32_t sy = -kReach; sy <= kReach; ++sy) {
        for (int32_t sx = -kReach; sx <= kReach; ++sx) {
            const int32_t offset = (sa.At(x, y) - sb.At(x + sx, y + sy)) / (kBlock * kBlock);
            const double d = BlockDifference(a, b, w, x, y, sx, sy, offset);
            if (d < best) {
                best = d;
                bx = sx;
                by = sy;
                bestOffset = offset;
            }
        }
    }
    for (int32_t qy = 4 * by - 2; qy <= 4 * by + 2; ++qy) {
        for (int32_t qx = 4 * bx - 2; qx <= 4 * bx + 2; ++qx)
            best = std::min(best, BlockDifferenceQuarter(a, b, w, x, y, qx, qy, bestOffset));
    }
    return best;
}

// Two passes of the 3 x 3 binomial filter: what remains is the page's words and lines, not its
// letters, which a move by part of a cell renders differently and no shift can line up again.
std::vector<uint8_t> Soften(const std::vector<uint8_t>& grey, int32_t w, int32_t h) {
    std::vector<uint8_t> a = grey, b(grey.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* up = a.data() + size_t(std::max(y - 1, 0)) * w;
            const uint8_t* mid = a.data() + size_t(y) * w;
            const uint8_t* down = a.data() + size_t(std::min(y + 1, h - 1)) * w;
            uint8_t* out = b.data() + size_t(y) * w;
            for (int32_t x = 0; x < w; ++x) {
                const int32_t l = std::max(x - 1, 0), r = std::min(x + 1, w - 1);
                const int col0 = up[l] + 2 * mid[l] + down[l];
                const int col1 = up[x] + 2 * mid[x] + down[x];
                const int col2 = up[r] + 2 * mid[r] + down[r];
                out[x] = uint8_t((col0 + 2 * col1 + col2 + 8) >> 4);
            }
        }
        std::swap(a, b);
    }
    return a;
}

}  // namespace

bool MakePictureThumb(const FrameRows& frame, PictureThumb& thumb) {
    thumb = PictureThumb{};
    if (!frame.IsValid())
        return false;
    const int32_t width = int32_t(frame.width);
    const int32_t height = int32_t(frame.height);
    const int32_t cell = std::max(2, (width + kThumbCells / 2) / kThumbCells);
    if (width / cell < kMinCells || height / cell < kMinCells)
        return false;
    thumb.cell = cell;
    thumb.width = width / cell;
    thumb.height = height / cell;
    thumb.frameWidth = width;
    thumb.frameHeight = height;
    thumb.grey.resize(size_t(thumb.width) * size_t(thumb.height));
    // Each cell is the mean of two of its rows, at a quarter and three quarters of its side, over
    // its whole width: half of the rows or fewer are read, and a page's words, which run along
    // the rows, are averaged rather than sampled, so a page moved by part of a cell still gives
    // much the same cells.
    const int32_t near = cell / 4;
    const int32_t far = 3 * cell / 4;
    const size_t used = size_t(thumb.width) * size_t(cell) * 3;
    std::vector<uint16_t> pair(used);
    for (int32_t cy = 0; cy < thumb.height; ++cy) {
        const uint8_t* r1 = frame.Row(uint32_t(cy * cell + near));
        const uint8_t* r2 = frame.Row(uint32_t(cy * cell + far));
        for (size_t i = 0; i < used; ++i)
            pair[i] = uint16_t(r1[i] + r2[i]);
        uint8_t* out = thumb.grey.data() + size_t(cy) * size_t(thumb.width);
        switch (cell) {
            case 2:
                GreyCells<2>(pair.data(), out, thumb.width);
                break;
            case 3:
                GreyCells<3>(pair.data(), out, thumb.width);
                break;
            case 4:
                GreyCells<4>(pair.data(), out, thumb.width);
                break;
            case 6:
                GreyCells<6>(pair.data(), out, thumb.width);
                break;
            default:
                GreyCells<0>(pair.data(), out, thumb.width, cell);
                break;
        }
    }
    return true;
}

PictureDifference ComparePictures(const PictureThumb& now, const PictureThumb& before) {
    PictureDifference result;
    const int32_t w = now.width;
    const int32_t h = now.height;
    if (!SameShape(now, before))
        return result;
    result.comparable = true;
    const Plane a(now.grey, w, h);
    const Plane b(MatchBrightness(now, before), w, h);
    const int64_t counted = int64_t(w - 2) * int64_t(h - 2);
    result.changedShare = float(double(CountChanged(a, b, w, h)) / double(counted));
    return result;
}

ContentDifference CompareContent(const PictureThumb& now, const PictureThumb& before) {
    ContentDifference result;
    const int32_t w = now.width;
    const int32_t h = now.height;
    if (!SameShape(now, before) || w < kBlock + 2 * kReach + 2 || h < kBlock + 2 * kReach + 2)
        return result;
    result.comparable = true;
    const std::vector<uint8_t> softNow = Soften(now.grey, w, h);
    const std::vector<uint8_t> softBefore = Soften(before.grey, w, h);
    const BlockSums sumsNow(softNow, w, h), sumsBefore(softBefore, w, h);
    const uint8_t* a = softNow.data();
    const uint8_t* b = softBefore.data();
    int32_t differing = 0;
    // Blocks whose every shift, and the cell beyond for reading between cells, lies inside.
    for (int32_t y = kReach + 1; y + kBlock + kReach < h; y += kBlock) {
        for (int32_t x = kReach + 1; x + kBlock + kReach < w; x += kBlock) {
            const double detail = std::max(BlockDetail(a, w, x, y), BlockDetail(b, w, x, y));
            if (detail < kFlatDetail)
                continue;
            const double best = BestMatch(a, b, sumsNow, sumsBefore, w, x, y);
            ++result.detailedBlocks;
            differing += best > kDifferingDetail * detail;
        }
    }
    result.differingShare =
        result.detailedBlocks ? float(differing) / float(result.detailedBlocks) : 0.0f;
    return result;
}
