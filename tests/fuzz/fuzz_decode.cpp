// Decodes arbitrary bytes as a picture of any format; a decoded picture's rows must all be
// readable to their full stride.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/dib_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDibImage image;
    if (!image.Decode(data, size, kDibFormatUnknown)) {
        return 0;
    }
    const uint32_t stride = image.GetEffWidth();
    volatile uint8_t sink = 0;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        const uint8_t* row = image.GetRow(y);
        if (!row) {
            std::abort();  // a valid picture has every row
        }
        sink = sink ^ row[0] ^ row[stride - 1];
    }
    return 0;
}
