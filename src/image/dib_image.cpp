#include "image/dib_image.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "image/bmp_codec.h"
#include "image/decode_options.h"
#include "image/dib_pixels.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"
#include "image/tiff_codec.h"
#include "platform/regular_file.h"

namespace {

constexpr uint32_t kHeaderSize = 40;
constexpr int kTileSize = 64;

uint64_t g_maxBlockBytes = 3ull << 30;

void Put16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}
void Put32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}
uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

int32_t DpiToPixelsPerMetre(int32_t dpi) {
    return int32_t(std::floor(double(dpi) * 10000.0 / 254.0 + 0.5));
}

uint32_t NormaliseBits(uint32_t bits) {
    if (bits <= 1)
        return 1;
    if (bits <= 4)
        return 4;
    if (bits <= 8)
        return 8;
    return 24;
}

uint32_t PaletteEntries(uint32_t bits) {
    return bits == 24 ? 0 : (1u << bits);
}

uint32_t StrideFor(uint32_t width, uint32_t bits) {
    return uint32_t(((uint64_t(width) * bits + 31) / 32) * 4);
}

uint8_t GreyOf(uint8_t r, uint8_t g, uint8_t b) {
    return uint8_t((306 * r + 601 * g + 117 * b) >> 10);
}

// Quarter turn of a plane of whole-byte pixels, tile by tile. Destination (x, y) reads the
// source at p0 + x * step for the row's base pointer p0, so both turns share one loop.
// 24-bit pixels move as 4-byte words whose fourth byte the next pixel overwrites; the last
// pixel of a destination row, and any source pixel at the very end of the plane, move as bytes.
template <int N>
void TurnBytes(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride, uint32_t srcW,
               uint32_t srcH, bool left) {
    const uint32_t newW = srcH, newH = srcW;
    const ptrdiff_t step = left ? -ptrdiff_t(srcStride) : ptrdiff_t(srcStride);
    const uint8_t* srcEnd = src + srcStride * (srcH - 1) + size_t(srcW) * N;
    for (uint32_t ty = 0; ty < newH; ty += kTileSize) {
        const uint32_t ty1 = std::min<uint32_t>(newH, ty + kTileSize);
        for (uint32_t tx = 0; tx < newW; tx += kTileSize) {
            const uint32_t tx1 = std::min<uint32_t>(newW, tx + kTileSize);
            for (uint32_t y = ty; y < ty1; ++y) {
                const uint8_t* p = left ? src + size_t(srcH - 1 - tx) * srcStride + size_t(y) * N
                                        : src + size_t(tx) * srcStride + size_t(srcW - 1 - y) * N;
                uint8_t* d = dst + size_t(y) * dstStride + size_t(tx) * N;
                if constexpr (N == 1) {
                    for (uint32_t x = tx; x < tx1; ++x, p += step, ++d)
                        *d = *p;
                } else {
                    uint32_t x = tx;
                    const uint32_t wordEnd = tx1 == newW ? tx1 - 1 : tx1;
                    for (; x < wordEnd; ++x, p += step, d += 3) {
                        if (p + 4 > srcEnd)
                            break;
                        uint32_t v;
                        std::memcpy(&v, p, 4);
                        std::memcpy(d, &v, 4);
                    }
                    for (; x < tx1; ++x, p += step, d += 3) {
                        d[0] = p[0];
                        d[1] = p[1];
                        d[2] = p[2];
                    }
                }
            }
        }
    }
}

}  // namespace

void CDibImage::SetMaxMemory(uint64_t bytes) {
    g_maxBlockBytes = bytes;
}
uint64_t CDibImage::GetMaxMemory() {
    return g_maxBlockBytes;
}

CDibImage::CDibImage(uint32_t type) : type_(type) {}

CDibImage::CDibImage(const CDibImage& source) {
    Copy(source);
}

CDibImage& CDibImage::operator=(const CDibImage& source) {
    if (this != &source)
        Copy(source);
    return *this;
}

CDibImage::CDibImage(CDibImage&& source) noexcept {
    *this = std::move(source);
}

CDibImage& CDibImage::operator=(CDibImage&& source) noexcept {
    if (this == &source)
        return *this;
    std::free(block_);
    std::free(alpha_);
    block_ = std::exchange(source.block_, nullptr);
    alpha_ = std::exchange(source.alpha_, nullptr);
    CopyInfo(source);
    std::memcpy(lastError_, source.lastError_, sizeof lastError_);
    return *this;
}

