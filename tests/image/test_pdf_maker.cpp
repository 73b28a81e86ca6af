// Making a PDF from picture files: the page rules, and whole files checked by real readers
// (qpdf, pdfinfo, pdftoppm renders compared with the pictures they came from, pdftotext).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <random>
#include <vector>

#include "image/dib_image.h"
#include "image/pdf_maker.h"
#include "image/pdf_rules.h"

namespace {

// Runs a program; its exit status, with standard output and error in output.
int RunProgram(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// A picture of 8 x 6 blocks of random colours (greys for 8 bits, black or white for 1 bit).
CDibImage Blocks(uint32_t width, uint32_t height, uint32_t bits, uint32_t seed) {
    std::mt19937 rng(seed);
    uint8_t colours[6][8][3];
    for (auto& row : colours) {
        for (auto& c : row) {
            const uint8_t grey = bits == 1 ? uint8_t(rng() % 2 * 255) : uint8_t(rng());
            c[0] = bits == 24 ? uint8_t(rng()) : grey;
            c[1] = bits == 24 ? uint8_t(rng()) : grey;
            c[2] = grey;
        }
    }
    CDibImage colour;
    colour.Create(width, height, 24, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = colour.GetRow(height - 1 - y);
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* c = colours[y * 6 / height][x * 8 / width];
            std::copy(c, c + 3, row + 3 * x);
        }
    }
    if (bits == 8)
        colour.ToGrey();
    if (bits == 1)
        colour.Threshold(128);
    return colour;
}

// Mean colour of the picture over [x0, x1) x [y0, y1), y from the top.
Rgb MeanOf(const CDibImage& picture, int x0, int y0, int x1, int y1) {
    Rgb sum;
    const uint32_t h = picture.GetHeight();
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const QvColour c = picture.GetPixelColour(uint32_t(x), h - 1 - uint32_t(y));
            sum.r += QvRed(c), sum.g += QvGreen(c), sum.b += QvBlue(c);
        }
    }
    const double n = double(x1 - x0) * (y1 - y0);
    return {sum.r / n, sum.g / n, sum.b / n};
}

// Colour of the picture at (x, y) counted from the top.
QvColour TopDown(const CDibImage& picture, int x, int y) {
    return picture.GetPixelColour(uint32_t(x), picture.GetHeight() - 1 - uint32_t(y));
}

// The page shows the source at the placement (points from the bottom left) and white around it:
// the render is compared, as the means of an 8 x 6 grid of cells, with the source sampled at the
// same page pixels; each cell leaves out a margin where the renderer's smoothing blurs edges.
void ExpectPageShows(const CDibImage& page, QSizeF pagePoints, const PdfPlacement& at,
                     const CDibImage& source) {
    const double scale = page.GetWidth() / pagePoints.width();
    const double left = at.x * scale, top = (pagePoints.height() - at.y - at.height) * scale;
    const double w = at.width * scale, h = at.height * scale;
    const int sw = int(source.GetWidth()), sh = int(source.GetHeight());
    constexpr int kColumns = 8, kRows = 6;
    double worst = 0;
    for (int j = 0; j < kRows; ++j) {
        for (int i = 0; i < kColumns; ++i) {
            Rgb rendered, expected;
            int n = 0;
            for (int y = int(top + h * (j + 0.2) / kRows); y < int(top + h * (j + 0.8) / kRows);
                 ++y) {
                for (int x = int(left + w * (i + 0.2) / kColumns);
                     x < int(left + w * (i + 0.8) / kColumns); ++x, ++n) {
                    const QvColour r = TopDown(page, x, y);
                    const QvColour e =
                        TopDown(source, std::min(sw - 1, int((x + 0.5 - left) / w * sw)),
                                std::min(sh - 1, int((y + 0.5 - top) / h * sh)));
                    rendered.r += QvRed(r), rendered.g += QvGreen(r), rendered.b += QvBlue(r);
                    expected.r += QvRed(e), expected.g += QvGreen(e), expected.b += QvBlue(e);
                }
            }
            worst = std::max({worst, std::abs(rendered.r - expected.r) / n,
                              std::abs(rendered.g - expected.g) / n,
                              std::abs(rendered.b - expected.b) / n});
        }
    }
    EXPECT_LT(worst, 10.0) << "the page does not show its picture";
    // The margins a fitted picture leaves are blank.
    if (left >= 4) {
        const Rgb margin = MeanOf(page, 0, 0, int(left) - 2, int(page.GetHeight()));
        EXPECT_GT(std::min({margin.r, margin.g, margin.b}), 250.0);
    }
}

