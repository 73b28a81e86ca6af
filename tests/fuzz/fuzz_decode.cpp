// Decodes arbitrary bytes as a picture of any format, whole and reduced as the picture view
// first reads files; a decoded picture's rows must all be readable to their full stride.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/decode_options.h"
#include "image/dib_image.h"

namespace {

void ReadEveryRow(const CDibImage& image) {
    const uint32_t stride = image.GetEffWidth();
    volatile uint8_t sink = 0;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        const uint8_t* row = image.GetRow(y);
        if (!row) {
            std::abort();  // a valid picture has every row
        }
        sink = sink ^ row[0] ^ row[stride - 1];
    }
    if (image.HasAlpha()) {
        sink = sink ^ image.GetAlpha()[size_t(image.GetWidth()) * image.GetHeight() - 1];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDibImage image;
    if (image.Decode(data, size, kDibFormatUnknown)) {
        ReadEveryRow(image);
    }
    DecodeOptions options;
    options.needWidth = options.needHeight = 16;
    CDibImage reduced;
    if (reduced.Decode(data, size, kDibFormatUnknown, &options)) {
        ReadEveryRow(reduced);
        if (options.reduced && (reduced.GetWidth() < 16 || reduced.GetHeight() < 16)) {
            std::abort();  // a reduced picture keeps what was asked for
        }
    }
    return 0;
}
