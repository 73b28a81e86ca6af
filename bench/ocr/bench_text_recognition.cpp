// Text recognition beside the engine's own command line (`tesseract FILE stdout -l chi_sim+eng`)
// on the same picture files in the same run: pages drawn with known English and Chinese text at
// heights from 20 to 100 pixels, and an A4 sheet photographed by the simulated camera at
// 1600 x 1200 and 2592 x 1944, straightened and cut out by automatic cropping as a photo is.
//
// Each run, ours and the peer's alike, is a process of its own that loads the file, loads the
// languages and reads the page, so wall time, processor time and peak memory compare directly.
// Runs alternate between the two; the medians are reported with the character error rates.
//
//   ./bench/ocr/bench_text_recognition [runs, default 3]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "ocr/text_recogniser.h"
#include "platform/font_faces.h"
#include "support/ocr_page.h"
#include "support/photographed_sheet.h"

extern char** environ;

namespace {

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    long peakKb = 0;
    QString text;
};

struct Picture {
    QString name;
    QString path;
};

double CpuMs(const rusage& usage) {
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Reads the child's standard output to its end, then waits for it with its resource usage.
Run Collect(pid_t pid, int output, std::chrono::steady_clock::time_point started) {
    Run run;
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; (n = read(output, buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    close(output);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    run.cpuMs = CpuMs(usage);
    run.peakKb = usage.ru_maxrss;
    run.text = QString::fromUtf8(text);
    return run;
}

// Ours: a child process loads the file and reads it with a fresh recogniser.
Run RunOurs(const QString& path) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        CDibImage picture;
        picture.Load(path, kDibFormatUnknown);
        CTextRecogniser recogniser;
        const QByteArray text = recogniser.Recognise(picture).page.text.toUtf8();
        [[maybe_unused]] const ssize_t written =
            write(pipeEnds[1], text.data(), size_t(text.size()));
        _exit(0);
    }
    close(pipeEnds[1]);
    return Collect(pid, pipeEnds[0], started);
}

// The peer: the engine's command line on the same file with the same languages.
Run RunPeer(const QString& path) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string file = path.toStdString();
    std::vector<char*> argv = {const_cast<char*>("tesseract"),
                               const_cast<char*>(file.c_str()),
                               const_cast<char*>("stdout"),
                               const_cast<char*>("-l"),
                               const_cast<char*>(CTextRecogniser::kDefaultLanguages),
                               nullptr};
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "tesseract", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        std::fprintf(stderr, "tesseract could not be started\n");
        return {};
    }
    return Collect(pid, pipeEnds[0], started);
}

double Rate(const QString& text, bool chinese) {
    return CharacterErrorRate(
        NormaliseOcrText(OcrLinesOf(text, chinese), chinese),
        NormaliseOcrText(chinese ? OcrTestChinese() : OcrTestEnglish(), chinese));
}

template <typename Field>
double Median(const std::vector<Run>& runs, Field field) {
    std::vector<double> values;
    for (const Run& run : runs)
        values.push_back(double(field(run)));
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InstallFontFaces();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    std::vector<Picture> pictures;
    for (int height : {20, 28, 40, 56, 80, 100}) {
        Picture p{QStringLiteral("page, text %1 px").arg(height),
                  folder.filePath(QStringLiteral("page%1.png").arg(height))};
        RenderOcrTestPage(height).image.save(p.path);
        pictures.push_back(p);
    }
    const QImage sheet = RenderOcrTestPage(48, 1240, 1754).image;
    for (const auto& [w, h] : {std::pair{1600, 1200}, std::pair{2592, 1944}}) {
        Picture p{QStringLiteral("A4 photo %1x%2").arg(w).arg(h),
                  folder.filePath(QStringLiteral("photo%1.jpg").arg(w))};
        if (!PhotographSheet(sheet, w, h, p.path)) {
            std::fprintf(stderr, "the page was not found in the %dx%d frame\n", w, h);
            return 1;
        }
        pictures.push_back(p);
    }

    std::printf("%-22s | %-28s | %-28s | %s\n", "picture", "ours: wall/cpu ms, MB",
                "command line: wall/cpu ms, MB", "CER en/zh ours vs command line");
    for (const Picture& picture : pictures) {
        std::vector<Run> ours, peer;
        for (int i = 0; i < runs; ++i) {
            ours.push_back(RunOurs(picture.path));
            peer.push_back(RunPeer(picture.path));
        }
        const auto wall = [](const Run& r) { return r.wallMs; };
        const auto cpu = [](const Run& r) { return r.cpuMs; };
        const auto peak = [](const Run& r) { return r.peakKb; };
        std::printf(
            "%-22s | %7.0f /%7.0f, %5.0f MB | %7.0f /%7.0f, %5.0f MB | %4.1f/%4.1f %% vs "
            "%4.1f/%4.1f %%  (cpu x%.2f, wall x%.2f)\n",
            qPrintable(picture.name), Median(ours, wall), Median(ours, cpu),
            Median(ours, peak) / 1024, Median(peer, wall), Median(peer, cpu),
            Median(peer, peak) / 1024, 100 * Rate(ours[0].text, false),
            100 * Rate(ours[0].text, true), 100 * Rate(peer[0].text, false),
            100 * Rate(peer[0].text, true), Median(ours, cpu) / Median(peer, cpu),
            Median(ours, wall) / Median(peer, wall));
        std::fflush(stdout);
    }
    return 0;
}
