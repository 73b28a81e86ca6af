// Accuracy of automatic cropping on the simulated scene, whose page tilt and corners are known.
// For every tilt from -15 to 15 degrees, desk and frame size the simulated camera offers: the
// detection as the worker runs it, then the photo's crop (turned by tiltAngle, cropped to
// cropImageRect) mapped back into the frame and compared with the true page: angle error and
// intersection over union; the worst share of dark (desk) pixels along the photo's edges, and the
// least share of the page's printed area the photo keeps. A page not found gives the whole
// frame, unturned; a wrong turn is a photo turned by more than 2 degrees away from the page's
// tilt.
//
//   ./build/bench/capture/edge_accuracy [--detail] [WIDTHxHEIGHT]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "capture/document_edge_worker.h"
#include "support/crop_overlap.h"
#include "support/scene_frames.h"

namespace {

struct Outcome {
    bool detected = false;
    bool pageFound = false;
    double angleError = 0;
    double iou = 0;
    double darkBorder = 0;
    double textKept = 0;
    int tiltAngle = 0;
    QvRect crop;
};

Outcome Measure(int width, int height, int tilt, DeskKind desk) {
    const SceneFrame scene = MakeSceneFrame(width, height, tilt, desk);
    Outcome out;
    DocumentEdgeResults results;
    if (!CDocumentEdgeWorker::Detect(scene.frame, results)) {
        return out;
    }
    out.detected = true;
    out.pageFound = results.pageFound;
    out.tiltAngle = results.tiltAngle;
    out.angleError = std::abs(-results.tiltAngle - scene.clockwiseTilt);
    const CropOverlap overlap = MeasureCropOverlap(scene, results);
    if (!overlap.photoMade) {
        std::fprintf(stderr, "the photo's crop differs from the clamped rectangle\n");
    }
    out.crop = overlap.crop;
    out.iou = overlap.iou;
    out.darkBorder = overlap.darkBorder;
    out.textKept = overlap.textKept;
    return out;
}

const char* DeskName(DeskKind desk) {
    switch (desk) {
        case DeskKind::kDarkPlain:
            return "dark plain";
        case DeskKind::kBrightPlain:
            return "bright plain";
        case DeskKind::kTextured:
            return "textured";
    }
    return "";
}

// One row of the table: a frame size on one desk over all tilts.
struct Row {
    int count = 0;
    int found = 0;
    int wrongTurns = 0;  // turned by more than 2 degrees away from the page's tilt
    int offRule = 0;     // found with an error above 1 degree or an overlap below 0.85, or a
                         // page not found that is not the whole frame, unturned
    int missed = 0;      // no result at all
    double errSum = 0, errMax = 0, iouSum = 0, iouMin = 1;
    double borderMax = 0, textMin = 1;  // over the pages found
    int worstTilt = 0;

    void Add(const Outcome& o, int tilt, int width, int height) {
        ++count;
        missed += !o.detected;
        if (!o.pageFound) {
            offRule += o.detected && (o.tiltAngle != 0 || o.crop != QvRect{0, 0, width, height});
            return;
        }
        ++found;
        wrongTurns += o.angleError > 2;
        // The photo is cut inside the page, giving up its edges' strip: on a small page at the
        // worst leftover tilt, a tenth of its area (blank margin).
        offRule += o.angleError > 1 || o.iou < 0.85;
        errSum += o.angleError;
        errMax = std::max(errMax, o.angleError);
        iouSum += o.iou;
        borderMax = std::max(borderMax, o.darkBorder);
        textMin = std::min(textMin, o.textKept);
        if (o.iou < iouMin) {
            iouMin = o.iou;
            worstTilt = tilt;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    bool detail = false;
    int onlyWidth = 0, onlyHeight = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--detail") == 0) {
            detail = true;
        } else if (std::sscanf(argv[i], "%dx%d", &onlyWidth, &onlyHeight) != 2) {
            std::fprintf(stderr, "usage: %s [--detail] [WIDTHxHEIGHT]\n", argv[0]);
            return 2;
        }
    }
    std::printf("%-10s %-13s %6s %6s %9s %9s %9s %9s %7s %8s %8s %s\n", "frame", "desk", "found",
                "wrong", "mean err", "worst err", "mean IoU", "min IoU", "(tilt)", "border", "text",
                "off rule");
    for (auto [w, h] : {std::pair{640, 480}, {1280, 720}, {1600, 1200}, {2592, 1944}}) {
        if (onlyWidth != 0 && (w != onlyWidth || h != onlyHeight)) {
            continue;
        }
        for (DeskKind desk : {DeskKind::kDarkPlain, DeskKind::kBrightPlain, DeskKind::kTextured}) {
            Row row;
            for (int tilt = -15; tilt <= 15; ++tilt) {
                const Outcome o = Measure(w, h, tilt, desk);
                if (detail) {
                    std::printf(
                        "  %dx%d %s tilt %3d: %s tiltAngle %3d err %.1f IoU %.3f border %.2f%% "
                        "text %.1f%% crop %d %d %d %d\n",
                        w, h, DeskName(desk), tilt, o.pageFound ? "found" : "none ", o.tiltAngle,
                        o.angleError, o.iou, 100 * o.darkBorder, 100 * o.textKept, o.crop.left,
                        o.crop.top, o.crop.right, o.crop.bottom);
                }
                row.Add(o, tilt, w, h);
            }
            const double found = std::max(row.found, 1);
            std::printf(
                "%4dx%-5d %-13s %3d/%-2d %6d %9.2f %9.2f %9.3f %9.3f %7d %7.2f%% %7.1f%% %d%s\n", w,
                h, DeskName(desk), row.found, row.count, row.wrongTurns, row.errSum / found,
                row.errMax, row.iouSum / found, row.iouMin, row.worstTilt, 100 * row.borderMax,
                100 * row.textMin, row.offRule, row.missed ? " (some frames gave no result)" : "");
        }
    }
    return 0;
}
