// Picture operations on camera-sized 24-bit frames, each beside its peer in the same run:
// memcpy of the frame (the floor), OpenCV's equivalent, and libjpeg-turbo's bare compress.
//   ./bench_dib_image --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "image/dib_image.h"

namespace {

constexpr int kQuality = 90;
const char* kJpegPath = "/tmp/quorvane_bench_frame.jpg";

// A document-like frame: smooth shading with light noise, rows padded like a camera frame.
struct Frame {
    int width, height;
    uint32_t stride;
    std::vector<uint8_t> bytes;
    Frame(int w, int h) : width(w), height(h), stride((uint32_t(w) * 3 + 3) & ~3u) {
        bytes.resize(size_t(stride) * h);
        std::mt19937 rng(7);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = &bytes[size_t(y) * stride];
            for (int x = 0; x < w; ++x) {
                const int noise = int(rng() % 9);
                row[3 * x] = uint8_t((x * 200 / w + noise) & 255);
                row[3 * x + 1] = uint8_t((y * 180 / h + noise) & 255);
                row[3 * x + 2] = uint8_t(((x + y) * 100 / (w + h) + 90 + noise) & 255);
            }
        }
    }
    CDibImage Image() const {
        CDibImage img;
        img.CreateFromPixels(bytes.data(), uint32_t(width), uint32_t(height), 24, stride, true);
        return img;
    }
    cv::Mat Mat() const {
        return cv::Mat(height, width, CV_8UC3, const_cast<uint8_t*>(bytes.data()), stride).clone();
    }
};

const Frame& FrameFor(const benchmark::State& state) {
    static const Frame small(1600, 1200), large(3840, 2160);
    return state.range(0) == 1600 ? small : large;
}

void SetBytes(benchmark::State& state, const Frame& f) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

// --- floor
void BM_Memcpy(benchmark::State& state) {
    const Frame& f = FrameFor(state);
    std::vector<uint8_t> dst(f.bytes.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), f.bytes.data(), f.bytes.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, f);
}

// Times an in-place operation repeated on one copy of the frame (for operations whose result
// is a valid input again, such as Mirror).
template <typename Op>
void TimeInPlace(benchmark::State& state, Op op) {
    const Frame& f = FrameFor(state);
    CDibImage img = f.Image();
    for (auto _ : state) {
        op(img);
        benchmark::DoNotOptimize(img.GetRow(0));
    }
    SetBytes(state, f);
}

// Times an in-place operation on a fresh copy of the frame each time; the copy is not timed.
template <typename Op>
void TimeOnFreshCopy(benchmark::State& state, Op op) {
    const Frame& f = FrameFor(state);
    const CDibImage src = f.Image();
    CDibImage img;
    for (auto _ : state) {
        state.PauseTiming();
        img = src;
        state.ResumeTiming();
        op(img);
        benchmark::DoNotOptimize(img.GetRow(0));
    }
    SetBytes(state, f);
}

// Times an operation from the frame into a destination kept between iterations.
template <typename Op>
void TimeIntoDestination(benchmark::State& state, Op op) {
    const Frame& f = FrameFor(state);
    CDibImage src = f.Image();
    CDibImage dst;
    for (auto _ : state) {
        op(f, src, dst);
        benchmark::DoNotOptimize(dst.GetRow(0));
    }
    SetBytes(state, f);
}

// The OpenCV peer of TimeIntoDestination.
template <typename Op>
void TimeOpenCv(benchmark::State& state, Op op) {
    const Frame& f = FrameFor(state);
    const cv::Mat src = f.Mat();
    cv::Mat dst;
    for (auto _ : state) {
        op(f, src, dst);
        benchmark::DoNotOptimize(dst.data);
    }
    SetBytes(state, f);
}

// --- per-frame operations
void BM_CreateFromPixels(benchmark::State& state) {
    TimeIntoDestination(state, [](const Frame& f, CDibImage&, CDibImage& dst) {
        dst.CreateFromPixels(f.bytes.data(), uint32_t(f.width), uint32_t(f.height), 24, f.stride,
                             true);
    });
}

void BM_Copy(benchmark::State& state) {
    TimeIntoDestination(state, [](const Frame&, CDibImage& src, CDibImage& dst) { dst = src; });
}

void BM_OpenCvCopy(benchmark::State& state) {
    TimeOpenCv(state, [](const Frame&, const cv::Mat& src, cv::Mat& dst) { dst = src.clone(); });
}

void BM_Mirror(benchmark::State& state) {
    TimeInPlace(state, [](CDibImage& img) { img.Mirror(); });
}

void BM_OpenCvFlip(benchmark::State& state) {
    TimeOpenCv(state,
               [](const Frame&, const cv::Mat& src, cv::Mat& dst) { cv::flip(src, dst, 1); });
}

void BM_ToGrey(benchmark::State& state) {
    TimeOnFreshCopy(state, [](CDibImage& img) { img.ToGrey(); });
}

void BM_OpenCvCvtColorGrey(benchmark::State& state) {
    TimeOpenCv(state, [](const Frame&, const cv::Mat& src, cv::Mat& dst) {
        cv::cvtColor(src, dst, cv::COLOR_BGR2GRAY);
    });
}

void BM_Threshold(benchmark::State& state) {
    TimeOnFreshCopy(state, [](CDibImage& img) { img.Threshold(128); });
}

void BM_OpenCvGreyThreshold(benchmark::State& state) {
    cv::Mat grey;
    TimeOpenCv(state, [&grey](const Frame&, const cv::Mat& src, cv::Mat& dst) {
        cv::cvtColor(src, grey, cv::COLOR_BGR2GRAY);
        cv::threshold(grey, dst, 128, 255, cv::THRESH_BINARY);
    });
}

