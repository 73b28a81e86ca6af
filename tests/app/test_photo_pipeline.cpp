// The photo save pipeline without a camera: a made-up frame goes in, the written file is read
// back by a reference decoder (ffmpeg) and compared with what was asked for.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "app/photo_naming.h"
#include "app/photo_pipeline.h"
#include "image/dib_image.h"

Q_DECLARE_METATYPE(QvRect)

namespace {

// A 24-bit frame whose every pixel is told apart by position.
CDibImage MakeFrame(uint32_t width, uint32_t height) {
    CDibImage frame;
    frame.Create(width, height, 24, kDibFormatBmp);
    for (uint32_t row = 0; row < height; ++row) {
        uint8_t* p = frame.GetRow(row);
        const uint32_t y = height - 1 - row;  // distance from the top
        for (uint32_t x = 0; x < width; ++x) {
            p[3 * x + 0] = uint8_t((x * 7 + y * 3) & 0xFF);  // blue
            p[3 * x + 1] = uint8_t((y * 5) & 0xFF);          // green
            p[3 * x + 2] = uint8_t((x * 4) & 0xFF);          // red
        }
    }
    return frame;
}

// Colour at (x, y) counted from the top-left corner, as 0xRRGGBB.
uint32_t TopDownRgb(const CDibImage& image, uint32_t x, uint32_t y) {
    const QvColour c = image.GetPixelColour(x, image.GetHeight() - 1 - y);
    return (uint32_t(QvRed(c)) << 16) | (uint32_t(QvGreen(c)) << 8) | QvBlue(c);
}

struct Decoded {
    QString codec;
    int width = 0;
    int height = 0;
    QByteArray rgb;  // rows top first, 3 bytes per pixel
    uint32_t At(int x, int y) const {
        const auto* p = reinterpret_cast<const uint8_t*>(rgb.constData()) + 3 * (y * width + x);
        return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
};

Decoded DecodeWithFfmpeg(const QString& path) {
    Decoded out;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name,width,height"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30000);
    const QStringList fields =
        QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split(',');
    if (fields.size() < 3) {
        return out;
    }
    out.codec = fields[0];
    out.width = fields[1].toInt();
    out.height = fields[2].toInt();
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                  QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                  QStringLiteral("rgb24"), QStringLiteral("-")});
    decode.waitForFinished(30000);
    out.rgb = decode.readAllStandardOutput();
    return out;
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    }
    return worst;
}

// Largest channel difference between the decoded file and the expected picture.
int WorstDifference(const Decoded& file, const CDibImage& expected) {
    int worst = 0;
    for (int y = 0; y < file.height; ++y) {
        for (int x = 0; x < file.width; ++x) {
            worst = std::max(worst, ChannelDistance(file.At(x, y), TopDownRgb(expected, x, y)));
        }
    }
    return worst;
}

// Mean absolute channel difference, for lossy files.
double MeanDifference(const Decoded& file, const CDibImage& expected) {
    double sum = 0;
    for (int y = 0; y < file.height; ++y) {
        for (int x = 0; x < file.width; ++x) {
            const uint32_t a = file.At(x, y);
            const uint32_t b = TopDownRgb(expected, x, y);
            for (int shift = 0; shift <= 16; shift += 8) {
                sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
            }
        }
    }
    return sum / (3.0 * file.width * file.height);
}

bool SamePixels(const CDibImage& a, const CDibImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
        return false;
    }
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            if (a.GetPixelColour(x, y) != b.GetPixelColour(x, y)) {
                return false;
            }
        }
    }
    return true;
}

QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class PhotoPipelineTest : public QObject {
    Q_OBJECT

private slots:
    void formatFromExtension_data();
    void formatFromExtension();
    void savedFileMatchesFrame_data();
    void savedFileMatchesFrame();
    void blackAndWhiteWithJpegChosenSavesTiff();
    void selectionBox_data();
    void selectionBox();
    void automaticCrop();
    void saveRotation_data();
    void saveRotation();
    void thumbnailIsAlways55_data();
    void thumbnailIsAlways55();
    void watermarkOnlyWhenAsked();
    void dateWatermarkSitsBottomLeftOfTurnedPicture();
    void watermarkStaysWholeInsideThePicture_data();
    void watermarkStaysWholeInsideThePicture();
    void failedSaveLeavesNothing_data();
    void failedSaveLeavesNothing();
    void existingFileIsNotReplaced();
    void noFrameSavesNothing();
};

