#include "platform/user_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

mode_t ModeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return 0;
    }
    return info.st_mode & 07777;
}

// Points HOME and XDG_CONFIG_HOME at a scratch folder for one test and restores them after.
class UserFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldHome_ = qgetenv("HOME");
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        hadConfig_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        home_ = dir_.filePath(u"home"_qs);
        ASSERT_TRUE(QDir().mkpath(home_));
        qputenv("HOME", QFile::encodeName(home_));
    }
    void TearDown() override {
        qputenv("HOME", oldHome_);
        if (hadConfig_) {
            qputenv("XDG_CONFIG_HOME", oldConfig_);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }
    QTemporaryDir dir_;
    QString home_;
    QByteArray oldHome_;
    QByteArray oldConfig_;
    bool hadConfig_ = false;
};

TEST_F(UserFoldersTest, SettingsFolderUnderXdgConfigHomeIsCreatedPrivate) {
    const QString config = dir_.filePath(u"cfg/deeper"_qs);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString folder = SettingsFolder();
    EXPECT_EQ(folder, config + u"/quorvane/"_qs);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(config), 0700u);
}

TEST_F(UserFoldersTest, EmptyOrRelativeXdgConfigHomeFallsBackToHomeConfig) {
    for (const char* value : {"", "relative/cfg"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(SettingsFolder(), home_ + u"/.config/quorvane/"_qs) << "value " << value;
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFolder(), home_ + u"/.config/quorvane/"_qs);
    EXPECT_FALSE(QFileInfo::exists(u"relative"_qs));
}

TEST_F(UserFoldersTest, AnExistingFolderKeepsItsMode) {
    const QString config = dir_.filePath(u"cfg"_qs);
    ASSERT_TRUE(QDir().mkpath(config + u"/quorvane"_qs));
    ::chmod(QFile::encodeName(config + u"/quorvane"_qs).constData(), 0750);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    EXPECT_EQ(SettingsFolder(), config + u"/quorvane/"_qs);
    EXPECT_EQ(ModeOf(config + u"/quorvane"_qs), 0750u);
}

TEST_F(UserFoldersTest, DocumentsFolderIsTheUsersOwn) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(u"cfg"_qs)));
    EXPECT_EQ(DocumentsFolder(), home_ + u"/Documents"_qs);
}

}  // namespace
