#pragma once
// CDibImage: the in-memory picture of the whole program. The pixel block is laid out exactly as a
// bottom-up device-independent bitmap: a 40-byte header, the palette (blue, green, red, reserved),
// then the rows, each padded to a multiple of 4 bytes; row 0 is the bottom row. An optional alpha
// plane (width x height bytes, same row order, no padding) travels with it.
//
// Everything here needs no widgets. The drawing members (Draw, Stretch, WriteText,
// CreateFromBitmap) take a QPainter / QImage and are defined in dib_draw.cpp, which links QtGui.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/win_types.h"

class QPainter;
class QImage;
struct DecodeOptions;

// Format type codes.
enum : uint32_t {
    kDibFormatUnknown = 0,
    kDibFormatBmp = 1,
    kDibFormatGif = 2,
    kDibFormatJpeg = 3,
    kDibFormatPng = 4,
    kDibFormatIco = 5,
    kDibFormatTiff = 6,
    kDibFormatTga = 7,
    kDibFormatPcx = 8,
    kDibFormatWbmp = 9,
    kDibFormatWmf = 10,
    kDibFormatJ2k = 11,
    kDibFormatJbg = 12,
    kDibFormatJp2 = 13,
    kDibFormatJpc = 14,
    kDibFormatPgx = 15,
    kDibFormatPnm = 16,
    kDibFormatRas = 17,
};

class CDibImage {
public:
    enum Interpolation { kInterpolationNearest = 0, kInterpolationBilinear = 1 };
    enum Overflow { kOverflowBackground = 0, kOverflowRepeat = 1 };

    // Largest picture any operation creates: a declared size beyond this fails before allocating.
    static constexpr uint64_t kMaxPixels = 512ull * 1024 * 1024;

    // Upper bound for one picture's memory (pixel block and alpha plane); larger declared sizes
    // fail before anything is allocated.
    static void SetMaxMemory(uint64_t bytes);
    static uint64_t GetMaxMemory();
    // Whether a width x height picture of `bits` per pixel (above 24: with an alpha plane) stays
    // within those limits; false, with the reason in error, when it does not.
    static bool CheckSize(uint64_t width, uint64_t height, uint32_t bits, std::string& error);

    explicit CDibImage(uint32_t type = kDibFormatUnknown);
    CDibImage(const CDibImage& source);
    CDibImage& operator=(const CDibImage& source);
    CDibImage(CDibImage&& source) noexcept;
    CDibImage& operator=(CDibImage&& source) noexcept;
    virtual ~CDibImage();

    // Copies information, block and (when asked and present) alpha. The system always passes true.
    bool Copy(const CDibImage& source, bool copyPixels = true, bool copySelection = true,
              bool copyAlpha = true);
    bool Destroy();

    // --- creation
    bool Create(uint32_t width, uint32_t height, uint32_t bits, uint32_t type);
    bool CreateFromPixels(const uint8_t* data, uint32_t width, uint32_t height, uint32_t bits,
                          uint32_t bytesPerLine, bool flipRows);
    // Reads a platform bitmap (a QImage here); defined in dib_draw.cpp.
    bool CreateFromBitmap(const QImage& bitmap);

    // --- accessors
    bool IsValid() const { return block_ != nullptr; }
    uint32_t GetWidth() const;
    uint32_t GetHeight() const;
    uint32_t GetBpp() const;
    uint32_t GetEffWidth() const;   // stride in bytes
    uint32_t GetNumColors() const;  // palette entries (0 for 24 bits)
    uint32_t GetType() const { return type_; }
    // Address of stored row y (0 = bottom row); null when not valid or y >= height.
    uint8_t* GetRow(uint32_t y);
    const uint8_t* GetRow(uint32_t y) const;
    // The whole block (header, palette, rows) and its size in bytes.
    const uint8_t* GetDib() const { return block_; }
    size_t GetDibSize() const;
    uint8_t* GetPalette();  // 4 bytes per entry: blue, green, red, reserved; null for 24 bits
    const uint8_t* GetPalette() const;
    bool SetPaletteColor(uint32_t index, uint8_t r, uint8_t g, uint8_t b);
    QvColour GetPaletteColor(uint32_t index) const;
    // Colour of stored pixel (x, y) (y = 0 is the bottom row); 0 outside the picture.
    QvColour GetPixelColour(uint32_t x, uint32_t y) const;
    bool IsGreyRamp() const;  // palette entry i == (i, i, i) for every entry
    void SetGreyRamp();       // evenly spread greys from black to white (i, i, i for 8 bits)

    bool HasAlpha() const { return alpha_ != nullptr; }
    bool AlphaCreate();  // opaque plane
    void AlphaDelete();
    uint8_t* GetAlpha() { return alpha_; }
    const uint8_t* GetAlpha() const { return alpha_; }

