#include "capture/document_edges.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <numbers>
#include <vector>

namespace {

constexpr int32_t kMinWidth = 32;
// Fewer than 20 rows give fewer than 5 grid rows, and the corner blocks would leave the grid.
constexpr int32_t kMinHeight = 20;
constexpr int32_t kCornerBlock = 5;
constexpr int32_t kRunCells = 41;       // a line qualifies with more than 40 unlike cells in a row
constexpr int32_t kBandLines = 11;      // the box side is the first band of 11 qualifying lines
constexpr int32_t kMargin = 10;         // pixels added around the box
constexpr int32_t kFullGridRows = 300;  // grid rows of a 1200-row frame
// The lower edge is where a cell differs from the background by more than this, or by more than
// the lines' threshold when that is higher: on a grained desk the grain alone differs by more than
// 25 levels and would be taken for the page's edge.
constexpr int kEdgeDifference = 25;
constexpr int kSpreadFactor = 2;

bool DividesEvenly(int32_t width, int32_t height, int32_t cw, int32_t ch) {
    const int32_t c = width / cw;
    return c == height / ch && width % cw == 0 && height % ch == 0;
}

inline int Lerp64(int a, int b, int u) {
    return (a * (64 - u) + b * u + 32) >> 6;
}

// One row of grid cells, the channels apart (planar), so that the loops over it vectorise.
struct CellRow {
    std::vector<uint8_t> blue;
    std::vector<uint8_t> green;
    std::vector<uint8_t> red;

    explicit CellRow(int32_t cells)
        : blue(size_t(cells)), green(size_t(cells)), red(size_t(cells)) {}
};

// Grid rows one at a time, each made while the frame rows it covers are fresh in the cache.
class RowShrinker {
public:
    RowShrinker(const uint8_t* pixels, int32_t width, int32_t height, int32_t cw, int32_t ch)
        : pixels_(pixels),
          width_(width),
          height_(height),
          cw_(cw),
          stride_(DibStride24(width)),
          block_(DividesEvenly(width, height, cw, ch) ? width / cw : 0),
          cells_(cw) {
        if (block_ == 4) {
            narrowSums_.resize(size_t(width) * 3);
        } else if (block_ != 0) {
            wideSums_.resize(size_t(width) * 3);
        } else {
            PlanInterpolation(ch);
        }
    }

    // Grid row r (rows bottom-up, as the frame's).
    const CellRow& Row(int32_t r) {
        if (block_ == 4) {
            ShrinkBlocks<4>(r);
        } else if (block_ != 0) {
            ShrinkBlocks<0>(r);
        } else {
            Interpolate(r);
        }
        return cells_;
    }

private:
    // Average of c x c blocks; the usual case (1600 x 1200 -> 400 x 300). The rows of a band
    // are summed byte by byte first (loops the compiler vectorises), then folded into cells.
    // Block is the block size when known at compile time (4-pixel cells), else 0.
    template <int32_t Block>
    void ShrinkBlocks(int32_t r) {
        const size_t rowBytes = size_t(width_) * 3;
        const uint8_t* row = pixels_ + size_t(r) * size_t(block_) * stride_;
        if constexpr (Block == 4) {
            const uint8_t* row1 = row + stride_;
            const uint8_t* row2 = row1 + stride_;
            const uint8_t* row3 = row2 + stride_;
            uint16_t* sums = narrowSums_.data();
            for (size_t i = 0; i < rowBytes; ++i) {
                sums[i] = uint16_t(row[i] + row1[i] + row2[i] + row3[i]);
            }
            FoldBlocks<Block>(sums);
        } else {
            uint32_t* sums = wideSums_.data();
            for (size_t i = 0; i < rowBytes; ++i) {
                sums[i] = row[i];
            }
            for (int32_t dy = 1; dy < block_; ++dy) {
                row += stride_;
                for (size_t i = 0; i < rowBytes; ++i) {
                    sums[i] += row[i];
                }
            }
            FoldBlocks<Block>(sums);
        }
    }

    template <int32_t Block, typename Sum>
    void FoldBlocks(const Sum* sums) {
        const int32_t c = Block != 0 ? Block : block_;
        // sum / c / c, both divisions truncating, is sum / (c * c).
        const uint32_t area = uint32_t(c) * uint32_t(c);
        uint8_t* blue = cells_.blue.data();
        uint8_t* green = cells_.green.data();
        uint8_t* red = cells_.red.data();
        const int32_t cw = cw_;  // a local, as in Interpolate()
        for (int32_t x = 0; x < cw; ++x, sums += 3 * c) {
            uint32_t b = 0, g = 0, r = 0;
            for (int32_t dx = 0; dx < 3 * c; dx += 3) {
                b += sums[dx];
                g += sums[dx + 1];
                r += sums[dx + 2];
            }
            blue[x] = uint8_t(b / area);
            green[x] = uint8_t(g / area);
            red[x] = uint8_t(r / area);
        }
    }

