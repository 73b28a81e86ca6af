#include "capture/document_edge_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

#include "page_frames.h"
#include "support/crop_overlap.h"
#include "support/scene_frames.h"

namespace {

using namespace std::chrono_literals;

CDibImage MakeFrame(const PageScene& scene) {
    const auto pixels = RenderPage(scene);
    CDibImage frame;
    EXPECT_TRUE(frame.CreateFromPixels(pixels.data(), uint32_t(scene.width), uint32_t(scene.height),
                                       24, uint32_t(DibStride24(scene.width)), false));
    return frame;
}

// The frame as the video item hands it over, held by its own copy of the picture. A picture's
// rows are already stored bottom-up, so they make the same picture again unflipped.
LiveFrame Live(const CDibImage& image) {
    auto held = std::make_shared<CDibImage>(image);
    return LiveFrame{
        FrameRows{held->GetRow(0), held->GetWidth(), held->GetHeight(), held->GetEffWidth(), held},
        false, false, 0};
}

template <typename Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

double Distance(QvPoint p, const std::array<double, 2>& q) {
    return std::hypot(p.x - q[0], p.y - q[1]);
}

class DetectTiltedPage : public ::testing::TestWithParam<std::tuple<double, bool>> {};

// The full detection on a made frame: the photo turned by tiltAngle comes out straight, the crop
// rectangle holds the page with its margin, and the outline lies on the page's true corners.
TEST_P(DetectTiltedPage, StraightensCropsAndOutlinesThePage) {
    const auto [tilt, bright] = GetParam();
    PageScene scene;
    scene.tiltDegrees = tilt;
    scene.pageWidth = 900;
    scene.pageHeight = 640;
    if (bright) {
        scene.page = 35;
        scene.background = 225;
    }
    CDibImage frame = MakeFrame(scene);
    DocumentEdgeResults results;
    ASSERT_TRUE(CDocumentEdgeWorker::Detect(frame, results));
    EXPECT_LT(std::abs(results.tiltAngle + tilt), 1.0);

    // Turned by tiltAngle (the desk's grey in the new corners) the page is level.
    CDibImage straight;
    const uint8_t desk = scene.background;
    ASSERT_TRUE(frame.Rotate(float(results.tiltAngle), &straight, CDibImage::kInterpolationBilinear,
                             CDibImage::kOverflowBackground, QvRgb(desk, desk, desk), true, false));
    DocumentEdges level;
    ASSERT_TRUE(FindDocumentEdges(straight.GetRow(0), int32_t(straight.GetWidth()),
                                  int32_t(straight.GetHeight()), true, level));
    EXPECT_LE(std::abs(level.angle), 1) << level.text;

    // The crop lies inside the page, centred in the turned photo (the page lies at the frame's
    // centre), and cuts off no more than a thin strip along each edge.
    const QvRect& crop = results.cropImageRect;
    const double midX = straight.GetWidth() / 2.0;
    const double midY = straight.GetHeight() / 2.0;
    EXPECT_GE(crop.left, midX - scene.pageWidth / 2.0) << crop.left;
    EXPECT_LE(crop.right, midX + scene.pageWidth / 2.0) << crop.right;
    EXPECT_GE(crop.top, midY - scene.pageHeight / 2.0) << crop.top;
    EXPECT_LE(crop.bottom, midY + scene.pageHeight / 2.0) << crop.bottom;
    EXPECT_GT(crop.Width(), scene.pageWidth - 50);
    EXPECT_GT(crop.Height(), scene.pageHeight - 50);

    const auto truth = PageCorners(scene);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_LT(Distance(results.outlineImagePoints[i], truth[i]), 20)
            << "corner " << i << " at " << results.outlineImagePoints[i].x << ","
            << results.outlineImagePoints[i].y << " truth " << truth[i][0] << "," << truth[i][1];
    }
}

INSTANTIATE_TEST_SUITE_P(BothWays, DetectTiltedPage,
                         ::testing::Combine(::testing::Values(-12.4, -3.5, 0.0, 2.6, 10.5),
                                            ::testing::Bool()));

