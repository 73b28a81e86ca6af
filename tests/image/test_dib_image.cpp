// Layout, arithmetic and geometry of the picture object.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "image/dib_image.h"
#include "test_image_util.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

TEST(DibImageLayout, HeaderFieldsAndStride) {
    struct Case {
        uint32_t width, height, bits, bpp, stride, colours;
    };
    const Case cases[] = {{100, 1, 24, 24, 300, 0}, {101, 1, 24, 24, 304, 0}, {33, 2, 1, 1, 8, 2},
                          {5, 3, 3, 4, 4, 16},      {7, 2, 6, 8, 8, 256},     {3, 3, 32, 24, 12, 0},
                          {3, 1, 0, 1, 4, 2}};
    for (const Case& c : cases) {
        CDibImage img;
        ASSERT_TRUE(img.Create(c.width, c.height, c.bits, kDibFormatPng));
        EXPECT_EQ(img.GetBpp(), c.bpp) << c.bits;
        EXPECT_EQ(img.GetEffWidth(), c.stride) << c.width << "x" << c.bits;
        const uint8_t* h = img.GetDib();
        EXPECT_EQ(Le32(h + 0), 40u);
        EXPECT_EQ(Le32(h + 4), c.width);
        EXPECT_EQ(Le32(h + 8), c.height);
        EXPECT_EQ(h[12] | h[13] << 8, 1);
        EXPECT_EQ(h[14] | h[15] << 8, int(c.bpp));
        EXPECT_EQ(Le32(h + 16), 0u);
        EXPECT_EQ(Le32(h + 20), c.stride * c.height);
        EXPECT_EQ(Le32(h + 24), 3780u);
        EXPECT_EQ(Le32(h + 28), 3780u);
        EXPECT_EQ(Le32(h + 32), c.colours);
        EXPECT_EQ(Le32(h + 36), 0u);
        EXPECT_EQ(img.GetDibSize(), 40 + 4 * c.colours + c.stride * c.height);
        if (c.height > 1) {
            EXPECT_EQ(img.GetRow(1) - img.GetRow(0), ptrdiff_t(c.stride));
        }
        EXPECT_EQ(img.GetRow(c.height), nullptr);
        EXPECT_EQ(img.GetType(), uint32_t(kDibFormatPng));
    }
}

TEST(DibImageLayout, ResolutionWrittenAsPixelsPerMetre) {
    CDibImage img;
    img.SetXDpi(300);
    img.SetYDpi(-5);
    ASSERT_TRUE(img.Create(2, 2, 24, 0));
    EXPECT_EQ(Le32(img.GetDib() + 24), 11811u);  // floor(300 * 10000 / 254 + 0.5)
    EXPECT_EQ(Le32(img.GetDib() + 28), 3780u);
    EXPECT_EQ(img.GetYDpi(), 96);
    img.SetXDpi(72);
    EXPECT_EQ(Le32(img.GetDib() + 24), 2835u);
}

