// Picture view: zoom arithmetic, coordinate conversion, frame orientation and colour modes,
// file loading, painting and mouse interaction, on the offscreen platform.

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "ui/main_window_services.h"
#include "view/picture_view.h"

Q_DECLARE_METATYPE(QvRect)

namespace QTest {
template <>
char* toString(const QvRect& r) {
    return qstrdup(
        QString("(%1, %2, %3, %4)").arg(r.left).arg(r.top).arg(r.right).arg(r.bottom).toUtf8());
}
template <>
char* toString(const QvPoint& p) {
    return qstrdup(QString("(%1, %2)").arg(p.x).arg(p.y).toUtf8());
}
}  // namespace QTest

namespace {

// Opens the view's protected state to the tests and counts the hooks.
class Probe : public CPicture {
public:
    using CPicture::anchor;
    using CPicture::drawingBox;
    using CPicture::grabbedEdge;
    using CPicture::panning;
    using CPicture::resizingEdge;
    using CPicture::selectionRect;
    using CPicture::ShowFrame;
    using CPicture::ViewRect;

    int newFrames = 0;
    int paints = 0;

protected:
    void OnNewFrame() override { ++newFrames; }
    void OnBeforePaint() override { ++paints; }
};

// A frame as the capture pipeline delivers it: 24-bit blue-green-red rows, top row first, each
// padded to 4 bytes. Every pixel gets its own colour from its position.
struct Frame {
    uint32_t width;
    uint32_t height;
    uint32_t stride;
    std::vector<uint8_t> bytes;

    Frame(uint32_t w, uint32_t h) : width(w), height(h), stride((w * 3 + 3) & ~3u) {
        bytes.assign(size_t(stride) * h, 0xEE);  // padding stays visible as 0xEE
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                Set(x, y, Colour(x, y));
            }
        }
    }
    static QvColour Colour(uint32_t x, uint32_t y) {
        return QvRgb(uint8_t(x * 7 + 1), uint8_t(y * 5 + 2), uint8_t((x ^ y) * 3 + 3));
    }
    void Set(uint32_t x, uint32_t y, QvColour c) {
        uint8_t* p = &bytes[size_t(y) * stride + 3 * x];
        p[0] = QvBlue(c);
        p[1] = QvGreen(c);
        p[2] = QvRed(c);
    }
    uint32_t Size() const { return (width << 16) | height; }
};

// Colour at (x, y) counted from the picture's top-left corner.
QvColour TopDown(const CDibImage& image, uint32_t x, uint32_t y) {
    return image.GetPixelColour(x, image.GetHeight() - 1 - y);
}

uint8_t Grey(QvColour c) {
    return uint8_t((306 * QvRed(c) + 601 * QvGreen(c) + 117 * QvBlue(c)) >> 10);
}

QRgb ToQRgb(QvColour c) {
    return qRgb(QvRed(c), QvGreen(c), QvBlue(c));
}

// A pointer move with no button held (QTest only moves the cursor then).
void Hover(QWidget& widget, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget.mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

QImage Render(QWidget& widget) {
    QImage out(widget.size(), QImage::Format_RGB32);
    out.fill(Qt::magenta);
    widget.render(&out);
    return out;
}

class FakeMainWindow : public MainWindowServices {
public:
    int toggles = 0;
    QObject* MessageTarget() override { return nullptr; }
    void ToggleFullScreen() override { ++toggles; }
    int WorkMode() const override { return 0; }
    const CDibImage* SkinImage(int) const override { return nullptr; }
    int StoredVideoWidth() const override { return -1; }
    int StoredVideoHeight() const override { return -1; }
};

}  // namespace

class TestPictureView : public QObject {
    Q_OBJECT

private:
    // A view of the given client size holding a frame of the given size (not yet painted).
    static void Feed(Probe& view, int cw, int ch, uint32_t w, uint32_t h) {
        view.resize(cw, ch);
        view.show();  // delivers the resize now, not at the first render
        Frame frame(w, h);
        view.SetFrame(frame.Size(), frame.bytes.data());
    }

    // Uses up the process-wide first-paint fit on a throwaway view.
    static void ConsumeRefit() {
        Probe other;
        Feed(other, 10, 10, 2, 2);
        Render(other);
    }

private slots:
    void init() { CPicture::ResetRefit(); }

