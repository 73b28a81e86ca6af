#pragma once
// Scaling of one-byte grey pictures (rows top first, no padding): each new pixel averages the
// old pixels it covers when the picture shrinks, and is interpolated between its four nearest
// neighbours when it grows. Separable, in two passes.

#include <cstdint>
#include <vector>

// Empty when a size is not positive.
std::vector<uint8_t> ResampleGrey(const uint8_t* grey, int32_t width, int32_t height,
                                  int32_t newWidth, int32_t newHeight);
