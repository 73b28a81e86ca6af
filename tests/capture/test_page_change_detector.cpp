// The page-change detector on scripted films of the simulated camera's desk: a photo for each
// page that comes to lie still, within a second, and none while anything moves or for the same
// page again.

#include "capture/page_change_detector.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/page_turn_film.h"

namespace {

using namespace film;

struct FilmCase {
    const char* name;
    std::function<void(Film&)> script;
};

void PrintTo(const FilmCase& c, std::ostream* os) {
    *os << c.name;
}

class PagePhotos : public ::testing::TestWithParam<FilmCase> {};

TEST_P(PagePhotos, OnePhotoForEachPageThatLiesStill) {
    // The camera's smallest size at its slowest rate, which keeps the test quick.
    Film film(640, 480, DeskKind::kDarkPlain, 15);
    GetParam().script(film);
    CPageChangeDetector detector;
    std::vector<int> photos(film.Shots().size(), 0);
    bool movingSeen = false, anyMove = false;
    PictureThumb thumb;
    for (int i = 0; i < film.FrameCount(); ++i) {
        ASSERT_TRUE(MakePictureThumb(film.Frame(i), thumb));
        const double seconds = i / film.Fps();
        const bool photo = detector.AddFrame(thumb, int64_t(seconds * 1000));
        const auto [shot, progress] = film.ShotAt(i);
        const Shot& s = film.Shots()[size_t(shot)];
        const bool moves = s.from.hand || s.from.sheet >= 0 || s.name != std::string("still");
        anyMove |= moves && s.name != std::string("exposure drift");
        movingSeen |= detector.State() == PageState::kMoving;
        if (!photo)
            continue;
        ++photos[size_t(shot)];
        EXPECT_TRUE(s.expectPhoto)
            << "photo at " << seconds << " s in shot " << shot << " (" << s.name << ")";
        EXPECT_LT(seconds - film.ShotStart(shot), 1.0) << "shot " << shot;
    }
    for (size_t i = 0; i < photos.size(); ++i) {
        if (film.Shots()[i].expectPhoto) {
            EXPECT_EQ(photos[i], 1) << "shot " << i << " (" << film.Shots()[i].name << ")";
        }
    }
    EXPECT_EQ(movingSeen, anyMove);
}

const Pose kAside{6, -4, 4};

INSTANTIATE_TEST_SUITE_P(
    Films, PagePhotos,
    ::testing::Values(FilmCase{"StillPage", [](Film& f) { AddStill(f, Lying(0), 3, true); }},
                      FilmCase{"NoiseAndSlowExposureDrift",
                               [](Film& f) {
                                   AddStill(f, Lying(0), 1, true);
                                   State brighter = Lying(0);
                                   brighter.brightness = 25;
                                   f.Add(Shot{"exposure drift", 3, Lying(0), brighter});
                                   f.Add(Shot{"exposure drift", 2, brighter, Lying(0)});
                               }},
                      FilmCase{"HandEntersTurnsAndLeaves",
                               [](Film& f) {
                                   AddStill(f, Lying(0), 1.5, true);
                                   AddTurn(f, 0, 1);
                                   AddStill(f, Lying(1), 1.5, true);
                               }},
                      FilmCase{
                          "SamePageLaidAgain",
                          [](Film& f) {
                              AddStill(f, Lying(0), 1.5, true);
                              AddStill(f, AddRelay(f, 0, 1, Pose{}, Pose{5, 3, 4.8}), 2, false);
                          }},
                      FilmCase{"PageShiftedByAFewPixels",
                               [](Film& f) {
                                   AddStill(f, Lying(0), 1.5, true);
                                   f.Add(Shot{"pushed", 0.1, Lying(0), Lying(0, kAside)});
                                   AddStill(f, Lying(0, kAside), 2, false);
                               }},
                      FilmCase{"ShortPauseMidTurn",
                               [](Film& f) {
                                   AddStill(f, Lying(0), 1.5, true);
                                   AddTurn(f, 0, 1, 0.8, 0.35);
                                   AddStill(f, Lying(1), 1.5, true);
                               }},
                      FilmCase{"HandRestsBesideTheNewPage",
                               [](Film& f) {
                                   AddStill(f, Lying(0), 1.5, true);
                                   AddTurn(f, 0, 1);
                                   const State resting = AddHandToRest(f, Lying(1));
                                   AddStill(f, resting, 2, true);
                                   AddHandLeaves(f, resting);
                                   AddStill(f, Lying(1), 1.5, false);
                               }}),
    [](const ::testing::TestParamInfo<FilmCase>& info) { return info.param.name; });

}  // namespace
