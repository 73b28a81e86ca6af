#pragma once
// CPdfMaker: turns a list of picture files into one PDF file, one JPEG page per picture, in list
// order. The first picture that loads fixes the page size; every picture is cut to a width that
// is a multiple of 8, brought to 24 bits and compressed at JPEG quality 90. The file is written
// whole or not at all: it goes to a temporary file in the target folder that replaces the target
// only once complete, so an existing file is never left half-written and a failure or a cancel
// leaves nothing behind.
//
// Make blocks for as long as the pictures take (seconds for many large photos), so a window runs
// it on a worker thread. Only one PDF is made at a time in the process: the writer keeps one
// current document.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class CPdfMaker {
public:
    enum class Outcome {
        kWritten,
        kNoPages,       // not one picture could be loaded: no file
        kCannotCreate,  // the file could not be created in its folder
        kWriteFailed,   // writing or replacing the file failed (a full disk ...)
        kCancelled,
    };

    struct Result {
        Outcome outcome = Outcome::kNoPages;
        int pages = 0;       // pages in the file
        int unreadable = 0;  // pictures left out because they could not be loaded or made a page
        int overLimit = 0;   // pictures left out because a PDF holds at most 256 pages
    };

    // Called on the making thread after each picture: pictures done, and all of them.
    using Progress = std::function<void(int done, int total)>;

    // Makes pdfPath from the pictures at paths. cancel (may be null) is polled between pictures
    // and while writing.
    static Result Make(const QStringList& paths, const QString& pdfPath,
                       const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr);
};
