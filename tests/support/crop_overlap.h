#pragma once
// How well automatic cropping cut out a simulated page: the photo operations (turn by tiltAngle
// with white corners, crop to cropImageRect) are run on the frame, the crop is mapped back into
// the frame, and its overlap with the true page is the intersection over union. The photo's
// outermost pixels tell whether desk shows along its edges, and the page's printed area whether
// any text was cut off.

#include <algorithm>
#include <array>
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

// The point at (u, v) of the page (fractions of its width and height from its top-left corner).
inline Pt OnPage(const std::array<ScenePoint, 4>& corners, double u, double v) {
    const auto mix = [](const ScenePoint& a, const ScenePoint& b, double t) {
        return Pt{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    };
    const Pt top = mix(corners[0], corners[1], u);
    const Pt bottom = mix(corners[3], corners[2], u);
    return {top.x + (bottom.x - top.x) * v, top.y + (bottom.y - top.y) * v};
}

// Darker than the simulated paper (grey 236 and more, noise aside) and than the white a turn
// fills corners with: every desk (the bright one is about 200), and ink.
inline bool Dark(const CDibImage& image, uint32_t x, uint32_t y) {
    const QvColour c = image.GetPixelColour(x, y);
    return 299 * QvRed(c) + 587 * QvGreen(c) + 114 * QvBlue(c) < 215 * 1000;
}

// Share of the picture's outermost pixels (its one-pixel frame) that are dark.
inline double DarkBorderShare(const CDibImage& image) {
    const uint32_t w = image.GetWidth();
    const uint32_t h = image.GetHeight();
    if (w < 2 || h < 2) {
        return 1;
    }
    int dark = 0;
    for (uint32_t x = 0; x < w; ++x) {
        dark += Dark(image, x, 0) + Dark(image, x, h - 1);
    }
    for (uint32_t y = 1; y + 1 < h; ++y) {
        dark += Dark(image, 0, y) + Dark(image, w - 1, y);
    }
    return double(dark) / double(2 * (w + h) - 4);
}

}  // namespace crop_overlap

struct CropOverlap {
    bool photoMade = false;
    QvRect crop;  // cropImageRect clamped to the turned photo: what the photo holds
    double iou = 0;
    double darkBorder = 1;  // share of the photo's outermost pixels that show desk (or ink)
    double textKept = 0;    // share of the built-in page's printed area inside the photo
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
    const Polygon cut = CropInFrame(out.crop, results.tiltAngle, frameW, frameH, pw, ph);
    out.iou = IntersectionOverUnion(cut, page);
    out.darkBorder = DarkBorderShare(cropped);
    // The built-in page prints within 10 % of its width and 8 % of its height from its edges.
    const Polygon printed = {OnPage(scene.corners, 0.1, 0.08), OnPage(scene.corners, 0.9, 0.08),
                             OnPage(scene.corners, 0.9, 0.92), OnPage(scene.corners, 0.1, 0.92)};
    out.textKept = std::abs(Area(Clip(printed, cut))) / std::abs(Area(printed));
    return out;
}
