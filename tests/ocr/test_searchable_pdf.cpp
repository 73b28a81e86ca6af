// Searchable PDFs of a page drawn with known English and Chinese text, read back by real readers:
// pdftotext's text is as good as recognition alone, its word boxes lie over the words of the
// picture, the pages render exactly as the PDF made without text; a page without text has no
// text layer, and a cancelled making leaves no file.

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "image/pdf_maker.h"
#include "ocr/ocr_pdf_text_reader.h"
#include "ocr/text_recogniser.h"
#include "support/ocr_page.h"

namespace {

QByteArray Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "failed: " + process.readAllStandardError();
    return process.readAllStandardOutput() + process.readAllStandardError();
}

// Character error rates of a text against the page's English and Chinese paragraphs.
std::pair<double, double> Rates(const QString& text) {
    return {CharacterErrorRate(NormaliseOcrText(OcrLinesOf(text, false), false),
                               NormaliseOcrText(OcrTestEnglish(), false)),
            CharacterErrorRate(NormaliseOcrText(OcrLinesOf(text, true), true),
                               NormaliseOcrText(OcrTestChinese(), true))};
}

}  // namespace

class SearchablePdfTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void textLiesOverTheWordsOfAnUnchangedPage();
    void cancelLeavesNoFile();

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    OcrTestPage page_;
};

void SearchablePdfTest::initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY2(CTextRecogniser().MissingLanguages().isEmpty(), "the set-up installs the languages");
    page_ = RenderOcrTestPage(40);
    QVERIFY(page_.image.save(Path("page.png")));
    QImage blank(800, 600, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QVERIFY(blank.save(Path("blank.png")));
}

void SearchablePdfTest::textLiesOverTheWordsOfAnUnchangedPage() {
    const QStringList pages = {Path("page.png"), Path("blank.png")};
    CPdfMaker::Options searchable;
    searchable.textReaders = COcrPdfTextReader::Readers();
    QCOMPARE(CPdfMaker::Make(pages, Path("text.pdf"), searchable).outcome,
             CPdfMaker::Outcome::kWritten);
    QCOMPARE(CPdfMaker::Make(pages, Path("plain.pdf")).outcome, CPdfMaker::Outcome::kWritten);
    QVERIFY(Output("qpdf", {"--check", Path("text.pdf")}).contains("No syntax or stream"));
    const QByteArray fonts = Output("pdffonts", {Path("text.pdf")});
    QVERIFY2(fonts.count('\n') == 3 && fonts.contains("CID TrueType"), fonts);

    // The extracted text is as good as what recognition alone reads from the picture.
    const QString extracted = Output("pdftotext", {"-f", "1", "-l", "1", Path("text.pdf"), "-"});
    const OcrOutcome alone = CTextRecogniser().Recognise(ToDib(page_.image));
    const auto [english, chinese] = Rates(extracted);
    const auto [englishAlone, chineseAlone] = Rates(alone.page.text);
    qInfo("CER English %.1f %% (alone %.1f %%), Chinese %.1f %% (alone %.1f %%)", 100 * english,
          100 * englishAlone, 100 * chinese, 100 * chineseAlone);
    QVERIFY2(english <= englishAlone + 0.01 && chinese <= chineseAlone + 0.01,
             qPrintable(extracted));
    // Readers put no space between Chinese words, and keep each line whole, so a phrase is found.
    QCOMPARE(OcrLinesOf(extracted, true).simplified(),
             OcrLinesOf(alone.page.text, true).simplified());

    // Every word box lies over its paragraph and holds ink. The page is 0.96 point a pixel.
    const QString boxes = Output("pdftotext", {"-bbox", Path("text.pdf"), "-"});
    const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">)re");
    const double scale = 1 / 0.96;
    int words = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext(); ++words) {
        const auto m = it.next();
        const QRect box(
            QPoint(int(m.captured(1).toDouble() * scale), int(m.captured(2).toDouble() * scale)),
            QPoint(int(m.captured(3).toDouble() * scale), int(m.captured(4).toDouble() * scale)));
        const QRect paragraphs = (page_.englishBlock | page_.chineseBlock).adjusted(-4, -4, 4, 4);
        QVERIFY2(paragraphs.contains(box), qPrintable(m.captured(0)));
        int ink = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x)
                ink += qGray(page_.image.pixel(x, y)) < 128;
        }
        QVERIFY2(ink > box.width() * box.height() / 50, qPrintable(m.captured(0)));
    }
    QVERIFY(words > 20);

    // Only the page with text has a text layer, and both pages look as they would without it.
    QFile file(Path("text.pdf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("/ProcSet[/PDF/ImageC/Text]"), 1);
    for (const char* name : {"text", "plain"})
        Output("pdftoppm", {"-r", "36", Path(QString(name) + ".pdf"), Path(name)});
    for (const char* suffix : {"-1.ppm", "-2.ppm"}) {
        const QImage withText(Path(QString("text") + suffix));
        QVERIFY(!withText.isNull());
        QCOMPARE(withText, QImage(Path(QString("plain") + suffix)));
    }
}

void SearchablePdfTest::cancelLeavesNoFile() {
    const QStringList before = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    std::atomic<bool> cancel{false};
    CPdfMaker::Options options;
    options.textReaders = COcrPdfTextReader::Readers();
    options.cancel = &cancel;
    options.progress = [&](const CPdfMaker::Progress& p) {
        if (p.step == CPdfMaker::Step::kRecognising)
            cancel = true;
    };
    const CPdfMaker::Result result =
        CPdfMaker::Make(QStringList(6, Path("page.png")), Path("cancelled.pdf"), options);
    QCOMPARE(result.outcome, CPdfMaker::Outcome::kCancelled);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), before);
}

QTEST_MAIN(SearchablePdfTest)
#include "test_searchable_pdf.moc"