TEST(DibImageLayout, RefusesEmptyAndHugeSizes) {
    CDibImage img;
    EXPECT_FALSE(img.Create(0, 5, 24, 0));
    EXPECT_STREQ(img.GetLastError(),
                 "CDibImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(img.Create(5, 0, 24, 0));
    EXPECT_FALSE(img.Create(100000, 100000, 24, 0));  // 10 gigapixels
    EXPECT_FALSE(img.Create(0x80000000u, 1, 1, 0));
    EXPECT_FALSE(img.IsValid());
    EXPECT_FALSE(img.ToGrey());
    EXPECT_FALSE(img.Mirror());
    EXPECT_FALSE(img.Crop(0, 0, 1, 1));
}

TEST(DibImageCopy, CopiesBlockAlphaAndInformation) {
    CDibImage a = MakeNoise(17, 9, 24, 1);
    a.AlphaCreate();
    a.GetAlpha()[5] = 7;
    a.SetQuality(33);
    a.SetTransparentIndex(3);
    a.SetXDpi(200);
    CDibImage b(a);
    EXPECT_EQ(b.GetDibSize(), a.GetDibSize());
    EXPECT_EQ(std::memcmp(a.GetDib(), b.GetDib(), a.GetDibSize()), 0);
    EXPECT_NE(a.GetDib(), b.GetDib());
    ASSERT_TRUE(b.HasAlpha());
    EXPECT_EQ(b.GetAlpha()[5], 7);
    EXPECT_EQ(b.GetQuality(), 33);
    EXPECT_EQ(b.GetTransparentIndex(), 3);
    EXPECT_EQ(b.GetXDpi(), 200);
    const CDibImage& alias = b;
    b = alias;  // self-assignment keeps everything
    EXPECT_TRUE(b.Copy(alias));
    EXPECT_EQ(std::memcmp(a.GetDib(), b.GetDib(), a.GetDibSize()), 0);
    CDibImage c(std::move(b));
    EXPECT_FALSE(b.IsValid());
    EXPECT_TRUE(SamePixels(a, c));
}

TEST(DibImageCreateFromPixels, CopiesAndFlipsRows) {
    const uint32_t w = 5, h = 3, bpl = (w * 3 + 3) & ~3u;
    std::vector<uint8_t> data(bpl * h);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7);
    CDibImage plain, flipped;
    ASSERT_TRUE(plain.CreateFromPixels(data.data(), w, h, 24, bpl, false));
    ASSERT_TRUE(flipped.CreateFromPixels(data.data(), w, h, 24, bpl, true));
    for (uint32_t i = 0; i < h; ++i) {
        EXPECT_EQ(std::memcmp(plain.GetRow(i), &data[i * bpl], w * 3), 0);
        EXPECT_EQ(std::memcmp(flipped.GetRow(h - 1 - i), &data[i * bpl], w * 3), 0);
    }
    EXPECT_FALSE(plain.CreateFromPixels(nullptr, w, h, 24, bpl, false));
    EXPECT_FALSE(plain.CreateFromPixels(data.data(), w, h, 16, bpl, false));
}

TEST(DibImageCreateFromPixels, ThirtyTwoBitsBringAnAlphaPlane) {
    const uint8_t px[8] = {1, 2, 3, 40, 5, 6, 7, 80};
    CDibImage img;
    ASSERT_TRUE(img.CreateFromPixels(px, 2, 1, 32, 8, false));
    EXPECT_EQ(img.GetBpp(), 24u);
    ASSERT_TRUE(img.HasAlpha());
    EXPECT_EQ(img.GetAlpha()[0], 40);
    EXPECT_EQ(img.GetAlpha()[1], 80);
    EXPECT_EQ(img.GetPixelColour(1, 0), QvRgb(7, 6, 5));
}

TEST(DibImageGrey, WeightsOfPrimaries) {
    struct Case {
        QvColour colour;
        uint8_t grey;
    };
    const Case cases[] = {
        {QvRgb(255, 0, 0), 76}, {QvRgb(0, 255, 0), 149},
        {QvRgb(0, 0, 255), 29}, {QvRgb(255, 255, 255), 255},
        {QvRgb(0, 0, 0), 0},    {QvRgb(10, 200, 30), (306 * 10 + 601 * 200 + 117 * 30) >> 10}};
    for (const Case& c : cases) {
        CDibImage img = MakeSolid(3, 2, c.colour);
        img.AlphaCreate();
        ASSERT_TRUE(img.ToGrey());
        EXPECT_EQ(img.GetBpp(), 8u);
        EXPECT_TRUE(img.IsGreyRamp());
        EXPECT_TRUE(img.HasAlpha());
        EXPECT_EQ(img.GetRow(1)[2], c.grey) << std::hex << c.colour;
    }
}

