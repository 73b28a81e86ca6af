#include "image/tiff_codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/decode_options.h"
#include "image/dib_image.h"
#include "image/dib_pixels.h"
#include "image/row_reducer.h"

namespace {

// The stream as libtiff sees it: offsets count from where the picture starts.
struct TiffStream {
    std::FILE* file;
    long base;
    char message[256];
    off_t end;  // furthest byte written, relative to base
};

tmsize_t OnRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* s = static_cast<TiffStream*>(h);
    return tmsize_t(std::fread(buffer, 1, size_t(size), s->file));
}

tmsize_t OnWrite(thandle_t h, void* buffer, tmsize_t size) {
    auto* s = static_cast<TiffStream*>(h);
    const tmsize_t n = tmsize_t(std::fwrite(buffer, 1, size_t(size), s->file));
    s->end = std::max<off_t>(s->end, ftello(s->file) - s->base);
    return n;
}

toff_t OnSeek(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<TiffStream*>(h);
    if (whence == SEEK_SET) {
        if (offset > toff_t(INT64_MAX) - toff_t(s->base))
            return toff_t(-1);
        offset += toff_t(s->base);
    }
    if (offset > toff_t(INT64_MAX))
        return toff_t(-1);
    if (fseeko(s->file, off_t(offset), whence) != 0)
        return toff_t(-1);
    const off_t at = ftello(s->file);
    return at < s->base ? toff_t(-1) : toff_t(at - s->base);
}

int OnClose(thandle_t) {
    return 0;
}

toff_t OnSize(thandle_t h) {
    auto* s = static_cast<TiffStream*>(h);
    const off_t here = ftello(s->file);
    fseeko(s->file, 0, SEEK_END);
    const off_t end = ftello(s->file);
    fseeko(s->file, here, SEEK_SET);
    return end > s->base ? toff_t(end - s->base) : 0;
}

int OnMap(thandle_t, void**, toff_t*) {
    return 0;
}
void OnUnmap(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* s = static_cast<TiffStream*>(user);
    if (s->message[0] == 0) {
        char text[200];
        std::vsnprintf(text, sizeof text, fmt, ap);
        std::snprintf(s->message, sizeof s->message, "TIFF: %s: %s", module ? module : "", text);
    }
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// Largest single buffer libtiff may allocate for one strip or tile of a hostile file.
constexpr tmsize_t kMaxTiffAlloc = tmsize_t(512) << 20;

TIFF* OpenTiff(TiffStream& s, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &s);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &s);
    TIFF* tif = TIFFClientOpenExt("stream", mode, &s, OnRead, OnWrite, OnSeek, OnClose, OnSize,
                                  OnMap, OnUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

struct TiffLayout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
    uint16_t planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
    uint16_t extraCount = 0;
    bool tiled = false;
};

TiffLayout ReadLayout(TIFF* tif) {
    TiffLayout l;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &l.compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric)) {
        l.photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &l.extraCount, &extraTypes);
    l.tiled = TIFFIsTiled(tif) != 0;
    return l;
}

void ReadResolution(TIFF* tif, CDibImage& img) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : unit == RESUNIT_INCH ? 1.0 : 0.0;
    if (scale == 0)
        return;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && std::isfinite(x) && x > 0 && x < 1e6f) {
        img.SetXDpi(int32_t(std::floor(x * scale + 0.5)));
    }
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) && std::isfinite(y) && y > 0 && y < 1e6f) {
        img.SetYDpi(int32_t(std::floor(y * scale + 0.5)));
    }
}

enum class Direct { kNone, kBits, kGrey8, kGrey16, kPalette, kRgb };

Direct ChooseDirect(const TiffLayout& l) {
    if (l.tiled || l.planar != PLANARCONFIG_CONTIG)
        return Direct::kNone;
    const bool grey =
        l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
    if (grey && l.samples == 1 && l.bits == 1)
        return Direct::kBits;
    if (grey && l.samples == 1 && l.bits == 8)
        return Direct::kGrey8;
    if (grey && l.samples == 1 && l.bits == 16)
        return Direct::kGrey16;
    if (l.photometric == PHOTOMETRIC_PALETTE && l.samples == 1 &&
        (l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8)) {
        return Direct::kPalette;
    }
    if (l.photometric == PHOTOMETRIC_RGB && l.samples == 3 && l.bits == 8)
        return Direct::kRgb;
    return Direct::kNone;
}

