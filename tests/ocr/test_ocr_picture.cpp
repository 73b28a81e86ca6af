// The picture's preparation for the recognition engine: grey from every depth, the glyph height
// measured on drawn blocks, the scale it leads to, the selection box, and a huge picture.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "image/dib_image.h"
#include "ocr/ink_pieces.h"
#include "ocr/ocr_picture.h"

namespace {

// A white picture of the given depth (palette 0 = black, last entry = white for palette
// pictures) with black blocks `glyph` pixels high, spaced like letters on lines.
CDibImage Page(uint32_t bits, int32_t width, int32_t height, int32_t glyph) {
    CDibImage image;
    EXPECT_TRUE(image.Create(uint32_t(width), uint32_t(height), bits, 0));
    const uint32_t white = bits == 24 ? 0 : image.GetNumColors() - 1;
    if (bits != 24) {
        image.SetGreyRamp();
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = image.GetRow(uint32_t(height - 1 - y));
        const bool lineRow = glyph > 0 && (y / glyph) % 2 == 1;
        for (int32_t x = 0; x < width; ++x) {
            const bool ink =
                lineRow && x >= glyph && x < width - glyph && (x / (glyph / 2 + 1)) % 2;
            if (bits == 24) {
                std::memset(row + 3 * x, ink ? 0 : 255, 3);
            } else {
                const uint32_t index = ink ? 0 : white;
                if (bits == 8) {
                    row[x] = uint8_t(index);
                } else if (bits == 4) {
                    row[x / 2] = uint8_t((x & 1) ? (row[x / 2] & 0xF0) | index
                                                 : (row[x / 2] & 0x0F) | (index << 4));
                } else {
                    const uint8_t bit = uint8_t(0x80 >> (x & 7));
                    row[x / 8] = uint8_t(index ? row[x / 8] | bit : row[x / 8] & ~bit);
                }
            }
        }
    }
    return image;
}

}  // namespace

// Every depth gives the same grey picture: black ink on white paper, top row first.
TEST(OcrPicture, GreyFromEveryDepth) {
    for (uint32_t bits : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bits);
        const CDibImage page = Page(bits, 64, 40, 10);
        const std::vector<uint8_t> grey = OcrGreyPixels(page);
        ASSERT_EQ(grey.size(), 64u * 40u);
        EXPECT_EQ(grey[0], 255);                   // top-left: paper
        EXPECT_EQ(grey[size_t(15) * 64 + 19], 0);  // row 15 is a line of ink, column 19 a glyph
        EXPECT_EQ(grey[size_t(15) * 64 + 13], 255);
    }
}

// The measured height follows the drawn glyphs, and the scale brings them to the height the
// engine reads best; glyphs inside the band are left at their size.
TEST(OcrPicture, GlyphHeightAndScale) {
    struct Case {
        int32_t glyph;
        double scale;
    };
    for (const Case& c : {Case{8, 2.0}, Case{12, 2.0}, Case{20, 1.0}, Case{30, 1.0},
                          Case{60, 24.0 / 60}, Case{120, 24.0 / 120}}) {
        SCOPED_TRACE(c.glyph);
        const CDibImage page = Page(8, 40 * c.glyph, 12 * c.glyph, c.glyph);
        const std::vector<uint8_t> grey = OcrGreyPixels(page);
        const int32_t w = int32_t(page.GetWidth());
        const int32_t measured =
            CInkPieces(grey.data(), w, int32_t(page.GetHeight()), w).GlyphHeight();
        EXPECT_EQ(measured, c.glyph);
        const OcrPicture prepared = PrepareOcrPicture(page);
        EXPECT_NEAR(prepared.scale, c.scale, 0.01);
        EXPECT_EQ(prepared.grey.size(), size_t(prepared.width) * size_t(prepared.height));
    }
    // A blank page has no glyphs to measure and stays as it is.
    const CDibImage blank = Page(24, 300, 200, 0);
    const std::vector<uint8_t> grey = OcrGreyPixels(blank);
    EXPECT_EQ(CInkPieces(grey.data(), 300, 200, 300).GlyphHeight(), 0);
    EXPECT_EQ(PrepareOcrPicture(blank).scale, 1.0);
}

// Only the region is prepared, and boxes map back into the picture's pixels.
TEST(OcrPicture, RegionAndBoxesBack) {
    const CDibImage page = Page(24, 2400, 1200, 60);
    const OcrPicture part = PrepareOcrPicture(page, QvRect{600, 300, 1800, 900});
    EXPECT_NEAR(part.scale, 0.4, 0.01);
    EXPECT_EQ(part.width, 480 + 2 * part.margin);
    EXPECT_EQ(part.height, 240 + 2 * part.margin);
    const QvRect back = part.ToPicture(
        QvRect{part.margin, part.margin, part.width - part.margin, part.height - part.margin});
    EXPECT_EQ(back, (QvRect{600, 300, 1800, 900}));
    // A region reaching past the picture is clipped; one wholly outside gives nothing to read.
    EXPECT_EQ(PrepareOcrPicture(page, QvRect{2000, 1000, 3000, 2000}).origin.x, 2000);
    EXPECT_TRUE(PrepareOcrPicture(page, QvRect{2500, 0, 2600, 100}).IsEmpty());
    EXPECT_TRUE(PrepareOcrPicture(CDibImage()).IsEmpty());
}

// The dark desk around a photographed page becomes paper; the letters stay.
TEST(OcrPicture, DeskAroundThePageIsCleared) {
    CDibImage photo = Page(24, 800, 600, 20);
    for (uint32_t y = 0; y < 600; ++y) {
        uint8_t* row = photo.GetRow(y);
        for (uint32_t x = 0; x < 800; ++x) {
            if (x < 12 || x >= 790 || y < 9 || y >= 588)
                std::memset(row + 3 * x, 40, 3);
        }
    }
    const OcrPicture prepared = PrepareOcrPicture(photo);
    const auto at = [&](int32_t x, int32_t y) {
        return prepared.grey[size_t(y + prepared.margin) * size_t(prepared.width) +
                             size_t(x + prepared.margin)];
    };
    EXPECT_EQ(at(3, 300), 255);
    EXPECT_EQ(at(400, 595), 255);
    EXPECT_EQ(at(38, 30), 0);  // a letter on the second line
}

// A huge black-and-white picture is reduced to what the engine can hold, without a full-size
// grey copy.
TEST(OcrPicture, HugePictureIsReduced) {
    CDibImage huge;
    ASSERT_TRUE(huge.Create(9000, 6000, 1, 0));
    huge.SetGreyRamp();
    for (uint32_t y = 0; y < huge.GetHeight(); ++y)
        std::memset(huge.GetRow(y), 0xFF, huge.GetEffWidth());
    const OcrPicture prepared = PrepareOcrPicture(huge);
    ASSERT_FALSE(prepared.IsEmpty());
    EXPECT_LE(
        int64_t(prepared.width - 2 * prepared.margin) * (prepared.height - 2 * prepared.margin),
        kOcrMaxPixels);
    EXPECT_NEAR(double(prepared.width - 2 * prepared.margin) / prepared.scale, 9000, 9);
}
