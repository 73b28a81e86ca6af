#pragma once
// The rounded outline of the skinned windows: a rectangle over the whole window whose corners
// are cut by ellipses of the given size, as a mask region.

#include <QRegion>
#include <QSize>

QRegion RoundedWindowRegion(const QSize& size, int cornerEllipse);
