// Making a PDF of 20 and of 100 photos at 1600 x 1200 and 2592 x 1944 (JPEG files as the
// program saves them: the simulated camera's page at the default quality 50), per page, beside
// two peers in the same run:
//  - the floor: the same files read, decoded and re-encoded at quality 90 with libjpeg-turbo
//    straight from and into memory, which every page needs at least;
//  - ImageMagick: `convert *.jpg out.pdf` on the same files.
// Every measurement runs in a process of its own (this program started again, or convert), so
// the wall time includes starting a process for all three alike and the peak resident memory is
// that process's own (wait4). The best of the runs is shown.
//
//   ./build/bench/pdf/bench_pdf_making [runs]
//
// ImageMagick is only needed here: `apt-get install imagemagick` (the program calls
// /usr/bin/convert). Debian's ImageMagick policy refuses to write PDF and caps the pixel cache
// far below what 100 large photos need (convert reads every picture before it writes), so the
// run gives convert a policy of its own that allows PDF and lifts the caps, through HOME and
// MAGICK_CONFIGURE_PATH (see MagickEnvironment); the system's policy is left as it is.
// Without /usr/bin/convert its column is left out. PDF_BENCH_DIR chooses the scratch folder.

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/pdf_maker.h"
#include "media/simulated_scene.h"
#include "support/child_process.h"
#include "support/photo_names.h"

namespace {

constexpr int kPhotoQuality = 50;  // the program's default JPEG quality for photos
constexpr int kPageQuality = 90;
constexpr int kCounts[] = {20, 100};
struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{1600, 1200}, {2592, 1944}};

// The simulated camera's page with fresh noise in every photo, saved as the program saves it.
bool MakePhotos(const QString& folder, Size size, int count) {
    SimulatedSceneSettings settings;
    settings.width = size.width;
    settings.height = size.height;
    SimulatedScene scene;
    scene.Configure(settings);
    std::vector<uint8_t> frame(size_t(scene.Stride()) * size.height);
    for (int i = 0; i < count; ++i) {
        scene.RenderFrame(frame.data(), uint32_t(i));
        CDibImage photo;
        photo.CreateFromPixels(frame.data(), uint32_t(size.width), uint32_t(size.height), 24,
                               uint32_t(scene.Stride()), true);
        photo.SetQuality(kPhotoQuality);
        if (!photo.Save(PhotoPath(folder, i), kDibFormatJpeg))
            return false;
    }
    return true;
}

// --- the floor, in its own process

std::vector<uint8_t> ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Decodes one JPEG into BGR rows and encodes them again at quality 90, all in memory.
size_t Recompress(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct in{};
    jpeg_error_mgr inErrors{};
    in.err = jpeg_std_error(&inErrors);
    jpeg_create_decompress(&in);
    jpeg_mem_src(&in, jpeg.data(), jpeg.size());
    jpeg_read_header(&in, TRUE);
    in.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&in);
    const size_t stride = size_t(in.output_width) * 3;
    std::vector<uint8_t> pixels(stride * in.output_height);
    while (in.output_scanline < in.output_height) {
        JSAMPROW row = pixels.data() + stride * in.output_scanline;
        jpeg_read_scanlines(&in, &row, 1);
    }
    jpeg_finish_decompress(&in);

    jpeg_compress_struct out{};
    jpeg_error_mgr outErrors{};
    out.err = jpeg_std_error(&outErrors);
    jpeg_create_compress(&out);
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    jpeg_mem_dest(&out, &encoded, &encodedSize);
    out.image_width = in.output_width;
    out.image_height = in.output_height;
    out.input_components = 3;
    out.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&out);
    jpeg_set_quality(&out, kPageQuality, TRUE);
    jpeg_start_compress(&out, TRUE);
    while (out.next_scanline < out.image_height) {
        JSAMPROW row = pixels.data() + stride * out.next_scanline;
        jpeg_write_scanlines(&out, &row, 1);
    }
    jpeg_finish_compress(&out);
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    std::free(encoded);
    return encodedSize;
}

int RunFloor(const QStringList& paths) {
    size_t total = 0;
    for (const QString& path : paths)
        total += Recompress(ReadAll(path));
    return total > 0 ? 0 : 1;
}

int RunOurs(const QStringList& paths, const QString& pdf) {
    // The writer reports each page on standard output; keep those lines out of the table.
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    return CPdfMaker::Make(paths, pdf).outcome == CPdfMaker::Outcome::kWritten ? 0 : 1;
}

// --- the driver

