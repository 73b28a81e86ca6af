// What hands-free page capture costs a frame on the worker thread: the frame's thumb and the
// page-change detector's judgement of it (a still page, so the thumb is compared with the picture
// since the last change), beside a memcpy of the frame in the same run. The content comparison
// that runs once a picture has settled is shown on its own.
//
//   ./build/bench/capture/bench_page_detector

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

#include "capture/page_change_detector.h"
#include "support/page_turn_film.h"

namespace {

// Two frames of the same still page (different noise) and one of another page, kept.
struct Frames {
    std::vector<uint8_t> still[2], other;
    FrameRows rows[2], otherRows;
};

const Frames& At(int width) {
    static std::map<int, Frames> sizes;
    Frames& f = sizes[width];
    if (f.other.empty()) {
        film::Film film(width, width * 3 / 4, DeskKind::kDarkPlain, 30);
        film.Add(film::Shot{"still", 1, film::Lying(0), film::Lying(0)});
        film.Add(film::Shot{"still", 1, film::Lying(1), film::Lying(1)});
        const auto keep = [](const FrameRows& rows, std::vector<uint8_t>& store, FrameRows& out) {
            store.assign(rows.rows, rows.rows + size_t(rows.stride) * rows.height);
            out = rows;
            out.rows = store.data();
        };
        keep(film.Frame(1), f.still[0], f.rows[0]);
        keep(film.Frame(2), f.still[1], f.rows[1]);
        keep(film.Frame(40), f.other, f.otherRows);
    }
    return f;
}

void BM_PageDetectorFrame(benchmark::State& state) {
    const Frames& frames = At(int(state.range(0)));
    CPageChangeDetector detector;
    PictureThumb thumb;
    int64_t ms = 0;
    for (auto _ : state) {
        MakePictureThumb(frames.rows[ms & 1], thumb);
        benchmark::DoNotOptimize(detector.AddFrame(thumb, ms += 33));
    }
}

void BM_MemcpyFrame(benchmark::State& state) {
    const Frames& frames = At(int(state.range(0)));
    std::vector<uint8_t> copy(frames.still[0].size());
    for (auto _ : state) {
        std::memcpy(copy.data(), frames.still[0].data(), copy.size());
        benchmark::DoNotOptimize(copy.data());
    }
}

void BM_SettledContentComparison(benchmark::State& state) {
    const Frames& frames = At(int(state.range(0)));
    PictureThumb a, b;
    MakePictureThumb(frames.rows[0], a);
    MakePictureThumb(frames.otherRows, b);
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareContent(a, b));
}

}  // namespace

BENCHMARK(BM_PageDetectorFrame)->Arg(1600)->Arg(2592)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFrame)->Arg(1600)->Arg(2592)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettledContentComparison)->Arg(1600)->Arg(2592)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
