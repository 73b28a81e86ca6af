#pragma once
// A camera frame as it arrives: 24-bit rows (blue, green, red), top row first, `stride` bytes
// apart. The rows stay readable while `owner` is held, so a frame can be shown, and turned into
// pictures later, without a copy; a frame without an owner is only borrowed for one call.

#include <cstdint>
#include <memory>

struct FrameRows {
    const uint8_t* rows = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
    std::shared_ptr<const void> owner;

    bool IsValid() const {
        return rows != nullptr && width > 0 && height > 0 && stride >= width * 3;
    }
    const uint8_t* Row(uint32_t y) const { return rows + size_t(y) * stride; }
    // A DIB row's length for this width: 24-bit pixels padded to a multiple of 4 bytes.
    static uint32_t DibStride(uint32_t width) { return (width * 3 + 3) & ~3u; }
};
