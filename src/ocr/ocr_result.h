#pragma once
// What text recognition gives back: the page's lines in reading order, each with its words.
// Boxes are in the pixels of the picture that was given (from its top-left corner), whatever
// scale the engine read it at.

#include <QString>
#include <vector>

#include "platform/win_types.h"

struct OcrWord {
    QString text;
    QvRect box;
    float confidence = 0;  // 0 ... 100
};

struct OcrLine {
    QString text;
    QvRect box;
    std::vector<OcrWord> words;
};

struct OcrPage {
    std::vector<OcrLine> lines;

    // The lines joined by line breaks; blocks are separated by an empty line.
    QString text;

    bool HasText() const { return !text.trimmed().isEmpty(); }
};

enum class OcrStatus {
    kDone,
    kCancelled,
    kMissingLanguage,    // the language data is not installed
    kUnreadablePicture,  // no picture, or one the engine cannot take
    kEngineFailed,
};

struct OcrOutcome {
    OcrStatus status = OcrStatus::kEngineFailed;
    OcrPage page;
    QString error;  // for the user, when status is neither kDone nor kCancelled
};