    // Source positions step by width * 64 / cw and height * 64 / ch in 1/64 pixel; cells past
    // the last source column or row repeat the last one computed, so they take its position.
    void PlanInterpolation(int32_t ch) {
        const int64_t stepX = int64_t(width_) * 64 / cw_;
        offsets_.resize(size_t(cw_));
        weights_.resize(size_t(cw_));
        for (int32_t c = 0; c < cw_; ++c) {
            const int64_t sx = c * stepX;
            const int64_t xi = sx >> 6;
            const bool past = xi + 1 >= width_ && c > 0;
            offsets_[size_t(c)] = past ? offsets_[size_t(c) - 1] : uint32_t(xi) * 3;
            weights_[size_t(c)] = past ? weights_[size_t(c) - 1] : uint8_t(sx & 63);
        }
        const int64_t stepY = int64_t(height_) * 64 / ch;
        rows_.resize(size_t(ch));
        for (int32_t r = 0; r < ch; ++r) {
            const int64_t sy = r * stepY;
            const int64_t yi = sy >> 6;
            rows_[size_t(r)] = yi + 1 >= height_ && r > 0 ? rows_[size_t(r) - 1]
                                                          : SourceRow{int32_t(yi), int(sy & 63)};
        }
        // The last pixel again, its own right-hand neighbour, and room to copy 8 bytes from it.
        mixed_.resize(size_t(width_ + 2) * 3, 0);
        pairs_.resize(size_t(cw_) * 8);
    }

    // Bilinear in 1/64 pixel. The two source rows are mixed first across the whole row; each
    // cell's pixel and its right-hand neighbour are then copied side by side (8 bytes a cell),
    // so that the mixing of the pairs runs over regular memory. Both mixes vectorise.
    void Interpolate(int32_t r) {
        const SourceRow& source = rows_[size_t(r)];
        const uint8_t* row0 = pixels_ + size_t(source.y) * stride_;
        const uint8_t* row1 = source.y + 1 < height_ ? row0 + stride_ : row0;
        const size_t rowBytes = size_t(width_) * 3;
        uint8_t* mixed = mixed_.data();
        for (size_t i = 0; i < rowBytes; ++i) {
            mixed[i] = uint8_t(Lerp64(row0[i], row1[i], source.v));
        }
        std::copy_n(mixed + rowBytes - 3, 3, mixed + rowBytes);
        // A local count: the byte stores might change a member, for all the compiler knows, and
        // the loops would not vectorise.
        const int32_t cw = cw_;
        uint8_t* pairs = pairs_.data();
        const uint32_t* offsets = offsets_.data();
        for (int32_t c = 0; c < cw; ++c) {
            std::memcpy(pairs + size_t(c) * 8, mixed + offsets[c], 8);
        }
        const uint8_t* u = weights_.data();
        uint8_t* blue = cells_.blue.data();
        uint8_t* green = cells_.green.data();
        uint8_t* red = cells_.red.data();
        for (int32_t c = 0; c < cw; ++c) {
            const uint8_t* pair = pairs + size_t(c) * 8;
            blue[c] = uint8_t(Lerp64(pair[0], pair[3], u[c]));
            green[c] = uint8_t(Lerp64(pair[1], pair[4], u[c]));
            red[c] = uint8_t(Lerp64(pair[2], pair[5], u[c]));
        }
    }

    struct SourceRow {
        int32_t y = 0;  // the lower of the two source rows
        int v = 0;      // weight of the upper, in 1/64
    };

    const uint8_t* pixels_;
    int32_t width_;
    int32_t height_;
    int32_t cw_;
    size_t stride_;
    int32_t block_;  // 0: interpolated
    CellRow cells_;
    std::vector<uint16_t> narrowSums_;  // a column of 4 bytes
    std::vector<uint32_t> wideSums_;
    std::vector<SourceRow> rows_;
    std::vector<uint32_t> offsets_;  // of each cell's left source pixel in a row, in bytes
    std::vector<uint8_t> weights_;   // of its right-hand neighbour, in 1/64
    std::vector<uint8_t> mixed_;
    std::vector<uint8_t> pairs_;
};

// Grey by the weights 0.299, 0.587, 0.114, truncated, for a row of cells (a loop the compiler
// vectorises).
void GreyRow(const CellRow& cells, uint8_t* grey) {
    const uint8_t* blue = cells.blue.data();
    const uint8_t* green = cells.green.data();
    const uint8_t* red = cells.red.data();
    const size_t count = cells.blue.size();
    for (size_t i = 0; i < count; ++i) {
        grey[i] = uint8_t((114u * blue[i] + 587u * green[i] + 299u * red[i]) / 1000u);
    }
}

// A frame grid's grey as the scans see it: stretched to the full range, then inverted on a
// bright background so that the background is always dark. Both steps map a grey to a level, so
// they are kept as tables and the grid itself is never rewritten.
struct GreyGrid {
    int32_t width = 0;  // of the frame
    int32_t height = 0;
    int32_t cw = 0;
    int32_t ch = 0;
    const uint8_t* grey = nullptr;  // the frame grid's
    uint8_t smallest = 0;           // grey range of the grid
    uint8_t largest = 0;
    std::array<uint8_t, 256> stretched{};
    std::array<uint8_t, 256> level{};  // stretched, and inverted on a bright background
    uint8_t background = 0;
    bool inverted = false;
    // How far the background's own cells stray from its level: the largest difference in the
    // corner blocks taken as background. Noise on a plain desk; grain on a textured one.
    int spread = 0;
    // The stretch: stretched = (grey - base) * 255 / range; range 0 when there was none.
    uint8_t base = 0;
    int range = 0;

