#include "ocr/text_recogniser.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "image/dib_image.h"
#include "image/wide_characters.h"
#include "ocr/ocr_picture.h"

// A line as the engine read it, with its box in the prepared picture's pixels.
struct OcrReadLine {
    OcrLine line;
    QvRect prepared;
    bool paragraphStart = false;
};

// One more reading of a line: by which model, with its strokes darkened by which power.
struct LineReading {
    const char* model;
    double power;
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
// Chinese line taken for Latin letters: such a line is read again with a Chinese model alone.
constexpr float kDoubtfulLatin = 75;
constexpr const char* kChinese = "chi_sim";
// Room left around a line read again, so that its strokes do not touch the edge.
constexpr int kLinePadding = 6;

// In a photograph the thin strokes of printed Chinese (the horizontals of a serif face) come out
// light grey, and 千 is read as 干, 白 as 日. A line read again has its greys stretched from its
// darkest ink to its paper and raised to a power, which darkens light strokes and keeps the
// paper white. The model of the simplified Han script ("HanS") reads these small characters more
// surely than the Chinese language model; the language model stands in when the script's data
// is not installed. Measured on photographed pages of four Chinese lines (48 characters): one
// darkened reading by the script model misread 3.3 % of the characters (forty pages; 7.7 % on
// ten without darkening), up to four of one page. The engine's slips differ between readings, so
// the line keeps the reading closest to the others and to the first one: 2.6 % over fifty pages,
// 49 of which lost at most two characters.
// A line cut out alone is read as a single straight line. The first reading of a Chinese line
// that climbs or falls more than this (about 3.5 degrees) is kept: cut out, a steeper line takes
// pieces of its neighbours along, and the readings of those pieces agree with each other more
// than with the first one (a page photographed 5 degrees askew: 27 % of its Chinese misread with
// this limit, 44 % without; at 8 degrees two lines of four came out as fragments). Up to 3
// degrees the readings still help (2 degrees: 0 % against 10 % for the first reading alone).
constexpr double kLevel = 0.06;
constexpr std::array<LineReading, 3> kLineReadings{{{"HanS", 2.0}, {"HanS", 3.0}, {kChinese, 3.0}}};

QString TakeText(char* text) {
    const QString result = QString::fromUtf8(text).trimmed();
    delete[] text;
    return result;
}

// The engine puts spaces between all words, also between Chinese ones, which stand without.
QString WithoutWideSpaces(const QString& text) {
    const std::u32string in = text.toStdU32String();
    std::u32string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == U' ' && !out.empty() && IsWideCharacter(out.back())) {
            const size_t next = in.find_first_not_of(U' ', i);
            if (next != std::u32string::npos && IsWideCharacter(in[next])) {
                i = next - 1;
                continue;
            }
        }
        out += in[i];
    }
    return QString::fromStdU32String(out);
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
        read.line.text = WithoutWideSpaces(TakeText(it->GetUTF8Text(RIL_TEXTLINE)));
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

