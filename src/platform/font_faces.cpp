#include "platform/font_faces.h"

#include <QPainter>

namespace {
// Depth of the baseline in a character cell of the layout's faces, as a share of the cell.
constexpr double kBaselineShare = 0.86;
}  // namespace

void InstallFontFaces() {
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"));
    QFont::insertSubstitution(QStringLiteral("黑体"), QStringLiteral("Noto Sans CJK SC"));
    QFont::insertSubstitution(QStringLiteral("幼圆"), QStringLiteral("Noto Sans CJK SC"));
}

QFont QvFont(const QString& face, int pixelHeight, int weight, bool underline) {
    QFont font(face);
    font.setPixelSize(pixelHeight);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setUnderline(underline);
    return font;
}

void QvTextOut(QPainter& painter, int x, int y, const QString& text) {
    const int size = painter.font().pixelSize() > 0 ? painter.font().pixelSize()
                                                    : painter.fontMetrics().height();
    painter.drawText(QPointF(x, y + size * kBaselineShare), text);
}