    uint8_t At(int32_t r, int32_t c) const {
        return level[grey[size_t(r) * size_t(cw) + size_t(c)]];
    }
    uint8_t Stretched(int32_t r, int32_t c) const {
        return stretched[grey[size_t(r) * size_t(cw) + size_t(c)]];
    }
    int Difference(int32_t r, int32_t c) const { return std::abs(int(At(r, c)) - background); }
};

// Stretches the grid's grey to the full range. Returns the root mean square of the stretched
// levels, which the background is measured against.
int32_t StretchGrey(GreyGrid& grid) {
    const size_t count = size_t(grid.cw) * size_t(grid.ch);
    // Cells of each grey, counted in four tables in turn: equal cells follow one another on a
    // plain desk, and counting them all in one table would make each count wait for the last.
    constexpr size_t kTables = 4;
    uint32_t counts[kTables][256] = {};
    size_t i = 0;
    for (; i + kTables <= count; i += kTables) {
        for (size_t t = 0; t < kTables; ++t) {
            ++counts[t][grid.grey[i + t]];
        }
    }
    for (; i < count; ++i) {
        ++counts[0][grid.grey[i]];
    }
    uint32_t total[256];
    int smallest = 255;
    int largest = 0;
    for (int v = 0; v < 256; ++v) {
        total[v] = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
        if (total[v] != 0) {
            smallest = std::min(smallest, v);
            largest = v;
        }
    }
    grid.smallest = uint8_t(smallest);
    grid.largest = uint8_t(largest);
    const int range = largest - smallest;
    for (int v = 0; v < 256; ++v) {
        grid.stretched[size_t(v)] = uint8_t(v);
    }
    if (largest != 0 && range != 0) {
        grid.base = uint8_t(smallest);
        grid.range = range;
        for (int v = smallest; v <= largest; ++v) {
            const float q = float(v - smallest) / float(range);
            grid.stretched[size_t(v)] = uint8_t(std::clamp(int(255.0f * q), 0, 255));
        }
    }
    uint64_t squares = 0;
    for (size_t v = 0; v < 256; ++v) {
        squares += uint64_t(total[v]) * grid.stretched[v] * grid.stretched[v];
    }
    return int32_t(std::sqrt(double(squares) / double(count)));
}

int32_t CornerMean(const GreyGrid& grid, int32_t row0, int32_t col0) {
    int32_t sum = 0;
    for (int32_t r = row0; r < row0 + kCornerBlock; ++r) {
        for (int32_t c = col0; c < col0 + kCornerBlock; ++c) {
            sum += grid.Stretched(r, c);
        }
    }
    return sum / (kCornerBlock * kCornerBlock);
}

int32_t CornerSpread(const GreyGrid& grid, int32_t row0, int32_t col0) {
    int32_t spread = 0;
    for (int32_t r = row0; r < row0 + kCornerBlock; ++r) {
        for (int32_t c = col0; c < col0 + kCornerBlock; ++c) {
            spread = std::max(spread, int32_t(grid.Difference(r, c)));
        }
    }
    return spread;
}

// Background from the corners; a bright background inverts the grid so that it becomes dark.
void FindBackground(GreyGrid& grid, int32_t rms) {
    const int32_t top = grid.ch - kCornerBlock;
    const int32_t right = grid.cw - kCornerBlock;
    const int32_t rows[4] = {0, 0, top, top};
    const int32_t columns[4] = {0, right, right, 0};
    int32_t means[4];
    int darkCount = 0;
    int32_t darkLevel = rms;
    int32_t brightLevel = rms;
    for (int i = 0; i < 4; ++i) {
        means[i] = CornerMean(grid, rows[i], columns[i]);
        if (means[i] < rms) {
            ++darkCount;
            darkLevel = std::min(darkLevel, means[i]);
        } else if (means[i] > rms) {
            brightLevel = std::max(brightLevel, means[i]);
        }
    }
    grid.inverted = darkCount < 2;
    grid.background = uint8_t(grid.inverted ? 255 - brightLevel : darkLevel);
    for (size_t v = 0; v < 256; ++v) {
        grid.level[v] = uint8_t(grid.inverted ? 255 - grid.stretched[v] : grid.stretched[v]);
    }
    for (int i = 0; i < 4; ++i) {
        if (grid.inverted ? means[i] > rms : means[i] < rms) {
            grid.spread = std::max(grid.spread, CornerSpread(grid, rows[i], columns[i]));
        }
    }
}

// The running difference d = (d + |g - L|) >> 1 over every cell in grid order, or only whether
// it ends at `limit` or above. Each step halves what came before, so the last cells decide it:
// run from both ends of the range a few cells before the end, and when the two runs end on the
// same side of the limit, so does the run from the first cell (a step never swaps the order of
// two runs). Only when they do not is the tail taken longer, up to the whole grid.
bool RunningDifferenceReaches(const GreyGrid& grid, int limit) {
    const size_t count = size_t(grid.cw) * size_t(grid.ch);
    for (size_t tail = 64;; tail *= 2) {
        const size_t first = tail < count ? count - tail : 0;
        int low = 0;
        int high = first == 0 ? 0 : 255;
        for (size_t i = first; i < count; ++i) {
            const int difference = std::abs(int(grid.level[grid.grey[i]]) - grid.background);
            low = (low + difference) >> 1;
            high = (high + difference) >> 1;
        }
        if ((low >= limit) == (high >= limit)) {
            return low >= limit;
        }
    }
}

// 120 or 20 by the running difference from the background; raised to twice the background's
// spread, so that the grain of a textured desk is not taken for the page. A plain desk's noise
// stays far below 20 and leaves the threshold as it was.
int Threshold(const GreyGrid& grid) {
    return std::max(RunningDifferenceReaches(grid, 5) ? 120 : 20, kSpreadFactor * grid.spread);
}

// True when the line holds a run of kRunCells unlike cells. Such a run covers one of the cells
// kRunCells - 1, 2 kRunCells - 1, ...: only around those are runs measured.
bool HasRun(const uint8_t* unlike, int32_t count) {
    for (int32_t probe = kRunCells - 1; probe < count; probe += kRunCells) {
        if (!unlike[probe]) {
            continue;
        }
        int32_t first = probe;
        while (first > 0 && unlike[first - 1]) {
            --first;
        }
        int32_t last = probe;
        while (last - first + 1 < kRunCells && last + 1 < count && unlike[last + 1]) {
            ++last;
        }
        if (last - first + 1 >= kRunCells) {
            return true;
        }
    }
    return false;
}

// The grey levels of the grid whose cells are like the background (level within threshold of
// it), as the range first ... first + span. The levels rise, or with the inversion fall, with the
// grey, so the greys of the grid whose level lies within threshold of the background are one
// range. False when no grey of the grid is like the background.
bool LikeBackground(const GreyGrid& grid, int threshold, uint8_t& first, uint8_t& span) {
    int low = 256;
    int high = -1;
    for (int v = grid.smallest; v <= grid.largest; ++v) {
        if (std::abs(int(grid.level[size_t(v)]) - grid.background) <= threshold) {
            low = std::min(low, v);
            high = v;
        }
    }
    first = uint8_t(low);
    span = uint8_t(high - low);
    return high >= 0;
}

// Which rows and columns hold a run of more than 40 cells unlike the background. A line at a
// time, the cells are marked unlike and the columns' runs counted (capped at kRunCells, so they
// fit a byte) in loops the compiler vectorises.
void QualifyLines(const GreyGrid& grid, int threshold, std::vector<uint8_t>& rows,
                  std::vector<uint8_t>& columns) {
    rows.assign(size_t(grid.ch), 0);
    columns.assign(size_t(grid.cw), 0);
    const size_t cw = size_t(grid.cw);
    std::vector<uint8_t> unlike(cw, 1);
    std::vector<uint8_t> columnRun(cw, 0);
    uint8_t first = 0;
    uint8_t span = 0;
    const bool someLike = LikeBackground(grid, threshold, first, span);
    constexpr uint8_t kFullRun = kRunCells;
    uint8_t* unlikeCells = unlike.data();
    uint8_t* runs = columnRun.data();
    uint8_t* qualifies = columns.data();
    for (int32_t r = 0; r < grid.ch; ++r) {
        const uint8_t* line = grid.grey + size_t(r) * cw;
        if (someLike) {
            for (size_t c = 0; c < cw; ++c) {
                unlikeCells[c] = uint8_t(line[c] - first) > span ? 1 : 0;
            }
        }
        for (size_t c = 0; c < cw; ++c) {
            const uint8_t grown = runs[c] < kFullRun ? uint8_t(runs[c] + 1) : kFullRun;
            runs[c] = unlikeCells[c] ? grown : 0;
            qualifies[c] |= runs[c] == kFullRun ? 1 : 0;
        }
        rows[size_t(r)] = HasRun(unlikeCells, grid.cw) ? 1 : 0;
    }
}

// First line of the first band of 11 qualifying lines met from `first` in steps of `step`;
// `none`, and found cleared, when there is no such band.
int32_t ScanBand(const std::vector<uint8_t>& qualifies, int32_t first, int32_t step, int32_t none,
                 bool& found) {
    int32_t count = 0;
    int32_t start = none;
    const int32_t n = int32_t(qualifies.size());
    for (int32_t i = first; i >= 0 && i < n; i += step) {
        if (!qualifies[i]) {
            count = 0;
            continue;
        }
        if (count++ == 0) {
            start = i;
        }
        if (count >= kBandLines) {
            return start;
        }
    }
    found = false;
    return none;
}

struct Box {
    int32_t r1 = 0;
    int32_t r2 = 0;
    int32_t c1 = 0;
    int32_t c2 = 0;
    int threshold = 0;
    bool found = true;  // a band on every side
};

Box FindBox(const GreyGrid& grid) {
    std::vector<uint8_t> rows;
    std::vector<uint8_t> columns;
    Box box;
    box.threshold = Threshold(grid);
    QualifyLines(grid, box.threshold, rows, columns);
    box.r1 = ScanBand(rows, 0, 1, 0, box.found);
    box.r2 = ScanBand(rows, grid.ch - 1, -1, grid.ch - 1, box.found);
    box.c1 = ScanBand(columns, 0, 1, 0, box.found);
    box.c2 = ScanBand(columns, grid.cw - 1, -1, grid.cw - 1, box.found);
    // A band from the outermost line on is a page running past the picture's edge: its box is
    // cut there, and its lower edge may be the picture's.
    box.found =
        box.found && box.r1 > 0 && box.r2 < grid.ch - 1 && box.c1 > 0 && box.c2 < grid.cw - 1;
    return box;
}

constexpr int32_t kNoEdge = -1;

// Per box column, the height (grid rows above the box's bottom) of the lowest cell unlike the
// background: the document's lower edge.
std::vector<int32_t> LowerEdge(const GreyGrid& grid, const Box& box) {
    const int32_t wb = box.c2 - box.c1;
    const int32_t hb = box.r2 - box.r1;
    const int difference = std::max(kEdgeDifference, box.threshold);
    std::vector<int32_t> edge(std::max(wb, 0), kNoEdge);
    int32_t missing = wb;
    for (int32_t k = 0; k < hb && missing > 0; ++k) {
        for (int32_t j = 0; j < wb; ++j) {
            if (edge[j] == kNoEdge && grid.Difference(box.r1 + k, box.c1 + j) > difference) {
                edge[j] = k;
                --missing;
            }
        }
    }
    return edge;
}

struct Run {
    int32_t start = 0;  // 0: none (column 0 never starts a run)
    int32_t end = 0;
};

// The stretch of the lower edge strictly between the box's bottom and a box width above it.
// Along the lower edge such runs lie on both sides of the document's lowest corner: the long
// side of the page on one, the short, steep side on the other. The longest run is the long side,
// whichever way the page is turned.
Run LongestEdgeRun(const std::vector<int32_t>& edge) {
    const int32_t wb = int32_t(edge.size());
    Run best;
    Run current;
    for (int32_t j = 0; j < wb; ++j) {
        if (edge[j] == kNoEdge) {
            continue;
        }
        if (edge[j] != 0 && edge[j] < wb - 1) {
            if (current.start == 0) {
                current.start = j;
            }
        } else if (current.start != 0) {
            current.end = j;
            if (current.end - current.start > best.end - best.start) {
                best = current;
            }
            current = Run{};
        }
    }
    if (current.start != 0 && wb - current.start > best.end - best.start) {
        best = {current.start, wb};
    }
    return best;
}

// Mean rise (grid rows per column, upward) of the edge about the run's middle column.
float EdgeRise(const std::vector<int32_t>& edge, const Run& run) {
    int32_t mid = (run.start + run.end) / 2;
    for (int32_t d = 0; edge[mid] == kNoEdge; ++d) {
        if (mid + d < run.end && edge[mid + d] != kNoEdge) {
            mid += d;
        } else if (mid - d >= run.start && edge[mid - d] != kNoEdge) {
            mid -= d;
        }
    }
    float sum = 0;
    int32_t count = 0;
    for (int32_t l = run.start; l < run.end; ++l) {
        if (l == mid || edge[l] == kNoEdge) {
            continue;
        }
        sum += float(edge[l] - edge[mid]) / float(l - mid);
        ++count;
    }
    return count > 0 ? sum / float(count) : 0.0f;
}

// Least-squares tilt (clockwise as seen, degrees) of the lower edge over the middle of the box,
// leaving out a tenth at each end where a slightly tilted page's short side shows. On a page that
// has been turned level it is what remains of the tilt, measured without the whole-degree steps
// and the quantisation of the slope about one middle column. 90 when the edge is too sparse.
float LowerEdgeTilt(const std::vector<int32_t>& edge, float cellAspect) {
    const int32_t wb = int32_t(edge.size());
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int32_t j = wb / 10; j < wb - wb / 10; ++j) {
        if (edge[j] != kNoEdge) {
            n += 1;
            sx += j;
            sy += edge[j];
            sxx += double(j) * j;
            sxy += double(j) * edge[j];
        }
    }
    const double spread = n * sxx - sx * sx;
    if (n < wb / 2 || spread <= 0) {
        return 90.0f;
    }
    const double rise = (n * sxy - sx * sy) / spread;
    return float(std::atan(-rise * cellAspect) / std::numbers::pi * 180.0);
}

