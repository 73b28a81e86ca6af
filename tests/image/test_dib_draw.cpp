// Painting a picture with a QPainter, text into its pixels, reading QImages, and the codecs
// checked against Qt's own image readers.

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QtTest>

#include "image/dib_image.h"
#include "test_image_util.h"

namespace {

QRgb ToQRgb(QvColour c) {
    return qRgb(QvRed(c), QvGreen(c), QvBlue(c));
}

// Picture pixel (x, row from the top) as Qt sees it.
QRgb TopDown(const CDibImage& img, int x, int row) {
    return ToQRgb(img.GetPixelColour(uint32_t(x), img.GetHeight() - 1 - uint32_t(row)));
}

QImage Canvas(int w, int h, QRgb fill) {
    QImage canvas(w, h, QImage::Format_RGB32);
    canvas.fill(fill);
    return canvas;
}

}  // namespace

class DibDrawTest : public QObject {
    Q_OBJECT
private slots:
    void drawAtOwnSizeIsExact_data();
    void drawAtOwnSizeIsExact();
    void drawScaledSamplesByFloor();
    void drawHonoursTransparencyAndAlpha();
    void drawRefusesNothingToDraw();
    void stretchLeavesTransparentPixels();
    void writeTextSetsFullColourAboveTheBaseline();
    void createFromBitmapReadsPixelsAndPalette();
    void codecsMatchQtReaders();
};

void DibDrawTest::drawAtOwnSizeIsExact_data() {
    QTest::addColumn<uint>("bits");
    QTest::newRow("1") << 1u;
    QTest::newRow("4") << 4u;
    QTest::newRow("8") << 8u;
    QTest::newRow("24") << 24u;
}

void DibDrawTest::drawAtOwnSizeIsExact() {
    QFETCH(uint, bits);
    const CDibImage img = MakeNoise(13, 7, bits, 1);
    QImage canvas = Canvas(20, 12, qRgb(1, 2, 3));
    {
        QPainter p(&canvas);
        QCOMPARE(img.Draw(&p, 2, 3), 1);
    }
    for (int row = 0; row < 7; ++row) {
        for (int x = 0; x < 13; ++x)
            QCOMPARE(canvas.pixel(2 + x, 3 + row), TopDown(img, x, row));
    }
    QCOMPARE(canvas.pixel(1, 3), qRgb(1, 2, 3));
    QCOMPARE(canvas.pixel(15, 10), qRgb(1, 2, 3));
}

void DibDrawTest::drawScaledSamplesByFloor() {
    const CDibImage img = MakeNoise(5, 4, 24, 2);
    QImage canvas = Canvas(10, 8, 0);
    {
        QPainter p(&canvas);
        QCOMPARE(img.Draw(&p, 0, 0, 10, 8), 1);
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            // Rows are counted from the bottom edge of the target.
            const uint32_t sy = uint32_t((7 - y) * 4 / 8);
            QCOMPARE(canvas.pixel(x, y), ToQRgb(img.GetPixelColour(uint32_t(x / 2), sy)));
        }
    }
    // Smooth sampling of a flat picture stays flat, edges included.
    const CDibImage flat = MakeSolid(4, 4, QvRgb(90, 160, 30));
    QImage smooth = Canvas(11, 9, 0);
    {
        QPainter p(&smooth);
        QCOMPARE(flat.Draw(&p, 0, 0, 11, 9, nullptr, true), 1);
    }
    QCOMPARE(smooth.pixel(0, 0), qRgb(90, 160, 30));
    QCOMPARE(smooth.pixel(10, 8), qRgb(90, 160, 30));
    QCOMPARE(smooth.pixel(5, 4), qRgb(90, 160, 30));
}

