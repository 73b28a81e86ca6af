// Reduced decoding and the picture loader: every picture of the corpus read reduced matches the
// whole picture averaged down; pictures beyond the limits are refused from their header; a
// cancelled read stops; the loader delivers only the newest request.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>

#include <gtest/gtest.h>

#include "image/decode_options.h"
#include "image/picture_loader.h"
#include "image/row_reducer.h"
#include "support/big_picture.h"
#include "test_image_util.h"

namespace {

QStringList ValidFiles() {
    QStringList files;
    for (const char* folder : {"bmp", "jpeg", "png", "tiff"}) {
        QDir dir(QStringLiteral(QUORVANE_TESTDATA "/images/%1/valid").arg(folder));
        for (const QString& name : dir.entryList(QDir::Files))
            files << dir.filePath(name);
    }
    return files;
}

bool IsInterlacedPng(const QString& path) {
    QFile file(path);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(29) : QByteArray();
    return head.startsWith("\x89PNG") && head.size() == 29 && head[28] == 1;
}

// Sample c of a picture at (x, y) from the top: blue, green, red, then alpha (255 without).
int SampleAt(const CDibImage& image, uint32_t x, uint32_t y, int c) {
    const uint32_t row = image.GetHeight() - 1 - y;
    if (c == 3)
        return image.HasAlpha() ? image.GetAlpha()[size_t(row) * image.GetWidth() + x] : 255;
    const QvColour colour = image.GetPixelColour(x, row);
    return c == 0 ? QvBlue(colour) : c == 1 ? QvGreen(colour) : QvRed(colour);
}

// The whole picture's columns (or rows) that reduced column (or row) r of n stands for: blocks of
// f, or with f = 0 the proportional share (JPEG's own scaling).
std::pair<uint32_t, uint32_t> Span(uint32_t r, uint32_t n, uint32_t size, uint32_t f) {
    if (f == 0)
        return {r * size / n, std::max(r * size / n + 1, (r + 1) * size / n)};
    return {r * f, std::min(size, (r + 1) * f)};
}

// Mean difference per sample between each reduced pixel and the average of the whole
// picture's pixels it stands for. An interlaced PNG's reduced rows come from its odd rows only.
double MeanDifference(const CDibImage& reduced, const CDibImage& whole, uint32_t f, bool oddRows) {
    const uint32_t rw = reduced.GetWidth(), rh = reduced.GetHeight();
    const uint32_t w = whole.GetWidth(), h = whole.GetHeight();
    double total = 0;
    for (uint32_t ry = 0; ry < rh; ++ry) {
        auto [y0, y1] = Span(ry, rh, oddRows ? h / 2 : h, oddRows ? std::max(1u, f / 2) : f);
        for (uint32_t rx = 0; rx < rw; ++rx) {
            const auto [x0, x1] = Span(rx, rw, w, f);
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (uint32_t y = y0; y < y1; ++y) {
                    for (uint32_t x = x0; x < x1; ++x)
                        sum += SampleAt(whole, x, oddRows ? 2 * y + 1 : y, c);
                }
                total += std::abs(sum / ((x1 - x0) * (y1 - y0)) - SampleAt(reduced, rx, ry, c));
            }
        }
    }
    return total / (4.0 * rw * rh);
}

}  // namespace