void MeasureTilt(const GreyGrid& grid, const Box& box, DocumentEdges& result) {
    const std::vector<int32_t> edge = LowerEdge(grid, box);
    const Run run = LongestEdgeRun(edge);
    // The grid runs bottom-up: a lower edge rising to the right is a page turned anticlockwise
    // as seen. slope is the edge's descent per column as seen (y downward), and its angle the
    // page's clockwise tilt.
    // Cells are square unless the frame does not divide evenly.
    const float cellAspect = float(double(grid.height) * grid.cw / (double(grid.width) * grid.ch));
    const float slope = run.start != 0 ? -EdgeRise(edge, run) * cellAspect : 0.0f;
    result.angle = int32_t(std::atan(double(slope)) / std::numbers::pi * 180.0);
    result.edgeTilt = LowerEdgeTilt(edge, cellAspect);
    char text[96];
    std::snprintf(text, sizeof text, "xielie=%f,a =%d,x=%d,x=%d", double(slope), result.angle,
                  run.start, run.start != 0 ? run.end : int32_t(edge.size()));
    result.text = text;
}

// The box's margin: 10 pixels around 4-pixel cells; as many cells (two and a half, rounded to
// whole pixels) around the smaller cells of a lower frame, whose page is smaller in pixels.
int32_t BoxMargin(const GreyGrid& grid) {
    const int64_t quarterCells = 4 * int64_t(grid.ch);
    return std::min(kMargin,
                    int32_t((kMargin * int64_t(grid.height) + quarterCells / 2) / quarterCells));
}

