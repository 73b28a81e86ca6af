#pragma once
// A small PDF 1.3 writer whose pages are JPEG pictures placed unchanged in DCTDecode image
// objects, each stretched over the whole page. The whole file is assembled in memory: begin a
// document, add pages, finalize to learn the file length, then write it into one buffer.
//
// The writer keeps one current document for the whole process. Progress and skipped pages are
// reported as lines on standard output only (see PdfSetMessageStream). Pages may carry their
// recognised text as an invisible layer (pdf_text_font.h).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "image/pdf_text_font.h"

struct PdfDocument;

// Most pages one document holds; the 257th and later are refused.
constexpr uint32_t kPdfMaxPages = 256;

// Starts a document whose pages measure widthInches x heightInches (72 points per inch,
// truncated) and makes it the current document. A document begun earlier and not yet written is
// released first. Returns null when out of memory (there is then no current document).
PdfDocument* PdfBegin(double widthInches, double heightInches);

// The current document, or null before PdfBegin and after PdfWrite.
PdfDocument* PdfCurrentDocument();

// Number of pages of the current document; 0 when there is none.
uint32_t PdfPageCount();

// Adds one JPEG picture as the next page of the current document (the bytes are copied). A JPEG
// without a JFIF APP0 header or a baseline frame header is skipped with a warning line.
void PdfAddJpeg(const uint8_t* jpegData, size_t size);

// Where a page's picture lies on the page, in points from the page's bottom-left corner.
struct PdfPlacement {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// As PdfAddJpeg, with the picture drawn into the given rectangle of the page instead of over the
// whole page (the rest of the page stays blank).
void PdfAddJpegPlaced(const uint8_t* jpegData, size_t size, const PdfPlacement& placement);

// As PdfAddJpegPlaced, with the page's words laid over the picture in invisible text: each word at
// its box, scaled to the box's width, in the order given (reading order), so that readers find,
// select and copy it while the page looks as it would without. The picture's content stream stays
// as PdfAddJpegPlaced writes it; the text comes in a second one. A page whose words have no
// character to draw has no text layer, and a document without text no text font.
void PdfAddJpegWithText(const uint8_t* jpegData, size_t size, const PdfPlacement& placement,
                        const std::vector<PdfTextWord>& words);

// Where the writer's progress and skip lines go: standard output unless set; null silences them.
void PdfSetMessageStream(std::FILE* stream);

// Reads the pixel size of a JFIF baseline JPEG. Returns 1 and sets width and height when found,
// 0 otherwise. Never reads outside data[0 .. size).
int JpegGetSize(size_t size, const uint8_t* jpegData, uint32_t& width, uint32_t& height);

// Completes the current document and returns the length of the whole file, or 0 when there is
// no document or it holds no page.
size_t PdfFinalize();

// Copies the finalized file into buffer (at least PdfFinalize() bytes; may be null to only
// release), stores the length written in *lengthOut (when not null), and releases the current
// document.
void PdfWrite(uint8_t* buffer, size_t* lengthOut);

// Hands the finalized file to sink piece by piece, in file order, instead of into one buffer,
// and releases the current document. Returns false, at once, when sink refuses a piece or there
// is no finalized document.
using PdfSink = std::function<bool(const uint8_t* bytes, size_t count)>;
bool PdfWriteTo(const PdfSink& sink);
