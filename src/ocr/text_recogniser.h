#pragma once
// CTextRecogniser: the text-recognition engine with its languages loaded. It prepares the
// picture (ocr_picture.h), reads it and returns the page's lines and words with their boxes and
// confidences. Loading the languages takes a moment, so one recogniser is kept and reused; it
// reads one picture at a time, on whichever thread calls it.

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

#include "ocr/ocr_result.h"
#include "platform/win_types.h"

class CDibImage;
struct OcrPicture;
struct OcrReadLine;
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
    // Lines read as doubtful Latin words are read again with the Chinese model alone; its
    // reading is kept when it is Chinese and surer.
    void ReadAgainInChinese(std::vector<OcrReadLine>& lines, const OcrPicture& picture,
                            const std::atomic<bool>* cancel);

    QString languages_;
    QString dataPath_;
    std::unique_ptr<tesseract::TessBaseAPI> engine_;
    std::unique_ptr<tesseract::TessBaseAPI> chinese_;  // loaded when first needed
};
