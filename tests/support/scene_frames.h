#pragma once
// Simulated camera frames as the edge detection receives them: the upright picture as a 24-bit
// CDibImage (rows bottom-up), with the page's true tilt and corners.

#include <array>
#include <vector>

#include "image/dib_image.h"
#include "media/simulated_scene.h"

struct SceneFrame {
    CDibImage frame;
    // Clockwise tilt of the page as seen, degrees.
    double clockwiseTilt = 0;
    std::array<ScenePoint, 4> corners{};
};

// The scene as the settings describe it, upright (the mirror setting is ignored).
inline SceneFrame MakeSceneFrame(SimulatedSceneSettings settings, uint32_t frameIndex = 1) {
    settings.mirrored = false;
    SimulatedScene scene;
    scene.Configure(settings);
    std::vector<uint8_t> rows(size_t(scene.Stride()) * settings.height);
    scene.RenderFrame(rows.data(), frameIndex);
    SceneFrame out;
    out.frame.CreateFromPixels(rows.data(), uint32_t(settings.width), uint32_t(settings.height), 24,
                               uint32_t(scene.Stride()), true);
    out.clockwiseTilt = -scene.UprightTiltDegrees();
    out.corners = scene.UprightCorners();
    return out;
}

inline SceneFrame MakeSceneFrame(int width, int height, double tiltDegrees, DeskKind desk,
                                 uint32_t frameIndex = 1) {
    SimulatedSceneSettings settings;
    settings.width = width;
    settings.height = height;
    settings.tiltDegrees = tiltDegrees;
    settings.desk = desk;
    return MakeSceneFrame(settings, frameIndex);
}