    void fitChoosesLargestStepBelowWindow() {
        Probe view;
        Feed(view, 800, 600, 4000, 3000);
        view.FitToWindow();
        QCOMPARE(view.GetZoomStep(), 5);
        QCOMPARE(view.GetImageRect(), (QvRect{77, 58, 723, 542}));  // 646 x 484, centred
        QVERIFY(!view.IsStretchToWindow());
    }

    void fitOfHugePictureStopsAtSmallestStep() {
        Probe view;
        Feed(view, 40, 30, 4000, 3000);  // more than 15 times the window in both directions
        view.FitToWindow();
        QCOMPARE(view.GetZoomStep(), 0);
        // 1.2^-15 of 4000 x 3000 is 259 x 194, centred on the window's centre.
        QCOMPARE(view.GetImageRect(), (QvRect{20 - 129, 15 - 97, 20 + 129, 15 + 97}));
    }

    void fitOfSmallPictureZoomsIn() {
        Probe view;
        Feed(view, 800, 600, 40, 30);
        view.FitToWindow();
        // Step 30 (x15.4: 616 x 462) is the first below the window, so the fit takes step 29.
        QCOMPARE(view.GetZoomStep(), 29);
        QCOMPARE(view.GetImageRect(), (QvRect{400 - 256, 300 - 192, 400 + 256, 300 + 192}));
    }

    void firstPaintFitsOnceForTheWholeRun() {
        Probe first;
        Feed(first, 800, 600, 4000, 3000);
        QVERIFY(first.IsStretchToWindow());
        Render(first);
        QCOMPARE(first.GetZoomStep(), 5);
        QVERIFY(!first.IsStretchToWindow());
        QCOMPARE(first.paints, 1);

        Probe second;
        Feed(second, 800, 600, 4000, 3000);
        Render(second);
        QVERIFY(second.IsStretchToWindow());  // the refit was used up by the first view
        QCOMPARE(second.GetZoomStep(), 15);
    }