void PhotoPipelineTest::formatFromExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<uint>("type");
    QTest::newRow("jpg") << "/a/Image1.jpg" << uint(kDibFormatJpeg);
    QTest::newRow("JPEG upper") << "/a/Image1.JPEG" << uint(kDibFormatJpeg);
    QTest::newRow("png") << "/a/x.Png" << uint(kDibFormatPng);
    QTest::newRow("tif") << "/a/x.tif" << uint(kDibFormatTiff);
    QTest::newRow("tiff") << "/a/x.tiff" << uint(kDibFormatTiff);
    QTest::newRow("bmp") << "/a/x.bmp" << uint(kDibFormatBmp);
    QTest::newRow("unknown") << "/a/x.gif" << uint(kDibFormatBmp);
    QTest::newRow("jpg with space") << "/a/x.jpg " << uint(kDibFormatBmp);
    QTest::newRow("no dot") << "/a/Image1" << uint(kDibFormatBmp);
    QTest::newRow("dot only in folder") << "/a.jpg/Image1" << uint(kDibFormatBmp);
}

void PhotoPipelineTest::formatFromExtension() {
    QFETCH(QString, path);
    QFETCH(uint, type);
    QCOMPARE(PhotoFormatFromPath(path), type);
}

void PhotoPipelineTest::savedFileMatchesFrame_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("png") << "p.png"
                         << "png" << 50 << 0;
    QTest::newRow("bmp") << "p.bmp"
                         << "bmp" << 50 << 0;
    QTest::newRow("tif") << "p.tif"
                         << "tiff" << 50 << 0;
    QTest::newRow("unknown extension is bmp") << "p.gif"
                                              << "bmp" << 50 << 0;
    QTest::newRow("jpg q95") << "p.jpg"
                             << "mjpeg" << 95 << 4;
}

void PhotoPipelineTest::savedFileMatchesFrame() {
    QFETCH(QString, name);
    QFETCH(QString, codec);
    QFETCH(int, quality);
    QFETCH(int, tolerance);
    QTemporaryDir dir;
    const CDibImage frame = MakeFrame(64, 48);
    PhotoSource source;
    source.workImage = &frame;
    PhotoOptions options;
    options.quality = quality;
    const QString path = dir.filePath(name);
    const PhotoResult result = SavePhoto(source, path, options);
    QVERIFY2(result.saved, qPrintable(result.failure));
    QVERIFY(result.failure.isEmpty());
    const Decoded file = DecodeWithFfmpeg(path);
    QCOMPARE(file.codec, codec);
    QCOMPARE(file.width, 64);
    QCOMPARE(file.height, 48);
    QCOMPARE(file.rgb.size(), 64 * 48 * 3);
    // Lossless formats give the frame back exactly; JPEG on average within the tolerance.
    const double difference =
        tolerance == 0 ? WorstDifference(file, frame) : MeanDifference(file, frame);
    QVERIFY2(difference <= tolerance, qPrintable(QString::number(difference)));
    QCOMPARE(FolderEntries(dir.path()), QStringList{name});  // no temporary file left
}

void PhotoPipelineTest::blackAndWhiteWithJpegChosenSavesTiff() {
    QTemporaryDir dir;
    CDibImage frame = MakeFrame(40, 30);
    QVERIFY(frame.Threshold(128));
    const QString extension = CPhotoNamer::PhotoExtension(QStringLiteral("jpg"), 2);
    QCOMPARE(extension, QStringLiteral("tif"));
    QCOMPARE(CPhotoNamer::PhotoExtension(QStringLiteral("png"), 2), QStringLiteral("png"));
    PhotoSource source;
    source.workImage = &frame;
    const QString path = dir.filePath(QStringLiteral("Image1.") + extension);
    const PhotoResult result = SavePhoto(source, path, {});
    QVERIFY2(result.saved, qPrintable(result.failure));
    const Decoded file = DecodeWithFfmpeg(path);
    QCOMPARE(file.codec, QStringLiteral("tiff"));
    QCOMPARE(file.width, 40);
    QCOMPARE(WorstDifference(file, frame), 0);
}