// The worker turns only the grid; the box must be the one found in the picture that
// CDibImage::Rotate makes of the whole frame.
TEST(DocumentEdgeWorker, TurnedGridGivesTheBoxOfTheTurnedFrame) {
    for (double tilt : {-11.0, -4.0, 3.0, 9.0}) {
        for (int size : {1600, 1360}) {
            PageScene scene;
            scene.width = size;
            scene.height = size * 3 / 4;
            scene.centreX = scene.width / 2.0;
            scene.centreY = scene.height / 2.0;
            scene.pageWidth = 800;
            scene.pageHeight = 560;
            scene.tiltDegrees = tilt + 0.4;
            const CDibImage frame = MakeFrame(scene);
            CDibImage turned;
            CDibImage source = frame;
            ASSERT_TRUE(source.Rotate(float(-tilt), &turned, CDibImage::kInterpolationBilinear,
                                      CDibImage::kOverflowBackground, QvRgb(20, 20, 20), true,
                                      false));
            DocumentEdges expected;
            ASSERT_TRUE(FindDocumentEdges(turned.GetRow(0), int32_t(turned.GetWidth()),
                                          int32_t(turned.GetHeight()), false, expected));
            FrameGrid straight;
            ASSERT_TRUE(MakeFrameGrid(frame.GetRow(0), scene.width, scene.height, straight));
            FrameGrid grid;
            ASSERT_TRUE(MakeTurnedFrameGrid(straight, float(-tilt), 20, grid));
            EXPECT_EQ(grid.width, int32_t(turned.GetWidth()));
            EXPECT_EQ(grid.height, int32_t(turned.GetHeight()));
            DocumentEdges found;
            ASSERT_TRUE(FindDocumentEdges(grid, false, found));
            for (size_t i = 0; i < 4; ++i) {
                EXPECT_NEAR(found.points[i].x, expected.points[i].x, 4) << tilt << " " << i;
                EXPECT_NEAR(found.points[i].y, expected.points[i].y, 4) << tilt << " " << i;
            }
        }
    }
}

// The rule of automatic cropping at every size the camera offers and on every desk: either the
// page is found, the photo turned to within a degree of its tilt and cut just inside it (overlap
// 0.85 or more, no desk along its edges, all of the text kept), or the photo is the whole frame,
// unturned. A page too small for the detector's runs or reaching past the picture's edge is not
// found.
struct CropRuleCase {
    int width, height;
    double tilt;
    double pageHeight;  // share of the frame's height
    double centreY;     // share of the frame's height
    bool findable;
};

class CroppingRule : public ::testing::TestWithParam<std::tuple<CropRuleCase, DeskKind>> {};

