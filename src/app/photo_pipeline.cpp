#include "app/photo_pipeline.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/atomic_save.h"

namespace {

bool SelectionFits(const QvRect& box, int32_t width, int32_t height) {
    return !box.IsEmpty() && box.right <= width && box.bottom <= height;
}

void CropToDocument(CDibImage& working, const PhotoSource& source) {
    CDibImage turned;
    if (!working.Rotate(static_cast<float>(source.tiltAngle), &turned,
                        CDibImage::kInterpolationBilinear, CDibImage::kOverflowBackground,
                        QvRgb(255, 255, 255), true, false)) {
        return;
    }
    // Until the detection has found a document there is nothing to cut out: the whole frame is
    // saved rather than nothing.
    CDibImage cropped;
    if (turned.Crop(source.cropImageRect, &cropped)) {
        working = std::move(cropped);
    }
}

void CropPhoto(CDibImage& working, const PhotoSource& source) {
    if (source.outlineMode == 2) {
        CropToDocument(working, source);
        return;
    }
    const auto width = static_cast<int32_t>(working.GetWidth());
    const auto height = static_cast<int32_t>(working.GetHeight());
    if (SelectionFits(source.selectionImageRect, width, height)) {
        working.Crop(source.selectionImageRect);
    }
}

// Where a text goes so that all of it lies inside a picture of width x height: x is its left
// edge, y its bottom edge (WriteText's convention). A place that would put some of it outside
// moves it in, so a new user's watermark at (0, 0) shows in the top-left corner rather than
// above the picture; a text larger than the picture starts at its top-left corner.
QvPoint PlaceInside(QvPoint at, const QString& text, const WatermarkFont& font, int32_t width,
                    int32_t height) {
    const QvPoint extent = CDibImage::TextExtent(text, font.face, font.height, font.weight,
                                                 font.italic, font.underline);
    return {std::clamp(at.x, 0, std::max(0, width - extent.x)),
            std::clamp(at.y, std::min(extent.y, height), height)};
}

// The text is written on the picture turned a quarter to the left, so that it reads along the
// page's long side once the picture is turned back. The turns go through copies: should either
// fail, the photo is saved as it was, never turned by a quarter.
void Watermark(CDibImage& working, const PhotoOptions& options) {
    if (options.watermarkText.isEmpty() && !options.dateWatermark) {
        return;
    }
    CDibImage turned;
    if (!working.RotateLeft90(&turned)) {
        return;
    }
    const auto width = static_cast<int32_t>(turned.GetWidth());
    const auto height = static_cast<int32_t>(turned.GetHeight());
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter device(&scratch);
    const WatermarkFont& font = options.watermarkFont;
    const auto write = [&](QvPoint at, const QString& text) {
        at = PlaceInside(at, text, font, width, height);
        turned.WriteText(&device, at.x, at.y, text, options.watermarkColour, font.face, font.height,
                         font.weight, font.italic, font.underline, false);
    };
    if (!options.watermarkText.isEmpty()) {
        write({static_cast<int32_t>(static_cast<float>(width) * options.watermarkX),
               static_cast<int32_t>(static_cast<float>(height) * options.watermarkY)},
              options.watermarkText);
    }
    if (options.dateWatermark) {
        const QDateTime now = options.clock ? options.clock() : QDateTime::currentDateTime();
        write({20, height - 60}, DateWatermarkText(now));
    }
    CDibImage back;
    if (turned.RotateRight90(&back)) {
        working = std::move(back);
    }
}

void TurnForSaving(CDibImage& working, const PhotoOptions& options) {
    if (options.saveRotateLeft) {
        working.RotateLeft90();
    } else if (options.saveRotateRight) {
        working.RotateRight90();
    }
}

}  // namespace

uint32_t PhotoFormatFromPath(const QString& path) {
    const QString upper = path.toUpper();
    const qsizetype dot = upper.lastIndexOf(u'.');
    const QString ext = dot < 0 ? upper : upper.mid(dot + 1);
    if (ext == u"JPG" || ext == u"JPEG") {
        return kDibFormatJpeg;
    }
    if (ext == u"PNG") {
        return kDibFormatPng;
    }
    if (ext == u"TIF" || ext == u"TIFF") {
        return kDibFormatTiff;
    }
    return kDibFormatBmp;
}

QString DateWatermarkText(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy年MM月dd日 HH时mm分ss秒"));
}

CDibImage PreparePhoto(const PhotoSource& source, const PhotoOptions& options) {
    if (source.workImage == nullptr || !source.workImage->IsValid()) {
        return CDibImage();
    }
    CDibImage working(*source.workImage);
    CropPhoto(working, source);
    working.SetQuality(static_cast<uint8_t>(std::clamp(options.quality, 1, 100)));
    Watermark(working, options);
    TurnForSaving(working, options);
    return working;
}

PhotoResult SavePhoto(const PhotoSource& source, const QString& path, const PhotoOptions& options) {
    PhotoResult result;
    CDibImage working = PreparePhoto(source, options);
    if (!working.IsValid()) {
        result.failure = QStringLiteral("没有可保存的画面");
        return result;
    }
    const uint32_t type = PhotoFormatFromPath(path);
    QString encoderError;
    const FileWriter write = [&](const QString& temporary) {
        const bool ok = working.Save(temporary, type);
        if (!ok) {
            encoderError = QString::fromUtf8(working.GetLastError());
        }
        return ok;
    };
    result.path = options.nextFreeName
                      ? SaveUnderFreeName(path, options.nextFreeName, write, &result.failure)
                      : (SaveAtomically(path, write, &result.failure) ? path : QString());
    result.saved = !result.path.isEmpty();
    if (!result.saved && result.failure == QStringLiteral("保存失败") && !encoderError.isEmpty()) {
        result.failure += QStringLiteral("：") + encoderError;
    }
    if (result.saved) {
        working.Resample(kPhotoThumbnailSize, kPhotoThumbnailSize, 1);
        result.thumbnail = std::move(working);
    }
    return result;
}
