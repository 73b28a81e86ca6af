#include "image/pdf_rules.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "image/dib_image.h"

namespace {

// The text after the last "." of the path, as written; empty when there is none.
QString Extension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : path.mid(dot + 1);
}

// The codes both rules share; 0 for an extension they do not know.
uint32_t KnownFormatCode(const QString& extension) {
    if (extension == QLatin1String("JPG") || extension == QLatin1String("JPEG"))
        return kDibFormatJpeg;
    if (extension == QLatin1String("BMP"))
        return kDibFormatBmp;
    if (extension == QLatin1String("PNG"))
        return kDibFormatPng;
    if (extension == QLatin1String("TIF") || extension == QLatin1String("TIFF"))
        return kDibFormatTiff;
    return kDibFormatUnknown;
}

QString CleanAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

uint32_t PdfPageFormatCode(const QString& path) {
    const uint32_t code = KnownFormatCode(Extension(path));
    return code != kDibFormatUnknown ? code : kDibFormatBmp;
}

uint32_t PdfPreviewFormatCode(const QString& path) {
    const uint32_t code = KnownFormatCode(Extension(path));
    return code != kDibFormatUnknown ? code : kDibFormatJpeg;
}

uint32_t PdfCutWidth(uint32_t width) {
    return width & ~7u;
}

PdfInches PdfPageInches(uint32_t width, uint32_t height) {
    return {double(float(width) / 75.0f), double(float(height) / 75.0f)};
}

PdfPlacement PdfPagePlacement(uint32_t width, uint32_t height, uint32_t firstWidth,
                              uint32_t firstHeight, int32_t pageWidth, int32_t pageHeight) {
    const PdfPlacement wholePage{0, 0, double(pageWidth), double(pageHeight)};
    if (width == 0 || height == 0 ||
        uint64_t(width) * firstHeight == uint64_t(firstWidth) * height) {
        return wholePage;
    }
    const double scale = std::min(double(pageWidth) / width, double(pageHeight) / height);
    const double w = width * scale;
    const double h = height * scale;
    return {(pageWidth - w) / 2, (pageHeight - h) / 2, w, h};
}

QString PdfFileNameFor(const QString& chosen) {
    if (Extension(chosen).compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
        return chosen;
    return chosen + QStringLiteral(".pdf");
}

int IndexOfPicturePath(const QStringList& list, const QString& path) {
    const QString key = CleanAbsolute(path);
    for (int i = 0; i < list.size(); ++i) {
        if (CleanAbsolute(list[i]) == key)
            return i;
    }
    return -1;
}
