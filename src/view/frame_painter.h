#pragma once
// Draws a live camera frame straight from its rows: each pixel of the window is read from the
// frame once (the nearest frame pixel, as the picture view draws a picture), with the frame's
// flip, mirror and colour mode applied on the way. A frame is thus shown without being copied
// into the picture view's images first, and only the window's pixels are touched: letting the
// painter scale the 24-bit rows would first convert the whole frame to 32 bits, on every paint.

#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

#include "image/frame_rows.h"

class QPainter;

// How a frame is turned into the picture shown, as SetFrame of the picture view does it.
struct FrameLook {
    bool flipRows = true;        // the frame's top row is the picture's top row
    bool mirror = true;          // left and right swapped
    int colourMode = 0;          // 0 colour, 1 grey, 2 black and white
    uint8_t thresholdLevel = 0;  // black and white: grey above this is white
};

class CFramePainter {
public:
    // Draws the frame scaled into target, only where target lies inside visible.
    void Draw(QPainter& painter, const FrameRows& frame, const FrameLook& look, const QRect& target,
              const QRect& visible);

private:
    QImage buffer_;                  // the drawn part, at the painter's device pixels
    std::vector<uint32_t> columns_;  // the frame row offset read for each buffer column
};