void PhotoPipelineTest::selectionBox_data() {
    QTest::addColumn<QvRect>("box");
    QTest::addColumn<QvRect>("expected");  // part of the frame saved
    const QvRect whole{0, 0, 64, 48};
    QTest::newRow("inside") << QvRect{10, 5, 30, 25} << QvRect{10, 5, 30, 25};
    QTest::newRow("whole frame") << whole << whole;
    QTest::newRow("right beyond") << QvRect{10, 5, 65, 25} << whole;
    QTest::newRow("bottom beyond") << QvRect{10, 5, 30, 49} << whole;
    QTest::newRow("empty") << QvRect{} << whole;
    QTest::newRow("inverted") << QvRect{30, 25, 10, 5} << whole;
}

void PhotoPipelineTest::selectionBox() {
    QFETCH(QvRect, box);
    QFETCH(QvRect, expected);
    QTemporaryDir dir;
    const CDibImage frame = MakeFrame(64, 48);
    PhotoSource source;
    source.workImage = &frame;
    source.selectionImageRect = box;
    const QString path = dir.filePath(QStringLiteral("s.png"));
    QVERIFY(SavePhoto(source, path, {}).saved);
    CDibImage wanted(frame);
    QVERIFY(wanted.Crop(expected));
    const Decoded file = DecodeWithFfmpeg(path);
    QCOMPARE(file.width, expected.Width());
    QCOMPARE(file.height, expected.Height());
    QCOMPARE(WorstDifference(file, wanted), 0);
}

void PhotoPipelineTest::automaticCrop() {
    const CDibImage frame = MakeFrame(64, 48);
    PhotoSource source;
    source.workImage = &frame;
    source.outlineMode = 2;
    source.selectionImageRect = {0, 0, 8, 8};  // not used while cropping automatically
    source.cropImageRect = {4, 6, 24, 16};
    CDibImage straight = PreparePhoto(source, {});
    CDibImage wanted(frame);
    QVERIFY(wanted.Crop(source.cropImageRect));
    QVERIFY(SamePixels(straight, wanted));

    // A quarter turn of tilt is straightened before the document is cut out.
    source.tiltAngle = 90;
    source.cropImageRect = {0, 0, 48, 64};
    CDibImage turned = PreparePhoto(source, {});
    CDibImage wantedTurned;
    QVERIFY(CDibImage(frame).Rotate(90.0f, &wantedTurned));
    QVERIFY(SamePixels(turned, wantedTurned));

    // Before the detection has found a document the whole frame is saved.
    source.tiltAngle = 0;
    source.cropImageRect = {};
    QVERIFY(SamePixels(PreparePhoto(source, {}), frame));
}

void PhotoPipelineTest::saveRotation_data() {
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("turn");  // -1 left, 0 none, 1 right
    QTest::newRow("none") << false << false << 0;
    QTest::newRow("left") << true << false << -1;
    QTest::newRow("right") << false << true << 1;
    QTest::newRow("both: left wins") << true << true << -1;
}

void PhotoPipelineTest::saveRotation() {
    QFETCH(bool, left);
    QFETCH(bool, right);
    QFETCH(int, turn);
    QTemporaryDir dir;
    const CDibImage frame = MakeFrame(64, 48);
    CDibImage wanted(frame);
    if (turn < 0) {
        QVERIFY(wanted.RotateLeft90());
    } else if (turn > 0) {
        QVERIFY(wanted.RotateRight90());
    }
    PhotoSource source;
    source.workImage = &frame;
    PhotoOptions options;
    options.saveRotateLeft = left;
    options.saveRotateRight = right;
    const QString path = dir.filePath(QStringLiteral("r.png"));
    QVERIFY(SavePhoto(source, path, options).saved);
    const Decoded file = DecodeWithFfmpeg(path);
    QCOMPARE(file.width, int(wanted.GetWidth()));
    QCOMPARE(file.height, int(wanted.GetHeight()));
    QCOMPARE(WorstDifference(file, wanted), 0);
    // The top-left pixel of the frame ends where the turn takes it.
    const QPoint corner = turn < 0 ? QPoint(0, 63) : turn > 0 ? QPoint(47, 0) : QPoint(0, 0);
    QCOMPARE(file.At(corner.x(), corner.y()), TopDownRgb(frame, 0, 0));
}

