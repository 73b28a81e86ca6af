#include "ocr/text_recogniser.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QDir>
#include <QFileInfo>

#include "image/dib_image.h"
#include "ocr/ocr_picture.h"

namespace {

// Where the Debian packages put the language files; the engine's built-in default.
constexpr const char* kSystemDataPath = "/usr/share/tesseract-ocr/5/tessdata";
// The prepared picture stands its glyphs at the height of print scanned at this resolution.
constexpr int kSourceDpi = 300;

// Shared with the engine's callbacks, which run on the calling thread.
struct Watch {
    const std::atomic<bool>* cancel = nullptr;
    std::atomic<int>* progress = nullptr;
};

bool CancelRequested(void* data, int /*words*/) {
    const Watch* watch = static_cast<const Watch*>(data);
    return watch->cancel != nullptr && watch->cancel->load();
}

bool ReportProgress(tesseract::ETEXT_DESC* monitor, int, int, int, int) {
    const Watch* watch = static_cast<const Watch*>(monitor->cancel_this);
    if (watch->progress != nullptr)
        watch->progress->store(monitor->progress);
    return true;
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

QString TakeText(char* text) {
    const QString result = QString::fromUtf8(text).trimmed();
    delete[] text;
    return result;
}

QvRect Box(tesseract::ResultIterator& it, tesseract::PageIteratorLevel level,
           const OcrPicture& picture) {
    int left = 0, top = 0, right = 0, bottom = 0;
    it.BoundingBox(level, &left, &top, &right, &bottom);
    return picture.ToPicture(QvRect{left, top, right, bottom});
}

// The page's lines with their words, and its text: lines joined by line breaks, paragraphs by
// an empty line.
OcrPage ReadPage(tesseract::TessBaseAPI& engine, const OcrPicture& picture) {
    using tesseract::RIL_PARA;
    using tesseract::RIL_TEXTLINE;
    using tesseract::RIL_WORD;
    OcrPage page;
    std::unique_ptr<tesseract::ResultIterator> it(engine.GetIterator());
    if (!it)
        return page;
    QStringList paragraphs;
    QStringList current;
    do {
        if (it->Empty(RIL_TEXTLINE))
            continue;
        if (it->IsAtBeginningOf(RIL_PARA) && !current.isEmpty()) {
            paragraphs << current.join(QLatin1Char('\n'));
            current.clear();
        }
        OcrLine line;
        line.text = TakeText(it->GetUTF8Text(RIL_TEXTLINE));
        line.box = Box(*it, RIL_TEXTLINE, picture);
        do {
            OcrWord word;
            word.text = TakeText(it->GetUTF8Text(RIL_WORD));
            word.box = Box(*it, RIL_WORD, picture);
            word.confidence = it->Confidence(RIL_WORD);
            if (!word.text.isEmpty())
                line.words.push_back(std::move(word));
        } while (!it->IsAtFinalElement(RIL_TEXTLINE, RIL_WORD) && it->Next(RIL_WORD));
        if (line.text.isEmpty())
            continue;
        current << line.text;
        page.lines.push_back(std::move(line));
    } while (it->Next(RIL_TEXTLINE));
    if (!current.isEmpty())
        paragraphs << current.join(QLatin1Char('\n'));
    page.text = paragraphs.join(QStringLiteral("\n\n"));
    return page;
}

OcrOutcome Failure(OcrStatus status, const QString& error) {
    OcrOutcome outcome;
    outcome.status = status;
    outcome.error = error;
    return outcome;
}

}  // namespace

CTextRecogniser::CTextRecogniser(QString languages, QString dataPath)
    : languages_(std::move(languages)), dataPath_(std::move(dataPath)) {}

CTextRecogniser::~CTextRecogniser() {
    if (engine_)
        engine_->End();
}

QString CTextRecogniser::DataPath() const {
    if (!dataPath_.isEmpty())
        return dataPath_;
    const QString fromEnvironment = qEnvironmentVariable("TESSDATA_PREFIX");
    return fromEnvironment.isEmpty() ? QString::fromLatin1(kSystemDataPath) : fromEnvironment;
}

QString CTextRecogniser::LanguagePackage(const QString& language) {
    return QStringLiteral("tesseract-ocr-") + QString(language).replace(QLatin1Char('_'), '-');
}

QStringList CTextRecogniser::MissingLanguages() const {
    QStringList missing;
    const QDir folder(DataPath());
    for (const QString& language : languages_.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        if (!QFileInfo(folder.filePath(language + QStringLiteral(".traineddata"))).isFile())
            missing << language;
    }
    return missing;
}

QString CTextRecogniser::MissingLanguageText() const {
    const QStringList missing = MissingLanguages();
    if (missing.isEmpty())
        return {};
    QStringList packages;
    for (const QString& language : missing)
        packages << LanguagePackage(language);
    return QStringLiteral("文字识别缺少语言数据 %1，请安装 %2。")
        .arg(missing.join(QStringLiteral("、")), packages.join(QStringLiteral(" ")));
}

OcrStatus CTextRecogniser::Load(QString& error) {
    if (engine_)
        return OcrStatus::kDone;
    error = MissingLanguageText();
    if (!error.isEmpty())
        return OcrStatus::kMissingLanguage;
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    const QByteArray path = DataPath().toLocal8Bit();
    if (engine->Init(path.constData(), languages_.toUtf8().constData()) != 0) {
        error = QStringLiteral("文字识别引擎无法加载语言数据（%1）。").arg(DataPath());
        return OcrStatus::kEngineFailed;
    }
    // The engine would otherwise complain about every picture whose resolution it must guess.
    engine->SetVariable("debug_file", "/dev/null");
    engine_ = std::move(engine);
    return OcrStatus::kDone;
}

OcrOutcome CTextRecogniser::Recognise(const CDibImage& image, const QvRect& region,
                                      const std::atomic<bool>* cancel, std::atomic<int>* progress) {
    if (!image.IsValid())
        return Failure(OcrStatus::kUnreadablePicture, QStringLiteral("无法读取图片。"));
    QString error;
    const OcrStatus loaded = Load(error);
    if (loaded != OcrStatus::kDone)
        return Failure(loaded, error);
    const OcrPicture picture = PrepareOcrPicture(image, region);
    if (Cancelled(cancel))
        return Failure(OcrStatus::kCancelled, QString());
    OcrOutcome outcome;
    outcome.status = OcrStatus::kDone;
    if (picture.IsEmpty())
        return outcome;

    engine_->SetImage(picture.grey.data(), picture.width, picture.height, 1, picture.width);
    engine_->SetSourceResolution(kSourceDpi);
    Watch watch{cancel, progress};
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &CancelRequested;
    monitor.cancel_this = &watch;
    monitor.progress_callback2 = &ReportProgress;
    const int failed = engine_->Recognize(&monitor);
    if (Cancelled(cancel)) {
        engine_->Clear();
        return Failure(OcrStatus::kCancelled, QString());
    }
    if (failed != 0) {
        engine_->Clear();
        return Failure(OcrStatus::kEngineFailed, QStringLiteral("文字识别失败。"));
    }
    outcome.page = ReadPage(*engine_, picture);
    engine_->Clear();
    if (progress != nullptr)
        progress->store(100);
    return outcome;
}
