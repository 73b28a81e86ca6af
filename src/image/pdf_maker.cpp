#include "image/pdf_maker.h"

#include <QSaveFile>
#include <mutex>

#include "image/dib_image.h"
#include "image/dib_pixels.h"
#include "image/pdf_rules.h"
#include "image/pdf_writer.h"

namespace {

constexpr uint8_t kPageQuality = 90;

// The writer's current document is process-wide: one PDF at a time.
std::mutex g_writerLock;

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

// The picture at path, cut to a width that is a multiple of 8 and in 24 bits; invalid when it
// cannot be loaded or is narrower than 8 pixels.
CDibImage LoadPagePicture(const QString& path) {
    CDibImage picture;
    if (!picture.Load(path, PdfPageFormatCode(path)))
        return CDibImage();
    const uint32_t width = PdfCutWidth(picture.GetWidth());
    const uint32_t height = picture.GetHeight();
    if (width == 0 || height == 0 ||
        (width != picture.GetWidth() && !picture.Resample(int32_t(width), int32_t(height), 1)) ||
        !ToTrueColour(picture)) {
        return CDibImage();
    }
    return picture;
}

// Builds the document page by page; the first page that loads begins it.
class PageMaker {
public:
    // False when the picture gave no page.
    bool Add(const QString& path) {
        CDibImage picture = LoadPagePicture(path);
        if (!picture.IsValid())
            return false;
        const uint32_t w = picture.GetWidth(), h = picture.GetHeight();
        if (PdfCurrentDocument() == nullptr) {
            const PdfInches inches = PdfPageInches(w, h);
            if (PdfBegin(inches.width, inches.height) == nullptr)
                return false;
            firstWidth_ = w;
            firstHeight_ = h;
            pageWidth_ = int32_t(inches.width * 72);
            pageHeight_ = int32_t(inches.height * 72);
        }
        picture.SetQuality(kPageQuality);
        uint8_t* jpeg = nullptr;
        int32_t size = 0;
        if (!picture.EncodeToMemory(jpeg, size, kDibFormatJpeg))
            return false;
        const uint32_t before = PdfPageCount();
        PdfAddJpegPlaced(
            jpeg, size_t(size),
            PdfPagePlacement(w, h, firstWidth_, firstHeight_, pageWidth_, pageHeight_));
        CDibImage::FreeEncodedMemory(jpeg);
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

// Finalizes the current document into file; the document is released in every case.
CPdfMaker::Outcome WriteDocument(QSaveFile& file, const std::atomic<bool>* cancel) {
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
    if (!written || !file.commit())
        return CPdfMaker::Outcome::kWriteFailed;
    return CPdfMaker::Outcome::kWritten;
}

}  // namespace

CPdfMaker::Result CPdfMaker::Make(const QStringList& paths, const QString& pdfPath,
                                  const Progress& progress, const std::atomic<bool>* cancel) {
    std::lock_guard<std::mutex> lock(g_writerLock);
    Result result;
    // The temporary file is created first, so an unwritable folder is known before any work.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        result.outcome = Outcome::kCannotCreate;
        return result;
    }
    PdfWrite(nullptr, nullptr);  // no document left over from an earlier run
    PageMaker pages;
    const int total = int(paths.size());
    for (int i = 0; i < total; ++i) {
        if (Cancelled(cancel)) {
            PdfWrite(nullptr, nullptr);
            result.outcome = Outcome::kCancelled;
            return result;
        }
        if (PdfPageCount() >= kPdfMaxPages) {
            result.overLimit = total - i;
            break;
        }
        if (pages.Add(paths[i]))
            ++result.pages;
        else
            ++result.unreadable;
        if (progress)
            progress(i + 1, total);
    }
    result.outcome = WriteDocument(file, cancel);
    if (result.outcome != Outcome::kWritten)
        result.pages = 0;
    return result;
}