// The colour map of a palette picture as (red, green, blue) per index.
bool ReadColourMap(TIFF* tif, const TiffLayout& l, uint8_t (&map)[256][3], std::string& error) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) {
        error = "TIFF: palette picture without a colour map";
        return false;
    }
    const uint32_t n = 1u << l.bits;
    // Some writers store 8-bit colour maps; the 16-bit form always has a value above 255.
    bool wide = false;
    for (uint32_t i = 0; i < n; ++i)
        wide = wide || r[i] > 255 || g[i] > 255 || b[i] > 255;
    const int shift = wide ? 8 : 0;
    for (uint32_t i = 0; i < n; ++i) {
        map[i][0] = uint8_t(r[i] >> shift);
        map[i][1] = uint8_t(g[i] >> shift);
        map[i][2] = uint8_t(b[i] >> shift);
    }
    return true;
}

bool SetUpPalette(TIFF* tif, const TiffLayout& l, Direct d, CDibImage& img, std::string& error) {
    if (d == Direct::kPalette) {
        uint8_t map[256][3];
        if (!ReadColourMap(tif, l, map, error))
            return false;
        for (uint32_t i = 0; i < (1u << l.bits) && i < img.GetNumColors(); ++i)
            img.SetPaletteColor(i, map[i][0], map[i][1], map[i][2]);
        return true;
    }
    img.SetGreyRamp();
    if (d == Direct::kBits && l.photometric == PHOTOMETRIC_MINISWHITE) {
        img.SetPaletteColor(0, 255, 255, 255);
        img.SetPaletteColor(1, 0, 0, 0);
    }
    return true;
}

