// The PDF writer: file layout byte for byte, page limit, messages, JPEG measuring on hostile input,
// and files checked by real PDF readers.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "image/pdf_writer.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

const fs::path kJpegDir = fs::path(QUORVANE_TESTDATA) / "images" / "jpeg";

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// A JFIF file with a baseline frame header of the given size; the writer never decodes it.
Bytes MakeJfif(uint32_t width, uint32_t height, uint8_t frameMarker = 0xC0) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F',
               0,    1,    1,    0,    0,    1,    0,   1,   0,   0};
    b.insert(b.end(), {0xFF, 0xDB, 0x00, 0x04, 0x00, 0x01});  // a short table segment
    b.insert(b.end(), {0xFF, frameMarker, 0x00, 0x11, 0x08});
    Put16(b, height);
    Put16(b, width);
    b.insert(b.end(), {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// Runs PdfFinalize and PdfWrite on the current document; empty when finalizing gives 0.
std::string FinishDocument() {
    const size_t length = PdfFinalize();
    if (length == 0) {
        PdfWrite(nullptr, nullptr);
        return {};
    }
    std::string file(length, '\0');
    size_t written = 0;
    PdfWrite(reinterpret_cast<uint8_t*>(file.data()), &written);
    EXPECT_EQ(written, length);
    return file;
}

// Adds pages while capturing what the writer prints.
std::string AddPages(const std::vector<Bytes>& jpegs) {
    testing::internal::CaptureStdout();
    for (const Bytes& jpeg : jpegs) {
        PdfAddJpeg(jpeg.data(), jpeg.size());
    }
    return testing::internal::GetCapturedStdout();
}

struct XrefTable {
    size_t xrefOffset = 0;
    uint32_t first = 0;
    uint32_t count = 0;
    std::vector<std::string> entries;
};

// Reads the table through startxref, as a reader would.
XrefTable ReadXref(const std::string& file) {
    XrefTable table;
    const size_t sx = file.rfind("startxref\r\n");
    EXPECT_NE(sx, std::string::npos);
    table.xrefOffset = std::stoul(file.substr(sx + 11));
    EXPECT_EQ(file.compare(table.xrefOffset, 6, "xref\r\n"), 0);
    size_t pos = table.xrefOffset + 6;
    const size_t lineEnd = file.find("\r\n", pos);
    std::sscanf(file.substr(pos, lineEnd - pos).c_str(), "%u %u", &table.first, &table.count);
    pos = lineEnd + 2;
    for (uint32_t i = 0; i < table.count; ++i, pos += 20) {
        table.entries.push_back(file.substr(pos, 20));
    }
    EXPECT_EQ(file.compare(pos, 9, "trailer\r\n"), 0);
    return table;
}

size_t EntryOffset(const std::string& entry) {
    return std::stoul(entry.substr(0, 10));
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

// The bytes of every image object's stream, in file order, by its /Length.
std::vector<Bytes> ImageStreams(const std::string& file) {
    std::vector<Bytes> streams;
    const std::regex header(R"(/Subtype/Image/[^>]*/Length (\d+)>>\r\nstream\r\n)");
    for (auto it = std::sregex_iterator(file.begin(), file.end(), header);
         it != std::sregex_iterator(); ++it) {
        const size_t start = it->position() + it->length();
        const size_t length = std::stoul((*it)[1]);
        streams.emplace_back(file.begin() + start, file.begin() + start + length);
        EXPECT_EQ(file.compare(start + length, 13, "\r\nendstream\r\n"), 0);
    }
    return streams;
}

// Runs a command, returning its exit status and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) {
        text.append(buffer, n);
    }
    const int status = pclose(pipe.release());
    if (output) {
        *output = text;
    }
    return WEXITSTATUS(status);
}

class PdfWriterTest : public testing::Test {
protected:
    void TearDown() override { PdfWrite(nullptr, nullptr); }
};

TEST_F(PdfWriterTest, OnePageFileLayout) {
    // 1600 x 1200 pixels as the PDF dialog passes them: 1536 x 1152 points.
    ASSERT_NE(PdfBegin(static_cast<float>(1600 / 75.0), static_cast<float>(1200 / 75.0)), nullptr);
    const Bytes jpeg = MakeJfif(1600, 1200);
    EXPECT_EQ(AddPages({jpeg}), "Adding  (1600x1200) into PDF\n");
    const std::string file = FinishDocument();
    ASSERT_FALSE(file.empty());

    // Header: the version line, then a binary comment line of printable text between FF bytes.
    ASSERT_EQ(file.compare(0, 12, "%PDF-1.3\r\n%\xFF"), 0);
    const size_t commentEnd = file.find("\xFF\r\n", 12);
    ASSERT_NE(commentEnd, std::string::npos);
    EXPECT_LE(commentEnd - 12, 48u);
    for (size_t i = 12; i < commentEnd; ++i) {
        EXPECT_TRUE(file[i] >= 0x20 && file[i] < 0x7F) << i;
    }
    const size_t headerEnd = commentEnd + 3;
    EXPECT_EQ(file.compare(headerEnd, 9, "\r\n2 0 obj"), 0);

    EXPECT_NE(file.find("\r\n2 0 obj\r\n<</Type/XObject/Subtype/Image/Filter/DCTDecode/"
                        "BitsPerComponent 8/ColorSpace/DeviceRGB/Width 1600/Height 1200/Length " +
                        std::to_string(jpeg.size()) + ">>\r\nstream\r\n"),
              std::string::npos);
    EXPECT_NE(file.find("3 0 obj\r\n<</Type/Page/Parent 1 0 R/MediaBox[0 0 1536 1152]/Contents 4 0 "
                        "R/Resources 6 0 R>>\r\nendobj\r\n"),
              std::string::npos);
    const std::string content =
        "q\r\n1 0 0 1 0.00 0.00 cm\r\n1536.00 0 0 1152.00 0 0 cm\r\n/I0 Do\r\nQ\r\n";
    ASSERT_EQ(content.size(), 64u);
    EXPECT_NE(file.find("4 0 obj\r\n<</Length 5 0 R>>stream\r\n" + content +
                        "endstream\r\nendobj\r\n5 0 obj\r\n64\r\nendobj\r\n6 0 obj\r\n<</ProcSet[/"
                        "PDF/ImageC]/XObject<</I0 2 0 R>>>>\r\nendobj\r\n7 0 obj\r\n<</Type/"
                        "Catalog/Pages 1 0 R>>\r\nendobj\r\n1 0 obj\r\n<</Type /Pages /Kids [3 0 "
                        "R] /Count 1>>\r\nendobj\r\nxref\r\n0 8\r\n"),
              std::string::npos);
    EXPECT_EQ(CountOf(file, " 0 obj\r\n"), 7);
    EXPECT_EQ(file.find("8 0 obj"), std::string::npos);

    const XrefTable xref = ReadXref(file);
    EXPECT_EQ(xref.first, 0u);
    ASSERT_EQ(xref.count, 8u);
    EXPECT_EQ(xref.entries[0], "0000000000 65535 f\r\n");
    // The image object's entry points at the CR LF two bytes before "2 0 obj".
    EXPECT_EQ(EntryOffset(xref.entries[2]), headerEnd);
    for (uint32_t i = 1; i < 8; ++i) {
        ASSERT_EQ(xref.entries[i].substr(10), " 00000 n\r\n");
        const size_t at = EntryOffset(xref.entries[i]) + (i == 2 ? 2 : 0);
        EXPECT_EQ(file.compare(at, std::to_string(i).size() + 6, std::to_string(i) + " 0 obj"), 0)
            << "object " << i;
    }
    EXPECT_EQ(file.substr(file.find("trailer")),
              "trailer\r\n<</Root 7 0 R /Size 8>>\r\nstartxref\r\n" +
                  std::to_string(xref.xrefOffset) + "\r\n%%EOF\r\n");
    EXPECT_EQ(ImageStreams(file), std::vector<Bytes>{jpeg});
}

TEST_F(PdfWriterTest, SecondPageTakesTheFirstPagesSize) {
    ASSERT_NE(PdfBegin(2.5, 1.999), nullptr);  // 180 x 143 points (truncated)
    AddPages({MakeJfif(100, 80), MakeJfif(30, 300)});
    const std::string file = FinishDocument();
    EXPECT_EQ(CountOf(file, "/MediaBox[0 0 180 143]"), 2);
    EXPECT_NE(file.find("/Width 30/Height 300/"), std::string::npos);
    EXPECT_NE(file.find("/I1 Do"), std::string::npos);
    EXPECT_NE(file.find("<</I1 7 0 R>>"), std::string::npos);
    EXPECT_NE(file.find("12 0 obj\r\n<</Type/Catalog/Pages 1 0 R>>"), std::string::npos);
    EXPECT_NE(file.find("<</Type /Pages /Kids [3 0 R 8 0 R] /Count 2>>"), std::string::npos);
    EXPECT_NE(file.find("<</Root 12 0 R /Size 13>>"), std::string::npos);
    const XrefTable xref = ReadXref(file);
    ASSERT_EQ(xref.count, 13u);
    EXPECT_EQ(file.compare(EntryOffset(xref.entries[7]), 9, "\r\n7 0 obj"), 0);
    EXPECT_EQ(file.compare(EntryOffset(xref.entries[12]), 8, "12 0 obj"), 0);
}

TEST_F(PdfWriterTest, PageLimit) {
    ASSERT_NE(PdfBegin(1, 1), nullptr);
    const Bytes jpeg = MakeJfif(8, 8);
    const std::vector<Bytes> pages(kPdfMaxPages, jpeg);
    const std::string accepted = AddPages(pages);
    EXPECT_EQ(CountOf(accepted, "Adding  (8x8) into PDF\n"), 256);
    EXPECT_EQ(accepted.find("Skipped"), std::string::npos);
    EXPECT_EQ(AddPages({jpeg, jpeg}),
              "Adding  (8x8) into PDF\nAdd JPEG into PDF Skipped. Reason: Reached Max Page Number "
              "(256) in single PDF.\nAdding  (8x8) into PDF\nAdd JPEG into PDF Skipped. Reason: "
              "Reached Max Page Number (256) in single PDF.\n");
    const std::string file = FinishDocument();
    const XrefTable xref = ReadXref(file);
    EXPECT_EQ(xref.count, 1283u);
    EXPECT_NE(file.find("/Count 256>>"), std::string::npos);
    EXPECT_NE(file.find("<</Root 1282 0 R /Size 1283>>"), std::string::npos);
    EXPECT_NE(file.find("/Kids [3 0 R 8 0 R "), std::string::npos);
    EXPECT_NE(file.find(" 1278 0 R] /Count"), std::string::npos);
    for (uint32_t i = 1; i < xref.count; ++i) {
        const std::string name = std::to_string(i) + " 0 obj";
        const size_t at =
            EntryOffset(xref.entries[i]) + (i >= 2 && i < 1282 && (i - 2) % 5 == 0 ? 2 : 0);
        ASSERT_EQ(file.compare(at, name.size(), name), 0) << "object " << i;
    }
}

TEST_F(PdfWriterTest, SkipsWhatItCannotMeasure) {
    ASSERT_NE(PdfBegin(1, 1), nullptr);
    const Bytes exif = ReadFile(kJpegDir / "valid" / "pil_sample_cmyk.jpg");  // APP1 first
    ASSERT_FALSE(exif.empty());
    const std::string warning = "Warning: Can't obtain image dimension from Skipped.\n";
    EXPECT_EQ(AddPages({exif, MakeJfif(8, 8, 0xC2), MakeJfif(0, 8), Bytes{}}),
              warning + warning + warning + warning);
    EXPECT_EQ(PdfFinalize(), 0u);  // nothing was added
}

TEST_F(PdfWriterTest, PageOperationsWithoutDocumentAreHarmless) {
    ASSERT_NE(PdfBegin(1, 1), nullptr);
    AddPages({MakeJfif(8, 8)});
    ASSERT_FALSE(FinishDocument().empty());
    EXPECT_EQ(PdfCurrentDocument(), nullptr);
    EXPECT_EQ(AddPages({MakeJfif(8, 8)}), "Adding  (8x8) into PDF\n");
    EXPECT_EQ(PdfFinalize(), 0u);
    size_t length = 99;
    uint8_t buffer[16] = {};
    PdfWrite(buffer, &length);
    EXPECT_EQ(length, 0u);

    // A new document starts clean, with no page of the previous one.
    ASSERT_NE(PdfBegin(1, 1), nullptr);
    AddPages({MakeJfif(9, 9)});
    EXPECT_EQ(CountOf(FinishDocument(), "/Type/Page/"), 1);
}

TEST_F(PdfWriterTest, FinalizingTwiceGivesTheSameFile) {
    ASSERT_NE(PdfBegin(1, 1), nullptr);
    AddPages({MakeJfif(8, 8)});
    const size_t length = PdfFinalize();
    EXPECT_EQ(PdfFinalize(), length);
    EXPECT_EQ(FinishDocument().size(), length);
}

TEST(JpegGetSize, ReadsBaselineJfifFramesOnly) {
    struct Case {
        Bytes data;
        int found;
        uint32_t width, height;
    };
    Bytes fill = MakeJfif(40, 30);
    fill.insert(fill.begin() + 20, 0xFF);  // a fill byte before a marker is not a marker
    Bytes zeroLength = MakeJfif(40, 30);
    zeroLength[23] = 0x00;  // table segment length 0
    Bytes oneLength = MakeJfif(40, 30);
    oneLength[23] = 0x01;
    Bytes noNull = MakeJfif(40, 30);
    noNull[10] = 'x';
    const Case cases[] = {
        {MakeJfif(40, 30), 1, 40, 30},
        {MakeJfif(65535, 1), 1, 65535, 1},
        {MakeJfif(40, 30, 0xC1), 0, 0, 0},
        {MakeJfif(40, 30, 0xC2), 0, 0, 0},
        {MakeJfif(0, 30), 0, 0, 0},
        {fill, 0, 0, 0},
        {zeroLength, 0, 0, 0},
        {oneLength, 0, 0, 0},
        {noNull, 0, 0, 0},
        {Bytes{0xFF, 0xD8}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t w = 7, h = 7;
        EXPECT_EQ(JpegGetSize(c.data.size(), c.data.data(), w, h), c.found);
        if (c.found) {
            EXPECT_EQ(w, c.width);
            EXPECT_EQ(h, c.height);
        }
    }
    uint32_t w = 0, h = 0;
    EXPECT_EQ(JpegGetSize(100, nullptr, w, h), 0);
}

// Every prefix of every corpus file, each in a buffer of exactly its length, so that the
// sanitizer build catches any read past the end; a prefix either finds the full file's size
// or nothing.
TEST(JpegGetSize, NeverReadsPastTheBuffer) {
    for (const char* folder : {"valid", "invalid"}) {
        for (const auto& entry : fs::directory_iterator(kJpegDir / folder)) {
            const Bytes data = ReadFile(entry.path());
            uint32_t fullW = 0, fullH = 0;
            const int full = JpegGetSize(data.size(), data.data(), fullW, fullH);
            const size_t limit = std::min<size_t>(data.size(), 4096);
            for (size_t n = 0; n <= limit; ++n) {
                auto prefix = std::make_unique<uint8_t[]>(n);
                std::copy_n(data.begin(), n, prefix.get());
                uint32_t w = 0, h = 0;
                if (JpegGetSize(n, prefix.get(), w, h)) {
                    ASSERT_EQ(full, 1) << entry.path() << " prefix " << n;
                    ASSERT_EQ(w, fullW);
                    ASSERT_EQ(h, fullH);
                }
            }
        }
    }
}

struct CorpusPage {
    std::string name;
    uint32_t width;
    uint32_t height;
};

// Which corpus files the writer accepts: JFIF files with a baseline frame, measured
// independently of the writer.
const std::vector<CorpusPage> kAccepted = {
    {"exif-72dpi-int.jpg", 500, 450},
    {"extraneous-data.jpg", 16, 16},
    {"flower.jpg", 480, 360},
    {"grayscale_long.jpg", 1, 1000},
    {"hopper.jpg", 128, 128},
    {"hopper_gray.jpg", 128, 128},
    {"hopper_orientation_3.jpg", 128, 128},
    {"hopper_orientation_6.jpg", 128, 128},
    {"jfif_unit_cm.jpg", 1, 1},
    {"jpg-cmyk-1.jpg", 32, 32},
    {"jpg-size-1x1.jpg", 1, 1},
    {"jpg-size-33x33.jpg", 33, 33},
    {"multiple-0xff-before-eoi.jpg", 640, 480},
    {"restarts.jpg", 33, 33},
    {"testorig.jpg", 227, 149},
};

TEST(PdfWriterCorpus, AcceptsExactlyTheBaselineJfifFiles) {
    std::map<std::string, CorpusPage> expected;
    for (const CorpusPage& page : kAccepted) {
        expected[page.name] = page;
    }
    for (const auto& entry : fs::directory_iterator(kJpegDir / "valid")) {
        const Bytes data = ReadFile(entry.path());
        uint32_t w = 0, h = 0;
        const int found = JpegGetSize(data.size(), data.data(), w, h);
        const auto it = expected.find(entry.path().filename().string());
        if (it == expected.end()) {
            EXPECT_EQ(found, 0) << entry.path();
        } else {
            EXPECT_EQ(found, 1) << entry.path();
            EXPECT_EQ(w, it->second.width) << entry.path();
            EXPECT_EQ(h, it->second.height) << entry.path();
        }
    }
}

// A PDF of every accepted corpus picture, checked by qpdf and rendered by poppler; the image
// streams read back from the file are the input files byte for byte.
TEST(PdfWriterCorpus, RealReadersAcceptTheFile) {
    ASSERT_NE(PdfBegin(static_cast<float>(480 / 75.0), static_cast<float>(360 / 75.0)), nullptr);
    std::vector<Bytes> inputs;
    for (const auto& entry : fs::directory_iterator(kJpegDir / "valid")) {
        inputs.push_back(ReadFile(entry.path()));
    }
    std::sort(inputs.begin(), inputs.end());
    AddPages(inputs);
    const std::string file = FinishDocument();
    ASSERT_FALSE(file.empty());

    std::vector<Bytes> accepted;
    for (const Bytes& input : inputs) {
        uint32_t w, h;
        if (JpegGetSize(input.size(), input.data(), w, h)) {
            accepted.push_back(input);
        }
    }
    ASSERT_EQ(accepted.size(), kAccepted.size());
    EXPECT_EQ(ImageStreams(file), accepted);

    const fs::path dir =
        fs::temp_directory_path() / ("pdf_writer_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path pdf = dir / "corpus.pdf";
    std::ofstream(pdf, std::ios::binary)
        .write(file.data(), static_cast<std::streamsize>(file.size()));

    std::string output;
    EXPECT_EQ(RunCommand("qpdf --check " + pdf.string(), &output), 0) << output;
    EXPECT_NE(output.find("No syntax or stream encoding errors found"), std::string::npos)
        << output;

    ASSERT_EQ(RunCommand("pdfinfo " + pdf.string(), &output), 0) << output;
    EXPECT_TRUE(
        std::regex_search(output, std::regex("Pages: +" + std::to_string(accepted.size()) + "\n")))
        << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("Page size: +460 x 345 pts"))) << output;

    // At 72 dots per inch a point is a pixel.
    ASSERT_EQ(RunCommand("pdftoppm -r 72 " + pdf.string() + " " + (dir / "page").string(), &output),
              0)
        << output;
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    size_t rendered = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".ppm") {
            continue;
        }
        ++rendered;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string magic;
        uint32_t w = 0, h = 0;
        in >> magic >> w >> h;
        EXPECT_EQ(magic, "P6");
        EXPECT_EQ(w, 460u) << entry.path();
        EXPECT_EQ(h, 345u) << entry.path();
    }
    EXPECT_EQ(rendered, accepted.size());
    fs::remove_all(dir);
}