CDibImage::~CDibImage() {
    std::free(block_);
    std::free(alpha_);
}

void CDibImage::CopyInfo(const CDibImage& source) {
    type_ = source.type_;
    transparentIndex_ = source.transparentIndex_;
    transparentColour_ = source.transparentColour_;
    quality_ = source.quality_;
    xDpi_ = source.xDpi_;
    yDpi_ = source.yDpi_;
    alphaMax_ = source.alphaMax_;
    enabled_ = source.enabled_;
    damaged_ = source.damaged_;
}

bool CDibImage::Copy(const CDibImage& source, bool copyPixels, bool /*copySelection*/,
                     bool copyAlpha) {
    if (this == &source)
        return true;
    if (!source.IsValid()) {
        Destroy();
        CopyInfo(source);
        return true;
    }
    CDibImage tmp;
    tmp.CopyInfo(source);
    if (!tmp.Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.type_)) {
        SetLastError(tmp.lastError_);
        return false;
    }
    const size_t headerAndPalette = kHeaderSize + size_t(source.GetNumColors()) * 4;
    std::memcpy(tmp.block_, source.block_, copyPixels ? source.GetDibSize() : headerAndPalette);
    if (copyAlpha && source.alpha_) {
        if (!tmp.AlphaCreate()) {
            SetLastError("CDibImage::Copy can't allocate memory");
            return false;
        }
        std::memcpy(tmp.alpha_, source.alpha_, size_t(source.GetWidth()) * source.GetHeight());
    }
    *this = std::move(tmp);
    return true;
}

bool CDibImage::Destroy() {
    std::free(block_);
    std::free(alpha_);
    block_ = nullptr;
    alpha_ = nullptr;
    return true;
}

void CDibImage::SetLastError(const char* text) {
    if (text == lastError_)
        return;
    std::snprintf(lastError_, sizeof lastError_, "%s", text ? text : "");
}

bool CDibImage::CheckSize(uint64_t width, uint64_t height, uint32_t bits, std::string& error) {
    if (width == 0 || height == 0) {
        error = "CDibImage::Create : width and height must be greater than zero";
        return false;
    }
    if (width > uint64_t(INT32_MAX) || height > uint64_t(INT32_MAX) ||
        width * height > kMaxPixels) {
        error = "CDibImage::Create : image too large";
        return false;
    }
    const uint64_t bytes = uint64_t(StrideFor(uint32_t(width), NormaliseBits(bits))) * height;
    const uint64_t alpha = bits > 24 ? width * height : 0;
    if (bytes > UINT32_MAX || bytes + alpha + kHeaderSize + 1024 > g_maxBlockBytes) {
        error = "CDibImage::Create : image needs more memory than allowed";
        return false;
    }
    return true;
}

bool CDibImage::Create(uint32_t width, uint32_t height, uint32_t bits, uint32_t type) {
    if (!Destroy())
        return false;
    std::string error;
    if (!CheckSize(width, height, bits, error)) {
        SetLastError(error.c_str());
        return false;
    }
    bits = NormaliseBits(bits);
    const uint32_t colours = PaletteEntries(bits);
    const uint32_t stride = StrideFor(width, bits);
    const uint32_t imageSize = stride * height;
    const size_t total = kHeaderSize + size_t(colours) * 4 + imageSize;
    block_ = static_cast<uint8_t*>(std::malloc(total));
    if (!block_) {
        SetLastError("CDibImage::Create can't allocate memory");
        return false;
    }
    uint8_t* h = block_;
    Put32(h + 0, kHeaderSize);
    Put32(h + 4, width);
    Put32(h + 8, height);
    Put16(h + 12, 1);
    Put16(h + 14, uint16_t(bits));
    Put32(h + 16, 0);
    Put32(h + 20, imageSize);
    Put32(h + 24, uint32_t(DpiToPixelsPerMetre(xDpi_)));
    Put32(h + 28, uint32_t(DpiToPixelsPerMetre(yDpi_)));
    Put32(h + 32, colours);
    Put32(h + 36, 0);
    std::memset(h + kHeaderSize, 0, size_t(colours) * 4);
    type_ = type;
    return true;
}

