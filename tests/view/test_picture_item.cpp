// Picture item: crop to the selection box, quarter turns, text annotation and saving, with the
// saved files read back by ffprobe / ffmpeg.

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "support/big_picture.h"
#include "ui/input_edit.h"
#include "view/picture_item.h"

Q_DECLARE_METATYPE(QvRect)

namespace QTest {
template <>
char* toString(const QvRect& r) {
    return qstrdup(
        QString("(%1, %2, %3, %4)").arg(r.left).arg(r.top).arg(r.right).arg(r.bottom).toUtf8());
}
}  // namespace QTest

namespace {

QvColour Colour(uint32_t x, uint32_t y) {
    return QvRgb(uint8_t(x * 3 + 1), uint8_t(y * 5 + 2), uint8_t((x + y) * 7));
}

// Writes a BMP whose every pixel has its own colour (x, y counted from the top-left corner).
bool WritePicture(const QString& path, uint32_t w, uint32_t h, bool black = false) {
    CDibImage image;
    if (!image.Create(w, h, 24, 0))
        return false;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = image.GetRow(h - 1 - y);
        for (uint32_t x = 0; x < w; ++x) {
            const QvColour c = black ? 0 : Colour(x, y);
            row[3 * x] = QvBlue(c);
            row[3 * x + 1] = QvGreen(c);
            row[3 * x + 2] = QvRed(c);
        }
    }
    return image.Save(path, kDibFormatBmp);
}

QvColour TopDown(const CDibImage& image, uint32_t x, uint32_t y) {
    return image.GetPixelColour(x, image.GetHeight() - 1 - y);
}

class Item : public CPicItem {
public:
    using CPicItem::selectionRect;
    using CPicItem::textX;
    using CPicItem::textY;
};

// One field of ffprobe's description of the first stream.
QString Probe(const QString& path, const QString& field) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=" + field,
                        "-of", "default=nw=1:nk=1", path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The picture as ffmpeg decodes it: rows top first, red-green-blue bytes.
QByteArray Decode(const QString& path) {
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

QByteArray TopDownRgb(const CDibImage& image) {
    QByteArray out;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const QvColour c = TopDown(image, x, y);
            out.append(char(QvRed(c))).append(char(QvGreen(c))).append(char(QvBlue(c)));
        }
    }
    return out;
}

}  // namespace

