// Draws the program's skin images (129.png ... 232.png) with QPainter and writes them as 24-bit
// PNG files into the folder named on the command line; with a second folder, also the desktop
// icon drawn from the logo, in the icon theme's sizes (<folder>/hicolor/NxN/apps/quorvane.png).
// Everything is drawn from paths and fills, so the same source gives the same pictures on every
// machine.
//
// Palette and geometry follow the main window's layout: the window is the background minus its
// middle 100 rows, the title strip is 35 pixels high (dialogs use the top 34), the toolbar band
// is white, the body below it light grey. Buttons draw white as "nothing", so every button image
// is painted in the colour of the place it sits on.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>
#include <cstdio>
#include <functional>
#include <map>

namespace {

const QColor kTitle(30, 90, 160);
const QColor kTitleDark(22, 70, 128);
const QColor kBody(238, 242, 246);
const QColor kLine(214, 222, 231);
const QColor kInk(52, 73, 94);
const QColor kAccent(42, 123, 222);
const QColor kAccentDark(22, 88, 176);
const QColor kWhite(255, 255, 255);
// Glyphs on coloured ground use an off-white so that they stay drawn (white is skipped).
const QColor kGlyph(250, 251, 252);

enum class State { kNormal, kHover, kPressed };

using IconPainter = std::function<void(QPainter&, const QColor& ink, const QColor& accent)>;

QImage NewImage(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(fill);
    return image;
}

void Prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

QPen Stroke(const QColor& colour, qreal width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// ---------------------------------------------------------------- large tool icons (40 x 40)
// Each draws into the square (0, 0)-(40, 40); the caller translates it into place.

void IconFolder(QPainter& p, const QColor& ink, const QColor& accent) {
    QPainterPath back;
    back.moveTo(4, 9);
    back.lineTo(15, 9);
    back.lineTo(19, 13);
    back.lineTo(36, 13);
    back.lineTo(36, 33);
    back.lineTo(4, 33);
    back.closeSubpath();
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(accent.lighter(175));
    p.drawPath(back);
    p.setBrush(accent);
    p.setPen(Stroke(ink, 2.4));
    QPolygonF front({{4, 33}, {9, 18}, {39, 18}, {36, 33}});
    p.drawPolygon(front);
}

void IconNameTag(QPainter& p, const QColor& ink, const QColor& accent) {
    QPainterPath tag;
    tag.moveTo(5, 12);
    tag.lineTo(25, 12);
    tag.lineTo(36, 21);
    tag.lineTo(25, 30);
    tag.lineTo(5, 30);
    tag.closeSubpath();
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(accent.lighter(170));
    p.drawPath(tag);
    p.setBrush(kWhite);
    p.drawEllipse(QPointF(26, 21), 2.6, 2.6);
    p.setPen(Stroke(accent, 2.4));
    p.drawLine(QPointF(10, 18), QPointF(19, 18));
    p.drawLine(QPointF(10, 24), QPointF(16, 24));
}

void IconPageSize(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(kWhite);
    p.drawRect(QRectF(11, 6, 18, 25));
    p.setPen(Stroke(accent, 2.0));
    p.drawLine(QPointF(11, 36), QPointF(29, 36));
    p.drawLine(QPointF(11, 36), QPointF(14, 33.5));
    p.drawLine(QPointF(11, 36), QPointF(14, 38.5));
    p.drawLine(QPointF(29, 36), QPointF(26, 33.5));
    p.drawLine(QPointF(29, 36), QPointF(26, 38.5));
    p.drawLine(QPointF(35, 6), QPointF(35, 31));
    p.drawLine(QPointF(35, 6), QPointF(32.5, 9));
    p.drawLine(QPointF(35, 6), QPointF(37.5, 9));
    p.drawLine(QPointF(35, 31), QPointF(32.5, 28));
    p.drawLine(QPointF(35, 31), QPointF(37.5, 28));
    p.setPen(Stroke(ink.lighter(150), 1.6));
    for (int y = 12; y <= 24; y += 4)
        p.drawLine(QPointF(15, y), QPointF(25, y));
}

void IconPictureFile(QPainter& p, const QColor& ink, const QColor& accent) {
    QPainterPath page;
    page.moveTo(8, 4);
    page.lineTo(25, 4);
    page.lineTo(33, 12);
    page.lineTo(33, 36);
    page.lineTo(8, 36);
    page.closeSubpath();
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(kWhite);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({{25, 4}, {25, 12}, {33, 12}}));
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawPolygon(QPolygonF({{11, 32}, {18, 21}, {23, 27}, {26, 24}, {30, 32}}));
    p.setBrush(QColor(240, 170, 40));
    p.drawEllipse(QPointF(15, 15), 3, 3);
}

void IconResolution(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(4, 7, 32, 22), 2, 2);
    p.drawLine(QPointF(14, 35), QPointF(26, 35));
    p.drawLine(QPointF(20, 29), QPointF(20, 35));
    p.setPen(Stroke(accent, 2.0));
    p.drawPolyline(QPolygonF({{9, 16}, {9, 12}, {13, 12}}));
    p.drawPolyline(QPolygonF({{31, 20}, {31, 24}, {27, 24}}));
    p.drawLine(QPointF(9, 12), QPointF(31, 24));
}

