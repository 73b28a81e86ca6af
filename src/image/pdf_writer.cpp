#include "image/pdf_writer.h"

#include "image/pdf_text_font.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// Cross-reference offsets are written with ten digits; a file may not grow past them.
constexpr uint64_t kMaxFileBytes = 9999999999ull;

struct PdfPage {
    std::vector<uint8_t> jpegData;
    uint32_t pageObject = 0;
    std::string imageHeader;  // text before the JPEG bytes
    std::string pageTail;     // end of the image object and the page's four other objects
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}

// The 20-byte cross-reference line of an object that is in use.
std::string XrefLine(uint64_t offset) {
    return Format("%010llu 00000 n\r\n", static_cast<unsigned long long>(offset));
}

// Points from inches, truncated toward zero; sizes no page can have give 0.
int32_t InchesToPoints(double inches) {
    const double points = std::trunc(inches * 72.0);
    if (!std::isfinite(points) || points < std::numeric_limits<int32_t>::min() ||
        points > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    return static_cast<int32_t>(points);
}

uint32_t ReadBigEndian16(const uint8_t* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}

struct JpegFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;
    bool adobe = false;  // an APP14 "Adobe" segment came before the frame
};

// Walks the segments of a JFIF file up to its baseline frame header. Every read is checked
// against size; a length field below 2 (which cannot hold itself) ends the walk.
bool ReadJpegFrame(size_t size, const uint8_t* data, JpegFrame& frame) {
    static const uint8_t kJfifStart[] = {0xFF, 0xD8, 0xFF, 0xE0};
    if (!data || size < 11 || std::memcmp(data, kJfifStart, 4) != 0 ||
        std::memcmp(data + 6, "JFIF", 4) != 0 || data[10] != 0) {
        return false;
    }
    // pos is where a segment's length field sits, len that length (which counts the field).
    size_t pos = 4;
    size_t len = ReadBigEndian16(data + 4);
    while (len >= 2 && pos + len + 1 < size) {
        const size_t m = pos + len;  // the next marker
        if (data[m] != 0xFF) {
            return false;
        }
        if (data[m + 1] == 0xC0) {
            if (m + 9 >= size) {
                return false;
            }
            frame.height = ReadBigEndian16(data + m + 5);
            frame.width = ReadBigEndian16(data + m + 7);
            frame.components = data[m + 9];
            return frame.width > 0 && frame.height > 0;
        }
        if (m + 3 >= size) {
            return false;
        }
        if (data[m + 1] == 0xEE && m + 8 < size && std::memcmp(data + m + 4, "Adobe", 5) == 0) {
            frame.adobe = true;
        }
        pos = m + 2;
        len = ReadBigEndian16(data + m + 2);
    }
    return false;
}

// The colour space of the image object, with the decode array Adobe's inverted CMYK needs. Three
// components (every page the program itself makes) give DeviceRGB.
std::string ColourSpace(const JpegFrame& frame) {
    switch (frame.components) {
        case 1:
            return "DeviceGray";
        case 4:
            return frame.adobe ? "DeviceCMYK/Decode[1 0 1 0 1 0 1 0]" : "DeviceCMYK";
        default:
            return "DeviceRGB";
    }
}

}  // namespace

struct PdfDocument {
    std::list<PdfPage> pages;
    std::string headerText;
    std::string tailText;  // catalog, page tree, cross-reference table, trailer
    std::vector<std::string> xrefSlots;
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    uint32_t nextObject = 2;  // object 1 is the page tree
    uint64_t totalBytes = 0;
    uint32_t imageIndex = 0;
    CPdfTextFont font;
    uint32_t fontObject = 0;  // the text font's first object; 0 while no page has text

    void SetSlot(uint32_t object, std::string line) {
        if (xrefSlots.size() <= object) {
            xrefSlots.resize(object + 1);
        }
        xrefSlots[object] = std::move(line);
    }
    void AddPage(const uint8_t* jpegData, size_t size, const JpegFrame& frame,
                 const PdfPlacement& placement, const std::vector<PdfTextWord>& words);
    void Finalize();
};

namespace {

PdfDocument* g_current = nullptr;
std::FILE* g_messages = stdout;

std::string ContentText(const PdfPlacement& at, uint32_t imageIndex) {
    return "q\r\n1 0 0 1 " + PdfTwoDecimals(at.x) + " " + PdfTwoDecimals(at.y) + " cm\r\n" +
           PdfTwoDecimals(at.width) + " 0 0 " + PdfTwoDecimals(at.height) + " 0 0 cm\r\n/I" +
           std::to_string(imageIndex) + " Do\r\nQ\r\n";
}

// Checks and adds one page to the current document.
void AddJpeg(const uint8_t* jpegData, size_t size, const PdfPlacement* placement,
             const std::vector<PdfTextWord>& words) {
    JpegFrame frame;
    if (!ReadJpegFrame(size, jpegData, frame)) {
        if (g_messages)
            std::fputs("Warning: Can't obtain image dimension from Skipped.\n", g_messages);
        return;
    }
    if (g_messages)
        std::fprintf(g_messages, "Adding  (%ux%u) into PDF\n", frame.width, frame.height);
    if (!g_current) {
        return;
    }
    if (g_current->pages.size() >= kPdfMaxPages) {
        if (g_messages) {
            std::fprintf(
                g_messages,
                "Add JPEG into PDF Skipped. Reason: Reached Max Page Number (%u) in single PDF.\n",
                kPdfMaxPages);
        }
        return;
    }
    const PdfPlacement wholePage{0, 0, double(g_current->pageWidth), double(g_current->pageHeight)};
    try {
        g_current->AddPage(jpegData, size, frame, placement ? *placement : wholePage, words);
    } catch (const std::bad_alloc&) {
        // Out of memory: the page is dropped and the document stays as it was.
    }
}

}  // namespace