void DibDrawTest::drawHonoursTransparencyAndAlpha() {
    CDibImage img = MakeSolid(4, 2, QvRgb(255, 255, 255));
    img.GetRow(1)[0] = 0;  // top-left pixel: (255, 255, 0) as red, green, blue
    img.SetTransparentIndex(0);
    img.SetTransparentColour(QvRgb(255, 255, 255));
    QImage canvas = Canvas(4, 2, qRgb(10, 20, 30));
    {
        QPainter p(&canvas);
        QCOMPARE(img.Draw(&p, 0, 0), 1);
    }
    QCOMPARE(canvas.pixel(0, 0), qRgb(255, 255, 0));
    QCOMPARE(canvas.pixel(1, 0), qRgb(10, 20, 30));
    QCOMPARE(canvas.pixel(3, 1), qRgb(10, 20, 30));

    CDibImage glass = MakeSolid(3, 1, QvRgb(200, 100, 0));
    QVERIFY(glass.AlphaCreate());
    glass.GetAlpha()[0] = 0;
    glass.GetAlpha()[1] = 128;
    QImage under = Canvas(3, 1, qRgb(0, 0, 200));
    {
        QPainter p(&under);
        QCOMPARE(glass.Draw(&p, 0, 0), 1);
    }
    QCOMPARE(under.pixel(0, 0), qRgb(0, 0, 200));
    QVERIFY(qAbs(qRed(under.pixel(1, 0)) - 100) <= 2);
    QVERIFY(qAbs(qBlue(under.pixel(1, 0)) - 100) <= 2);
    QCOMPARE(under.pixel(2, 0), qRgb(200, 100, 0));
}

void DibDrawTest::drawRefusesNothingToDraw() {
    QImage canvas = Canvas(4, 4, 0);
    QPainter p(&canvas);
    CDibImage img = MakeNoise(4, 4, 24, 3);
    QCOMPARE(img.Draw(&p, 0, 0, 0, 4), 0);
    QCOMPARE(img.Draw(nullptr, 0, 0), 0);
    QCOMPARE(CDibImage().Draw(&p, 0, 0), 0);
    QCOMPARE(img.Draw(&p, 10, 10), 0);  // wholly outside the device
    QvRect clip{0, 0, 2, 2};
    QCOMPARE(img.Draw(&p, 0, 0, -1, -1, &clip), 1);
    p.end();
    QCOMPARE(canvas.pixel(3, 3), qRgb(0, 0, 0));
    QCOMPARE(canvas.pixel(1, 1), TopDown(img, 1, 1));
    img.Enable(false);
    QPainter q(&canvas);
    QCOMPARE(img.Draw(&q, 0, 0), 0);
    QCOMPARE(img.Stretch(&q, 0, 0, 4, 4), 0);
}

void DibDrawTest::stretchLeavesTransparentPixels() {
    CDibImage img = MakeSolid(2, 2, QvRgb(255, 255, 255));
    img.GetRow(0)[0] = 0;  // bottom-left not white
    img.SetTransparentIndex(0);
    img.SetTransparentColour(QvRgb(255, 255, 255));
    QImage canvas = Canvas(8, 8, qRgb(1, 1, 1));
    {
        QPainter p(&canvas);
        QCOMPARE(img.Stretch(&p, 0, 0, 8, 8), 1);
    }
    QCOMPARE(canvas.pixel(1, 1), qRgb(1, 1, 1));
    QCOMPARE(canvas.pixel(1, 6), qRgb(255, 255, 0));
    img.SetTransparentIndex(-1);
    {
        QPainter p(&canvas);
        QCOMPARE(img.Stretch(&p, 0, 0, 8, 8), 1);
    }
    QCOMPARE(canvas.pixel(1, 1), qRgb(255, 255, 255));
}

