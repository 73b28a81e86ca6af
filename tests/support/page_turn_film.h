#pragma once
// Scripted films of a document camera's desk: pages laid, turned, lifted and pushed, a hand coming
// and going, the exposure drifting, each frame as the simulated camera delivers it (24-bit BGR
// rows, top row first, its sensor noise). Pages are made-up text pages that all share one layout
// (margins, line pitch), so telling one from another rests on their words, as in a book.
//
// A film is a list of shots; each shot moves every number of its start state to those of its end
// state in a straight line over its length. The still shots are the truth a page-change detector
// is measured against: a shot with `expectPhoto` must give exactly one photo, taken while it lasts;
// no photo may be taken in any other shot.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "image/frame_rows.h"
#include "media/simulated_scene.h"

namespace film {

// Where a page lies: its centre's offset from the frame's centre (pixels) and its tilt (degrees).
struct Pose {
    double dx = 0, dy = 0, tilt = 4;
};

struct State {
    int page = 0;                   // the page lying on the desk
    Pose pose;                      // where it lies
    int sheet = -1;                 // a page moved over it (-1: none), pushed by (sheetX, sheetY)
    Pose sheetPose;                 // where that page lay before it was moved
    double sheetX = 0, sheetY = 0;  // pixels
    bool hand = false;              // a hand, its palm's centre at (handX, handY) (frame shares)
    double handX = 0, handY = 0;
    bool tremble = false;   // the hand shakes by a pixel or two, as a resting hand does
    double brightness = 0;  // grey levels added to every channel (exposure drift)
};

struct Shot {
    std::string name;
    double seconds = 1;
    State from, to;
    bool expectPhoto = false;  // a still shot of a page not photographed yet
};

// A made-up page: margins, a heading, lines of words at one pitch; `seed` chooses the words and
// the letters' widths. Softened by a lens-like blur, so that the page looks the same wherever it
// lands on the camera's pixels.
inline std::vector<uint8_t> TextPage(int seed, int width, int height) {
    auto hash = [](uint32_t x) {
        x ^= x >> 16;
        x *= 0x7feb352dU;
        x ^= x >> 15;
        x *= 0x846ca68bU;
        return x ^ (x >> 16);
    };
    std::vector<uint8_t> ink(size_t(width) * height, 0);
    const int pitch = height / 40;
    const int unit = width / 90;
    for (int line = 0; line < 32; ++line) {
        const int top = height / 10 + line * pitch;
        const int rows = pitch * (line ? 2 : 3) / 5;
        const int end = line == 0 ? width / 2
                        : line % 8 == 7
                            ? width / 10 + int(hash(uint32_t(seed * 31 + line)) % 60) * width / 100
                            : width * 9 / 10;
        uint32_t h = hash(uint32_t(seed * 7919 + line));
        for (int x = width / 10; x < end;) {
            h = hash(h);
            const int letters = 2 + int(h % 8);
            for (int i = 0; i < letters && x < end; ++i) {
                h = hash(h);
                const int letter = unit * int(60 + h % 50) / 100;
                const int rise = int(h >> 12) % 4 == 0 ? rows / 3 : 0;  // a tall letter
                for (int y = top - rise; y < top + rows; ++y)
                    std::fill_n(&ink[size_t(y) * width + x], std::min(letter, end - x), 1);
                x += letter + unit / 4;
            }
            x += unit;  // the space between words
        }
    }
    std::vector<uint8_t> pixels(size_t(width) * 3 * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int sum = 0;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i)
                    sum += ink[size_t(std::clamp(y + j, 0, height - 1)) * width +
                               size_t(std::clamp(x + i, 0, width - 1))];
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(232 - sum * 20), p[1] = uint8_t(238 - sum * 21),
            p[2] = uint8_t(242 - sum * 22);
        }
    }
    return pixels;
}

class Film {
public:
    Film(int width, int height, DeskKind desk, double fps)
        : width_(width), height_(height), desk_(desk), fps_(fps) {
        noise_.Configure(Settings(Pose{}, nullptr));
    }

    void Add(Shot shot) { shots_.push_back(std::move(shot)); }
    int Width() const { return width_; }
    const std::vector<Shot>& Shots() const { return shots_; }
    double Fps() const { return fps_; }
    int FrameCount() const {
        double total = 0;
        for (const Shot& s : shots_)
            total += s.seconds;
        return int(total * fps_);
    }
    // The shot that frame `index` belongs to, and how far into it the frame is (0 ... 1).
    std::pair<int, double> ShotAt(int index) const {
        double t = index / fps_;
        for (size_t i = 0; i < shots_.size(); ++i) {
            if (t < shots_[i].seconds || i + 1 == shots_.size())
                return {int(i), std::min(t / shots_[i].seconds, 1.0)};
            t -= shots_[i].seconds;
        }
        return {0, 0};
    }
    double ShotStart(int shot) const {
        double t = 0;
        for (int i = 0; i < shot; ++i)
            t += shots_[size_t(i)].seconds;
        return t;
    }

