#pragma once
// The ink of a grey page in connected pieces: the picture is split into ink and paper at the
// level that separates its histogram best (dark letters on paper, or light ones on a dark
// ground: ink is the rarer side), and the ink's runs are joined with their eight neighbours.
//
// From the pieces come the height of the page's letters (the 75th percentile of the heights of
// the letter-sized pieces: for Latin text the height of the tall letters, for Chinese about that
// of a whole character; strokes, dots and rules are left out by their size), and the dark frame
// around a photographed page (pieces touching the picture's edge and reaching far along it),
// which the engine would otherwise read as letters.

#include <cstdint>
#include <vector>

class CInkPieces {
public:
    // Which side of the level is ink: the rarer one, or the one asked for.
    enum class Ink { kRarer, kDark, kLight };

    // Rows top first, `stride` bytes apart.
    CInkPieces(const uint8_t* grey, int32_t width, int32_t height, int32_t stride,
               Ink ink = Ink::kRarer);

    // 0 when fewer than kMinGlyphs letter-sized pieces exist.
    int32_t GlyphHeight() const;
    // Paints the frame's pieces in `paper`; returns how many pieces were cleared.
    int ClearFrame(uint8_t* grey, uint8_t paper) const;
    // True when one piece's box covers a sixteenth of the picture (a page, with light ink; the
    // letters of a page never do).
    bool HasLargePiece() const;
    uint8_t Level() const { return level_; }

    static constexpr int kMinGlyphs = 8;

private:
    struct Run {
        int32_t start = 0;  // first ink column
        int32_t end = 0;    // one past the last
        int32_t parent = 0;
    };
    struct Extent {
        int32_t left = 0, top = 0, right = 0, bottom = 0;  // inclusive
        bool touchesEdge = false;
        bool used = false;
    };

    int32_t Find(int32_t i);
    void Unite(int32_t a, int32_t b);
    void FindRuns(const uint8_t* grey, bool darkInk, uint8_t level);
    void Measure();
    bool IsFrame(const Extent& e) const;

    int32_t width_;
    int32_t height_;
    uint8_t level_ = 127;
    int32_t stride_;
    std::vector<Run> runs_;
    std::vector<int32_t> rowFirst_;  // index of each row's first run; one more at the end
    std::vector<Extent> extents_;    // per run; meaningful at the pieces' roots
};

// The level that best separates the histogram's two classes (Otsu): values <= level are ink.
uint8_t InkLevel(const uint8_t* grey, int32_t width, int32_t height, int32_t stride);