TEST(DibImageGrey, PaletteImagesExpandThroughTheirEntries) {
    for (uint32_t bits : {1u, 4u, 8u}) {
        CDibImage img;
        ASSERT_TRUE(img.Create(9, 2, bits, 0));
        img.SetPaletteColor(0, 0, 0, 255);  // blue: grey 29
        img.SetPaletteColor(1, 255, 0, 0);  // red: grey 76
        std::memset(img.GetRow(0), 0, img.GetEffWidth() * 2);
        img.GetRow(1)[0] = bits == 1 ? 0x80 : bits == 4 ? 0x10 : 1;
        img.SetTransparentIndex(1);
        ASSERT_TRUE(img.ToGrey());
        EXPECT_EQ(img.GetBpp(), 8u);
        EXPECT_TRUE(img.IsGreyRamp());
        EXPECT_EQ(img.GetRow(1)[0], 76) << bits;
        EXPECT_EQ(img.GetRow(1)[1], 29) << bits;
        EXPECT_EQ(img.GetRow(0)[8], 29) << bits;
        EXPECT_EQ(img.GetTransparentIndex(), 76);
    }
}

TEST(DibImageThreshold, LevelSplitsGreys) {
    // Grey levels 0, 127, 128, 129, 255 on one row of a grey picture and a colour picture.
    const uint8_t greys[] = {0, 127, 128, 129, 255, 200, 1, 128, 129};
    for (uint32_t bits : {8u, 24u}) {
        CDibImage img;
        ASSERT_TRUE(img.Create(9, 1, bits, kDibFormatJpeg));
        img.SetGreyRamp();
        for (int x = 0; x < 9; ++x) {
            if (bits == 8) {
                img.GetRow(0)[x] = greys[x];
            } else {
                std::memset(img.GetRow(0) + 3 * x, greys[x], 3);
            }
        }
        img.AlphaCreate();
        ASSERT_TRUE(img.Threshold(128));
        EXPECT_EQ(img.GetBpp(), 1u);
        EXPECT_EQ(img.GetType(), 0u);
        EXPECT_FALSE(img.HasAlpha());
        EXPECT_EQ(img.GetPaletteColor(0), QvRgb(0, 0, 0));
        EXPECT_EQ(img.GetPaletteColor(1), QvRgb(255, 255, 255));
        // bits: 0 0 0 1 1 1 0 0 | 1 -> 0x1C, 0x80
        EXPECT_EQ(img.GetRow(0)[0], 0x1C) << bits;
        EXPECT_EQ(img.GetRow(0)[1], 0x80) << bits;
    }
    CDibImage white = MakeSolid(4, 4, QvRgb(255, 255, 255));
    ASSERT_TRUE(white.Threshold(255));
    EXPECT_EQ(white.GetRow(0)[0] & 0xF0, 0);  // level 255: all black
    ASSERT_TRUE(white.Threshold(0));          // already 1 bit: unchanged
}

// Rows wide enough for the vector paths (eight, sixteen and thirty-two pixels a step, each
// stopping short of the row's end), with tails of every length.
TEST(DibImageGrey, WideRowsMatchTheFormulaAtEveryPixel) {
    for (uint32_t width :
         {1u, 8u, 9u, 10u, 16u, 17u, 18u, 19u, 31u, 33u, 34u, 35u, 64u, 101u, 1601u}) {
        const CDibImage colour = MakeNoise(width, 3, 24, width);
        CDibImage grey(colour), bw(colour);
        ASSERT_TRUE(grey.ToGrey());
        ASSERT_TRUE(bw.Threshold(100));
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const QvColour c = colour.GetPixelColour(x, y);
                const uint32_t g = (306 * QvRed(c) + 601 * QvGreen(c) + 117 * QvBlue(c)) >> 10;
                ASSERT_EQ(grey.GetRow(y)[x], g) << width << " " << x;
                ASSERT_EQ(bw.GetPixelColour(x, y), g > 100 ? QvRgb(255, 255, 255) : 0u);
            }
            // Pad bits of the 1-bit rows stay clear.
            const uint32_t used = width % 8;
            if (used) {
                EXPECT_EQ(bw.GetRow(y)[width / 8] & (0xFF >> used), 0);
            }
        }
    }
}

class DibImageGeometry : public ::testing::TestWithParam<uint32_t> {};

