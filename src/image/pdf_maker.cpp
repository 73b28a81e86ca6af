#include "image/pdf_maker.h"

#include <QSaveFile>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "image/dib_image.h"
#include "image/dib_pixels.h"
#include "image/pdf_rules.h"
#include "image/pdf_writer.h"

namespace {

constexpr uint8_t kPageQuality = 90;
// Each thread may hold a text engine of a few hundred megabytes: more than this many gain little.
constexpr int kMaxThreads = 4;
// How often a wait for a page looks at the caller's cancel flag.
constexpr auto kCancelPoll = std::chrono::milliseconds(20);

// The writer's current document is process-wide: one PDF at a time.
std::mutex g_writerLock;

using Progress = CPdfMaker::Progress;
using Step = CPdfMaker::Step;

// Grey and black-and-white pictures (8-, 4- and 1-bit palette pictures) as 24-bit pictures of
// the same colours, since pages are made from 24-bit rows.
bool ToTrueColour(CDibImage& picture) {
    const uint32_t bits = picture.GetBpp();
    if (bits == 24)
        return true;
    const uint32_t w = picture.GetWidth(), h = picture.GetHeight();
    const uint8_t* palette = picture.GetPalette();
    CDibImage colour;
    if (!palette || !colour.Create(w, h, 24, picture.GetType()))
        return false;
    const uint32_t entries = picture.GetNumColors();
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = picture.GetRow(y);
        uint8_t* dst = colour.GetRow(y);
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t index = GetPackedIndex(src, x, bits);
            const uint8_t* entry = palette + 4 * (index < entries ? index : 0);
            dst[3 * x] = entry[0];
            dst[3 * x + 1] = entry[1];
            dst[3 * x + 2] = entry[2];
        }
    }
    picture = std::move(colour);
    return true;
}

// The picture cut to a width that is a multiple of 8 and in 24 bits; invalid when it is
// narrower than 8 pixels or cannot be converted.
CDibImage PagePicture(CDibImage picture) {
    const uint32_t width = PdfCutWidth(picture.GetWidth());
    const uint32_t height = picture.GetHeight();
    if (width == 0 || height == 0 ||
        (width != picture.GetWidth() && !picture.Resample(int32_t(width), int32_t(height), 1)) ||
        !ToTrueColour(picture)) {
        return CDibImage();
    }
    return picture;
}

// A page made ready for the document away from the writer.
struct PreparedPage {
    bool made = false;      // false: the picture gave no page
    bool tooSmall = false;  // read, but narrower than a page's picture may be
    bool damaged = false;   // its file ended early
    std::vector<uint8_t> jpeg;
    uint32_t width = 0;  // the page picture's pixels
    uint32_t height = 0;
    PdfPageText text;
    uint32_t textWidth = 0;  // pixels of the picture the text's boxes refer to
    uint32_t textHeight = 0;
    bool textFailed = false;
    QString error;
};

// Compresses the page picture into page; false when it cannot be encoded.
bool Compress(CDibImage& picture, PreparedPage& page) {
    picture.SetQuality(kPageQuality);
    uint8_t* jpeg = nullptr;
    int32_t size = 0;
    if (!picture.EncodeToMemory(jpeg, size, kDibFormatJpeg))
        return false;
    page.jpeg.assign(jpeg, jpeg + size);
    CDibImage::FreeEncodedMemory(jpeg);
    page.width = picture.GetWidth();
    page.height = picture.GetHeight();
    page.made = true;
    return true;
}