bool CDibImage::CreateFromPixels(const uint8_t* data, uint32_t width, uint32_t height,
                                 uint32_t bits, uint32_t bytesPerLine, bool flipRows) {
    if (!data || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
        SetLastError("CDibImage::CreateFromPixels : invalid arguments");
        return false;
    }
    CDibImage tmp;
    tmp.CopyInfo(*this);
    if (!tmp.Create(width, height, bits, type_)) {
        SetLastError(tmp.lastError_);
        return false;
    }
    if (bits == 32 && !tmp.AlphaCreate()) {
        SetLastError("CDibImage::CreateFromPixels can't allocate memory");
        return false;
    }
    const uint32_t stride = tmp.GetEffWidth();
    for (uint32_t i = 0; i < height; ++i) {
        const uint8_t* src = data + size_t(i) * bytesPerLine;
        const uint32_t y = flipRows ? height - 1 - i : i;
        uint8_t* dst = tmp.GetRow(y);
        if (bits == 32) {
            uint8_t* a = tmp.alpha_ + size_t(y) * width;
            const uint32_t n = std::min(width, bytesPerLine / 4);
            for (uint32_t x = 0; x < n; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
                a[x] = src[4 * x + 3];
            }
            std::memset(dst + 3 * n, 0, stride - 3 * n);
            continue;
        }
        const uint32_t n = std::min(stride, bytesPerLine);
        std::memcpy(dst, src, n);
        if (n < stride)
            std::memset(dst + n, 0, stride - n);
    }
    if (bits < 24)
        tmp.SetGreyRamp();
    *this = std::move(tmp);
    return true;
}

uint32_t CDibImage::GetWidth() const {
    return block_ ? Get32(block_ + 4) : 0;
}
uint32_t CDibImage::GetHeight() const {
    return block_ ? Get32(block_ + 8) : 0;
}
uint32_t CDibImage::GetBpp() const {
    return block_ ? Get16(block_ + 14) : 0;
}
uint32_t CDibImage::GetEffWidth() const {
    return block_ ? StrideFor(GetWidth(), GetBpp()) : 0;
}
uint32_t CDibImage::GetNumColors() const {
    return block_ ? Get32(block_ + 32) : 0;
}

uint8_t* CDibImage::GetRow(uint32_t y) {
    return const_cast<uint8_t*>(std::as_const(*this).GetRow(y));
}

const uint8_t* CDibImage::GetRow(uint32_t y) const {
    if (!block_ || y >= GetHeight())
        return nullptr;
    return block_ + kHeaderSize + size_t(GetNumColors()) * 4 + size_t(y) * GetEffWidth();
}

size_t CDibImage::GetDibSize() const {
    if (!block_)
        return 0;
    return kHeaderSize + size_t(GetNumColors()) * 4 + size_t(GetEffWidth()) * GetHeight();
}

uint8_t* CDibImage::GetPalette() {
    return const_cast<uint8_t*>(std::as_const(*this).GetPalette());
}

const uint8_t* CDibImage::GetPalette() const {
    return block_ && GetNumColors() ? block_ + kHeaderSize : nullptr;
}

bool CDibImage::SetPaletteColor(uint32_t index, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* pal = GetPalette();
    if (!pal || index >= GetNumColors())
        return false;
    pal[4 * index] = b;
    pal[4 * index + 1] = g;
    pal[4 * index + 2] = r;
    pal[4 * index + 3] = 0;
    return true;
}

QvColour CDibImage::GetPaletteColor(uint32_t index) const {
    const uint8_t* pal = GetPalette();
    if (!pal || index >= GetNumColors())
        return 0;
    return QvRgb(pal[4 * index + 2], pal[4 * index + 1], pal[4 * index]);
}

bool CDibImage::IsGreyRamp() const {
    const uint8_t* pal = GetPalette();
    const uint32_t n = GetNumColors();
    if (!pal)
        return false;
    // A 1- or 4-bit palette is a ramp when its entries spread evenly from black to white.
    const uint32_t scale = n > 1 ? 255 / (n - 1) : 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t v = uint8_t(i * scale);
        if (pal[4 * i] != v || pal[4 * i + 1] != v || pal[4 * i + 2] != v)
            return false;
    }
    return true;
}

void CDibImage::SetGreyRamp() {
    const uint32_t n = GetNumColors();
    const uint32_t scale = n > 1 ? 255 / (n - 1) : 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t v = uint8_t(i * scale);
        SetPaletteColor(i, v, v, v);
    }
}

