#include "image/jpeg_codec.h"

// clang-format off
#include <cstddef>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/decode_options.h"
#include "image/dib_image.h"
#include "image/row_reducer.h"

namespace {

// libjpeg's error path longjmps out of the library: the functions below that call setjmp hold
// only this plain data, never a C++ object with a destructor.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 8];
    bool endedEarly;  // the data ran out before the last row: the rest is filled in
};

constexpr int kMaxScans = 1000;               // progressive scan bombs stop here
constexpr long kMaxDecoderMemory = 1L << 30;  // libjpeg's own working memory

void OnJpegError(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegErrorManager*>(info->err);
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    std::snprintf(err->message, sizeof err->message, "JPEG: %s", text);
    std::longjmp(err->jump, 1);
}

// Corrupt-data warnings (a truncated file, extraneous bytes) still give a picture. A file that
// ends early is marked: most of its page may be the decoder's grey, and the user is told.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level >= 0)
        return;
    ++info->err->num_warnings;
    if (info->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegErrorManager*>(info->err)->endedEarly = true;
}

void OnJpegProgress(j_common_ptr info) {
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<JpegErrorManager*>(info->err);
        std::snprintf(err->message, sizeof err->message, "JPEG: too many scans");
        std::longjmp(err->jump, 1);
    }
}

struct JpegReader {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
};

bool JpegCreateReader(JpegReader* r, std::FILE* f) {
    r->cinfo.err = jpeg_std_error(&r->err.pub);
    r->err.pub.error_exit = OnJpegError;
    r->err.pub.emit_message = OnJpegMessage;
    r->err.message[0] = 0;
    if (setjmp(r->err.jump))
        return false;
    jpeg_create_decompress(&r->cinfo);
    r->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    r->progress.progress_monitor = OnJpegProgress;
    r->cinfo.progress = &r->progress;
    jpeg_stdio_src(&r->cinfo, f);
    return true;
}

bool JpegReadHeader(JpegReader* r) {
    if (setjmp(r->err.jump))
        return false;
    jpeg_read_header(&r->cinfo, TRUE);
    switch (r->cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
            r->cinfo.out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            r->cinfo.out_color_space = JCS_CMYK;
            break;
        default:
            r->cinfo.out_color_space = JCS_EXT_BGR;
            break;
    }
    jpeg_calc_output_dimensions(&r->cinfo);
    return true;
}

// DCT scaling: the picture comes out at eighths/8 of its size, and quicker for it.
bool JpegSetScale(JpegReader* r, unsigned eighths) {
    if (setjmp(r->err.jump))
        return false;
    r->cinfo.scale_num = eighths;
    r->cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&r->cinfo);
    return true;
}

bool JpegStart(JpegReader* r) {
    if (setjmp(r->err.jump))
        return false;
    jpeg_start_decompress(&r->cinfo);
    return true;
}

bool JpegReadRow(JpegReader* r, uint8_t* row) {
    if (setjmp(r->err.jump))
        return false;
    JSAMPROW rows[1] = {row};
    // The stdio source never suspends, so anything but one row is a failure, not a retry.
    return jpeg_read_scanlines(&r->cinfo, rows, 1) == 1;
}

// Adobe writes CMYK inverted (255 = no ink); other writers store plain ink amounts.
void CmykRowToBgr(const uint8_t* src, uint8_t* dst, uint32_t width, bool inverted) {
    for (uint32_t x = 0; x < width; ++x) {
        uint32_t c = src[4 * x], m = src[4 * x + 1], y = src[4 * x + 2], k = src[4 * x + 3];
        if (!inverted)
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        dst[3 * x] = uint8_t((y * k + 127) / 255);
        dst[3 * x + 1] = uint8_t((m * k + 127) / 255);
        dst[3 * x + 2] = uint8_t((c * k + 127) / 255);
    }
}

void ReadResolution(const jpeg_decompress_struct& c, CDibImage& img) {
    if (c.density_unit == 1) {
        img.SetXDpi(c.X_density);
        img.SetYDpi(c.Y_density);
    } else if (c.density_unit == 2) {
        img.SetXDpi(int32_t(std::floor(c.X_density * 2.54 + 0.5)));
        img.SetYDpi(int32_t(std::floor(c.Y_density * 2.54 + 0.5)));
    }
}

