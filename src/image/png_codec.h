#pragma once
// PNG reading and writing for CDibImage over libpng.

#include <cstdio>
#include <string>

class CDibImage;
struct DecodeOptions;

// Reads a PNG at the stream's position into out. Palette pictures keep their palette (2-bit
// pictures become 4-bit), grey pictures become grey-ramp pictures, colour pictures 24-bit;
// 16-bit samples are scaled to 8; tRNS and alpha channels become the alpha plane.
bool DecodePng(std::FILE* stream, CDibImage& out, std::string& error,
               DecodeOptions* options = nullptr);

// Writes grey-ramp pictures as grey, other palette pictures as palette, 24-bit as RGB, and any
// picture with an alpha plane as RGBA (or grey with alpha).
bool EncodePng(std::FILE* stream, const CDibImage& image, std::string& error);
