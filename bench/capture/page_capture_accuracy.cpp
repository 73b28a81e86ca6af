// Accuracy of hands-free page capture on scripted page-turn films (tests/support/page_turn_film.h)
// at every size the simulated camera offers, at its frame rate, on the dark, bright and textured
// desks. Each film: a page lying still, the exposure drifting, pages turned by a hand (once with a
// pause halfway), the same page lifted and laid down again slightly turned, a page pushed by a few
// pixels, a hand resting beside a new page and leaving. Every frame goes through the thumb and the
// page-change detector as on the worker thread.
//
//   pages     still shots of a page not photographed yet (each must give one photo)
//   photos    photos taken
//   missed    such shots without a photo
//   dupl.     photos beyond the first of a page, or of a page already photographed
//   hand      photos taken while a hand or a page moved
//   delay     time from the page lying still to its photo (mean / longest)
//
//   ./build/bench/capture/page_capture_accuracy [--detail]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "capture/page_change_detector.h"
#include "support/page_turn_film.h"

namespace {

using namespace film;

void Script(Film& f) {
    const Pose moved{0.004 * f.Width(), -0.003 * f.Width(), 4.7};
    const Pose pushed{0.003 * f.Width(), 0.002 * f.Width(), 4};
    AddStill(f, Lying(0), 1.5, true);
    State drift = Lying(0);
    State drifted = drift;
    drifted.brightness = 20;
    f.Add(Shot{"exposure drift", 2, drift, drifted});
    AddTurn(f, 0, 1);
    AddStill(f, Lying(1), 1.5, true);
    const State relaid = AddRelay(f, 1, 2, Pose{}, moved);
    AddStill(f, relaid, 1.5, false);
    f.Add(Shot{"pushed", 0.1, relaid, Lying(1, pushed)});
    AddStill(f, Lying(1, pushed), 1.2, false);
    AddTurn(f, 1, 2, 0.7, 0.3, Pose{});
    AddStill(f, Lying(2), 1.5, true);
    AddTurn(f, 2, 3);
    const State resting = AddHandToRest(f, Lying(3));
    AddStill(f, resting, 2, true);
    AddHandLeaves(f, resting);
    AddStill(f, Lying(3), 1.5, false);
    AddTurn(f, 3, 4, 0.45);
    AddStill(f, Lying(4), 1.5, true);
}

struct Tally {
    int pages = 0, photos = 0, missed = 0, duplicated = 0, withHand = 0;
    double delaySum = 0, delayMax = 0;
    int delays = 0;
};

Tally Run(int width, int height, DeskKind desk, double fps, bool detail) {
    Film film(width, height, desk, fps);
    Script(film);
    CPageChangeDetector detector;
    std::vector<int> photosInShot(film.Shots().size(), 0);
    Tally t;
    PictureThumb thumb;
    for (int i = 0; i < film.FrameCount(); ++i) {
        MakePictureThumb(film.Frame(i), thumb);
        const double seconds = i / fps;
        if (!detector.AddFrame(thumb, int64_t(seconds * 1000)))
            continue;
        const auto [shot, progress] = film.ShotAt(i);
        const Shot& s = film.Shots()[size_t(shot)];
        ++t.photos;
        const bool still = s.name == "still";
        if (!still && (s.from.hand || s.to.hand || s.from.sheet >= 0))
            ++t.withHand;
        if (s.expectPhoto && photosInShot[size_t(shot)] == 0) {
            const double delay = seconds - film.ShotStart(shot);
            t.delaySum += delay;
            t.delayMax = std::max(t.delayMax, delay);
            ++t.delays;
        } else if (still) {
            ++t.duplicated;
        }
        ++photosInShot[size_t(shot)];
        if (detail)
            std::printf("    photo at %5.2f s in shot %2d (%s)\n", seconds, shot, s.name.c_str());
    }
    for (size_t i = 0; i < film.Shots().size(); ++i) {
        if (film.Shots()[i].expectPhoto) {
            ++t.pages;
            t.missed += photosInShot[i] == 0;
        }
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const bool detail = argc > 1 && std::strcmp(argv[1], "--detail") == 0;
    struct Size {
        int width, height;
        double fps;
    };
    const Size sizes[] = {{640, 480, 30}, {1280, 720, 30}, {1600, 1200, 30}, {2592, 1944, 15}};
    const std::pair<DeskKind, const char*> desks[] = {{DeskKind::kDarkPlain, "dark plain"},
                                                      {DeskKind::kBrightPlain, "bright plain"},
                                                      {DeskKind::kTextured, "textured"}};
    std::printf("%-10s %-13s %5s %6s %6s %5s %5s  %s\n", "size", "desk", "pages", "photos",
                "missed", "dupl.", "hand", "delay mean / longest");
    Tally all;
    for (const Size& size : sizes) {
        for (const auto& [desk, name] : desks) {
            const Tally t = Run(size.width, size.height, desk, size.fps, detail);
            std::printf("%4dx%-5d %-13s %5d %6d %6d %5d %5d  %.2f s / %.2f s\n", size.width,
                        size.height, name, t.pages, t.photos, t.missed, t.duplicated, t.withHand,
                        t.delays ? t.delaySum / t.delays : 0.0, t.delayMax);
            std::fflush(stdout);
            all.pages += t.pages;
            all.photos += t.photos;
            all.missed += t.missed;
            all.duplicated += t.duplicated;
            all.withHand += t.withHand;
            all.delaySum += t.delaySum;
            all.delays += t.delays;
            all.delayMax = std::max(all.delayMax, t.delayMax);
        }
    }
    std::printf("%-24s %5d %6d %6d %5d %5d  %.2f s / %.2f s\n", "all", all.pages, all.photos,
                all.missed, all.duplicated, all.withHand,
                all.delays ? all.delaySum / all.delays : 0.0, all.delayMax);
    return all.missed == 0 && all.duplicated == 0 && all.withHand == 0 ? 0 : 1;
}
