// Plugging a camera in, beside starting the same camera cold, in the same run: the time from the
// plug-in (its picture file put back) to the first live frame, against the time from making the
// live item to its first frame; and the process's resident memory after 1 and after 50 unplug and
// plug cycles. Simulated document camera at 1600 x 1200 and 640 x 480.
//   hotplug_bench [rounds] [cycles]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "media/media_platform.h"
#include "resident_memory.h"
#include "view/video_item.h"

namespace {

// Runs the event loop until done() or the limit; the milliseconds it took, -1 past the limit.
double WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return -1;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return timer.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::unique_ptr<CVideoItem> StartItem(QWidget* window, int width, int height) {
    auto item = std::make_unique<CVideoItem>();
    item->DeviceSet().EnumerateVideoDevices();
    item->Open(window);
    item->DeviceSet().ChangeOutputSize(width, height);
    item->DeviceSet().RunPreview();
    return item;
}

// A frame delivered after `before` frames: the item shows a live picture again.
bool NewFrame(const CVideoItem& item, uint64_t before) {
    return item.HasImage() && item.Mailbox().Delivered() > before;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int cycles = argc > 2 ? std::max(2, atoi(argv[2])) : 50;
    QTemporaryDir dir;
    const QString page = dir.filePath("page.png");
    QImage picture(400, 560, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.save(page);
    SetSimulatedCameraOptions({{page.toStdString(), false}});
    MediaPlatformInit();
    QWidget window;
    window.resize(800, 600);
    window.show();

    std::printf("%-10s %14s %14s %8s\n", "size", "cold start ms", "plug-in ms", "ratio");
    for (const auto& [width, height] : {std::pair{1600, 1200}, std::pair{640, 480}}) {
        std::vector<double> cold, plugged;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            auto item = StartItem(&window, width, height);
            WaitFor([&] { return NewFrame(*item, 0); });
            cold.push_back(timer.nsecsElapsed() / 1e6);

            QFile::rename(page, page + ".away");
            WaitFor([&] { return item->DeviceSet().IsCameraUnplugged(); });
            const uint64_t before = item->Mailbox().Delivered();
            timer.restart();
            QFile::rename(page + ".away", page);
            WaitFor([&] { return NewFrame(*item, before); });
            plugged.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("%4dx%-5d %14.0f %14.0f %8.2f\n", width, height, Median(cold), Median(plugged),
                    Median(plugged) / Median(cold));
    }

    auto item = StartItem(&window, 1600, 1200);
    WaitFor([&] { return NewFrame(*item, 0); });
    double afterOne = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QFile::rename(page, page + ".away");
        WaitFor([&] { return item->DeviceSet().IsCameraUnplugged(); });
        const uint64_t before = item->Mailbox().Delivered();
        QFile::rename(page + ".away", page);
        WaitFor([&] { return NewFrame(*item, before); });
        if (cycle == 1)
            afterOne = ResidentMiB();
        if (cycle % 50 == 0)
            std::printf("resident memory after %d cycles: %.1f MiB\n", cycle, ResidentMiB());
    }
    std::printf("resident memory after 1 cycle: %.1f MiB\n", afterOne);
    return 0;
}
