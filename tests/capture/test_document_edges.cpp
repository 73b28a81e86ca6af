#include "capture/document_edges.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "page_frames.h"

namespace {

std::vector<uint8_t> UniformFrame(int32_t width, int32_t height, uint8_t grey) {
    return std::vector<uint8_t>(DibStride24(width) * height, grey);
}

// Paints x0 <= x < x1, y0 <= y < y1 (picture pixels from the top-left corner) in a grey.
void Paint(std::vector<uint8_t>& pixels, int32_t width, int32_t height, int32_t x0, int32_t y0,
           int32_t x1, int32_t y1, uint8_t grey) {
    for (int32_t y = y0; y < y1; ++y) {
        uint8_t* row = &pixels[size_t(height - 1 - y) * DibStride24(width)];
        std::fill(row + 3 * x0, row + 3 * x1, grey);
    }
}

DocumentEdges Find(const std::vector<uint8_t>& pixels, int32_t width, int32_t height,
                   bool slopeMode) {
    DocumentEdges result;
    EXPECT_TRUE(FindDocumentEdges(pixels.data(), width, height, slopeMode, result));
    return result;
}

DocumentEdges Find(const PageScene& scene, bool slopeMode) {
    return Find(RenderPage(scene), scene.width, scene.height, slopeMode);
}

struct GridCase {
    int32_t width, height, cw, ch;
};

class GridSize : public ::testing::TestWithParam<GridCase> {};

// 4-pixel cells from 1200 rows on, 300 rows of cells below (one per pixel below 300 rows); the
// width in cells rounded down to a multiple of 8.
TEST_P(GridSize, CellsFollowTheFrameHeight) {
    int32_t cw = 0;
    int32_t ch = 0;
    DocumentGridSize(GetParam().width, GetParam().height, cw, ch);
    EXPECT_EQ(cw, GetParam().cw);
    EXPECT_EQ(ch, GetParam().ch);
}

INSTANTIATE_TEST_SUITE_P(Frames, GridSize,
                         ::testing::Values(GridCase{1600, 1200, 400, 300},
                                           GridCase{1700, 1275, 424, 318},
                                           GridCase{2592, 1944, 648, 486},
                                           GridCase{1360, 1020, 400, 300},
                                           GridCase{1280, 720, 528, 300},
                                           GridCase{640, 480, 400, 300}, GridCase{36, 20, 32, 20}));

TEST(ShrinkFrame, BlockAverageKeepsBottomUpOrder) {
    const int32_t w = 64, h = 32;
    std::vector<uint8_t> pixels(DibStride24(w) * h);
    std::mt19937 random(7);
    for (auto& byte : pixels) {
        byte = uint8_t(random());
    }
    std::vector<uint8_t> grid(16 * 8 * 3);
    ShrinkFrame(pixels.data(), w, h, grid.data(), 16, 8);
    for (int r : {0, 3, 7}) {
        for (int c : {0, 9, 15}) {
            for (int k = 0; k < 3; ++k) {
                unsigned sum = 0;
                for (int y = 4 * r; y < 4 * r + 4; ++y) {
                    for (int x = 4 * c; x < 4 * c + 4; ++x) {
                        sum += pixels[y * DibStride24(w) + 3 * x + k];
                    }
                }
                EXPECT_EQ(grid[(r * 16 + c) * 3 + k], sum / 16) << r << "," << c << "," << k;
            }
        }
    }
}

TEST(ShrinkFrame, UnevenFrameIsInterpolatedAcrossTheWholeGrid) {
    // 1360 x 1020 does not divide into 336 x 255 blocks: cells are sampled every 259/64 pixel.
    const int32_t w = 1360, h = 1020, cw = 336, ch = 255;
    std::vector<uint8_t> pixels(DibStride24(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = &pixels[y * DibStride24(w) + 3 * x];
            p[0] = uint8_t(x * 255 / (w - 1));  // blue: left to right
            p[1] = uint8_t(y * 255 / (h - 1));  // green: bottom row to top row
            p[2] = 77;
        }
    }
    std::vector<uint8_t> grid(size_t(cw) * ch * 3, 0);
    ShrinkFrame(pixels.data(), w, h, grid.data(), cw, ch);
    for (int32_t r = 0; r < ch; r += 17) {
        for (int32_t c = 0; c < cw; c += 13) {
            const uint8_t* cell = &grid[(size_t(r) * cw + c) * 3];
            const double x = c * 259 / 64.0;
            const double y = r * (1020 * 64 / 255) / 64.0;
            EXPECT_NEAR(cell[0], x * 255 / (w - 1), 1.5) << r << "," << c;
            EXPECT_NEAR(cell[1], y * 255 / (h - 1), 1.5) << r << "," << c;
            EXPECT_EQ(cell[2], 77);
        }
    }
    const uint8_t* last = &grid[(size_t(ch) * cw - 1) * 3];
    EXPECT_GT(last[0], 250);
    EXPECT_GT(last[1], 250);
}

TEST(FindDocumentEdges, TooSmallFramesGiveNoResultAndWriteNothing) {
    for (auto [w, h] : {std::pair{31, 100}, {100, 19}, {0, 0}}) {
        const auto pixels = UniformFrame(std::max(w, 1), std::max(h, 1), 9);
        DocumentEdges result;
        result.angle = 42;
        result.background = 7;
        EXPECT_FALSE(FindDocumentEdges(pixels.data(), w, h, true, result)) << w << "x" << h;
        EXPECT_FALSE(FindDocumentEdges(pixels.data(), w, h, false, result)) << w << "x" << h;
        EXPECT_EQ(result.angle, 42);
        EXPECT_EQ(result.background, 7);
    }
    const auto smallest = UniformFrame(32, 20, 9);
    DocumentEdges result;
    EXPECT_TRUE(FindDocumentEdges(smallest.data(), 32, 20, true, result));
}

class UniformFrames : public ::testing::TestWithParam<std::tuple<GridCase, int>> {};

TEST_P(UniformFrames, BoxIsTheWholeGridAndAngleIsZero) {
    const auto [size, grey] = GetParam();
    const auto pixels = UniformFrame(size.width, size.height, uint8_t(grey));
    const DocumentEdges box = Find(pixels, size.width, size.height, false);
    // Grid lines sit 4 pixels apart when the frame divides evenly, at their real step otherwise.
    const int32_t stepX = size.width * 64 / size.cw;
    const int32_t stepY = size.height * 64 / size.ch;
    const int32_t top = size.height - ((size.ch - 1) * stepY >> 6) - 10;
    const int32_t right = ((size.cw - 1) * stepX >> 6) + 10;
    const int32_t bottom = size.height + 10;
    EXPECT_EQ(box.points[0], (QvPoint{-10, top}));
    EXPECT_EQ(box.points[1], (QvPoint{right, top}));
    EXPECT_EQ(box.points[2], (QvPoint{right, bottom}));
    EXPECT_EQ(box.points[3], (QvPoint{-10, bottom}));
    EXPECT_EQ(Find(pixels, size.width, size.height, true).angle, 0);
}

INSTANTIATE_TEST_SUITE_P(Frames, UniformFrames,
                         ::testing::Combine(::testing::Values(GridCase{1600, 1200, 400, 300},
                                                              GridCase{1700, 1275, 424, 318}),
                                            ::testing::Values(0, 128, 255)));

// An upright page at x 400..1199, y 300..899 covers grid columns 100..299 and (bottom-up) grid
// rows 75..224; the box adds 10 pixels outside the cells' outer edges at left and bottom and
// 6 at top and right (the box is measured from the cells' lower-left corners).
TEST(FindDocumentEdges, UprightPageGivesItsBoxOnDarkAndBrightBackgrounds) {
    for (auto [page, background, inverted] :
         {std::tuple{250, 20, false}, {30, 235, true}, {200, 90, false}}) {
        PageScene scene;
        scene.pageWidth = 800;
        scene.pageHeight = 600;
        scene.page = uint8_t(page);
        scene.background = uint8_t(background);
        const DocumentEdges box = Find(scene, false);
        EXPECT_EQ(box.inverted, inverted) << page << " on " << background;
        EXPECT_EQ(box.points[0], (QvPoint{390, 294})) << page << " on " << background;
        EXPECT_EQ(box.points[2], (QvPoint{1206, 910})) << page << " on " << background;
        EXPECT_NEAR(box.frameBackground, background, 2);
        const DocumentEdges tilt = Find(scene, true);
        EXPECT_EQ(tilt.angle, 0) << tilt.text;
        EXPECT_LT(tilt.background, 30) << "the background is always the dark side";
    }
}

// A line qualifies with a run of more than 40 unlike cells: bars 40 and 41 cells long (4-pixel
// cells) and 60 wide, lying along rows or columns at several places. The 60-cell lines across the
// bar always give its ends; its sides are found only when it is 41 cells long, otherwise those
// sides fall back to the picture's edges.
struct RunCase {
    bool alongRows;
    int32_t cells;
    int32_t first;  // the bar's first cell along its length
};

class RunLength : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunLength, MoreThanFortyCellsMakeALine) {
    const auto [alongRows, cells, first] = GetParam();
    const int32_t w = 1600, h = 1200;
    auto pixels = UniformFrame(w, h, 0);
    // Positions from the left, or from the bottom (the grid's order).
    const int32_t start = 4 * first, end = 4 * (first + cells), side0 = 480, side1 = 720;
    if (alongRows) {
        Paint(pixels, w, h, start, h - side1, end, h - side0, 255);
    } else {
        Paint(pixels, w, h, side0, h - end, side1, h - start, 255);
    }
    const DocumentEdges box = Find(pixels, w, h, false);
    // The box runs from the first cells' lower-left corners to the last cells', 10 pixels out.
    const int32_t ends[2] = {alongRows ? box.points[0].x : h - box.points[2].y,
                             alongRows ? box.points[2].x : h - box.points[0].y};
    const int32_t sides[2] = {alongRows ? h - box.points[2].y : box.points[0].x,
                              alongRows ? h - box.points[0].y : box.points[2].x};
    EXPECT_EQ(ends[0], start - 10);
    EXPECT_EQ(ends[1], end - 4 + 10);
    const int32_t last = 4 * ((alongRows ? 300 : 400) - 1);
    EXPECT_EQ(sides[0], cells > 40 ? side0 - 10 : -10);
    EXPECT_EQ(sides[1], cells > 40 ? side1 - 4 + 10 : last + 10);
}