void PdfDocument::AddPage(const uint8_t* jpegData, size_t size, const JpegFrame& frame,
                          const PdfPlacement& placement, const std::vector<PdfTextWord>& words) {
    PdfPage page;
    page.jpegData.assign(jpegData, jpegData + size);

    const uint32_t k = nextObject;
    uint64_t bytes = totalBytes;
    std::vector<std::string> slots;
    slots.push_back(XrefLine(bytes));
    page.imageHeader = Format(
        "\r\n%u 0 obj\r\n<</Type/XObject/Subtype/Image/Filter/DCTDecode/BitsPerComponent "
        "8/ColorSpace/%s/Width %u/Height %u/Length %zu>>\r\nstream\r\n",
        k, ColourSpace(frame).c_str(), frame.width, frame.height, size);
    bytes += page.imageHeader.size() + size;

    // A page with text draws it from a second content stream (object k + 5), so the picture's
    // own stream stays as it is; the font's objects follow the first such page.
    const std::string drawn = font.Content(words);
    const std::string text = drawn.empty() ? std::string() : PdfDeflate(drawn);
    const uint32_t fontFirst = text.empty() || fontObject != 0 ? fontObject : k + 6;
    const std::string contents =
        text.empty() ? Format("%u 0 R", k + 2) : Format("[%u 0 R %u 0 R]", k + 2, k + 5);
    const std::string content = ContentText(placement, imageIndex);
    const std::string parts[] = {
        "\r\nendstream\r\nendobj\r\n",
        Format("%u 0 obj\r\n<</Type/Page/Parent 1 0 R/MediaBox[0 0 %d %d]/Contents %s/Resources "
               "%u 0 R>>\r\nendobj\r\n",
               k + 1, pageWidth, pageHeight, contents.c_str(), k + 4),
        Format("%u 0 obj\r\n<</Length %u 0 R>>stream\r\n%sendstream\r\nendobj\r\n", k + 2, k + 3,
               content.c_str()),
        Format("%u 0 obj\r\n%zu\r\nendobj\r\n", k + 3, content.size()),
        text.empty()
            ? Format("%u 0 obj\r\n<</ProcSet[/PDF/%s]/XObject<</I%u %u 0 R>>>>\r\nendobj\r\n",
                     k + 4, "ImageC", imageIndex, k)
            : Format("%u 0 obj\r\n<</ProcSet[/PDF/ImageC/Text]/XObject<</I%u %u 0 R>>/Font<</%s "
                     "%u 0 R>>>>\r\nendobj\r\n",
                     k + 4, imageIndex, k, CPdfTextFont::kResourceName, fontFirst),
        text.empty() ? std::string()
                     : Format("%u 0 obj\r\n<</Filter/FlateDecode/Length %zu>>stream\r\n", k + 5,
                              text.size()) +
                           text + "\r\nendstream\r\nendobj\r\n",
    };
    for (const std::string& part : parts) {
        if (part.empty())
            continue;
        page.pageTail += part;
        bytes += part.size();
        slots.push_back(XrefLine(bytes));
    }
    // The last offset belongs to the next object, which the next page or the tail writes.
    slots.pop_back();
    if (bytes > kMaxFileBytes) {
        return;  // the offsets would no longer fit the cross-reference table
    }

    page.pageObject = k + 1;
    pages.push_back(std::move(page));
    for (uint32_t i = 0; i < slots.size(); ++i) {
        SetSlot(k + i, std::move(slots[i]));
    }
    totalBytes = bytes;
    nextObject = k + uint32_t(slots.size());
    if (fontFirst != fontObject) {
        fontObject = fontFirst;
        nextObject += CPdfTextFont::kObjectCount;
    }
    imageIndex += 1;
}

