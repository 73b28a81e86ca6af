#include "media/simulated_scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kNoiseTableSize = size_t{1} << 18;
constexpr double kPi = 3.14159265358979323846;

struct Bgr {
    double b, g, r;
};

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

bool SameSettings(const SimulatedSceneSettings& a, const SimulatedSceneSettings& b) {
    return a.width == b.width && a.height == b.height && a.tiltDegrees == b.tiltDegrees &&
           a.pageHeightFraction == b.pageHeightFraction && a.pageAspect == b.pageAspect &&
           a.centreX == b.centreX && a.centreY == b.centreY && a.desk == b.desk &&
           a.brightness == b.brightness && a.contrast == b.contrast &&
           a.picture.pixels == b.picture.pixels && a.picture.width == b.picture.width &&
           a.picture.height == b.picture.height && a.picture.stride == b.picture.stride &&
           a.mirrored == b.mirrored && a.noiseAmplitude == b.noiseAmplitude;
}

// The built-in page: off-white paper with a heading and paragraphs of dark word-like runs.
Bgr BuiltInPage(double u, double v) {
    const Bgr paper{236, 241, 244};
    const Bgr ink{48, 42, 38};
    if (u < 0.1 || u > 0.9 || v < 0.08 || v > 0.92)
        return paper;
    const double pitch = 0.034;
    const int line = static_cast<int>((v - 0.08) / pitch);
    const double inLine = (v - 0.08) / pitch - line;
    const bool heading = line == 0;
    if (inLine > (heading ? 0.6 : 0.42))
        return paper;
    const int paragraphLine = line % 7;
    if (line == 1 || paragraphLine == 6)
        return paper;  // blank lines between paragraphs
    const double lineEnd = paragraphLine == 5 ? 0.35 + 0.4 * (Hash(line) % 100) / 100.0 : 0.9;
    if (heading && u > 0.55)
        return paper;
    if (u > lineEnd)
        return paper;
    const int block = static_cast<int>(u * 70);
    if (Hash(static_cast<uint32_t>(line * 131 + block)) % 6 == 0)
        return paper;  // a space between words
    return ink;
}

Bgr DeskColour(DeskKind kind, double x, double y) {
    switch (kind) {
        case DeskKind::kBrightPlain:
            return {196, 200, 204};
        case DeskKind::kTextured: {
            // Wood-like grain: bent stripes with a little per-pixel roughness.
            const double grain =
                std::sin(y * 0.045 + 2.5 * std::sin(x * 0.0035) + 0.8 * std::sin(x * 0.017));
            const double rough =
                (Hash(static_cast<uint32_t>(x) * 7919U + static_cast<uint32_t>(y) * 104729U) % 17) -
                8.0;
            const double k = 1.0 + 0.18 * grain;
            return {40 * k + rough, 68 * k + rough, 102 * k + rough};
        }
        case DeskKind::kDarkPlain:
        default:
            return {48, 52, 58};
    }
}

}  // namespace

void SimulatedScene::Configure(const SimulatedSceneSettings& settings) {
    if (configured_ && SameSettings(settings, settings_))
        return;
    settings_ = settings;
    settings_.width = std::max(1, settings_.width);
    settings_.height = std::max(1, settings_.height);
    stride_ = (settings_.width * 3 + 3) & ~3;
    configured_ = true;
    RenderClean();
    BuildNoise();
}

void SimulatedScene::BuildNoise() {
    if (noiseAmplitudeBuilt_ == settings_.noiseAmplitude)
        return;
    noiseAmplitudeBuilt_ = settings_.noiseAmplitude;
    const int a = std::clamp(settings_.noiseAmplitude, 0, 100);
    noise_.assign(kNoiseTableSize, 0);
    if (a == 0)
        return;
    for (size_t i = 0; i < kNoiseTableSize; ++i) {
        // Sum of two uniforms: a soft, roughly bell-shaped spread in -a .. a.
        const uint32_t h = Hash(static_cast<uint32_t>(i) * 2654435761U + 12345U);
        const int s = static_cast<int>(h % (a + 1)) + static_cast<int>((h >> 16) % (a + 1)) - a;
        noise_[i] = static_cast<int8_t>(s);
    }
}