void IconExposure(QPainter& p, const QColor& ink, const QColor& accent) {
    const QPointF c(20, 20);
    p.setPen(Stroke(ink, 2.4));
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * M_PI / 4;
        p.drawLine(c + QPointF(13 * qCos(a), 13 * qSin(a)),
                   c + QPointF(17 * qCos(a), 17 * qSin(a)));
    }
    p.setBrush(kWhite);
    p.drawEllipse(c, 9, 9);
    QPainterPath half;
    half.moveTo(c + QPointF(0, -9));
    half.arcTo(QRectF(11, 11, 18, 18), 90, 180);
    half.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawPath(half);
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 9, 9);
}

void IconWatermark(QPainter& p, const QColor& ink, const QColor& accent) {
    QPainterPath drop;
    drop.moveTo(20, 4);
    drop.cubicTo(26, 13, 32, 19, 32, 25);
    drop.cubicTo(32, 32, 26.5, 37, 20, 37);
    drop.cubicTo(13.5, 37, 8, 32, 8, 25);
    drop.cubicTo(8, 19, 14, 13, 20, 4);
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(accent.lighter(160));
    p.drawPath(drop);
    p.setPen(Stroke(kWhite, 2.2));
    p.drawArc(QRectF(12.5, 20, 12, 12), 180 * 16, 80 * 16);
}

void IconFlipVertical(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(accent);
    p.drawPolygon(QPolygonF({{8, 16}, {32, 16}, {20, 4}}));
    p.setBrush(kWhite);
    p.drawPolygon(QPolygonF({{8, 24}, {32, 24}, {20, 36}}));
    QPen dash = Stroke(accent, 2.0);
    dash.setDashPattern({2, 2});
    p.setPen(dash);
    p.drawLine(QPointF(3, 20), QPointF(37, 20));
}

void IconFlipHorizontal(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(accent);
    p.drawPolygon(QPolygonF({{16, 8}, {16, 32}, {4, 20}}));
    p.setBrush(kWhite);
    p.drawPolygon(QPolygonF({{24, 8}, {24, 32}, {36, 20}}));
    QPen dash = Stroke(accent, 2.0);
    dash.setDashPattern({2, 2});
    p.setPen(dash);
    p.drawLine(QPointF(20, 3), QPointF(20, 37));
}

void IconPdf(QPainter& p, const QColor& ink, const QColor&) {
    const QColor red(210, 58, 48);
    QPainterPath page;
    page.moveTo(9, 3);
    page.lineTo(25, 3);
    page.lineTo(33, 11);
    page.lineTo(33, 37);
    page.lineTo(9, 37);
    page.closeSubpath();
    p.setPen(Stroke(ink, 2.4));
    p.setBrush(kWhite);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({{25, 3}, {25, 11}, {33, 11}}));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawRoundedRect(QRectF(4, 18, 26, 12), 2, 2);
    QFont font("DejaVu Sans");
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kGlyph);
    p.drawText(QRectF(4, 18, 26, 12), Qt::AlignCenter, "PDF");
}

