// The main window's layout rules: button places follow the sizes of the skin images.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/main_layout.h"

namespace {

// Skin sizes as the shipped skins have them, with optional overrides.
SkinSize ShippedSize(int number) {
    if (number == 129)
        return {1024, 768};
    if (number >= 130 && number <= 162)
        return {76, 76};
    if (number == 219 || number == 220 || number == 221)
        return {30, 24};
    if (number == 230)
        return {96, 38};
    if (number == 216 || number == 213)
        return {80, 40};
    if (number == 205)
        return {80, 30};
    return {24, 15};
}

std::map<int, QvPoint> LayOut(const std::map<int, SkinSize>& overrides) {
    return LayOutMainButtons([&](int number) {
        const auto found = overrides.find(number);
        return found != overrides.end() ? found->second : ShippedSize(number);
    });
}

TEST(MainLayout, EveryButtonIsPlacedOnce) {
    const auto at = LayOut({});
    EXPECT_EQ(at.size(), MainButtons().size());
    std::set<int> ids;
    for (const MainButton& b : MainButtons()) {
        EXPECT_TRUE(ids.insert(b.id).second) << b.id;
        EXPECT_EQ(at.count(b.id), 1u) << b.id;
    }
}

TEST(MainLayout, LargeButtonsFollowTheHoverWidths) {
    // A wider hover image of 1002 (136) pushes every later large button right.
    const auto at = LayOut({{136, {90, 76}}});
    EXPECT_EQ(at.at(1002).x, 266);
    EXPECT_EQ(at.at(1003).x, 266 + 90 + 7);
    EXPECT_EQ(at.at(1010).x, 930 + 14);
    EXPECT_EQ(at.at(1001).x, 183);
}

TEST(MainLayout, RowsAndColumnsFollowTheirImages) {
    const auto at = LayOut({{129, {1280, 768}},
                            {220, {40, 24}},
                            {153, {76, 90}},
                            {230, {100, 38}},
                            {216, {90, 40}},
                            {213, {80, 44}},
                            {205, {80, 28}}});
    EXPECT_EQ(at.at(1029), (QvPoint{1280 - 80 - 20, 2}));
    EXPECT_EQ(at.at(1030), (QvPoint{1280 - 80 - 20 + 30, 2}));
    EXPECT_EQ(at.at(1011), (QvPoint{20, 140}));
    EXPECT_EQ(at.at(1022).y, 140);
    EXPECT_EQ(at.at(1036), (QvPoint{810, 265}));
    EXPECT_EQ(at.at(1037), (QvPoint{924, 265}));
    EXPECT_EQ(at.at(1024), (QvPoint{924, 310}));
    EXPECT_EQ(at.at(1025), (QvPoint{820, 354}));
    EXPECT_EQ(at.at(1026), (QvPoint{924, 354}));
    EXPECT_EQ(at.at(1027), (QvPoint{820, 382}));
    EXPECT_EQ(at.at(1028), (QvPoint{924, 382}));
}

TEST(MainLayout, ChildAreasOfTheShippedWindow) {
    EXPECT_EQ(WorkRegionRect(1024, 668), (QvRect{27, 175, 774, 620}));
    EXPECT_EQ(WorkRegionRect(1024, 668).Width(), 1024 - 277);
    EXPECT_EQ(WorkRegionRect(1024, 668).Height(), 668 - 223);
    EXPECT_EQ(ThumbnailStripRect(1024), (QvRect{814, 125, 1014, 260}));
    EXPECT_EQ(SaveOptionPanelRect(1024), (QvRect{814, 430, 1014, 530}));
    EXPECT_EQ(ColourModePanelRect(1024), (QvRect{814, 540, 1014, 620}));
    EXPECT_EQ(ActionPanelRect(1024), (QvRect{814, 300, 1014, 420}));
}

TEST(MainLayout, ActionButtonsAreWhiteOnlyOnThePanel) {
    for (const MainButton& b : MainButtons()) {
        EXPECT_EQ(b.whiteText, b.id >= 1023 && b.id <= 1028) << b.id;
        EXPECT_EQ(b.tooltip, b.id >= 1011 && b.id <= 1022) << b.id;
    }
    EXPECT_EQ(FindMainButton(1000)->languageGroup, 1);
    EXPECT_EQ(FindMainButton(1001)->languageGroup, 2);
    EXPECT_EQ(FindMainButton(999), nullptr);
}

}  // namespace
