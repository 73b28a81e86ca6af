#pragma once
// Has the live picture changed? A small grey copy of each frame (a thumb: a grid about 400 cells
// wide, each cell the mean of four of its pixels) and one comparison of two thumbs that tells a
// real change (a hand, a page moved, lifted or turned, another page) from what a still picture
// does between frames: sensor noise, exposure drift, compression flicker, a shake of a pixel or
// two. Automatic cropping asks it whether the outline found last still holds; page capture asks
// it whether anything moves and whether a still page is another page than the last photo's.

#include <cstdint>
#include <vector>

#include "image/frame_rows.h"

struct PictureThumb {
    int32_t width = 0;  // cells
    int32_t height = 0;
    int32_t cell = 0;  // frame pixels per cell side
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    std::vector<uint8_t> grey;  // width * height cells, top row first

    bool IsValid() const { return width > 0 && height > 0; }
    uint8_t At(int32_t x, int32_t y) const { return grey[size_t(y) * size_t(width) + size_t(x)]; }
};

// The thumb of a 24-bit frame (rows in either order: the comparison does not care, as long as
// both thumbs are made the same way). False, and thumb emptied, for a frame too small to give
// 8 x 8 cells.
bool MakePictureThumb(const FrameRows& frame, PictureThumb& thumb);

struct PictureDifference {
    // Both thumbs come from frames of the same size; otherwise everything counts as changed.
    bool comparable = false;
    // Share of the cells (0 ... 1) whose grey lies outside what the other picture shows around
    // the same place, after the two pictures' brightness has been matched.
    float changedShare = 1;
};

// Compares two thumbs. A cell changed when its grey lies more than a noise margin outside the
// range of the 3 x 3 cells around the same place in the other picture, either way round, so a
// feature that moved by less than a cell changes nothing; brightness is matched first by a
// straight-line fit (gain and offset), so exposure changes nothing either.
PictureDifference ComparePictures(const PictureThumb& now, const PictureThumb& before);

// The picture has changed: more than this share of its cells did. Still pictures of the
// simulated camera change none at any of its sizes and desks (its noise, a JPEG round trip of
// each frame, a resting hand's tremor of a pixel, an exposure drift of 25 grey levels, except on
// the bright desk, where white paper clips and up to 0.9 % change: a change that costs one more
// look, never a photo); a page pushed by 8 pixels changes 1 % and more, a hand coming in 2.5 %.
// (bench/capture/page_change_measures prints these figures.)
constexpr float kPictureChangedShare = 0.001f;
inline bool PictureChanged(const PictureThumb& now, const PictureThumb& before) {
    return ComparePictures(now, before).changedShare > kPictureChangedShare;
}

struct ContentDifference {
    bool comparable = false;
    // Parts of the pictures (blocks of cells) that show detail in either.
    int32_t detailedBlocks = 0;
    // Of those, the share that the other picture cannot match (0 ... 1).
    float differingShare = 1;
};

// Whether two still pictures show the same thing, wherever it lies: each block of `now` is
// lined up with `before` at the shift of up to a few cells that matches it best (so a page
// pushed or laid down again slightly turned still matches) and differs when what remains is
// large beside the block's own detail. Two pages of one layout differ in their words.
ContentDifference CompareContent(const PictureThumb& now, const PictureThumb& before);