INSTANTIATE_TEST_SUITE_P(Bars, RunLength,
                         ::testing::Values(RunCase{true, 40, 41}, RunCase{true, 41, 41},
                                           RunCase{true, 40, 0}, RunCase{true, 41, 0},
                                           RunCase{true, 41, 60}, RunCase{true, 41, 82},
                                           RunCase{false, 40, 41}, RunCase{false, 41, 41},
                                           RunCase{false, 41, 0}, RunCase{false, 41, 82}));

// A cell is unlike the background when it differs by more than the threshold: 120 when the
// running difference over every cell ends at 5 or more, else 20. A grey page 80 levels above the
// background; a band along the top of the picture (the grid's last cells): 5 levels above it
// leaves the difference at 4 when it comes after background, but at 5 when it comes after white,
// whose difference it halves down to 5; 10 levels raise it to 120 and the page is lost. A page
// 20 levels above the background is not told from it, 21 levels is.
TEST(FindDocumentEdges, CellsDifferByMoreThanTheThresholdTheRunningDifferenceChooses) {
    struct Case {
        int page, band;
        bool whiteBeforeBand, found;
    };
    for (const Case& c :
         {Case{80, 0, false, true}, Case{80, 5, false, true}, Case{80, 10, false, false},
          Case{80, 5, true, false}, Case{20, 0, false, false}, Case{21, 0, false, true}}) {
        const int32_t w = 1600, h = 1200;
        auto pixels = UniformFrame(w, h, 0);
        Paint(pixels, w, h, 400, 300, 1200, 900, uint8_t(c.page));
        Paint(pixels, w, h, 0, 0, w, 40, uint8_t(c.band));
        if (c.whiteBeforeBand) {
            Paint(pixels, w, h, 0, 40, w, 80, 255);
        }
        // A speck of white keeps the grey scale as it is (no stretch).
        Paint(pixels, w, h, 100, 600, 108, 608, 255);
        const DocumentEdges box = Find(pixels, w, h, false);
        EXPECT_EQ(box.boxFound, c.found) << c.page << " " << c.band << " " << c.whiteBeforeBand;
        EXPECT_EQ(box.background, 0);
    }
}