// Builds the document page by page; the first page that loads begins it.
class PageMaker {
public:
    // False when the page could not be added.
    bool Add(const PreparedPage& page) {
        if (!page.made)
            return false;
        const uint32_t w = page.width, h = page.height;
        if (PdfCurrentDocument() == nullptr) {
            const PdfInches inches = PdfPageInches(w, h);
            if (PdfBegin(inches.width, inches.height) == nullptr)
                return false;
            firstWidth_ = w;
            firstHeight_ = h;
            pageWidth_ = int32_t(inches.width * 72);
            pageHeight_ = int32_t(inches.height * 72);
        }
        const uint32_t before = PdfPageCount();
        const PdfPlacement at =
            PdfPagePlacement(w, h, firstWidth_, firstHeight_, pageWidth_, pageHeight_);
        PdfAddJpegWithText(page.jpeg.data(), page.jpeg.size(), at,
                           PdfPlaceText(page.text, page.textWidth, page.textHeight, at));
        return PdfPageCount() > before;
    }

private:
    uint32_t firstWidth_ = 0;
    uint32_t firstHeight_ = 0;
    int32_t pageWidth_ = 0;
    int32_t pageHeight_ = 0;
};

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Reports progress one call at a time, from whichever thread. The making's threads do not know
// how many pages are done: the caller's kAdded steps tell, and the other steps repeat it.
class Reporter {
public:
    explicit Reporter(const CPdfMaker::ProgressHandler& handler) : handler_(handler) {}
    void operator()(Progress progress) {
        if (!handler_)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (progress.step == Step::kAdded || progress.step == Step::kWriting)
            done_ = progress.done;
        progress.done = done_;
        handler_(progress);
    }

private:
    const CPdfMaker::ProgressHandler& handler_;
    std::mutex mutex_;
    int done_ = 0;
};

// Prepares the pictures at paths on threads of its own, a few pages ahead of the one the caller
// takes, and hands them over in list order.
class PagePipeline {
public:
    PagePipeline(const QStringList& paths, const CPdfMaker::Options& options, Reporter& report)
        : paths_(paths), options_(options), report_(report) {
        const int cores = int(std::thread::hardware_concurrency());
        const int wanted = options.threads > 0 ? options.threads : std::min(cores, kMaxThreads);
        const int threads = std::clamp(int(paths.size()), 1, std::max(wanted, 1));
        window_ = 2 * threads;
        for (int i = 0; i < threads; ++i)
            workers_.emplace_back([this] { Work(); });
    }

    ~PagePipeline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            halt_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers_)
            worker.join();
    }

    // Page index, once prepared; none when the caller cancelled first.
    std::optional<PreparedPage> Take(int index) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (Cancelled(options_.cancel)) {
                halt_ = true;
                changed_.notify_all();
                return std::nullopt;
            }
            const auto found = ready_.find(index);
            if (found != ready_.end()) {
                PreparedPage page = std::move(found->second);
                ready_.erase(found);
                taken_ = index + 1;
                changed_.notify_all();
                return page;
            }
            changed_.wait_for(lock, kCancelPoll);
        }
    }

private:
    // A making thread: takes the next page while it is not too far ahead, prepares it and
    // hands it over.
    void Work() {
        std::unique_ptr<CPdfTextReader> reader;
        if (options_.textReaders)
            reader = options_.textReaders();
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(
                lock, [&] { return halt_ || next_ >= paths_.size() || next_ < taken_ + window_; });
            if (halt_ || next_ >= paths_.size())
                return;
            const int index = int(next_++);
            lock.unlock();
            PreparedPage page = Prepare(index, reader.get());
            lock.lock();
            ready_.emplace(index, std::move(page));
            changed_.notify_all();
        }
    }

    PreparedPage Prepare(int index, CPdfTextReader* reader) {
        const QString& path = paths_[index];
        const int total = int(paths_.size());
        report_({0, total, index + 1, Step::kReading});
        PreparedPage page;
        // A huge picture takes seconds to load and as long to compress: once the making is
        // stopped, what is left of the page is not done.
        CDibImage picture;
        if (!picture.Load(path, PdfPageFormatCode(path)) || halt_)
            return page;
        page.tooSmall = PdfCutWidth(picture.GetWidth()) == 0;
        page.damaged = picture.IsDamaged();
        picture = PagePicture(std::move(picture));
        if (!picture.IsValid() || halt_ || !Compress(picture, page) || !options_.textReaders ||
            halt_)
            return page;
        report_({0, total, index + 1, Step::kRecognising});
        page.textWidth = page.width;
        page.textHeight = page.height;
        if (reader == nullptr) {
            page.textFailed = true;
            page.error = QStringLiteral("文字识别无法启动。");
        } else if (!reader->Read(picture, &halt_, page.text, page.error)) {
            page.textFailed = !halt_;
        }
        return page;
    }

    const QStringList& paths_;
    const CPdfMaker::Options& options_;
    Reporter& report_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> halt_{false};  // also the readers' cancel flag
    qsizetype next_ = 0;             // the next page a thread takes
    qsizetype taken_ = 0;            // pages the caller has taken
    qsizetype window_ = 2;           // how far ahead of the caller the threads may go
    std::map<int, PreparedPage> ready_;
};