void ConvertRow(Direct d, const TiffLayout& l, const uint8_t* src, uint8_t* dst) {
    const uint32_t w = l.width;
    const bool invert = l.photometric == PHOTOMETRIC_MINISWHITE;
    switch (d) {
        case Direct::kBits:
            std::memcpy(dst, src, (w + 7) / 8);
            break;
        case Direct::kGrey8:
            for (uint32_t x = 0; x < w; ++x)
                dst[x] = invert ? uint8_t(255 - src[x]) : src[x];
            break;
        case Direct::kGrey16:
            for (uint32_t x = 0; x < w; ++x) {
                uint16_t v;
                std::memcpy(&v, src + 2 * x, 2);
                const uint8_t g = uint8_t(v >> 8);
                dst[x] = invert ? uint8_t(255 - g) : g;
            }
            break;
        case Direct::kPalette:
            if (l.bits == 2) {
                std::memset(dst, 0, (w + 1) / 2);
                for (uint32_t x = 0; x < w; ++x) {
                    SetPackedIndex(dst, x, 4, (src[x >> 2] >> (6 - 2 * (x & 3))) & 3u);
                }
            } else {
                std::memcpy(dst, src, (size_t(w) * l.bits + 7) / 8);
            }
            break;
        case Direct::kRgb:
            for (uint32_t x = 0; x < w; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
            break;
        case Direct::kNone:
            break;
    }
}

uint32_t DirectBits(const TiffLayout& l, Direct d) {
    if (d == Direct::kBits || (d == Direct::kPalette && l.bits == 1))
        return 1;
    if (d == Direct::kPalette && l.bits <= 4)
        return 4;
    return d == Direct::kRgb ? 24 : 8;
}

bool Cancelled(const DecodeOptions* options, std::string& error) {
    if (options && options->Cancelled()) {
        error = "TIFF: cancelled";
        return true;
    }
    return false;
}

// Reads the scanlines in turn, top first, and hands each to `use` with its number.
template <typename Use>
bool ForEachScanline(TIFF* tif, const TiffLayout& l, const DecodeOptions* options,
                     std::string& error, Use use) {
    const tmsize_t size = TIFFScanlineSize(tif);
    if (size <= 0 || uint64_t(size) < (uint64_t(l.width) * l.bits * l.samples + 7) / 8) {
        error = "TIFF: bad scanline size";
        return false;
    }
    std::vector<uint8_t> line(static_cast<size_t>(size));
    for (uint32_t i = 0; i < l.height; ++i) {
        if (Cancelled(options, error))
            return false;
        if (TIFFReadScanline(tif, line.data(), i, 0) < 0) {
            error = "TIFF: can't read the rows";
            return false;
        }
        use(i, line.data());
    }
    return true;
}

bool ReadDirect(TIFF* tif, const TiffLayout& l, Direct d, CDibImage& img, std::string& error,
                const DecodeOptions* options) {
    if (!img.Create(l.width, l.height, DirectBits(l, d), kDibFormatTiff)) {
        error = img.GetLastError();
        return false;
    }
    if (!SetUpPalette(tif, l, d, img, error))
        return false;
    return ForEachScanline(tif, l, options, error, [&](uint32_t i, const uint8_t* line) {
        uint8_t* dst = img.GetRow(l.height - 1 - i);
        std::memset(dst, 0, img.GetEffWidth());
        ConvertRow(d, l, line, dst);
    });
}

// One scanline as 8-bit samples: grey for grey and black-and-white pictures, blue, green and red
// for palette and colour ones.
void SampleRow(Direct d, const TiffLayout& l, const uint8_t* src, uint8_t* dst,
               const uint8_t (&map)[256][3]) {
    const uint32_t w = l.width;
    if (d == Direct::kBits) {
        const uint8_t zero = l.photometric == PHOTOMETRIC_MINISWHITE ? 255 : 0;
        for (uint32_t x = 0; x < w; ++x)
            dst[x] = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? uint8_t(255 - zero) : zero;
    } else if (d == Direct::kPalette) {
        const uint32_t perByte = 8u / l.bits, mask = (1u << l.bits) - 1;
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t shift = 8 - l.bits * (x % perByte + 1);
            const uint8_t* rgb = map[(src[x / perByte] >> shift) & mask];
            dst[3 * x] = rgb[2], dst[3 * x + 1] = rgb[1], dst[3 * x + 2] = rgb[0];
        }
    } else {
        ConvertRow(d, l, src, dst);  // grey and colour rows are samples already
    }
}

bool ReadDirectReduced(TIFF* tif, const TiffLayout& l, Direct d, CDibImage& img, std::string& error,
                       const DecodeOptions& options) {
    uint8_t map[256][3] = {};
    if (d == Direct::kPalette && !ReadColourMap(tif, l, map, error))
        return false;
    const uint32_t channels = d == Direct::kPalette || d == Direct::kRgb ? 3 : 1;
    const uint32_t f = options.Factor(l.width, l.height);
    CRowReducer reducer;
    if (!reducer.Start(l.width, l.height, channels, f, f, kDibFormatTiff, img, error, &options))
        return false;
    std::vector<uint8_t> row(size_t(l.width) * channels);
    return ForEachScanline(tif, l, &options, error, [&](uint32_t, const uint8_t* line) {
        SampleRow(d, l, line, row.data(), map);
        reducer.AddRow(row.data());
    });
}