// --- per-photo operations
void BM_RotateLeft90(benchmark::State& state) {
    TimeIntoDestination(
        state, [](const Frame&, CDibImage& src, CDibImage& dst) { src.RotateLeft90(&dst); });
}

void BM_RotateRight90(benchmark::State& state) {
    TimeIntoDestination(
        state, [](const Frame&, CDibImage& src, CDibImage& dst) { src.RotateRight90(&dst); });
}

void BM_OpenCvRotate90(benchmark::State& state) {
    TimeOpenCv(state, [](const Frame&, const cv::Mat& src, cv::Mat& dst) {
        cv::rotate(src, dst, cv::ROTATE_90_COUNTERCLOCKWISE);
    });
}

void BM_Rotate(benchmark::State& state) {
    TimeIntoDestination(
        state, [](const Frame&, CDibImage& src, CDibImage& dst) { src.Rotate(7.5f, &dst); });
}

void BM_OpenCvWarpAffine(benchmark::State& state) {
    const Frame& f = FrameFor(state);
    const cv::Mat src = f.Mat();
    const cv::Point2f centre(f.width / 2.0f, f.height / 2.0f);
    cv::Mat m = cv::getRotationMatrix2D(centre, -7.5, 1.0);
    const cv::Rect2f box = cv::RotatedRect(centre, src.size(), 7.5f).boundingRect2f();
    m.at<double>(0, 2) += box.width / 2.0 - centre.x;
    m.at<double>(1, 2) += box.height / 2.0 - centre.y;
    cv::Mat dst;
    for (auto _ : state) {
        cv::warpAffine(src, dst, m, box.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(255, 255, 255));
        benchmark::DoNotOptimize(dst.data);
    }
    SetBytes(state, f);
}

void BM_Crop(benchmark::State& state) {
    TimeIntoDestination(state, [](const Frame& f, CDibImage& src, CDibImage& dst) {
        src.Crop(f.width / 8, f.height / 8, f.width * 7 / 8, f.height * 7 / 8, &dst);
    });
}

void BM_OpenCvCrop(benchmark::State& state) {
    TimeOpenCv(state, [](const Frame& f, const cv::Mat& src, cv::Mat& dst) {
        dst = src(cv::Rect(f.width / 8, f.height / 8, f.width * 6 / 8, f.height * 6 / 8)).clone();
    });
}

void BM_ResampleHalf(benchmark::State& state) {
    TimeIntoDestination(state, [](const Frame& f, CDibImage& src, CDibImage& dst) {
        src.Resample(f.width / 2, f.height / 2, 1, &dst);
    });
}

void BM_OpenCvResizeNearestHalf(benchmark::State& state) {
    TimeOpenCv(state, [](const Frame& f, const cv::Mat& src, cv::Mat& dst) {
        cv::resize(src, dst, cv::Size(f.width / 2, f.height / 2), 0, 0, cv::INTER_NEAREST);
    });
}

void BM_SaveJpeg(benchmark::State& state) {
    const Frame& f = FrameFor(state);
    CDibImage img = f.Image();
    img.SetQuality(kQuality);
    for (auto _ : state) {
        if (!img.Save(kJpegPath, kDibFormatJpeg))
            state.SkipWithError("save failed");
    }
    SetBytes(state, f);
}

// libjpeg-turbo with the same settings (islow DCT, quality, BGR input), straight to the file.
void BM_LibjpegCompress(benchmark::State& state) {
    const Frame& f = FrameFor(state);
    for (auto _ : state) {
        std::FILE* out = std::fopen(kJpegPath, "wb");
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        jpeg_stdio_dest(&c, out);
        c.image_width = JDIMENSION(f.width);
        c.image_height = JDIMENSION(f.height);
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, kQuality, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<uint8_t*>(&f.bytes[size_t(c.next_scanline) * f.stride]);
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        std::fclose(out);
    }
    SetBytes(state, f);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1600)->Arg(3840)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_CreateFromPixels)->Apply(Sizes);
BENCHMARK(BM_Copy)->Apply(Sizes);
BENCHMARK(BM_OpenCvCopy)->Apply(Sizes);
BENCHMARK(BM_Mirror)->Apply(Sizes);
BENCHMARK(BM_OpenCvFlip)->Apply(Sizes);
BENCHMARK(BM_ToGrey)->Apply(Sizes);
BENCHMARK(BM_OpenCvCvtColorGrey)->Apply(Sizes);
BENCHMARK(BM_Threshold)->Apply(Sizes);
BENCHMARK(BM_OpenCvGreyThreshold)->Apply(Sizes);
BENCHMARK(BM_RotateLeft90)->Apply(Sizes);
BENCHMARK(BM_RotateRight90)->Apply(Sizes);
BENCHMARK(BM_OpenCvRotate90)->Apply(Sizes);
BENCHMARK(BM_Rotate)->Apply(Sizes);
BENCHMARK(BM_OpenCvWarpAffine)->Apply(Sizes);
BENCHMARK(BM_Crop)->Apply(Sizes);
BENCHMARK(BM_OpenCvCrop)->Apply(Sizes);
BENCHMARK(BM_ResampleHalf)->Apply(Sizes);
BENCHMARK(BM_OpenCvResizeNearestHalf)->Apply(Sizes);
BENCHMARK(BM_SaveJpeg)->Apply(Sizes);
BENCHMARK(BM_LibjpegCompress)->Apply(Sizes);
// OpenCV runs single-threaded, as every operation of ours does.
int main(int argc, char** argv) {
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