TEST(FindDocumentEdges, DiagnosticTextHasItsShape) {
    PageScene scene;
    scene.tiltDegrees = 6;
    const DocumentEdges tilt = Find(scene, true);
    float slope = 0;
    int angle = -1, start = -1, end = -1;
    ASSERT_EQ(
        std::sscanf(tilt.text.c_str(), "xielie=%f,a =%d,x=%d,x=%d", &slope, &angle, &start, &end),
        4)
        << tilt.text;
    EXPECT_EQ(angle, tilt.angle);
    EXPECT_LT(start, end);
}

// Pages turned either way: the angle has the turn's sign (clockwise as seen positive), so that
// turning the picture by -angle straightens the page, and is the tilt in whole degrees.
void ExpectAngle(const PageScene& scene, const DocumentEdges& found) {
    EXPECT_LE(std::abs(found.angle - scene.tiltDegrees), 1.0)
        << "tilt " << scene.tiltDegrees << ": " << found.text;
    if (std::abs(scene.tiltDegrees) >= 1) {
        EXPECT_GT(found.angle * scene.tiltDegrees, 0) << "tilt " << scene.tiltDegrees;
    }
}

class TiltedPages : public ::testing::TestWithParam<std::tuple<double, bool>> {};

TEST_P(TiltedPages, AngleFollowsTheTiltWithItsSign) {
    const auto [tilt, brightBackground] = GetParam();
    PageScene scene;
    scene.tiltDegrees = tilt;
    if (brightBackground) {
        scene.page = 40;
        scene.background = 230;
    }
    ExpectAngle(scene, Find(scene, true));
}