// Uncompressed 8-bit tiles copied straight from the file. Some writers give such tiles a byte
// count larger than the tile, which libtiff's tile reader refuses; the pixels are all there.
bool ReadRawTiles(TIFF* tif, const TiffLayout& l, CDibImage& img, std::string& error,
                  const DecodeOptions* options) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    const uint64_t tileBytes = uint64_t(tw) * th * l.samples;
    if (tw == 0 || th == 0 || tileBytes > uint64_t(kMaxTiffAlloc)) {
        error = "TIFF: bad tile size";
        return false;
    }
    const bool grey = l.samples == 1;
    if (!img.Create(l.width, l.height, grey ? 8 : 24, kDibFormatTiff)) {
        error = img.GetLastError();
        return false;
    }
    if (grey)
        img.SetGreyRamp();
    if (!grey && l.samples == 4 && !img.AlphaCreate()) {
        error = "TIFF: can't allocate memory";
        return false;
    }
    std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
    for (uint32_t ty = 0; ty < l.height; ty += th) {
        for (uint32_t tx = 0; tx < l.width; tx += tw) {
            if (Cancelled(options, error))
                return false;
            const uint32_t index = TIFFComputeTile(tif, tx, ty, 0, 0);
            std::fill(tile.begin(), tile.end(), 0);
            if (TIFFReadRawTile(tif, index, tile.data(), tmsize_t(tileBytes)) < 0) {
                error = "TIFF: can't read a tile";
                return false;
            }
            for (uint32_t y = ty; y < std::min(l.height, ty + th); ++y) {
                const uint8_t* src = tile.data() + size_t(y - ty) * tw * l.samples;
                uint8_t* dst = img.GetRow(l.height - 1 - y);
                uint8_t* a =
                    img.HasAlpha() ? img.GetAlpha() + size_t(l.height - 1 - y) * l.width : nullptr;
                for (uint32_t x = tx; x < std::min(l.width, tx + tw); ++x) {
                    const uint8_t* p = src + size_t(x - tx) * l.samples;
                    if (grey) {
                        dst[x] =
                            l.photometric == PHOTOMETRIC_MINISWHITE ? uint8_t(255 - p[0]) : p[0];
                        continue;
                    }
                    dst[3 * x] = p[2], dst[3 * x + 1] = p[1], dst[3 * x + 2] = p[0];
                    if (a)
                        a[x] = p[3];
                }
            }
        }
    }
    return true;
}

bool IsRawTiled(const TiffLayout& l) {
    const bool grey =
        (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE) &&
        l.samples == 1;
    const bool rgb = l.photometric == PHOTOMETRIC_RGB && (l.samples == 3 || l.samples == 4);
    return l.tiled && l.compression == COMPRESSION_NONE && l.bits == 8 &&
           l.planar == PLANARCONFIG_CONTIG && (grey || rgb);
}

bool ReadThroughRgba(TIFF* tif, const TiffLayout& l, CDibImage& img, std::string& error) {
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tif, why)) {
        error = std::string("TIFF: ") + why;
        return false;
    }
    const uint64_t pixels = uint64_t(l.width) * l.height;
    if (pixels * 4 > CDibImage::GetMaxMemory()) {
        error = "TIFF: image too large";
        return false;
    }
    if (!img.Create(l.width, l.height, 24, kDibFormatTiff)) {
        error = img.GetLastError();
        return false;
    }
    uint32_t* raster = static_cast<uint32_t*>(std::malloc(size_t(pixels) * 4));
    if (!raster) {
        error = "TIFF: can't allocate memory";
        return false;
    }
    // Bottom-left origin gives the rows in the block's own order. A strip or tile that fails
    // to read ends the read rather than leaving a hole in a picture reported as good.
    const bool ok =
        TIFFReadRGBAImageOriented(tif, l.width, l.height, raster, ORIENTATION_BOTLEFT, 1) != 0;
    if (ok) {
        const bool alpha = l.extraCount > 0 && img.AlphaCreate();
        for (uint32_t y = 0; y < l.height; ++y) {
            const uint32_t* src = raster + size_t(y) * l.width;
            uint8_t* dst = img.GetRow(y);
            for (uint32_t x = 0; x < l.width; ++x) {
                dst[3 * x] = uint8_t(TIFFGetB(src[x]));
                dst[3 * x + 1] = uint8_t(TIFFGetG(src[x]));
                dst[3 * x + 2] = uint8_t(TIFFGetR(src[x]));
            }
            if (alpha) {
                uint8_t* a = img.GetAlpha() + size_t(y) * l.width;
                for (uint32_t x = 0; x < l.width; ++x)
                    a[x] = uint8_t(TIFFGetA(src[x]));
            }
        }
    } else {
        error = "TIFF: can't read the picture";
    }
    std::free(raster);
    return ok;
}