bool CDibImage::AlphaCreate() {
    if (!block_)
        return false;
    if (alpha_)
        return true;
    const size_t n = size_t(GetWidth()) * GetHeight();
    alpha_ = static_cast<uint8_t*>(std::malloc(n));
    if (!alpha_)
        return false;
    std::memset(alpha_, 255, n);
    return true;
}

void CDibImage::AlphaDelete() {
    std::free(alpha_);
    alpha_ = nullptr;
}

void CDibImage::SetXDpi(int32_t dpi) {
    xDpi_ = dpi <= 0 ? 96 : dpi;
    if (block_)
        Put32(block_ + 24, uint32_t(DpiToPixelsPerMetre(xDpi_)));
}

void CDibImage::SetYDpi(int32_t dpi) {
    yDpi_ = dpi <= 0 ? 96 : dpi;
    if (block_)
        Put32(block_ + 28, uint32_t(DpiToPixelsPerMetre(yDpi_)));
}

// ---------------------------------------------------------------------------------------------
// Files and memory

// Only regular files: a FIFO would block the user-interface thread, and a device never ends.
static std::FILE* OpenForLoading(const QString& path) {
    const int fd = OpenRegularFile(path, O_RDONLY);
    std::FILE* f = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (fd >= 0 && f == nullptr) {
        ::close(fd);
    }
    return f;
}

bool CDibImage::Load(const QString& path, uint32_t type, DecodeOptions* options) {
    if (type >= 1 && type <= 17) {
        std::FILE* f = OpenForLoading(path);
        if (!f) {
            SetLastError(errno == ENODEV || errno == EISDIR ? "Load: not a regular file"
                                                            : "Load: can't open file");
            return false;
        }
        const bool ok = Decode(f, type, options);
        std::fclose(f);
        // A picture refused as too large, or a cancelled load, is not tried as other formats.
        if (ok || (options && options->Final()))
            return ok;
    }
    char kept[sizeof lastError_];
    std::memcpy(kept, lastError_, sizeof kept);
    std::FILE* f = OpenForLoading(path);
    if (!f)
        return false;
    const bool ok = Decode(f, kDibFormatUnknown, options);
    std::fclose(f);
    if (!ok && type != kDibFormatUnknown)
        std::memcpy(lastError_, kept, sizeof kept);
    return ok;
}

bool CDibImage::DecodeAs(std::FILE* stream, uint32_t type, CDibImage& out, std::string& error,
                         DecodeOptions* options) {
    if (options) {
        options->fullWidth = options->fullHeight = 0;
        options->reduced = false;
    }
    switch (type) {
        case kDibFormatBmp:
            return DecodeBmp(stream, out, error, options);
        case kDibFormatJpeg:
            return DecodeJpeg(stream, out, error, options);
        case kDibFormatPng:
            return DecodePng(stream, out, error, options);
        case kDibFormatTiff:
            return DecodeTiff(stream, out, error, options);
        default:
            error = UnsupportedDecodeText(type);
            return false;
    }
}

const char* CDibImage::UnsupportedDecodeText(uint32_t /*type*/) {
    return "Decode: Unknown or wrong format";
}

bool CDibImage::Decode(std::FILE* stream, uint32_t type, DecodeOptions* options) {
    if (!stream) {
        SetLastError("null file handler");
        return false;
    }
    std::string error;
    CDibImage tmp;
    tmp.quality_ = quality_;
    if (type != kDibFormatUnknown) {
        if (!DecodeAs(stream, type, tmp, error, options)) {
            SetLastError(error.c_str());
            return false;
        }
        tmp.type_ = type;
        *this = std::move(tmp);
        return true;
    }
    const long start = std::ftell(stream);
    static constexpr uint32_t kOrder[] = {kDibFormatBmp, kDibFormatJpeg, kDibFormatPng,
                                          kDibFormatTiff};
    for (uint32_t candidate : kOrder) {
        if (start >= 0)
            std::fseek(stream, start, SEEK_SET);
        std::clearerr(stream);
        CDibImage attempt;
        attempt.quality_ = quality_;
        if (DecodeAs(stream, candidate, attempt, error, options)) {
            attempt.type_ = candidate;
            *this = std::move(attempt);
            return true;
        }
        if (options && options->Final()) {
            SetLastError(error.c_str());
            return false;
        }
    }
    SetLastError("Decode: Unknown or wrong format");
    return false;
}

