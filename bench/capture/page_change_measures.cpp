// The measured frames behind the thresholds of the picture-change measure and the page-change
// detector: for every simulated camera size and desk, the share of cells ComparePictures finds
// changed, and the share of blocks CompareContent finds differing, between pictures that must or
// must not count as changed / as another page.
//
// changed (ComparePictures against the first still frame; kPictureChangedShare lies between):
//   noise    still frames, the camera's noise only          jpeg   each frame through JPEG (q 75)
//   drift    the exposure drifting by 25 grey levels        tremor a hand resting, shaking a pixel
//   push     the page pushed by 8 pixels                    hand   a hand coming into view
// differing (CompareContent against the still page; CPageChangeDetector::kNewPageShare between):
//   other    three other pages of the same layout, and one laid elsewhere and turned
//   same     the page pushed by 0.3, 0.6, 1 and 1.5 % of the width
//   relaid   the page laid again turned by 0.5, 1, -1 and -1.5 degrees
//   hand     a hand resting beside the page
//
//   ./build/bench/capture/page_change_measures

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "capture/page_change_detector.h"
#include "image/dib_image.h"
#include "support/page_turn_film.h"

namespace {

using namespace film;

PictureThumb Thumb(const FrameRows& frame) {
    PictureThumb thumb;
    MakePictureThumb(frame, thumb);
    return thumb;
}

// The frame as a camera sending JPEG delivers it.
PictureThumb JpegThumb(const FrameRows& frame) {
    CDibImage image;
    image.CreateFromPixels(frame.rows, frame.width, frame.height, 24, frame.stride, false);
    image.SetQuality(75);
    uint8_t* encoded = nullptr;
    int32_t size = 0;
    CDibImage decoded;
    if (!image.EncodeToMemory(encoded, size, kDibFormatJpeg) ||
        !decoded.Decode(encoded, size_t(size), kDibFormatJpeg)) {
        CDibImage::FreeEncodedMemory(encoded);
        return {};
    }
    CDibImage::FreeEncodedMemory(encoded);
    // The picture's rows are stored bottom-up: top first again, as the camera sends them.
    const uint32_t h = decoded.GetHeight();
    const uint32_t stride = decoded.GetEffWidth();
    std::vector<uint8_t> rows(size_t(stride) * h);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(&rows[size_t(y) * stride], decoded.GetRow(h - 1 - y), stride);
    return Thumb(FrameRows{rows.data(), decoded.GetWidth(), h, stride, nullptr});
}

void Measure(int width, int height, DeskKind desk, const char* deskName) {
    Film film(width, height, desk, 30);
    State resting = Lying(0);
    resting.hand = resting.tremble = true;
    resting.handX = 0.88, resting.handY = 0.75;
    State drifted = Lying(0);
    drifted.brightness = 25;
    State entering = Lying(0);
    entering.hand = true;
    entering.handX = 0.7, entering.handY = 0.9;
    AddStill(film, Lying(0), 1, false);                      // frames 0-29
    film.Add(Shot{"exposure drift", 1, Lying(0), drifted});  // 30-59
    AddStill(film, resting, 1, false);                       // 60-89
    AddStill(film, Lying(0, Pose{8, 0, 4}), 0.1, false);     // 90-92
    AddStill(film, entering, 0.1, false);                    // 93-95
    const PictureThumb still = Thumb(film.Frame(0));
    const PictureThumb stillJpeg = JpegThumb(film.Frame(0));
    const PictureThumb rest = Thumb(film.Frame(60));
    float noise = 0, jpeg = 0, drift = 0, tremor = 0;
    for (int i = 1; i < 30; ++i) {
        noise = std::max(noise, ComparePictures(Thumb(film.Frame(i)), still).changedShare);
        if (i % 6 == 0)
            jpeg =
                std::max(jpeg, ComparePictures(JpegThumb(film.Frame(i)), stillJpeg).changedShare);
    }
    for (int i = 30; i < 60; i += 3)
        drift = std::max(drift, ComparePictures(Thumb(film.Frame(i)), still).changedShare);
    for (int i = 61; i < 90; i += 2)
        tremor = std::max(tremor, ComparePictures(Thumb(film.Frame(i)), rest).changedShare);
    const float push = ComparePictures(Thumb(film.Frame(91)), still).changedShare;
    const float hand = ComparePictures(Thumb(film.Frame(94)), still).changedShare;
    std::printf("%4dx%-4d %-8s %.4f %.4f %.4f %.4f | %.4f %.4f |", width, height, deskName, noise,
                jpeg, drift, tremor, push, hand);

    int noiseIndex = 100;
    const auto lying = [&](const State& s) {
        Film one(width, height, desk, 30);
        AddStill(one, s, 1, false);
        return Thumb(one.Frame(noiseIndex++));
    };
    const PictureThumb page = lying(Lying(0));
    const auto differing = [&](const State& s) {
        std::printf(" %.2f", CompareContent(lying(s), page).differingShare);
    };
    const double w = width;
    for (const State& s : {Lying(1), Lying(2), Lying(3), Lying(4, Pose{0.02 * w, 0.01 * w, 6})})
        differing(s);
    std::printf(" |");
    for (const double push : {0.003, 0.006, 0.01, 0.015})
        differing(Lying(0, Pose{push * w, -push * w / 2, 4}));
    std::printf(" |");
    for (const double tilt : {4.5, 5.0, 3.0, 2.5})
        differing(Lying(0, Pose{0.004 * w, -0.003 * w, tilt}));
    std::printf(" |");
    differing(resting);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main() {
    std::printf(
        "%-18s changed: noise jpeg drift tremor | push hand | differing: other x4 | "
        "same x4 | relaid x4 | hand\n",
        "");
    const std::pair<int, int> sizes[] = {{640, 480}, {1280, 720}, {1600, 1200}, {2592, 1944}};
    const std::pair<DeskKind, const char*> desks[] = {{DeskKind::kDarkPlain, "dark"},
                                                      {DeskKind::kBrightPlain, "bright"},
                                                      {DeskKind::kTextured, "textured"}};
    for (const auto& [width, height] : sizes) {
        for (const auto& [desk, name] : desks)
            Measure(width, height, desk, name);
    }
    return 0;
}