// The pieces libtiff's RGBA reader delivers: whole-width strips, or tiles, `rows` high.
struct RgbaBands {
    uint32_t width = 0;  // of one piece
    uint32_t rows = 0;
};

// Largest buffers one band of the reduced RGBA read may take; beyond it (a picture stored as one
// huge strip) the picture is read whole instead.
constexpr uint64_t kMaxBandBytes = uint64_t(64) << 20;

bool BandsFit(TIFF* tif, const TiffLayout& l, RgbaBands& bands) {
    if (l.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &bands.width);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &bands.rows);
    } else {
        uint32_t rowsPerStrip = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        bands.width = l.width;
        bands.rows = std::clamp(rowsPerStrip, 1u, l.height);
    }
    // The piece's raster and the band's rows of samples, in 64 bits: the tags are the file's.
    const uint64_t bytes = (uint64_t(bands.width) + l.width) * bands.rows * 4;
    return bands.width != 0 && bands.rows != 0 && bytes <= kMaxBandBytes;
}

// Through libtiff's RGBA reader piece by piece: each band of strips or tiles is turned into rows
// of blue, green, red (and alpha) samples and averaged down before the next is read.
bool ReadRgbaReduced(TIFF* tif, const TiffLayout& l, const RgbaBands& bands, CDibImage& img,
                     std::string& error, const DecodeOptions& options) {
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tif, why)) {
        error = std::string("TIFF: ") + why;
        return false;
    }
    const uint32_t channels = l.extraCount > 0 ? 4 : 3;
    const uint32_t f = options.Factor(l.width, l.height);
    CRowReducer reducer;
    if (!reducer.Start(l.width, l.height, channels, f, f, kDibFormatTiff, img, error, &options))
        return false;
    std::vector<uint32_t> raster(size_t(bands.width) * bands.rows);
    std::vector<uint8_t> band(size_t(l.width) * bands.rows * channels);
    for (uint32_t top = 0; top < l.height; top += bands.rows) {
        const uint32_t rows = std::min(bands.rows, l.height - top);
        for (uint32_t left = 0; left < l.width; left += bands.width) {
            if (Cancelled(&options, error))
                return false;
            // A piece that fails to read ends the read, as for the whole picture.
            const int read = l.tiled ? TIFFReadRGBATileExt(tif, left, top, raster.data(), 1)
                                     : TIFFReadRGBAStripExt(tif, top, raster.data(), 1);
            if (!read) {
                error = "TIFF: can't read the picture";
                return false;
            }
            // The piece's rows run bottom-up: over the whole tile height, or the strip's rows.
            const uint32_t bottom = (l.tiled ? bands.rows : rows) - 1;
            const uint32_t columns = std::min(bands.width, l.width - left);
            for (uint32_t i = 0; i < rows; ++i) {
                const uint32_t* src = raster.data() + size_t(bottom - i) * bands.width;
                uint8_t* dst = band.data() + (size_t(i) * l.width + left) * channels;
                for (uint32_t x = 0; x < columns; ++x, dst += channels) {
                    dst[0] = uint8_t(TIFFGetB(src[x]));
                    dst[1] = uint8_t(TIFFGetG(src[x]));
                    dst[2] = uint8_t(TIFFGetR(src[x]));
                    if (channels == 4)
                        dst[3] = uint8_t(TIFFGetA(src[x]));
                }
            }
        }
        for (uint32_t i = 0; i < rows; ++i)
            reducer.AddRow(band.data() + size_t(i) * l.width * channels);
    }
    return true;
}

