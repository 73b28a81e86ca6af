#pragma once
// CPdfMaker: turns a list of picture files into one PDF file, one JPEG page per picture, in list
// order. The first picture that loads fixes the page size; every picture is cut to a width that
// is a multiple of 8, brought to 24 bits and compressed at JPEG quality 90. Given text readers,
// it also reads each page's text and lays it over the page as an invisible layer, so the PDF can
// be searched. The file is written whole or not at all: it goes to a temporary file in the target
// folder that replaces the target only once complete, so an existing file is never left
// half-written and a failure or a cancel leaves nothing behind.
//
// Pages are prepared (loaded, compressed and read) on threads of the maker's own, one page per
// processor core at a time, while the calling thread adds them to the document in list order.
// Make blocks for as long as the pictures take (seconds for many large photos, more when their
// text is read), so a window runs it on a worker thread. Only one PDF is made at a time in the
// process: the writer keeps one current document.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

#include "image/pdf_page_text.h"

class CDibImage;

class CPdfMaker {
public:
    enum class Outcome {
        kWritten,
        kNoPages,       // not one picture could be loaded: no file
        kCannotCreate,  // the file could not be created in its folder
        kWriteFailed,   // writing or replacing the file failed (a full disk ...)
        kCancelled,
        kTextFailed,  // a page's text could not be read: no file
    };

    struct Result {
        Outcome outcome = Outcome::kNoPages;
        int pages = 0;       // pages in the file
        int unreadable = 0;  // pictures left out because they could not be loaded or made a page
        int overLimit = 0;   // pictures left out because a PDF holds at most 256 pages
        QStringList unreadablePaths;  // the pictures counted in unreadable, in list order
        QStringList tooSmallPaths;    // those of them that were read but are too narrow for a page
        // Pictures whose files end early: their pages hold what could be read, the rest filled in.
        QStringList damagedPaths;
        QString error;  // why, for the user, with kCannotCreate, kWriteFailed and kTextFailed
    };

    enum class Step {
        kReading,      // page: its picture is being loaded and compressed
        kRecognising,  // page: its text is being read
        kAdded,        // page: it is in the document (or was left out); done counts it
        kWriting,      // the file is being written
    };

    // One step of the making: which page (1 ... total; 0 for kWriting) is at which step, and how
    // many pages are done.
    struct Progress {
        int done = 0;
        int total = 0;
        int page = 0;
        Step step = Step::kReading;
    };

    // Called on the making's threads, one call at a time.
    using ProgressHandler = std::function<void(const Progress&)>;
    // Makes a reader for one of the making's threads; called on that thread.
    using TextReaders = std::function<std::unique_ptr<CPdfTextReader>()>;

    struct Options {
        ProgressHandler progress;
        const std::atomic<bool>* cancel = nullptr;  // polled between and during the steps
        TextReaders textReaders;                    // none: pages without text
        int threads = 0;                            // 0: one per processor core, at most 4
    };

    // Makes pdfPath from the pictures at paths.
    static Result Make(const QStringList& paths, const QString& pdfPath, const Options& options);
    static Result Make(const QStringList& paths, const QString& pdfPath) {
        return Make(paths, pdfPath, Options());
    }

    // Makes pdfPath of one page: picture (as it is held, any depth) with text already read from
    // it, boxes in its pixels.
    static Result MakePage(const CDibImage& picture, const PdfPageText& text,
                           const QString& pdfPath, const Options& options);
};