void IconDefaults(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 2.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(7, 7, 26, 26), 120 * 16, 290 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF({{7.5, 5}, {15.5, 12.5}, {6, 15}}));
    p.setBrush(accent);
    p.drawEllipse(QPointF(20, 20), 4, 4);
}

// ---------------------------------------------------------------- small view icons (24 x 15)

void SmallFullScreen(QPainter& p, const QColor& ink, const QColor&) {
    p.setPen(Stroke(ink, 1.8));
    p.drawPolyline(QPolygonF({{5, 5}, {5, 1.5}, {9, 1.5}}));
    p.drawPolyline(QPolygonF({{15, 1.5}, {19, 1.5}, {19, 5}}));
    p.drawPolyline(QPolygonF({{19, 9.5}, {19, 13}, {15, 13}}));
    p.drawPolyline(QPolygonF({{9, 13}, {5, 13}, {5, 9.5}}));
}

void SmallWindowSize(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 1.5, 17, 12));
    p.drawLine(QPointF(3.5, 4.5), QPointF(20.5, 4.5));
    p.setPen(Stroke(accent, 1.6));
    p.drawLine(QPointF(8, 9), QPointF(16, 9));
    p.drawPolyline(QPolygonF({{10, 7}, {8, 9}, {10, 11}}));
    p.drawPolyline(QPolygonF({{14, 7}, {16, 9}, {14, 11}}));
}

void Magnifier(QPainter& p, const QColor& ink, const QColor& accent, bool plus) {
    p.setPen(Stroke(ink, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(10.5, 6.5), 5, 5);
    p.drawLine(QPointF(14.2, 10.2), QPointF(18, 13.5));
    p.setPen(Stroke(accent, 1.6));
    p.drawLine(QPointF(8, 6.5), QPointF(13, 6.5));
    if (plus)
        p.drawLine(QPointF(10.5, 4), QPointF(10.5, 9));
}

void SmallZoomIn(QPainter& p, const QColor& ink, const QColor& accent) {
    Magnifier(p, ink, accent, true);
}
void SmallZoomOut(QPainter& p, const QColor& ink, const QColor& accent) {
    Magnifier(p, ink, accent, false);
}

void TurnArrow(QPainter& p, const QColor& ink, const QColor& accent, bool left) {
    p.save();
    if (left) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    p.setPen(Stroke(accent, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(5.5, 6.5, 7, 7));
    p.setPen(Stroke(ink, 1.8));
    p.drawArc(QRectF(7, 1.5, 12, 12), 180 * 16, -200 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF({{15.5, 11}, {21, 10}, {19.5, 14.5}}));
    p.restore();
}

void SmallTurnLeft(QPainter& p, const QColor& ink, const QColor& accent) {
    TurnArrow(p, ink, accent, true);
}
void SmallTurnRight(QPainter& p, const QColor& ink, const QColor& accent) {
    TurnArrow(p, ink, accent, false);
}

void SmallText(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 2.0));
    p.drawLine(QPointF(6, 2), QPointF(16, 2));
    p.drawLine(QPointF(11, 2), QPointF(11, 13));
    p.setPen(Stroke(accent, 1.6));
    p.drawLine(QPointF(15, 13), QPointF(19, 9));
    p.drawLine(QPointF(18, 8), QPointF(20, 10));
}

void SmallRecognise(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 1.6));
    p.drawPolyline(QPolygonF({{3, 4.5}, {3, 1.5}, {6, 1.5}}));
    p.drawPolyline(QPolygonF({{18, 1.5}, {21, 1.5}, {21, 4.5}}));
    p.drawPolyline(QPolygonF({{21, 10.5}, {21, 13.5}, {18, 13.5}}));
    p.drawPolyline(QPolygonF({{6, 13.5}, {3, 13.5}, {3, 10.5}}));
    p.setPen(Stroke(accent, 1.6));
    p.drawLine(QPointF(7, 5), QPointF(17, 5));
    p.drawLine(QPointF(7, 7.5), QPointF(17, 7.5));
    p.drawLine(QPointF(7, 10), QPointF(13, 10));
}

