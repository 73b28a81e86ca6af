// Text recognition on pages drawn here with known English and Chinese text: every text height
// from small print to headings, the selection box, pictures of every depth, a picture without
// text, missing language data, and a run cancelled half way.

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ocr/text_recogniser.h"
#include "ocr/text_recognition_job.h"
#include "support/ocr_page.h"

Q_DECLARE_METATYPE(OcrOutcome)

namespace {

QPoint Centre(const QvRect& r) {
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// The recognised lines whose centre lies in `block`, one after the other.
QString TextIn(const OcrPage& page, const QRect& block) {
    QStringList lines;
    for (const OcrLine& line : page.lines) {
        if (block.contains(Centre(line.box)))
            lines << line.text;
    }
    return lines.join(QLatin1Char(' '));
}

struct Rates {
    double english = 1;
    double chinese = 1;
};

Rates Score(const OcrPage& result, const OcrTestPage& page) {
    Rates rates;
    rates.english = CharacterErrorRate(NormaliseOcrText(TextIn(result, page.englishBlock), false),
                                       NormaliseOcrText(OcrTestEnglish(), false));
    rates.chinese = CharacterErrorRate(NormaliseOcrText(TextIn(result, page.chineseBlock), true),
                                       NormaliseOcrText(OcrTestChinese(), true));
    return rates;
}

bool HasChinese(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

}  // namespace

class TextRecognitionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        recogniser_ = std::make_shared<CTextRecogniser>();
        QVERIFY2(recogniser_->MissingLanguages().isEmpty(),
                 "the set-up installs the language data");
    }

    void readsEveryTextHeight_data() {
        QTest::addColumn<int>("height");
        for (int height : {20, 28, 40, 56, 80, 100})
            QTest::addRow("%d px", height) << height;
    }

    // Large print is where the engine alone goes wrong: the picture's preparation brings every
    // height to the one the engine reads best.
    void readsEveryTextHeight() {
        QFETCH(int, height);
        const OcrTestPage page = RenderOcrTestPage(height);
        const OcrOutcome outcome = recogniser_->Recognise(ToDib(page.image));
        QCOMPARE(outcome.status, OcrStatus::kDone);
        const Rates rates = Score(outcome.page, page);
        qInfo("%d px: English %.1f %%, Chinese %.1f %%", height, 100 * rates.english,
              100 * rates.chinese);
        if (rates.english > 0 || rates.chinese > 0)
            qInfo("%s", qPrintable(outcome.page.text));
        QVERIFY2(rates.english < 0.02, qPrintable(outcome.page.text));
        QVERIFY2(rates.chinese < 0.05, qPrintable(outcome.page.text));
        for (const OcrLine& line : outcome.page.lines) {
            for (const OcrWord& word : line.words) {
                QVERIFY(word.confidence >= 0 && word.confidence <= 100);
                const QPoint centre = Centre(word.box);
                QVERIFY(centre.x() > line.box.left && centre.x() < line.box.right);
                QVERIFY(centre.y() > line.box.top && centre.y() < line.box.bottom);
            }
        }
    }

    // Only the text inside the region is read, and the boxes are the picture's pixels.
    void readsOnlyTheRegion() {
        const OcrTestPage page = RenderOcrTestPage(32);
        const QRect b = page.englishBlock.adjusted(-8, -8, 8, 8);
        const QvRect region{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
        const OcrOutcome outcome = recogniser_->Recognise(ToDib(page.image), region);
        QCOMPARE(outcome.status, OcrStatus::kDone);
        QVERIFY2(!HasChinese(outcome.page.text), qPrintable(outcome.page.text));
        QVERIFY2(CharacterErrorRate(NormaliseOcrText(outcome.page.text, false),
                                    NormaliseOcrText(OcrTestEnglish(), false)) < 0.02,
                 qPrintable(outcome.page.text));
        for (const OcrLine& line : outcome.page.lines)
            QVERIFY(b.contains(Centre(line.box)));
    }

    void readsPicturesOfEveryDepth_data() {
        QTest::addColumn<int>("bits");
        QTest::newRow("black and white") << 1;
        QTest::newRow("grey") << 8;
    }

    void readsPicturesOfEveryDepth() {
        QFETCH(int, bits);
        const OcrTestPage page = RenderOcrTestPage(36);
        CDibImage picture = ToDib(page.image);
        QVERIFY(bits == 1 ? picture.Threshold(128) : picture.ToGrey());
        QCOMPARE(int(picture.GetBpp()), bits);
        const OcrOutcome outcome = recogniser_->Recognise(picture);
        QCOMPARE(outcome.status, OcrStatus::kDone);
        const Rates rates = Score(outcome.page, page);
        QVERIFY2(rates.english < 0.02 && rates.chinese < 0.05, qPrintable(outcome.page.text));
    }

    // A photograph of an empty page on a dark desk: nothing is read, nothing fails.
    void pictureWithoutTextGivesNoText() {
        QImage blank(1200, 900, QImage::Format_RGB32);
        blank.fill(QColor(40, 40, 45));
        QPainter p(&blank);
        p.fillRect(QRect(150, 60, 900, 780), QColor(235, 235, 230));
        p.end();
        const OcrOutcome outcome = recogniser_->Recognise(ToDib(blank));
        QCOMPARE(outcome.status, OcrStatus::kDone);
        QVERIFY2(!outcome.page.HasText(), qPrintable(outcome.page.text));
    }

    void failuresAreNamed() {
        QTemporaryDir empty;
        CTextRecogniser withoutData(QString::fromLatin1(CTextRecogniser::kDefaultLanguages),
                                    empty.path());
        const OcrTestPage page = RenderOcrTestPage(30);
        OcrOutcome outcome = withoutData.Recognise(ToDib(page.image));
        QCOMPARE(outcome.status, OcrStatus::kMissingLanguage);
        QVERIFY2(outcome.error.contains(QStringLiteral("tesseract-ocr-chi-sim")) &&
                     outcome.error.contains(QStringLiteral("tesseract-ocr-eng")),
                 qPrintable(outcome.error));

        outcome = recogniser_->Recognise(CDibImage());
        QCOMPARE(outcome.status, OcrStatus::kUnreadablePicture);
        QVERIFY(!outcome.error.isEmpty());
    }

    // Cancelled while the engine reads: the run ends soon, without a result; a second start
    // while a run is under way starts nothing.
    void cancelEndsTheRunWithoutAResult() {
        CTextRecognitionJob job(recogniser_);
        QSignalSpy finished(&job, &CTextRecognitionJob::Finished);
        QVERIFY(job.Start(ToDib(RenderOcrTestPage(20, 2400).image)));
        QVERIFY(job.IsRunning());
        QVERIFY(!job.Start(ToDib(RenderOcrTestPage(20).image)));
        QTRY_VERIFY_WITH_TIMEOUT(job.Progress() > 0, 30000);
        QElapsedTimer clock;
        clock.start();
        job.Cancel();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        qInfo("ended %lld ms after the cancel", clock.elapsed());
        const auto outcome = finished.at(0).at(0).value<OcrOutcome>();
        QCOMPARE(outcome.status, OcrStatus::kCancelled);
        QVERIFY(outcome.page.lines.empty());
        QVERIFY(!job.IsRunning());
        QTest::qWait(50);
        QCOMPARE(finished.count(), 1);
    }

private:
    std::shared_ptr<CTextRecogniser> recogniser_;
};

QTEST_MAIN(TextRecognitionTest)
#include "test_text_recognition.moc"
