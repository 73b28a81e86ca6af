#pragma once
// The picture a recording receives: the shown picture (a bottom-up DIB of 24, 8, 4 or 1 bits
// per pixel) written as 24-bit BGR rows, top row first, into a frame of the recording's size.
// Pictures of 8 bits or fewer go through their palette, so grey and black-and-white pictures
// are recorded as 24-bit. A picture of another size is scaled to the frame by nearest
// neighbours, except that one spare column or row (a size cut to even numbers) is left out.

#include <cstddef>
#include <cstdint>

class CDibImage;

// Writes picture into frame (height rows of stride bytes, stride >= width * 3). False, with
// frame untouched, when the picture is empty or has a depth other than 1, 4, 8 or 24 bits.
bool CopyPictureToFrame(const CDibImage& picture, uint8_t* frame, size_t stride, int width,
                        int height);