// Frame position of grid line `cell` (4 * cell when the frame divides evenly).
int32_t GridToPixels(int32_t cell, int32_t frameSize, int32_t cells) {
    return int32_t((int64_t(cell) * (int64_t(frameSize) * 64 / cells)) >> 6);
}

// The canvas and source mapping of CDibImage::Rotate (keep size off): the turned corners'
// bounding box, and for a turned pixel (x, y) the source point (c x' + s y', c y' - s x') with
// x' = sx + x, y' = sy + y, in stored (bottom-up) pixel positions.
struct TurnGeometry {
    int32_t width = 0;
    int32_t height = 0;
    float c = 1;
    float s = 0;
    float sx = 0;
    float sy = 0;

    TurnGeometry(int32_t w, int32_t h, float angle) {
        const float ang = float(-double(angle) * std::numbers::pi / 180.0);
        c = std::cos(ang);
        s = std::sin(ang);
        const float cx[4] = {-0.5f, float(w) - 0.5f, -0.5f, float(w) - 0.5f};
        const float cy[4] = {-0.5f, -0.5f, float(h) - 0.5f, float(h) - 0.5f};
        float minx = 0, maxx = 0, miny = 0, maxy = 0;
        for (int i = 0; i < 4; ++i) {
            const float tx = cx[i] * c - cy[i] * s;
            const float ty = cx[i] * s + cy[i] * c;
            minx = i == 0 ? tx : std::min(minx, tx);
            maxx = i == 0 ? tx : std::max(maxx, tx);
            miny = i == 0 ? ty : std::min(miny, ty);
            maxy = i == 0 ? ty : std::max(maxy, ty);
        }
        const double newW = std::floor(double(maxx) - minx + 0.5);
        const double newH = std::floor(double(maxy) - miny + 0.5);
        width = int32_t(std::min(newW, 1e9));
        height = int32_t(std::min(newH, 1e9));
        sx = float(((maxx + minx) - (newW - 1)) / 2);
        sy = float(((maxy + miny) - (newH - 1)) / 2);
    }
};

