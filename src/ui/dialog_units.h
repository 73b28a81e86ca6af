#pragma once
// The settings dialogs are laid out in the dialog units of their templates: a quarter of the
// template face's average character width across and an eighth of its height down, 1.5 and
// 1.625 pixels. The controls the dialogs place in pixels (buttons, painted labels) line up with
// the edits only when each direction keeps its own scale. Edges are converted one by one and
// rounded, so neighbouring controls stay flush.

#include <QRect>
#include <QSize>

constexpr int DialogUnitsAcross(int units) {
    return (units * 3 + 1) / 2;
}

constexpr int DialogUnitsDown(int units) {
    return (units * 13 + 4) / 8;
}

constexpr QSize DialogUnitSize(int width, int height) {
    return QSize(DialogUnitsAcross(width), DialogUnitsDown(height));
}

constexpr QRect DialogUnitRect(int x, int y, int width, int height) {
    return QRect(QPoint(DialogUnitsAcross(x), DialogUnitsDown(y)),
                 QPoint(DialogUnitsAcross(x + width) - 1, DialogUnitsDown(y + height) - 1));
}