// Finalizes the current document into file; the document is released in every case.
CPdfMaker::Outcome WriteDocument(QSaveFile& file, const std::atomic<bool>* cancel, QString& error) {
    if (PdfFinalize() == 0) {
        PdfWrite(nullptr, nullptr);
        return CPdfMaker::Outcome::kNoPages;
    }
    const bool written = PdfWriteTo([&](const uint8_t* bytes, size_t count) {
        return !Cancelled(cancel) &&
               file.write(reinterpret_cast<const char*>(bytes), qint64(count)) == qint64(count);
    });
    if (Cancelled(cancel))
        return CPdfMaker::Outcome::kCancelled;
    if (!written || !file.commit()) {
        error = file.errorString();
        return CPdfMaker::Outcome::kWriteFailed;
    }
    return CPdfMaker::Outcome::kWritten;
}

// Makes the file at pdfPath, holding the writer. The file is created first, so an unwritable
// folder is known before any work. build(result, report) adds the pages of total; false, with
// result.outcome saying why, when the making ends without a file.
template <typename Build>
CPdfMaker::Result MakeFile(const QString& pdfPath, const CPdfMaker::Options& options, int total,
                           Build build) {
    std::lock_guard<std::mutex> lock(g_writerLock);
    CPdfMaker::Result result;
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        result.outcome = CPdfMaker::Outcome::kCannotCreate;
        result.error = file.errorString();
        return result;
    }
    PdfWrite(nullptr, nullptr);  // no document left over from an earlier run
    Reporter report(options.progress);
    if (!build(result, report)) {
        // The document is released; the file, never committed, goes with it.
        PdfWrite(nullptr, nullptr);
        result.pages = 0;
        return result;
    }
    report({total, total, 0, Step::kWriting});
    result.outcome = WriteDocument(file, options.cancel, result.error);
    if (result.outcome != CPdfMaker::Outcome::kWritten)
        result.pages = 0;
    return result;
}

// Ends build with outcome.
bool Stop(CPdfMaker::Result& result, CPdfMaker::Outcome outcome) {
    result.outcome = outcome;
    return false;
}

}  // namespace

CPdfMaker::Result CPdfMaker::Make(const QStringList& paths, const QString& pdfPath,
                                  const Options& options) {
    const int total = int(paths.size());
    return MakeFile(pdfPath, options, total, [&](Result& result, Reporter& report) {
        PagePipeline pipeline(paths, options, report);
        PageMaker pages;
        for (int i = 0; i < total; ++i) {
            if (PdfPageCount() >= kPdfMaxPages) {
                result.overLimit = total - i;
                break;
            }
            const std::optional<PreparedPage> page = pipeline.Take(i);
            if (!page)
                return Stop(result, Outcome::kCancelled);
            if (page->textFailed) {
                result.error = page->error;
                return Stop(result, Outcome::kTextFailed);
            }
            if (pages.Add(*page)) {
                ++result.pages;
                if (page->damaged)
                    result.damagedPaths << paths[i];
            } else {
                ++result.unreadable;
                result.unreadablePaths << paths[i];
                if (page->tooSmall)
                    result.tooSmallPaths << paths[i];
            }
            report({i + 1, total, i + 1, Step::kAdded});
        }
        return true;
    });
}

CPdfMaker::Result CPdfMaker::MakePage(const CDibImage& picture, const PdfPageText& text,
                                      const QString& pdfPath, const Options& options) {
    return MakeFile(pdfPath, options, 1, [&](Result& result, Reporter& report) {
        report({0, 1, 1, Step::kReading});
        PreparedPage page;
        CDibImage cut = PagePicture(picture);
        if (cut.IsValid() && Compress(cut, page)) {
            page.text = text;
            page.textWidth = picture.GetWidth();
            page.textHeight = picture.GetHeight();
        }
        if (Cancelled(options.cancel))
            return Stop(result, Outcome::kCancelled);
        if (PageMaker().Add(page))
            result.pages = 1;
        else
            result.unreadable = 1;
        report({1, 1, 1, Step::kAdded});
        return true;
    });
}
