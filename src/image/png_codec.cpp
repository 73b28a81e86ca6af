#include "image/png_codec.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/decode_options.h"
#include "image/dib_image.h"
#include "image/row_reducer.h"

namespace {

// Everything libpng's error path may jump across lives here, in plain data: the functions that
// call setjmp hold no C++ objects, so the jump skips no destructor.
struct PngContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::jmp_buf jump;
    char message[200] = {};
};

void OnPngError(png_structp png, png_const_charp text) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(context->message, sizeof context->message, "PNG: %s", text);
    std::longjmp(context->jump, 1);
}

// Warnings (gamma oddities, unknown chunks) are not failures.
void OnPngWarning(png_structp, png_const_charp) {}

// Largest single ancillary chunk kept in memory (iCCP, text): beyond it the chunk is dropped.
constexpr png_alloc_size_t kMaxChunkBytes = 16u << 20;
constexpr uint32_t kMaxSide = 1u << 20;

enum class PngLayout { kPalette, kGreyBits, kGrey, kGreyAlpha, kColour, kColourAlpha };

struct PngHeader {
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    bool hasTrns = false;
};

bool PngReadHeader(PngContext* c, std::FILE* f, PngHeader* h) {
    if (setjmp(c->jump))
        return false;
    png_init_io(c->png, f);
    png_set_user_limits(c->png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(c->png, kMaxChunkBytes);
    png_set_chunk_cache_max(c->png, 1000);
    // Text, colour-profile and other ancillary chunks are never used here. Discarding them
    // unread also keeps a chunk that claims a huge length (or inflates to one) from being
    // buffered: libpng 1.6 allocates a text chunk's declared length before reading it.
    static const png_byte kIgnored[] =
        "iTXt\0tEXt\0zTXt\0iCCP\0sPLT\0eXIf\0hIST\0sBIT\0"
        "bKGD\0cHRM\0gAMA\0sRGB\0tIME\0oFFs\0pCAL\0sCAL\0";
    png_set_keep_unknown_chunks(c->png, PNG_HANDLE_CHUNK_NEVER, kIgnored, 16);
    png_set_keep_unknown_chunks(c->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_read_info(c->png, c->info);
    png_get_IHDR(c->png, c->info, &h->width, &h->height, &h->depth, &h->colourType, &h->interlace,
                 nullptr, nullptr);
    h->hasTrns = png_get_valid(c->png, c->info, PNG_INFO_tRNS) != 0;
    return true;
}

bool PngSetTransforms(PngContext* c, PngLayout layout, int* passes) {
    if (setjmp(c->jump))
        return false;
    png_structp p = c->png;
    switch (layout) {
        case PngLayout::kPalette:
        case PngLayout::kGreyBits:
            png_set_packing(p);
            break;
        default:
            png_set_expand(p);
            png_set_scale_16(p);
            png_set_bgr(p);
            break;
    }
    *passes = png_set_interlace_handling(p);
    png_read_update_info(p, c->info);
    return true;
}

bool PngReadRow(PngContext* c, uint8_t* row) {
    if (setjmp(c->jump))
        return false;
    png_read_row(c->png, row, nullptr);
    return true;
}

// Every colour type as 8-bit samples, blue before red, with tRNS as an alpha channel; each pass
// of an interlaced picture arrives as rows of its own.
bool PngSetSampleTransforms(PngContext* c) {
    if (setjmp(c->jump))
        return false;
    png_set_expand(c->png);
    png_set_scale_16(c->png);
    png_set_bgr(c->png);
    png_read_update_info(c->png, c->info);
    return true;
}

bool Cancelled(const DecodeOptions* options, std::string& error) {
    if (options && options->Cancelled()) {
        error = "PNG: cancelled";
        return true;
    }
    return false;
}

PngLayout ChooseLayout(const PngHeader& h) {
    switch (h.colourType) {
        case PNG_COLOR_TYPE_PALETTE:
            return PngLayout::kPalette;
        case PNG_COLOR_TYPE_GRAY:
            if (h.hasTrns)
                return PngLayout::kGreyAlpha;
            return h.depth == 1 ? PngLayout::kGreyBits : PngLayout::kGrey;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return PngLayout::kGreyAlpha;
        case PNG_COLOR_TYPE_RGB:
            return h.hasTrns ? PngLayout::kColourAlpha : PngLayout::kColour;
        default:
            return PngLayout::kColourAlpha;
    }
}

uint32_t BitsFor(PngLayout layout, int depth) {
    switch (layout) {
        case PngLayout::kPalette:
            return depth == 1 ? 1 : depth <= 4 ? 4 : 8;
        case PngLayout::kGreyBits:
            return 1;
        case PngLayout::kGrey:
        case PngLayout::kGreyAlpha:
            return 8;
        default:
            return 24;
    }
}

// Palette and tRNS alphas; the palette of a grey picture is its ramp.
void SetUpPalette(PngContext* c, PngLayout layout, CDibImage& img, uint8_t* indexAlpha) {
    std::memset(indexAlpha, 255, 256);
    if (layout != PngLayout::kPalette) {
        img.SetGreyRamp();
        return;
    }
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(c->png, c->info, &palette, &count) && palette) {
        for (int i = 0; i < count && uint32_t(i) < img.GetNumColors(); ++i) {
            img.SetPaletteColor(uint32_t(i), palette[i].red, palette[i].green, palette[i].blue);
        }
    }
    png_bytep trans = nullptr;
    int transCount = 0;
    if (png_get_tRNS(c->png, c->info, &trans, &transCount, nullptr) && trans) {
        for (int i = 0; i < transCount && i < 256; ++i)
            indexAlpha[i] = trans[i];
    }
}

void ConvertRow(PngLayout layout, uint32_t bits, const uint8_t* src, uint8_t* dst, uint8_t* alpha,
                const uint8_t* indexAlpha, uint32_t width) {
    switch (layout) {
        case PngLayout::kPalette:
        case PngLayout::kGreyBits:
            if (bits == 8) {
                std::memcpy(dst, src, width);
            } else {
                std::memset(dst, 0, (width * bits + 7) / 8);
                for (uint32_t x = 0; x < width; ++x) {
                    const uint32_t v = src[x] & ((1u << bits) - 1);
                    if (bits == 1) {
                        dst[x >> 3] |= uint8_t(v << (7 - (x & 7)));
                    } else {
                        dst[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
                    }
                }
            }
            if (alpha) {
                for (uint32_t x = 0; x < width; ++x)
                    alpha[x] = indexAlpha[src[x]];
            }
            break;
        case PngLayout::kGrey:
            std::memcpy(dst, src, width);
            break;
        case PngLayout::kGreyAlpha:
            for (uint32_t x = 0; x < width; ++x) {
                dst[x] = src[2 * x];
                alpha[x] = src[2 * x + 1];
            }
            break;
        case PngLayout::kColour:
            std::memcpy(dst, src, size_t(width) * 3);
            break;
        case PngLayout::kColourAlpha:
            for (uint32_t x = 0; x < width; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
                alpha[x] = src[4 * x + 3];
            }
            break;
    }
}

bool HasIndexAlpha(const uint8_t* indexAlpha) {
    for (int i = 0; i < 256; ++i) {
        if (indexAlpha[i] != 255)
            return true;
    }
    return false;
}

void ReadResolution(PngContext* c, CDibImage& img) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(c->png, c->info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER) {
        img.SetXDpi(int32_t(std::floor(double(x) * 0.0254 + 0.5)));
        img.SetYDpi(int32_t(std::floor(double(y) * 0.0254 + 0.5)));
    }
}

bool DecodeRows(PngContext* c, const PngHeader& h, PngLayout layout, CDibImage& img,
                std::string& error, const DecodeOptions* options) {
    int passes = 1;
    if (!PngSetTransforms(c, layout, &passes)) {
        error = c->message;
        return false;
    }
    const size_t rowBytes = png_get_rowbytes(c->png, c->info);
    const uint32_t bits = img.GetBpp();
    uint8_t indexAlpha[256];
    SetUpPalette(c, layout, img, indexAlpha);
    const bool wantAlpha = layout == PngLayout::kGreyAlpha || layout == PngLayout::kColourAlpha ||
                           (layout == PngLayout::kPalette && HasIndexAlpha(indexAlpha));
    if (wantAlpha && !img.AlphaCreate()) {
        error = "PNG: can't allocate memory";
        return false;
    }
    auto alphaRow = [&](uint32_t y) {
        return wantAlpha ? img.GetAlpha() + size_t(y) * h.width : nullptr;
    };
    if (passes == 1) {
        std::vector<uint8_t> row(rowBytes);
        for (uint32_t i = 0; i < h.height; ++i) {
            if (Cancelled(options, error))
                return false;
            if (!PngReadRow(c, row.data())) {
                error = c->message;
                return false;
            }
            const uint32_t y = h.height - 1 - i;
            ConvertRow(layout, bits, row.data(), img.GetRow(y), alphaRow(y), indexAlpha, h.width);
        }
        return true;
    }
    // Interlaced pictures need every row at hand until the last pass.
    if (double(rowBytes) * h.height > double(CDibImage::GetMaxMemory())) {
        error = "PNG: image too large";
        return false;
    }
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(h.height, rowBytes));
    if (!buffer) {
        error = "PNG: can't allocate memory";
        return false;
    }
    std::vector<uint8_t*> rows(h.height);
    for (uint32_t i = 0; i < h.height; ++i)
        rows[i] = buffer + size_t(i) * rowBytes;
    bool ok = true;
    for (int pass = 0; ok && pass < passes; ++pass) {
        for (uint32_t i = 0; ok && i < h.height; ++i) {
            ok = !Cancelled(options, error) && PngReadRow(c, rows[i]);
        }
    }
    if (ok) {
        for (uint32_t i = 0; i < h.height; ++i) {
            const uint32_t y = h.height - 1 - i;
            ConvertRow(layout, bits, rows[i], img.GetRow(y), alphaRow(y), indexAlpha, h.width);
        }
    } else if (error.empty()) {
        error = c->message;
    }
    std::free(buffer);
    return ok;
}

