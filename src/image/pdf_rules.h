#pragma once
// The rules of making a PDF from a list of pictures, as plain functions: which decoder a file
// name asks for, the page size the first picture gives, the width every page is cut to, where a
// picture lies on its page, the name the PDF file gets, and when two list entries are one file.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "image/pdf_writer.h"

// Format code for a page, from the extension as written after the last "." (no case folding):
// "JPG"/"JPEG" JPEG, "BMP" BMP, "PNG" PNG, "TIF"/"TIFF" TIFF, anything else BMP. Loading falls
// back to detection, so lower-case extensions still load.
uint32_t PdfPageFormatCode(const QString& path);
// The same for the dialog's preview, where anything else means JPEG.
uint32_t PdfPreviewFormatCode(const QString& path);

// Width in pixels a page is resampled to: rounded down to a multiple of 8.
uint32_t PdfCutWidth(uint32_t width);

// Page size in inches for the first picture: each side over 75, rounded to single precision, so
// that PdfBegin gives about 0.96 point per pixel (1000 x 750 pixels give 959 x 720 points).
struct PdfInches {
    double width = 0;
    double height = 0;
};
PdfInches PdfPageInches(uint32_t width, uint32_t height);

// Where a picture of width x height pixels lies on a page of pageWidth x pageHeight points whose
// size came from a first picture of firstWidth x firstHeight pixels. A picture of the first
// picture's proportions covers the whole page; any other is scaled to fit, keeping its
// proportions, and centred.
PdfPlacement PdfPagePlacement(uint32_t width, uint32_t height, uint32_t firstWidth,
                              uint32_t firstHeight, int32_t pageWidth, int32_t pageHeight);

// The PDF file name for a chosen path: ".pdf" is appended unless the name already ends in a
// "." followed by "pdf" in any letter case (scan -> scan.pdf, scan.PDF stays, scan.txt ->
// scan.txt.pdf).
QString PdfFileNameFor(const QString& chosen);

// Index of the first entry of list that names the same file as path, or -1. Two paths name the
// same file when their cleaned absolute forms are equal: letter case counts and "\" is an
// ordinary character, as in the file system here.
int IndexOfPicturePath(const QStringList& list, const QString& path);
