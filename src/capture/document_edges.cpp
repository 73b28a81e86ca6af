#include "capture/document_edges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// Average of c x c blocks; the usual case (1600 x 1200 -> 400 x 300). The rows of a band are
// summed first, byte by byte (a loop the compiler vectorises), then folded into cells. Sum holds
// a column of c bytes: 16 bits while c <= 257.
template <typename Sum>
void ShrinkByBlocks(const uint8_t* pixels, int32_t width, int32_t c, uint8_t* grid, int32_t cw,
                    int32_t ch) {
    const size_t stride = DibStride24(width);
    const size_t rowBytes = size_t(width) * 3;
    const uint32_t area = uint32_t(c) * uint32_t(c);
    std::vector<Sum> columnSums(rowBytes);
    for (int32_t r = 0; r < ch; ++r) {
        const uint8_t* row = pixels + size_t(r) * c * stride;
        Sum* sums = columnSums.data();
        for (size_t i = 0; i < rowBytes; ++i) {
            sums[i] = row[i];
        }
        for (int32_t dy = 1; dy < c; ++dy) {
            row += stride;
            for (size_t i = 0; i < rowBytes; ++i) {
                sums[i] = Sum(sums[i] + row[i]);
            }
        }
        uint8_t* cell = grid + size_t(r) * cw * 3;
        const Sum* sum = columnSums.data();
        for (int32_t x = 0; x < cw; ++x, cell += 3) {
            uint32_t b = 0, g = 0, red = 0;
            for (int32_t dx = 0; dx < c; ++dx, sum += 3) {
                b += sum[0];
                g += sum[1];
                red += sum[2];
            }
            // sum / c / c, both divisions truncating, is sum / (c * c).
            cell[0] = uint8_t(b / area);
            cell[1] = uint8_t(g / area);
            cell[2] = uint8_t(red / area);
        }
    }
}

inline int Lerp64(int a, int b, int u) {
    return (a * (64 - u) + b * u + 32) >> 6;
}

// Bilinear sampling in 1/64 pixel steps when the frame does not divide evenly.
void ShrinkByInterpolation(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* grid,
                           int32_t cw, int32_t ch) {
    const size_t stride = DibStride24(width);
    const int64_t stepX = int64_t(width) * 64 / cw;
    const int64_t stepY = int64_t(height) * 64 / ch;
    const size_t gridStride = size_t(cw) * 3;
    for (int32_t r = 0; r < ch; ++r) {
        uint8_t* cell = grid + size_t(r) * gridStride;
        const int64_t sy = r * stepY;
        const int64_t yi = sy >> 6;
        if (yi + 1 >= height && r > 0) {
            std::copy_n(cell - gridStride, gridStride, cell);
            continue;
        }
        const int v = int(sy & 63);
        const uint8_t* row0 = pixels + size_t(yi) * stride;
        const uint8_t* row1 = yi + 1 < height ? row0 + stride : row0;
        for (int32_t c = 0; c < cw; ++c, cell += 3) {
            const int64_t sx = c * stepX;
            const int64_t xi = sx >> 6;
            if (xi + 1 >= width && c > 0) {
                std::copy_n(cell - 3, 3, cell);
                continue;
            }
            const int u = int(sx & 63);
            const size_t x0 = size_t(xi) * 3;
            const size_t x1 = xi + 1 < width ? x0 + 3 : x0;
            for (int k = 0; k < 3; ++k) {
                const int top = Lerp64(row0[x0 + k], row0[x1 + k], u);
                const int bottom = Lerp64(row1[x0 + k], row1[x1 + k], u);
                cell[k] = uint8_t(Lerp64(top, bottom, v));
            }
        }
    }
}

// The grey grid with the background level the scans compare against.
struct GreyGrid {
    int32_t width = 0;  // of the frame
    int32_t height = 0;
    int32_t cw = 0;
    int32_t ch = 0;
    std::vector<uint8_t> g;
    uint8_t background = 0;
    bool inverted = false;
    // How far the background's own cells stray from its level: the largest difference in the
    // corner blocks taken as background. Noise on a plain desk; grain on a textured one.
    int spread = 0;
    // Grey before stretching: g = smallest + stretched * range / 255.
    uint8_t smallest = 0;
    int range = 0;

    uint8_t At(int32_t r, int32_t c) const { return g[size_t(r) * cw + c]; }
    int Difference(int32_t r, int32_t c) const { return std::abs(int(At(r, c)) - background); }
};

