#pragma once
// The picture a document camera sees: a page lying tilted on a desk. Rendered once per change of
// settings into a 24-bit BGR buffer; light sensor noise is added per frame from a precomputed
// table, so a frame costs one pass over its bytes. Plain C++ (no Qt, no GStreamer): the edge
// detection's benchmarks and tests use it as their ground truth.
//
// Like the hardware, the delivered frame is mirrored left to right: the page reads the right way
// round only after the program's default mirror. The truth (tilt and corners) is given both in
// the delivered frame and in the upright (mirrored back) picture.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

enum class DeskKind { kDarkPlain, kBrightPlain, kTextured };

struct ScenePoint {
    double x = 0;
    double y = 0;
};

// A picture to lay on the desk instead of the built-in page: 24-bit BGR, rows top first.
struct ScenePicture {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes per row
};

struct SimulatedSceneSettings {
    int width = 1600;
    int height = 1200;
    // Degrees by which the page is turned counter-clockwise in the upright picture (either sign).
    double tiltDegrees = 6.0;
    // Page size as a fraction of the frame height (the page's height) and its width/height ratio.
    double pageHeightFraction = 0.78;
    double pageAspect = 210.0 / 297.0;
    // Page centre as fractions of the frame's width and height, in the upright picture.
    double centreX = 0.5;
    double centreY = 0.5;
    DeskKind desk = DeskKind::kDarkPlain;
    int brightness = 0;      // -100 .. 100, added to every channel (scaled to -128 .. 128)
    int contrast = 0;        // -100 .. 100, gain 1 + contrast / 100 around mid-grey
    ScenePicture picture;    // empty: the built-in white page with dark text lines
    bool mirrored = true;    // deliver mirrored left to right, like the hardware
    int noiseAmplitude = 3;  // per-frame noise, +- grey levels; 0 for none
};

class SimulatedScene {
public:
    // Renders the clean scene; cheap to call again with unchanged settings.
    void Configure(const SimulatedSceneSettings& settings);
    const SimulatedSceneSettings& Settings() const { return settings_; }

    int Width() const { return settings_.width; }
    int Height() const { return settings_.height; }
    // Bytes per row of the BGR buffers: width * 3 rounded up to a multiple of 4.
    int Stride() const { return stride_; }
    // The noise-free frame as delivered (mirrored when the settings say so), rows top first.
    const std::vector<uint8_t>& Clean() const { return clean_; }

    // Copies `count` bytes of `src` to `dst` with light noise; the noise moves with frameIndex.
    // Works on any byte layout (BGR rows, YUY2, a grey plane). src and dst may be the same.
    void AddNoise(const uint8_t* src, uint8_t* dst, size_t count, uint32_t frameIndex) const;
    // The clean frame with noise for frameIndex into dst (Stride() * Height() bytes).
    void RenderFrame(uint8_t* dst, uint32_t frameIndex) const;

    // Truth in the delivered frame: pixel coordinates, origin at the top-left corner of the
    // top-left pixel. Corners in the order top-left, top-right, bottom-right, bottom-left of the
    // page as it lies upright (so after mirroring they run counter-clockwise on screen).
    std::array<ScenePoint, 4> FrameCorners() const;
    // Counter-clockwise turn of the page in the delivered frame: -tilt when mirrored.
    double FrameTiltDegrees() const;
    // The same truth in the upright picture (the delivered frame mirrored back).
    std::array<ScenePoint, 4> UprightCorners() const;
    double UprightTiltDegrees() const { return settings_.tiltDegrees; }

private:
    void RenderClean();
    void BuildNoise();

    SimulatedSceneSettings settings_;
    bool configured_ = false;
    int stride_ = 0;
    std::vector<uint8_t> clean_;
    std::vector<int8_t> noise_;
    int noiseAmplitudeBuilt_ = -1;
};