// Where grid cell centres sit along one side of a frame: cell i at offset + i * pitch pixels.
struct CellPitch {
    float offset = 0;
    float pitch = 4;

    CellPitch(int32_t frameSize, int32_t cells, bool even) {
        if (even) {
            const int32_t block = frameSize / cells;
            offset = float(block - 1) / 2;
            pitch = float(block);
        } else {
            pitch = float(int64_t(frameSize) * 64 / cells) / 64;
        }
    }
};

// Positions in 1/65536 cell.
constexpr int kFixedShift = 16;
constexpr double kFixedOne = 1 << kFixedShift;

// Weight (in 1/256) of the second of two neighbouring cells at a position a fraction (in 1/256)
// of the way from the first. The frame grid's cells are averages over their blocks already;
// mixing neighbours across the whole gap would soften a page's edge a second time and move the
// box outward, and taking the nearest cell alone would move the edge by up to half a cell. So
// the nearest cell is taken, mixed linearly with the other over the middle quarter of the gap.
constexpr std::array<int, 256> kBlendWeight = [] {
    std::array<int, 256> weights{};
    for (int f = 0; f < 256; ++f) {
        weights[size_t(f)] = std::clamp(4 * f - 384, 0, 256);
    }
    return weights;
}();

inline int BlendWeight(int64_t position) {
    return kBlendWeight[size_t(position >> (kFixedShift - 8)) & 255];
}

// A cell (lower left) mixed with its right, upper and upper right neighbours by the weights of
// the right and the upper ones.
inline uint8_t Blend(int lowerLeft, int lowerRight, int upperLeft, int upperRight, int wx, int wy) {
    const int lower = lowerLeft * 256 + (lowerRight - lowerLeft) * wx;
    const int upper = upperLeft * 256 + (upperRight - upperLeft) * wx;
    return uint8_t((lower * 256 + (upper - lower) * wy + (1 << 15)) >> 16);
}

