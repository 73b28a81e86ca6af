#pragma once
// The save pipeline of one photograph: the shown camera frame is copied, cropped (to the
// straightened document or to the selection box), watermarked, turned as the save options ask,
// written in the format its extension names, and reduced to the strip's 55 x 55 thumbnail.
//
// It works on a small record of the live view's state and on the main window's values, so that
// it runs the same for the live video item, a test or a benchmark.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

#include "image/dib_image.h"
#include "platform/win_types.h"

// What the live view holds at the moment of the photo.
struct PhotoSource {
    const CDibImage* workImage = nullptr;  // the shown frame, flip, mirror and colour applied
    QvRect selectionImageRect;             // the selection box in picture pixels; empty: none
    int outlineMode = 0;                   // 2: automatic cropping to the detected document
    int tiltAngle = 0;                     // document tilt in degrees (automatic cropping)
    QvRect cropImageRect;                  // the document in the straightened picture
};

struct WatermarkFont {
    QString face = QStringLiteral("宋体");
    int32_t height = 16;  // pixels
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
};

// The main window's values that shape the saved file.
struct PhotoOptions {
    int quality = 75;
    QString watermarkText;
    bool dateWatermark = false;
    float watermarkX = 0.0f;  // fractions of the picture turned a quarter to the left
    float watermarkY = 0.0f;
    WatermarkFont watermarkFont;
    QvColour watermarkColour = 0;
    bool saveRotateLeft = false;  // both checked: the left turn wins
    bool saveRotateRight = false;
    // Local time of the date watermark; the system clock when empty.
    std::function<QDateTime()> clock;
    // The next free photo name, for when the name given is taken by the time the photo is
    // written (another copy of the program saving into the same folder); empty: the save fails.
    std::function<QString()> nextFreeName;

    // The values used when there is no main window: quality 75, no watermark, no turn.
    static PhotoOptions WithoutMainWindow() { return {}; }
};

struct PhotoResult {
    // 55 x 55 when the photo was written; empty otherwise.
    CDibImage thumbnail;
    bool saved = false;
    QString path;     // where the photo was written
    QString failure;  // why the file was not written, in words for the user
};

constexpr int32_t kPhotoThumbnailSize = 55;

// Format code for a photo path by its upper-cased extension: JPG/JPEG, BMP, PNG, TIF/TIFF;
// anything else (or no extension) is BMP.
uint32_t PhotoFormatFromPath(const QString& path);

// The date watermark's text for a local time.
QString DateWatermarkText(const QDateTime& time);

// Runs the whole pipeline. The file appears complete under path (or the next free name) or not
// at all; an existing file is never replaced.
PhotoResult SavePhoto(const PhotoSource& source, const QString& path, const PhotoOptions& options);

// The picture as it would be written (steps before the encoder), for tests and benchmarks.
CDibImage PreparePhoto(const PhotoSource& source, const PhotoOptions& options);