void PdfDocument::Finalize() {
    if (!tailText.empty()) {
        return;  // already finalized
    }
    if (fontObject != 0) {
        const std::vector<std::string> objects = font.Objects(fontObject);
        for (uint32_t i = 0; i < objects.size(); ++i) {
            SetSlot(fontObject + i, XrefLine(totalBytes));
            totalBytes += objects[i].size();
            tailText += objects[i];
        }
    }
    const uint32_t catalog = nextObject;
    SetSlot(catalog, XrefLine(totalBytes));
    const std::string catalogText =
        Format("%u 0 obj\r\n<</Type/Catalog/Pages 1 0 R>>\r\nendobj\r\n", catalog);
    tailText += catalogText;
    totalBytes += catalogText.size();
    SetSlot(1, XrefLine(totalBytes));

    std::string kids;
    for (const PdfPage& page : pages) {
        kids += std::to_string(page.pageObject) + " 0 R ";
    }
    if (kids.size() > 1) {
        kids.pop_back();
    }
    std::string text = Format("1 0 obj\r\n<</Type /Pages /Kids [%s] /Count %zu>>\r\nendobj\r\n",
                              kids.c_str(), pages.size());
    const uint64_t xrefOffset = totalBytes + text.size();
    text += Format("xref\r\n0 %u\r\n", catalog + 1);
    for (uint32_t i = 0; i <= catalog; ++i) {
        text += xrefSlots[i];
    }
    text += Format("trailer\r\n<</Root %u 0 R /Size %u>>\r\n", catalog, catalog + 1);
    text += Format("startxref\r\n%llu\r\n%%%%EOF\r\n", static_cast<unsigned long long>(xrefOffset));
    tailText += text;
    totalBytes += text.size();
}

PdfDocument* PdfBegin(double widthInches, double heightInches) {
    delete g_current;
    g_current = new (std::nothrow) PdfDocument;
    if (!g_current) {
        return nullptr;
    }
    try {
        g_current->pageWidth = InchesToPoints(widthInches);
        g_current->pageHeight = InchesToPoints(heightInches);
        g_current->SetSlot(0, Format("%010d 65535 f\r\n", 0));
        g_current->headerText =
            "%PDF-1.3\r\n%\xFF"
            "Quorvane document camera"
            "\xFF\r\n";
    } catch (const std::bad_alloc&) {
        delete g_current;
        g_current = nullptr;
        return nullptr;
    }
    g_current->totalBytes = g_current->headerText.size();
    return g_current;
}

PdfDocument* PdfCurrentDocument() {
    return g_current;
}

uint32_t PdfPageCount() {
    return g_current ? uint32_t(g_current->pages.size()) : 0;
}

int JpegGetSize(size_t size, const uint8_t* data, uint32_t& width, uint32_t& height) {
    JpegFrame frame;
    if (!ReadJpegFrame(size, data, frame)) {
        return 0;
    }
    width = frame.width;
    height = frame.height;
    return 1;
}

void PdfAddJpeg(const uint8_t* jpegData, size_t size) {
    AddJpeg(jpegData, size, nullptr, {});
}

void PdfAddJpegPlaced(const uint8_t* jpegData, size_t size, const PdfPlacement& placement) {
    AddJpeg(jpegData, size, &placement, {});
}

void PdfAddJpegWithText(const uint8_t* jpegData, size_t size, const PdfPlacement& placement,
                        const std::vector<PdfTextWord>& words) {
    AddJpeg(jpegData, size, &placement, words);
}

void PdfSetMessageStream(std::FILE* stream) {
    g_messages = stream;
}

size_t PdfFinalize() {
    if (!g_current) {
        return 0;
    }
    try {
        g_current->Finalize();
    } catch (const std::bad_alloc&) {
        g_current->tailText.clear();
        return 0;
    }
    const PdfDocument& doc = *g_current;
    if (doc.headerText.empty() || doc.tailText.empty() ||
        doc.headerText.size() + doc.tailText.size() >= doc.totalBytes) {
        return 0;
    }
    return static_cast<size_t>(doc.totalBytes);
}

bool PdfWriteTo(const PdfSink& sink) {
    // The current document is cleared in every case, so that page operations called before the
    // next PdfBegin find no document instead of a released one.
    std::unique_ptr<PdfDocument> doc(std::exchange(g_current, nullptr));
    if (!doc || doc->tailText.empty()) {
        return false;
    }
    if (!sink(reinterpret_cast<const uint8_t*>(doc->headerText.data()), doc->headerText.size())) {
        return false;
    }
    // Each page is released once written, so the file never needs twice its pages' memory.
    while (!doc->pages.empty()) {
        const PdfPage& page = doc->pages.front();
        if (!sink(reinterpret_cast<const uint8_t*>(page.imageHeader.data()),
                  page.imageHeader.size()) ||
            !sink(page.jpegData.data(), page.jpegData.size()) ||
            !sink(reinterpret_cast<const uint8_t*>(page.pageTail.data()), page.pageTail.size())) {
            return false;
        }
        doc->pages.pop_front();
    }
    return sink(reinterpret_cast<const uint8_t*>(doc->tailText.data()), doc->tailText.size());
}

void PdfWrite(uint8_t* buffer, size_t* lengthOut) {
    size_t written = 0;
    PdfWriteTo([&](const uint8_t* bytes, size_t count) {
        if (!buffer) {
            return false;
        }
        std::memcpy(buffer + written, bytes, count);
        written += count;
        return true;
    });
    if (lengthOut) {
        *lengthOut = written;
    }
}