struct PdfFacts {
    int pages = 0;
    std::vector<QSizeF> sizes;  // points
};

PdfFacts ReadFacts(const QString& pdf) {
    QString text;
    PdfFacts facts;
    EXPECT_EQ(RunProgram("qpdf", {"--check", pdf}, &text), 0) << text.toStdString();
    EXPECT_TRUE(text.contains("No syntax or stream encoding errors found")) << text.toStdString();
    EXPECT_EQ(RunProgram("pdfinfo", {"-f", "1", "-l", "1000", pdf}, &text), 0)
        << text.toStdString();
    facts.pages = QRegularExpression("Pages: +(\\d+)").match(text).captured(1).toInt();
    const QRegularExpression size("Page +\\d+ size: +([\\d.]+) x ([\\d.]+) pts");
    for (auto it = size.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        facts.sizes.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return facts;
}

class PdfMakerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Save(const QString& name, const CDibImage& picture, uint32_t type) {
        CDibImage copy(picture);
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(copy.Save(path, type)) << copy.GetLastError();
        return path;
    }
    QString Pdf() const { return dir_.filePath("out.pdf"); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir_;
};

struct FormatCase {
    const char* path;
    uint32_t page;
    uint32_t preview;
};

TEST(PdfRules, FormatCodesFromTheExtensionAsWritten) {
    const FormatCase cases[] = {
        {"/s/a.JPG", kDibFormatJpeg, kDibFormatJpeg},
        {"/s/a.JPEG", kDibFormatJpeg, kDibFormatJpeg},
        {"/s/a.jpg", kDibFormatBmp, kDibFormatJpeg},
        {"/s/a.BMP", kDibFormatBmp, kDibFormatBmp},
        {"/s/a.PNG", kDibFormatPng, kDibFormatPng},
        {"/s/a.TIF", kDibFormatTiff, kDibFormatTiff},
        {"/s/a.TIFF", kDibFormatTiff, kDibFormatTiff},
        {"/s/a.tif", kDibFormatBmp, kDibFormatJpeg},
        {"/s/noext", kDibFormatBmp, kDibFormatJpeg},
        {"/s.PNG/a", kDibFormatBmp, kDibFormatJpeg},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(PdfPageFormatCode(c.path), c.page) << c.path;
        EXPECT_EQ(PdfPreviewFormatCode(c.path), c.preview) << c.path;
    }
}

TEST(PdfRules, PdfFileNamesAndSameFiles) {
    const std::pair<const char*, const char*> names[] = {
        {"/d/scan", "/d/scan.pdf"},         {"/d/scan.PDF", "/d/scan.PDF"},
        {"/d/scan.txt", "/d/scan.txt.pdf"}, {"/d/scan.pdf", "/d/scan.pdf"},
        {"/d.pdf/scan", "/d.pdf/scan.pdf"},
    };
    for (const auto& [chosen, expected] : names)
        EXPECT_EQ(PdfFileNameFor(chosen), QString(expected)) << chosen;

    const QStringList list = {"/p/a.jpg", "/p/b.jpg"};
    const std::pair<const char*, int> lookups[] = {
        {"/p/a.jpg", 0},  {"/p/x/../b.jpg", 1}, {"//p/./a.jpg", 0},
        {"/p/A.jpg", -1}, {"\\p\\a.jpg", -1},   {"/p/a.jpg/", 0},
    };
    for (const auto& [path, index] : lookups)
        EXPECT_EQ(IndexOfPicturePath(list, path), index) << path;
    const QString relative = QDir::current().relativeFilePath("/p/b.jpg");
    EXPECT_EQ(IndexOfPicturePath(list, relative), 1);
}

// Colour, grey and black-and-white pictures, a turned page and real grey and bilevel files:
// each page shows its own picture, in list order, on the first picture's page size.
TEST_F(PdfMakerTest, PagesShowTheirPicturesInOrder) {
    const QString data = QStringLiteral(QUORVANE_TESTDATA "/images/tiff/valid/");
    struct Page {
        QString path;
        CDibImage source;
    };
    std::vector<Page> pages;
    auto add = [&](const QString& path) {
        CDibImage source;
        ASSERT_TRUE(source.Load(path, kDibFormatUnknown)) << path.toStdString();
        pages.push_back({path, source});
    };
    add(Save("first.JPG", Blocks(1002, 750, 24, 1), kDibFormatJpeg));
    add(Save("turned.jpg", Blocks(750, 1000, 24, 2), kDibFormatJpeg));
    add(Save("grey.tif", Blocks(800, 600, 8, 3), kDibFormatTiff));
    add(Save("bw.TIF", Blocks(1000, 750, 1, 4), kDibFormatTiff));
    add(data + "miniswhite-1c-1b.tiff");
    add(data + "minisblack-1c-8b.tiff");
    QStringList paths;
    for (const Page& p : pages)
        paths << p.path;
    std::vector<CPdfMaker::Progress> steps;
    CPdfMaker::Options options;
    options.progress = [&](const CPdfMaker::Progress& p) { steps.push_back(p); };
    const CPdfMaker::Result result = CPdfMaker::Make(paths, Pdf(), options);
    ASSERT_EQ(result.outcome, CPdfMaker::Outcome::kWritten);
    EXPECT_EQ(result.pages, int(pages.size()));
    // Every page is read and then added, in list order; the file is written last.
    const int n = int(pages.size());
    ASSERT_EQ(steps.size(), size_t(2 * n + 1));
    int added = 0;
    for (const CPdfMaker::Progress& p : steps) {
        EXPECT_EQ(p.total, n);
        if (p.step == CPdfMaker::Step::kAdded) {
            EXPECT_EQ(p.page, ++added);
        }
        EXPECT_EQ(p.done, added);
    }
    EXPECT_EQ(steps.back().step, CPdfMaker::Step::kWriting);

    // Pages of the first picture's proportions are laid out as ever; the turned one (cut to
    // 744 x 1000) is fitted and centred.
    QFile file(Pdf());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("q\r\n1 0 0 1 0.00 0.00 cm\r\n959.00 0 0 720.00 0 0 cm\r\n"), 3);
    EXPECT_EQ(bytes.count("q\r\n1 0 0 1 211.66 0.00 cm\r\n535.68 0 0 720.00 0 0 cm\r\n"), 1);
    const PdfFacts facts = ReadFacts(Pdf());
    ASSERT_EQ(facts.pages, int(pages.size()));
    for (const QSizeF& size : facts.sizes)
        EXPECT_EQ(size, QSizeF(959, 720));
    ASSERT_EQ(RunProgram("pdftoppm", {"-png", "-r", "72", Pdf(), dir_.filePath("page")}), 0);
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(pages[i].path.toStdString());
        CDibImage render;
        ASSERT_TRUE(render.Load(dir_.filePath(QString("page-%1.png").arg(i + 1)), kDibFormatPng));
        // The page holds the picture cut to a width that is a multiple of 8.
        CDibImage source = pages[i].source;
        ASSERT_TRUE(source.Resample(int(PdfCutWidth(source.GetWidth())), int(source.GetHeight())));
        const PdfPlacement at =
            PdfPagePlacement(source.GetWidth(), source.GetHeight(), 1000, 750, 959, 720);
        ExpectPageShows(render, QSizeF(959, 720), at, source);
    }
}