// Grey by the weights 0.299, 0.587, 0.114 (truncated), then stretched to the full range.
void MakeGrey(const std::vector<uint8_t>& cells, GreyGrid& grid) {
    const size_t count = grid.g.size();
    uint8_t smallest = 255;
    uint8_t largest = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* cell = &cells[i * 3];
        const uint8_t grey = uint8_t((114u * cell[0] + 587u * cell[1] + 299u * cell[2]) / 1000u);
        grid.g[i] = grey;
        smallest = std::min(smallest, grey);
        largest = std::max(largest, grey);
    }
    const int range = largest - smallest;
    if (largest == 0 || range == 0) {
        return;
    }
    grid.smallest = smallest;
    grid.range = range;
    uint8_t stretch[256];
    for (int v = 0; v < 256; ++v) {
        const float q = float(v - smallest) / float(range);
        stretch[v] = uint8_t(std::clamp(int(255.0f * q), 0, 255));
    }
    for (uint8_t& grey : grid.g) {
        grey = stretch[grey];
    }
}

int32_t CornerMean(const GreyGrid& grid, int32_t row0, int32_t col0) {
    int32_t sum = 0;
    for (int32_t r = row0; r < row0 + kCornerBlock; ++r) {
        for (int32_t c = col0; c < col0 + kCornerBlock; ++c) {
            sum += grid.At(r, c);
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
void FindBackground(GreyGrid& grid) {
    uint64_t squares = 0;
    for (uint8_t grey : grid.g) {
        squares += uint64_t(grey) * grey;
    }
    const int32_t rms = int32_t(std::sqrt(double(squares) / double(grid.g.size())));
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
    if (grid.inverted) {
        grid.background = uint8_t(255 - brightLevel);
        for (uint8_t& grey : grid.g) {
            grey = uint8_t(255 - grey);
        }
    } else {
        grid.background = uint8_t(darkLevel);
    }
    for (int i = 0; i < 4; ++i) {
        if (grid.inverted ? means[i] > rms : means[i] < rms) {
            grid.spread = std::max(grid.spread, CornerSpread(grid, rows[i], columns[i]));
        }
    }
}

// 120 or 20 by the running difference from the background; raised to twice the background's
// spread, so that the grain of a textured desk is not taken for the page. A plain desk's noise
// stays far below 20 and leaves the threshold as it was.
int Threshold(const GreyGrid& grid) {
    int d = 0;
    for (uint8_t grey : grid.g) {
        d = (d + std::abs(int(grey) - grid.background)) >> 1;
    }
    return std::max(d >= 5 ? 120 : 20, kSpreadFactor * grid.spread);
}

// Which rows and columns hold a run of more than 40 cells unlike the background.
void QualifyLines(const GreyGrid& grid, int threshold, std::vector<uint8_t>& rows,
                  std::vector<uint8_t>& columns) {
    rows.assign(grid.ch, 0);
    columns.assign(grid.cw, 0);
    std::vector<int32_t> columnRun(grid.cw, 0);
    for (int32_t r = 0; r < grid.ch; ++r) {
        int32_t run = 0;
        for (int32_t c = 0; c < grid.cw; ++c) {
            if (grid.Difference(r, c) > threshold) {
                if (++run >= kRunCells) {
                    rows[r] = 1;
                }
                if (++columnRun[c] >= kRunCells) {
                    columns[c] = 1;
                }
            } else {
                run = 0;
                columnRun[c] = 0;
            }
        }
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

inline int32_t Floor(float v) {
    const int32_t i = int32_t(v);
    return i - (v < float(i));
}

// Bilinear sample of the frame at a stored position; neighbours outside take the fill. Inside
// the frame the weights are CDibImage::Rotate's 8-bit fixed-point ones.
void SampleBilinear(const uint8_t* pixels, int32_t width, int32_t height, size_t stride, float x,
                    float y, uint8_t fill, uint8_t* out) {
    const int32_t xi = Floor(x);
    const int32_t yi = Floor(y);
    const float fx = x - float(xi);
    const float fy = y - float(yi);
    if (xi >= 0 && yi >= 0 && xi + 1 < width && yi + 1 < height) {
        const int w1 = int(fx * 256);
        const int w2 = int(fy * 256);
        const int d = (w1 * w2) >> 8;
        const int b = w1 - d;
        const int c = w2 - d;
        const int a = 256 - w1 - c;
        const uint8_t* p0 = pixels + size_t(yi) * stride + size_t(xi) * 3;
        const uint8_t* p1 = p0 + stride;
        for (int k = 0; k < 3; ++k) {
            out[k] = uint8_t((p0[k] * a + p0[k + 3] * b + p1[k] * c + p1[k + 3] * d) >> 8);
        }
        return;
    }
    if (xi < -1 || xi >= width || yi < -1 || yi >= height) {
        out[0] = out[1] = out[2] = fill;
        return;
    }
    const float weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    float sum[3] = {0, 0, 0};
    for (int n = 0; n < 4; ++n) {
        const int32_t px = xi + (n & 1);
        const int32_t py = yi + (n >> 1);
        const bool inside = px >= 0 && py >= 0 && px < width && py < height;
        const uint8_t* p = inside ? pixels + size_t(py) * stride + size_t(px) * 3 : nullptr;
        for (int k = 0; k < 3; ++k) {
            sum[k] += weights[n] * float(p ? p[k] : fill);
        }
    }
    for (int k = 0; k < 3; ++k) {
        out[k] = uint8_t(std::clamp(int(sum[k] + 0.5f), 0, 255));
    }
}

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

bool DividesEvenly(int32_t width, int32_t height, int32_t cw, int32_t ch) {
    const int32_t c = width / cw;
    return c == height / ch && width % cw == 0 && height % ch == 0;
}

// The turned picture's grid, each cell sampled once from the frame where ShrinkFrame would look
// in the turned picture: at the middle of the cell's block when the picture divides evenly, at
// the interpolation point otherwise. Turning only these points instead of the whole frame keeps
// the turn to a sixteenth of the work.
void SampleTurnedGrid(const uint8_t* pixels, int32_t width, int32_t height,
                      const TurnGeometry& turn, uint8_t fill, FrameGrid& grid) {
    const size_t stride = DibStride24(width);
    const bool even = DividesEvenly(turn.width, turn.height, grid.cw, grid.ch);
    const CellPitch turnedX(turn.width, grid.cw, even);
    const CellPitch turnedY(turn.height, grid.ch, even);
    uint8_t* cell = grid.cells.data();
    for (int32_t r = 0; r < grid.ch; ++r) {
        const float y = turn.sy + turnedY.offset + float(r) * turnedY.pitch;
        for (int32_t col = 0; col < grid.cw; ++col, cell += 3) {
            const float x = turn.sx + turnedX.offset + float(col) * turnedX.pitch;
            SampleBilinear(pixels, width, height, stride, turn.c * x + turn.s * y,
                           turn.c * y - turn.s * x, fill, cell);
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
    if (DividesEvenly(width, height, cw, ch)) {
        const int32_t c = width / cw;
        if (c <= 257) {
            ShrinkByBlocks<uint16_t>(pixels, width, c, grid, cw, ch);
        } else {
            ShrinkByBlocks<uint32_t>(pixels, width, c, grid, cw, ch);
        }
    } else {
        ShrinkByInterpolation(pixels, width, height, grid, cw, ch);
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
        grid.cells.resize(size_t(grid.cw) * grid.ch * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ShrinkFrame(pixels, width, height, grid.cells.data(), grid.cw, grid.ch);
    return true;
}

bool MakeTurnedFrameGrid(const uint8_t* pixels, int32_t width, int32_t height, float angle,
                         uint8_t fill, FrameGrid& grid) {
    if (!pixels || width < kMinWidth || height < kMinHeight) {
        return false;
    }
    const TurnGeometry turn(width, height, angle);
    grid.width = turn.width;
    grid.height = turn.height;
    CanvasGridSize(turn.width, turn.height, height, grid.cw, grid.ch);
    try {
        grid.cells.resize(size_t(grid.cw) * grid.ch * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    SampleTurnedGrid(pixels, width, height, turn, fill, grid);
    return true;
}

bool FindDocumentEdges(const FrameGrid& frame, bool slopeMode, DocumentEdges& result,
                       int knownSpread) {
    if (frame.width < kMinWidth || frame.height < kMinHeight || frame.cw <= 0 ||
        frame.ch < kCornerBlock || frame.cells.size() != size_t(frame.cw) * size_t(frame.ch) * 3) {
        return false;
    }
    GreyGrid grid;
    grid.width = frame.width;
    grid.height = frame.height;
    grid.cw = frame.cw;
    grid.ch = frame.ch;
    try {
        grid.g.resize(size_t(grid.cw) * grid.ch);
    } catch (const std::bad_alloc&) {
        return false;
    }
    MakeGrey(frame.cells, grid);
    FindBackground(grid);
    grid.spread = std::max(grid.spread, knownSpread);
    const Box box = FindBox(grid);
    DocumentEdges found = result;
    found.background = grid.background;
    found.inverted = grid.inverted;
    found.backgroundSpread = grid.spread;
    found.boxFound = box.found;
    const int level = grid.inverted ? 255 - grid.background : grid.background;
    found.frameBackground =
        uint8_t(grid.range != 0 ? grid.smallest + level * grid.range / 255 : level);
    // A cell is 4 pixels wide only when the frame divides evenly; otherwise (a turned frame,
    // 1360 x 1020) the grid's real step keeps the box on the document.
    const int32_t margin = BoxMargin(grid);
    const int32_t left = GridToPixels(box.c1, grid.width, grid.cw) - margin;
    const int32_t top = grid.height - GridToPixels(box.r2, grid.height, grid.ch) - margin;
    const int32_t right = GridToPixels(box.c2, grid.width, grid.cw) + margin;
    const int32_t bottom = grid.height - GridToPixels(box.r1, grid.height, grid.ch) + margin;
    found.points = {QvPoint{left, top}, QvPoint{right, top}, QvPoint{right, bottom},
                    QvPoint{left, bottom}};
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
