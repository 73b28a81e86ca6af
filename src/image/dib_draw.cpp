// Painting a CDibImage with a QPainter, and text into its pixels. The rows are shown through
// QImage views of the pixel block (no copy) wherever Qt has a matching format; the block is
// bottom-up, so the views are drawn through a vertical flip.

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/dib_image.h"
#include "image/dib_pixels.h"

namespace {

QList<QRgb> ColourTable(const CDibImage& img) {
    QList<QRgb> table;
    for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
        const QvColour c = img.GetPaletteColor(i);
        table << qRgb(QvRed(c), QvGreen(c), QvBlue(c));
    }
    return table;
}

// A QImage over the stored rows (bottom row first). 4-bit pictures, which Qt has no format
// for, are widened into an 8-bit copy.
QImage RowsView(const CDibImage& img) {
    const int w = int(img.GetWidth()), h = int(img.GetHeight());
    const qsizetype stride = img.GetEffWidth();
    const uchar* rows = img.GetRow(0);
    QImage view;
    switch (img.GetBpp()) {
        case 24:
            return QImage(rows, w, h, stride, QImage::Format_BGR888);
        case 8:
            view = QImage(rows, w, h, stride, QImage::Format_Indexed8);
            break;
        case 1:
            view = QImage(rows, w, h, stride, QImage::Format_Mono);
            break;
        default:
            view = QImage(w, h, QImage::Format_Indexed8);
            for (int y = 0; y < h; ++y) {
                const uint8_t* src = img.GetRow(uint32_t(y));
                uchar* dst = view.scanLine(y);
                for (int x = 0; x < w; ++x)
                    dst[x] = uchar(GetPackedIndex(src, uint32_t(x), 4));
            }
            break;
    }
    view.setColorTable(ColourTable(img));
    return view;
}

// Draws bottom-up rows into target, scaled to fill it.
void DrawFlipped(QPainter* painter, const QRectF& target, const QImage& rows) {
    painter->save();
    painter->translate(target.left(), target.top() + target.height());
    painter->scale(target.width() / rows.width(), -target.height() / rows.height());
    painter->drawImage(QPointF(0, 0), rows);
    painter->restore();
}

QRect ToQRect(const QvRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// The part of target the painter may change: its clip box and its window.
QRect PaintedBox(QPainter* painter, const QRect& target) {
    QRect box = target.intersected(painter->window());
    if (painter->hasClipping())
        box = box.intersected(painter->clipBoundingRect().toAlignedRect());
    return box;
}

QFont TextFont(const QString& face, int32_t height, int32_t weight, bool italic, bool underline) {
    QFont font(face.left(31));
    if (height != 0)
        font.setPixelSize(std::abs(height));
    if (weight > 0)
        font.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    return font;
}

}  // namespace

int CDibImage::Draw(QPainter* device, const QvRect& rect, const QvRect* clip, bool smooth) const {
    return Draw(device, rect.left, rect.top, rect.Width(), rect.Height(), clip, smooth);
}

