// What a recording is made of without GStreamer: the shown picture written as frame rows, and
// the recordings' file names.

#include <gtest/gtest.h>

#include <QString>
#include <set>
#include <vector>

#include "capture/record_file_name.h"
#include "capture/record_frame.h"
#include "image/dib_image.h"
#include "image/dib_pixels.h"

namespace {

// A picture whose stored pixel (x, y) has palette index / grey (x + 3y) & 0xFF, or for 1 bit
// (x + y) & 1; 24-bit pixels carry x, y and 7 in blue, green, red.
CDibImage Picture(uint32_t width, uint32_t height, uint32_t bits) {
    CDibImage picture;
    picture.Create(width, height, bits, kDibFormatUnknown);
    if (bits == 8)
        picture.SetGreyRamp();
    if (bits == 1) {
        picture.SetPaletteColor(0, 0, 0, 0);
        picture.SetPaletteColor(1, 255, 255, 255);
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = picture.GetRow(y);
        for (uint32_t x = 0; x < width; ++x) {
            if (bits == 24) {
                row[3 * x] = uint8_t(x);
                row[3 * x + 1] = uint8_t(y);
                row[3 * x + 2] = 7;
            } else if (bits == 8) {
                row[x] = uint8_t(x + 3 * y);
            } else {
                SetPackedIndex(row, x, 1, (x + y) & 1);
            }
        }
    }
    return picture;
}

// BGR of the picture's stored pixel (x, y), as the frame must show it.
std::array<uint8_t, 3> Expected(uint32_t bits, uint32_t x, uint32_t y) {
    if (bits == 24)
        return {uint8_t(x), uint8_t(y), 7};
    const uint8_t v = bits == 8 ? uint8_t(x + 3 * y) : ((x + y) & 1 ? 255 : 0);
    return {v, v, v};
}

struct FrameCase {
    const char* name;
    uint32_t width, height, bits;  // the picture
    int frameWidth, frameHeight;
};

class FrameCopy : public ::testing::TestWithParam<FrameCase> {};

// Frame rows run top first, padded to the stride; nothing is written past a row's pixels.
TEST_P(FrameCopy, WritesTopRowFirstThroughThePalette) {
    const FrameCase& c = GetParam();
    const CDibImage picture = Picture(c.width, c.height, c.bits);
    const size_t stride = (size_t(c.frameWidth) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> frame(stride * c.frameHeight + 16, 0xEE);
    ASSERT_TRUE(CopyPictureToFrame(picture, frame.data(), stride, c.frameWidth, c.frameHeight));
    const bool scaled =
        c.width > uint32_t(c.frameWidth) + 1 || c.height > uint32_t(c.frameHeight) + 1;
    for (int y = 0; y < c.frameHeight; ++y) {
        const uint32_t sy = scaled ? uint32_t(y) * c.height / c.frameHeight : uint32_t(y);
        for (int x = 0; x < c.frameWidth; ++x) {
            const uint32_t sx = scaled ? uint32_t(x) * c.width / c.frameWidth : uint32_t(x);
            const uint8_t* p = &frame[size_t(y) * stride + size_t(x) * 3];
            const auto want = Expected(c.bits, sx, c.height - 1 - sy);
            ASSERT_EQ(std::vector<uint8_t>(p, p + 3),
                      std::vector<uint8_t>(want.begin(), want.end()))
                << c.name << " at " << x << "," << y;
        }
    }
    EXPECT_EQ(frame[stride * c.frameHeight], 0xEE);  // past the frame: untouched
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameCopy,
                         ::testing::Values(FrameCase{"colour", 7, 5, 24, 7, 5},
                                           FrameCase{"grey", 9, 4, 8, 9, 4},
                                           FrameCase{"black and white", 13, 3, 1, 13, 3},
                                           FrameCase{"odd size cut to even", 7, 5, 24, 6, 4},
                                           FrameCase{"another size scaled", 12, 8, 24, 6, 4},
                                           FrameCase{"grey scaled", 12, 8, 8, 5, 3}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST(FrameCopy, RefusesWhatItCannotWrite) {
    std::vector<uint8_t> frame(64 * 3 * 4);
    const CDibImage empty;
    EXPECT_FALSE(CopyPictureToFrame(empty, frame.data(), 12, 4, 4));
    const CDibImage picture = Picture(4, 4, 24);
    EXPECT_FALSE(CopyPictureToFrame(picture, frame.data(), 11, 4, 4));  // stride too small
    EXPECT_FALSE(CopyPictureToFrame(picture, frame.data(), 12, 0, 4));
}

// The examples: D:\Video, prefix Clip, counter 0 gives Clip00000d.wmv, then Clip00001d.wmv;
// formats other than 0 and 1 give an empty extension; a taken name is passed over.
TEST(RecordFileName, NamesAndCounter) {
    EXPECT_EQ(RecordExtension(0), "wmv");
    EXPECT_EQ(RecordExtension(1), "avi");
    EXPECT_EQ(RecordExtension(7), "");
    std::set<QString> taken = {"/v/Clip00001d.avi"};
    const auto exists = [&taken](const QString& path) { return taken.count(path) > 0; };
    int32_t counter = 0;
    EXPECT_EQ(NextRecordPath("/v", "Clip", counter, "wmv", exists), "/v/Clip00000d.wmv");
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(NextRecordPath("/v", "Clip", counter, "avi", exists), "/v/Clip00002d.avi");
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(NextRecordPath("/v", "Clip", counter, "", exists), "/v/Clip00003d.");
    EXPECT_EQ(BuildRecordPath("/v", "", 123456, "avi"), "/v/123456d.avi");
    EXPECT_EQ(BuildRecordPath("/v", "R", -1, "avi"), "/v/R-0001d.avi");
}

}  // namespace
