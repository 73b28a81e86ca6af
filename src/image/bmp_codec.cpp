#include "image/bmp_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/decode_options.h"
#include "image/dib_image.h"
#include "image/dib_pixels.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads the rest of the stream; false, with what fits read, when it holds more than the picture
// memory limit.
bool ReadAll(std::FILE* f, std::vector<uint8_t>& data) {
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        const uint64_t room =
            CDibImage::GetMaxMemory() - std::min<uint64_t>(data.size(), CDibImage::GetMaxMemory());
        data.insert(data.end(), chunk, chunk + std::min<uint64_t>(n, room));
        if (n > room)
            return false;
    }
    return true;
}

struct BmpInfo {
    uint32_t headerSize = 0, width = 0, height = 0, bits = 0, compression = 0;
    uint32_t colours = 0, paletteEntrySize = 4;
    bool topDown = false;
    int32_t ppmX = 0, ppmY = 0;
    uint32_t masks[3] = {};
};

// One colour channel described by a bit mask, scaled to 0..255.
struct Channel {
    uint32_t mask = 0, shift = 0, max = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m)
            return;
        while (!((m >> shift) & 1))
            ++shift;
        max = m >> shift;
    }
    uint8_t Get(uint32_t v) const {
        if (!max)
            return 0;
        return uint8_t((uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
    }
};

bool ParseHeaders(const std::vector<uint8_t>& d, BmpInfo& info, std::string& error) {
    if (d.size() < kFileHeaderSize + 12 || d[0] != 'B' || d[1] != 'M') {
        error = "BMP: not a BMP file";
        return false;
    }
    const uint8_t* h = d.data() + kFileHeaderSize;
    info.headerSize = Le32(h);
    const uint32_t hs = info.headerSize;
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 64 && hs != 108 && hs != 124) {
        error = "BMP: unknown header size";
        return false;
    }
    if (d.size() < kFileHeaderSize + hs) {
        error = "BMP: file too short";
        return false;
    }
    int32_t width, height;
    uint16_t planes;
    if (hs == 12) {
        width = Le16(h + 4);
        height = int16_t(Le16(h + 6));
        planes = Le16(h + 8);
        info.bits = Le16(h + 10);
        info.paletteEntrySize = 3;
    } else {
        width = int32_t(Le32(h + 4));
        height = int32_t(Le32(h + 8));
        planes = Le16(h + 12);
        info.bits = Le16(h + 14);
        info.compression = Le32(h + 16);
        info.ppmX = int32_t(Le32(h + 24));
        info.ppmY = int32_t(Le32(h + 28));
        info.colours = Le32(h + 32);
        if (hs >= 52) {
            for (int i = 0; i < 3; ++i)
                info.masks[i] = Le32(h + 40 + 4 * i);
        }
    }
    if (planes != 1) {
        error = "BMP: planes must be 1";
        return false;
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        error = "BMP: negative or zero image size";
        return false;
    }
    info.width = uint32_t(width);
    info.topDown = height < 0;
    info.height = uint32_t(height < 0 ? -height : height);
    const uint32_t b = info.bits, c = info.compression;
    const bool fine =
        (c == kRgb && (b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32)) ||
        (c == kRle8 && b == 8) || (c == kRle4 && b == 4) ||
        ((c == kBitFields || c == kAlphaBitFields) && (b == 16 || b == 32));
    if (!fine) {
        error = "BMP: unsupported bit count or compression";
        return false;
    }
    if ((c == kRle8 || c == kRle4) && info.topDown) {
        error = "BMP: compressed pictures cannot be top-down";
        return false;
    }
    return true;
}

bool ReadPalette(const std::vector<uint8_t>& d, const BmpInfo& info, size_t at, CDibImage& img,
                 std::string& error) {
    const uint32_t max = 1u << info.bits;
    uint32_t count = info.colours && info.headerSize != 12 ? info.colours : max;
    count = std::min(count, max);
    // A short palette ends where the pixels begin (core headers give no count at all).
    const size_t pixels = Le32(d.data() + 10);
    if (pixels > at)
        count = uint32_t(std::min<size_t>(count, (pixels - at) / info.paletteEntrySize));
    if (at + size_t(count) * info.paletteEntrySize > d.size()) {
        error = "BMP: file too short";
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = d.data() + at + size_t(i) * info.paletteEntrySize;
        img.SetPaletteColor(i, p[2], p[1], p[0]);
    }
    return true;
}

void DecodeRle(const uint8_t* p, const uint8_t* end, bool four, CDibImage& img) {
    const uint32_t w = img.GetWidth(), h = img.GetHeight(), bits = four ? 4 : 8;
    for (uint32_t y = 0; y < h; ++y)
        std::memset(img.GetRow(y), 0, img.GetEffWidth());
    uint32_t x = 0, y = 0;
    auto put = [&](uint32_t index) {
        if (x < w && y < h)
            SetPackedIndex(img.GetRow(y), x, bits, index);
        ++x;
    };
    while (p + 2 <= end && y < h) {
        const uint32_t count = p[0], value = p[1];
        p += 2;
        if (count) {
            for (uint32_t i = 0; i < count; ++i) {
                put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
            }
            continue;
        }
        if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (p + 2 > end)
                return;
            x += p[0], y += p[1];
            p += 2;
        } else {
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (p + bytes > end)
                return;
            for (uint32_t i = 0; i < value; ++i) {
                put(four ? ((i & 1) ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            }
            p += (bytes + 1) & ~size_t(1);
        }
    }
}

void DecodeMasked(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bits,
                  const Channel ch[3]) {
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = bits == 16 ? Le16(src + 2 * x) : Le32(src + 4 * x);
        dst[3 * x] = ch[2].Get(v);
        dst[3 * x + 1] = ch[1].Get(v);
        dst[3 * x + 2] = ch[0].Get(v);
    }
}