int CDibImage::Draw(QPainter* device, int32_t x, int32_t y, int32_t width, int32_t height,
                    const QvRect* clip, bool smooth) const {
    if (!IsValid() || !device || width == 0 || height == 0 || !enabled_)
        return 0;
    const int32_t W = int32_t(GetWidth()), H = int32_t(GetHeight());
    if (width < 0)
        width = W;
    if (height < 0)
        height = H;
    device->save();
    if (clip)
        device->setClipRect(ToQRect(*clip), Qt::IntersectClip);
    const QRect target(x, y, width, height);
    const QRect box = PaintedBox(device, target);
    if (box.isEmpty()) {
        device->restore();
        return 0;
    }
    const bool blend = transparentIndex_ >= 0 || alpha_;
    if (!blend && width == W && height == H) {
        DrawFlipped(device, QRectF(target), RowsView(*this));
        device->restore();
        return 1;
    }
    // Sample the painted box: column and row maps by the floor rule, measured from the target's
    // left and bottom edges.
    const int bw = box.width(), bh = box.height();
    std::vector<int32_t> columns(static_cast<size_t>(bw)), rowsMap(static_cast<size_t>(bh));
    std::vector<float> columnsF(static_cast<size_t>(bw)), rowsF(static_cast<size_t>(bh));
    for (int bx = 0; bx < bw; ++bx) {
        const double sx = double(bx + box.left() - x) * W / width;
        columns[size_t(bx)] = std::clamp(int32_t(sx), 0, W - 1);
        columnsF[size_t(bx)] = float(sx - 0.5);
    }
    for (int by = 0; by < bh; ++by) {
        const double sy = double(y + height - 1 - (by + box.top())) * H / height;
        rowsMap[size_t(by)] = std::clamp(int32_t(sy), 0, H - 1);
        rowsF[size_t(by)] = float(sy - 0.5);
    }
    const QImage::Format format =
        blend ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage buffer(bw, bh, format);
    if (buffer.isNull()) {
        device->restore();
        return 0;
    }
    const uint32_t bpp = GetBpp();
    const uint32_t alphaScale = uint32_t(alphaMax_) + 1;
    const QvColour key = transparentColour_ & 0x00FFFFFFu;
    for (int by = 0; by < bh; ++by) {
        const uint32_t sy = uint32_t(rowsMap[size_t(by)]);
        const uint8_t* src = GetRow(sy);
        const uint8_t* alphaRow = alpha_ ? alpha_ + size_t(sy) * uint32_t(W) : nullptr;
        QRgb* out = reinterpret_cast<QRgb*>(buffer.scanLine(by));
        for (int bx = 0; bx < bw; ++bx) {
            const uint32_t sx = uint32_t(columns[size_t(bx)]);
            QvColour colour;
            bool transparent = false;
            if (bpp == 24) {
                const uint8_t* p = src + size_t(sx) * 3;
                colour = QvRgb(p[2], p[1], p[0]);
                transparent = transparentIndex_ >= 0 && colour == key;
            } else {
                const uint32_t index = GetPackedIndex(src, sx, bpp);
                colour = GetPaletteColor(index);
                transparent = transparentIndex_ >= 0 && index == uint32_t(transparentIndex_);
            }
            if (smooth) {
                colour = SampleBilinear(columnsF[size_t(bx)], rowsF[size_t(by)], kOverflowRepeat,
                                        colour);
            }
            uint32_t a = alphaRow ? (alphaRow[sx] * alphaScale) >> 8 : 255;
            if (transparent)
                a = 0;
            if (a >= 255) {
                out[bx] = qRgb(QvRed(colour), QvGreen(colour), QvBlue(colour));
            } else {
                out[bx] = qRgba((QvRed(colour) * a) / 255, (QvGreen(colour) * a) / 255,
                                (QvBlue(colour) * a) / 255, int(a));
            }
        }
    }
    device->drawImage(box.topLeft(), buffer);
    device->restore();
    return 1;
}

int CDibImage::Stretch(QPainter* device, const QvRect& rect) const {
    return Stretch(device, rect.left, rect.top, rect.Width(), rect.Height());
}

int CDibImage::Stretch(QPainter* device, int32_t x, int32_t y, int32_t width,
                       int32_t height) const {
    if (!IsValid() || !device || width == 0 || height == 0 || !enabled_)
        return 0;
    if (width < 0)
        width = int32_t(GetWidth());
    if (height < 0)
        height = int32_t(GetHeight());
    const QRect target(x, y, width, height);
    if (PaintedBox(device, target).isEmpty())
        return 0;
    device->save();
    device->setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (transparentIndex_ < 0) {
        DrawFlipped(device, QRectF(target), RowsView(*this));
        device->restore();
        return 1;
    }
    // Transparent pixels become fully transparent in an ARGB copy, which leaves the device as
    // it was under them.
    const QImage view = RowsView(*this);
    QImage masked = view.convertToFormat(QImage::Format_ARGB32);
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    const QvColour key = transparentColour_ & 0x00FFFFFFu;
    for (uint32_t sy = 0; sy < h; ++sy) {
        const uint8_t* src = GetRow(sy);
        QRgb* out = reinterpret_cast<QRgb*>(masked.scanLine(int(sy)));
        for (uint32_t sx = 0; sx < w; ++sx) {
            bool transparent;
            if (bpp == 24) {
                const uint8_t* p = src + size_t(sx) * 3;
                transparent = QvRgb(p[2], p[1], p[0]) == key;
            } else {
                transparent = GetPackedIndex(src, sx, bpp) == uint32_t(transparentIndex_);
            }
            if (transparent)
                out[sx] = 0;
        }
    }
    DrawFlipped(device, QRectF(target), masked);
    device->restore();
    return 1;
}

QvPoint CDibImage::TextExtent(const QString& text, const QString& face, int32_t height,
                              int32_t weight, bool italic, bool underline) {
    const QFontMetrics metrics(TextFont(face, height, weight, italic, underline));
    const QRect measured = metrics.boundingRect(QRect(0, 0, 0, 0), 0, text);
    return {measured.width(), measured.height()};
}