// A policy for convert that allows writing PDF and lifts the pixel cache's caps. ImageMagick
// takes resource limits from the first policy file it finds and coder rights from the last, so
// the same file is named both first (MAGICK_CONFIGURE_PATH) and last (HOME's .config).
std::vector<std::string> MagickEnvironment(const QString& scratch) {
    const QString home = scratch + QStringLiteral("/home");
    const QString folder = home + QStringLiteral("/.config/ImageMagick");
    QDir().mkpath(folder);
    QFile policy(folder + QStringLiteral("/policy.xml"));
    if (!policy.open(QIODevice::WriteOnly))
        return {};
    policy.write(
        "<policymap>\n"
        "  <policy domain=\"resource\" name=\"memory\" value=\"16GiB\"/>\n"
        "  <policy domain=\"resource\" name=\"map\" value=\"16GiB\"/>\n"
        "  <policy domain=\"resource\" name=\"area\" value=\"1GP\"/>\n"
        "  <policy domain=\"resource\" name=\"disk\" value=\"16GiB\"/>\n"
        "  <policy domain=\"coder\" rights=\"read|write\" pattern=\"PDF\"/>\n"
        "</policymap>\n");
    return {"HOME=" + home.toStdString(), "MAGICK_CONFIGURE_PATH=" + folder.toStdString()};
}

int Drive(const std::string& self, int runs) {
    const QByteArray chosen = qgetenv("PDF_BENCH_DIR");
    QTemporaryDir scratch(chosen.isEmpty() ? QDir::tempPath() + QStringLiteral("/pdfbench-XXXXXX")
                                           : QString::fromLocal8Bit(chosen) +
                                                 QStringLiteral("/pdfbench-XXXXXX"));
    if (!scratch.isValid())
        return 1;
    const bool magick = access("/usr/bin/convert", X_OK) == 0;
    const std::vector<std::string> magickEnvironment = MagickEnvironment(scratch.path());
    std::printf("load average at start: %s; best of %d runs\n", LoadAverage().c_str(), runs);
    std::printf("%-10s %5s | %9s %9s %9s | %7s %7s | %8s %8s %8s\n", "size", "pages", "ours ms/p",
                "floor", "magick", "ours/fl", "mg/ours", "ours MiB", "floor", "magick");
    for (const Size size : kSizes) {
        const QString folder =
            scratch.filePath(QStringLiteral("%1x%2").arg(size.width).arg(size.height));
        QDir().mkpath(folder);
        if (!MakePhotos(folder, size, kCounts[1]))
            return 1;
        for (const int count : kCounts) {
            const QStringList photos = Photos(folder, count);
            const std::string pdf = scratch.filePath(QStringLiteral("ours.pdf")).toStdString();
            std::vector<std::string> magickArgs = {"/usr/bin/convert"};
            for (const QString& p : photos)
                magickArgs.push_back(p.toStdString());
            magickArgs.push_back(scratch.filePath(QStringLiteral("magick.pdf")).toStdString());
            // The three take turns, so that a change of the machine's load meets them alike.
            ChildRun ours, floor, other;
            for (int run = 0; run < runs; ++run) {
                KeepBest(ours,
                         RunChild({self, "ours", std::to_string(count), folder.toStdString(), pdf}),
                         run == 0);
                KeepBest(floor,
                         RunChild({self, "floor", std::to_string(count), folder.toStdString()}),
                         run == 0);
                if (magick)
                    KeepBest(other, RunChild(magickArgs, magickEnvironment), run == 0);
            }
            const double perPage = 1000.0 / count;
            std::printf("%4dx%-5d %5d | %9.1f %9.1f %9.1f | %7.2f %7.2f | %8.0f %8.0f %8.0f%s\n",
                        size.width, size.height, count, ours.seconds * perPage,
                        floor.seconds * perPage, other.seconds * perPage,
                        ours.seconds / floor.seconds, other.seconds / ours.seconds, ours.peakMiB,
                        floor.peakMiB, other.peakMiB,
                        ours.ok && floor.ok && (other.ok || !magick) ? "" : "  (a run failed)");
            std::fflush(stdout);
        }
    }
    std::printf("load average at end: %s\n", LoadAverage().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "ours" && argc == 5) || (mode == "floor" && argc == 4)) {
        const QStringList photos = Photos(QString::fromLocal8Bit(argv[3]), std::atoi(argv[2]));
        return mode == "ours" ? RunOurs(photos, QString::fromLocal8Bit(argv[4])) : RunFloor(photos);
    }
    const int runs = mode.empty() ? 3 : std::max(1, std::atoi(mode.c_str()));
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 1;
    return Drive(std::string(self, size_t(length)), runs);
}
