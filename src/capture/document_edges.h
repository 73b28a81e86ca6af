#pragma once
// Finding a document lying on a plain background in a camera frame.
//
// The detector works on a grey grid a quarter of the frame's width and height. The background
// level comes from the grid's corners; a bright background is handled by inverting the grid so
// that the background is always dark. The document's box is the first band of 11 lines, from
// each side, whose every line holds a run of more than 40 cells clearly unlike the background.
// The tilt comes from the document's lower edge inside that box.
//
// Frames are 24-bit BGR rows stored bottom-up (row 0 is the bottom row), each row padded to a
// multiple of 4 bytes, exactly as a CDibImage keeps them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

// Bytes per stored row of a 24-bit frame of the given width.
constexpr size_t DibStride24(int32_t width) {
    return (size_t(width) * 3 + 3) & ~size_t(3);
}

// Fills grid (cw * ch cells of 3 bytes, packed, same bottom-up row order as the frame). When the
// frame divides evenly into square blocks each cell is the block's average; otherwise each cell
// is sampled bilinearly in 1/64 pixel steps.
void ShrinkFrame(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* grid, int32_t cw,
                 int32_t ch);

// Grid size FindDocumentEdges works on: 4-pixel cells (width / 4, height / 4) on frames of 1200
// rows or more; on lower frames 300 rows of cells (fewer only below 300 rows, one per pixel) and as
// many columns as keep them square. The width in cells is rounded down to a multiple of 8.
void DocumentGridSize(int32_t width, int32_t height, int32_t& cw, int32_t& ch);

struct DocumentEdges {
    // Box mode: the document's box with a 10-pixel margin, picture pixels from the top-left
    // corner, in the order (left, top), (right, top), (right, bottom), (left, bottom). The
    // values may lie outside the picture.
    std::array<QvPoint, 4> points{};
    // The part of the box that is surely document: without the margin and the cells the
    // document's edges fell in (left, top, right, bottom; picture pixels from the top-left).
    QvRect inside;
    // Every side of the box met a band of qualifying lines inside the picture; otherwise at
    // least one side fell back to, or ran past, the picture's edge, and the box holds no whole
    // page.
    bool boxFound = false;
    // Slope mode: the page's clockwise tilt as seen, whole degrees truncated toward zero.
    // Turning the picture by -angle (CDibImage::Rotate) straightens the page.
    int32_t angle = 0;
    // Slope mode: the lower edge's least-squares tilt over the middle of the box, in degrees (90
    // when too few columns show an edge). Unlike angle it is not in whole degrees: on a page
    // turned level it measures the small tilt that remains.
    float edgeTilt = 0;
    // Background level on the grid's stretched grey scale after the optional inversion (so it is
    // always the dark side), and whether the grid was inverted (a bright background).
    uint8_t background = 0;
    bool inverted = false;
    // The background's grey level as the frame shows it (neither stretched nor inverted): the
    // colour that blends in when the picture is turned and its new corners need filling.
    uint8_t frameBackground = 0;
    // How far the background's cells in the corners stray from its level (stretched grey): a
    // plain desk's noise, or a textured desk's grain, which the thresholds are kept above.
    int backgroundSpread = 0;
    // Slope mode: "xielie=%f,a =%d,x=%d,x=%d" (slope, angle, run start, run end); diagnostics only.
    std::string text;
};

// A frame shrunk for the detector: the grey of ShrinkFrame's cells (0.299 red + 0.587 green +
// 0.114 blue, truncated) for a frame of width x height, cw x ch, rows bottom-up.
struct FrameGrid {
    std::vector<uint8_t> grey;
    int32_t width = 0;
    int32_t height = 0;
    int32_t cw = 0;
    int32_t ch = 0;
};

// The frame's grid. False when the frame is lower than 20 or narrower than 32 pixels, or when
// the grid cannot be allocated.
bool MakeFrameGrid(const uint8_t* pixels, int32_t width, int32_t height, FrameGrid& grid);

// The grid of the picture CDibImage::Rotate(angle, bilinear, fill colour (fill, fill, fill),
// keep size off) would make of the frame: the same canvas and cell positions, each cell sampled
// from the frame's grid at its turned-back position (the nearest cell, blended with the next
// where both are about as near), so the frame is never turned whole. False when the frame's grid
// is not one MakeFrameGrid made or the grid cannot be allocated.
bool MakeTurnedFrameGrid(const FrameGrid& frame, float angle, uint8_t fill, FrameGrid& turned);

// Looks for the document in a grid; as below, except that the box points are always written.
// knownSpread is a least background spread, for a grid whose corners cannot show the desk (a
// turned frame's, whose new corners are filled with one grey).
bool FindDocumentEdges(const FrameGrid& grid, bool slopeMode, DocumentEdges& result,
                       int knownSpread = 0);

// Looks for the document. slopeMode measures the tilt (angle, background, text); otherwise the
// box is found (points, background). False, with `result` untouched, when the frame is lower
// than 20 or narrower than 32 pixels, or when the grid cannot be allocated.
bool FindDocumentEdges(const uint8_t* pixels, int32_t width, int32_t height, bool slopeMode,
                       DocumentEdges& result);