bool CDibImage::WriteText(QPainter* /*device*/, int32_t x, int32_t y, const QString& text,
                          QvColour colour, const QString& face, int32_t height, int32_t weight,
                          bool italic, bool underline, bool setAlpha) {
    if (!IsValid() || text.isEmpty())
        return false;
    const QFont font = TextFont(face, height, weight, italic, underline);
    const QFontMetrics metrics(font);
    const QRect measured = metrics.boundingRect(QRect(0, 0, 0, 0), 0, text);
    // The extra height's worth of width leaves room for an italic overhang.
    const int boxW = measured.width() + measured.height(), boxH = measured.height();
    if (boxW <= 0 || boxH <= 0)
        return false;
    QImage box(boxW, boxH, QImage::Format_RGB32);
    if (box.isNull())
        return false;
    box.fill(Qt::black);
    {
        QPainter painter(&box);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, boxW, boxH), 0, text);
    }
    const int32_t W = int32_t(GetWidth()), H = int32_t(GetHeight());
    const uint32_t bpp = GetBpp();
    uint32_t index = 0;
    if (bpp < 24) {
        // Palette pictures take the nearest entry to the colour.
        uint32_t best = UINT32_MAX;
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            const QvColour c = GetPaletteColor(i);
            const int dr = QvRed(c) - QvRed(colour), dg = QvGreen(c) - QvGreen(colour),
                      db = QvBlue(c) - QvBlue(colour);
            const uint32_t d = uint32_t(dr * dr + dg * dg + db * db);
            if (d < best)
                best = d, index = i;
        }
    }
    for (int j = 0; j < boxH; ++j) {
        const int32_t py = H - y - 1 + j;
        if (py < 0 || py >= H)
            continue;
        // Text-box row j counts from the box's bottom.
        const QRgb* line = reinterpret_cast<const QRgb*>(box.constScanLine(boxH - 1 - j));
        uint8_t* row = GetRow(uint32_t(py));
        for (int i = 0; i < boxW; ++i) {
            const int32_t px = x + i;
            if (px < 0 || px >= W || qBlue(line[i]) == 0)
                continue;
            if (bpp == 24) {
                uint8_t* p = row + size_t(px) * 3;
                p[0] = QvBlue(colour), p[1] = QvGreen(colour), p[2] = QvRed(colour);
            } else {
                SetPackedIndex(row, uint32_t(px), bpp, index);
            }
            if (setAlpha && alpha_)
                alpha_[size_t(py) * uint32_t(W) + uint32_t(px)] = 255;
        }
    }
    return true;
}

bool CDibImage::CreateFromBitmap(const QImage& bitmap) {
    if (bitmap.isNull()) {
        Destroy();
        SetLastError("GetDIBits failed");
        return false;
    }
    const int depth = bitmap.depth();
    const bool indexed = bitmap.format() == QImage::Format_Mono ||
                         bitmap.format() == QImage::Format_Indexed8 ||
                         bitmap.format() == QImage::Format_MonoLSB;
    const uint32_t bits = indexed ? uint32_t(depth) : 24;
    CDibImage tmp;
    tmp.CopyInfo(*this);
    if (!tmp.Create(uint32_t(bitmap.width()), uint32_t(bitmap.height()), bits, type_)) {
        return Fail(tmp);
    }
    const uint32_t h = tmp.GetHeight(), w = tmp.GetWidth();
    if (indexed) {
        const QImage source = bitmap.format() == QImage::Format_MonoLSB
                                  ? bitmap.convertToFormat(QImage::Format_Mono)
                                  : bitmap;
        const QList<QRgb> table = source.colorTable();
        for (int i = 0; i < table.size() && uint32_t(i) < tmp.GetNumColors(); ++i) {
            tmp.SetPaletteColor(uint32_t(i), uchar(qRed(table[i])), uchar(qGreen(table[i])),
                                uchar(qBlue(table[i])));
        }
        const size_t bytes = std::min<size_t>(tmp.GetEffWidth(), size_t(source.bytesPerLine()));
        for (uint32_t y = 0; y < h; ++y) {
            std::memcpy(tmp.GetRow(h - 1 - y), source.constScanLine(int(y)), bytes);
        }
    } else {
        const QImage source = bitmap.convertToFormat(QImage::Format_BGR888);
        if (source.isNull()) {
            SetLastError("GetDIBits failed");
            return false;
        }
        for (uint32_t y = 0; y < h; ++y) {
            std::memcpy(tmp.GetRow(h - 1 - y), source.constScanLine(int(y)), size_t(w) * 3);
        }
    }
    *this = std::move(tmp);
    return true;
}
