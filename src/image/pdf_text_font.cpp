#include "image/pdf_text_font.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <utility>

namespace {

// Glyph space of the font program, and the advance of its one glyph: a character is as wide as
// the text is tall before the word is stretched to its box.
constexpr int kUnitsPerEm = 1000;
// The font's height above and below the baseline: a word's box spans both, so readers that select
// by the font's ascent and descent cover the box, and the baseline sits where print has it.
constexpr int kAscent = 800;
constexpr int kDescent = -200;
constexpr const char* kFontName = "QuorvaneInvisibleText";
// Characters in one bfchar block of a CMap: at most 100.
constexpr size_t kCMapBlock = 100;

// --- The TrueType program, built once: tables as the format lays them out, big-endian.

class Bytes {
public:
    Bytes& U16(uint32_t v) {
        text_ += char(v >> 8);
        text_ += char(v);
        return *this;
    }
    Bytes& U32(uint32_t v) { return U16(v >> 16).U16(v & 0xFFFF); }
    Bytes& Zeros(size_t count) {
        text_.append(count, '\0');
        return *this;
    }
    Bytes& Text(const std::string& text) {
        text_ += text;
        return *this;
    }
    const std::string& Get() const { return text_; }

private:
    std::string text_;
};

uint32_t TableChecksum(const std::string& table) {
    uint32_t sum = 0;
    for (size_t i = 0; i < table.size(); i += 4) {
        uint32_t word = 0;
        for (size_t j = 0; j < 4; ++j)
            word = (word << 8) | (i + j < table.size() ? uint8_t(table[i + j]) : 0u);
        sum += word;
    }
    return sum;
}

std::string Head() {
    return Bytes()
        .U32(0x00010000)  // version
        .U32(0x00010000)  // font revision
        .U32(0)           // checksum adjustment, set once the whole font is known
        .U32(0x5F0F3CF5)  // magic number
        .U16(0x000B)      // baseline and left side bearing at 0, integer scaling
        .U16(kUnitsPerEm)
        .Zeros(16)  // created, modified
        .U16(0)
        .U16(uint16_t(kDescent))
        .U16(kUnitsPerEm)
        .U16(kAscent)  // bounding box
        .U16(0)        // style
        .U16(8)        // smallest readable size in pixels
        .U16(2)        // direction hint
        .U16(0)        // short glyph offsets
        .U16(0)        // glyph data format
        .Get();
}

std::string HorizontalHeader() {
    return Bytes()
        .U32(0x00010000)
        .U16(kAscent)
        .U16(uint16_t(kDescent))
        .U16(0)            // line gap
        .U16(kUnitsPerEm)  // widest advance
        .Zeros(4)          // side bearings
        .U16(kUnitsPerEm)  // extent
        .U16(1)            // caret slope rise
        .Zeros(14)         // caret run and offset, reserved, metric format
        .U16(2)            // advances given for both glyphs
        .Get();
}

std::string MaximumProfile() {
    return Bytes().U32(0x00010000).U16(2).Zeros(12).U16(1).Zeros(12).Get();
}

std::string Metrics() {
    return Bytes().U16(kUnitsPerEm).U16(0).U16(kUnitsPerEm).U16(0).Get();
}

std::string CharacterMap() {
    // One format 4 subtable that maps no character: the PDF maps codes to the glyph itself.
    return Bytes()
        .U16(0)
        .U16(1)
        .U16(3)
        .U16(1)
        .U32(12)
        .U16(4)
        .U16(24)
        .U16(0)
        .U16(2)
        .U16(2)
        .U16(0)
        .U16(0)
        .U16(0xFFFF)
        .U16(0)
        .U16(0xFFFF)
        .U16(1)
        .U16(0)
        .Get();
}

std::string Names() {
    const auto utf16 = [](const std::string& text) {
        std::string out;
        for (char c : text)
            out += std::string{'\0', c};
        return out;
    };
    const std::string name = utf16(kFontName);
    const std::string style = utf16("Regular");
    // Family, style, full name and PostScript name; all but the style share one string.
    const uint16_t ids[] = {1, 2, 4, 6};
    Bytes table;
    table.U16(0).U16(uint16_t(std::size(ids))).U16(uint16_t(6 + 12 * std::size(ids)));
    for (uint16_t id : ids) {
        const bool isStyle = id == 2;
        table.U16(3).U16(1).U16(0x409).U16(id);
        table.U16(uint16_t(isStyle ? style.size() : name.size()))
            .U16(uint16_t(isStyle ? name.size() : 0));
    }
    return table.Text(name).Text(style).Get();
}

std::string PostScriptInfo() {
    return Bytes().U32(0x00030000).Zeros(8).U32(1).Zeros(16).Get();
}

std::string Os2() {
    return Bytes()
        .U16(1)            // version
        .U16(kUnitsPerEm)  // average width
        .U16(400)          // weight
        .U16(5)            // width class
        .U16(0)            // may be embedded without restriction
        .Zeros(26)         // sub- and superscripts, strikeout, family class, panose
        .Zeros(16)         // Unicode ranges
        .Text("QVTX")
        .U16(0x40)  // regular
        .U16(0x20)
        .U16(0xFFFF)   // first and last character
        .U16(kAscent)  // typographic ascender and descender
        .U16(uint16_t(kDescent))
        .U16(0)
        .U16(kAscent)  // Windows ascent and descent
        .U16(-kDescent)
        .Zeros(8)  // code pages
        .Get();
}

std::string BuildGlyphless() {
    // Sorted by tag, as the table directory must be. glyf is empty: both glyphs have no outline.
    const std::pair<const char*, std::string> tables[] = {
        {"OS/2", Os2()},
        {"cmap", CharacterMap()},
        {"glyf", std::string()},
        {"head", Head()},
        {"hhea", HorizontalHeader()},
        {"hmtx", Metrics()},
        {"loca", Bytes().U16(0).U16(0).U16(0).Get()},
        {"maxp", MaximumProfile()},
        {"name", Names()},
        {"post", PostScriptInfo()},
    };
    constexpr uint16_t kTables = std::size(tables);
    // The directory's search fields: the largest power of two not above the table count (8),
    // times 16; its logarithm; and the rest.
    Bytes directory;
    directory.U32(0x00010000).U16(kTables).U16(128).U16(3).U16(kTables * 16 - 128);
    std::string body;
    size_t offset = 12 + 16 * kTables;
    size_t headOffset = 0;
    for (const auto& [tag, table] : tables) {
        directory.Text(tag)
            .U32(TableChecksum(table))
            .U32(uint32_t(offset))
            .U32(uint32_t(table.size()));
        if (std::string(tag) == "head")
            headOffset = offset;
        std::string padded = table;
        padded.resize((table.size() + 3) & ~size_t(3), '\0');
        body += padded;
        offset += padded.size();
    }
    std::string font = directory.Get() + body;
    const uint32_t adjustment = 0xB1B0AFBAu - TableChecksum(font);
    for (int i = 0; i < 4; ++i)
        font[headOffset + 8 + size_t(i)] = char(adjustment >> (24 - 8 * i));
    return font;
}

// --- PDF syntax

std::string Hex4(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

// The UTF-16 of c in hexadecimal, as a ToUnicode map gives it.
std::string Utf16Hex(char32_t c) {
    if (c < 0x10000)
        return Hex4(c);
    const uint32_t v = uint32_t(c) - 0x10000;
    return Hex4(0xD800 + (v >> 10)) + Hex4(0xDC00 + (v & 0x3FF));
}

std::string Object(uint32_t number, const std::string& body) {
    return std::to_string(number) + " 0 obj\r\n" + body + "\r\nendobj\r\n";
}

std::string StreamObject(uint32_t number, const std::string& dictionary, const std::string& data) {
    const std::string packed = PdfDeflate(data);
    return Object(number, "<<" + dictionary + "/Filter/FlateDecode/Length " +
                              std::to_string(packed.size()) + ">>stream\r\n" + packed +
                              "\r\nendstream");
}

}  // namespace

std::string PdfTwoDecimals(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, end.ec == std::errc() ? end.ptr : text);
}