// Averages the rows down as they are read. Of an interlaced picture only the last pass is kept:
// every second row at full width, which the reduction by at least 2 needs no more than.
bool DecodeReduced(PngContext* c, const PngHeader& h, CDibImage& img, std::string& error,
                   const DecodeOptions& options) {
    if (!PngSetSampleTransforms(c)) {
        error = c->message;
        return false;
    }
    const uint32_t channels = png_get_channels(c->png, c->info);
    const uint32_t f = options.Factor(h.width, h.height);
    const bool interlaced = h.interlace != PNG_INTERLACE_NONE;
    constexpr int kLastPass = 6;
    const uint32_t rows = interlaced ? PNG_PASS_ROWS(h.height, kLastPass) : h.height;
    CRowReducer reducer;
    if (!reducer.Start(h.width, rows, channels, f, interlaced ? std::max(1u, f / 2) : f,
                       kDibFormatPng, img, error, &options)) {
        return false;
    }
    std::vector<uint8_t> row(png_get_rowbytes(c->png, c->info));
    while (!reducer.Done()) {
        const int pass = interlaced ? png_get_current_pass_number(c->png) : kLastPass;
        if (Cancelled(&options, error))
            return false;
        if (!PngReadRow(c, row.data())) {
            error = c->message;
            return false;
        }
        if (pass == kLastPass)
            reducer.AddRow(row.data());
    }
    return true;
}

