// The first save of a run into a folder also looks for the temporary files a crash left there.
// This times that first save into folders of 1,000 and 10,000 photos beside a later save into
// the same folder (no look) and a plain listing of the folder with readdir, the floor of any
// look. Each round uses new folders, as only the first save into a folder looks. Run from the
// build folder; FIRST_SAVE_BENCH_DIR chooses where the folders go (the temporary folder by
// default).
//
//   ./bench/platform/first_save_bench

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/atomic_save.h"

namespace {

constexpr int kRounds = 7;

bool WriteSmallFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("photo") == 5;
}

void MakePhotos(const QString& folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        WriteSmallFile(folder + QStringLiteral("/Image%1.jpg").arg(i));
    }
}

double Microseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1000.0;
}

double TimeSave(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    SaveAtomically(path, WriteSmallFile, nullptr);
    return Microseconds(timer);
}

double TimeListing(const QString& folder) {
    QElapsedTimer timer;
    timer.start();
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    int entries = 0;
    while (::readdir(dir) != nullptr) {
        ++entries;
    }
    ::closedir(dir);
    return entries > 0 ? Microseconds(timer) : 0.0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    const QString base = qEnvironmentVariable("FIRST_SAVE_BENCH_DIR", QDir::tempPath());
    QTemporaryDir root(base + QStringLiteral("/first_save_XXXXXX"));
    std::printf("%8s %14s %14s %14s  (median of %d, microseconds)\n", "photos", "first save",
                "later save", "readdir", kRounds);
    for (int count : {1000, 10000}) {
        std::vector<double> first, later, listing;
        for (int round = 0; round < kRounds; ++round) {
            const QString folder = root.filePath(QStringLiteral("%1-%2").arg(count).arg(round));
            MakePhotos(folder, count);
            ::sync();  // else the first save's flush also commits the making of the folder
            listing.push_back(TimeListing(folder));
            first.push_back(TimeSave(folder + QStringLiteral("/new-a.jpg")));
            later.push_back(TimeSave(folder + QStringLiteral("/new-b.jpg")));
        }
        std::printf("%8d %14.0f %14.0f %14.0f\n", count, Median(first), Median(later),
                    Median(listing));
    }
    return 0;
}
