#pragma once
// How well automatic cropping cut out a simulated page: the photo operations (turn by tiltAngle
// with white corners, crop to cropImageRect) are run on the frame, the crop is mapped back into
// the frame, and its overlap with the true page is the intersection over union.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "capture/document_edge_worker.h"
#include "support/scene_frames.h"

namespace crop_overlap {

struct Pt {
    double x, y;
};
using Polygon = std::vector<Pt>;

inline double Cross(Pt o, Pt a, Pt b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

inline double Area(const Polygon& p) {
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Pt& u = p[i];
        const Pt& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// Sutherland-Hodgman: subject clipped by the convex polygon clip.
inline Polygon Clip(Polygon subject, const Polygon& clip) {
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

inline double IntersectionOverUnion(const Polygon& a, const Polygon& b) {
    const double inter = std::abs(Area(Clip(a, b)));
    const double uni = std::abs(Area(a)) + std::abs(Area(b)) - inter;
    return uni > 0 ? inter / uni : 0;
}

// The photo's crop as a quadrilateral in the frame: its corners turned back about the centres.
inline Polygon CropInFrame(const QvRect& crop, int tiltAngle, double frameW, double frameH,
                           double photoW, double photoH) {
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

}  // namespace crop_overlap

struct CropOverlap {
    bool photoMade = false;
    QvRect crop;  // cropImageRect clamped to the turned photo: what the photo holds
    double iou = 0;
};

inline CropOverlap MeasureCropOverlap(const SceneFrame& scene, const DocumentEdgeResults& results) {
    using namespace crop_overlap;
    CropOverlap out;
    CDibImage source = scene.frame;
    CDibImage photo;
    CDibImage cropped;
    if (!source.Rotate(float(results.tiltAngle), &photo, CDibImage::kInterpolationBilinear,
                       CDibImage::kOverflowBackground, QvRgb(255, 255, 255), true, false) ||
        !photo.Crop(results.cropImageRect, &cropped)) {
        return out;
    }
    const int32_t pw = int32_t(photo.GetWidth());
    const int32_t ph = int32_t(photo.GetHeight());
    const QvRect& r = results.cropImageRect;
    out.crop = {std::clamp(r.left, 0, pw), std::clamp(r.top, 0, ph), std::clamp(r.right, 0, pw),
                std::clamp(r.bottom, 0, ph)};
    out.photoMade = out.crop.Width() == int32_t(cropped.GetWidth()) &&
                    out.crop.Height() == int32_t(cropped.GetHeight());
    Polygon page;
    for (const ScenePoint& p : scene.corners) {
        page.push_back({p.x, p.y});
    }
    const double frameW = scene.frame.GetWidth();
    const double frameH = scene.frame.GetHeight();
    out.iou = IntersectionOverUnion(
        CropInFrame(out.crop, results.tiltAngle, frameW, frameH, pw, ph), page);
    return out;
}
