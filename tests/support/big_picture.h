#pragma once
// Big test pictures written row by row, never whole in memory: a 20000 x 20000 PNG takes
// seconds to write and a few megabytes. The picture is a document-like pattern of dark blocks on
// a light ground under a gentle gradient. Link PNG::PNG and TIFF::TIFF.

#include <png.h>
#include <tiffio.h>

#include <QFile>
#include <QString>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace big_picture {

// Sample c (0 grey or blue, 1 green, 2 red) of pixel (x, y) counted from the top left.
inline uint8_t Sample(uint32_t x, uint32_t y, uint32_t c) {
    const bool ink = ((x / 97) % 3 == 0) && ((y / 61) % 2 == 0);
    return uint8_t((ink ? 40 : 215) + ((x + 2 * y + 40 * c) >> 9) % 32);
}

inline void FillRow(std::vector<uint8_t>& row, uint32_t y, uint32_t channels) {
    const uint32_t width = uint32_t(row.size() / channels);
    for (uint32_t x = 0; x < width; ++x) {
        for (uint32_t c = 0; c < channels; ++c)
            row[size_t(x) * channels + c] = Sample(x, y, c);
    }
}

// libpng's error path jumps out of here: this frame holds no C++ object of its own.
inline bool WritePngRows(std::FILE* file, uint32_t width, uint32_t height, uint32_t channels,
                         std::vector<uint8_t>& row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, width, height, 8,
                 channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
        FillRow(row, y, channels);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// An 8-bit PNG of 1 (grey) or 3 (red, green, blue) channels.
inline bool WritePng(const QString& path, uint32_t width, uint32_t height, uint32_t channels) {
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    std::vector<uint8_t> row(size_t(width) * channels);
    const bool ok = WritePngRows(file, width, height, channels, row);
    return std::fclose(file) == 0 && ok;
}

// A red, green, blue TIFF in LZW strips, as the program writes its photos.
inline bool WriteTiff(const QString& path, uint32_t width, uint32_t height) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> row(size_t(width) * 3);
    bool ok = true;
    for (uint32_t y = 0; ok && y < height; ++y) {
        FillRow(row, y, 3);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

}  // namespace big_picture