    // Frame `index`: valid until the next call.
    FrameRows Frame(int index) {
        const auto [shot, p] = ShotAt(index);
        const State s = Between(shots_[size_t(shot)].from, shots_[size_t(shot)].to, p);
        frame_ = Layer(s.page, s.pose);
        if (s.sheet >= 0)
            PasteSheet(s);
        if (s.hand)
            DrawHand(s, index);
        if (const int shift = int(std::lround(s.brightness)); shift != 0) {
            uint8_t lut[256];
            for (int v = 0; v < 256; ++v)
                lut[v] = uint8_t(std::clamp(v + shift, 0, 255));
            for (uint8_t& v : frame_)
                v = lut[v];
        }
        noise_.AddNoise(frame_.data(), frame_.data(), frame_.size(), uint32_t(index));
        return FrameRows{frame_.data(), uint32_t(width_), uint32_t(height_), uint32_t(Stride()),
                         nullptr};
    }

private:
    int Stride() const { return (width_ * 3 + 3) & ~3; }

    static State Between(const State& a, const State& b, double p) {
        auto mix = [p](double x, double y) { return x + (y - x) * p; };
        State s = a;
        s.pose = {mix(a.pose.dx, b.pose.dx), mix(a.pose.dy, b.pose.dy),
                  mix(a.pose.tilt, b.pose.tilt)};
        s.sheetX = mix(a.sheetX, b.sheetX);
        s.sheetY = mix(a.sheetY, b.sheetY);
        s.handX = mix(a.handX, b.handX);
        s.handY = mix(a.handY, b.handY);
        s.hand = a.hand || b.hand;
        s.brightness = mix(a.brightness, b.brightness);
        return s;
    }

    SimulatedSceneSettings Settings(const Pose& pose, const ScenePicture* picture) const {
        SimulatedSceneSettings settings;
        settings.width = width_;
        settings.height = height_;
        settings.desk = desk_;
        settings.tiltDegrees = pose.tilt;
        settings.centreX = 0.5 + pose.dx / width_;
        settings.centreY = 0.5 + pose.dy / height_;
        settings.noiseAmplitude = 3;
        if (picture)
            settings.picture = *picture;
        return settings;
    }

    // The clean desk with `page` lying at `pose`, rendered once.
    const std::vector<uint8_t>& Layer(int page, const Pose& pose) {
        const auto key = std::make_tuple(page, std::lround(pose.dx * 4), std::lround(pose.dy * 4),
                                         std::lround(pose.tilt * 100));
        auto& layer = layers_[key];
        if (!layer) {
            auto& picture = pages_[page];
            if (picture.empty())
                picture = TextPage(page, 630, 891);
            SimulatedScene scene;
            const ScenePicture scenePicture{picture.data(), 630, 891, 630 * 3};
            scene.Configure(Settings(pose, &scenePicture));
            layer = std::make_unique<Rendered>(Rendered{scene.Clean(), scene.FrameCorners()});
        }
        return layer->pixels;
    }