void SmallBoxSelect(QPainter& p, const QColor& ink, const QColor& accent) {
    QPen dash = Stroke(ink, 1.4);
    dash.setCapStyle(Qt::FlatCap);
    dash.setDashPattern({2, 1.5});
    p.setPen(dash);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 1.5, 13, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawPolygon(
        QPolygonF({{13, 6}, {21, 10}, {17.5, 11}, {19.5, 14.5}, {18, 15}, {16, 11.8}, {13.5, 14}}));
}

void SmallCrop(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 1.8));
    p.drawPolyline(QPolygonF({{7, 0.5}, {7, 10.5}, {19, 10.5}}));
    p.drawPolyline(QPolygonF({{4, 3.5}, {16, 3.5}, {16, 14}}));
    p.setPen(Stroke(accent, 1.4));
    p.drawLine(QPointF(9, 8.5), QPointF(14, 5.5));
}

void SmallSave(QPainter& p, const QColor& ink, const QColor& accent) {
    QPainterPath disk;
    disk.moveTo(5.5, 1);
    disk.lineTo(16, 1);
    disk.lineTo(18.5, 3.5);
    disk.lineTo(18.5, 14);
    disk.lineTo(5.5, 14);
    disk.closeSubpath();
    p.setPen(Stroke(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(disk);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRect(QRectF(8, 2, 7, 4));
    p.setBrush(ink);
    p.drawRect(QRectF(8, 9, 8, 4));
}

void SmallBackToLive(QPainter& p, const QColor& ink, const QColor& accent) {
    p.setPen(Stroke(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 3, 12, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF({{16, 7.5}, {21, 4}, {21, 11}}));
    p.setBrush(QColor(214, 60, 50));
    p.drawEllipse(QPointF(9, 7.5), 2.2, 2.2);
    Q_UNUSED(accent);
}

// ---------------------------------------------------------------- small glyphs for the action
// buttons and the title bar

void GlyphCamera(QPainter& p, const QColor& colour, qreal x, qreal y) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath body;
    body.addRoundedRect(QRectF(x, y + 3, 20, 14), 2.5, 2.5);
    body.addRect(QRectF(x + 6, y, 8, 4));
    QPainterPath lens;
    lens.addEllipse(QPointF(x + 10, y + 10), 4.2, 4.2);
    p.drawPath(body.subtracted(lens));
    p.drawEllipse(QPointF(x + 10, y + 10), 2.2, 2.2);
}

void GlyphBurst(QPainter& p, const QColor& colour, qreal x, qreal y) {
    p.setPen(Stroke(colour, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(x + 3.5, y + 0.5, 8, 6));
    p.setBrush(colour);
    p.drawRect(QRectF(x + 0.5, y + 3.5, 8, 6));
}

void GlyphPrinter(QPainter& p, const QColor& colour, qreal x, qreal y) {
    p.setPen(Stroke(colour, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(x + 3, y + 0.5, 6, 3));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(x + 0.5, y + 3.5, 11, 5), 1, 1);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(x + 3, y + 7, 6, 4));
}

void GlyphGear(QPainter& p, const QColor& colour, qreal x, qreal y) {
    const QPointF c(x + 6, y + 6);
    p.setPen(Stroke(colour, 2.0));
    for (int i = 0; i < 6; ++i) {
        const qreal a = i * M_PI / 3;
        p.drawLine(c + QPointF(3.5 * qCos(a), 3.5 * qSin(a)),
                   c + QPointF(5.5 * qCos(a), 5.5 * qSin(a)));
    }
    p.setPen(Stroke(colour, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 3.2, 3.2);
}

// ---------------------------------------------------------------- whole images

QImage LargeButton(const IconPainter& icon, State state) {
    QImage image = NewImage(76, 76, kWhite);
    QPainter p(&image);
    Prepare(p);
    QColor ink = kInk;
    QColor accent = kAccent;
    qreal shift = 0;
    if (state == State::kHover) {
        p.setPen(QPen(QColor(169, 200, 238), 1));
        p.setBrush(QColor(234, 242, 252));
        p.drawRoundedRect(QRectF(1.5, 1.5, 73, 73), 6, 6);
    } else if (state == State::kPressed) {
        p.setPen(QPen(QColor(127, 174, 230), 1));
        p.setBrush(QColor(211, 228, 248));
        p.drawRoundedRect(QRectF(1.5, 1.5, 73, 73), 6, 6);
        ink = ink.darker(120);
        accent = kAccentDark;
        shift = 1;
    }
    p.translate(18 + shift, 9 + shift);
    icon(p, ink, accent);
    return image;
}

QImage SmallButton(const IconPainter& icon, int width, State state) {
    QImage image = NewImage(width, 15, kWhite);
    QPainter p(&image);
    Prepare(p);
    QColor ink = kInk;
    QColor accent = kAccent;
    if (state == State::kHover) {
        ink = kAccent;
        accent = kAccentDark;
    } else if (state == State::kPressed) {
        ink = kAccentDark;
        accent = kAccentDark.darker(130);
    }
    p.translate((width - 24) / 2.0, 0);
    icon(p, ink, accent);
    return image;
}

using Glyph = std::function<void(QPainter&, const QColor&, qreal x, qreal y)>;

// A pill of colour base on the white action panel; the band below it stays white so that the
// rows of buttons keep a gap. The glyph, when given, sits at (glyphX, glyphY).
QImage ActionButton(const QColor& base, int height, int pillHeight, State state,
                    const Glyph& glyph = {}, qreal glyphX = 0, qreal glyphY = 0) {
    QImage image = NewImage(80, height, kWhite);
    QPainter p(&image);
    Prepare(p);
    QColor fill = base;
    if (state == State::kHover)
        fill = base.lighter(115);
    if (state == State::kPressed)
        fill = base.darker(120);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0, 0, 80, pillHeight), 5, 5);
    if (state == State::kPressed) {
        p.setBrush(fill.darker(115));
        p.drawRoundedRect(QRectF(0, pillHeight - 3, 80, 3), 1.5, 1.5);
    }
    if (glyph)
        glyph(p, kGlyph, glyphX, glyphY);
    return image;
}

QImage TitleButton(bool close, State state) {
    QImage image = NewImage(30, 24, kTitle);
    QPainter p(&image);
    Prepare(p);
    if (state != State::kNormal) {
        QColor fill = close ? QColor(212, 64, 56) : kTitleDark;
        if (state == State::kPressed)
            fill = fill.darker(125);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRect(QRectF(0, 0, 30, 24));
    }
    p.setPen(Stroke(kGlyph, 1.6));
    if (close) {
        p.drawLine(QPointF(10, 7), QPointF(20, 17));
        p.drawLine(QPointF(20, 7), QPointF(10, 17));
    } else {
        p.drawLine(QPointF(10, 16), QPointF(20, 16));
    }
    return image;
}

QImage FolderButton(State state) {
    QImage image = NewImage(96, 38, kBody);
    QPainter p(&image);
    Prepare(p);
    QColor fill = kWhite.darker(101);
    QColor border = kLine;
    if (state == State::kHover) {
        fill = QColor(234, 242, 252);
        border = QColor(169, 200, 238);
    } else if (state == State::kPressed) {
        fill = QColor(211, 228, 248);
        border = QColor(127, 174, 230);
    }
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 6.5, 95, 29), 5, 5);
    p.translate(5, 14);
    p.scale(0.4, 0.4);
    IconFolder(p, kInk, kAccent);
    return image;
}