void DibDrawTest::writeTextSetsFullColourAboveTheBaseline() {
    CDibImage img = MakeSolid(200, 80, QvRgb(255, 255, 255));
    const QvColour red = QvRgb(255, 0, 0);
    QVERIFY(img.WriteText(nullptr, 10, 50, QStringLiteral("Ab 2026-12-08"), red,
                          QStringLiteral("DejaVu Sans"), 20, 700, false, false, false));
    int covered = 0, top = 80, bottom = -1, left = 200;
    for (int row = 0; row < 80; ++row) {
        for (int x = 0; x < 200; ++x) {
            const QRgb c = TopDown(img, x, row);
            if (c == qRgb(255, 255, 255))
                continue;
            QCOMPARE(c, ToQRgb(red));  // no blended edge pixels
            ++covered;
            top = std::min(top, row), bottom = std::max(bottom, row), left = std::min(left, x);
        }
    }
    QVERIFY(covered > 50);
    QVERIFY(left >= 10);
    QVERIFY(bottom <= 50);    // the box's bottom edge is 50 rows from the top
    QVERIFY(top >= 50 - 30);  // and the box is about one line high
    // Text running off the picture is cut, not a failure.
    QVERIFY(img.WriteText(nullptr, 190, 5, QStringLiteral("Edge"), red,
                          QStringLiteral("DejaVu Sans"), 20, 400, true, true, false));
}

void DibDrawTest::createFromBitmapReadsPixelsAndPalette() {
    QImage colour(3, 2, QImage::Format_RGB32);
    colour.setPixel(0, 0, qRgb(1, 2, 3));
    colour.setPixel(2, 1, qRgb(7, 8, 9));
    CDibImage img;
    QVERIFY(img.CreateFromBitmap(colour));
    QCOMPARE(img.GetBpp(), 24u);
    QCOMPARE(TopDown(img, 0, 0), qRgb(1, 2, 3));
    QCOMPARE(TopDown(img, 2, 1), qRgb(7, 8, 9));

    QImage indexed(5, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(250, 0, 5)});
    indexed.fill(0);
    indexed.setPixel(4, 0, 1);
    QVERIFY(img.CreateFromBitmap(indexed));
    QCOMPARE(img.GetBpp(), 8u);
    QCOMPARE(TopDown(img, 4, 0), qRgb(250, 0, 5));
    QCOMPARE(TopDown(img, 3, 0), qRgb(0, 0, 0));

    QVERIFY(!img.CreateFromBitmap(QImage()));
    QCOMPARE(QString(img.GetLastError()), QStringLiteral("GetDIBits failed"));
}

// Every valid corpus file that Qt also reads decodes to the same pixels: exactly for lossless
// formats; JPEG within a small tolerance (the two decoders may upsample chroma differently).
void DibDrawTest::codecsMatchQtReaders() {
    struct Folder {
        const char* name;
        int tolerance;
    };
    const Folder folders[] = {{"png", 1}, {"bmp", 0}, {"jpeg", 8}};
    int compared = 0;
    for (const Folder& f : folders) {
        QDir dir(QStringLiteral(QUORVANE_TESTDATA "/images/%1/valid").arg(f.name));
        for (const QString& name : dir.entryList(QDir::Files)) {
            const QString path = dir.filePath(name);
            QImageReader reader(path);
            reader.setAutoTransform(false);
            QImage reference = reader.read();
            if (reference.isNull())
                continue;
            reference = reference.convertToFormat(QImage::Format_ARGB32);
            CDibImage img;
            QVERIFY2(img.Load(path, 0), qPrintable(path));
            QCOMPARE(int(img.GetWidth()), reference.width());
            QCOMPARE(int(img.GetHeight()), reference.height());
            int worst = 0;
            for (int row = 0; row < reference.height(); ++row) {
                for (int x = 0; x < reference.width(); ++x) {
                    const QRgb a = reference.pixel(x, row), b = TopDown(img, x, row);
                    const uint32_t at =
                        (img.GetHeight() - 1 - uint32_t(row)) * img.GetWidth() + uint32_t(x);
                    const int alpha = img.HasAlpha() ? img.GetAlpha()[at] : 255;
                    worst = std::max({worst, qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)),
                                      qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - alpha)});
                }
            }
            // Qt widens 5- and 6-bit channels by shifting (31 -> 248); we scale (31 -> 255).
            const int tolerance = name.startsWith("rgb16") ? 7 : f.tolerance;
            QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("%1: %2").arg(path).arg(worst)));
            ++compared;
        }
    }
    QVERIFY(compared > 40);
}

QTEST_MAIN(DibDrawTest)
#include "test_dib_draw.moc"