// The picture whose header was read, whole or reduced as the options ask.
bool DecodePicture(PngContext* c, const PngHeader& h, CDibImage& out, std::string& error,
                   DecodeOptions* options) {
    const PngLayout layout = ChooseLayout(h);
    const uint32_t bits = BitsFor(layout, h.depth);
    const bool alpha = h.hasTrns || (h.colourType & PNG_COLOR_MASK_ALPHA) != 0;
    if (options && !options->Admit(h.width, h.height, bits, alpha, error))
        return false;
    bool ok = false;
    if (options && options->Factor(h.width, h.height) > 1) {
        options->reduced = true;
        ok = DecodeReduced(c, h, out, error, *options);
    } else if (!out.Create(h.width, h.height, bits, kDibFormatPng)) {
        error = out.GetLastError();
    } else {
        ok = DecodeRows(c, h, layout, out, error, options);
    }
    if (ok)
        ReadResolution(c, out);
    return ok;
}

}  // namespace

bool DecodePng(std::FILE* stream, CDibImage& out, std::string& error, DecodeOptions* options) {
    uint8_t signature[8];
    if (std::fread(signature, 1, 8, stream) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        error = "PNG: not a PNG file";
        return false;
    }
    PngContext c;
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &c, OnPngError, OnPngWarning);
    c.info = c.png ? png_create_info_struct(c.png) : nullptr;
    bool ok = false;
    PngHeader h;
    if (!c.info) {
        error = "PNG: can't allocate memory";
    } else {
        png_set_sig_bytes(c.png, 8);
        if (!PngReadHeader(&c, stream, &h)) {
            error = c.message;
        } else {
            ok = DecodePicture(&c, h, out, error, options);
        }
    }
    png_destroy_read_struct(&c.png, c.info ? &c.info : nullptr, nullptr);
    if (!ok)
        out.Destroy();
    return ok;
}

// ---------------------------------------------------------------------------------------------

