#pragma once
// TIFF reading and writing for CDibImage over libtiff, on the caller's stream.

#include <cstdio>
#include <string>

class CDibImage;
struct DecodeOptions;

// Reads the first page: 1-bit, grey, palette and 8-bit RGB strips directly; every other layout
// (tiles, YCbCr, CMYK, 16-bit colour, separate planes, JPEG inside TIFF) through libtiff's RGBA
// reader. libtiff's messages go to the error text, never to the console.
bool DecodeTiff(std::FILE* stream, CDibImage& out, std::string& error,
                DecodeOptions* options = nullptr);

// Writes 24-bit pictures as LZW RGB (RGBA with an alpha plane), black-and-white pictures as
// CCITT G4, grey-ramp pictures as LZW grey and other palette pictures as LZW palette.
bool EncodeTiff(std::FILE* stream, const CDibImage& image, std::string& error);
