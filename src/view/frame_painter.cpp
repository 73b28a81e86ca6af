#include "view/frame_painter.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace {

// Grey = (306 R + 601 G + 117 B) >> 10 of a pixel read as 0x??RRGGBB, as the image object's grey
// and threshold operations compute it.
inline uint32_t Grey(uint32_t pixel) {
    return (306u * ((pixel >> 16) & 0xFF) + 601u * ((pixel >> 8) & 0xFF) + 117u * (pixel & 0xFF)) >>
           10;
}

// The blue, green and red bytes at p as 0x??RRGGBB. Four bytes are read where a fourth byte
// follows in the frame's memory (all rows but the last), three on the last row.
template <bool kWide>
inline uint32_t Load(const uint8_t* p) {
    uint32_t v;
    if constexpr (kWide) {
        std::memcpy(&v, p, 4);
    } else {
        v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    return v;
}

template <bool kWide>
void SampleRow(const uint8_t* row, const uint32_t* columns, QRgb* out, int width,
               const FrameLook& look) {
    switch (look.colourMode) {
        case 1:
            for (int x = 0; x < width; ++x)
                out[x] = 0xFF000000u | Grey(Load<kWide>(row + columns[x])) * 0x010101u;
            break;
        case 2:
            for (int x = 0; x < width; ++x) {
                out[x] = Grey(Load<kWide>(row + columns[x])) > look.thresholdLevel ? 0xFFFFFFFFu
                                                                                   : 0xFF000000u;
            }
            break;
        default:
            for (int x = 0; x < width; ++x)
                out[x] = 0xFF000000u | Load<kWide>(row + columns[x]);
            break;
    }
}

// The frame pixel under device pixel i of a span of `span` device pixels that shows `size`
// frame pixels: the one its centre falls on.
uint32_t Nearest(int i, double span, uint32_t size) {
    const double at = (i + 0.5) * size / span;
    return uint32_t(std::clamp(int64_t(at), int64_t(0), int64_t(size) - 1));
}

}  // namespace

void CFramePainter::Draw(QPainter& painter, const FrameRows& frame, const FrameLook& look,
                         const QRect& target, const QRect& visible) {
    const QRect shown = target.intersected(visible);
    if (shown.isEmpty() || !frame.IsValid())
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int width = qRound(shown.width() * ratio);
    const int height = qRound(shown.height() * ratio);
    if (buffer_.width() != width || buffer_.height() != height)
        buffer_ = QImage(width, height, QImage::Format_RGB32);
    if (buffer_.isNull())
        return;
    buffer_.setDevicePixelRatio(ratio);
    const int left = qRound((shown.left() - target.left()) * ratio);
    const int top = qRound((shown.top() - target.top()) * ratio);
    const double spanX = target.width() * ratio;
    const double spanY = target.height() * ratio;
    columns_.resize(size_t(width));
    for (int x = 0; x < width; ++x) {
        const uint32_t c = Nearest(left + x, spanX, frame.width);
        columns_[size_t(x)] = (look.mirror ? frame.width - 1 - c : c) * 3;
    }
    uint32_t previous = UINT32_MAX;
    for (int y = 0; y < height; ++y) {
        uint32_t r = Nearest(top + y, spanY, frame.height);
        r = look.flipRows ? r : frame.height - 1 - r;
        auto* out = reinterpret_cast<QRgb*>(buffer_.scanLine(y));
        if (r == previous) {
            // An enlarged frame repeats rows.
            std::memcpy(out, buffer_.constScanLine(y - 1), size_t(width) * 4);
            continue;
        }
        previous = r;
        if (r + 1 < frame.height)
            SampleRow<true>(frame.Row(r), columns_.data(), out, width, look);
        else
            SampleRow<false>(frame.Row(r), columns_.data(), out, width, look);
    }
    painter.drawImage(shown.topLeft(), buffer_);
}