// The grid's grey at a position near or past its edge: the neighbours outside take the fill.
uint8_t SampleAtEdge(const FrameGrid& grid, int64_t x, int64_t y, uint8_t fill) {
    const int64_t xi = x >> kFixedShift;
    const int64_t yi = y >> kFixedShift;
    if (xi < -1 || yi < -1 || xi >= grid.cw || yi >= grid.ch) {
        return fill;
    }
    const auto at = [&](int64_t col, int64_t row) -> int {
        const bool inside = col >= 0 && row >= 0 && col < grid.cw && row < grid.ch;
        return inside ? grid.grey[size_t(row) * size_t(grid.cw) + size_t(col)] : fill;
    };
    return Blend(at(xi, yi), at(xi + 1, yi), at(xi, yi + 1), at(xi + 1, yi + 1), BlendWeight(x),
                 BlendWeight(y));
}

// How many steps, from this one on, a position moving by `step` keeps its cell within first ...
// last, where it lies now.
int64_t StepsWithin(int64_t position, int64_t step, int64_t first, int64_t last) {
    if (step > 0) {
        return (((last + 1) << kFixedShift) - 1 - position) / step + 1;
    }
    if (step < 0) {
        return (position - (first << kFixedShift)) / -step + 1;
    }
    return std::numeric_limits<int64_t>::max();
}

// The turned picture's grid. Each cell is sampled from the frame's grid where ShrinkFrame would
// look in the turned picture (the middle of the cell's block when the picture divides evenly,
// the interpolation point otherwise), turned back into the frame; outside the frame it takes the
// fill. Along a row of cells that point moves in equal steps, followed in fixed point.
void SampleTurnedGrid(const FrameGrid& frame, const TurnGeometry& turn, uint8_t fill,
                      FrameGrid& grid) {
    const bool frameEven = DividesEvenly(frame.width, frame.height, frame.cw, frame.ch);
    const CellPitch frameX(frame.width, frame.cw, frameEven);
    const CellPitch frameY(frame.height, frame.ch, frameEven);
    const bool even = DividesEvenly(turn.width, turn.height, grid.cw, grid.ch);
    const CellPitch turnedX(turn.width, grid.cw, even);
    const CellPitch turnedY(turn.height, grid.ch, even);
    const double c = turn.c;
    const double s = turn.s;
    // Frame grid cells moved per turned cell along a row.
    const auto stepX = int64_t(std::llround(c * turnedX.pitch / frameX.pitch * kFixedOne));
    const auto stepY = int64_t(std::llround(-s * turnedX.pitch / frameY.pitch * kFixedOne));
    const double x = double(turn.sx) + turnedX.offset;
    const uint8_t* source = frame.grey.data();
    const int64_t cw = frame.cw;
    const int64_t ch = frame.ch;
    for (int32_t r = 0; r < grid.ch; ++r) {
        const double y = double(turn.sy) + turnedY.offset + double(r) * turnedY.pitch;
        int64_t gx = std::llround((c * x + s * y - frameX.offset) / frameX.pitch * kFixedOne);
        int64_t gy = std::llround((c * y - s * x - frameY.offset) / frameY.pitch * kFixedOne);
        uint8_t* cell = grid.grey.data() + size_t(r) * size_t(grid.cw);
        for (int64_t col = 0; col < grid.cw;) {
            const bool inside = uint64_t(gx >> kFixedShift) < uint64_t(cw - 1) &&
                                uint64_t(gy >> kFixedShift) < uint64_t(ch - 1);
            if (!inside) {
                cell[col++] = SampleAtEdge(frame, gx, gy, fill);
                gx += stepX;
                gy += stepY;
                continue;
            }
            // The stretch of cells whose four neighbours all lie inside the frame's grid.
            const int64_t end = col + std::min({StepsWithin(gx, stepX, 0, cw - 2),
                                                StepsWithin(gy, stepY, 0, ch - 2), grid.cw - col});
            for (; col < end; ++col, gx += stepX, gy += stepY) {
                const uint8_t* p = source + (gy >> kFixedShift) * cw + (gx >> kFixedShift);
                cell[col] = Blend(p[0], p[1], p[cw], p[cw + 1], BlendWeight(gx), BlendWeight(gy));
            }
        }
    }
}

// The grid over a canvas of width x height made from a frame frameHeight rows high (the frame
// itself, or the frame turned). Frames of 1200 rows or more get 4-pixel cells. A lower frame gets
// as many rows of cells as 1200 rows would (300; one per pixel below 300 rows), so that a page
// filling the same share of the picture spans as many cells: the 41-cell runs and 11-line bands
// that find it are counted in cells, and 4-pixel cells leave a page's margins on a 640 x 480 or
// 1280 x 720 frame too few lines. A turned frame keeps its frame's cell size.
void CanvasGridSize(int32_t width, int32_t height, int32_t frameHeight, int32_t& cw, int32_t& ch) {
    if (frameHeight >= 4 * kFullGridRows) {
        cw = width / 4;
        ch = height / 4;
    } else {
        const int64_t rows = std::min(frameHeight, kFullGridRows);
        cw = int32_t(int64_t(width) * rows / frameHeight);
        ch = int32_t(int64_t(height) * rows / frameHeight);
    }
    if (cw % 8 != 0) {
        cw -= cw % 8;
    }
}

}  // namespace

