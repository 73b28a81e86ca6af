// Opening a picture in the picture item as the user does: the time until its first pixels are
// shown (a big picture fills in while it is read), the time until the view has read all it
// reads (a picture of a camera's size is read whole after its reduced copy), and the process's
// peak memory, for a 2592 x 1944
// JPEG (a camera photo), a 20000 x 20000 PNG and a 10000 x 10000 TIFF. Peer in the same run:
// the same file decoded whole with the same library (CDibImage::Load), which is what opening a
// picture cost before. Each case runs in a child process of its own, so that each peak memory
// is its own; both kinds start the same offscreen application first.
//
//   ./build/bench/picture/bench_open_picture [folder for the pictures, kept between runs]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "support/big_picture.h"
#include "view/picture_item.h"

namespace {

struct Picture {
    const char* name;
    uint32_t width;
    uint32_t height;
};
constexpr Picture kPictures[] = {
    {"photo.jpg", 2592, 1944}, {"big.png", 20000, 20000}, {"big.tif", 10000, 10000}};

bool MakePicture(const QString& path, const Picture& p) {
    if (QFileInfo::exists(path))
        return true;
    if (path.endsWith(u".png"))
        return big_picture::WritePng(path, p.width, p.height, 3);
    if (path.endsWith(u".tif"))
        return big_picture::WriteTiff(path, p.width, p.height);
    CDibImage photo;
    photo.Create(p.width, p.height, 24, kDibFormatJpeg);
    std::vector<uint8_t> row(size_t(p.width) * 3);
    for (uint32_t y = 0; y < p.height; ++y) {
        big_picture::FillRow(row, y, 3);
        std::copy(row.begin(), row.end(), photo.GetRow(p.height - 1 - y));
    }
    return photo.Save(path, kDibFormatJpeg);
}

void PumpUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The child: opens the file, prints "first-pixels all-read ok" (milliseconds).
int OpenInView(const QString& path) {
    CPicItem item;
    item.resize(747, 445);  // the work region of the main window
    item.show();
    QElapsedTimer clock;
    clock.start();
    item.LoadFile(path);
    item.FitToWindow();
    PumpUntil([&] { return item.IsShowingReduced() || item.GetWorkImage().IsValid(); });
    const QImage shown = item.grab().toImage();  // paints the first pixels
    const qint64 first = clock.elapsed();
    PumpUntil([&] { return !item.IsLoading(); });
    std::printf("%lld %lld %d\n", first, clock.elapsed(), shown.isNull() ? 0 : 1);
    return 0;
}

int DecodeWhole(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    CDibImage picture;
    const bool ok = picture.Load(path, CPicture::FormatFromPath(path));
    const qint64 time = clock.elapsed();
    std::printf("%lld %lld %d\n", time, time, ok ? 1 : 0);
    return 0;
}

struct Outcome {
    double first = 0, idle = 0, peakMb = 0;
};

Outcome RunChild(const char* self, const char* kind, const QString& path) {
    int out[2];
    Outcome o;
    if (pipe(out) != 0)
        return o;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(self, self, kind, QFile::encodeName(path).constData(), nullptr);
        _exit(127);
    }
    close(out[1]);
    char text[128] = {};
    const ssize_t n = read(out[0], text, sizeof text - 1);
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    long long first = 0, idle = 0;
    int ok = 0;
    if (n > 0 && std::sscanf(text, "%lld %lld %d", &first, &idle, &ok) == 3 && ok) {
        o.first = double(first);
        o.idle = double(idle);
        o.peakMb = double(usage.ru_maxrss) / 1024.0;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3) {
        QApplication app(argc, argv);
        const QString path = QFile::decodeName(argv[2]);
        return QByteArray(argv[1]) == "view" ? OpenInView(path) : DecodeWhole(path);
    }
    QTemporaryDir temporary;
    const QString folder = argc == 2 ? QFile::decodeName(argv[1]) : temporary.path();
    QDir().mkpath(folder);
    std::printf("%-10s %-16s %12s %12s %10s\n", "picture", "opened by", "first ms", "all ms",
                "peak MB");
    for (const Picture& p : kPictures) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(p.name));
        if (!MakePicture(path, p)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        for (const char* kind : {"view", "whole"}) {
            const Outcome o = RunChild(argv[0], kind, path);
            std::printf("%-10s %-16s %12.0f %12.0f %10.0f\n", p.name,
                        kind == std::string_view("view") ? "picture view" : "whole decode", o.first,
                        o.idle, o.peakMb);
        }
    }
    return 0;
}