namespace {

struct PngWriteSetup {
    uint32_t width, height;
    int depth, colourType;
    const png_color* palette;
    int paletteCount;
    uint32_t ppmX, ppmY;
    bool bgr;
};

bool PngWriteHeader(PngContext* c, std::FILE* f, const PngWriteSetup* s) {
    if (setjmp(c->jump))
        return false;
    png_init_io(c->png, f);
    // Photos are large and noisy: zlib's default level spends several times longer for a few
    // per cent of size. Level 3 with the Paeth-free filter set keeps a 1600 x 1200 photo fast.
    png_set_compression_level(c->png, 3);
    png_set_filter(c->png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
    png_set_IHDR(c->png, c->info, s->width, s->height, s->depth, s->colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (s->palette)
        png_set_PLTE(c->png, c->info, s->palette, s->paletteCount);
    png_set_pHYs(c->png, c->info, s->ppmX, s->ppmY, PNG_RESOLUTION_METER);
    png_write_info(c->png, c->info);
    if (s->bgr)
        png_set_bgr(c->png);
    return true;
}

bool PngWriteRow(PngContext* c, const uint8_t* row) {
    if (setjmp(c->jump))
        return false;
    png_write_row(c->png, row);
    return true;
}

bool PngWriteEnd(PngContext* c) {
    if (setjmp(c->jump))
        return false;
    png_write_end(c->png, nullptr);
    return true;
}

uint32_t PixelsPerMetre(int32_t dpi) {
    return uint32_t(std::floor(dpi * 10000.0 / 254.0 + 0.5));
}

bool WriteAllRows(PngContext* c, const CDibImage& img, const PngWriteSetup& s, std::string& error) {
    const uint32_t w = img.GetWidth(), h = img.GetHeight(), bpp = img.GetBpp();
    const bool withAlpha = img.HasAlpha();
    const bool grey = s.colourType == PNG_COLOR_TYPE_GRAY_ALPHA;
    std::vector<uint8_t> row;
    if (withAlpha)
        row.resize(size_t(w) * 4);
    for (uint32_t i = 0; i < h; ++i) {
        const uint32_t y = h - 1 - i;
        const uint8_t* src = img.GetRow(y);
        if (withAlpha) {
            const uint8_t* a = img.GetAlpha() + size_t(y) * w;
            for (uint32_t x = 0; x < w; ++x) {
                if (grey) {
                    row[2 * x] = src[x];
                    row[2 * x + 1] = a[x];
                    continue;
                }
                uint8_t* q = &row[4 * x];
                if (bpp == 24) {
                    q[0] = src[3 * x], q[1] = src[3 * x + 1], q[2] = src[3 * x + 2];
                } else {
                    const QvColour col = img.GetPixelColour(x, y);
                    q[0] = QvBlue(col), q[1] = QvGreen(col), q[2] = QvRed(col);
                }
                q[3] = a[x];
            }
            src = row.data();
        }
        if (!PngWriteRow(c, src)) {
            error = c->message;
            return false;
        }
    }
    if (!PngWriteEnd(c)) {
        error = c->message;
        return false;
    }
    return true;
}

}  // namespace

bool EncodePng(std::FILE* stream, const CDibImage& img, std::string& error) {
    const uint32_t bpp = img.GetBpp();
    PngWriteSetup s{img.GetWidth(),
                    img.GetHeight(),
                    8,
                    PNG_COLOR_TYPE_RGB,
                    nullptr,
                    0,
                    PixelsPerMetre(img.GetXDpi()),
                    PixelsPerMetre(img.GetYDpi()),
                    false};
    std::vector<png_color> palette;
    if (img.HasAlpha()) {
        const bool greyAlpha = bpp == 8 && img.IsGreyRamp();
        s.colourType = greyAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_RGB_ALPHA;
        s.bgr = !greyAlpha;
    } else if (bpp == 24) {
        s.bgr = true;
    } else if (img.IsGreyRamp()) {
        s.colourType = PNG_COLOR_TYPE_GRAY;
        s.depth = int(bpp);
    } else {
        s.colourType = PNG_COLOR_TYPE_PALETTE;
        s.depth = int(bpp);
        for (uint32_t i = 0; i < img.GetNumColors(); ++i) {
            const QvColour col = img.GetPaletteColor(i);
            palette.push_back({QvRed(col), QvGreen(col), QvBlue(col)});
        }
        s.palette = palette.data();
        s.paletteCount = int(palette.size());
    }
    PngContext c;
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &c, OnPngError, OnPngWarning);
    c.info = c.png ? png_create_info_struct(c.png) : nullptr;
    bool ok = false;
    if (!c.info) {
        error = "PNG: can't allocate memory";
    } else if (!PngWriteHeader(&c, stream, &s)) {
        error = c.message;
    } else {
        ok = WriteAllRows(&c, img, s, error);
    }
    png_destroy_write_struct(&c.png, c.info ? &c.info : nullptr);
    return ok;
}