bool CDibImage::Decode(const uint8_t* data, size_t size, uint32_t type, DecodeOptions* options) {
    if (!data || size == 0) {
        SetLastError("Decode: Unknown or wrong format");
        return false;
    }
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) {
        SetLastError("null file handler");
        return false;
    }
    const bool ok = Decode(f, type, options);
    std::fclose(f);
    return ok;
}

bool CDibImage::Save(const QString& path, uint32_t type) {
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f) {
        SetLastError("Save: can't open file");
        return false;
    }
    bool ok = Encode(f, type);
    if (std::fclose(f) != 0)
        ok = false;
    return ok;
}

bool CDibImage::Encode(std::FILE* stream, uint32_t type) {
    if (!stream) {
        SetLastError("null file handler");
        return false;
    }
    if (!IsValid()) {
        SetLastError("null image!!!");
        return false;
    }
    std::string error;
    bool ok = false;
    switch (type) {
        case kDibFormatBmp:
            ok = EncodeBmp(stream, *this, error);
            break;
        case kDibFormatJpeg:
            ok = EncodeJpeg(stream, *this, error);
            break;
        case kDibFormatPng:
            ok = EncodePng(stream, *this, error);
            break;
        case kDibFormatTiff:
            ok = EncodeTiff(stream, *this, error);
            break;
        default:
            error = "Encode: Unknown format";
            break;
    }
    if (ok && std::ferror(stream)) {
        ok = false;
        error = "Encode: write error";
    }
    if (!ok)
        SetLastError(error.c_str());
    return ok;
}

bool CDibImage::EncodeToMemory(uint8_t*& buffer, int32_t& size, uint32_t type) {
    if (buffer) {
        SetLastError("the buffer must be empty");
        return false;
    }
    char* mem = nullptr;
    size_t memSize = 0;
    std::FILE* f = open_memstream(&mem, &memSize);
    if (!f) {
        SetLastError("EncodeToMemory: can't allocate memory");
        return false;
    }
    bool ok = Encode(f, type);
    if (std::fclose(f) != 0)
        ok = false;
    if (ok && memSize > size_t(INT32_MAX)) {
        SetLastError("EncodeToMemory: encoded picture too large");
        ok = false;
    }
    if (!ok) {
        std::free(mem);
        return false;
    }
    buffer = reinterpret_cast<uint8_t*>(mem);
    size = int32_t(memSize);
    return true;
}

void CDibImage::FreeEncodedMemory(uint8_t* buffer) {
    std::free(buffer);
}

bool CDibImage::LoadFromResource(const QString& resource, uint32_t type) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        SetLastError("Unable to load resource!");
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) {
        SetLastError("Unable to load resource!");
        return false;
    }
    return Decode(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), type);
}

// ---------------------------------------------------------------------------------------------
// Picture operations

bool CDibImage::CreateLike(const CDibImage& source, uint32_t width, uint32_t height,
                           uint32_t bits) {
    CopyInfo(source);
    if (!Create(width, height, bits, source.type_))
        return false;
    const uint32_t n = std::min(GetNumColors(), source.GetNumColors());
    if (n)
        std::memcpy(GetPalette(), source.GetPalette(), size_t(n) * 4);
    return true;
}

bool CDibImage::Finish(CDibImage& result, CDibImage* destination) {
    if (destination && destination != this) {
        *destination = std::move(result);
    } else {
        *this = std::move(result);
    }
    return true;
}

bool CDibImage::Fail(const CDibImage& from) {
    SetLastError(from.lastError_);
    return false;
}

bool CDibImage::ToGrey() {
    if (!IsValid())
        return false;
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    CDibImage grey;
    if (bpp == 24) {
        if (!grey.CreateLike(*this, w, h, 8))
            return Fail(grey);
        grey.SetGreyRamp();
        for (uint32_t y = 0; y < h; ++y)
            GreyRow(GetRow(y), grey.GetRow(y), w);
        grey.alpha_ = std::exchange(alpha_, nullptr);
        return Finish(grey, nullptr);
    }
    uint8_t* pal = GetPalette();
    const uint32_t n = GetNumColors();
    uint8_t lut[256] = {};
    for (uint32_t i = 0; i < n; ++i) {
        lut[i] = GreyOf(pal[4 * i + 2], pal[4 * i + 1], pal[4 * i]);
    }
    if (bpp == 8) {
        for (uint32_t y = 0; y < h; ++y) {
            uint8_t* row = GetRow(y);
            for (uint32_t x = 0; x < w; ++x)
                row[x] = lut[row[x]];
        }
    } else {
        if (!grey.CreateLike(*this, w, h, 8))
            return Fail(grey);
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* src = GetRow(y);
            uint8_t* dst = grey.GetRow(y);
            for (uint32_t x = 0; x < w; ++x)
                dst[x] = lut[GetPackedIndex(src, x, bpp)];
        }
        grey.alpha_ = std::exchange(alpha_, nullptr);
        *this = std::move(grey);
    }
    if (transparentIndex_ >= 0 && uint32_t(transparentIndex_) < n) {
        transparentIndex_ = lut[transparentIndex_];
    }
    SetGreyRamp();
    return true;
}

