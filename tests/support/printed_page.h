#pragma once
// Reading back what was printed to a PDF file: command-line readers (poppler, qpdf), the first
// page rendered by pdftoppm, and the box of what is printed on it.

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// What a reader prints, standard output then standard error.
inline QString RunReader(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

// The PDF's first page at dpi, drawn by pdftoppm into scratch + ".png"; null when it failed.
inline QImage RenderFirstPage(const QString& pdf, int dpi, const QString& scratch) {
    RunReader(QStringLiteral("pdftoppm"),
              {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
               QStringLiteral("-singlefile"), pdf, scratch});
    return QImage(scratch + QStringLiteral(".png"));
}

// The bounding box of the pixels darker than grey.
inline QRect InkBox(const QImage& page, int grey) {
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) < grey) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

inline QString DescribeBox(const QString& name, const QRect& box) {
    return QStringLiteral("%1 %2,%3 %4x%5")
        .arg(name)
        .arg(box.x())
        .arg(box.y())
        .arg(box.width())
        .arg(box.height());
}