bool ReadPixels(JpegReader* r, CDibImage& out, std::string& error, const DecodeOptions* options) {
    const uint32_t w = r->cinfo.output_width, h = r->cinfo.output_height;
    const bool cmyk = r->cinfo.out_color_space == JCS_CMYK;
    const bool grey = r->cinfo.out_color_space == JCS_GRAYSCALE;
    // Sizes are checked (and refused) by Create before libjpeg allocates its buffers.
    if (!out.Create(w, h, grey ? 8 : 24, kDibFormatJpeg)) {
        error = out.GetLastError();
        return false;
    }
    if (grey)
        out.SetGreyRamp();
    ReadResolution(r->cinfo, out);
    if (!JpegStart(r)) {
        error = r->err.message;
        return false;
    }
    std::vector<uint8_t> cmykRow(cmyk ? size_t(w) * 4 : 0);
    const bool inverted = r->cinfo.saw_Adobe_marker;
    for (uint32_t i = 0; i < h; ++i) {
        if (options && options->Cancelled()) {
            error = "JPEG: cancelled";
            return false;
        }
        uint8_t* row = out.GetRow(h - 1 - i);
        if (!JpegReadRow(r, cmyk ? cmykRow.data() : row)) {
            error = r->err.message[0] ? r->err.message : "JPEG: can't read the rows";
            return false;
        }
        if (cmyk)
            CmykRowToBgr(cmykRow.data(), row, w, inverted);
    }
    return true;
}

// The fewest eighths at which a width x height picture keeps what the options need; 8 when
// scaling would not make it smaller (libjpeg rounds scaled sizes up). Only halves, quarters and
// eighths: libjpeg-turbo's SIMD transforms cover those, and its 3/8 or 5/8 cost more than the
// whole picture.
unsigned ScaleEighths(uint32_t width, uint32_t height, const DecodeOptions& o) {
    if (o.needWidth == 0 || o.needHeight == 0)
        return 8;
    const auto scaled = [](uint32_t size, unsigned eighths) {
        return (uint64_t(size) * eighths + 7) / 8;
    };
    unsigned eighths = 1;
    while (eighths < 8 && (eighths * o.maxFactor < 8 || scaled(width, eighths) < o.needWidth ||
                           scaled(height, eighths) < o.needHeight)) {
        eighths *= 2;
    }
    return scaled(width, eighths) == width && scaled(height, eighths) == height ? 8 : eighths;
}

// The factor still to apply after libjpeg's scaling, within the options' limit for the whole.
uint32_t FactorAfterScaling(const jpeg_decompress_struct& c, const DecodeOptions& o) {
    const uint32_t eighths = c.scale_num * 8 / c.scale_denom;
    return std::min(o.Factor(c.output_width, c.output_height),
                    std::max(1u, o.maxFactor * eighths / 8));
}

// Reads the picture scaled by libjpeg and, where that is still more than needed, averaged down
// further row by row.
bool ReadReduced(JpegReader* r, CDibImage& out, std::string& error, const DecodeOptions& o) {
    const uint32_t w = r->cinfo.output_width, h = r->cinfo.output_height;
    const bool cmyk = r->cinfo.out_color_space == JCS_CMYK;
    const uint32_t channels = r->cinfo.out_color_space == JCS_GRAYSCALE ? 1 : 3;
    const uint32_t f = FactorAfterScaling(r->cinfo, o);
    CRowReducer reducer;
    if (!reducer.Start(w, h, channels, f, f, kDibFormatJpeg, out, error, &o))
        return false;
    ReadResolution(r->cinfo, out);
    if (!JpegStart(r)) {
        error = r->err.message;
        return false;
    }
    std::vector<uint8_t> row(size_t(w) * 4);
    std::vector<uint8_t> bgr(cmyk ? size_t(w) * 3 : 0);
    const bool inverted = r->cinfo.saw_Adobe_marker;
    while (!reducer.Done()) {
        if (o.Cancelled()) {
            error = "JPEG: cancelled";
            return false;
        }
        if (!JpegReadRow(r, row.data())) {
            error = r->err.message[0] ? r->err.message : "JPEG: can't read the rows";
            return false;
        }
        if (cmyk)
            CmykRowToBgr(row.data(), bgr.data(), w, inverted);
        reducer.AddRow(cmyk ? bgr.data() : row.data());
    }
    return true;
}

// Checks the declared size against the limits and chooses how far to reduce.
bool PlanReduction(JpegReader* r, DecodeOptions& o, std::string& error) {
    const uint32_t w = r->cinfo.image_width, h = r->cinfo.image_height;
    const bool grey = r->cinfo.out_color_space == JCS_GRAYSCALE;
    if (!o.Admit(w, h, grey ? 8 : 24, false, error))
        return false;
    const unsigned eighths = ScaleEighths(w, h, o);
    if (eighths < 8 && !JpegSetScale(r, eighths)) {
        error = r->err.message;
        return false;
    }
    o.reduced = eighths < 8 || FactorAfterScaling(r->cinfo, o) > 1;
    return true;
}

// Bytes from the stream's position to its end; the position is kept.
uint64_t BytesLeft(std::FILE* stream) {
    const off_t here = ftello(stream);
    if (here < 0 || fseeko(stream, 0, SEEK_END) != 0)
        return UINT64_MAX;
    const off_t end = ftello(stream);
    fseeko(stream, here, SEEK_SET);
    return end > here ? uint64_t(end - here) : 0;
}

