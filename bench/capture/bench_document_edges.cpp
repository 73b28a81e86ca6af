// One automatic-crop detection (tilt, turn, box, outline mapped back) beside an OpenCV contour
// pipeline doing the same job (grey, blur, Canny, largest contour, minimum-area rectangle) on the
// same simulated frames.
//
//   ./build/bench/capture/bench_document_edges

#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include <cstring>

#include "capture/document_edge_worker.h"
#include "support/scene_frames.h"

namespace {

// The simulated camera's sizes, by width.
const SceneFrame& Frame(int width) {
    static SceneFrame sizes[] = {MakeSceneFrame(640, 480, 6, DeskKind::kDarkPlain),
                                 MakeSceneFrame(1280, 720, 6, DeskKind::kDarkPlain),
                                 MakeSceneFrame(1600, 1200, 6, DeskKind::kDarkPlain),
                                 MakeSceneFrame(2592, 1944, 6, DeskKind::kDarkPlain)};
    for (const SceneFrame& size : sizes) {
        if (int(size.frame.GetWidth()) == width) {
            return size;
        }
    }
    return sizes[2];
}

void BM_DocumentEdgeDetection(benchmark::State& state) {
    CDibImage frame = Frame(int(state.range(0))).frame;
    for (auto _ : state) {
        DocumentEdgeResults results;
        benchmark::DoNotOptimize(CDocumentEdgeWorker::Detect(frame, results));
        benchmark::DoNotOptimize(results);
    }
}

void BM_OpenCvContourPipeline(benchmark::State& state) {
    const CDibImage& frame = Frame(int(state.range(0))).frame;
    // The same rows, top row first as OpenCV expects (the frame is stored bottom-up).
    const int h = int(frame.GetHeight());
    cv::Mat bgr(h, int(frame.GetWidth()), CV_8UC3);
    for (int y = 0; y < h; ++y) {
        std::memcpy(bgr.ptr(y), frame.GetRow(uint32_t(h - 1 - y)), size_t(frame.GetWidth()) * 3);
    }
    cv::Mat grey, blurred, edges;
    std::vector<std::vector<cv::Point>> contours;
    for (auto _ : state) {
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
        cv::GaussianBlur(grey, blurred, cv::Size(5, 5), 0);
        cv::Canny(blurred, edges, 50, 150);
        contours.clear();
        cv::findContours(edges, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        size_t best = 0;
        double bestArea = -1;
        for (size_t i = 0; i < contours.size(); ++i) {
            const double area = cv::contourArea(contours[i]);
            if (area > bestArea) {
                bestArea = area;
                best = i;
            }
        }
        cv::RotatedRect box;
        if (!contours.empty()) {
            box = cv::minAreaRect(contours[best]);
        }
        benchmark::DoNotOptimize(box);
    }
}

}  // namespace

// Process CPU time: OpenCV may spread its filters over threads of its own.
BENCHMARK(BM_DocumentEdgeDetection)
    ->Arg(640)
    ->Arg(1280)
    ->Arg(1600)
    ->Arg(2592)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCvContourPipeline)
    ->Arg(640)
    ->Arg(1280)
    ->Arg(1600)
    ->Arg(2592)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