    // Rows [x0, x1) of row y inside a convex polygon.
    static std::pair<int, int> Span(const std::array<ScenePoint, 4>& q, double y, int width) {
        double lo = 1e9, hi = -1e9;
        for (size_t i = 0; i < 4; ++i) {
            const ScenePoint& a = q[i];
            const ScenePoint& b = q[(i + 1) % 4];
            if ((a.y <= y && b.y > y) || (b.y <= y && a.y > y)) {
                const double x = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
        }
        return {std::clamp(int(std::lround(lo)), 0, width),
                std::clamp(int(std::lround(hi)), 0, width)};
    }

    // The moved page: its own layer's pixels inside the page, shifted by (sheetX, sheetY).
    void PasteSheet(const State& s) {
        Layer(s.sheet, s.sheetPose);
        const auto key =
            std::make_tuple(s.sheet, std::lround(s.sheetPose.dx * 4),
                            std::lround(s.sheetPose.dy * 4), std::lround(s.sheetPose.tilt * 100));
        const Rendered& sheet = *layers_[key];
        const int ox = int(std::lround(s.sheetX));
        const int oy = int(std::lround(s.sheetY));
        for (int y = 0; y < height_; ++y) {
            const int sy = y - oy;
            if (sy < 0 || sy >= height_)
                continue;
            const auto [x0, x1] = Span(sheet.corners, sy + 0.5, width_);
            for (int sx = x0; sx < x1; ++sx) {
                const int x = sx + ox;
                if (x >= 0 && x < width_)
                    std::copy_n(&sheet.pixels[size_t(sy) * Stride() + 3 * size_t(sx)], 3,
                                &frame_[size_t(y) * Stride() + 3 * size_t(x)]);
            }
        }
    }

    // A palm (an ellipse) and an arm reaching down to the frame's lower edge, in skin tones
    // shaded towards their edges.
    void DrawHand(const State& s, int index) {
        const double jitter =
            s.tremble ? double(int((uint32_t(index) * 2654435761u) >> 30) % 3 - 1) : 0;
        const double cx = s.handX * width_ + jitter;
        const double cy = s.handY * height_ - jitter;
        const double rx = 0.07 * width_, ry = 0.09 * width_, arm = 0.045 * width_;
        for (int y = std::max(0, int(cy - ry)); y < height_; ++y) {
            const double v = (y - cy) / ry;
            const double half = v < 1 ? rx * std::sqrt(std::max(0.0, 1 - v * v)) : 0;
            const double reach = y > cy ? std::max(half, arm) : half;
            for (int x = std::max(0, int(cx - reach)); x < std::min(width_, int(cx + reach)); ++x) {
                const double shade = 1 - 0.25 * std::abs(x - cx) / std::max(reach, 1.0);
                uint8_t* p = &frame_[size_t(y) * Stride() + 3 * size_t(x)];
                p[0] = uint8_t(120 * shade), p[1] = uint8_t(150 * shade),
                p[2] = uint8_t(205 * shade);
            }
        }
    }

    struct Rendered {
        std::vector<uint8_t> pixels;
        std::array<ScenePoint, 4> corners;
    };
    int width_, height_;
    DeskKind desk_;
    double fps_;
    SimulatedScene noise_;
    std::vector<Shot> shots_;
    std::map<int, std::vector<uint8_t>> pages_;
    std::map<std::tuple<int, long, long, long>, std::unique_ptr<Rendered>> layers_;
    std::vector<uint8_t> frame_;
};

// The scripted moves, each a few shots long. Pages lie in a stack at `pose`; a page is turned by a
// hand coming in from the right and dragging it off to the left, which shows the page beneath.
inline State Lying(int page, Pose pose = {}) {
    State s;
    s.page = page;
    s.pose = pose;
    return s;
}

inline void AddStill(Film& film, const State& state, double seconds, bool expectPhoto) {
    film.Add(Shot{"still", seconds, state, state, expectPhoto});
}

// The page `from` turned over to show `to`, the hand pausing halfway for `pauseSeconds`.
inline void AddTurn(Film& film, int from, int to, double dragSeconds = 0.7, double pauseSeconds = 0,
                    Pose pose = {}) {
    State reach = Lying(from, pose);
    reach.hand = true;
    reach.handX = 1.15, reach.handY = 0.6;
    State grip = reach;
    grip.handX = 0.72, grip.handY = 0.5;
    film.Add(Shot{"hand comes", 0.4, reach, grip});
    State drag = Lying(to, pose);
    drag.sheet = from;
    drag.sheetPose = pose;
    drag.hand = true;
    drag.handX = grip.handX, drag.handY = grip.handY;
    State gone = drag;
    gone.sheetX = -1.0 * film.Width();
    gone.handX = -0.35;
    if (pauseSeconds > 0) {
        State half = drag;
        half.sheetX = gone.sheetX / 2;
        half.handX = (drag.handX + gone.handX) / 2;
        film.Add(Shot{"turning", dragSeconds / 2, drag, half});
        film.Add(Shot{"pause mid-turn", pauseSeconds, half, half});
        film.Add(Shot{"turning", dragSeconds / 2, half, gone});
    } else {
        film.Add(Shot{"turning", dragSeconds, drag, gone});
    }
}

// The hand coming back to rest beside the page, trembling a little.
inline State AddHandToRest(Film& film, const State& lying) {
    State from = lying;
    from.hand = true;
    from.handX = 0.9, from.handY = 1.3;
    State rest = from;
    rest.handX = 0.88, rest.handY = 0.78;
    film.Add(Shot{"hand comes to rest", 0.5, from, rest});
    rest.tremble = true;
    return rest;
}

inline void AddHandLeaves(Film& film, const State& resting) {
    State gone = resting;
    gone.tremble = false;
    gone.handY = 1.3;
    film.Add(Shot{"hand leaves", 0.4, resting, gone});
}

// The page lifted off the page beneath it by half its width and laid down again at `laid`.
inline State AddRelay(Film& film, int page, int beneath, Pose pose, Pose laid) {
    State lift = Lying(beneath, pose);
    lift.sheet = page;
    lift.sheetPose = pose;
    lift.hand = true;
    lift.handX = 0.72, lift.handY = 0.5;
    State up = lift;
    up.sheetX = -0.3 * film.Width();
    up.handX = 0.72 - 0.3;
    film.Add(Shot{"lifting", 0.4, lift, up});
    film.Add(Shot{"laying again", 0.4, up, lift});
    State down = Lying(page, laid);
    down.hand = true;
    down.handX = lift.handX, down.handY = lift.handY;
    State away = down;
    away.handX = 1.15;
    film.Add(Shot{"hand leaves", 0.4, down, away});
    return Lying(page, laid);
}

}  // namespace film
