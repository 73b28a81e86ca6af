#include "capture/camera_choice.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kVga = 640 * 480, kHd = 1280 * 720, kUxga = 1600 * 1200, kQsxga = 2592 * 1944;
constexpr auto kBuiltIn = CameraPlacement::kBuiltIn, kUnknown = CameraPlacement::kUnknown,
               kExternal = CameraPlacement::kExternal;

struct PreferenceCase {
    const char* name;
    std::vector<CameraFacts> cameras;
    const char* chosen;
    int expected;
};

class CameraPreference : public ::testing::TestWithParam<PreferenceCase> {};

TEST_P(CameraPreference, PicksTheDocumentCamera) {
    EXPECT_EQ(StartingCamera(GetParam().cameras, GetParam().chosen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceLists, CameraPreference,
    ::testing::Values(
        PreferenceCase{"none", {}, "", -1},
        PreferenceCase{"laptop: webcam listed first",
                       {{"cam", kHd, kBuiltIn}, {"doc", kUxga, kExternal}},
                       "",
                       1},
        PreferenceCase{"largest picture wins over placement",
                       {{"a", kQsxga, kBuiltIn}, {"b", kUxga, kExternal}},
                       "",
                       0},
        PreferenceCase{"equal sizes: the external one",
                       {{"a", kUxga, kBuiltIn}, {"b", kUxga, kExternal}},
                       "",
                       1},
        PreferenceCase{"equal sizes, unknown before built-in",
                       {{"a", kHd, kBuiltIn}, {"b", kHd, kUnknown}},
                       "",
                       1},
        PreferenceCase{"full tie: the first listed",
                       {{"a", kUxga, kExternal}, {"b", kUxga, kExternal}},
                       "",
                       0},
        PreferenceCase{"no sizes known", {{"a", 0, kUnknown}, {"b", kVga, kUnknown}}, "", 1},
        PreferenceCase{
            "stored choice present", {{"cam", kHd, kBuiltIn}, {"doc", kUxga, kExternal}}, "cam", 0},
        PreferenceCase{
            "stored choice absent", {{"cam", kHd, kBuiltIn}, {"doc", kUxga, kExternal}}, "old", 1}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// appeared, current, chosen, lost → taken up?
TEST(AppearingCamera, NeverReplacesAWorkingCameraButTheChosenOne) {
    EXPECT_TRUE(TakesAppearingCamera("doc", "", "", "doc"));      // plugged back in
    EXPECT_TRUE(TakesAppearingCamera("doc", "", "", ""));         // a first camera, none chosen
    EXPECT_TRUE(TakesAppearingCamera("cam", "", "", "doc"));      // none chosen: any camera
    EXPECT_FALSE(TakesAppearingCamera("cam", "", "doc", "doc"));  // not the face for the page
    EXPECT_TRUE(TakesAppearingCamera("doc", "cam", "doc", ""));   // the chosen one takes over
    EXPECT_FALSE(TakesAppearingCamera("b", "a", "", ""));         // a working camera stays
    EXPECT_FALSE(TakesAppearingCamera("a", "a", "a", ""));
}

}  // namespace
