#include "capture/output_size_catalogue.h"

#include <gtest/gtest.h>

namespace {

std::u16string U(std::initializer_list<int> values) {
    std::u16string s;
    for (int v : values)
        s.push_back(static_cast<char16_t>(v));
    return s;
}

struct CatalogueCase {
    const char* name;
    std::vector<OutputCapability> caps;
    std::vector<OUTPUTSIZENODE> expected;
};

class Catalogue : public ::testing::TestWithParam<CatalogueCase> {};

TEST_P(Catalogue, Builds) {
    const CatalogueCase& c = GetParam();
    const std::vector<OUTPUTSIZENODE> got = BuildOutputSizeCatalogue(c.caps);
    ASSERT_EQ(got.size(), c.expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].formatName, c.expected[i].formatName) << i;
        EXPECT_EQ(got[i].widths, c.expected[i].widths) << i;
        EXPECT_EQ(got[i].heights, c.expected[i].heights) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Catalogue,
    ::testing::Values(
        CatalogueCase{"SortedByWidthDuplicatesKept",
                      {{"YUY2", 1600, 1200}, {"YUY2", 640, 480}, {"YUY2", 1600, 1200}},
                      {{u"YUY2", U({640, 1600, 1600}), U({480, 1200, 1200})}}},
        CatalogueCase{"FormatsInFirstSeenOrderUnknownSkipped",
                      {{"MJPG", 1280, 720},
                       {"H264", 640, 480},
                       {"YUY2", 640, 480},
                       {"MJPG", 640, 480},
                       {"", 320, 240}},
                      {{u"MJPG", U({640, 1280}), U({480, 720})}, {u"YUY2", U({640}), U({480})}}},
        CatalogueCase{"ZeroSizeAddsNothing", {{"RGB24", 0, 0}}, {{u"RGB24", u"", u""}}},
        CatalogueCase{"EqualWidthKeepsArrivalOrder",
                      {{"YUY2", 1280, 960}, {"YUY2", 1280, 720}, {"YUY2", 800, 600}},
                      {{u"YUY2", U({800, 1280, 1280}), U({600, 960, 720})}}},
        // A zero height leaves the strings of unequal length; the node is then not re-sorted.
        CatalogueCase{"ZeroHeightStopsSorting",
                      {{"UYVY", 800, 0}, {"UYVY", 640, 480}},
                      {{u"UYVY", U({800, 640}), U({480})}}},
        CatalogueCase{"NamesAreCaseSensitive",
                      {{"yuy2", 640, 480}, {"RGB32", 320, 240}},
                      {{u"RGB32", U({320}), U({240})}}},
        CatalogueCase{"Empty", {}, {}}),
    [](const ::testing::TestParamInfo<CatalogueCase>& info) { return info.param.name; });

}  // namespace