QImage CheckBox() {
    QImage image = NewImage(12, 12, kWhite);
    QPainter p(&image);
    p.setPen(QColor(120, 134, 150));
    p.setBrush(QColor(254, 254, 254));
    p.drawRect(0, 0, 11, 11);
    return image;
}

// A document camera in a 100 x 80 box: base with a page, an upright arm and the camera head over
// the page.
void DrawLogo(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 233, 243));
    p.drawRoundedRect(QRectF(14, 60, 74, 10), 4, 4);
    p.setBrush(kWhite);
    p.setPen(QPen(QColor(160, 176, 196), 1));
    p.drawPolygon(QPolygonF({{34, 64}, {70, 64}, {76, 56}, {42, 56}}));
    p.setPen(Stroke(kTitle, 5));
    p.drawLine(QPointF(24, 64), QPointF(24, 18));
    p.drawLine(QPointF(24, 18), QPointF(50, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(kTitle);
    p.drawRoundedRect(QRectF(46, 8, 26, 14), 4, 4);
    p.setBrush(kAccent.lighter(150));
    p.drawEllipse(QPointF(59, 22), 5, 3);
    p.setBrush(QColor(120, 190, 255, 90));
    p.drawPolygon(QPolygonF({{55, 24}, {63, 24}, {74, 55}, {44, 55}}));
    p.setBrush(kTitle);
    p.drawEllipse(QPointF(24, 64), 5, 3);
}

QImage Logo() {
    QImage image = NewImage(100, 80, kWhite);
    QPainter p(&image);
    Prepare(p);
    DrawLogo(p);
    return image;
}

// The logo on a white rounded tile with a thin frame, on transparency.
QImage AppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    Prepare(p);
    p.scale(size / 128.0, size / 128.0);
    p.setPen(QPen(QColor(196, 206, 218), 2));
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(5, 5, 118, 118), 22, 22);
    // The logo's drawing fills x 14 ... 88 and y 8 ... 70: centre it, enlarged.
    p.translate(64, 64);
    p.scale(1.35, 1.35);
    p.translate(-51, -39);
    DrawLogo(p);
    return image;
}