TEST_P(CroppingRule, PageFoundAccuratelyOrWholeFrameUnturned) {
    const auto [c, desk] = GetParam();
    SimulatedSceneSettings settings;
    settings.width = c.width;
    settings.height = c.height;
    settings.tiltDegrees = c.tilt;
    settings.pageHeightFraction = c.pageHeight;
    settings.centreY = c.centreY;
    settings.desk = desk;
    const SceneFrame scene = MakeSceneFrame(settings);
    DocumentEdgeResults results;
    ASSERT_TRUE(CDocumentEdgeWorker::Detect(scene.frame, results));
    EXPECT_EQ(results.pageFound, c.findable);
    if (results.pageFound) {
        EXPECT_LE(std::abs(-results.tiltAngle - scene.clockwiseTilt), 1.0) << results.tiltAngle;
        const CropOverlap overlap = MeasureCropOverlap(scene, results);
        EXPECT_TRUE(overlap.photoMade);
        EXPECT_GE(overlap.iou, 0.85);
        EXPECT_LT(overlap.darkBorder, 0.01);
        EXPECT_GT(overlap.textKept, 0.9999);
    } else {
        EXPECT_EQ(results.tiltAngle, 0);
        EXPECT_EQ(results.cropImageRect, (QvRect{0, 0, c.width, c.height}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    SizesAndDesks, CroppingRule,
    ::testing::Combine(::testing::Values(CropRuleCase{640, 480, -12, 0.78, 0.5, true},
                                         CropRuleCase{1280, 720, 7, 0.78, 0.5, true},
                                         CropRuleCase{1600, 1200, -4, 0.78, 0.5, true},
                                         CropRuleCase{2592, 1944, 14, 0.78, 0.5, true},
                                         CropRuleCase{1280, 720, 3, 0.08, 0.5, false},
                                         CropRuleCase{640, 480, 9, 0.78, 0.75, false}),
                       ::testing::Values(DeskKind::kDarkPlain, DeskKind::kBrightPlain,
                                         DeskKind::kTextured)));

// The outline is the box, around the page; the crop lies just inside the page's edges.
TEST(DocumentEdgeWorker, UprightPageOutlineIsTheBoxAndTheCropJustInside) {
    PageScene scene;
    scene.pageWidth = 800;
    scene.pageHeight = 600;
    CDibImage frame = MakeFrame(scene);
    DocumentEdgeResults results;
    ASSERT_TRUE(CDocumentEdgeWorker::Detect(frame, results));
    EXPECT_EQ(results.tiltAngle, 0);
    const auto page = PageCorners(scene);
    const QvRect& crop = results.cropImageRect;
    EXPECT_GT(crop.left, page[0][0]);
    EXPECT_GT(crop.top, page[0][1]);
    EXPECT_LT(crop.right, page[2][0]);
    EXPECT_LT(crop.bottom, page[2][1]);
    EXPECT_LT(crop.left - page[0][0] + page[2][0] - crop.right, 24);
    EXPECT_LT(crop.top - page[0][1] + page[2][1] - crop.bottom, 24);
    EXPECT_EQ(results.outlineImagePoints[0], (QvPoint{390, 294}));
    EXPECT_EQ(results.outlineImagePoints[2], (QvPoint{1206, 910}));
}

TEST(DocumentEdgeWorker, DetectRejectsFramesItCannotRead) {
    DocumentEdgeResults results;
    CDibImage empty;
    EXPECT_FALSE(CDocumentEdgeWorker::Detect(empty, results));
    CDibImage grey;
    ASSERT_TRUE(grey.Create(640, 480, 8, 0));
    EXPECT_FALSE(CDocumentEdgeWorker::Detect(grey, results));
    PageScene scene;
    CDibImage frame = MakeFrame(scene);
    EXPECT_FALSE(CDocumentEdgeWorker::Detect(frame, results, [] { return true; }));
}

TEST(DocumentEdgeWorker, BeforeTheFirstDetectionAngleIsZeroAndTheCropIsTheWholeFrame) {
    CDocumentEdgeWorker worker;
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_FALSE(worker.Results().detected);
    PageScene scene;
    scene.width = 640;
    scene.height = 480;
    EXPECT_FALSE(worker.OfferFrame(Live(MakeFrame(scene)))) << "no thread takes it";
    const DocumentEdgeResults results = worker.Results();
    EXPECT_EQ(results.tiltAngle, 0);
    EXPECT_EQ(results.cropImageRect, (QvRect{0, 0, 640, 480}));
    EXPECT_EQ(results.serial, 0u);
}

TEST(DocumentEdgeWorker, LifeStartResultsStopWhileBusyRestart) {
    std::atomic<int> notifications{0};
    CDocumentEdgeWorker worker([&notifications] { ++notifications; });
    PageScene scene;
    scene.tiltDegrees = 5.5;
    const LiveFrame turnedRight = Live(MakeFrame(scene));
    scene.tiltDegrees = -8.5;
    const LiveFrame turnedLeft = Live(MakeFrame(scene));

    worker.Start();
    EXPECT_TRUE(worker.IsRunning());
    ASSERT_TRUE(WaitFor([&] { return worker.OfferFrame(turnedRight); }));
    ASSERT_TRUE(WaitFor([&] { return worker.Results().serial >= 1; }));
    EXPECT_TRUE(worker.Results().detected);
    EXPECT_EQ(worker.Results().tiltAngle, -5) << "tilted 5.5 degrees";
    EXPECT_GE(notifications.load(), 1);

    // Stop right after a hand-over: the thread ends within one step and publishes nothing more.
    ASSERT_TRUE(WaitFor([&] { return worker.OfferFrame(turnedLeft); }));
    worker.Stop();
    const uint64_t serialAtStop = worker.Results().serial;
    ASSERT_TRUE(WaitFor([&] { return !worker.IsRunning(); }));
    EXPECT_EQ(worker.Results().serial, serialAtStop);
    EXPECT_FALSE(worker.OfferFrame(turnedLeft));
    EXPECT_EQ(worker.Results().tiltAngle, serialAtStop == 1 ? -5 : 8) << "results are kept";

    worker.Start();
    EXPECT_TRUE(worker.IsRunning());
    ASSERT_TRUE(WaitFor([&] { return worker.OfferFrame(turnedLeft); }));
    ASSERT_TRUE(WaitFor([&] { return worker.Results().serial > serialAtStop; }));
    EXPECT_EQ(worker.Results().tiltAngle, 8);
}

// Detection runs again only when the picture changed: new noise alone keeps the last results,
// while another look (mirror) or a turned page are detected afresh. A frame borrowed for the call
// is copied before the call returns.
TEST(DocumentEdgeWorker, DetectsOnlyWhenThePictureChanged) {
    CDocumentEdgeWorker worker;
    worker.Start();
    SimulatedSceneSettings settings;
    settings.width = 640;
    settings.height = 480;
    settings.tiltDegrees = 5;
    const auto offerScene = [&](uint32_t noise, bool mirror) {
        const LiveFrame frame = Live(MakeSceneFrame(settings, noise).frame);
        const uint64_t taken = worker.FramesTaken();
        ASSERT_TRUE(WaitFor([&] {
            return worker.OfferFrame(LiveFrame{frame.rows, false, mirror, 0});
        }));
        ASSERT_TRUE(WaitFor([&] { return worker.FramesTaken() > taken; }));
    };
    offerScene(1, false);
    ASSERT_TRUE(WaitFor([&] { return worker.Results().serial == 1; }));
    for (uint32_t noise = 2; noise < 8; ++noise)
        offerScene(noise, false);
    offerScene(8, false);  // the thread has looked at every frame before this one
    EXPECT_EQ(worker.Detections(), 1u);
    EXPECT_EQ(worker.Results().serial, 1u);
    EXPECT_NEAR(worker.Results().tiltAngle, 5, 1);

    offerScene(9, true);
    ASSERT_TRUE(WaitFor([&] { return worker.Results().serial == 2; }));
    EXPECT_NEAR(worker.Results().tiltAngle, -5, 1) << "mirrored, the page leans the other way";

    settings.tiltDegrees = -9;
    CDibImage turned = MakeSceneFrame(settings, 10).frame;
    const LiveFrame borrowed{FrameRows{turned.GetRow(0), turned.GetWidth(), turned.GetHeight(),
                                       turned.GetEffWidth(), nullptr},
                             false, false, 0};
    ASSERT_TRUE(WaitFor([&] { return worker.OfferFrame(borrowed); }));
    std::fill_n(turned.GetRow(0), size_t(turned.GetEffWidth()) * turned.GetHeight(), 0);
    ASSERT_TRUE(WaitFor([&] { return worker.Results().serial == 3; }));
    EXPECT_NEAR(worker.Results().tiltAngle, -9, 1);
    EXPECT_EQ(worker.Detections(), 3u);
}

TEST(DocumentEdgeWorker, QuickRestartAndDestructionWhileBusyAreSafe) {
    PageScene scene;
    scene.width = 2592;
    scene.height = 1944;
    scene.tiltDegrees = 9;
    const LiveFrame frame = Live(MakeFrame(scene));
    for (int round = 0; round < 3; ++round) {
        CDocumentEdgeWorker worker([] {});
        worker.Start();
        ASSERT_TRUE(WaitFor([&] { return worker.OfferFrame(frame); }));
        worker.Stop();
        worker.Start();  // the stopping thread keeps its own frame and is joined later
        EXPECT_TRUE(worker.IsRunning());
        ASSERT_TRUE(WaitFor([&] { return worker.OfferFrame(frame); }));
    }  // destroyed while detecting
}

}  // namespace
