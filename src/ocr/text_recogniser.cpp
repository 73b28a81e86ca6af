#include "ocr/text_recogniser.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "image/dib_image.h"
#include "ocr/grey_resample.h"
#include "ocr/ocr_picture.h"

// A line as the engine read it, with its box in the prepared picture's pixels.
struct OcrReadLine {
    OcrLine line;
    QvRect prepared;
    bool paragraphStart = false;
};

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

// Words the mixed-language engine reads below this confidence, none of them Chinese, may be a
// Chinese line taken for Latin letters: such a line is read again with the Chinese model alone.
constexpr float kDoubtfulLatin = 75;
constexpr const char* kChinese = "chi_sim";
constexpr double kChineseEnlargement = 2.0;
// Room left around a line read again, so that its strokes do not touch the edge.
constexpr int kLinePadding = 6;

QString TakeText(char* text) {
    const QString result = QString::fromUtf8(text).trimmed();
    delete[] text;
    return result;
}

QvRect RawBox(tesseract::ResultIterator& it, tesseract::PageIteratorLevel level) {
    int left = 0, top = 0, right = 0, bottom = 0;
    it.BoundingBox(level, &left, &top, &right, &bottom);
    return QvRect{left, top, right, bottom};
}

// The lines of the engine's last reading, boxes in the prepared picture's pixels.
std::vector<OcrReadLine> ReadLines(tesseract::TessBaseAPI& engine) {
    using tesseract::RIL_PARA;
    using tesseract::RIL_TEXTLINE;
    using tesseract::RIL_WORD;
    std::vector<OcrReadLine> lines;
    std::unique_ptr<tesseract::ResultIterator> it(engine.GetIterator());
    if (!it)
        return lines;
    bool paragraphStart = false;
    do {
        paragraphStart = paragraphStart || it->IsAtBeginningOf(RIL_PARA);
        if (it->Empty(RIL_TEXTLINE))
            continue;
        OcrReadLine read;
        read.paragraphStart = paragraphStart;
        read.line.text = TakeText(it->GetUTF8Text(RIL_TEXTLINE));
        read.prepared = RawBox(*it, RIL_TEXTLINE);
        do {
            OcrWord word;
            word.text = TakeText(it->GetUTF8Text(RIL_WORD));
            word.box = RawBox(*it, RIL_WORD);
            word.confidence = it->Confidence(RIL_WORD);
            if (!word.text.isEmpty())
                read.line.words.push_back(std::move(word));
        } while (!it->IsAtFinalElement(RIL_TEXTLINE, RIL_WORD) && it->Next(RIL_WORD));
        if (read.line.text.isEmpty())
            continue;
        paragraphStart = false;
        lines.push_back(std::move(read));
    } while (it->Next(RIL_TEXTLINE));
    return lines;
}

bool HasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x3400 && c.unicode() <= 0x9FFF; });
}

float MeanConfidence(const OcrLine& line) {
    if (line.words.empty())
        return 0;
    float sum = 0;
    for (const OcrWord& word : line.words)
        sum += word.confidence;
    return sum / float(line.words.size());
}

// The page from its lines, boxes in the given picture's pixels: lines joined by line breaks,
// paragraphs by an empty line.
OcrPage MakePage(std::vector<OcrReadLine>& lines, const OcrPicture& picture) {
    OcrPage page;
    QString text;
    for (OcrReadLine& read : lines) {
        if (!text.isEmpty())
            text += read.paragraphStart ? QStringLiteral("\n\n") : QStringLiteral("\n");
        text += read.line.text;
        read.line.box = picture.ToPicture(read.prepared);
        for (OcrWord& word : read.line.words)
            word.box = picture.ToPicture(word.box);
        page.lines.push_back(std::move(read.line));
    }
    page.text = text;
    return page;
}

