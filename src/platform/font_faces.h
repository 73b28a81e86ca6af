#pragma once
// Interface fonts. The program names its faces by their Chinese names ("宋体", "黑体", "幼圆");
// InstallFontFaces maps them onto the CJK faces installed here. Heights are pixel sizes and
// weights the 100 ... 900 scale (400 normal, 700 bold).

#include <QFont>
#include <QString>

class QPainter;

// Substitutes the program's face names; call once after the application object exists.
void InstallFontFaces();

QFont QvFont(const QString& face, int pixelHeight, int weight = 400, bool underline = false);

// Draws text with its character cell's top-left corner at (x, y), the way the skinned windows
// place their labels. The cell is as high as the font's pixel size, with the baseline at the
// same depth as in the faces the layout was drawn for, so labels line up with the skins.
void QvTextOut(QPainter& painter, int x, int y, const QString& text);
