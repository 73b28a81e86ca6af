// Accuracy of automatic cropping on the simulated scene, whose page tilt and corners are known.
// For every tilt from -15 to 15 degrees, desk and frame size: the detection as the worker runs
// it, then the photo's crop (turned by tiltAngle, cropped to cropImageRect) mapped back into the
// frame and compared with the true page: angle error and intersection over union.
//
//   ./build/bench/capture/edge_accuracy [--detail]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "capture/document_edge_worker.h"
#include "support/scene_frames.h"

namespace {

struct Pt {
    double x, y;
};
using Polygon = std::vector<Pt>;

double Cross(Pt o, Pt a, Pt b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double Area(const Polygon& p) {
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Pt& u = p[i];
        const Pt& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// Sutherland-Hodgman: subject clipped by the convex polygon clip.
Polygon Clip(Polygon subject, const Polygon& clip) {
    const double orientation = Area(clip) > 0 ? 1 : -1;
    for (size_t i = 0; i < clip.size() && !subject.empty(); ++i) {
        const Pt a = clip[i];
        const Pt b = clip[(i + 1) % clip.size()];
        auto inside = [&](Pt p) { return orientation * Cross(a, b, p) >= 0; };
        Polygon out;
        for (size_t j = 0; j < subject.size(); ++j) {
            const Pt p = subject[j];
            const Pt q = subject[(j + 1) % subject.size()];
            const double cp = Cross(a, b, p);
            const double cq = Cross(a, b, q);
            if (inside(p)) {
                out.push_back(p);
            }
            if (inside(p) != inside(q)) {
                const double t = cp / (cp - cq);
                out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
        subject = std::move(out);
    }
    return subject;
}

double IntersectionOverUnion(const Polygon& a, const Polygon& b) {
    const double inter = std::abs(Area(Clip(a, b)));
    const double uni = std::abs(Area(a)) + std::abs(Area(b)) - inter;
    return uni > 0 ? inter / uni : 0;
}

struct Outcome {
    bool detected = false;
    double angleError = 0;
    double iou = 0;
    int tiltAngle = 0;
    QvRect crop;
};

// The photo's crop as a quadrilateral in the frame: its corners turned back about the centres.
Polygon CropInFrame(const QvRect& crop, int tiltAngle, double frameW, double frameH, double photoW,
                    double photoH) {
    const double back = -tiltAngle * std::numbers::pi / 180;
    const double c = std::cos(back);
    const double s = std::sin(back);
    Polygon quad;
    for (auto [x, y] : {std::pair{crop.left, crop.top},
                        {crop.right, crop.top},
                        {crop.right, crop.bottom},
                        {crop.left, crop.bottom}}) {
        const double dx = x - photoW / 2;
        const double dy = y - photoH / 2;
        quad.push_back({frameW / 2 + c * dx - s * dy, frameH / 2 + s * dx + c * dy});
    }
    return quad;
}

Outcome Measure(int width, int height, int tilt, DeskKind desk) {
    SceneFrame scene = MakeSceneFrame(width, height, tilt, desk);
    Outcome out;
    DocumentEdgeResults results;
    if (!CDocumentEdgeWorker::Detect(scene.frame, results)) {
        return out;
    }
    out.detected = true;
    out.tiltAngle = results.tiltAngle;
    out.angleError = std::abs(-results.tiltAngle - scene.clockwiseTilt);
    // The photo operations: turn by tiltAngle with white corners, crop (clamped to the photo).
    CDibImage photo;
    CDibImage cropped;
    if (!scene.frame.Rotate(float(results.tiltAngle), &photo, CDibImage::kInterpolationBilinear,
                            CDibImage::kOverflowBackground, QvRgb(255, 255, 255), true, false) ||
        !photo.Crop(results.cropImageRect, &cropped)) {
        return out;
    }
    const int32_t pw = int32_t(photo.GetWidth());
    const int32_t ph = int32_t(photo.GetHeight());
    QvRect& crop = out.crop;
    crop = {std::clamp(results.cropImageRect.left, 0, pw),
            std::clamp(results.cropImageRect.top, 0, ph),
            std::clamp(results.cropImageRect.right, 0, pw),
            std::clamp(results.cropImageRect.bottom, 0, ph)};
    if (crop.Width() != int32_t(cropped.GetWidth()) ||
        crop.Height() != int32_t(cropped.GetHeight())) {
        std::fprintf(stderr, "crop size differs from the clamped rectangle\n");
    }
    Polygon page;
    for (const ScenePoint& p : scene.corners) {
        page.push_back({p.x, p.y});
    }
    out.iou =
        IntersectionOverUnion(CropInFrame(crop, results.tiltAngle, width, height, pw, ph), page);
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

}  // namespace

int main(int argc, char** argv) {
    const bool detail = argc > 1 && std::strcmp(argv[1], "--detail") == 0;
    std::printf("%-10s %-13s %9s %9s %9s %9s %s\n", "frame", "desk", "mean err", "worst err",
                "mean IoU", "min IoU", "(worst IoU at tilt)");
    for (auto [w, h] : {std::pair{640, 480}, {1280, 720}, {1600, 1200}, {2592, 1944}}) {
        for (DeskKind desk : {DeskKind::kDarkPlain, DeskKind::kBrightPlain, DeskKind::kTextured}) {
            double errSum = 0, errMax = 0, iouSum = 0, iouMin = 1;
            int count = 0, worstTilt = 0, missed = 0;
            for (int tilt = -15; tilt <= 15; ++tilt) {
                const Outcome o = Measure(w, h, tilt, desk);
                if (detail) {
                    std::printf(
                        "  %dx%d %s tilt %3d: tiltAngle %3d err %.1f IoU %.3f crop %d %d %d %d\n",
                        w, h, DeskName(desk), tilt, o.tiltAngle, o.angleError, o.iou, o.crop.left,
                        o.crop.top, o.crop.right, o.crop.bottom);
                }
                missed += !o.detected;
                ++count;
                errSum += o.angleError;
                errMax = std::max(errMax, o.angleError);
                iouSum += o.iou;
                if (o.iou < iouMin) {
                    iouMin = o.iou;
                    worstTilt = tilt;
                }
            }
            std::printf("%4dx%-5d %-13s %9.2f %9.2f %9.3f %9.3f (%d)%s\n", w, h, DeskName(desk),
                        errSum / count, errMax, iouSum / count, iouMin, worstTilt,
                        missed ? " some frames gave no result" : "");
        }
    }
    return 0;
}