std::string PdfDeflate(const std::string& bytes) {
    uLongf size = compressBound(uLong(bytes.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(bytes.data()), uLong(bytes.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(size);
    return packed;
}

const std::string& CPdfTextFont::GlyphlessProgram() {
    static const std::string program = BuildGlyphless();
    return program;
}

uint16_t CPdfTextFont::CodeFor(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
        return 0;
    const auto found = codes_.find(c);
    if (found != codes_.end())
        return found->second;
    if (characters_.size() >= 0xFFFF)
        return 0;
    characters_.push_back(c);
    const uint16_t code = uint16_t(characters_.size());
    codes_.emplace(c, code);
    return code;
}

std::string CPdfTextFont::Content(const std::vector<PdfTextWord>& words) {
    std::string drawn;
    std::string size;  // the font size in effect
    for (const PdfTextWord& word : words) {
        std::string codes;
        for (char32_t c : word.text) {
            if (const uint16_t code = CodeFor(c))
                codes += Hex4(code);
        }
        const size_t count = codes.size() / 4;
        if (count == 0 || !(word.width > 0) || !(word.height > 0))
            continue;
        if (PdfTwoDecimals(word.height) != size) {
            size = PdfTwoDecimals(word.height);
            drawn += std::string("/") + kResourceName + " " + size + " Tf\n";
        }
        // Each character advances by the font size; the horizontal scaling (in percent) makes
        // the word exactly as wide as its box.
        const double scaling = 100.0 * word.width / (double(count) * word.height);
        drawn += PdfTwoDecimals(scaling) + " Tz\n1 0 0 1 " + PdfTwoDecimals(word.x) + " " +
                 PdfTwoDecimals(word.y - word.height * kDescent / kUnitsPerEm) + " Tm\n<" + codes +
                 "> Tj\n";
    }
    if (drawn.empty())
        return {};
    return "BT\n3 Tr\n" + drawn + "ET\n";
}

std::vector<std::string> CPdfTextFont::Objects(uint32_t first) const {
    const auto ref = [first](uint32_t i) { return std::to_string(first + i) + " 0 R"; };
    const std::string name = std::string("/BaseFont/") + kFontName;
    std::string unicode =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    for (size_t start = 0; start < characters_.size(); start += kCMapBlock) {
        const size_t end = std::min(characters_.size(), start + kCMapBlock);
        unicode += std::to_string(end - start) + " beginbfchar\n";
        for (size_t i = start; i < end; ++i)
            unicode.append("<")
                .append(Hex4(uint32_t(i + 1)))
                .append("> <")
                .append(Utf16Hex(characters_[i]))
                .append(">\n");
        unicode += "endbfchar\n";
    }
    unicode += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    // Code 0 is the empty .notdef glyph; every character's code draws glyph 1.
    std::string glyphs(2, '\0');
    for (size_t i = 0; i < characters_.size(); ++i)
        glyphs += std::string{'\0', '\1'};
    const std::string& program = GlyphlessProgram();
    return {
        Object(first, "<</Type/Font/Subtype/Type0" + name +
                          "/Encoding/Identity-H/DescendantFonts[" + ref(1) + "]/ToUnicode " +
                          ref(4) + ">>"),
        Object(first + 1, "<</Type/Font/Subtype/CIDFontType2" + name +
                              "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                              "/FontDescriptor " +
                              ref(2) + "/DW " + std::to_string(kUnitsPerEm) + "/CIDToGIDMap " +
                              ref(5) + ">>"),
        Object(first + 2, "<</Type/FontDescriptor/FontName/" + std::string(kFontName) +
                              "/Flags 5/FontBBox[0 -200 1000 800]/ItalicAngle 0/Ascent 800"
                              "/Descent -200/CapHeight 800/StemV 80/FontFile2 " +
                              ref(3) + ">>"),
        StreamObject(first + 3, "/Length1 " + std::to_string(program.size()), program),
        StreamObject(first + 4, "", unicode),
        StreamObject(first + 5, "", glyphs),
    };
}