TEST_P(DibImageGeometry, MirrorMatchesPixelDefinition) {
    const uint32_t bits = GetParam();
    CDibImage img = MakeNoise(13, 5, bits, 2);
    img.AlphaCreate();
    for (uint32_t i = 0; i < 13 * 5; ++i)
        img.GetAlpha()[i] = uint8_t(i);
    CDibImage m(img);
    ASSERT_TRUE(m.Mirror());
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 13; ++x) {
            ASSERT_EQ(m.GetPixelColour(x, y), img.GetPixelColour(12 - x, y));
            ASSERT_EQ(m.GetAlpha()[y * 13 + x], img.GetAlpha()[y * 13 + 12 - x]);
        }
    }
}

// Colour rows are reversed sixteen pixels at a time from both ends: widths around multiples
// of sixteen and thirty-two reach every tail, and the row padding stays as it was.
TEST(DibImageGeometry, MirrorAndHalfTurnOfColourRowsAtEveryTail) {
    for (uint32_t w : {1u,  2u,  3u,  15u, 16u, 17u, 31u, 32u, 33u,  47u,
                       48u, 49u, 63u, 64u, 65u, 95u, 96u, 97u, 100u, 1601u}) {
        SCOPED_TRACE(w);
        const uint32_t h = 3;
        CDibImage img = MakeNoise(w, h, 24, w);
        CDibImage m(img), half;
        ASSERT_TRUE(m.Mirror());
        ASSERT_TRUE(img.Rotate180(&half));
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                ASSERT_EQ(m.GetPixelColour(x, y), img.GetPixelColour(w - 1 - x, y)) << x;
                ASSERT_EQ(half.GetPixelColour(x, y), img.GetPixelColour(w - 1 - x, h - 1 - y)) << x;
            }
            for (uint32_t i = w * 3; i < img.GetEffWidth(); ++i)
                ASSERT_EQ(m.GetRow(y)[i], img.GetRow(y)[i]);
        }
    }
}

void TurnAndCheck(uint32_t bits, uint32_t W, uint32_t H) {
    CDibImage img = MakeNoise(W, H, bits, 3);
    img.AlphaCreate();
    for (uint32_t i = 0; i < W * H; ++i)
        img.GetAlpha()[i] = uint8_t(i * 31);
    CDibImage left, right, half;
    ASSERT_TRUE(img.RotateLeft90(&left));
    ASSERT_TRUE(img.RotateRight90(&right));
    ASSERT_TRUE(img.Rotate180(&half));
    ASSERT_EQ(left.GetWidth(), H);
    ASSERT_EQ(left.GetHeight(), W);
    for (uint32_t y = 0; y < W; ++y) {
        for (uint32_t x = 0; x < H; ++x) {
            ASSERT_EQ(left.GetPixelColour(x, y), img.GetPixelColour(y, H - 1 - x));
            ASSERT_EQ(right.GetPixelColour(x, y), img.GetPixelColour(W - 1 - y, x));
            ASSERT_EQ(left.GetAlpha()[y * H + x], img.GetAlpha()[(H - 1 - x) * W + y]);
        }
    }
    for (uint32_t y = 0; y < H; ++y) {
        for (uint32_t x = 0; x < W; ++x) {
            ASSERT_EQ(half.GetPixelColour(x, y), img.GetPixelColour(W - 1 - x, H - 1 - y));
        }
    }
    // In place: four left turns give the picture back.
    CDibImage round(img);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(round.RotateLeft90());
    EXPECT_TRUE(SamePixels(round, img));
}

TEST_P(DibImageGeometry, QuarterTurnsMatchTheirFormulas) {
    const uint32_t bits = GetParam();
    // 130 x 67 crosses tile edges in both directions; 128 x 20 has unpadded 24-bit rows, so the
    // last pixel of the block ends the allocation.
    for (const auto& [W, H] : {std::pair{130u, 67u}, std::pair{128u, 20u}}) {
        SCOPED_TRACE(W);
        TurnAndCheck(bits, W, H);
    }
}