TEST(ReducedDecode, EveryCorpusPictureReducedMatchesTheWholeAveraged) {
    int reducedCount = 0;
    for (const QString& path : ValidFiles()) {
        SCOPED_TRACE(path.toStdString());
        CDibImage whole, reduced;
        if (!whole.Load(path, kDibFormatUnknown))
            continue;        // a 12-bit JPEG, which this libjpeg does not read
        DecodeOptions none;  // asks for nothing less than the whole picture
        ASSERT_TRUE(reduced.Load(path, kDibFormatUnknown, &none));
        EXPECT_TRUE(!none.reduced && SamePixels(reduced, whole));

        DecodeOptions options;
        options.needWidth = std::max(1u, whole.GetWidth() / 3);
        options.needHeight = std::max(1u, whole.GetHeight() / 3);
        ASSERT_TRUE(reduced.Load(path, kDibFormatUnknown, &options));
        EXPECT_EQ(options.fullWidth, whole.GetWidth());
        EXPECT_EQ(options.fullHeight, whole.GetHeight());
        EXPECT_EQ(reduced.HasAlpha(), whole.HasAlpha());
        if (!options.reduced) {
            EXPECT_TRUE(SamePixels(reduced, whole));
            continue;
        }
        ++reducedCount;
        EXPECT_GE(reduced.GetWidth(), options.needWidth);
        EXPECT_GE(reduced.GetHeight(), options.needHeight);
        EXPECT_LT(uint64_t(reduced.GetWidth()) * reduced.GetHeight(),
                  uint64_t(whole.GetWidth()) * whole.GetHeight());
        if (uint64_t(whole.GetWidth()) * whole.GetHeight() > 2000000)
            continue;  // a 15-megapixel fax page: compared pixel by pixel it takes minutes
        // JPEG's scaled transform sees the picture a little differently; the others average
        // exactly. A flipped, swapped or misplaced picture differs by tens.
        const bool jpeg = path.endsWith(u".jpg");
        const uint32_t f = jpeg ? 0 : options.Factor(whole.GetWidth(), whole.GetHeight());
        EXPECT_LT(MeanDifference(reduced, whole, f, IsInterlacedPng(path)), jpeg ? 10.0 : 0.51);
    }
    EXPECT_GT(reducedCount, 60);
}

TEST(ReducedDecode, BlocksCutShortAtTheEdgesAverageWhatTheyHave) {
    // 5 x 3 grey, rows top first; 2 x 2 blocks leave a column and a row over.
    const uint8_t rows[3][5] = {
        {0, 10, 20, 30, 40}, {50, 60, 70, 80, 90}, {100, 110, 120, 130, 140}};
    CDibImage out;
    std::string error;
    CRowReducer reducer;
    ASSERT_TRUE(reducer.Start(5, 3, 1, 2, 2, kDibFormatPng, out, error));
    for (const auto& row : rows)
        reducer.AddRow(row);
    ASSERT_TRUE(reducer.Done());
    ASSERT_EQ(out.GetWidth(), 3u);
    ASSERT_EQ(out.GetHeight(), 2u);
    const int expected[2][3] = {{30, 50, 65}, {105, 125, 140}};
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(SampleAt(out, x, y, 0), expected[y][x]) << x << "," << y;
    }
}

TEST(ReducedDecode, PartsShowTheRowsReadAndWhiteBelow) {
    DecodeOptions options;
    std::vector<std::vector<int>> parts;  // the grey column of each part, top first
    options.partial = [&](const CDibImage& part) {
        parts.push_back(
            {SampleAt(part, 0, 0, 0), SampleAt(part, 0, 1, 0), SampleAt(part, 0, 2, 0)});
    };
    CDibImage out;
    std::string error;
    CRowReducer reducer;
    ASSERT_TRUE(reducer.Start(1, 3, 1, 1, 1, kDibFormatPng, out, error, &options));
    const uint8_t rows[3] = {10, 20, 30};
    reducer.AddRow(&rows[0]);
    QThread::msleep(300);  // parts come at most every 250 ms
    reducer.AddRow(&rows[1]);
    reducer.AddRow(&rows[2]);  // the last row makes the picture, not a part
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0], (std::vector<int>{10, 20, 255}));
}

TEST(ReducedDecode, ReductionFactorKeepsWhatIsNeeded) {
    struct Case {
        uint32_t w, h, needW, needH, factor;
    };
    const Case cases[] = {
        {20000, 20000, 1280, 1024, 15},
        {2592, 1944, 1280, 1024, 1},
        {2592, 1944, 640, 480, 4},
        {100, 50, 0, 0, 1},
        {40, 30, 55, 55, 1},
        {1u << 20, 1u << 20, 1, 1, 4096},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReductionFactor(c.w, c.h, c.needW, c.needH), c.factor) << c.w << "x" << c.h;
}

class ReducedDecodeFormats : public ::testing::TestWithParam<uint32_t> {};