INSTANTIATE_TEST_SUITE_P(BothWays, TiltedPages,
                         ::testing::Combine(::testing::Values(-15.0, -9.3, -4.5, -1.5, 1.5, 3.2,
                                                              8.7, 14.6),
                                            ::testing::Bool()));

// The least-squares tilt of the lower edge, by which a page turned level is checked: small
// tilts to within half a degree, with their sign, on dark and bright backgrounds.
TEST(FindDocumentEdges, EdgeTiltMeasuresSmallTiltsToHalfADegree) {
    for (double tilt : {-2.6, -1.3, -0.4, 0.0, 0.8, 1.7, 2.9}) {
        for (bool bright : {false, true}) {
            PageScene scene;
            scene.tiltDegrees = tilt;
            if (bright) {
                scene.page = 40;
                scene.background = 230;
            }
            const DocumentEdges found = Find(scene, true);
            EXPECT_NEAR(found.edgeTilt, tilt, 0.5) << (bright ? "bright " : "dark ") << found.text;
        }
    }
}

TEST(FindDocumentEdges, PortraitPageTurnedEitherWay) {
    for (double tilt : {-12.5, -5.5, 5.5, 12.5}) {
        PageScene scene;
        scene.pageWidth = 620;
        scene.pageHeight = 900;
        scene.tiltDegrees = tilt;
        ExpectAngle(scene, Find(scene, true));
    }
}

// 1360 x 1020 is shrunk by interpolation with cells 1360 / 400 pixels wide: the box must still
// hold the page, its margin in proportion (cells counted as 4 pixels would put it far off).
TEST(FindDocumentEdges, UnevenFrameSizeKeepsTheBoxOnThePage) {
    PageScene scene;
    scene.width = 1360;
    scene.height = 1020;
    scene.centreX = 760;
    scene.centreY = 510;
    scene.pageWidth = 1000;
    scene.pageHeight = 620;
    const DocumentEdges box = Find(scene, false);
    EXPECT_NEAR(box.points[0].x, 260 - 10, 5);
    EXPECT_NEAR(box.points[2].x, 1260 + 8, 5);
    EXPECT_NEAR(box.points[0].y, 200 - 8, 5);
    EXPECT_NEAR(box.points[2].y, 820 + 10, 5);
    for (double tilt : {-7.5, 7.5}) {
        scene.tiltDegrees = tilt;
        ExpectAngle(scene, Find(scene, true));
    }
}

}  // namespace
