#include "media/simulated_scene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

int Grey(const SimulatedScene& scene, const std::vector<uint8_t>& frame, double x, double y) {
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    const uint8_t* p = frame.data() + static_cast<size_t>(iy) * scene.Stride() + ix * 3;
    return (p[0] + p[1] + p[2]) / 3;
}

// A point a few pixels from corner i, towards (inward) or away from (outward) the page centre.
ScenePoint Near(const std::array<ScenePoint, 4>& c, int i, double distance) {
    const double mx = (c[0].x + c[2].x) / 2;
    const double my = (c[0].y + c[2].y) / 2;
    const double dx = c[i].x - mx;
    const double dy = c[i].y - my;
    const double len = std::hypot(dx, dy);
    return {c[i].x - dx / len * distance, c[i].y - dy / len * distance};
}

struct TruthCase {
    int width, height;
    double tilt;
    DeskKind desk;
    bool mirrored;
};

class SceneTruth : public ::testing::TestWithParam<TruthCase> {};

TEST_P(SceneTruth, CornersSeparatePageFromDesk) {
    const TruthCase& t = GetParam();
    SimulatedSceneSettings s;
    s.width = t.width;
    s.height = t.height;
    s.tiltDegrees = t.tilt;
    s.desk = t.desk;
    s.mirrored = t.mirrored;
    s.centreX = 0.47;
    s.pageHeightFraction = 0.7;
    SimulatedScene scene;
    scene.Configure(s);
    ASSERT_EQ(scene.Stride() % 4, 0);
    ASSERT_EQ(scene.Clean().size(), static_cast<size_t>(scene.Stride()) * t.height);
    const auto corners = scene.FrameCorners();
    for (int i = 0; i < 4; ++i) {
        const ScenePoint in = Near(corners, i, 4);
        const ScenePoint out = Near(corners, i, -4);
        const int page = Grey(scene, scene.Clean(), in.x, in.y);
        const int desk = Grey(scene, scene.Clean(), out.x, out.y);
        EXPECT_GT(page, 225) << "corner " << i;
        EXPECT_LT(desk, 215) << "corner " << i;
    }
    // Mirroring puts the upright top-left corner on the right half of the frame's top.
    const auto upright = scene.UprightCorners();
    if (t.mirrored) {
        EXPECT_NEAR(corners[0].x, t.width - upright[0].x, 1e-9);
        EXPECT_NEAR(scene.FrameTiltDegrees(), -t.tilt, 1e-12);
    } else {
        EXPECT_NEAR(corners[0].x, upright[0].x, 1e-9);
    }
    // The tilt is the direction of the page's top edge in the upright picture.
    const double angle = std::atan2(-(upright[1].y - upright[0].y), upright[1].x - upright[0].x);
    EXPECT_NEAR(angle * 180 / M_PI, t.tilt, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Scenes, SceneTruth,
                         ::testing::Values(TruthCase{640, 480, 8, DeskKind::kDarkPlain, true},
                                           TruthCase{641, 479, -12, DeskKind::kTextured, true},
                                           TruthCase{1600, 1200, 3, DeskKind::kBrightPlain, false},
                                           TruthCase{1280, 720, -0.5, DeskKind::kDarkPlain, true}));

TEST(SimulatedScene, MirroredFrameIsTheUprightSceneFlipped) {
    SimulatedSceneSettings s;
    s.width = 323;
    s.height = 211;
    s.tiltDegrees = 9;
    SimulatedScene mirrored;
    mirrored.Configure(s);
    s.mirrored = false;
    SimulatedScene upright;
    upright.Configure(s);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const uint8_t* a = mirrored.Clean().data() + y * mirrored.Stride() + x * 3;
            const uint8_t* b =
                upright.Clean().data() + y * upright.Stride() + (s.width - 1 - x) * 3;
            ASSERT_TRUE(a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) << x << "," << y;
        }
    }
}

TEST(SimulatedScene, PictureIsLaidOnThePage) {
    // A 2 x 2 picture: red, green / blue, black; the page's quarters take its colours.
    const uint8_t pixels[2 * 8] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0};
    SimulatedSceneSettings s;
    s.width = 400;
    s.height = 300;
    s.tiltDegrees = 0;
    s.mirrored = false;
    s.noiseAmplitude = 0;
    s.picture = {pixels, 2, 2, 8};
    SimulatedScene scene;
    scene.Configure(s);
    const auto c = scene.UprightCorners();
    auto at = [&](double fx, double fy) {
        const int x = static_cast<int>(c[0].x + (c[1].x - c[0].x) * fx);
        const int y = static_cast<int>(c[0].y + (c[3].y - c[0].y) * fy);
        const uint8_t* p = scene.Clean().data() + y * scene.Stride() + x * 3;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(0.25, 0.25), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(at(0.75, 0.25), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(at(0.25, 0.75), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(at(0.75, 0.75), (std::array<int, 3>{0, 0, 0}));
}

TEST(SimulatedScene, BrightnessAndContrastChangeTheLevels) {
    SimulatedSceneSettings s;
    s.width = 200;
    s.height = 150;
    s.noiseAmplitude = 0;
    SimulatedScene base;
    base.Configure(s);
    s.brightness = 40;
    SimulatedScene brighter;
    brighter.Configure(s);
    s.brightness = 0;
    s.contrast = -60;
    SimulatedScene flat;
    flat.Configure(s);
    // The desk at the top-left corner: brighter lifts it, lower contrast pulls it to mid-grey.
    const int desk = Grey(base, base.Clean(), 2, 2);
    EXPECT_NEAR(Grey(brighter, brighter.Clean(), 2, 2), desk + 51, 2);
    EXPECT_NEAR(Grey(flat, flat.Clean(), 2, 2), 128 + (desk - 128) * 0.4, 2);
}

TEST(SimulatedScene, NoiseIsLightAndMovesBetweenFrames) {
    SimulatedSceneSettings s;
    s.width = 320;
    s.height = 240;
    s.noiseAmplitude = 3;
    SimulatedScene scene;
    scene.Configure(s);
    std::vector<uint8_t> a(scene.Clean().size()), b(scene.Clean().size());
    scene.RenderFrame(a.data(), 1);
    scene.RenderFrame(b.data(), 2);
    int maxDiff = 0;
    size_t changed = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        maxDiff = std::max(maxDiff, std::abs(a[i] - scene.Clean()[i]));
        changed += a[i] != b[i];
    }
    EXPECT_LE(maxDiff, 3);
    EXPECT_GT(changed, a.size() / 3);
}

}  // namespace
