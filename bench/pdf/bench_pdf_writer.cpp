// Making a PDF of JPEG pages beside its floor: the writer copies every JPEG once into its page
// and once into the file, so two plain copies of the same bytes are the peer.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "image/pdf_writer.h"

namespace {

// A measurable JFIF header followed by filler standing in for the entropy-coded data.
std::vector<uint8_t> FakeJpeg(size_t size) {
    std::vector<uint8_t> b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                              0,    1,    1,    0,    0,    1,    0,    1,    0,    0,
                              0xFF, 0xC0, 0x00, 0x11, 0x08, 0x04, 0xB0, 0x06, 0x40, 3,
                              1,    0x22, 0,    2,    0x11, 1,    3,    0x11, 1};
    b.resize(size - 2, 0x5A);
    b.push_back(0xFF);
    b.push_back(0xD9);
    return b;
}

void BM_PdfWriter(benchmark::State& state) {
    const auto pages = static_cast<int>(state.range(0));
    const std::vector<uint8_t> jpeg = FakeJpeg(static_cast<size_t>(state.range(1)));
    // The writer reports each page on standard output; keep those lines out of the report.
    std::fflush(stdout);
    const int saved = ::dup(1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    for (auto _ : state) {
        PdfBegin(21.33, 16.0);
        for (int i = 0; i < pages; ++i) {
            PdfAddJpeg(jpeg.data(), jpeg.size());
        }
        std::vector<uint8_t> file(PdfFinalize());
        size_t length = 0;
        PdfWrite(file.data(), &length);
        benchmark::DoNotOptimize(file.data());
    }
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    ::close(null);
    state.SetBytesProcessed(state.iterations() * pages * static_cast<int64_t>(jpeg.size()));
}

void BM_TwoCopiesPeer(benchmark::State& state) {
    const auto pages = static_cast<int>(state.range(0));
    const std::vector<uint8_t> jpeg = FakeJpeg(static_cast<size_t>(state.range(1)));
    for (auto _ : state) {
        std::vector<std::vector<uint8_t>> copies;
        for (int i = 0; i < pages; ++i) {
            copies.emplace_back(jpeg);
        }
        std::vector<uint8_t> file(pages * jpeg.size());
        for (int i = 0; i < pages; ++i) {
            std::memcpy(file.data() + i * jpeg.size(), copies[i].data(), jpeg.size());
        }
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(state.iterations() * pages * static_cast<int64_t>(jpeg.size()));
}

// Twenty 1 MB pages (a typical scan batch) and the 256-page limit with small pages.
BENCHMARK(BM_PdfWriter)->Args({20, 1 << 20})->Args({256, 64 << 10})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoCopiesPeer)
    ->Args({20, 1 << 20})
    ->Args({256, 64 << 10})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
