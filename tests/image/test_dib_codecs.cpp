// File behaviour of the picture object: the public corpus, round trips through every encoder,
// format detection and the error texts callers see.

#include <gtest/gtest.h>

#include <tiffio.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

#include "image/dib_image.h"
#include "test_image_util.h"

namespace {

struct FormatDir {
    const char* folder;
    uint32_t type;
};
constexpr FormatDir kFormats[] = {{"bmp", kDibFormatBmp},
                                  {"jpeg", kDibFormatJpeg},
                                  {"png", kDibFormatPng},
                                  {"tiff", kDibFormatTiff}};

QStringList CorpusFiles(const char* folder, const char* status) {
    QDir dir(QStringLiteral(QUORVANE_TESTDATA "/images/%1/%2").arg(folder, status));
    QStringList out;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        out << dir.filePath(name);
    }
    return out;
}

// Legal files outside what the codecs read (12-bit JPEG samples): a clean refusal is right.
bool Unsupported(const QString& path) {
    return path.endsWith("/monkey12.jpg");
}

TEST(DibCodecsCorpus, EveryValidFileLoadsByItsTypeAndByDetection) {
    for (const FormatDir& f : kFormats) {
        const QStringList files = CorpusFiles(f.folder, "valid");
        ASSERT_FALSE(files.isEmpty()) << f.folder;
        for (const QString& path : files) {
            SCOPED_TRACE(path.toStdString());
            CDibImage byType, detected;
            if (Unsupported(path)) {
                EXPECT_FALSE(byType.Load(path, f.type));
                EXPECT_STRNE(byType.GetLastError(), "");
                continue;
            }
            ASSERT_TRUE(byType.Load(path, f.type)) << byType.GetLastError();
            EXPECT_EQ(byType.GetType(), f.type);
            ASSERT_TRUE(detected.Load(path, kDibFormatUnknown)) << detected.GetLastError();
            EXPECT_EQ(detected.GetType(), f.type);
            EXPECT_TRUE(SamePixels(byType, detected));
            const uint32_t bpp = byType.GetBpp();
            EXPECT_TRUE(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24);
        }
    }
}

TEST(DibCodecsCorpus, EveryInvalidFileFailsCleanlyAndQuickly) {
    for (const FormatDir& f : kFormats) {
        for (const QString& path : CorpusFiles(f.folder, "invalid")) {
            SCOPED_TRACE(path.toStdString());
            for (uint32_t type : {f.type, uint32_t(kDibFormatUnknown)}) {
                QElapsedTimer timer;
                timer.start();
                CDibImage img;
                const bool ok = img.Load(path, type);
                EXPECT_LT(timer.elapsed(), 1000);
                if (ok) {
                    EXPECT_TRUE(img.IsValid());
                    EXPECT_NE(img.GetRow(img.GetHeight() - 1), nullptr);
                } else {
                    EXPECT_FALSE(img.IsValid());
                    EXPECT_STRNE(img.GetLastError(), "");
                }
            }
        }
    }
}

// libtiff's own RGBA reader is the reference for every TIFF in the corpus.
TEST(DibCodecsCorpus, TiffPixelsMatchLibtiffRgbaReader) {
    TIFFSetWarningHandler(nullptr);
    int compared = 0;
    for (const QString& path : CorpusFiles("tiff", "valid")) {
        SCOPED_TRACE(path.toStdString());
        TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
        ASSERT_NE(tif, nullptr);
        uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        std::vector<uint32_t> raster(size_t(w) * h);
        const bool readable =
            TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_BOTLEFT, 0) != 0;
        TIFFClose(tif);
        if (!readable)
            continue;  // the tiled file libtiff's tile reader refuses
        CDibImage img;
        ASSERT_TRUE(img.Load(path, kDibFormatTiff)) << img.GetLastError();
        ASSERT_EQ(img.GetWidth(), w);
        ASSERT_EQ(img.GetHeight(), h);
        int worst = 0;
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t ref = raster[size_t(y) * w + x];
                const QvColour c = img.GetPixelColour(x, y);
                worst = std::max({worst, std::abs(int(TIFFGetR(ref)) - QvRed(c)),
                                  std::abs(int(TIFFGetG(ref)) - QvGreen(c)),
                                  std::abs(int(TIFFGetB(ref)) - QvBlue(c))});
            }
        }
        EXPECT_EQ(worst, 0);
        ++compared;
    }
    EXPECT_GT(compared, 25);
}