// The first page whole or, where the options allow and the layout can be read in parts, reduced.
bool DecodeLayout(TIFF* tif, const TiffLayout& l, CDibImage& out, std::string& error,
                  DecodeOptions* options) {
    const Direct d = ChooseDirect(l);
    const bool raw = d == Direct::kNone && IsRawTiled(l);
    if (options) {
        const uint32_t bits = d != Direct::kNone      ? DirectBits(l, d)
                              : raw && l.samples == 1 ? 8
                                                      : 24;
        const bool alpha = d == Direct::kNone && (raw ? l.samples == 4 : l.extraCount > 0);
        if (!options->Admit(l.width, l.height, bits, alpha, error))
            return false;
        RgbaBands bands;
        if (options->Factor(l.width, l.height) > 1 &&
            (d != Direct::kNone || (!raw && BandsFit(tif, l, bands)))) {
            options->reduced = true;
            return d != Direct::kNone ? ReadDirectReduced(tif, l, d, out, error, *options)
                                      : ReadRgbaReduced(tif, l, bands, out, error, *options);
        }
    }
    if (d != Direct::kNone)
        return ReadDirect(tif, l, d, out, error, options);
    if (raw)
        return ReadRawTiles(tif, l, out, error, options);
    return ReadThroughRgba(tif, l, out, error);
}

// Most decoded bytes one stored byte can give under a compression, with room to spare: a
// CCITT row costs at least one bit whatever its width; Deflate tops out near 1032:1, PackBits
// at 64:1 and LZW's 12-bit codes below 2731:1. Entropy coders without a useful floor (JPEG's
// arithmetic mode, ZSTD, LZMA, JBIG) get a wide bound that still stops kilobytes claiming
// gigabytes.
double BestRatio(const TiffLayout& l, double rowBytes) {
    switch (l.compression) {
        case COMPRESSION_NONE:
            return 2;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            return 16 * std::max(rowBytes, 1.0);
        case COMPRESSION_PACKBITS:
            return 128;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return 2048;
        case COMPRESSION_LZW:
            return 4096;
        case COMPRESSION_OJPEG:
        case COMPRESSION_JPEG:
            return 16384;
        default:
            return 32768;
    }
}

// Refuses a file whose strips or tiles, counting only bytes that lie inside the file and at
// most the file once (strips may all point at the same bytes), cannot hold the declared
// picture. libtiff's readers fill what is missing, so a few kilobytes that declare a huge
// picture would otherwise cost seconds and hundreds of megabytes.
bool StoredDataCoversPicture(TIFF* tif, const TiffLayout& l, uint64_t fileSize) {
    const uint32_t count = l.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    uint64_t present = 0;
    for (uint32_t i = 0; i < count && present < fileSize; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tif, i);
        const uint64_t bytes = TIFFGetStrileByteCount(tif, i);
        if (offset < fileSize)
            present = std::min(present + std::min(bytes, fileSize - offset), fileSize);
    }
    // In floating point: the declared fields multiply past 64 bits.
    const double rowBytes = std::ceil(double(l.width) * l.samples * l.bits / 8);
    return present != 0 && rowBytes * l.height / BestRatio(l, rowBytes) <= double(present);
}

}  // namespace

bool DecodeTiff(std::FILE* stream, CDibImage& out, std::string& error, DecodeOptions* options) {
    uint8_t magic[4];
    const long base = std::ftell(stream);
    if (std::fread(magic, 1, 4, stream) != 4 ||
        !((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) &&
           magic[3] == 0) ||
          (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 &&
           (magic[3] == 42 || magic[3] == 43)))) {
        error = "TIFF: not a TIFF file";
        return false;
    }
    if (base < 0 || std::fseek(stream, base, SEEK_SET) != 0) {
        error = "TIFF: stream cannot seek";
        return false;
    }
    TiffStream s{stream, base, {}, 0};
    TIFF* tif = OpenTiff(s, "rm");
    if (!tif) {
        error = s.message[0] ? s.message : "TIFF: can't open";
        return false;
    }
    // Complaints about odd tags that the open survived say nothing about why a read fails.
    s.message[0] = 0;
    const TiffLayout l = ReadLayout(tif);
    bool ok = false;
    if (l.width == 0 || l.height == 0) {
        error = "TIFF: empty picture";
    } else if (!StoredDataCoversPicture(tif, l, OnSize(&s))) {
        error = "TIFF: the file is too small for the picture it declares";
    } else {
        ok = DecodeLayout(tif, l, out, error, options);
        if (ok)
            ReadResolution(tif, out);
    }
    if (!ok && s.message[0])
        error = s.message;
    TIFFClose(tif);
    if (!ok)
        out.Destroy();
    return ok;
}

