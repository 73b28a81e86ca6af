#include "settings/ini_file.h"
#include "settings/stored_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/file_bytes.h"

namespace {

// Gives each test its own home and settings folder through the environment the program reads.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = {qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME")};
        home_ = dir_.filePath(u"home"_qs);
        ASSERT_TRUE(QDir().mkpath(home_));
        qputenv("HOME", QFile::encodeName(home_));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(u"cfg"_qs)));
    }
    void TearDown() override {
        qputenv("HOME", saved_.first);
        qputenv("XDG_CONFIG_HOME", saved_.second);
    }
    QString SettingsPath() const { return dir_.filePath(u"cfg/quorvane/Quorvane.ini"_qs); }
    QString Documents() const { return home_ + u"/Documents"_qs; }

    QTemporaryDir dir_;
    QString home_;
    std::pair<QByteArray, QByteArray> saved_;
};

TEST_F(SettingsTest, FirstRunCreatesAnEmptyFileAndStartsWithTheDefaults) {
    CIniFile store;
    EXPECT_EQ(store.Path(), SettingsPath());
    ASSERT_FALSE(QFile::exists(SettingsPath()));

    const StoredSettings s = ReadStoredSettings(store);
    EXPECT_TRUE(QFileInfo(SettingsPath()).isFile());
    EXPECT_EQ(QFileInfo(SettingsPath()).size(), 0);
    EXPECT_EQ(s.picName, u"Image"_qs);
    EXPECT_EQ(s.recordName, u"Record"_qs);
    EXPECT_EQ(s.picPath, Documents());
    EXPECT_EQ(s.recordPath, Documents());
    EXPECT_EQ(s.picIndex, 0);
    EXPECT_EQ(s.recordIndex, 0);
    EXPECT_EQ(s.nameMode, 0);
    EXPECT_EQ(s.quality, 50);
    EXPECT_EQ(s.videoWidth, -1);
    EXPECT_EQ(s.videoHeight, -1);
    EXPECT_EQ(s.recordFormat, 0);
    EXPECT_EQ(s.picFormat, 1);  // JPEG
}

TEST_F(SettingsTest, EveryKeyIsReadFromAWindowsWrittenFile) {
    CIniFile store;
    ASSERT_EQ(store.EnsureFile(), 1);
    WriteBytes(SettingsPath(),
               "\xEF\xBB\xBF[Pic]\r\n"
               "PicPath = D:\\\xE7\x85\xA7\xE7\x89\x87\r\n"  // D:\照片
               "picName=Scan \r\n"
               "NameMode=2\r\n"
               "picIndex=17\r\n"
               "Quantity=85\r\n"
               "PicFormat=3\r\n"
               "[video]\r\n"
               "VideoWidth=1600\r\n"
               "VideoHeight=1200\r\n"
               "RecordFormat=1\r\n"
               "RecordPath=E:\\rec\r\n"
               "RecordName=Talk\r\n"
               "RecordIndex=4\r\n");
    const StoredSettings s = ReadStoredSettings(store);
    EXPECT_EQ(s.picPath, u"D:\\照片"_qs);
    EXPECT_EQ(s.picName, u"Scan"_qs);
    EXPECT_EQ(s.nameMode, 2);
    EXPECT_EQ(s.picIndex, 17);
    EXPECT_EQ(s.quality, 85);
    EXPECT_EQ(s.picFormat, 3);
    EXPECT_EQ(s.videoWidth, 1600);
    EXPECT_EQ(s.videoHeight, 1200);
    EXPECT_EQ(s.recordFormat, 1);
    EXPECT_EQ(s.recordPath, u"E:\\rec"_qs);
    EXPECT_EQ(s.recordName, u"Talk"_qs);
    EXPECT_EQ(s.recordIndex, 4);
}

TEST_F(SettingsTest, StoredValuesAreTakenAsTheyAreExceptTheNamedReplacements) {
    CIniFile store;
    ASSERT_EQ(store.EnsureFile(), 1);
    WriteBytes(SettingsPath(),
               "[PIC]\npicname=\npicformat=-1\nnamemode=5\npicindex=-3\nquantity=abc\n"
               "[Video]\nrecordname=   \nrecordformat=7\nvideowidth=-1\nvideoheight=-2\n");
    const StoredSettings s = ReadStoredSettings(store);
    EXPECT_EQ(s.picName, u"Image"_qs);  // present but empty, as if missing
    EXPECT_EQ(s.recordName, u"Record"_qs);
    EXPECT_EQ(s.picFormat, 1);     // -1 means unset: JPEG
    EXPECT_EQ(s.recordFormat, 7);  // no range check
    EXPECT_EQ(s.nameMode, 5);
    EXPECT_EQ(s.picIndex, -3);
    EXPECT_EQ(s.quality, 0);      // text without digits
    EXPECT_EQ(s.videoWidth, -1);  // only the two formats turn -1 into 0
    EXPECT_EQ(s.videoHeight, -2);

    // Names the naming dialogs refuse, and choices out of range, read as first-run values.
    WriteBytes(SettingsPath(),
               "[PIC]\npicname=../../X\ncolormode=3\nthreshold=300\nsaveturn=-1\nwmx=2\n"
               "[Video]\nrecordname=..\n");
    const StoredSettings odd = ReadStoredSettings(store);
    EXPECT_EQ(odd.picName, u"Image"_qs);
    EXPECT_EQ(odd.recordName, u"Record"_qs);
    EXPECT_EQ(odd.colourMode, 0);
    EXPECT_EQ(odd.threshold, 128);
    EXPECT_EQ(odd.saveTurn, 0);
    EXPECT_EQ(odd.watermark.x, 0.0f);

    WriteBytes(SettingsPath(), "[Video]\nrecordformat=-1\n");
    EXPECT_EQ(ReadStoredSettings(store).recordFormat, 0);
}