TEST_P(ReducedDecodeFormats, PictureBeyondTheLimitIsRefusedFromItsHeader) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big"));
    ASSERT_TRUE(MakeNoise(300, 200, 24, 1).Save(path, GetParam()));
    const uint64_t limit = CDibImage::GetMaxMemory();
    CDibImage::SetMaxMemory(64 << 10);
    CDibImage picture;
    DecodeOptions options;
    options.needWidth = options.needHeight = 20;  // even a reduced copy needs the whole to fit
    const bool loaded = picture.Load(path, GetParam(), &options);
    CDibImage::SetMaxMemory(limit);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(options.tooLarge);
    EXPECT_EQ(options.fullWidth, 300u);
    EXPECT_EQ(options.fullHeight, 200u);
    EXPECT_FALSE(picture.IsValid());
}

TEST_P(ReducedDecodeFormats, CancelledReadStopsAndTriesNoOtherFormat) {
    if (GetParam() == kDibFormatBmp)
        GTEST_SKIP() << "a BMP is read whole from memory in one go";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    ASSERT_TRUE(MakeNoise(300, 200, 24, 2).Save(path, GetParam()));
    const std::atomic<bool> cancel{true};
    for (uint32_t need : {0u, 20u}) {
        CDibImage picture;
        DecodeOptions options;
        options.needWidth = options.needHeight = need;
        options.cancel = &cancel;
        EXPECT_FALSE(picture.Load(path, GetParam(), &options));
        EXPECT_TRUE(options.Cancelled());
        EXPECT_EQ(options.fullWidth, 300u) << "stopped in its own decoder, not in another";
    }
}

TEST_P(ReducedDecodeFormats, ReductionStopsAtTheLargestFactorAllowed) {
    if (GetParam() == kDibFormatBmp)
        GTEST_SKIP() << "a BMP is never reduced";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    ASSERT_TRUE(MakeNoise(300, 200, 24, 4).Save(path, GetParam()));
    CDibImage picture;
    DecodeOptions options;
    options.needWidth = options.needHeight = 1;
    options.maxFactor = 3;
    ASSERT_TRUE(picture.Load(path, GetParam(), &options));
    EXPECT_TRUE(options.reduced);
    EXPECT_GE(picture.GetWidth(), 100u);
    EXPECT_LE(picture.GetWidth(), 150u);
}

INSTANTIATE_TEST_SUITE_P(Formats, ReducedDecodeFormats,
                         ::testing::Values(kDibFormatBmp, kDibFormatJpeg, kDibFormatPng,
                                           kDibFormatTiff));

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "test_reduced_decode";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until `done` or 60 s have passed.
template <typename Done>
bool Pump(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

}  // namespace

TEST(PictureLoader, OnlyTheNewestRequestArrives) {
    App();
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.png"));
    const QString small = dir.filePath(QStringLiteral("small.png"));
    ASSERT_TRUE(big_picture::WritePng(big, 6000, 6000, 1));
    ASSERT_TRUE(MakeNoise(30, 20, 24, 3).Save(small, kDibFormatPng));
    CPictureLoader loader;
    QStringList arrived;
    QObject::connect(&loader, &CPictureLoader::Loaded,
                     [&](const PictureRequest& request, LoadedPicture& picture) {
                         EXPECT_TRUE(picture.IsLoaded());
                         arrived << request.path;
                     });
    loader.Load(PictureRequest{big, kDibFormatPng, 0, 0});
    loader.Cancel();
    loader.Load(PictureRequest{big, kDibFormatPng, 100, 100});
    loader.Load(PictureRequest{small, kDibFormatPng, 0, 0});
    EXPECT_TRUE(loader.IsBusy());
    ASSERT_TRUE(Pump([&] { return !loader.IsBusy(); }));
    // One thread reads the requests in turn: the big ones ended before the small one began.
    QCoreApplication::processEvents();
    EXPECT_EQ(arrived, QStringList{small});
}

TEST(PictureLoader, DestroyedWhileReadingLeavesTheThreadToEndAlone) {
    App();
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.png"));
    ASSERT_TRUE(big_picture::WritePng(big, 6000, 6000, 1));
    bool arrived = false;
    {
        CPictureLoader loader;
        QObject::connect(&loader, &CPictureLoader::Loaded, [&] { arrived = true; });
        loader.Load(PictureRequest{big, kDibFormatPng, 100, 100});
    }
    // The thread notices and ends while this one goes on; nothing it finished reaches anyone.
    CPictureLoader next;
    next.Load(PictureRequest{big, kDibFormatPng, 100, 100});
    ASSERT_TRUE(Pump([&] { return !next.IsBusy(); }));
    EXPECT_FALSE(arrived);
}
