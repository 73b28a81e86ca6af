#include "app/language.h"

#include <gtest/gtest.h>

namespace {

struct LanguageCase {
    int32_t requested;
    int column;
    const char16_t* storagePath;
    const char16_t* fileNaming;
};

class LanguageTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageTest, LooksUpTheCaptionsOfTheChosenColumn) {
    const QVLanguage language(QVLanguage::Table(), GetParam().requested);
    EXPECT_EQ(language.LanguageCount(), 2);
    EXPECT_EQ(language.Column(), GetParam().column);
    EXPECT_EQ(language.CurrentLanguage(), GetParam().requested);
    EXPECT_EQ(language.Text(QVLanguage::kStoragePathCaption),
              QString::fromUtf16(GetParam().storagePath));
    EXPECT_EQ(language.Text(QVLanguage::kFileNamingCaption),
              QString::fromUtf16(GetParam().fileNaming));
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageTest,
                         ::testing::Values(LanguageCase{2052, 1, u"路径设置", u"文件命名"},
                                           LanguageCase{1033, 0, u"Set Path", u"Name File"},
                                           // No header row: the first language.
                                           LanguageCase{1041, 0, u"Set Path", u"Name File"}));

TEST(Language, GroupsPastTheTableHaveNoText) {
    const QVLanguage language(QVLanguage::Table(), 2052);
    EXPECT_EQ(language.Text(0), u"$$简体中文"_qs);
    EXPECT_EQ(language.Text(3), QString());
    EXPECT_EQ(language.Text(-1), QString());
}

TEST(Language, HeaderCountStopsAtTheFirstRowWithoutTheMarker) {
    // Three languages, a one-character row ends nothing early, "$" alone is no header.
    const QVLanguageRow three[] = {
        {1, u"$$One"}, {2, u"$$Two"}, {3, u"$$"}, {0, u"$x"}, {0, u"b"}, {0, u"c"},
    };
    const QVLanguage language(three, 3);
    EXPECT_EQ(language.LanguageCount(), 3);
    EXPECT_EQ(language.Column(), 2);
    EXPECT_EQ(language.Text(1), u"c"_qs);

    const QVLanguageRow shortRow[] = {{1, u"$$One"}, {0, u"$"}, {0, u"text"}};
    EXPECT_EQ(QVLanguage(shortRow, 1).LanguageCount(), 1);
}

TEST(Language, TheEnvironmentChoosesTheLanguage) {
    qunsetenv("QUORVANE_LANGUAGE");
    EXPECT_EQ(QVLanguage().Text(QVLanguage::kStoragePathCaption), u"路径设置"_qs);
    qputenv("QUORVANE_LANGUAGE", "1033");
    EXPECT_EQ(QVLanguage().Text(QVLanguage::kFileNamingCaption), u"Name File"_qs);
    qputenv("QUORVANE_LANGUAGE", "english");
    EXPECT_EQ(QVLanguage().CurrentLanguage(), 2052);
    qunsetenv("QUORVANE_LANGUAGE");
}

}  // namespace