// The page size of the first picture that loads; pictures that cannot be loaded, or that are
// narrower than 8 pixels, are left out.
TEST_F(PdfMakerTest, PageSizeFromTheFirstPictureThatLoads) {
    const QString broken = dir_.filePath("broken.jpg");
    QFile(broken).open(QIODevice::WriteOnly);
    const QString narrow = Save("narrow.png", Blocks(7, 100, 24, 5), kDibFormatPng);
    const struct {
        uint32_t width, height;
        QSizeF points;
    } cases[] = {{1000, 750, {959, 720}}, {1600, 1200, {1536, 1152}}, {2592, 1944, {2488, 1866}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const QString first = Save("first.png", Blocks(c.width, c.height, 24, 6), kDibFormatPng);
        const CPdfMaker::Result result = CPdfMaker::Make({broken, narrow, first}, Pdf());
        ASSERT_EQ(result.outcome, CPdfMaker::Outcome::kWritten);
        EXPECT_EQ(result.unreadablePaths, QStringList({broken, narrow}));
        const PdfFacts facts = ReadFacts(Pdf());
        EXPECT_EQ(facts.pages, 1);
        ASSERT_EQ(facts.sizes.size(), 1u);
        EXPECT_EQ(facts.sizes[0], c.points);
    }
}

TEST_F(PdfMakerTest, AtMost256Pages) {
    const QString picture = Save("small.jpg", Blocks(16, 12, 24, 7), kDibFormatJpeg);
    const CPdfMaker::Result result = CPdfMaker::Make(QStringList(257, picture), Pdf());
    ASSERT_EQ(result.outcome, CPdfMaker::Outcome::kWritten);
    EXPECT_EQ(result.pages, 256);
    EXPECT_EQ(result.overLimit, 1);
    EXPECT_EQ(ReadFacts(Pdf()).pages, 256);
}

// A PDF that cannot be made leaves nothing behind, not even a temporary file, and an existing
// PDF of that name as it was.
TEST_F(PdfMakerTest, FailuresLeaveNoFileAndKeepTheOldOne) {
    const QString picture = Save("page.png", Blocks(64, 48, 24, 8), kDibFormatPng);
    const QString broken = dir_.filePath("broken.png");
    QFile(broken).open(QIODevice::WriteOnly);
    QFile plain(dir_.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QFile old(Pdf());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    std::atomic<bool> cancel{true};
    const struct {
        const char* name;
        QStringList pictures;
        QString pdf;
        const std::atomic<bool>* cancel;
        CPdfMaker::Outcome outcome;
    } cases[] = {
        {"folder is a file",
         {picture},
         dir_.filePath("plain/out.pdf"),
         nullptr,
         CPdfMaker::Outcome::kCannotCreate},
        {"missing folder",
         {picture},
         dir_.filePath("gone/out.pdf"),
         nullptr,
         CPdfMaker::Outcome::kCannotCreate},
        {"no picture loads", {broken}, Pdf(), nullptr, CPdfMaker::Outcome::kNoPages},
        {"empty list", {}, Pdf(), nullptr, CPdfMaker::Outcome::kNoPages},
        {"cancelled", {picture, picture}, Pdf(), &cancel, CPdfMaker::Outcome::kCancelled},
    };
    const QStringList before = Entries();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CPdfMaker::Options options;
        options.cancel = c.cancel;
        const CPdfMaker::Result result = CPdfMaker::Make(c.pictures, c.pdf, options);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.pages, 0);
        EXPECT_EQ(Entries(), before);
        QFile kept(Pdf());
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("old contents"));
    }
}

// A line of a slanted photo is much taller than its letters: its words still reach readers with
// a space between English words and none between Chinese ones.
TEST_F(PdfMakerTest, ReadersFindTheSpacesOfATallLine) {
    CDibImage picture;
    ASSERT_TRUE(picture.Create(400, 200, 24, 0));
    const auto word = [](const char* text, int32_t left, int32_t right) {
        return PdfPictureWord{QString::fromUtf8(text), QvRect{left, 90, right, 120}};
    };
    const PdfPageText text = {
        PdfPictureLine{QvRect{20, 20, 380, 180},
                       {word("quick", 20, 100), word("brown", 108, 190), word("\u53D1", 200, 230),
                        word("\u7968", 232, 262), word("2024", 272, 330)}}};
    ASSERT_EQ(CPdfMaker::MakePage(picture, text, Pdf(), {}).outcome, CPdfMaker::Outcome::kWritten);
    QString output;
    ASSERT_EQ(RunProgram("pdftotext", {Pdf(), "-"}, &output), 0) << output.toStdString();
    EXPECT_EQ(output.simplified(), QString::fromUtf8("quick brown \u53D1\u7968 2024"));
}

}  // namespace