bool WriteIcons(const QDir& out) {
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder) ||
            !AppIcon(size).save(out.filePath(folder + QStringLiteral("/quorvane.png")), "PNG")) {
            std::fprintf(stderr, "cannot write the %d-pixel icon\n", size);
            return false;
        }
    }
    return true;
}

// The window is the background minus rows 334 ... 433: draw in window coordinates (668 rows) and
// repeat row 333 across the hidden band.
QImage Background() {
    const int width = 1024;
    const int windowHeight = 668;
    QImage window = NewImage(width, windowHeight, kBody);
    QPainter p(&window);
    Prepare(p);
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(0, 0, width, 35), kTitle);
    p.fillRect(QRect(0, 35, width, 137), kWhite);
    p.fillRect(QRect(0, 172, width, 1), kLine);
    // Work region: a dark stage with a thin frame.
    p.setPen(QPen(QColor(196, 206, 218), 1));
    p.setBrush(QColor(46, 52, 60));
    p.drawRect(QRectF(25.5, 173.5, 749, 447));
    // Right column: thumbnail strip and the two panels sit on white cards.
    p.setPen(QPen(kLine, 1));
    p.setBrush(kWhite);
    p.drawRoundedRect(QRectF(810.5, 121.5, 207, 142), 6, 6);
    p.drawRoundedRect(QRectF(810.5, 426.5, 207, 107), 6, 6);
    p.drawRoundedRect(QRectF(810.5, 536.5, 207, 87), 6, 6);
    p.end();

    QImage image = NewImage(width, 768, kBody);
    QPainter q(&image);
    q.drawImage(QPoint(0, 0), window, QRect(0, 0, width, 334));
    for (int y = 334; y < 434; ++y)
        q.drawImage(QPoint(0, y), window, QRect(0, 333, width, 1));
    q.drawImage(QPoint(0, 434), window, QRect(0, 334, width, 334));
    return image;
}

struct Large {
    int normal, hover, pressed;
    IconPainter icon;
};