// libjpeg decodes a file that ends early as if the rest were blank, so a few hundred bytes can
// declare a picture of a gigabyte. Huffman coding spends at least one bit on every block of the
// first component (its DC value); arithmetic coding can spend much less, so it gets a wide
// margin. Twice the floor is allowed before the file is refused.
bool FileCanHoldPicture(const jpeg_decompress_struct& c, uint64_t fileBytes) {
    const jpeg_component_info& first = c.comp_info[0];
    const double blocks = double(first.width_in_blocks) * first.height_in_blocks;
    const double blocksPerByte = c.arith_code ? 1024 : 16;
    return blocks <= double(fileBytes) * blocksPerByte;
}

}  // namespace

bool DecodeJpeg(std::FILE* stream, CDibImage& out, std::string& error, DecodeOptions* options) {
    JpegReader reader{};
    bool ok = false;
    const uint64_t fileBytes = BytesLeft(stream);
    if (!JpegCreateReader(&reader, stream)) {
        error = reader.err.message;
    } else if (!JpegReadHeader(&reader)) {
        error = reader.err.message;
    } else if (!FileCanHoldPicture(reader.cinfo, fileBytes)) {
        error = "JPEG: the file is too small for the picture it declares";
    } else if (reader.cinfo.out_color_components != 1 && reader.cinfo.out_color_components != 3 &&
               reader.cinfo.out_color_components != 4) {
        error = "JPEG: unsupported colour layout";
    } else if (!options || PlanReduction(&reader, *options, error)) {
        ok = options && options->reduced ? ReadReduced(&reader, out, error, *options)
                                         : ReadPixels(&reader, out, error, options);
        out.SetDamaged(reader.err.endedEarly);
    }
    jpeg_destroy_decompress(&reader.cinfo);
    if (!ok)
        out.Destroy();
    return ok;
}

// ---------------------------------------------------------------------------------------------

namespace {

struct JpegWriter {
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
};

bool JpegCompress(JpegWriter* w, std::FILE* f, uint32_t width, uint32_t height, bool grey,
                  int quality, int xDpi, int yDpi, uint8_t* const* rows) {
    w->cinfo.err = jpeg_std_error(&w->err.pub);
    w->err.pub.error_exit = OnJpegError;
    w->err.pub.emit_message = OnJpegMessage;
    w->err.message[0] = 0;
    if (setjmp(w->err.jump))
        return false;
    jpeg_create_compress(&w->cinfo);
    jpeg_stdio_dest(&w->cinfo, f);
    w->cinfo.image_width = width;
    w->cinfo.image_height = height;
    w->cinfo.input_components = grey ? 1 : 3;
    w->cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&w->cinfo);
    jpeg_set_quality(&w->cinfo, quality, TRUE);
    w->cinfo.density_unit = 1;
    w->cinfo.X_density = UINT16(xDpi);
    w->cinfo.Y_density = UINT16(yDpi);
    jpeg_start_compress(&w->cinfo, TRUE);
    while (w->cinfo.next_scanline < height) {
        JSAMPROW row = rows[w->cinfo.next_scanline];
        jpeg_write_scanlines(&w->cinfo, &row, 1);
    }
    jpeg_finish_compress(&w->cinfo);
    return true;
}

}  // namespace

bool EncodeJpeg(std::FILE* stream, const CDibImage& img, std::string& error) {
    const uint32_t bpp = img.GetBpp();
    const bool grey = bpp == 8 && img.IsGreyRamp();
    if (bpp != 24 && !grey) {
        error = "JPEG can save only RGB or GreyScale images";
        return false;
    }
    const uint32_t w = img.GetWidth(), h = img.GetHeight();
    if (w > JPEG_MAX_DIMENSION || h > JPEG_MAX_DIMENSION) {
        error = "JPEG: picture too large for JPEG";
        return false;
    }
    // JPEG rows run from the top; the block's rows are handed over in place.
    std::vector<uint8_t*> rows(h);
    for (uint32_t i = 0; i < h; ++i)
        rows[i] = const_cast<uint8_t*>(img.GetRow(h - 1 - i));
    const int quality = std::min<int>(100, img.GetQuality());
    const int xDpi = std::min<int32_t>(65535, img.GetXDpi());
    const int yDpi = std::min<int32_t>(65535, img.GetYDpi());
    JpegWriter writer{};
    const bool ok = JpegCompress(&writer, stream, w, h, grey, quality, xDpi, yDpi, rows.data());
    if (!ok)
        error = writer.err.message;
    jpeg_destroy_compress(&writer.cinfo);
    return ok;
}