// Round trips: what is saved is what comes back, for every depth the format keeps.
struct RoundTrip {
    uint32_t type;
    uint32_t bits;
    bool grey;
    int tolerance;
};

class DibCodecsRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

int MaxDifference(const CDibImage& a, const CDibImage& b) {
    int worst = 0;
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            const QvColour p = a.GetPixelColour(x, y), q = b.GetPixelColour(x, y);
            for (int shift : {0, 8, 16}) {
                worst =
                    std::max(worst, std::abs(int((p >> shift) & 255) - int((q >> shift) & 255)));
            }
        }
    }
    return worst;
}

// A smooth picture (JPEG keeps those close) with some fine detail.
CDibImage MakeScene(uint32_t w, uint32_t h, uint32_t bits, bool grey) {
    CDibImage img;
    img.Create(w, h, 24, 0);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = img.GetRow(y) + 3 * x;
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t((x + y) * 127 / (w + h));
        }
    }
    if (grey || bits < 24)
        img.ToGrey();
    if (bits == 1)
        img.Threshold(100);
    if (bits == 4) {
        CDibImage noisy = MakeNoise(w, h, 4, 99);
        img = noisy;
    }
    if (bits == 8 && !grey) {
        CDibImage noisy = MakeNoise(w, h, 8, 98);  // a colour palette
        img = noisy;
    }
    return img;
}

