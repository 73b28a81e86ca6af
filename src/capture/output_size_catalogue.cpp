#include "capture/output_size_catalogue.h"

#include <algorithm>
#include <utility>

namespace {

// The format names, as the platform's subtype table lists them.
const char* const kFormatNames[] = {
    "CLPL", "YUYV", "IYUV", "YVU9", "Y411", "Y41P",   "YUY2",   "YVYU",  "UYVY", "Y211",
    "CLJR", "IF09", "CPLA", "MJPG", "TVMJ", "WAKE",   "CFCC",   "CFCC",  "Plum", "DVCS",
    "DVSD", "MDVF", "RGB1", "RGB4", "RGB8", "RGB565", "RGB555", "RGB24", "RGB32"};

void AppendDimension(std::u16string& s, int value) {
    // A zero cannot be held in the string (it would end it), so it is not appended.
    if (value != 0)
        s.push_back(static_cast<char16_t>(value));
}

// One backward pass keeps the entries in ascending width: the new last entry moves down past
// wider ones and stays after sizes of equal width.
void SortLastEntry(OUTPUTSIZENODE& node) {
    if (node.widths.size() != node.heights.size())
        return;
    for (size_t j = node.widths.size(); j-- > 1;) {
        if (node.widths[j] < node.widths[j - 1]) {
            std::swap(node.widths[j], node.widths[j - 1]);
            std::swap(node.heights[j], node.heights[j - 1]);
        }
    }
}

}  // namespace

bool IsCatalogueFormatName(const std::string& name) {
    return std::find(std::begin(kFormatNames), std::end(kFormatNames), name) !=
           std::end(kFormatNames);
}

std::vector<OUTPUTSIZENODE> BuildOutputSizeCatalogue(const std::vector<OutputCapability>& caps) {
    std::vector<OUTPUTSIZENODE> catalogue;
    for (const OutputCapability& c : caps) {
        if (!IsCatalogueFormatName(c.formatName))
            continue;
        const std::u16string name(c.formatName.begin(), c.formatName.end());
        auto node = std::find_if(catalogue.begin(), catalogue.end(),
                                 [&](const OUTPUTSIZENODE& n) { return n.formatName == name; });
        if (node == catalogue.end()) {
            catalogue.push_back({name, {}, {}});
            node = catalogue.end() - 1;
        }
        AppendDimension(node->widths, c.width);
        AppendDimension(node->heights, c.height);
        SortLastEntry(*node);
    }
    return catalogue;
}