bool CDibImage::Threshold(uint8_t level) {
    if (!IsValid())
        return false;
    if (GetBpp() == 1)
        return true;
    const uint32_t w = GetWidth(), h = GetHeight();
    CDibImage bw;
    bw.CopyInfo(*this);
    if (!bw.Create(w, h, 1, kDibFormatUnknown))
        return Fail(bw);
    bw.SetPaletteColor(0, 0, 0, 0);
    bw.SetPaletteColor(1, 255, 255, 255);
    if (GetBpp() == 24) {
        // One pass from colour straight to bits gives ToGrey's values without the grey copy.
        uint8_t* grey = static_cast<uint8_t*>(std::malloc(w));
        if (!grey) {
            SetLastError("CDibImage::Threshold can't allocate memory");
            return false;
        }
        for (uint32_t y = 0; y < h; ++y) {
            GreyRow(GetRow(y), grey, w);
            PackThreshold(grey, bw.GetRow(y), w, level);
        }
        std::free(grey);
    } else {
        if (!ToGrey())
            return false;
        for (uint32_t y = 0; y < h; ++y)
            PackThreshold(GetRow(y), bw.GetRow(y), w, level);
    }
    bw.type_ = kDibFormatUnknown;
    bw.transparentIndex_ = transparentIndex_;
    *this = std::move(bw);
    return true;
}

bool CDibImage::Mirror() {
    if (!IsValid())
        return false;
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = GetRow(y);
        if (bpp == 24) {
            MirrorRow24(row, w);
        } else if (bpp == 8) {
            std::reverse(row, row + w);
        } else {
            for (uint32_t x = 0, r = w - 1; x < r; ++x, --r) {
                const uint8_t a = GetPackedIndex(row, x, bpp);
                SetPackedIndex(row, x, bpp, GetPackedIndex(row, r, bpp));
                SetPackedIndex(row, r, bpp, a);
            }
        }
        if (alpha_)
            std::reverse(alpha_ + size_t(y) * w, alpha_ + size_t(y + 1) * w);
    }
    return true;
}

bool CDibImage::Turn(bool left, CDibImage* destination) {
    if (!IsValid())
        return false;
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    CDibImage out;
    if (!out.CreateLike(*this, h, w, bpp))
        return Fail(out);
    const uint8_t* src = GetRow(0);
    uint8_t* dst = out.GetRow(0);
    const size_t ss = GetEffWidth(), ds = out.GetEffWidth();
    if (bpp == 24) {
        TurnBytes<3>(src, ss, dst, ds, w, h, left);
    } else if (bpp == 8) {
        TurnBytes<1>(src, ss, dst, ds, w, h, left);
    } else {
        if (bpp == 1)
            std::memset(dst, 0, ds * w);
        for (uint32_t ty = 0; ty < w; ty += kTileSize) {
            for (uint32_t tx = 0; tx < h; tx += kTileSize) {
                for (uint32_t y = ty; y < std::min<uint32_t>(w, ty + kTileSize); ++y) {
                    uint8_t* d = dst + size_t(y) * ds;
                    for (uint32_t x = tx; x < std::min<uint32_t>(h, tx + kTileSize); ++x) {
                        const uint32_t sx = left ? y : w - 1 - y;
                        const uint32_t sy = left ? h - 1 - x : x;
                        SetPackedIndex(d, x, bpp, GetPackedIndex(src + size_t(sy) * ss, sx, bpp));
                    }
                }
            }
        }
    }
    if (alpha_) {
        if (!out.AlphaCreate()) {
            SetLastError("CDibImage::Rotate can't allocate memory");
            return false;
        }
        TurnBytes<1>(alpha_, w, out.alpha_, h, w, h, left);
    }
    return Finish(out, destination);
}