TEST_P(DibCodecsRoundTrip, SaveThenLoadGivesThePictureBack) {
    const RoundTrip t = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("picture");
    CDibImage img = MakeScene(67, 45, t.bits, t.grey);
    img.SetXDpi(200);
    img.SetYDpi(150);
    img.SetQuality(95);
    ASSERT_TRUE(img.Save(path, t.type)) << img.GetLastError();
    CDibImage back;
    ASSERT_TRUE(back.Load(path, kDibFormatUnknown)) << back.GetLastError();
    EXPECT_EQ(back.GetType(), t.type);
    ASSERT_EQ(back.GetWidth(), img.GetWidth());
    ASSERT_EQ(back.GetHeight(), img.GetHeight());
    EXPECT_LE(MaxDifference(back, img), t.tolerance);
    if (t.tolerance == 0) {
        EXPECT_EQ(back.GetBpp(), img.GetBpp());
    }
    EXPECT_EQ(back.GetXDpi(), 200);
    EXPECT_EQ(back.GetYDpi(), 150);
    // The same bytes come out of EncodeToMemory.
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    ASSERT_TRUE(img.EncodeToMemory(buffer, size, t.type));
    CDibImage fromMemory;
    EXPECT_TRUE(fromMemory.Decode(buffer, size_t(size), t.type)) << fromMemory.GetLastError();
    EXPECT_TRUE(SamePixels(fromMemory, back));
    CDibImage::FreeEncodedMemory(buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DibCodecsRoundTrip,
    ::testing::Values(RoundTrip{kDibFormatBmp, 1, true, 0}, RoundTrip{kDibFormatBmp, 4, false, 0},
                      RoundTrip{kDibFormatBmp, 8, false, 0}, RoundTrip{kDibFormatBmp, 24, false, 0},
                      RoundTrip{kDibFormatPng, 1, true, 0}, RoundTrip{kDibFormatPng, 4, false, 0},
                      RoundTrip{kDibFormatPng, 8, true, 0}, RoundTrip{kDibFormatPng, 8, false, 0},
                      RoundTrip{kDibFormatPng, 24, false, 0}, RoundTrip{kDibFormatTiff, 1, true, 0},
                      RoundTrip{kDibFormatTiff, 8, true, 0}, RoundTrip{kDibFormatTiff, 8, false, 0},
                      RoundTrip{kDibFormatTiff, 24, false, 0},
                      RoundTrip{kDibFormatJpeg, 8, true, 6},
                      RoundTrip{kDibFormatJpeg, 24, false, 12}));

TEST(DibCodecsPng, AlphaPlaneSurvivesARoundTrip) {
    for (uint32_t bits : {8u, 24u}) {
        CDibImage img = MakeScene(20, 10, bits, true);
        if (bits == 24)
            img = MakeNoise(20, 10, 24, 5);
        ASSERT_TRUE(img.AlphaCreate());
        for (uint32_t i = 0; i < 200; ++i)
            img.GetAlpha()[i] = uint8_t(i);
        uint8_t* buffer = nullptr;
        int32_t size = 0;
        ASSERT_TRUE(img.EncodeToMemory(buffer, size, kDibFormatPng));
        CDibImage back;
        ASSERT_TRUE(back.Decode(buffer, size_t(size), kDibFormatPng));
        CDibImage::FreeEncodedMemory(buffer);
        ASSERT_TRUE(back.HasAlpha());
        EXPECT_EQ(std::memcmp(back.GetAlpha(), img.GetAlpha(), 200), 0);
        EXPECT_TRUE(SamePixels(back, img));
    }
}

TEST(DibCodecsErrors, TextsCallersSee) {
    CDibImage empty;
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    EXPECT_FALSE(empty.EncodeToMemory(buffer, size, kDibFormatPng));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_FALSE(empty.Encode(nullptr, kDibFormatPng));
    EXPECT_STREQ(empty.GetLastError(), "null file handler");

    CDibImage img = MakeNoise(8, 8, 24, 1);
    uint8_t sentinel = 0;
    buffer = &sentinel;
    EXPECT_FALSE(img.EncodeToMemory(buffer, size, kDibFormatPng));
    EXPECT_STREQ(img.GetLastError(), "the buffer must be empty");
    EXPECT_EQ(buffer, &sentinel);
    buffer = nullptr;
    EXPECT_FALSE(img.EncodeToMemory(buffer, size, kDibFormatGif));
    EXPECT_STREQ(img.GetLastError(), "Encode: Unknown format");
    EXPECT_EQ(buffer, nullptr);

    CDibImage bw = MakeNoise(8, 8, 24, 2);
    ASSERT_TRUE(bw.Threshold(128));
    EXPECT_FALSE(bw.EncodeToMemory(buffer, size, kDibFormatJpeg));
    EXPECT_STREQ(bw.GetLastError(), "JPEG can save only RGB or GreyScale images");
    for (uint32_t type : {kDibFormatBmp, kDibFormatPng, kDibFormatTiff}) {
        ASSERT_TRUE(bw.EncodeToMemory(buffer, size, type)) << type << bw.GetLastError();
        CDibImage::FreeEncodedMemory(buffer);
        buffer = nullptr;
    }
    CDibImage::FreeEncodedMemory(nullptr);

    const uint8_t junk[] = "this is not a picture at all";
    CDibImage j;
    EXPECT_FALSE(j.Decode(junk, sizeof junk, kDibFormatUnknown));
    EXPECT_STREQ(j.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(j.Decode(junk, sizeof junk, kDibFormatGif));
    EXPECT_STREQ(j.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(j.LoadFromResource(":/no/such/resource.png", kDibFormatPng));
    EXPECT_STREQ(j.GetLastError(), "Unable to load resource!");
}

TEST(DibCodecsLoad, ResourcesDecodeFromMemory) {
    CDibImage skin;
    ASSERT_TRUE(skin.LoadFromResource(":/test/skin.png", kDibFormatPng)) << skin.GetLastError();
    EXPECT_EQ(skin.GetWidth(), 32u);
    EXPECT_EQ(skin.GetBpp(), 24u);
    EXPECT_TRUE(skin.HasAlpha());
    EXPECT_TRUE(skin.ReduceDepth(24));  // what the skin loader asks: a 24-bit skin stays
    CDibImage detected;
    ASSERT_TRUE(detected.LoadFromResource(":/test/skin.png", kDibFormatUnknown));
    EXPECT_TRUE(SamePixels(skin, detected));
}

TEST(DibCodecsLoad, WrongTypeFallsBackToDetection) {
    const QString png = QStringLiteral(QUORVANE_TESTDATA "/images/png/valid/basn2c08.png");
    CDibImage img;
    ASSERT_TRUE(img.Load(png, kDibFormatJpeg));
    EXPECT_EQ(img.GetType(), uint32_t(kDibFormatPng));
    // When detection fails too, the requested decoder's message stays.
    QTemporaryDir dir;
    const QString junk = dir.filePath("junk.jpg");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("definitely not a picture file");
    f.close();
    CDibImage bad = MakeNoise(4, 4, 24, 3);
    EXPECT_FALSE(bad.Load(junk, kDibFormatJpeg));
    EXPECT_STRNE(bad.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_STRNE(bad.GetLastError(), "");
    EXPECT_EQ(bad.GetWidth(), 4u);  // a failed load leaves the picture as it was
    EXPECT_FALSE(bad.Load(junk, kDibFormatUnknown));
    EXPECT_STREQ(bad.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_FALSE(bad.Load(dir.filePath("missing.png"), kDibFormatPng));
}

TEST(DibCodecsLimits, HugeDeclaredSizesAreRefusedBeforeAllocating) {
    CDibImage big = MakeNoise(1000, 1000, 24, 1);
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    ASSERT_TRUE(big.EncodeToMemory(buffer, size, kDibFormatPng));
    const uint64_t old = CDibImage::GetMaxMemory();
    CDibImage::SetMaxMemory(1u << 20);
    CDibImage img;
    EXPECT_FALSE(img.Create(1000, 1000, 24, 0));
    EXPECT_TRUE(img.Create(300, 300, 24, 0));
    EXPECT_FALSE(img.Decode(buffer, size_t(size), kDibFormatPng));
    EXPECT_EQ(img.GetWidth(), 300u);
    CDibImage::SetMaxMemory(old);
    EXPECT_TRUE(img.Decode(buffer, size_t(size), kDibFormatPng));
    CDibImage::FreeEncodedMemory(buffer);
}

// Files the fuzzer found: each fails (or loads) cleanly within a second.
TEST(DibCodecsLimits, FuzzerFindsFailFast) {
    QDir dir(QStringLiteral(QUORVANE_TESTDATA "/regress"));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    ASSERT_TRUE(names.contains("tiff-small-file-huge-picture.tif"));
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QElapsedTimer timer;
        timer.start();
        CDibImage img;
        const bool ok = img.Load(dir.filePath(name), kDibFormatUnknown);
        EXPECT_LT(timer.elapsed(), 1000);
        EXPECT_EQ(ok, img.IsValid());
        if (name.endsWith("huge-picture.tif")) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(img.Load(dir.filePath(name), kDibFormatTiff));
            EXPECT_STREQ(img.GetLastError(),
                         "TIFF: the file is too small for the picture it declares");
        }
    }
}

// Writes a TIFF of the given size and compression holding its first strip of pixels, or all
// of them; strips not written are declared and left empty. Colour comes in separate planes, which
// takes the file through libtiff's RGBA reader.
QString WriteStrips(const QString& path, uint32_t width, uint32_t height, uint16_t compression,
                    uint16_t bits, bool complete) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return {};
    const uint16_t samples = bits == 1 ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
                 samples == 1 ? PLANARCONFIG_CONTIG : PLANARCONFIG_SEPARATE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16u);
    std::vector<uint8_t> strip(size_t(TIFFStripSize(tif)), 0x55);
    bool ok = true;
    for (uint32_t i = 0; i < (complete ? TIFFNumberOfStrips(tif) : 1); ++i)
        ok = ok && TIFFWriteEncodedStrip(tif, i, strip.data(), tmsize_t(strip.size())) >= 0;
    TIFFClose(tif);
    return ok ? path : QString();
}

// A small file declaring a picture its strips cannot hold fails before the pixels are filled,
// whichever reader the layout takes; the same layout with every strip present loads.
TEST(DibCodecsLimits, TiffWithMissingStripsFailsFast) {
    struct Case {
        uint16_t compression, bits;
    };
    QTemporaryDir dir;
    for (const Case c : {Case{COMPRESSION_ADOBE_DEFLATE, 8}, Case{COMPRESSION_LZW, 8},
                         Case{COMPRESSION_PACKBITS, 8}, Case{COMPRESSION_PACKBITS, 1},
                         Case{COMPRESSION_CCITTFAX4, 1}, Case{COMPRESSION_NONE, 8}}) {
        SCOPED_TRACE(c.compression);
        const QString path = WriteStrips(dir.filePath(QString("strip%1.tif").arg(c.compression)),
                                         9000, 9000, c.compression, c.bits, false);
        ASSERT_FALSE(path.isEmpty());
        QElapsedTimer timer;
        timer.start();
        CDibImage img;
        EXPECT_FALSE(img.Load(path, kDibFormatTiff));
        EXPECT_LT(timer.elapsed(), 1000);
        EXPECT_STRNE(img.GetLastError(), "");

        const QString whole = WriteStrips(dir.filePath("whole.tif"), 300, c.bits == 1 ? 16 : 1,
                                          c.compression, c.bits, true);
        ASSERT_FALSE(whole.isEmpty());
        EXPECT_TRUE(img.Load(whole, kDibFormatTiff)) << img.GetLastError();
    }
}

// A JPEG's header declares its size; libjpeg decodes missing data as blank blocks. A small
// file declaring a huge picture fails at once, while one declaring what it holds loads.
TEST(DibCodecsLimits, JpegDeclaringFarMoreThanItHoldsFailsFast) {
    CDibImage small = MakeSolid(64, 64, QvRgb(250, 250, 250));
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    ASSERT_TRUE(small.EncodeToMemory(buffer, size, kDibFormatJpeg));
    std::vector<uint8_t> bytes(buffer, buffer + size);
    CDibImage::FreeEncodedMemory(buffer);
    size_t sof = 2;
    while (sof + 9 < bytes.size() && !(bytes[sof] == 0xFF && bytes[sof + 1] == 0xC0))
        sof += 2 + (bytes[sof + 2] << 8 | bytes[sof + 3]);
    ASSERT_LT(sof + 9, bytes.size());
    CDibImage img;
    ASSERT_TRUE(img.Decode(bytes.data(), bytes.size(), kDibFormatJpeg)) << img.GetLastError();
    for (uint8_t* field : {&bytes[sof + 5], &bytes[sof + 7]}) {
        field[0] = 20000 >> 8;
        field[1] = 20000 & 0xFF;
    }
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(img.Decode(bytes.data(), bytes.size(), kDibFormatJpeg));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_STREQ(img.GetLastError(), "JPEG: the file is too small for the picture it declares");
}

// The thinnest real data the size check must let through: a blank page of CCITT G4 costs
// about one bit a row.
TEST(DibCodecsLimits, BlankG4PageStillLoads) {
    CDibImage page;
    ASSERT_TRUE(page.Create(3307, 4677, 1, 0));
    page.SetPaletteColor(0, 0, 0, 0);
    page.SetPaletteColor(1, 255, 255, 255);
    for (uint32_t y = 0; y < page.GetHeight(); ++y)
        std::memset(page.GetRow(y), 0xFF, page.GetEffWidth());
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    ASSERT_TRUE(page.EncodeToMemory(buffer, size, kDibFormatTiff));
    EXPECT_LT(size, 2000);
    CDibImage back;
    EXPECT_TRUE(back.Decode(buffer, size_t(size), kDibFormatTiff)) << back.GetLastError();
    CDibImage::FreeEncodedMemory(buffer);
    EXPECT_EQ(back.GetHeight(), 4677u);
    EXPECT_EQ(back.GetPixelColour(1000, 2000), QvRgb(255, 255, 255));
}

}  // namespace
