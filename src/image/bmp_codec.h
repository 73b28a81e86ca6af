#pragma once
// BMP reading and writing for CDibImage.

#include <cstdio>
#include <string>

class CDibImage;
struct DecodeOptions;

// Reads core (OS/2 1.x), info, V4 and V5 headers; 1, 4 and 8-bit palette pictures (also RLE4
// and RLE8), 16-bit (5-5-5 or bit fields), 24-bit and 32-bit (bit fields), bottom-up or top-down.
// 16- and 32-bit pictures become 24-bit.
bool DecodeBmp(std::FILE* stream, CDibImage& out, std::string& error,
               DecodeOptions* options = nullptr);

// Writes the pixel block as it stands (1, 4, 8 or 24 bits, uncompressed) behind a file header.
bool EncodeBmp(std::FILE* stream, const CDibImage& image, std::string& error);