TEST_P(DibImageGeometry, CropTakesRowsFromTheTop) {
    const uint32_t bits = GetParam();
    CDibImage img = MakeNoise(20, 10, bits, 4);
    img.SetTransparentIndex(1);
    CDibImage a, b;
    ASSERT_TRUE(img.Crop(3, 2, 11, 7, &a));
    ASSERT_TRUE(img.Crop(11, 7, 3, 2, &b));  // reversed pairs: same area
    EXPECT_TRUE(SamePixels(a, b));
    ASSERT_EQ(a.GetWidth(), 8u);
    ASSERT_EQ(a.GetHeight(), 5u);
    EXPECT_EQ(a.GetTransparentIndex(), 1);
    for (uint32_t j = 0; j < 5; ++j) {
        for (uint32_t i = 0; i < 8; ++i) {
            // row (2 + j) from the top is stored row 10 - 1 - (2 + j)
            ASSERT_EQ(a.GetPixelColour(i, 4 - j), img.GetPixelColour(3 + i, 7 - j));
        }
    }
}

TEST_P(DibImageGeometry, ResampleNearestTruncates) {
    const uint32_t bits = GetParam();
    CDibImage img = MakeNoise(10, 6, bits, 5);
    CDibImage out;
    ASSERT_TRUE(img.Resample(25, 4, 1, &out));
    ASSERT_EQ(out.GetWidth(), 25u);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 25; ++x) {
            const uint32_t sx = uint32_t(float(x) * (10.0f / 25.0f));
            const uint32_t sy = uint32_t(float(y) * (6.0f / 4.0f));
            ASSERT_EQ(out.GetPixelColour(x, y), img.GetPixelColour(sx, sy));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DibImageGeometry, ::testing::Values(1u, 4u, 8u, 24u));

TEST(DibImageCrop, ClampsAndRefusesEmptyAreas) {
    CDibImage img = MakeNoise(10, 10, 24, 6);
    const std::vector<uint8_t> before(img.GetDib(), img.GetDib() + img.GetDibSize());
    EXPECT_FALSE(img.Crop(12, 0, 20, 5));  // wholly right of the picture
    EXPECT_FALSE(img.Crop(3, 4, 3, 8));
    EXPECT_FALSE(img.Crop(QvRect{0, -5, 10, -1}));
    EXPECT_EQ(std::vector<uint8_t>(img.GetDib(), img.GetDib() + img.GetDibSize()), before);
    ASSERT_TRUE(img.Crop(-5, -5, 4, 100));
    EXPECT_EQ(img.GetWidth(), 4u);
    EXPECT_EQ(img.GetHeight(), 10u);
}

TEST(DibImageResample, SameSizeAndZeroSize) {
    CDibImage img = MakeNoise(8, 8, 24, 7);
    const uint8_t* block = img.GetDib();
    ASSERT_TRUE(img.Resample(8, 8));
    EXPECT_EQ(img.GetDib(), block);  // untouched
    CDibImage copy;
    ASSERT_TRUE(img.Resample(8, 8, 1, &copy));
    EXPECT_TRUE(SamePixels(copy, img));
    EXPECT_FALSE(img.Resample(0, 8));
    EXPECT_FALSE(img.Resample(8, -1));
}

TEST(DibImageReduceDepth, MoreBitsFailSameBitsKeep) {
    CDibImage img = MakeNoise(8, 8, 8, 8);
    const uint8_t* block = img.GetDib();
    EXPECT_FALSE(img.ReduceDepth(24));
    EXPECT_TRUE(img.ReduceDepth(8));
    EXPECT_EQ(img.GetDib(), block);
    CDibImage colour = MakeSolid(4, 4, QvRgb(255, 255, 255));
    ASSERT_TRUE(colour.ReduceDepth(24));
    ASSERT_TRUE(colour.ReduceDepth(1));
    EXPECT_EQ(colour.GetPixelColour(3, 3), QvRgb(255, 255, 255));
}

