// The time "打印" keeps the user waiting: the simulated camera's page at 1600 x 1200 and
// 2592 x 1944 printed through PrintPicture to Qt's PDF output at 1200 dpi. The peer, in the same
// run, is Qt itself: a QPrinter on the same output drawing the same picture, held as a QImage,
// into the same rectangle with QPainter::drawImage. Run from the build folder on the offscreen
// platform:
//
//   QT_QPA_PLATFORM=offscreen ./bench/print/bench_print

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

#include "image/dib_image.h"
#include "media/simulated_scene.h"
#include "view/picture_printing.h"

namespace {

struct Page {
    CDibImage image;
    QImage copy;  // the same picture for the peer: the same bytes, rows top first
};

const Page& CameraPage(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<Page>> pages;
    std::unique_ptr<Page>& slot = pages[{width, height}];
    if (!slot) {
        slot = std::make_unique<Page>();
        SimulatedSceneSettings settings;
        settings.width = width;
        settings.height = height;
        SimulatedScene scene;
        scene.Configure(settings);
        std::vector<uint8_t> rows(size_t(scene.Stride()) * height);
        scene.RenderFrame(rows.data(), 1);
        slot->image.CreateFromPixels(rows.data(), uint32_t(width), uint32_t(height), 24,
                                     uint32_t(scene.Stride()), true);
        slot->copy =
            QImage(rows.data(), width, height, scene.Stride(), QImage::Format_BGR888).copy();
    }
    return *slot;
}

QString OutputFile() {
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("print.pdf"));
}

void BM_PrintPicture(benchmark::State& state) {
    const Page& page = CameraPage(int(state.range(0)), int(state.range(1)));
    PrinterChoice choice;
    choice.device = choice.driver = QString::fromUtf16(PrinterChoice::kPdfDriver);
    choice.port = OutputFile();
    for (auto _ : state) {
        if (PrintPicture(page.image, choice) != PrintResult::kPrinted) {
            state.SkipWithError("not printed");
            break;
        }
    }
}

void BM_QtDrawImagePeer(benchmark::State& state) {
    const Page& page = CameraPage(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(OutputFile());
        QPainter painter(&printer);
        const QvRect r =
            PrintPageRect(page.copy.width(), page.copy.height(), printer.width(), printer.height());
        painter.drawImage(QRect(r.left, r.top, r.Width(), r.Height()), page.copy);
        benchmark::DoNotOptimize(painter.end());
    }
}

BENCHMARK(BM_PrintPicture)->Args({1600, 1200})->Args({2592, 1944})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtDrawImagePeer)
    ->Args({1600, 1200})
    ->Args({2592, 1944})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