bool DecodePixels(const std::vector<uint8_t>& d, const BmpInfo& info, size_t offset, CDibImage& img,
                  std::string& error) {
    const uint8_t* base = d.data() + offset;
    const uint8_t* end = d.data() + d.size();
    if (info.compression == kRle8 || info.compression == kRle4) {
        DecodeRle(base, end, info.compression == kRle4, img);
        return true;
    }
    const uint64_t stride = (uint64_t(info.width) * info.bits + 31) / 32 * 4;
    if (offset > d.size() || stride * info.height > uint64_t(end - base)) {
        error = "BMP: pixel data truncated";
        return false;
    }
    uint32_t masks[3] = {info.masks[0], info.masks[1], info.masks[2]};
    if (info.compression == kRgb) {
        masks[0] = info.bits == 16 ? 0x7C00 : 0xFF0000;
        masks[1] = info.bits == 16 ? 0x03E0 : 0x00FF00;
        masks[2] = info.bits == 16 ? 0x001F : 0x0000FF;
    }
    const Channel channels[3] = {Channel(masks[0]), Channel(masks[1]), Channel(masks[2])};
    for (uint32_t i = 0; i < info.height; ++i) {
        const uint8_t* src = base + stride * i;
        uint8_t* dst = img.GetRow(info.topDown ? info.height - 1 - i : i);
        if (info.bits <= 8 || info.bits == 24) {
            std::memcpy(dst, src, std::min<size_t>(size_t(stride), img.GetEffWidth()));
        } else {
            DecodeMasked(src, dst, info.width, info.bits, channels);
        }
    }
    return true;
}

}  // namespace

bool DecodeBmp(std::FILE* stream, CDibImage& out, std::string& error, DecodeOptions* options) {
    std::vector<uint8_t> d;
    uint8_t magic[2];
    if (std::fread(magic, 1, 2, stream) != 2 || magic[0] != 'B' || magic[1] != 'M') {
        error = "BMP: not a BMP file";
        return false;
    }
    d.assign(magic, magic + 2);
    // A file larger than a picture may be still has its headers in what was read.
    const bool whole = ReadAll(stream, d);
    BmpInfo info;
    if (!ParseHeaders(d, info, error))
        return false;
    if (info.compression == kBitFields && info.headerSize == 40) {
        const size_t at = kFileHeaderSize + 40;
        if (at + 12 > d.size()) {
            error = "BMP: file too short";
            return false;
        }
        for (int i = 0; i < 3; ++i)
            info.masks[i] = Le32(d.data() + at + 4 * i);
    }
    const uint32_t bits = info.bits <= 8 ? info.bits : 24;
    // Never reduced: the file is in memory already, and its pixels take no more.
    if (options && !options->Admit(info.width, info.height, bits, false, error))
        return false;
    if (!whole) {
        error = "BMP: file too large";
        return false;
    }
    if (!out.Create(info.width, info.height, bits, kDibFormatBmp)) {
        error = out.GetLastError();
        return false;
    }
    if (info.ppmX > 0)
        out.SetXDpi(int32_t(std::floor(info.ppmX * 0.0254 + 0.5)));
    if (info.ppmY > 0)
        out.SetYDpi(int32_t(std::floor(info.ppmY * 0.0254 + 0.5)));
    size_t paletteAt = kFileHeaderSize + info.headerSize;
    if (info.headerSize == 40 && info.compression == kBitFields)
        paletteAt += 12;
    if (info.bits <= 8 && !ReadPalette(d, info, paletteAt, out, error)) {
        out.Destroy();
        return false;
    }
    const size_t offset = Le32(d.data() + 10);
    if (offset >= d.size() || !DecodePixels(d, info, offset, out, error)) {
        if (error.empty())
            error = "BMP: pixel data truncated";
        out.Destroy();
        return false;
    }
    return true;
}

bool EncodeBmp(std::FILE* stream, const CDibImage& img, std::string& error) {
    const size_t dibSize = img.GetDibSize();
    const uint64_t fileSize = uint64_t(kFileHeaderSize) + dibSize;
    if (fileSize > UINT32_MAX) {
        error = "BMP: picture too large for BMP";
        return false;
    }
    const uint32_t offBits = kFileHeaderSize + 40 + img.GetNumColors() * 4;
    uint8_t header[kFileHeaderSize] = {'B', 'M'};
    const uint32_t size32 = uint32_t(fileSize);
    std::memcpy(header + 2, &size32, 4);
    std::memcpy(header + 10, &offBits, 4);
    if (std::fwrite(header, 1, sizeof header, stream) != sizeof header ||
        std::fwrite(img.GetDib(), 1, dibSize, stream) != dibSize) {
        error = "BMP: write error";
        return false;
    }
    return true;
}
