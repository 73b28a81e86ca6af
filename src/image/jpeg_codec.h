#pragma once
// JPEG reading and writing for CDibImage over libjpeg-turbo.

#include <cstdio>
#include <string>

class CDibImage;
struct DecodeOptions;

// Reads baseline, progressive and arithmetic-coded 8-bit JPEG: grey pictures become 8-bit
// grey-ramp pictures, everything else (YCbCr, RGB, CMYK, YCCK) 24-bit.
bool DecodeJpeg(std::FILE* stream, CDibImage& out, std::string& error,
                DecodeOptions* options = nullptr);

// Writes 24-bit pictures as colour and 8-bit grey-ramp pictures as one-channel grey, at the
// picture's quality, with its resolution in dots per inch.
bool EncodeJpeg(std::FILE* stream, const CDibImage& image, std::string& error);