bool CDibImage::RotateLeft90(CDibImage* destination) {
    return Turn(true, destination);
}
bool CDibImage::RotateRight90(CDibImage* destination) {
    return Turn(false, destination);
}

bool CDibImage::Rotate180(CDibImage* destination) {
    if (!IsValid())
        return false;
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    CDibImage out;
    if (!out.CreateLike(*this, w, h, bpp))
        return Fail(out);
    std::vector<uint8_t> scratch(bpp == 24 ? size_t(w) * 3 + 4 : 0);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = GetRow(h - 1 - y);
        uint8_t* dst = out.GetRow(y);
        std::memcpy(dst, src, GetEffWidth());
        if (bpp == 24) {
            std::memcpy(scratch.data(), src, size_t(w) * 3);
            ReverseRow24(scratch.data(), dst, w);
        } else if (bpp == 8) {
            std::reverse(dst, dst + w);
        } else {
            for (uint32_t x = 0; x < w; ++x) {
                SetPackedIndex(dst, x, bpp, GetPackedIndex(src, w - 1 - x, bpp));
            }
        }
    }
    if (alpha_) {
        if (!out.AlphaCreate()) {
            SetLastError("CDibImage::Rotate can't allocate memory");
            return false;
        }
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* s = alpha_ + size_t(h - 1 - y) * w;
            std::reverse_copy(s, s + w, out.alpha_ + size_t(y) * w);
        }
    }
    return Finish(out, destination);
}

bool CDibImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom,
                     CDibImage* destination) {
    if (!IsValid())
        return false;
    const int32_t w = int32_t(GetWidth()), h = int32_t(GetHeight());
    left = std::clamp(left, 0, w);
    right = std::clamp(right, 0, w);
    top = std::clamp(top, 0, h);
    bottom = std::clamp(bottom, 0, h);
    if (left == right || top == bottom) {
        SetLastError("CDibImage::Crop : empty rectangle");
        return false;
    }
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    const uint32_t nw = uint32_t(right - left), nh = uint32_t(bottom - top);
    const uint32_t bpp = GetBpp();
    CDibImage out;
    if (!out.CreateLike(*this, nw, nh, bpp))
        return Fail(out);
    const uint32_t firstRow = uint32_t(h - bottom);
    for (uint32_t j = 0; j < nh; ++j) {
        const uint8_t* src = GetRow(firstRow + j);
        uint8_t* dst = out.GetRow(j);
        if (bpp >= 8) {
            const uint32_t bytes = bpp / 8;
            std::memcpy(dst, src + size_t(left) * bytes, size_t(nw) * bytes);
        } else {
            for (uint32_t x = 0; x < nw; ++x) {
                SetPackedIndex(dst, x, bpp, GetPackedIndex(src, uint32_t(left) + x, bpp));
            }
        }
    }
    if (alpha_) {
        if (!out.AlphaCreate()) {
            SetLastError("CDibImage::Crop can't allocate memory");
            return false;
        }
        for (uint32_t j = 0; j < nh; ++j) {
            std::memcpy(out.alpha_ + size_t(j) * nw,
                        alpha_ + size_t(firstRow + j) * uint32_t(w) + uint32_t(left), nw);
        }
    }
    return Finish(out, destination);
}

bool CDibImage::Crop(const QvRect& rect, CDibImage* destination) {
    return Crop(rect.left, rect.top, rect.right, rect.bottom, destination);
}