    void zoomStopsAtBothEndsButStillPlaces() {
        Probe view;
        Feed(view, 800, 600, 100, 80);
        view.FitToWindow();
        for (int i = 0; i < 40; ++i)
            view.ZoomIn();
        QCOMPARE(view.GetZoomStep(), 30);
        // At the top step a zoom still places the picture: a panned picture comes back to the
        // window's centre (1541 x 1232, wider than the window, keeps its own centre).
        const QvRect top = view.GetImageRect();
        QCOMPARE(top.Width(), 1540);
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(400, 300));
        QTest::mouseMove(&view, QPoint(410, 330));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(410, 330));
        view.ZoomIn();
        QCOMPARE(view.GetZoomStep(), 30);
        QCOMPARE(view.GetImageRect(),
                 (QvRect{top.left + 10, top.top + 30, top.right + 10, top.bottom + 30}));

        for (int i = 0; i < 40; ++i)
            view.ZoomOut();
        QCOMPARE(view.GetZoomStep(), 0);
        view.ZoomOut();
        QCOMPARE(view.GetZoomStep(), 0);
        // 1.2^-15 of 100 x 80 is 6 x 5 (truncated), centred.
        QCOMPARE(view.GetImageRect(), (QvRect{400 - 3, 300 - 2, 400 + 3, 300 + 2}));
    }

    void zoomKeepsCentreWhenLargerThanWindow() {
        Probe view;
        Feed(view, 400, 300, 1000, 800);
        view.ActualSize();
        QCOMPARE(view.GetImageRect(), (QvRect{200 - 500, 150 - 400, 200 + 500, 150 + 400}));
        // Pan by dragging: the picture's centre moves to (250, 170).
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(&view, QPoint(150, 120));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(150, 120));
        QCOMPARE(view.GetImageRect(), (QvRect{-250, -230, 750, 570}));
        view.ZoomIn();  // 1200 x 960 around the same centre
        QCOMPARE(view.GetImageRect(), (QvRect{250 - 600, 170 - 480, 250 + 600, 170 + 480}));
    }

    void stretchedViewIgnoresZoom() {
        Probe view;
        Feed(view, 800, 600, 100, 80);
        const QvRect rect = view.GetImageRect();
        view.ZoomIn();
        view.ZoomOut();
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
        QCOMPARE(view.GetZoomStep(), 15);
        QCOMPARE(view.GetImageRect(), rect);
    }

    void wheelStepsZoom() {
        Probe view;
        Feed(view, 800, 600, 100, 80);
        view.ActualSize();
        auto wheel = [&](int delta) {
            QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&view, &event);
        };
        wheel(120);
        QCOMPARE(view.GetZoomStep(), 16);
        wheel(-240);  // one notch or several: one step per event
        QCOMPARE(view.GetZoomStep(), 15);
        for (int i = 0; i < 7; ++i)
            wheel(15);  // a touchpad: 105 of the 120 of a notch
        QCOMPARE(view.GetZoomStep(), 15);
        wheel(15);
        QCOMPARE(view.GetZoomStep(), 16);
        wheel(60);
        wheel(-60);  // turning back starts again from nothing
        wheel(-60);
        QCOMPARE(view.GetZoomStep(), 15);
    }

    void selectionStaysOnSamePixelsAcrossZoom() {
        Probe view;
        Feed(view, 800, 600, 400, 300);
        view.ActualSize();  // imageRect (200, 150, 600, 450)
        QTest::mousePress(&view, Qt::LeftButton, Qt::ControlModifier, QPoint(250, 180));
        QTest::mouseMove(&view, QPoint(350, 260));
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::ControlModifier, QPoint(350, 260));
        QCOMPARE(view.GetSelectionRect(), (QvRect{250, 180, 350, 260}));

        view.ZoomIn();  // 480 x 360 centred: (160, 120, 640, 480)
        QCOMPARE(view.GetSelectionImageRect(), (QvRect{50, 30, 150, 110}));
        QCOMPARE(view.GetSelectionRect(), (QvRect{220, 156, 340, 252}));
        view.ZoomOut();
        view.ZoomOut();
        view.ZoomIn();
        const QvRect back = view.GetSelectionImageRect();
        QVERIFY2(std::abs(back.left - 50) <= 1 && std::abs(back.top - 30) <= 1 &&
                     std::abs(back.right - 150) <= 1 && std::abs(back.bottom - 110) <= 1,
                 "the box drifted off its picture pixels");
    }

    void selectionIsClippedToPictureBeforeConversion() {
        Probe view;
        Feed(view, 800, 600, 400, 300);
        view.ActualSize();  // (200, 150, 600, 450)
        QTest::mousePress(&view, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 400));
        QTest::mouseMove(&view, QPoint(300, 560));
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::ControlModifier, QPoint(300, 560));
        view.SelectionToImage();
        QCOMPARE(view.GetSelectionRect(), (QvRect{200, 400, 300, 450}));
        QCOMPARE(view.GetSelectionImageRect(), (QvRect{0, 250, 100, 300}));
    }

    void outlineMapsLikeSelection() {
        Probe view;
        Feed(view, 800, 600, 400, 300);
        view.ActualSize();
        view.ZoomIn();  // (160, 120, 640, 480): 1.2 x
        view.SetOutlineImagePoints(
            {QvPoint{0, 0}, QvPoint{100, 10}, QvPoint{399, 299}, QvPoint{5, 250}});
        view.OutlineToClient();
        const auto& p = view.GetOutlineClientPoints();
        QCOMPARE(p[0], (QvPoint{160, 120}));
        QCOMPARE(p[1], (QvPoint{280, 132}));
        QCOMPARE(p[2], (QvPoint{160 + 478, 120 + 358}));
        QCOMPARE(p[3], (QvPoint{166, 420}));
    }

    void frameOrientation_data() {
        QTest::addColumn<bool>("noFlip");
        QTest::addColumn<bool>("noMirror");
        QTest::newRow("default: flipped upright, mirrored") << false << false;
        QTest::newRow("upright, not mirrored") << false << true;
        QTest::newRow("upside down, mirrored") << true << false;
        QTest::newRow("as stored") << true << true;
    }
    void frameOrientation() {
        QFETCH(bool, noFlip);
        QFETCH(bool, noMirror);
        Probe view;
        view.SetNoFlip(noFlip);
        view.SetNoMirror(noMirror);
        Frame frame(5, 3);  // 15 bytes of pixels in 16-byte rows
        view.SetFrame(frame.Size(), frame.bytes.data());
        const CDibImage& image = view.GetDisplayImage();
        QCOMPARE(image.GetWidth(), 5u);
        QCOMPARE(image.GetHeight(), 3u);
        QCOMPARE(image.GetBpp(), 24u);
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < 5; ++x) {
                const uint32_t fx = noMirror ? x : 4 - x;
                const uint32_t fy = noFlip ? 2 - y : y;
                QCOMPARE(TopDown(image, x, y), Frame::Colour(fx, fy));
            }
        }
        QVERIFY(SamePicture(view.GetRawImage(), image));
        QVERIFY(SamePicture(view.GetWorkImage(), image));
    }

    void colourModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("level");
        QTest::newRow("colour") << 0 << 0;
        QTest::newRow("grey") << 1 << 0;
        QTest::newRow("black and white, 40") << 2 << 40;
        QTest::newRow("black and white, 200") << 2 << 200;
    }
    void colourModes() {
        QFETCH(int, mode);
        QFETCH(int, level);
        Probe view;
        view.SetColourMode(mode);
        view.SetThresholdLevel(uint8_t(level));
        view.SetNoMirror(true);
        Frame frame(37, 9);
        for (int repeat = 0; repeat < 2; ++repeat) {  // the second frame reuses the blocks
            view.SetFrame(frame.Size(), frame.bytes.data());
            const CDibImage& work = view.GetWorkImage();
            QCOMPARE(work.GetBpp(), mode == 0 ? 24u : mode == 1 ? 8u : 1u);
            QVERIFY(SamePicture(view.GetDisplayImage(), work));
            QCOMPARE(view.GetRawImage().GetBpp(), 24u);
            for (uint32_t y = 0; y < 9; ++y) {
                for (uint32_t x = 0; x < 37; ++x) {
                    const QvColour c = Frame::Colour(x, y);
                    QCOMPARE(TopDown(view.GetRawImage(), x, y), c);
                    const uint8_t g = Grey(c);
                    const QvColour expected = mode == 0   ? c
                                              : mode == 1 ? QvRgb(g, g, g)
                                              : g > level ? QvRgb(255, 255, 255)
                                                          : QvRgb(0, 0, 0);
                    QCOMPARE(TopDown(work, x, y), expected);
                }
            }
        }
        QCOMPARE(view.newFrames, 2);
    }

    // A frame shown live (drawn from its rows, its images made when read) looks and reads as the
    // same frame given to SetFrame; settings changed after it came wait for the next frame, and
    // the frame is let go when the next one replaces it.
    void liveFrameMatchesSetFrame_data() {
        QTest::addColumn<bool>("noFlip");
        QTest::addColumn<bool>("noMirror");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("view");
        const QSize natural(37, 23);
        QTest::newRow("default, 1:1") << false << false << 0 << natural;
        QTest::newRow("upside down, grey, 1:1") << true << false << 1 << natural;
        QTest::newRow("not mirrored, black and white, 1:1") << false << true << 2 << natural;
        QTest::newRow("default, smaller") << false << false << 0 << QSize(25, 16);
        QTest::newRow("grey, larger") << false << false << 1 << QSize(90, 61);
    }
    void liveFrameMatchesSetFrame() {
        QFETCH(bool, noFlip);
        QFETCH(bool, noMirror);
        QFETCH(int, mode);
        QFETCH(QSize, view);
        ConsumeRefit();
        const Frame frame(37, 23);
        Probe copied;
        Probe live;
        for (Probe* v : {&copied, &live}) {
            v->SetNoFlip(noFlip);
            v->SetNoMirror(noMirror);
            v->SetColourMode(mode);
            v->SetThresholdLevel(100);
            v->resize(view);
            v->show();
        }
        copied.SetFrame(frame.Size(), frame.bytes.data());
        auto rows = std::make_shared<std::vector<uint8_t>>(frame.bytes);
        const std::weak_ptr<std::vector<uint8_t>> held = rows;
        live.ShowFrame(FrameRows{rows->data(), 37, 23, frame.stride, std::move(rows)});
        live.SetNoFlip(!noFlip);
        live.SetNoMirror(!noMirror);
        live.SetColourMode((mode + 1) % 3);
        QCOMPARE(live.newFrames, 1);
        QVERIFY(!held.expired());

        QCOMPARE(Render(live), Render(copied));
        QVERIFY(SamePicture(live.GetRawImage(), copied.GetRawImage()));
        QVERIFY(SamePicture(live.GetWorkImage(), copied.GetWorkImage()));
        QVERIFY(SamePicture(live.GetDisplayImage(), copied.GetDisplayImage()));

        live.ShowFrame(FrameRows{frame.bytes.data(), 37, 23, frame.stride, nullptr});
        QVERIFY(held.expired());
    }

    void frameSizeChangeAndFirstFrameCentring() {
        Probe view;
        view.resize(300, 200);
        Frame small(20, 10);
        view.SetFrame(small.Size(), small.bytes.data());
        QCOMPARE(view.GetImageRect(), (QvRect{140, 95, 160, 105}));
        QVERIFY(view.HasImage());
        Frame large(64, 48);
        view.SetFrame(large.Size(), large.bytes.data());
        QCOMPARE(view.GetImageRect(), (QvRect{140, 95, 160, 105}));  // only the first centres
        QCOMPARE(view.GetDisplayImage().GetWidth(), 64u);
        QCOMPARE(TopDown(view.GetDisplayImage(), 63, 0), Frame::Colour(0, 0));
        view.SetFrame(small.Size(), small.bytes.data());
        QCOMPARE(view.GetWorkImage().GetHeight(), 10u);
        QCOMPARE(view.newFrames, 3);
    }

    void loadFileComparesPathsExactly() {
        QTemporaryDir dir;
        const QString lower = dir.filePath("a.bmp");
        const QString upper = dir.filePath("A.BMP");
        CDibImage red, blue;
        QVERIFY(MakeSolid(red, 8, 6, QvRgb(255, 0, 0)).Save(lower, kDibFormatBmp));
        QVERIFY(MakeSolid(blue, 12, 4, QvRgb(0, 0, 255)).Save(upper, kDibFormatBmp));

        Probe view;
        view.resize(100, 100);
        QCOMPARE(view.LoadFile(QString()), 0);
        QVERIFY(!view.HasImage());
        QCOMPARE(view.LoadFile(lower), 1);
        QTRY_VERIFY(!view.IsLoading());
        QCOMPARE(view.GetWorkImage().GetWidth(), 8u);
        QCOMPARE(view.GetImageRect(), (QvRect{46, 47, 54, 53}));
        QCOMPARE(view.LoadFile(lower), 0);
        QCOMPARE(view.LoadFile(upper), 1);
        QTRY_VERIFY(!view.IsLoading());
        QCOMPARE(view.GetWorkImage().GetWidth(), 12u);
        QCOMPARE(TopDown(view.GetDisplayImage(), 0, 0), QvRgb(0, 0, 255));
        QCOMPARE(view.GetFilePath(), upper);

        // The same path again shows the file as it is now when another program changed it.
        QVERIFY(red.Save(upper, kDibFormatBmp));
        QCOMPARE(view.LoadFile(upper), 1);
        QTRY_VERIFY(!view.IsLoading());
        QCOMPARE(TopDown(view.GetDisplayImage(), 0, 0), QvRgb(255, 0, 0));
        QCOMPARE(view.LoadFile(upper), 0);
    }

    void unreadableFileLeavesNothingToDraw() {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.bmp");
        const QString bad = dir.filePath("bad.jpg");
        CDibImage picture;
        QVERIFY(MakeSolid(picture, 8, 6, QvRgb(0, 200, 0)).Save(good, kDibFormatBmp));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture at all");
        file.close();

        Probe view;
        view.resize(50, 40);
        QCOMPARE(view.LoadFile(good), 1);
        QTRY_VERIFY(!view.IsLoading());
        QCOMPARE(view.LoadFile(bad), 1);
        QTRY_VERIFY(!view.IsLoading());
        QVERIFY(!view.GetWorkImage().IsValid());
        QVERIFY(!view.GetDisplayImage().IsValid());
        view.FitToWindow();
        view.ZoomIn();
        const QImage shot = Render(view);
        QCOMPARE(shot.pixel(25, 20), qRgb(255, 255, 255));  // background only
    }

    void loadFileDetectsWhenExtensionLies() {
        QTemporaryDir dir;
        const QString path = dir.filePath("really_a_bmp.png");
        CDibImage picture;
        QVERIFY(MakeSolid(picture, 3, 2, QvRgb(10, 20, 30)).Save(path, kDibFormatBmp));
        Probe view;
        QCOMPARE(view.LoadFile(path), 1);
        QTRY_COMPARE(view.GetWorkImage().GetWidth(), 3u);
    }

    void formatFromPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<uint>("code");
        QTest::newRow("jpg") << "/p/x.jpg" << uint(kDibFormatJpeg);
        QTest::newRow("JPEG") << "/p/X.JPEG" << uint(kDibFormatJpeg);
        QTest::newRow("png") << "/p/a.b.png" << uint(kDibFormatPng);
        QTest::newRow("tif") << "/p/a.tif" << uint(kDibFormatTiff);
        QTest::newRow("Tiff") << "/p/a.Tiff" << uint(kDibFormatTiff);
        QTest::newRow("bmp") << "/p/a.bmp" << uint(kDibFormatBmp);
        QTest::newRow("no extension") << "/p/scan1" << uint(kDibFormatBmp);
        QTest::newRow("other") << "/p/a.gif" << uint(kDibFormatBmp);
        QTest::newRow("dot in folder") << "/p.jpg/scan" << uint(kDibFormatBmp);
        QTest::newRow("bare extension") << "JPG" << uint(kDibFormatJpeg);
    }
    void formatFromPath() {
        QFETCH(QString, path);
        QFETCH(uint, code);
        QCOMPARE(uint(CPicture::FormatFromPath(path)), code);
    }

    void paintsZoomedPictureUprightOnBackground_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("mode");
        QTest::newRow("white, colour") << false << 0;
        QTest::newRow("black, colour") << true << 0;
        QTest::newRow("white, grey") << false << 1;
        QTest::newRow("black, black and white") << true << 2;
    }
    void paintsZoomedPictureUprightOnBackground() {
        ConsumeRefit();
        QFETCH(bool, dark);
        QFETCH(int, mode);
        Probe view;
        view.SetDarkBackground(dark);
        view.SetColourMode(mode);
        view.SetThresholdLevel(100);
        view.SetNoMirror(true);
        Feed(view, 200, 150, 40, 30);
        view.ActualSize();
        view.ZoomIn();
        view.ZoomIn();  // 1.44 x: 57 x 43 -> (72, 54, 128, 96) after halving
        const QvRect r = view.GetImageRect();
        QCOMPARE(r, (QvRect{100 - 28, 75 - 21, 100 + 28, 75 + 21}));
        const QImage shot = Render(view);
        const QRgb background = dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        QCOMPARE(shot.pixel(5, 5), background);
        QCOMPARE(shot.pixel(r.left - 1, r.top), background);
        QCOMPARE(shot.pixel(r.right, r.bottom - 1), background);
        const CDibImage& work = view.GetWorkImage();
        // Corners and a middle pixel land where nearest-pixel scaling puts them.
        const QPoint probes[] = {{0, 0}, {39, 0}, {0, 29}, {39, 29}, {20, 15}};
        for (const QPoint& q : probes) {
            const int cx = r.left + int((q.x() + 0.5) * r.Width() / 40.0);
            const int cy = r.top + int((q.y() + 0.5) * r.Height() / 30.0);
            QCOMPARE(shot.pixel(cx, cy), ToQRgb(TopDown(work, q.x(), q.y())));
        }
    }

    void paintsStretchedOverWholeWindow() {
        ConsumeRefit();
        Probe view;
        view.SetNoMirror(true);
        Feed(view, 120, 90, 4, 3);
        const QImage shot = Render(view);
        QVERIFY(view.IsStretchToWindow());
        QCOMPARE(shot.pixel(0, 0), ToQRgb(Frame::Colour(0, 0)));
        QCOMPARE(shot.pixel(119, 0), ToQRgb(Frame::Colour(3, 0)));
        QCOMPARE(shot.pixel(0, 89), ToQRgb(Frame::Colour(0, 2)));
        QCOMPARE(shot.pixel(119, 89), ToQRgb(Frame::Colour(3, 2)));
        QCOMPARE(shot.pixel(45, 45), ToQRgb(Frame::Colour(1, 1)));
    }

    void paintsSelectionBoxAndHandles() {
        ConsumeRefit();
        Probe view;
        Feed(view, 200, 150, 200, 150);
        view.ActualSize();
        view.selectionRect = QvRect{40, 30, 140, 110};
        const QImage shot = Render(view);
        const QRgb red = qRgb(255, 0, 0);
        QCOMPARE(shot.pixel(90, 29), red);    // top edge, one pixel above
        QCOMPARE(shot.pixel(60, 30), red);    // top edge
        QCOMPARE(shot.pixel(39, 70), red);    // left edge
        QCOMPARE(shot.pixel(140, 70), red);   // right edge
        QCOMPARE(shot.pixel(100, 110), red);  // bottom edge
        QCOMPARE(shot.pixel(87, 28), red);    // handle on the top edge (cx 90, 3 px either side)
        QVERIFY(shot.pixel(60, 28) != red);   // beyond the edge's thickness
        QVERIFY(shot.pixel(60, 60) != red);   // inside stays the picture
    }

    void paintsOutlineInsteadOfBox() {
        ConsumeRefit();
        Probe view;
        Feed(view, 200, 150, 200, 150);
        view.ActualSize();
        view.selectionRect = QvRect{40, 30, 140, 110};
        view.SetOutlineMode(2);
        view.SetOutlineImagePoints(
            {QvPoint{20, 20}, QvPoint{180, 20}, QvPoint{180, 130}, QvPoint{20, 130}});
        view.OutlineToClient();
        const QImage shot = Render(view);
        QCOMPARE(shot.pixel(100, 20), qRgb(0, 255, 0));
        QCOMPARE(shot.pixel(20, 75), qRgb(0, 255, 0));
        QVERIFY(shot.pixel(60, 30) != qRgb(255, 0, 0));
    }

    void pressInsidePicturePansAndDropsBox() {
        Probe view;
        Feed(view, 400, 300, 200, 100);
        view.ActualSize();  // (100, 100, 300, 200)
        view.SetSelectionImageRect(QvRect{10, 10, 50, 50});
        view.SelectionToClient();
        QCOMPARE(view.GetSelectionRect(), (QvRect{110, 110, 150, 150}));
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(250, 180));
        QVERIFY(view.panning);
        QVERIFY(view.GetSelectionRect().IsEmpty());
        QVERIFY(view.GetSelectionImageRect().IsEmpty());
        QTest::mouseMove(&view, QPoint(270, 170));
        QCOMPARE(view.GetImageRect(), (QvRect{120, 90, 320, 190}));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(270, 170));
        QVERIFY(!view.panning);
        Hover(view, QPoint(10, 10));
        QCOMPARE(view.GetImageRect(), (QvRect{120, 90, 320, 190}));
    }

    void pressOutsidePictureDoesNothing() {
        Probe view;
        Feed(view, 400, 300, 200, 100);
        view.ActualSize();
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!view.panning && !view.drawingBox && !view.resizingEdge);
        QTest::mouseMove(&view, QPoint(60, 60));
        QCOMPARE(view.GetImageRect(), (QvRect{100, 100, 300, 200}));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(60, 60));
    }

    void armedBoxSelectIsOneShot() {
        Probe view;
        Feed(view, 400, 300, 200, 100);
        view.ActualSize();
        view.SetBoxSelectArmed(true);
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(250, 180));
        QVERIFY(view.drawingBox);
        QVERIFY(!view.IsBoxSelectArmed());
        QTest::mouseMove(&view, QPoint(130, 120));  // dragging up and left normalises the box
        QCOMPARE(view.GetSelectionRect(), (QvRect{130, 120, 250, 180}));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(130, 120));
        QVERIFY(!view.drawingBox);
        // The next press inside the picture, away from the box, pans again.
        Hover(view, QPoint(290, 110));
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(290, 110));
        QVERIFY(view.panning);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(290, 110));
    }

    void hoverGrabsEdgesAndDragResizes_data() {
        QTest::addColumn<QPoint>("hover");
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QvRect>("result");
        QTest::newRow("left") << QPoint(110, 140) << 1 << int(Qt::SizeHorCursor) << QPoint(60, 10)
                              << QvRect{60, 100, 200, 180};
        QTest::newRow("right") << QPoint(215, 150) << 2 << int(Qt::SizeHorCursor) << QPoint(260, 10)
                               << QvRect{100, 100, 260, 180};
        QTest::newRow("top") << QPoint(150, 85) << 3 << int(Qt::SizeVerCursor) << QPoint(0, 40)
                             << QvRect{100, 40, 200, 180};
        QTest::newRow("bottom") << QPoint(150, 190) << 4 << int(Qt::SizeVerCursor) << QPoint(0, 250)
                                << QvRect{100, 100, 200, 250};
        QTest::newRow("left cannot pass right") << QPoint(95, 120) << 1 << int(Qt::SizeHorCursor)
                                                << QPoint(230, 10) << QvRect{100, 100, 200, 180};
        QTest::newRow("corner: left wins") << QPoint(105, 105) << 1 << int(Qt::SizeHorCursor)
                                           << QPoint(90, 90) << QvRect{90, 100, 200, 180};
        QTest::newRow("inside, away from edges") << QPoint(150, 140) << 0 << int(Qt::ArrowCursor)
                                                 << QPoint(160, 150) << QvRect{0, 0, 0, 0};
    }
    void hoverGrabsEdgesAndDragResizes() {
        QFETCH(QPoint, hover);
        QFETCH(int, edge);
        QFETCH(int, cursor);
        QFETCH(QPoint, to);
        QFETCH(QvRect, result);
        Probe view;
        Feed(view, 400, 300, 400, 300);
        view.ActualSize();
        view.selectionRect = QvRect{100, 100, 200, 180};
        Hover(view, hover);
        QCOMPARE(view.grabbedEdge, edge);
        QCOMPARE(int(view.cursor().shape()), cursor);
        QTest::mousePress(&view, Qt::LeftButton, {}, hover);
        QCOMPARE(view.resizingEdge, edge != 0);
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
        QVERIFY(!view.resizingEdge);
        if (edge != 0) {
            QCOMPARE(view.GetSelectionRect(), result);
        } else {
            QVERIFY(view.GetSelectionRect().IsEmpty());  // the press panned instead
        }
    }

    void doubleClickTogglesFullScreen() {
        Probe view;
        view.resize(100, 100);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(50, 50));  // no main window: no-op
        FakeMainWindow window;
        SetTheMainWindow(&window);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(50, 50));
        SetTheMainWindow(nullptr);
        QCOMPARE(window.toggles, 1);
    }

    void resizeRefitsUnlessStretched() {
        ConsumeRefit();
        Probe view;
        Feed(view, 800, 600, 4000, 3000);
        view.resize(400, 300);
        QCOMPARE(view.GetZoomStep(), 15);  // stretched: no fit
        view.FitToWindow();
        QCOMPARE(view.GetZoomStep(), 1);
        view.resize(800, 600);
        QCOMPARE(view.GetZoomStep(), 5);
        QCOMPARE(view.GetImageRect(), (QvRect{77, 58, 723, 542}));
    }

    void nothingHappensWithoutPicture() {
        Probe view;
        view.resize(200, 100);
        view.SetStretchToWindow(false);
        view.ZoomIn();
        view.FitToWindow();
        view.ActualSize();
        view.SelectionToImage();
        view.SelectionToClient();
        QCOMPARE(view.GetZoomStep(), 15);
        QCOMPARE(view.GetImageRect(), QvRect{});
        const QImage shot = Render(view);
        QCOMPARE(shot.pixel(100, 50), qRgb(255, 255, 255));
        QCOMPARE(view.SetFrame(0, nullptr), 0);
        QVERIFY(!view.HasImage());
    }

private:
    static CDibImage& MakeSolid(CDibImage& image, uint32_t w, uint32_t h, QvColour c) {
        image.Create(w, h, 24, 0);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                uint8_t* p = image.GetRow(y) + 3 * x;
                p[0] = QvBlue(c);
                p[1] = QvGreen(c);
                p[2] = QvRed(c);
            }
        }
        return image;
    }

    static bool SamePicture(const CDibImage& a, const CDibImage& b) {
        if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
            a.GetBpp() != b.GetBpp()) {
            return false;
        }
        for (uint32_t y = 0; y < a.GetHeight(); ++y) {
            for (uint32_t x = 0; x < a.GetWidth(); ++x) {
                if (a.GetPixelColour(x, y) != b.GetPixelColour(x, y))
                    return false;
            }
        }
        return true;
    }
};

QTEST_MAIN(TestPictureView)
#include "test_picture_view.moc"
