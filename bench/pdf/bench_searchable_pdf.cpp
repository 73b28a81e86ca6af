// Searchable PDF making per page, at 1600 x 1200 and 2592 x 1944, for a document of 1 and of 10
// pages: an A4 sheet of known English and Chinese text photographed by the simulated camera with
// automatic cropping (fresh sensor noise in every photo), beside in the same run:
//  - the floor: recognition alone (the same text reader, one page after another, on one thread)
//    plus image-only PDF making, each measured on its own;
//  - the peer: the engine's command line writing a PDF with the same languages
//    (`tesseract LIST OUT -l chi_sim+eng pdf`), as installed, and again with its OpenMP threads
//    limited to one (OMP_THREAD_LIMIT=1), since on a busy machine they slow it down.
// Each measurement runs in a process of its own (this program started again, or the command
// line), so wall time includes starting a process and loading the languages for all alike; the
// best of the runs is shown. Processor time is shown too: on a machine busy with other work the
// wall times say more about the load than about the programs. Also: the file size beside the
// image-only PDF and the peer's, and the character error rates of the text pdftotext extracts from
// ours and from the peer's.
//
//   ./build/bench/pdf/bench_searchable_pdf [runs, default 3]
//   ./build/bench/pdf/bench_searchable_pdf photos FOLDER    (only the photos, to try by hand)

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/pdf_maker.h"
#include "image/pdf_writer.h"
#include "ocr/ocr_pdf_text_reader.h"
#include "ocr/text_recogniser.h"
#include "platform/font_faces.h"
#include "support/child_process.h"
#include "support/ocr_page.h"
#include "support/photo_names.h"
#include "support/photographed_sheet.h"

namespace {

constexpr int kPageCounts[] = {1, 10};
struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{1600, 1200}, {2592, 1944}};

// --- the measured runs, each in a process of its own

int MakePdf(const QStringList& photos, const QString& pdf, bool searchable) {
    PdfSetMessageStream(nullptr);
    CPdfMaker::Options options;
    if (searchable)
        options.textReaders = COcrPdfTextReader::Readers();
    return CPdfMaker::Make(photos, pdf, options).outcome == CPdfMaker::Outcome::kWritten ? 0 : 1;
}

int RecogniseAlone(const QStringList& photos) {
    COcrPdfTextReader reader(std::make_shared<CTextRecogniser>());
    for (const QString& path : photos) {
        CDibImage picture;
        PdfPageText text;
        QString error;
        if (!picture.Load(path, kDibFormatUnknown) || !reader.Read(picture, nullptr, text, error))
            return 1;
    }
    return 0;
}

qint64 FileSize(const QString& path) {
    return QFileInfo(path).size();
}

// English and Chinese character error rates of the text pdftotext finds in a PDF's first page.
std::pair<double, double> Accuracy(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {"-f", "1", "-l", "1", pdf, "-"});
    process.waitForFinished(60000);
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    const auto rate = [&](bool chinese) {
        return 100 * CharacterErrorRate(
                         NormaliseOcrText(OcrLinesOf(text, chinese), chinese),
                         NormaliseOcrText(chinese ? OcrTestChinese() : OcrTestEnglish(), chinese));
    };
    return {rate(false), rate(true)};
}

// The photos of every size, in a folder per size under folder; false when one failed.
bool MakePhotos(const QString& folder) {
    const QImage sheet = RenderOcrTestPage(48, 1240, 1754).image;
    for (const Size size : kSizes) {
        const QString sized =
            QStringLiteral("%1/%2x%3").arg(folder).arg(size.width).arg(size.height);
        QDir().mkpath(sized);
        for (int i = 0; i < kPageCounts[1]; ++i) {
            if (!PhotographSheet(sheet, size.width, size.height, PhotoPath(sized, i),
                                 uint32_t(i + 1))) {
                std::fprintf(stderr, "the sheet was not found in the %dx%d frame\n", size.width,
                             size.height);
                return false;
            }
        }
    }
    return true;
}

