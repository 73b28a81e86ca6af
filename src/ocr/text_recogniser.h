#pragma once
// CTextRecogniser: the text-recognition engine with its languages loaded. It prepares the
// picture (ocr_picture.h), reads it and returns the page's lines and words with their boxes and
// confidences. Loading the languages takes a moment, so one recogniser is kept and reused; it
// reads one picture at a time, on whichever thread calls it.

#include <QString>
#include <QStringList>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "ocr/ocr_result.h"
#include "platform/win_types.h"

class CDibImage;
struct OcrPicture;
struct OcrReadLine;
struct LineReading;
namespace tesseract {
class TessBaseAPI;
}

class CTextRecogniser {
public:
    // Simplified Chinese and English together.
    static constexpr const char* kDefaultLanguages = "chi_sim+eng";

    // dataPath: folder of the language files; empty: $TESSDATA_PREFIX, else the engine's own.
    explicit CTextRecogniser(QString languages = QString::fromLatin1(kDefaultLanguages),
                             QString dataPath = QString());
    ~CTextRecogniser();
    CTextRecogniser(const CTextRecogniser&) = delete;
    CTextRecogniser& operator=(const CTextRecogniser&) = delete;

    // Reads `image`, or only `region` of it when that is not empty. cancel (may be null) is
    // polled while the engine works; progress (may be null) receives 0 ... 100.
    OcrOutcome Recognise(const CDibImage& image, const QvRect& region = QvRect(),
                         const std::atomic<bool>* cancel = nullptr,
                         std::atomic<int>* progress = nullptr);

    // The languages whose data file is missing from the folder the engine would read.
    QStringList MissingLanguages() const;
    // What the user is told of them, naming the packages to install; empty when none is missing.
    QString MissingLanguageText() const;
    // The Debian package that brings a language's data ("chi_sim" -> "tesseract-ocr-chi-sim").
    static QString LanguagePackage(const QString& language);
    // The folder the language files are read from.
    QString DataPath() const;

private:
    // kDone when the engine is ready; otherwise why not, in `error`.
    OcrStatus Load(QString& error);
    // An engine with every one of `languages` loaded; null, with the damaged ones named in
    // `error`, otherwise.
    std::unique_ptr<tesseract::TessBaseAPI> StartEngine(const QString& languages,
                                                        QString& error) const;
    // Chinese among several languages: lines may come out in the wrong script.
    bool ReadsChinese() const;
    // The engine that reads single lines with `model` alone, loaded when first asked for; the
    // Chinese language model's when `model` does not load; null when neither does.
    tesseract::TessBaseAPI* LineEngine(const QString& model);
    // The line in `box` of the prepared picture read again as `reading` says, its boxes in the
    // prepared picture's pixels; empty unless it reads as one line with Chinese in it.
    std::optional<OcrReadLine> ReadLineInChinese(const OcrPicture& picture, const QvRect& box,
                                                 const LineReading& reading);
    // Chinese lines, and lines read as doubtful Latin words, are read again by Chinese models
    // alone with their strokes darkened. The reading that agrees best with the others and the
    // first one replaces a Chinese line's; a Latin line's only when it is also surer.
    void ReadAgainInChinese(std::vector<OcrReadLine>& lines, const OcrPicture& picture,
                            const std::atomic<bool>* cancel);

    QString languages_;
    QString dataPath_;
    std::unique_ptr<tesseract::TessBaseAPI> engine_;
    // Loaded when first needed; a model that does not load stands for the one used instead.
    std::map<QString, std::shared_ptr<tesseract::TessBaseAPI>> lineEngines_;
};