TEST_F(SettingsTest, LongNamesAreCutTo255CharactersAndFoldersKeptWhole) {
    CIniFile store;
    const QString chinese = QString(300, u'照');
    ASSERT_TRUE(store.WriteString(qvini::kPic, qvini::kPicPath, chinese));
    ASSERT_TRUE(store.WriteString(qvini::kVideo, qvini::kRecordName, chinese));
    const StoredSettings s = ReadStoredSettings(store);
    EXPECT_EQ(s.picPath, chinese);
    EXPECT_EQ(s.recordName, chinese.left(255));

    // A character outside the basic plane is not split in half at the cut.
    const QString withPair = QString(254, u'a') + QString::fromUtf16(u"\U0001F4F7") + u"tail"_qs;
    ASSERT_TRUE(store.WriteString(qvini::kPic, qvini::kPicName, withPair));
    EXPECT_EQ(store.ReadString(qvini::kPic, qvini::kPicName, {}), QString(254, u'a'));
}

TEST_F(SettingsTest, OnePhotoLeavesTheCounterInAnOtherwiseEmptyFile) {
    CIniFile store;
    ReadStoredSettings(store);
    ASSERT_TRUE(WriteSettingInt(&store, qvini::kPic, qvini::kPicIndex, 1));
    EXPECT_EQ(ReadBytes(SettingsPath()), "[PIC]\npicindex=1\n");
    ASSERT_TRUE(WriteSettingInt(&store, qvini::kPic, qvini::kPicIndex, 2));
    ASSERT_TRUE(WriteSettingString(&store, qvini::kVideo, qvini::kRecordPath, u"/媒体/录像"_qs));
    EXPECT_EQ(ReadBytes(SettingsPath()), "[PIC]\npicindex=2\n[Video]\nrecordpath=/媒体/录像\n");
    const StoredSettings s = ReadStoredSettings(store);
    EXPECT_EQ(s.picIndex, 2);
    EXPECT_EQ(s.recordPath, u"/媒体/录像"_qs);
}

TEST_F(SettingsTest, WritersWithoutAStoreDoNothing) {
    EXPECT_FALSE(WriteSettingInt(nullptr, qvini::kPic, qvini::kPicIndex, 1));
    EXPECT_FALSE(WriteSettingString(nullptr, qvini::kPic, qvini::kPicName, u"x"_qs));
}

TEST_F(SettingsTest, EnsureFileKeepsAnExistingFile) {
    CIniFile store;
    WriteBytes(SettingsPath(), "[PIC]\npicindex=9\n");
    EXPECT_EQ(store.EnsureFile(), 1);
    EXPECT_EQ(ReadBytes(SettingsPath()), "[PIC]\npicindex=9\n");
}

// The settings folder cannot be made (its parent is a plain file): the program still starts,
// with the fall-back values, and later writes fail without creating anything.
TEST_F(SettingsTest, UnusableSettingsFolderGivesTheFallbackValues) {
    WriteBytes(dir_.filePath(u"blocked"_qs), "x");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(u"blocked/cfg"_qs)));
    CIniFile store;
    EXPECT_EQ(store.EnsureFile(), 0);
    const StoredSettings s = ReadStoredSettings(store);
    EXPECT_EQ(s.picName, u"Image"_qs);
    EXPECT_EQ(s.recordName, u"Record"_qs);
    EXPECT_EQ(s.picPath, Documents());
    EXPECT_EQ(s.recordPath, Documents());
    EXPECT_EQ(s.videoWidth, -1);
    EXPECT_EQ(s.recordFormat, 0);
    EXPECT_EQ(s.quality, 50);
    EXPECT_FALSE(store.WriteInt(qvini::kPic, qvini::kPicIndex, 1));
}

TEST_F(SettingsTest, APathThatIsAFolderCannotBeUsed) {
    CIniFile store;
    ASSERT_TRUE(QDir().mkpath(SettingsPath()));
    EXPECT_EQ(store.EnsureFile(), 0);
    EXPECT_FALSE(store.WriteInt(qvini::kPic, qvini::kPicIndex, 1));
    EXPECT_TRUE(QFileInfo(SettingsPath()).isDir());
}

}  // namespace