// Words laid over a real picture in invisible text: qpdf accepts the file, the font is embedded
// and maps to Unicode, pdftotext finds each word (English, Chinese, a character beyond the basic
// plane) at its box, and the page renders exactly as it does without them. Words with nothing to
// draw give the image-only page byte for byte, without a font.
TEST(PdfWriterText, InvisibleWordsLieAtTheirBoxes) {
    const Bytes jpeg = ReadFile(kJpegDir / "valid" / "flower.jpg");  // 480 x 360
    const PdfPlacement page{0, 0, 480, 360};
    const auto make = [&](const std::vector<PdfTextWord>& words) {
        EXPECT_NE(PdfBegin(480 / 72.0, 360 / 72.0), nullptr);
        PdfSetMessageStream(nullptr);
        PdfAddJpegWithText(jpeg.data(), jpeg.size(), page, words);
        PdfAddJpegWithText(jpeg.data(), jpeg.size(), page, words);
        PdfSetMessageStream(stdout);
        return FinishDocument();
    };
    const std::vector<PdfTextWord> words = {{U"Invoice", 40, 300, 120, 24},
                                            {U"2024-117", 175, 300, 110, 24},
                                            {U"\u53D1\u7968", 40, 200, 60, 30},
                                            {U"\U00020000\u5B57", 120, 200, 60, 30}};
    const std::string plain = make({});
    EXPECT_EQ(make({{U"\t\n", 10, 10, 50, 20}, {U"x", 10, 10, 0, 20}}), plain);
    EXPECT_EQ(plain.find("/Font"), std::string::npos);
    const std::string text = make(words);
    EXPECT_EQ(CountOf(text, "/Subtype/Type0"), 1);  // one font for the document
    EXPECT_EQ(CountOf(text, "/Contents [4 0 R 7 0 R]/"), 1);

    const fs::path dir = fs::temp_directory_path() / ("pdf_text_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto save = [&](const std::string& name, const std::string& file) {
        std::ofstream(dir / name, std::ios::binary)
            .write(file.data(), static_cast<std::streamsize>(file.size()));
        return (dir / name).string();
    };
    const std::string textPdf = save("text.pdf", text), plainPdf = save("plain.pdf", plain);
    std::string output;
    EXPECT_EQ(RunCommand("qpdf --check " + textPdf, &output), 0) << output;
    EXPECT_NE(output.find("No syntax or stream encoding errors found"), std::string::npos);
    ASSERT_EQ(RunCommand("pdffonts " + textPdf, &output), 0) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("CID TrueType +Identity-H +yes +no +yes")))
        << output;
    EXPECT_EQ(CountOf(output, "\n"), 3) << output;  // the heading, its rule and one font

    ASSERT_EQ(RunCommand("pdftotext -f 2 -l 2 -bbox " + textPdf + " -", &output), 0) << output;
    const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::map<std::string, std::vector<double>> boxes;
    for (auto it = std::sregex_iterator(output.begin(), output.end(), word);
         it != std::sregex_iterator(); ++it) {
        boxes[(*it)[5]] = {std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                           std::stod((*it)[4])};
    }
    const std::map<std::string, std::vector<double>> expected = {
        {"Invoice", {40, 36, 160, 60}},
        {"2024-117", {175, 36, 285, 60}},
        {"\u53D1\u7968", {40, 130, 100, 160}},
        {"\U00020000\u5B57", {120, 130, 180, 160}}};
    ASSERT_EQ(boxes.size(), expected.size()) << output;
    for (const auto& [name, box] : expected) {
        ASSERT_EQ(boxes.count(name), 1u) << name << "\n" << output;
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(boxes[name][i], box[i], 1.0) << name << " edge " << i;
    }
    ASSERT_EQ(RunCommand("pdftoppm -r 72 " + textPdf + " " + (dir / "text").string(), &output), 0);
    EXPECT_TRUE(output.empty()) << output;
    ASSERT_EQ(RunCommand("pdftoppm -r 72 " + plainPdf + " " + (dir / "plain").string(), &output),
              0);
    for (const char* n : {"-1.ppm", "-2.ppm"})
        EXPECT_EQ(ReadFile(dir / ("text" + std::string(n))),
                  ReadFile(dir / ("plain" + std::string(n))));
    fs::remove_all(dir);
}

}  // namespace