bool CDibImage::Resample(int32_t newWidth, int32_t newHeight, int /*method*/,
                         CDibImage* destination) {
    if (!IsValid())
        return false;
    if (newWidth <= 0 || newHeight <= 0) {
        SetLastError("CDibImage::Resample : width and height must be greater than zero");
        return false;
    }
    const uint32_t w = GetWidth(), h = GetHeight(), bpp = GetBpp();
    if (uint32_t(newWidth) == w && uint32_t(newHeight) == h) {
        if (destination && destination != this)
            return destination->Copy(*this);
        return true;
    }
    const uint32_t nw = uint32_t(newWidth), nh = uint32_t(newHeight);
    CDibImage out;
    if (!out.CreateLike(*this, nw, nh, bpp))
        return Fail(out);
    const float xScale = float(w) / float(nw), yScale = float(h) / float(nh);
    uint32_t* columns = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * nw));
    if (!columns || (alpha_ && !out.AlphaCreate())) {
        std::free(columns);
        SetLastError("CDibImage::Resample can't allocate memory");
        return false;
    }
    for (uint32_t x = 0; x < nw; ++x) {
        columns[x] = std::min<uint32_t>(w - 1, uint32_t(float(x) * xScale));
    }
    for (uint32_t y = 0; y < nh; ++y) {
        const uint32_t sy = std::min<uint32_t>(h - 1, uint32_t(float(y) * yScale));
        const uint8_t* src = GetRow(sy);
        uint8_t* dst = out.GetRow(y);
        if (bpp == 24) {
            for (uint32_t x = 0; x < nw; ++x) {
                const uint8_t* p = src + size_t(columns[x]) * 3;
                dst[3 * x] = p[0];
                dst[3 * x + 1] = p[1];
                dst[3 * x + 2] = p[2];
            }
        } else if (bpp == 8) {
            for (uint32_t x = 0; x < nw; ++x)
                dst[x] = src[columns[x]];
        } else {
            for (uint32_t x = 0; x < nw; ++x) {
                SetPackedIndex(dst, x, bpp, GetPackedIndex(src, columns[x], bpp));
            }
        }
        if (alpha_) {
            const uint8_t* a = alpha_ + size_t(sy) * w;
            uint8_t* da = out.alpha_ + size_t(y) * nw;
            for (uint32_t x = 0; x < nw; ++x)
                da[x] = a[columns[x]];
        }
    }
    std::free(columns);
    return Finish(out, destination);
}

bool CDibImage::ReduceDepth(uint32_t bits, bool /*errorDiffusion*/, const uint8_t* palette,
                            uint32_t coloursImportant) {
    if (!IsValid())
        return false;
    bits = NormaliseBits(bits);
    const uint32_t bpp = GetBpp();
    if (bits > bpp) {
        SetLastError("CDibImage::ReduceDepth : the picture has fewer bits");
        return false;
    }
    if (bits == bpp)
        return true;
    const uint32_t w = GetWidth(), h = GetHeight();
    CDibImage out;
    if (!out.CreateLike(*this, w, h, bits))
        return Fail(out);
    const uint32_t entries = PaletteEntries(bits);
    uint32_t used = entries;
    if (palette) {
        used = coloursImportant && coloursImportant < entries ? coloursImportant : entries;
        std::memcpy(out.GetPalette(), palette, size_t(used) * 4);
    } else {
        out.SetGreyRamp();
    }
    uint8_t* outPal = out.GetPalette();
    auto nearest = [&](uint8_t r, uint8_t g, uint8_t b) {
        uint32_t best = 0, bestDistance = UINT32_MAX;
        for (uint32_t i = 0; i < used; ++i) {
            const int db = int(outPal[4 * i]) - b, dg = int(outPal[4 * i + 1]) - g,
                      dr = int(outPal[4 * i + 2]) - r;
            const uint32_t d = uint32_t(dr * dr + dg * dg + db * db);
            if (d < bestDistance)
                bestDistance = d, best = i;
        }
        return best;
    };
    // Palette pictures map each old entry once; colour pictures without a palette use grey.
    uint8_t lut[256] = {};
    const uint8_t* pal = GetPalette();
    for (uint32_t i = 0; pal && i < GetNumColors(); ++i) {
        lut[i] = uint8_t(nearest(pal[4 * i + 2], pal[4 * i + 1], pal[4 * i]));
    }
    uint8_t greyLut[256];
    for (uint32_t v = 0; v < 256; ++v)
        greyLut[v] = uint8_t(nearest(v, v, v));
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = GetRow(y);
        uint8_t* dst = out.GetRow(y);
        std::memset(dst, 0, out.GetEffWidth());
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t index;
            if (bpp == 24) {
                const uint8_t* p = src + 3 * x;
                index = palette ? nearest(p[2], p[1], p[0]) : greyLut[GreyOf(p[2], p[1], p[0])];
            } else {
                index = lut[GetPackedIndex(src, x, bpp)];
            }
            SetPackedIndex(dst, x, bits, index);
        }
    }
    if (alpha_)
        out.alpha_ = std::exchange(alpha_, nullptr);
    return Finish(out, nullptr);
}