int Drive(const std::string& self, int runs) {
    QTemporaryDir scratch;
    if (!scratch.isValid() || !MakePhotos(scratch.path()))
        return 1;
    std::printf("load average at start: %s; best of %d runs; seconds per page\n",
                LoadAverage().c_str(), runs);
    std::printf("%-10s %5s | %7s %7s %7s %7s | %7s %7s %7s | %6s %6s | %5s %5s | %11s %11s\n",
                "size", "pages", "ours", "floor", "peer", "peer/1", "ours/fl", "peer/us",
                "peer1/us", "KiB/p", "image", "size", "peer", "CER ours", "CER peer");
    for (const Size size : kSizes) {
        const QString folder =
            scratch.filePath(QStringLiteral("%1x%2").arg(size.width).arg(size.height));
        for (const int count : kPageCounts) {
            const std::string n = std::to_string(count), dir = folder.toStdString();
            const QString list = scratch.filePath(QStringLiteral("list.txt"));
            QFile listFile(list);
            if (!listFile.open(QIODevice::WriteOnly))
                return 1;
            listFile.write((Photos(folder, count).join('\n') + '\n').toUtf8());
            listFile.close();
            const QString ours = scratch.filePath(QStringLiteral("ours.pdf"));
            const QString image = scratch.filePath(QStringLiteral("image.pdf"));
            const QString peer = scratch.filePath(QStringLiteral("peer"));
            const std::vector<std::string> peerArgs = {"tesseract",
                                                       list.toStdString(),
                                                       peer.toStdString(),
                                                       "-l",
                                                       CTextRecogniser::kDefaultLanguages,
                                                       "pdf"};
            ChildRun searchable, plain, alone, other, otherOne;
            for (int run = 0; run < runs; ++run) {
                const bool first = run == 0;
                KeepBest(searchable, RunChild({self, "searchable", n, dir, ours.toStdString()}),
                         first);
                KeepBest(plain, RunChild({self, "plain", n, dir, image.toStdString()}), first);
                KeepBest(alone, RunChild({self, "recognise", n, dir}), first);
                KeepBest(other, RunChild(peerArgs, {}, true), first);
                KeepBest(otherOne, RunChild(peerArgs, {"OMP_THREAD_LIMIT=1"}, true), first);
            }
            const double floor = alone.seconds + plain.seconds;
            const auto [oursEn, oursZh] = Accuracy(ours);
            const auto [peerEn, peerZh] = Accuracy(peer + QStringLiteral(".pdf"));
            std::printf(
                "%4dx%-5d %5d | %7.2f %7.2f %7.2f %7.2f | %7.2f %7.2f %7.2f | %6.0f %6.0f | "
                "%5.3f %5.2f | %4.1f/%4.1f%% %4.1f/%4.1f%%%s\n",
                size.width, size.height, count, searchable.seconds / count, floor / count,
                other.seconds / count, otherOne.seconds / count, searchable.seconds / floor,
                other.seconds / searchable.seconds, otherOne.seconds / searchable.seconds,
                FileSize(ours) / 1024.0 / count, FileSize(image) / 1024.0 / count,
                double(FileSize(ours)) / double(FileSize(image)),
                double(FileSize(peer + QStringLiteral(".pdf"))) / double(FileSize(ours)), oursEn,
                oursZh, peerEn, peerZh,
                searchable.ok && plain.ok && alone.ok && other.ok && otherOne.ok
                    ? ""
                    : "  (a run failed)");
            const double floorCpu = alone.cpuSeconds + plain.cpuSeconds;
            std::printf(
                "%17s cpu s/page: ours %.2f, floor %.2f (x%.2f), peer %.2f, peer/1 %.2f; peak MiB: "
                "ours %.0f, image-only %.0f, recognition %.0f, peer %.0f\n",
                "", searchable.cpuSeconds / count, floorCpu / count,
                searchable.cpuSeconds / floorCpu, other.cpuSeconds / count,
                otherOne.cpuSeconds / count, searchable.peakMiB, plain.peakMiB, alone.peakMiB,
                other.peakMiB);
            std::fflush(stdout);
        }
    }
    std::printf("load average at end: %s\n", LoadAverage().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc >= 4 && (mode == "searchable" || mode == "plain" || mode == "recognise")) {
        const QStringList photos = Photos(QString::fromLocal8Bit(argv[3]), std::atoi(argv[2]));
        if (mode == "recognise")
            return RecogniseAlone(photos);
        return argc == 5 ? MakePdf(photos, QString::fromLocal8Bit(argv[4]), mode == "searchable")
                         : 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InstallFontFaces();
    if (mode == "photos" && argc == 3)
        return MakePhotos(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    const int runs = mode.empty() ? 3 : std::max(1, std::atoi(mode.c_str()));
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 1;
    return Drive(std::string(self, size_t(length)), runs);
}