// `area` of the prepared picture, scaled to width x height; empty when the area is too small.
std::vector<uint8_t> EnlargedArea(const OcrPicture& picture, const QvRect& area, int width,
                                  int height) {
    if (area.Width() < 2 || area.Height() < 2)
        return {};
    std::vector<uint8_t> cut(size_t(area.Width()) * size_t(area.Height()));
    for (int y = 0; y < area.Height(); ++y)
        std::copy_n(
            picture.grey.data() + size_t(area.top + y) * size_t(picture.width) + size_t(area.left),
            area.Width(), cut.data() + size_t(y) * size_t(area.Width()));
    return ResampleGrey(cut.data(), area.Width(), area.Height(), width, height);
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

std::unique_ptr<tesseract::TessBaseAPI> CTextRecogniser::StartEngine(const QString& languages,
                                                                     QString& error) const {
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    const QByteArray path = DataPath().toLocal8Bit();
    const int failed = engine->Init(path.constData(), languages.toUtf8().constData());
    // A damaged language file is left out by the engine without a word: each language asked
    // for must be among those loaded.
    std::vector<std::string> loaded;
    if (failed == 0)
        engine->GetLoadedLanguagesAsVector(&loaded);
    QStringList damaged, packages;
    for (const QString& language : languages.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        if (std::find(loaded.begin(), loaded.end(), language.toStdString()) == loaded.end()) {
            damaged << language;
            packages << LanguagePackage(language);
        }
    }
    if (damaged.isEmpty())
        return engine;
    error = QStringLiteral("文字识别无法加载语言数据 %1（%2 中的文件已损坏），请重新安装 %3。")
                .arg(damaged.join(QStringLiteral("、")), DataPath(),
                     packages.join(QStringLiteral(" ")));
    return nullptr;
}

OcrStatus CTextRecogniser::Load(QString& error) {
    if (engine_)
        return OcrStatus::kDone;
    error = MissingLanguageText();
    if (!error.isEmpty())
        return OcrStatus::kMissingLanguage;
    engine_ = StartEngine(languages_, error);
    if (!engine_)
        return OcrStatus::kMissingLanguage;
    // The engine would otherwise complain about every picture whose resolution it must guess.
    engine_->SetVariable("debug_file", "/dev/null");
    return OcrStatus::kDone;
}

bool CTextRecogniser::ReadsChinese() const {
    return languages_.split(QLatin1Char('+')).contains(QLatin1String(kChinese)) &&
           languages_ != QLatin1String(kChinese);
}

void CTextRecogniser::ReadAgainInChinese(std::vector<OcrReadLine>& lines, const OcrPicture& picture,
                                         const std::atomic<bool>* cancel) {
    for (OcrReadLine& read : lines) {
        if (Cancelled(cancel))
            return;
        if (HasChinese(read.line.text) || MeanConfidence(read.line) >= kDoubtfulLatin)
            continue;
        if (!chinese_) {
            QString error;
            chinese_ = StartEngine(QString::fromLatin1(kChinese), error);
            if (!chinese_)
                return;
            chinese_->SetVariable("debug_file", "/dev/null");
            chinese_->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
        }
        // The line alone, with room around it, enlarged: Chinese strokes need more pixels than
        // Latin letters.
        const QvRect& box = read.prepared;
        const int pad = std::max(kLinePadding, box.Height() / 2);
        const QvRect area{std::max(0, box.left - pad), std::max(0, box.top - pad),
                          std::min(picture.width, box.right + pad),
                          std::min(picture.height, box.bottom + pad)};
        const int width = int(area.Width() * kChineseEnlargement);
        const int height = int(area.Height() * kChineseEnlargement);
        const std::vector<uint8_t> big = EnlargedArea(picture, area, width, height);
        if (big.empty())
            continue;
        chinese_->SetImage(big.data(), width, height, 1, width);
        chinese_->SetSourceResolution(kSourceDpi);
        std::vector<OcrReadLine> again;
        if (chinese_->Recognize(nullptr) == 0)
            again = ReadLines(*chinese_);
        chinese_->Clear();
        if (again.size() != 1 || !HasChinese(again[0].line.text) ||
            MeanConfidence(again[0].line) <= MeanConfidence(read.line))
            continue;
        read.line = std::move(again[0].line);
        for (OcrWord& word : read.line.words) {
            const QvRect& b = word.box;
            word.box = QvRect{area.left + int(b.left / kChineseEnlargement),
                              area.top + int(b.top / kChineseEnlargement),
                              area.left + int(b.right / kChineseEnlargement),
                              area.top + int(b.bottom / kChineseEnlargement)};
        }
    }
}

OcrOutcome CTextRecogniser::Recognise(const CDibImage& image, const QvRect& region,
                                      const std::atomic<bool>* cancel, std::atomic<int>* progress) {
    if (!image.IsValid())
        return Failure(OcrStatus::kUnreadablePicture, QStringLiteral("无法读取图片。"));
    QString error;
    const OcrStatus loaded = Load(error);
    if (loaded != OcrStatus::kDone)
        return Failure(loaded, error);
    if (Cancelled(cancel))
        return Failure(OcrStatus::kCancelled, QString());
    const OcrPicture picture = PrepareOcrPicture(image, region, cancel);
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
    std::vector<OcrReadLine> lines = ReadLines(*engine_);
    engine_->Clear();
    if (ReadsChinese())
        ReadAgainInChinese(lines, picture, cancel);
    if (Cancelled(cancel))
        return Failure(OcrStatus::kCancelled, QString());
    outcome.page = MakePage(lines, picture);
    if (progress != nullptr)
        progress->store(100);
    return outcome;
}