struct Small {
    int normal, hover, pressed;
    int width;
    IconPainter icon;
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: skin_generator <skins folder> [<icons folder>]\n");
        return 2;
    }
    if (argc == 3 && !WriteIcons(QDir(QString::fromLocal8Bit(argv[2])))) {
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    std::map<int, QImage> images;

    const Large large[] = {
        {132, 130, 131, IconFolder},         {134, 135, 133, IconNameTag},
        {137, 136, 138, IconPageSize},       {140, 139, 141, IconPictureFile},
        {144, 143, 142, IconResolution},     {147, 146, 145, IconExposure},
        {149, 150, 148, IconWatermark},      {155, 156, 157, IconFlipVertical},
        {158, 159, 154, IconFlipHorizontal}, {161, 162, 160, IconPdf},
        {152, 153, 151, IconDefaults},
    };
    for (const Large& b : large) {
        images[b.normal] = LargeButton(b.icon, State::kNormal);
        images[b.hover] = LargeButton(b.icon, State::kHover);
        images[b.pressed] = LargeButton(b.icon, State::kPressed);
    }

    // Two-character labels sit under a 24-pixel image, four-character labels (48 pixels and a
    // little more for digits) under 52 pixels.
    const Small small[] = {
        {167, 166, 168, 24, SmallFullScreen}, {190, 189, 191, 52, SmallWindowSize},
        {198, 194, 195, 24, SmallZoomIn},     {197, 192, 193, 24, SmallZoomOut},
        {177, 176, 178, 52, SmallTurnLeft},   {180, 179, 181, 52, SmallTurnRight},
        {182, 169, 170, 52, SmallText},       {196, 171, 172, 52, SmallRecognise},
        {187, 186, 188, 24, SmallBoxSelect},  {164, 163, 165, 24, SmallCrop},
        {184, 183, 185, 24, SmallSave},       {174, 173, 175, 52, SmallBackToLive},
    };
    for (const Small& b : small) {
        images[b.normal] = SmallButton(b.icon, b.width, State::kNormal);
        images[b.hover] = SmallButton(b.icon, b.width, State::kHover);
        images[b.pressed] = SmallButton(b.icon, b.width, State::kPressed);
    }

    const QColor photo(36, 112, 214);
    const QColor burst(23, 140, 140);
    const QColor neutral(84, 102, 124);
    const struct {
        int normal, hover, pressed;
        QColor base;
        int height, pill;
        Glyph glyph;
        qreal gx, gy;
    } actions[] = {
        {216, 215, 214, photo, 40, 36, GlyphCamera, 9, 8},
        {213, 212, 203, burst, 40, 36, GlyphBurst, 66, 12.5},
        {207, 206, 200, neutral, 30, 26, GlyphPrinter, 58, 7.5},
        {205, 204, 199, neutral, 30, 26, GlyphGear, 66, 7},
        // The recording button's images are also the dialogs' general button: no glyph.
        {211, 210, 202, neutral, 30, 26, {}, 0, 0},
        {209, 208, 201, neutral, 30, 26, GlyphGear, 66, 7},
    };
    for (const auto& a : actions) {
        images[a.normal] =
            ActionButton(a.base, a.height, a.pill, State::kNormal, a.glyph, a.gx, a.gy);
        images[a.hover] =
            ActionButton(a.base, a.height, a.pill, State::kHover, a.glyph, a.gx, a.gy);
        images[a.pressed] =
            ActionButton(a.base, a.height, a.pill, State::kPressed, a.glyph, a.gx, a.gy);
    }

    images[220] = TitleButton(false, State::kNormal);
    images[219] = TitleButton(false, State::kHover);
    images[221] = TitleButton(false, State::kPressed);
    images[217] = TitleButton(true, State::kNormal);
    images[222] = TitleButton(true, State::kHover);
    images[218] = TitleButton(true, State::kPressed);
    images[230] = FolderButton(State::kNormal);
    images[231] = FolderButton(State::kHover);
    images[232] = FolderButton(State::kPressed);
    images[224] = CheckBox();
    images[228] = Logo();
    images[129] = Background();

    for (const auto& [number, image] : images) {
        const QString path = out.filePath(QString::number(number) + ".png");
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("%zu skin images written to %s\n", images.size(), qPrintable(out.path()));
    return 0;
}
