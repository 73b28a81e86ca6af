#pragma once
// A sheet of paper photographed by the simulated camera and saved as a photo is, with automatic
// cropping: straightened and cut out of the desk. For the text-recognition and PDF benchmarks.

#include <QImage>
#include <QString>
#include <vector>

#include "app/photo_pipeline.h"
#include "capture/document_edge_worker.h"
#include "image/dib_image.h"
#include "media/simulated_scene.h"

// False when the page was not found on the desk or the photo could not be saved. frame chooses
// the sensor noise, so photos of one sheet differ as a camera's do.
inline bool PhotographSheet(const QImage& sheet, int width, int height, const QString& path,
                            uint32_t frame = 1) {
    const QImage bgr = sheet.convertToFormat(QImage::Format_BGR888);
    SimulatedSceneSettings settings;
    settings.width = width;
    settings.height = height;
    settings.mirrored = false;  // the picture as the program shows it, after its mirror
    settings.picture = {bgr.constBits(), bgr.width(), bgr.height(), int(bgr.bytesPerLine())};
    SimulatedScene scene;
    scene.Configure(settings);
    std::vector<uint8_t> rows(size_t(scene.Stride()) * size_t(height));
    scene.RenderFrame(rows.data(), frame);
    CDibImage picture;
    picture.CreateFromPixels(rows.data(), uint32_t(width), uint32_t(height), 24,
                             uint32_t(scene.Stride()), true);
    DocumentEdgeResults found;
    if (!CDocumentEdgeWorker::Detect(picture, found))
        return false;
    PhotoSource source;
    source.workImage = &picture;
    source.outlineMode = 2;
    source.tiltAngle = found.tiltAngle;
    source.cropImageRect = found.cropImageRect;
    return SavePhoto(source, path, PhotoOptions::WithoutMainWindow()).saved;
}