// ---------------------------------------------------------------------------------------------

namespace {

bool IsBlackAndWhite(const CDibImage& img, bool& whiteIsZero) {
    if (img.GetBpp() != 1)
        return false;
    const QvColour a = img.GetPaletteColor(0), b = img.GetPaletteColor(1);
    const QvColour black = QvRgb(0, 0, 0), white = QvRgb(255, 255, 255);
    whiteIsZero = a == white && b == black;
    return (a == black && b == white) || whiteIsZero;
}

bool WriteFields(TIFF* tif, const CDibImage& img, uint16_t& samples) {
    const uint32_t w = img.GetWidth(), h = img.GetHeight(), bpp = img.GetBpp();
    bool whiteIsZero = false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(img.GetXDpi()));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(img.GetYDpi()));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    samples = 1;
    if (bpp == 24) {
        samples = img.HasAlpha() ? 4 : 3;
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        if (samples == 4) {
            const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    } else if (IsBlackAndWhite(img, whiteIsZero)) {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    } else {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bpp));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        if (bpp == 8 && img.IsGreyRamp()) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        } else {
            const uint32_t n = 1u << bpp;
            std::vector<uint16_t> map(size_t(n) * 3, 0);
            for (uint32_t i = 0; i < n && i < img.GetNumColors(); ++i) {
                const QvColour c = img.GetPaletteColor(i);
                map[i] = uint16_t(QvRed(c) * 257);
                map[n + i] = uint16_t(QvGreen(c) * 257);
                map[2 * n + i] = uint16_t(QvBlue(c) * 257);
            }
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
            TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
        }
    }
    const uint32_t rowsPerStrip = bpp == 1 ? h : TIFFDefaultStripSize(tif, 0);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    return true;
}

bool WriteRows(TIFF* tif, const CDibImage& img, uint16_t samples) {
    const uint32_t w = img.GetWidth(), h = img.GetHeight();
    std::vector<uint8_t> line(size_t(w) * samples + img.GetEffWidth());
    for (uint32_t i = 0; i < h; ++i) {
        const uint32_t y = h - 1 - i;
        const uint8_t* src = img.GetRow(y);
        if (img.GetBpp() == 24) {
            const uint8_t* a = img.HasAlpha() ? img.GetAlpha() + size_t(y) * w : nullptr;
            for (uint32_t x = 0; x < w; ++x) {
                uint8_t* q = &line[size_t(x) * samples];
                q[0] = src[3 * x + 2];
                q[1] = src[3 * x + 1];
                q[2] = src[3 * x];
                if (a)
                    q[3] = a[x];
            }
        } else {
            std::memcpy(line.data(), src, img.GetEffWidth());
        }
        if (TIFFWriteScanline(tif, line.data(), i, 0) < 0)
            return false;
    }
    return true;
}

}  // namespace

bool EncodeTiff(std::FILE* stream, const CDibImage& img, std::string& error) {
    const long base = std::ftell(stream);
    TiffStream s{stream, base < 0 ? 0 : base, {}, 0};
    TIFF* tif = OpenTiff(s, "w");
    if (!tif) {
        error = s.message[0] ? s.message : "TIFF: can't open for writing";
        return false;
    }
    uint16_t samples = 1;
    bool ok = WriteFields(tif, img, samples) && WriteRows(tif, img, samples);
    ok = TIFFWriteDirectory(tif) != 0 && ok;
    TIFFClose(tif);
    // libtiff finishes by rewriting the header at the start; a memory stream would end there
    // (its size is the final position), so move back to the end of what was written.
    fseeko(stream, s.base + s.end, SEEK_SET);
    if (!ok || s.message[0]) {
        error = s.message[0] ? s.message : "TIFF: write error";
        return false;
    }
    return true;
}