    void SetQuality(uint8_t quality) { quality_ = quality; }
    uint8_t GetQuality() const { return quality_; }
    void SetXDpi(int32_t dpi);
    void SetYDpi(int32_t dpi);
    int32_t GetXDpi() const { return xDpi_; }
    int32_t GetYDpi() const { return yDpi_; }
    void SetTransparentIndex(int32_t index) { transparentIndex_ = index; }
    int32_t GetTransparentIndex() const { return transparentIndex_; }
    void SetTransparentColour(QvColour rgb) { transparentColour_ = rgb & 0x00FFFFFFu; }
    QvColour GetTransparentColour() const { return transparentColour_; }
    void SetAlphaMax(uint8_t max) { alphaMax_ = max; }
    uint8_t GetAlphaMax() const { return alphaMax_; }
    void Enable(bool enabled) { enabled_ = enabled; }
    bool IsEnabled() const { return enabled_; }
    // The file ended before the picture did: what is missing is filled in by the decoder.
    void SetDamaged(bool damaged) { damaged_ = damaged; }
    bool IsDamaged() const { return damaged_; }
    const char* GetLastError() const { return lastError_; }

    // --- files and memory
    // With options, the picture may come out reduced, the decode can be cancelled, and a
    // picture too large for the limits is refused as soon as its header is read (DecodeOptions).
    bool Load(const QString& path, uint32_t type, DecodeOptions* options = nullptr);
    bool Decode(std::FILE* stream, uint32_t type, DecodeOptions* options = nullptr);
    bool Decode(const uint8_t* data, size_t size, uint32_t type, DecodeOptions* options = nullptr);
    bool Save(const QString& path, uint32_t type);
    bool Encode(std::FILE* stream, uint32_t type);
    // buffer must be null on entry; release it with FreeEncodedMemory.
    bool EncodeToMemory(uint8_t*& buffer, int32_t& size, uint32_t type);
    static void FreeEncodedMemory(uint8_t* buffer);
    // Reads a Qt resource (":/skins/129.png") and decodes it.
    bool LoadFromResource(const QString& resource, uint32_t type);

    // --- picture operations (in place unless a destination is given)
    bool ToGrey();
    bool Threshold(uint8_t level);
    bool Mirror();
    bool RotateLeft90(CDibImage* destination = nullptr);
    bool RotateRight90(CDibImage* destination = nullptr);
    bool Rotate180(CDibImage* destination = nullptr);
    bool Rotate(float angle, CDibImage* destination,
                Interpolation interpolation = kInterpolationBilinear,
                Overflow overflow = kOverflowBackground,
                QvColour replacement = QvRgb(255, 255, 255), bool rightAngleShortcut = true,
                bool keepSize = false);
    bool Crop(int32_t left, int32_t top, int32_t right, int32_t bottom,
              CDibImage* destination = nullptr);
    bool Crop(const QvRect& rect, CDibImage* destination = nullptr);
    bool Resample(int32_t newWidth, int32_t newHeight, int method = 1,
                  CDibImage* destination = nullptr);
    bool ReduceDepth(uint32_t bits, bool errorDiffusion = false, const uint8_t* palette = nullptr,
                     uint32_t coloursImportant = 0);

    // --- drawing onto a painter (dib_draw.cpp)
    int Draw(QPainter* device, int32_t x, int32_t y, int32_t width = -1, int32_t height = -1,
             const QvRect* clip = nullptr, bool smooth = false) const;
    int Draw(QPainter* device, const QvRect& rect, const QvRect* clip = nullptr,
             bool smooth = false) const;
    int Stretch(QPainter* device, int32_t x, int32_t y, int32_t width, int32_t height) const;
    int Stretch(QPainter* device, const QvRect& rect) const;
    // x: left edge; y: distance of the text box's bottom edge from the top of the picture.
    bool WriteText(QPainter* device, int32_t x, int32_t y, const QString& text, QvColour colour,
                   const QString& face, int32_t height, int32_t weight, bool italic, bool underline,
                   bool setAlpha);
    // The width (x) and height (y) in pixels the text WriteText writes with that font takes in
    // the picture.
    static QvPoint TextExtent(const QString& text, const QString& face, int32_t height,
                              int32_t weight, bool italic, bool underline);

private:
    void SetLastError(const char* text);
    void CopyInfo(const CDibImage& source);
    bool CreateLike(const CDibImage& source, uint32_t width, uint32_t height, uint32_t bits);
    bool Finish(CDibImage& result, CDibImage* destination);
    bool Fail(const CDibImage& from);
    bool Turn(bool left, CDibImage* destination);
    // Bilinear sample at (x, y) in storage coordinates; outside the picture the replacement
    // colour (kOverflowBackground) or the nearest edge pixel (kOverflowRepeat).
    QvColour SampleBilinear(float x, float y, Overflow overflow, QvColour replacement) const;
    static bool DecodeAs(std::FILE* stream, uint32_t type, CDibImage& out, std::string& error,
                         DecodeOptions* options);
    static const char* UnsupportedDecodeText(uint32_t type);

    uint8_t* block_ = nullptr;  // header + palette + rows
    uint8_t* alpha_ = nullptr;
    uint32_t type_ = kDibFormatUnknown;
    int32_t transparentIndex_ = -1;
    QvColour transparentColour_ = 0;
    uint8_t quality_ = 90;
    int32_t xDpi_ = 96;
    int32_t yDpi_ = 96;
    uint8_t alphaMax_ = 255;
    bool enabled_ = true;
    bool damaged_ = false;
    char lastError_[256] = {};
};