class TestPictureItem : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList messages_;

    // An item of the given client size showing a picture of the given size at 1:1.
    void Show(Item& item, int cw, int ch, uint32_t w, uint32_t h, bool black = false) {
        const QString path = dir_.filePath(QString("in_%1x%2_%3.bmp").arg(w).arg(h).arg(black));
        QVERIFY(WritePicture(path, w, h, black));
        item.resize(cw, ch);
        item.show();
        QCOMPARE(item.LoadFile(path), 1);
        QTRY_VERIFY(!item.IsLoading());
        item.ActualSize();
    }

    // Cuts a picture and leaves it modified, ready to be saved.
    void CutSomething(Item& item) {
        Show(item, 400, 300, 200, 100);
        item.selectionRect = QvRect{120, 110, 220, 170};
        item.CropToSelection();
        QVERIFY(item.IsModified());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // Use up the once-per-run fit of the first painted view, so that showing an item does
        // not change its zoom behind the tests' backs.
        CPicture other;
        const uint8_t pixels[8] = {};
        other.resize(10, 10);
        other.SetFrame((2u << 16) | 2u, pixels);
        QImage shot(10, 10, QImage::Format_RGB32);
        other.render(&shot);
        SetMessageBoxHandler(
            [this](const QString& text, const QString&, MessageIcon) { messages_ << text; });
    }
    void init() { messages_.clear(); }

    void cropKeepsOnlyThePartInsideThePicture() {
        Item item;
        Show(item, 400, 300, 200, 100);  // imageRect (100, 100, 300, 200)
        QTest::mousePress(&item, Qt::LeftButton, Qt::ControlModifier, QPoint(50, 150));
        QTest::mouseMove(&item, QPoint(150, 250));
        QTest::mouseRelease(&item, Qt::LeftButton, Qt::ControlModifier, QPoint(150, 250));
        item.CropToSelection();
        const CDibImage& cut = item.GetDisplayImage();
        QCOMPARE(cut.GetWidth(), 50u);
        QCOMPARE(cut.GetHeight(), 50u);
        QCOMPARE(TopDown(cut, 0, 0), Colour(0, 50));
        QCOMPARE(TopDown(cut, 49, 49), Colour(49, 99));
        QCOMPARE(item.GetWorkImage().GetWidth(), 50u);
        QVERIFY(item.GetSelectionRect().IsEmpty());
        QVERIFY(item.GetSelectionImageRect().IsEmpty());
        QVERIFY(!item.IsStretchToWindow());
        // Step 26 is the first below the window in one direction (371 wide); the fit takes the step
        // below it, 309 x 309.
        QCOMPARE(item.GetZoomStep(), 25);
        QVERIFY(item.IsModified());
    }

    void cropOfStretchedPictureWithoutBoxChangesNothing() {
        Item item;
        Show(item, 400, 300, 200, 100);
        item.SetStretchToWindow(true);
        item.CropToSelection();
        QCOMPARE(item.GetDisplayImage().GetWidth(), 200u);
        QVERIFY(!item.IsModified());
        QVERIFY(item.IsStretchToWindow());
    }

    void turnsKeepTheCentre() {
        Item item;
        Show(item, 400, 300, 600, 400);  // larger than the window: (-100, -50, 500, 350)
        QTest::mousePress(&item, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseMove(&item, QPoint(230, 170));
        QTest::mouseRelease(&item, Qt::LeftButton, {}, QPoint(230, 170));
        QCOMPARE(item.GetImageRect(), (QvRect{-70, -30, 530, 370}));
        item.RotateRight();
        QCOMPARE(item.GetImageRect(), (QvRect{30, -130, 430, 470}));
        QCOMPARE(item.GetWorkImage().GetWidth(), 400u);
        QCOMPARE(TopDown(item.GetDisplayImage(), 0, 0), Colour(0, 399));
        QCOMPARE(TopDown(item.GetWorkImage(), 399, 599), Colour(599, 0));
        item.RotateLeft();
        QCOMPARE(item.GetImageRect(), (QvRect{-70, -30, 530, 370}));
        QCOMPARE(TopDown(item.GetDisplayImage(), 0, 0), Colour(0, 0));
        // A turned picture can be saved like any other change.
        QVERIFY(item.IsModified());
    }

    void smallTurnedPictureIsCentredAgain() {
        Item item;
        Show(item, 400, 300, 200, 100);
        item.RotateLeft();
        QCOMPARE(item.GetImageRect(), (QvRect{150, 50, 250, 250}));
        QCOMPARE(TopDown(item.GetDisplayImage(), 0, 0), Colour(199, 0));
    }

    void nothingToTurnWithoutPicture() {
        Item item;
        item.resize(100, 100);
        item.RotateLeft();
        item.CropToSelection();
        QVERIFY(!item.IsModified());
        QVERIFY(!item.SaveAs());
    }

    void annotationIsWrittenWhereClicked() {
        Item item;
        Show(item, 400, 300, 200, 100, true);
        item.FitToWindow();
        QCOMPARE(item.GetZoomStep(), 20);
        item.ArmAnnotation();
        QTest::mouseClick(&item, Qt::LeftButton, {}, QPoint(150, 160));
        QCOMPARE(item.GetAnnotateState(), 2);
        QCOMPARE(item.GetZoomStep(), 15);  // shown 1:1 while typing
        QCOMPARE(item.GetImageRect(), (QvRect{100, 100, 300, 200}));
        CInputEdit* edit = item.GetTextEdit();
        QVERIFY(edit->isVisible());
        QCOMPARE(edit->geometry(), QRect(150, 160, 100, 20));

        // The wheel does not zoom away from 1:1 while the text is typed.
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&item, &wheel);
        QCOMPARE(item.GetZoomStep(), 15);

        QTest::keyClicks(edit, "HIH");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(item.GetAnnotateState(), 0);
        QVERIFY(!edit->isVisible());
        QVERIFY(edit->text().isEmpty());
        QVERIFY(item.IsModified());

        // White text with its box's bottom-left corner at (50, 60) of the picture.
        const CDibImage& image = item.GetDisplayImage();
        int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
        for (uint32_t y = 0; y < 100; ++y) {
            for (uint32_t x = 0; x < 200; ++x) {
                const QvColour c = TopDown(image, x, y);
                if (c == 0)
                    continue;
                QCOMPARE(c, QvRgb(255, 255, 255));
                minX = std::min(minX, int(x));
                maxX = std::max(maxX, int(x));
                minY = std::min(minY, int(y));
                maxY = std::max(maxY, int(y));
            }
        }
        QVERIFY2(minX >= 50 && minX <= 54, qPrintable(QString::number(minX)));
        QVERIFY2(maxY <= 60 && maxY >= 50, qPrintable(QString::number(maxY)));
        QVERIFY(maxX > minX + 10 && minY < maxY - 5);
        // The work image keeps the picture without the text.
        QCOMPARE(TopDown(item.GetWorkImage(), uint32_t(minX), uint32_t(maxY)), QvColour(0));
    }

    void annotationLeftOfThePictureIsDropped() {
        Item item;
        Show(item, 400, 300, 200, 100, true);
        item.ArmAnnotation();
        QTest::mouseClick(&item, Qt::LeftButton, {}, QPoint(60, 160));
        QTest::keyClicks(item.GetTextEdit(), "X");
        QTest::keyClick(item.GetTextEdit(), Qt::Key_Return);
        QCOMPARE(item.GetAnnotateState(), 0);
        QVERIFY(!item.IsModified());
        QVERIFY(!item.GetTextEdit()->isVisible());
    }

    void enterWithoutAnnotationDoesNothing() {
        Item item;
        Show(item, 400, 300, 200, 100, true);
        SendWindowMessage(&item, qvmsg::kInputEditEnter, 0, 0);
        QVERIFY(!item.IsModified());
        // Without the command armed a click pans as in any picture view.
        QTest::mouseClick(&item, Qt::LeftButton, {}, QPoint(150, 160));
        QCOMPARE(item.GetAnnotateState(), 0);
        QVERIFY(!item.GetTextEdit()->isVisible());
    }

    void unchangedPictureIsNotOffered() {
        Item item;
        Show(item, 400, 300, 200, 100);
        bool asked = false;
        item.SetSavePathChooser([&](QWidget*) {
            asked = true;
            return QString();
        });
        QVERIFY(!item.SaveAs());
        QVERIFY(!asked);
    }

    void savesUnderExactlyTheTypedName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("codec");
        QTest::newRow("no extension: BMP") << "scan1"
                                           << "bmp";
        QTest::newRow("Tiff") << "scan1.Tiff"
                              << "tiff";
        QTest::newRow("jpg") << "scan1.jpg"
                             << "mjpeg";
        QTest::newRow("png") << "scan1.PNG"
                             << "png";
        QTest::newRow("unknown extension: BMP") << "scan1.xyz"
                                                << "bmp";
    }
    void savesUnderExactlyTheTypedName() {
        QFETCH(QString, name);
        QFETCH(QString, codec);
        QTemporaryDir out;
        Item item;
        CutSomething(item);
        QWidget* owner = nullptr;
        item.SetSavePathChooser([&](QWidget* o) {
            owner = o;
            return out.filePath(name);
        });
        QVERIFY(item.SaveAs());
        QCOMPARE(owner, &item);
        QVERIFY(!item.IsModified());
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{name});
        const QString path = out.filePath(name);
        QCOMPARE(Probe(path, "codec_name"), codec);
        QCOMPARE(Probe(path, "width"), QString("100"));
        QCOMPARE(Probe(path, "height"), QString("60"));
        if (codec != "mjpeg") {
            QCOMPARE(Decode(path), TopDownRgb(item.GetDisplayImage()));
        }
        QVERIFY(messages_.isEmpty());
    }

    void cancelledSaveKeepsTheChanges() {
        Item item;
        CutSomething(item);
        item.SetSavePathChooser([](QWidget*) { return QString(); });
        QVERIFY(!item.SaveAs());
        QVERIFY(item.IsModified());
    }

    void failedSaveIsReportedAndKeepsTheChanges() {
        Item item;
        CutSomething(item);
        const QString path = dir_.filePath("no/such/folder/scan1.png");
        item.SetSavePathChooser([&](QWidget*) { return path; });
        QVERIFY(!item.SaveAs());
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(path));
        QVERIFY(item.IsModified());
        QVERIFY(!QFile::exists(path));
    }

    // A picture with more pixels than the screen is shown from a reduced copy; a command that
    // changes the picture waits for the whole picture, and what is saved is the whole picture.
    void bigPictureIsShownReducedAndEditedWhole() {
        const QString big = dir_.filePath(QStringLiteral("big.png"));
        QVERIFY(big_picture::WritePng(big, 8000, 6000, 1));
        Item item;
        item.resize(400, 300);
        item.show();
        QCOMPARE(item.LoadFile(big), 1);
        item.FitToWindow();  // before the picture is there: it is fitted once it is
        QTRY_VERIFY_WITH_TIMEOUT(!item.IsLoading(), 30000);
        QVERIFY(item.IsShowingReduced());
        QVERIFY(!item.GetWorkImage().IsValid());
        QVERIFY(item.GetImageRect().Width() < 1000);  // fitted, not at its 8000 pixels
        // The copy is drawn where the whole picture would be: on a grid over the window, the
        // points where the whole picture has ink are dark. Its blocks are 4 x 2.5 pixels here, so
        // points on their edges miss; a picture upside down matches half the points.
        const QImage shot = item.grab().toImage();
        const QvRect r = item.GetImageRect();
        int ink = 0, dark = 0;
        for (int y = 0; y < 300; y += 6) {
            for (int x = 0; x < 400; x += 8) {
                const uint32_t wx = uint32_t((x - r.left) * 8000 / r.Width());
                const uint32_t wy = uint32_t((y - r.top) * 6000 / r.Height());
                if (big_picture::Sample(wx, wy, 0) < 100) {
                    ++ink;
                    dark += qGray(shot.pixel(x, y)) < 100;
                }
            }
        }
        QVERIFY2(dark > ink * 2 / 3, qPrintable(QStringLiteral("%1 of %2").arg(dark).arg(ink)));

        bool turned = false;
        item.WithFullPicture([&] {
            item.RotateRight();
            turned = true;
        });
        QVERIFY(!turned && item.IsLoading());
        QTRY_VERIFY_WITH_TIMEOUT(turned, 30000);
        QCOMPARE(item.GetWorkImage().GetWidth(), 6000u);
        QVERIFY(!item.IsShowingReduced());
        const QString saved = dir_.filePath(QStringLiteral("turned.bmp"));
        item.SetSavePathChooser([&](QWidget*) { return saved; });
        QVERIFY(item.SaveAs());
        CDibImage written;
        QVERIFY(written.Load(saved, kDibFormatBmp));
        QCOMPARE(written.GetWidth(), 6000u);
        QCOMPARE(written.GetHeight(), 8000u);
    }

    // Zooming in past the reduced copy's own pixels reads the whole picture; a newer file read
    // meanwhile supersedes it.
    void zoomReadsTheWholePictureAndNewerFileWins() {
        const QString big = dir_.filePath(QStringLiteral("zoom.png"));
        QVERIFY(big_picture::WritePng(big, 8000, 6000, 1));
        Item item;
        item.resize(400, 300);
        item.show();
        item.LoadFile(big);
        item.FitToWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!item.IsLoading(), 30000);
        while (item.IsShowingReduced() && !item.IsLoading())
            item.ZoomIn();
        QVERIFY(item.GetZoomStep() < CPicture::kActualSizeStep);
        QTRY_VERIFY_WITH_TIMEOUT(!item.IsShowingReduced(), 30000);
        QCOMPARE(item.GetDisplayImage().GetWidth(), 8000u);

        const QString small = dir_.filePath(QStringLiteral("small.bmp"));
        QVERIFY(WritePicture(small, 30, 20));
        item.LoadFile(small);
        item.LoadFile(big);
        item.LoadFile(small);
        QTRY_VERIFY(!item.IsLoading());
        QCOMPARE(item.GetWorkImage().GetWidth(), 30u);
        QVERIFY(!item.IsShowingReduced());
    }

    void pictureBeyondTheLimitIsRefusedWithAMessage() {
        const QString path = dir_.filePath(QStringLiteral("limit.bmp"));
        QVERIFY(WritePicture(path, 600, 500));
        const uint64_t limit = CDibImage::GetMaxMemory();
        CDibImage::SetMaxMemory(512 << 10);
        Item item;
        item.LoadFile(path);
        QTRY_VERIFY(!item.IsLoading());
        CDibImage::SetMaxMemory(limit);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("图片太大")) &&
                     messages_[0].contains(QStringLiteral("600 × 500")),
                 qPrintable(messages_[0]));
        QVERIFY(!item.GetWorkImage().IsValid() && !item.IsShowingReduced());
    }
};

QTEST_MAIN(TestPictureItem)
#include "test_picture_item.moc"
