#pragma once
// CPdfTextFont: the font of a document's invisible text layer. Its one glyph is empty, so the font
// needs no glyphs of its own: the words are drawn in render mode 3 (neither filled nor stroked)
// only so that readers find, select and copy them. Each character used gets a two-byte code in
// order of first use, and the font's ToUnicode map gives every code its Unicode value back, so
// Chinese and English text alike extract and search as they were recognised.
//
// The text of each page is written as the pages are added; the font's objects, which must list
// every character of the document, are written once at its end.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A recognised word on a page: its text and its box in points from the page's bottom-left corner.
// The text is drawn as tall as the box, its font's descent at the box's bottom edge, and stretched
// to the box's width.
struct PdfTextWord {
    std::u32string text;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// A number in the content syntax: fixed, two decimals, a point whatever the locale.
std::string PdfTwoDecimals(double value);

// The bytes compressed for a /FlateDecode stream; empty when compression fails.
std::string PdfDeflate(const std::string& bytes);

class CPdfTextFont {
public:
    // The name pages use for the font in their resources.
    static constexpr const char* kResourceName = "F0";
    // Objects the font takes: the composite font, its descendant, the descriptor, the font
    // program, the ToUnicode map and the code-to-glyph map.
    static constexpr uint32_t kObjectCount = 6;

    // The uncompressed content that draws words in invisible text, in the order given; empty when
    // no word has a drawable character and a box.
    std::string Content(const std::vector<PdfTextWord>& words);

    // The font's objects, numbered first ... first + kObjectCount - 1, each complete from
    // "n 0 obj" to "endobj" and a line end.
    std::vector<std::string> Objects(uint32_t first) const;

    // Characters given a code so far.
    size_t CharacterCount() const { return characters_.size(); }

    // The program of a TrueType font with one empty glyph, 1000 units wide (exposed for tests).
    static const std::string& GlyphlessProgram();

private:
    // The code of c, given one on first use; 0 when it has none (a control character, or every
    // code is taken).
    uint16_t CodeFor(char32_t c);

    std::map<char32_t, uint16_t> codes_;
    std::vector<char32_t> characters_;  // characters_[code - 1] is the character of code
};
