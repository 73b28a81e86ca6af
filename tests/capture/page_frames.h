#pragma once
// Made frames with a known answer: a plain page lying on a plain background, as 24-bit BGR rows
// stored bottom-up (the layout of CDibImage and of the edge detector's input).

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "capture/document_edges.h"

struct PageScene {
    int32_t width = 1600;
    int32_t height = 1200;
    double centreX = 800;
    double centreY = 600;
    double pageWidth = 1000;
    double pageHeight = 700;
    // Clockwise turn of the page as seen (y runs downward), degrees.
    double tiltDegrees = 0;
    uint8_t page = 250;
    uint8_t background = 20;
};

// Corners (top-left, top-right, bottom-right, bottom-left of the page), picture pixels from the
// top-left corner of the top-left pixel.
inline std::array<std::array<double, 2>, 4> PageCorners(const PageScene& s) {
    const double a = s.tiltDegrees * std::numbers::pi / 180.0;
    const double c = std::cos(a);
    const double sn = std::sin(a);
    const double hw = s.pageWidth / 2;
    const double hh = s.pageHeight / 2;
    const double local[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    std::array<std::array<double, 2>, 4> out{};
    for (int i = 0; i < 4; ++i) {
        out[i] = {s.centreX + c * local[i][0] - sn * local[i][1],
                  s.centreY + sn * local[i][0] + c * local[i][1]};
    }
    return out;
}

// Renders the scene with 2 x 2 samples per pixel so that the page's edges are smooth.
inline std::vector<uint8_t> RenderPage(const PageScene& s) {
    const size_t stride = DibStride24(s.width);
    std::vector<uint8_t> pixels(stride * s.height);
    const double a = s.tiltDegrees * std::numbers::pi / 180.0;
    const double c = std::cos(a);
    const double sn = std::sin(a);
    for (int32_t y = 0; y < s.height; ++y) {
        uint8_t* row = pixels.data() + size_t(s.height - 1 - y) * stride;
        for (int32_t x = 0; x < s.width; ++x) {
            int inside = 0;
            for (double oy : {0.25, 0.75}) {
                for (double ox : {0.25, 0.75}) {
                    const double dx = x + ox - s.centreX;
                    const double dy = y + oy - s.centreY;
                    // Into the page's own frame: turn back anticlockwise.
                    const double u = c * dx + sn * dy;
                    const double v = -sn * dx + c * dy;
                    inside += std::abs(u) <= s.pageWidth / 2 && std::abs(v) <= s.pageHeight / 2;
                }
            }
            const uint8_t grey = uint8_t((s.page * inside + s.background * (4 - inside)) / 4);
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = grey;
        }
    }
    return pixels;
}
