// Measures arbitrary bytes as a JPEG and, when measured, writes them as a one-page PDF; the file
// must be exactly as long as finalizing promised and hold the bytes unchanged.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/pdf_writer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The writer reports every page on standard output.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t width = 0;
    uint32_t height = 0;
    const int found = JpegGetSize(size, data, width, height);
    if (found && (width == 0 || height == 0)) {
        std::abort();
    }
    PdfBegin(width / 75.0, height / 75.0);
    PdfAddJpeg(data, size);
    const size_t length = PdfFinalize();
    if (!found) {
        if (length != 0) {
            std::abort();  // nothing was added, so there is no file
        }
        PdfWrite(nullptr, nullptr);
        return 0;
    }
    std::vector<uint8_t> file(length);
    size_t written = 0;
    PdfWrite(file.data(), &written);
    static const char kEnd[] = "%%EOF\r\n";
    const size_t endLength = sizeof kEnd - 1;
    if (written != length || length < size + endLength ||
        std::memcmp(file.data() + length - endLength, kEnd, endLength) != 0 ||
        std::search(file.begin(), file.end(), data, data + size) == file.end()) {
        std::abort();
    }
    return 0;
}