QvRect Grown(const QvRect& r, int by) {
    return QvRect{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

QvRect Shifted(const QvRect& r, int dx, int dy) {
    return QvRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

QvRect Intersection(const QvRect& a, const QvRect& b) {
    return QvRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
}

QvRect Union(const QvRect& a, const QvRect& b) {
    return QvRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

// The number of characters to change to make one text the other.
size_t EditDistance(const std::u32string& a, const std::u32string& b) {
    std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j <= b.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                                   previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// How far the ink of the line in `box` climbs or falls per pixel from left to right: the
// difference in height between the ink of its left and right thirds, over their distance.
double InkSlope(const OcrPicture& picture, const QvRect& box) {
    const int third = box.Width() / 3;
    if (third < 1 || box.Height() < 1)
        return 0;
    const auto row = [&](int y) { return picture.grey.data() + size_t(y) * size_t(picture.width); };
    int darkest = 255;
    int lightest = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        const auto [lo, hi] = std::minmax_element(row(y) + box.left, row(y) + box.right);
        darkest = std::min<int>(darkest, *lo);
        lightest = std::max<int>(lightest, *hi);
    }
    const int ink = (darkest + lightest) / 2;
    const auto inkHeight = [&](int left) {
        double sum = 0, count = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            const auto dark = std::count_if(row(y) + left, row(y) + left + third,
                                            [&](uint8_t v) { return v < ink; });
            sum += double(dark) * y;
            count += double(dark);
        }
        return count > 0 ? sum / count : 0.0;
    };
    if (lightest <= darkest)
        return 0;
    return (inkHeight(box.right - third) - inkHeight(box.left)) / (2.0 * third);
}

// A line's text as readings are compared: without spaces, which the models place differently.
std::u32string ComparedText(const OcrLine& line) {
    return QString(line.text).remove(QLatin1Char(' ')).toStdU32String();
}

bool SameText(const OcrLine& a, const OcrLine& b) {
    return ComparedText(a) == ComparedText(b);
}

// The reading whose text differs least from the others'; the earliest of equals.
size_t ClosestToOthers(const std::vector<OcrReadLine>& readings) {
    std::vector<std::u32string> texts;
    for (const OcrReadLine& read : readings)
        texts.push_back(ComparedText(read.line));
    size_t best = 0;
    size_t bestSum = SIZE_MAX;
    for (size_t i = 0; i < texts.size(); ++i) {
        size_t sum = 0;
        for (const std::u32string& other : texts)
            sum += EditDistance(texts[i], other);
        if (sum < bestSum) {
            best = i;
            bestSum = sum;
        }
    }
    return best;
}

// The line in `box` of the prepared picture with its strokes darkened by `power`, on
// white paper the size of `area` (which holds the box). Nothing outside the box is copied: a
// part of the next line would be read as a line of its own. Empty when the box is too small.
std::vector<uint8_t> DarkenedLine(const OcrPicture& picture, const QvRect& box, const QvRect& area,
                                  double power) {
    const QvRect line = Intersection(box, area);
    if (line.Width() < 2 || line.Height() < 2)
        return {};
    const auto row = [&](int y) {
        return picture.grey.data() + size_t(y) * size_t(picture.width) + size_t(line.left);
    };
    int ink = 255;
    int paper = 0;
    for (int y = line.top; y < line.bottom; ++y) {
        const auto [darkest, lightest] = std::minmax_element(row(y), row(y) + line.Width());
        ink = std::min<int>(ink, *darkest);
        paper = std::max<int>(paper, *lightest);
    }
    std::array<uint8_t, 256> curve{};
    for (int v = 0; v < 256; ++v) {
        const double t = std::clamp(double(v - ink) / std::max(1, paper - ink), 0.0, 1.0);
        curve[size_t(v)] = uint8_t(std::lround(255 * std::pow(t, power)));
    }
    std::vector<uint8_t> out(size_t(area.Width()) * size_t(area.Height()), 255);
    for (int y = line.top; y < line.bottom; ++y) {
        uint8_t* to = out.data() + size_t(y - area.top) * size_t(area.Width()) +
                      size_t(line.left - area.left);
        std::transform(row(y), row(y) + line.Width(), to, [&](uint8_t v) { return curve[v]; });
    }
    return out;
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

tesseract::TessBaseAPI* CTextRecogniser::LineEngine(const QString& model) {
    const auto known = lineEngines_.find(model);
    if (known != lineEngines_.end())
        return known->second.get();
    std::shared_ptr<tesseract::TessBaseAPI> engine;
    QString error;
    if (QFileInfo(QDir(DataPath()).filePath(model + QStringLiteral(".traineddata"))).isFile())
        engine = StartEngine(model, error);
    if (engine) {
        engine->SetVariable("debug_file", "/dev/null");
        engine->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    } else if (model != QLatin1String(kChinese)) {
        LineEngine(QString::fromLatin1(kChinese));
        engine = lineEngines_[QString::fromLatin1(kChinese)];
    }
    lineEngines_[model] = engine;
    return engine.get();
}

std::optional<OcrReadLine> CTextRecogniser::ReadLineInChinese(const OcrPicture& picture,
                                                              const QvRect& box,
                                                              const LineReading& reading) {
    tesseract::TessBaseAPI* engine = LineEngine(QString::fromLatin1(reading.model));
    const QvRect whole{0, 0, picture.width, picture.height};
    const QvRect line = Intersection(Grown(box, box.Height() / 4 + 2), whole);
    const QvRect area = Intersection(Grown(box, std::max(kLinePadding, box.Height() / 2)), whole);
    const std::vector<uint8_t> pixels = DarkenedLine(picture, line, area, reading.power);
    if (engine == nullptr || pixels.empty())
        return std::nullopt;
    engine->SetImage(pixels.data(), area.Width(), area.Height(), 1, area.Width());
    engine->SetSourceResolution(kSourceDpi);
    std::vector<OcrReadLine> again;
    if (engine->Recognize(nullptr) == 0)
        again = ReadLines(*engine);
    engine->Clear();
    if (again.size() != 1 || !HasChinese(again[0].line.text))
        return std::nullopt;
    OcrReadLine& read = again[0];
    read.prepared = box;
    for (OcrWord& word : read.line.words) {
        word.box = Intersection(Shifted(word.box, area.left, area.top), line);
        read.prepared = Union(read.prepared, word.box);
    }
    return std::move(read);
}

void CTextRecogniser::ReadAgainInChinese(std::vector<OcrReadLine>& lines, const OcrPicture& picture,
                                         const std::atomic<bool>* cancel) {
    const QvRect whole{0, 0, picture.width, picture.height};
    for (OcrReadLine& read : lines) {
        const bool chinese = HasChinese(read.line.text);
        if (chinese ? std::abs(InkSlope(picture, Intersection(read.prepared, whole))) > kLevel
                    : MeanConfidence(read.line) >= kDoubtfulLatin)
            continue;
        std::vector<OcrReadLine> readings;
        for (const LineReading& reading : kLineReadings) {
            if (Cancelled(cancel))
                return;
            if (std::optional<OcrReadLine> again =
                    ReadLineInChinese(picture, read.prepared, reading))
                readings.push_back(std::move(*again));
            // When the first reading again says what the first one said, no other reading can
            // come closer to the rest: the line stands as it was read.
            if (chinese && readings.size() == 1 && SameText(readings[0].line, read.line))
                break;
        }
        if (readings.empty())
            continue;
        readings.push_back(read);  // last, so that it wins no tie
        OcrReadLine& best = readings[ClosestToOthers(readings)];
        if (&best == &readings.back() ||
            (!chinese && MeanConfidence(best.line) <= MeanConfidence(read.line)))
            continue;
        best.paragraphStart = read.paragraphStart;
        read = std::move(best);
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