void PhotoPipelineTest::thumbnailIsAlways55_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("blackAndWhite");
    QTest::newRow("4:3") << 640 << 480 << false;
    QTest::newRow("tall") << 30 << 200 << false;
    QTest::newRow("one pixel") << 1 << 1 << false;
    QTest::newRow("black and white") << 100 << 60 << true;
}

void PhotoPipelineTest::thumbnailIsAlways55() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, blackAndWhite);
    QTemporaryDir dir;
    CDibImage frame = MakeFrame(uint32_t(width), uint32_t(height));
    if (blackAndWhite) {
        QVERIFY(frame.Threshold(100));
    }
    PhotoSource source;
    source.workImage = &frame;
    const PhotoResult result = SavePhoto(source, dir.filePath(QStringLiteral("t.png")), {});
    QCOMPARE(result.thumbnail.GetWidth(), 55u);
    QCOMPARE(result.thumbnail.GetHeight(), 55u);
}

void PhotoPipelineTest::watermarkOnlyWhenAsked() {
    CDibImage frame;
    QVERIFY(frame.Create(120, 80, 24, kDibFormatBmp));
    for (uint32_t row = 0; row < 80; ++row) {
        std::memset(frame.GetRow(row), 0xFF, frame.GetEffWidth());
    }
    PhotoSource source;
    source.workImage = &frame;
    PhotoOptions options;
    options.watermarkX = 0.1f;
    options.watermarkY = 0.5f;
    options.watermarkColour = QvRgb(255, 0, 0);
    QVERIFY(SamePixels(PreparePhoto(source, options), frame));
    options.watermarkText = QStringLiteral("水印 Quorvane");
    const CDibImage marked = PreparePhoto(source, options);
    QCOMPARE(marked.GetWidth(), 120u);
    QCOMPARE(marked.GetHeight(), 80u);
    QVERIFY(!SamePixels(marked, frame));
}