void SimulatedScene::RenderClean() {
    const SimulatedSceneSettings& s = settings_;
    const int w = s.width;
    const int h = s.height;
    clean_.assign(static_cast<size_t>(stride_) * h, 0);

    const double hh = s.pageHeightFraction * h / 2;
    const double hw = hh * s.pageAspect;
    const double cx = s.centreX * w;
    const double cy = s.centreY * h;
    const double theta = s.tiltDegrees * kPi / 180;
    const double c = std::cos(theta);
    const double sn = std::sin(theta);

    uint8_t lut[256];
    const double gain = 1.0 + std::clamp(s.contrast, -100, 100) / 100.0;
    const double offset = std::clamp(s.brightness, -100, 100) * 1.28;
    for (int v = 0; v < 256; ++v)
        lut[v] = static_cast<uint8_t>(
            std::clamp(std::lround((v - 128) * gain + 128 + offset), 0L, 255L));

    const ScenePicture& pic = s.picture;
    const bool hasPicture =
        pic.pixels && pic.width > 0 && pic.height > 0 && pic.stride >= pic.width * 3;

    for (int y = 0; y < h; ++y) {
        uint8_t* row = clean_.data() + static_cast<size_t>(y) * stride_;
        const double uy = y + 0.5;
        for (int x = 0; x < w; ++x) {
            const double ux = s.mirrored ? w - (x + 0.5) : x + 0.5;
            const double dx = ux - cx;
            const double dy = uy - cy;
            // Page-local coordinates: undo the counter-clockwise turn (y grows downwards).
            const double px = dx * c - dy * sn;
            const double py = dx * sn + dy * c;
            const double edge = std::min(hw - std::abs(px), hh - std::abs(py));
            const double alpha = std::clamp(edge + 0.5, 0.0, 1.0);
            Bgr colour = alpha < 1.0 ? DeskColour(s.desk, ux, uy) : Bgr{0, 0, 0};
            if (alpha > 0.0) {
                const double u = std::clamp((px + hw) / (2 * hw), 0.0, 1.0);
                const double v = std::clamp((py + hh) / (2 * hh), 0.0, 1.0);
                Bgr page;
                if (hasPicture) {
                    const int sx = std::min(pic.width - 1, static_cast<int>(u * pic.width));
                    const int sy = std::min(pic.height - 1, static_cast<int>(v * pic.height));
                    const uint8_t* p = pic.pixels + static_cast<size_t>(sy) * pic.stride + sx * 3;
                    page = {double(p[0]), double(p[1]), double(p[2])};
                } else {
                    page = BuiltInPage(u, v);
                }
                colour = {colour.b * (1 - alpha) + page.b * alpha,
                          colour.g * (1 - alpha) + page.g * alpha,
                          colour.r * (1 - alpha) + page.r * alpha};
            }
            uint8_t* out = row + x * 3;
            out[0] = lut[std::clamp(static_cast<int>(colour.b + 0.5), 0, 255)];
            out[1] = lut[std::clamp(static_cast<int>(colour.g + 0.5), 0, 255)];
            out[2] = lut[std::clamp(static_cast<int>(colour.r + 0.5), 0, 255)];
        }
    }
}

void SimulatedScene::AddNoise(const uint8_t* src, uint8_t* dst, size_t count,
                              uint32_t frameIndex) const {
    if (noise_.empty() || settings_.noiseAmplitude <= 0) {
        if (src != dst)
            std::memmove(dst, src, count);
        return;
    }
    size_t index = (static_cast<size_t>(Hash(frameIndex)) * 3) & (kNoiseTableSize - 1);
    size_t done = 0;
    while (done < count) {
        const size_t n = std::min(count - done, kNoiseTableSize - index);
        const int8_t* table = noise_.data() + index;
        const uint8_t* in = src + done;
        uint8_t* out = dst + done;
        for (size_t i = 0; i < n; ++i) {
            const int v = in[i] + table[i];
            out[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
        done += n;
        index = 0;
    }
}

void SimulatedScene::RenderFrame(uint8_t* dst, uint32_t frameIndex) const {
    AddNoise(clean_.data(), dst, clean_.size(), frameIndex);
}

std::array<ScenePoint, 4> SimulatedScene::UprightCorners() const {
    const SimulatedSceneSettings& s = settings_;
    const double hh = s.pageHeightFraction * s.height / 2;
    const double hw = hh * s.pageAspect;
    const double cx = s.centreX * s.width;
    const double cy = s.centreY * s.height;
    const double theta = s.tiltDegrees * kPi / 180;
    const double c = std::cos(theta);
    const double sn = std::sin(theta);
    const double local[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    std::array<ScenePoint, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const double px = local[i][0];
        const double py = local[i][1];
        corners[i] = {cx + px * c + py * sn, cy - px * sn + py * c};
    }
    return corners;
}

std::array<ScenePoint, 4> SimulatedScene::FrameCorners() const {
    std::array<ScenePoint, 4> corners = UprightCorners();
    if (settings_.mirrored) {
        for (ScenePoint& p : corners)
            p.x = settings_.width - p.x;
    }
    return corners;
}

double SimulatedScene::FrameTiltDegrees() const {
    return settings_.mirrored ? -settings_.tiltDegrees : settings_.tiltDegrees;
}