TEST(DibImageRotate, RightAnglesTakeTheShortcut) {
    CDibImage img = MakeNoise(40, 25, 24, 9);
    struct Case {
        float angle;
        bool (CDibImage::*turn)(CDibImage*);
    };
    const Case cases[] = {{90.0f, &CDibImage::RotateRight90},
                          {-90.0f, &CDibImage::RotateLeft90},
                          {270.0f, &CDibImage::RotateLeft90},
                          {180.0f, &CDibImage::Rotate180}};
    for (const Case& c : cases) {
        CDibImage viaRotate, direct;
        ASSERT_TRUE(img.Rotate(c.angle, &viaRotate));
        ASSERT_TRUE((img.*c.turn)(&direct));
        EXPECT_TRUE(SamePixels(viaRotate, direct)) << c.angle;
    }
    CDibImage big = MakeNoise(2000, 1500, 24, 10);
    CDibImage same;
    ASSERT_TRUE(big.Rotate(0.001f, &same));
    EXPECT_TRUE(SamePixels(same, big));
}

TEST(DibImageRotate, GrowsTheCanvasAndFillsWithTheReplacement) {
    CDibImage img = MakeSolid(100, 50, QvRgb(10, 20, 30));
    CDibImage out;
    ASSERT_TRUE(img.Rotate(45.0f, &out));
    // Turned box: (100 + 50) / sqrt 2 = 106.07 on each side.
    EXPECT_EQ(out.GetWidth(), 106u);
    EXPECT_EQ(out.GetHeight(), 106u);
    EXPECT_EQ(out.GetPixelColour(0, 0), QvRgb(255, 255, 255));
    EXPECT_EQ(out.GetPixelColour(53, 53), QvRgb(10, 20, 30));
    // A smooth ramp turned by a small angle stays a ramp (bilinear, no jumps).
    CDibImage ramp;
    ASSERT_TRUE(ramp.Create(64, 64, 24, 0));
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            std::memset(ramp.GetRow(y) + 3 * x, int(x * 4), 3);
    CDibImage turned;
    ASSERT_TRUE(ramp.Rotate(3.0f, &turned));
    const uint8_t* mid = turned.GetRow(turned.GetHeight() / 2);
    for (uint32_t x = 20; x < 40; ++x) {
        EXPECT_GE(mid[3 * (x + 1)] + 1, mid[3 * x]) << x;
        EXPECT_LE(mid[3 * (x + 1)] - mid[3 * x], 6) << x;
    }
}

// The 24-bit path steps in fixed point; the general path samples each point in floating
// point (it runs for pictures with an alpha plane). Both must agree to rounding.
TEST(DibImageRotate, FixedPointStepsAgreeWithPointSampling) {
    CDibImage img = MakeNoise(300, 170, 24, 12);
    CDibImage withAlpha(img);
    ASSERT_TRUE(withAlpha.AlphaCreate());
    for (float angle : {7.5f, -33.0f, 121.0f}) {
        CDibImage fast, general;
        ASSERT_TRUE(img.Rotate(angle, &fast));
        ASSERT_TRUE(withAlpha.Rotate(angle, &general));
        ASSERT_EQ(fast.GetWidth(), general.GetWidth());
        ASSERT_EQ(fast.GetHeight(), general.GetHeight());
        int worst = 0;
        for (uint32_t y = 0; y < fast.GetHeight(); ++y) {
            const uint8_t* a = fast.GetRow(y);
            const uint8_t* b = general.GetRow(y);
            for (uint32_t i = 0; i < fast.GetWidth() * 3; ++i) {
                worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
            }
        }
        EXPECT_LE(worst, 2) << angle;
    }
}

TEST(DibImageRotate, PalettePicturesGetNearestEntries) {
    CDibImage img = MakeNoise(30, 20, 8, 11);
    img.SetGreyRamp();
    CDibImage out;
    ASSERT_TRUE(img.Rotate(30.0f, &out));
    EXPECT_EQ(out.GetBpp(), 8u);
    EXPECT_TRUE(out.IsGreyRamp());
    EXPECT_EQ(out.GetRow(0)[0], 255);  // white background is entry 255 of the ramp
}

}  // namespace