void DocumentGridSize(int32_t width, int32_t height, int32_t& cw, int32_t& ch) {
    CanvasGridSize(width, height, height, cw, ch);
}

void ShrinkFrame(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* grid, int32_t cw,
                 int32_t ch) {
    if (!pixels || !grid || width <= 0 || height <= 0 || cw <= 0 || ch <= 0) {
        return;
    }
    RowShrinker shrinker(pixels, width, height, cw, ch);
    for (int32_t r = 0; r < ch; ++r) {
        const CellRow& cells = shrinker.Row(r);
        uint8_t* cell = grid + size_t(r) * size_t(cw) * 3;
        for (size_t c = 0; c < size_t(cw); ++c, cell += 3) {
            cell[0] = cells.blue[c];
            cell[1] = cells.green[c];
            cell[2] = cells.red[c];
        }
    }
}

bool MakeFrameGrid(const uint8_t* pixels, int32_t width, int32_t height, FrameGrid& grid) {
    if (!pixels || width < kMinWidth || height < kMinHeight) {
        return false;
    }
    grid.width = width;
    grid.height = height;
    DocumentGridSize(width, height, grid.cw, grid.ch);
    try {
        grid.grey.resize(size_t(grid.cw) * size_t(grid.ch));
        RowShrinker shrinker(pixels, width, height, grid.cw, grid.ch);
        for (int32_t r = 0; r < grid.ch; ++r) {
            GreyRow(shrinker.Row(r), grid.grey.data() + size_t(r) * size_t(grid.cw));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool MakeTurnedFrameGrid(const FrameGrid& frame, float angle, uint8_t fill, FrameGrid& turned) {
    if (frame.width < kMinWidth || frame.height < kMinHeight || frame.cw <= 0 || frame.ch <= 0 ||
        frame.grey.size() != size_t(frame.cw) * size_t(frame.ch)) {
        return false;
    }
    const TurnGeometry turn(frame.width, frame.height, angle);
    turned.width = turn.width;
    turned.height = turn.height;
    CanvasGridSize(turn.width, turn.height, frame.height, turned.cw, turned.ch);
    try {
        turned.grey.resize(size_t(turned.cw) * size_t(turned.ch));
    } catch (const std::bad_alloc&) {
        return false;
    }
    SampleTurnedGrid(frame, turn, fill, turned);
    return true;
}

bool FindDocumentEdges(const FrameGrid& frame, bool slopeMode, DocumentEdges& result,
                       int knownSpread) {
    if (frame.width < kMinWidth || frame.height < kMinHeight || frame.cw <= 0 ||
        frame.ch < kCornerBlock || frame.grey.size() != size_t(frame.cw) * size_t(frame.ch)) {
        return false;
    }
    GreyGrid grid;
    grid.width = frame.width;
    grid.height = frame.height;
    grid.cw = frame.cw;
    grid.ch = frame.ch;
    grid.grey = frame.grey.data();
    FindBackground(grid, StretchGrey(grid));
    grid.spread = std::max(grid.spread, knownSpread);
    const Box box = FindBox(grid);
    DocumentEdges found = result;
    found.background = grid.background;
    found.inverted = grid.inverted;
    found.backgroundSpread = grid.spread;
    found.boxFound = box.found;
    const int level = grid.inverted ? 255 - grid.background : grid.background;
    found.frameBackground = uint8_t(grid.range != 0 ? grid.base + level * grid.range / 255 : level);
    // A cell is 4 pixels wide only when the frame divides evenly; otherwise (a turned frame,
    // 1360 x 1020) the grid's real step keeps the box on the document.
    const int32_t margin = BoxMargin(grid);
    const int32_t left = GridToPixels(box.c1, grid.width, grid.cw) - margin;
    const int32_t top = grid.height - GridToPixels(box.r2, grid.height, grid.ch) - margin;
    const int32_t right = GridToPixels(box.c2, grid.width, grid.cw) + margin;
    const int32_t bottom = grid.height - GridToPixels(box.r1, grid.height, grid.ch) + margin;
    found.points = {QvPoint{left, top}, QvPoint{right, top}, QvPoint{right, bottom},
                    QvPoint{left, bottom}};
    // A box side's cell is at least half document, so the document's edge lies within the half
    // cell outside the next cell line.
    found.inside = {GridToPixels(box.c1 + 1, grid.width, grid.cw),
                    grid.height - GridToPixels(box.r2, grid.height, grid.ch),
                    GridToPixels(box.c2, grid.width, grid.cw),
                    grid.height - GridToPixels(box.r1 + 1, grid.height, grid.ch)};
    if (slopeMode) {
        MeasureTilt(grid, box, found);
    }
    result = std::move(found);
    return true;
}

bool FindDocumentEdges(const uint8_t* pixels, int32_t width, int32_t height, bool slopeMode,
                       DocumentEdges& result) {
    FrameGrid grid;
    return MakeFrameGrid(pixels, width, height, grid) && FindDocumentEdges(grid, slopeMode, result);
}
