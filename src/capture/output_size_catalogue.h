#pragma once
// The capture engine's catalogue of output sizes: one node per pixel format, in the order the
// formats first appear, each with its sizes as 16-bit strings of widths and heights.

#include <string>
#include <vector>

struct OUTPUTSIZENODE {
    std::u16string formatName;
    std::u16string widths;   // one code unit per size
    std::u16string heights;  // same order
};

// One capability of a device: its format's name and minimum output size.
struct OutputCapability {
    std::string formatName;
    int width = 0;
    int height = 0;
};

// True when the name is one of the catalogue's format names ("YUY2", "MJPG", "RGB24" …).
bool IsCatalogueFormatName(const std::string& name);

// Builds the catalogue from the capabilities in the device's order. A capability whose format
// has no catalogue name is skipped; a zero dimension is not stored (so that node's strings can
// differ in length, and such a node is then no longer kept sorted).
std::vector<OUTPUTSIZENODE> BuildOutputSizeCatalogue(const std::vector<OutputCapability>& caps);
