// The time from a photo request to the picture file on disk, for the simulated camera's page at
// two capture sizes, as JPEG (quality 50 and 90) and PNG. The peer is libjpeg-turbo compressing
// the same rows straight into a file with the same settings: no copy, no crop, no temporary file,
// once without and once with the flush to the disk that the pipeline does. Run from the build
// folder; PHOTO_BENCH_DIR chooses the folder written to (the system's temporary folder by default).
//
//   ./bench/app/photo_save_bench

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "app/photo_pipeline.h"
#include "image/dib_image.h"
#include "media/simulated_scene.h"

namespace {

struct Frame {
    CDibImage image;
    std::vector<uint8_t> rows;  // the same picture, BGR rows top first
    int stride = 0;
};

const Frame& PageFrame(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<Frame>> frames;
    std::unique_ptr<Frame>& slot = frames[{width, height}];
    if (!slot) {
        slot = std::make_unique<Frame>();
        SimulatedSceneSettings settings;
        settings.width = width;
        settings.height = height;
        SimulatedScene scene;
        scene.Configure(settings);
        slot->stride = scene.Stride();
        slot->rows.resize(size_t(scene.Stride()) * height);
        scene.RenderFrame(slot->rows.data(), 1);
        slot->image.CreateFromPixels(slot->rows.data(), uint32_t(width), uint32_t(height), 24,
                                     uint32_t(scene.Stride()), true);
    }
    return *slot;
}

QString BenchFolder() {
    static QTemporaryDir* dir = [] {
        const QString base = qEnvironmentVariable("PHOTO_BENCH_DIR", QDir::tempPath());
        return new QTemporaryDir(base + QStringLiteral("/photo_bench_XXXXXX"));
    }();
    return dir->path();
}

void BM_SavePhoto(benchmark::State& state, const char* extension) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const Frame& frame = PageFrame(width, height);
    PhotoSource source;
    source.workImage = &frame.image;
    PhotoOptions options;
    options.quality = int(state.range(2));
    const QString path = BenchFolder() + QStringLiteral("/photo.") + QLatin1String(extension);
    for (auto _ : state) {
        const PhotoResult result = SavePhoto(source, path, options);
        if (!result.saved) {
            state.SkipWithError(qPrintable(result.failure));
            break;
        }
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}

// The floor: the same rows, the same encoder settings, straight into a file.
bool BareJpeg(const Frame& frame, int width, int height, int quality, const char* path,
              bool flush) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(frame.rows.data()) +
                       size_t(cinfo.next_scanline) * size_t(frame.stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    // The photo pipeline makes sure the picture is on the disk before it names it.
    const bool flushed = !flush || (std::fflush(file) == 0 && ::fsync(fileno(file)) == 0);
    return std::fclose(file) == 0 && flushed;
}

void BM_BareJpegCompress(benchmark::State& state, bool flush) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const Frame& frame = PageFrame(width, height);
    const QByteArray path = QFile::encodeName(BenchFolder() + QStringLiteral("/bare.jpg"));
    for (auto _ : state) {
        if (!BareJpeg(frame, width, height, int(state.range(2)), path.constData(), flush)) {
            state.SkipWithError("bare compress failed");
            break;
        }
        state.PauseTiming();
        std::remove(path.constData());
        state.ResumeTiming();
    }
}

// The pipeline's own share: the copy of the shown frame that every photo starts from.
void BM_FrameCopy(benchmark::State& state) {
    const Frame& frame = PageFrame(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CDibImage working(frame.image);
        benchmark::DoNotOptimize(working.GetDib());
    }
}

void Sizes(benchmark::internal::Benchmark* b, std::initializer_list<int> qualities) {
    for (const auto& [w, h] : {std::pair{1600, 1200}, std::pair{2592, 1944}}) {
        for (int q : qualities) {
            b->Args({w, h, q});
        }
    }
    b->ArgNames({"w", "h", "q"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK_CAPTURE(BM_BareJpegCompress, unflushed, false)->Apply([](auto* b) {
    Sizes(b, {50, 90});
});
BENCHMARK_CAPTURE(BM_BareJpegCompress, flushed, true)->Apply([](auto* b) { Sizes(b, {50, 90}); });
BENCHMARK(BM_FrameCopy)->Apply([](auto* b) { Sizes(b, {0}); });
BENCHMARK_CAPTURE(BM_SavePhoto, jpeg, "jpg")->Apply([](auto* b) { Sizes(b, {50, 90}); });
BENCHMARK_CAPTURE(BM_SavePhoto, png, "png")->Apply([](auto* b) { Sizes(b, {90}); });

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
