#pragma once
// A camera frame made into a picture.

#include "image/dib_image.h"
#include "image/frame_rows.h"

// Stores a camera frame in image, flipped to the bottom-up order when asked and mirrored left to
// right when asked. The image's block is reused when it already has the frame's shape, which is
// the case for every frame after the first. False when the image cannot be made.
bool StoreFrame(CDibImage& image, const FrameRows& frame, bool flip, bool mirror);