void PhotoPipelineTest::dateWatermarkSitsBottomLeftOfTurnedPicture() {
    CDibImage frame;
    QVERIFY(frame.Create(160, 300, 24, kDibFormatBmp));
    for (uint32_t row = 0; row < 300; ++row) {
        std::memset(frame.GetRow(row), 0xFF, frame.GetEffWidth());
    }
    PhotoSource source;
    source.workImage = &frame;
    PhotoOptions options;
    options.dateWatermark = true;
    options.clock = [] { return QDateTime(QDate(2012, 3, 5), QTime(14, 7, 9)); };
    QCOMPARE(DateWatermarkText(options.clock()), QStringLiteral("2012年03月05日 14时07分09秒"));
    CDibImage marked = PreparePhoto(source, options);
    QVERIFY(marked.RotateLeft90());                    // look at it as it was written on
    const int turnedHeight = int(marked.GetHeight());  // 160
    int inked = 0;
    for (uint32_t y = 0; y < marked.GetHeight(); ++y) {
        for (uint32_t x = 0; x < marked.GetWidth(); ++x) {
            if (TopDownRgb(marked, x, y) != 0xFFFFFFu) {
                ++inked;
                QVERIFY2(
                    int(x) >= 20 && int(y) < turnedHeight - 60 && int(y) >= turnedHeight - 60 - 40,
                    qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
            }
        }
    }
    QVERIFY(inked > 50);
}

// The whole text wherever it is placed (as much ink as well inside), a new user's at (0, 0) in
// the top-left corner of the picture as written on (turned a quarter left), not above it.
void PhotoPipelineTest::watermarkStaysWholeInsideThePicture_data() {
    QTest::addColumn<QPointF>("ratios");
    QTest::newRow("a new user's: top-left corner") << QPointF(0, 0);
    QTest::newRow("bottom-right corner") << QPointF(1, 1);
    QTest::newRow("past the right edge") << QPointF(0.95, 0.5);
}

void PhotoPipelineTest::watermarkStaysWholeInsideThePicture() {
    QFETCH(QPointF, ratios);
    CDibImage frame;
    QVERIFY(frame.Create(200, 300, 24, kDibFormatBmp));
    for (uint32_t row = 0; row < 300; ++row) {
        std::memset(frame.GetRow(row), 0xFF, frame.GetEffWidth());
    }
    PhotoSource source;
    source.workImage = &frame;
    PhotoOptions options;
    options.watermarkText = QStringLiteral("Quorvane 水印");
    options.watermarkFont.height = 24;
    const auto ink = [&](float x, float y, QPoint* first) {
        options.watermarkX = x;
        options.watermarkY = y;
        CDibImage written = PreparePhoto(source, options);
        written.RotateLeft90();
        int count = 0;
        for (uint32_t py = 0; py < written.GetHeight(); ++py) {
            for (uint32_t px = 0; px < written.GetWidth(); ++px) {
                if (TopDownRgb(written, px, py) != 0xFFFFFFu) {
                    *first = count++ == 0 ? QPoint(int(px), int(py)) : *first;
                    first->rx() = std::min(first->x(), int(px));
                }
            }
        }
        return count;
    };
    QPoint first;
    const int whole = ink(0.2f, 0.5f, &first);
    QVERIFY(whole > 100);
    QCOMPARE(ink(float(ratios.x()), float(ratios.y()), &first), whole);
    if (ratios.isNull()) {  // within the side bearing and the space above the capitals
        QVERIFY2(first.x() <= 3 && first.y() <= 12,
                 qPrintable(QStringLiteral("%1,%2").arg(first.x()).arg(first.y())));
    }
}

void PhotoPipelineTest::failedSaveLeavesNothing_data() {
    QTest::addColumn<QString>("relative");  // under the temporary folder
    QTest::addColumn<bool>("blackAndWhite");
    QTest::newRow("missing folder") << "nowhere/Image1.png" << false;
    QTest::newRow("folder is a file") << "plain/Image1.png" << false;
    QTest::newRow("encoder refuses 1-bit jpeg") << "Image1.jpg" << true;
}

void PhotoPipelineTest::failedSaveLeavesNothing() {
    QFETCH(QString, relative);
    QFETCH(bool, blackAndWhite);
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    CDibImage frame = MakeFrame(32, 32);
    if (blackAndWhite) {
        QVERIFY(frame.Threshold(100));
    }
    PhotoSource source;
    source.workImage = &frame;
    const PhotoResult result = SavePhoto(source, dir.filePath(relative), {});
    QVERIFY(!result.saved);
    QVERIFY(!result.failure.isEmpty());
    QVERIFY(!result.thumbnail.IsValid());  // nothing for the strip
    QCOMPARE(FolderEntries(dir.path()), QStringList{QStringLiteral("plain")});
    QCOMPARE(QFileInfo(plain.fileName()).size(), 0);

    const PhotoResult unnamed = SavePhoto(source, QString(), {});
    QVERIFY(!unnamed.saved);
    QVERIFY(!unnamed.failure.isEmpty());
}

void PhotoPipelineTest::existingFileIsNotReplaced() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Image1.bmp"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older photo");
    old.close();
    const CDibImage frame = MakeFrame(16, 16);
    PhotoSource source;
    source.workImage = &frame;
    const PhotoResult result = SavePhoto(source, path, {});
    QVERIFY(!result.saved);
    QVERIFY(!result.failure.isEmpty());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("older photo"));
}

void PhotoPipelineTest::noFrameSavesNothing() {
    QTemporaryDir dir;
    const CDibImage empty;
    PhotoSource source;
    source.workImage = &empty;
    const PhotoResult result = SavePhoto(source, dir.filePath(QStringLiteral("a.png")), {});
    QVERIFY(!result.saved);
    QVERIFY(!result.thumbnail.IsValid());
    QVERIFY(FolderEntries(dir.path()).isEmpty());
}

QTEST_MAIN(PhotoPipelineTest)
#include "test_photo_pipeline.moc"
