// The per-frame cost of the live picture: SetFrame (orientation, colour mode, the three images)
// and one paint of the view into a 747 x 445 window, at the camera's 1600 x 1200 and
// 2592 x 1944. Peers in the same run: QPainter::drawImage of the same frame held as a QImage
// into the same window, and three plain copies of the frame's bytes (the floor of storing it
// as the raw, work and display images).
//
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen ./bench_picture_view. The CPU column
// is the whole process's CPU time; on a loaded machine it is steadier than the wall time.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstring>
#include <vector>

#include "view/picture_view.h"

namespace {

constexpr int kViewWidth = 747;
constexpr int kViewHeight = 445;

struct CameraFrame {
    uint32_t width;
    uint32_t height;
    uint32_t stride;
    std::vector<uint8_t> bytes;

    CameraFrame(uint32_t w, uint32_t h) : width(w), height(h), stride((w * 3 + 3) & ~3u) {
        bytes.resize(size_t(stride) * h);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 2654435761u >> 24);
    }
    uint32_t Size() const { return (width << 16) | height; }
};

CameraFrame& Frame(int which) {
    static CameraFrame small(1600, 1200);
    static CameraFrame large(2592, 1944);
    return which == 0 ? small : large;
}

// A view as the live item uses it: fitted to the window, default flip and mirror.
struct LiveView {
    CPicture view;
    QImage window{kViewWidth, kViewHeight, QImage::Format_RGB32};

    LiveView(const CameraFrame& frame, int colourMode) {
        view.resize(kViewWidth, kViewHeight);
        view.SetColourMode(colourMode);
        view.SetThresholdLevel(128);
        view.SetFrame(frame.Size(), frame.bytes.data());
        view.FitToWindow();
    }
    void Paint() { view.render(&window); }
};

void BM_SetFrame(benchmark::State& state) {
    const CameraFrame& frame = Frame(int(state.range(0)));
    LiveView live(frame, int(state.range(1)));
    for (auto _ : state) {
        live.view.SetFrame(frame.Size(), frame.bytes.data());
        benchmark::DoNotOptimize(live.view.GetDisplayImage().GetRow(0));
    }
}

void BM_Paint(benchmark::State& state) {
    const CameraFrame& frame = Frame(int(state.range(0)));
    LiveView live(frame, int(state.range(1)));
    for (auto _ : state) {
        live.Paint();
        benchmark::DoNotOptimize(live.window.constBits());
    }
}

void BM_FramePlusPaint(benchmark::State& state) {
    const CameraFrame& frame = Frame(int(state.range(0)));
    LiveView live(frame, int(state.range(1)));
    for (auto _ : state) {
        live.view.SetFrame(frame.Size(), frame.bytes.data());
        live.Paint();
        benchmark::DoNotOptimize(live.window.constBits());
    }
}

// Peer: the same frame as a QImage drawn scaled into the same window by QPainter.
void BM_PeerDrawImage(benchmark::State& state) {
    const CameraFrame& frame = Frame(int(state.range(0)));
    const QImage image(frame.bytes.data(), int(frame.width), int(frame.height),
                       qsizetype(frame.stride), QImage::Format_BGR888);
    QImage window(kViewWidth, kViewHeight, QImage::Format_RGB32);
    // The same target the fitted view paints into.
    LiveView live(frame, 0);
    const QvRect r = live.view.GetImageRect();
    const QRect target(r.left, r.top, r.Width(), r.Height());
    for (auto _ : state) {
        QPainter painter(&window);
        painter.fillRect(window.rect(), Qt::black);
        painter.drawImage(target, image);
        painter.end();
        benchmark::DoNotOptimize(window.constBits());
    }
}

// Peer: three copies of the frame's bytes, the floor of keeping raw, work and display images.
void BM_PeerThreeCopies(benchmark::State& state) {
    const CameraFrame& frame = Frame(int(state.range(0)));
    std::vector<uint8_t> a(frame.bytes.size()), b(a.size()), c(a.size());
    for (auto _ : state) {
        std::memcpy(a.data(), frame.bytes.data(), a.size());
        std::memcpy(b.data(), a.data(), b.size());
        std::memcpy(c.data(), b.data(), c.size());
        benchmark::DoNotOptimize(c.data());
    }
}

void FramesAndModes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"frame", "mode"});
    for (int frame : {0, 1}) {
        for (int mode : {0, 1, 2})
            b->Args({frame, mode});
    }
    // Qt paints large scaled pictures on worker threads: count the whole process's CPU time.
    b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}

void Frames(benchmark::internal::Benchmark* b) {
    b->ArgName("frame")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}

BENCHMARK(BM_SetFrame)->Apply(FramesAndModes);
BENCHMARK(BM_Paint)->Apply(FramesAndModes);
BENCHMARK(BM_FramePlusPaint)->Apply(FramesAndModes);
BENCHMARK(BM_PeerDrawImage)->Apply(Frames);
BENCHMARK(BM_PeerThreeCopies)->Apply(Frames);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
