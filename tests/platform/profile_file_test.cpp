#include "platform/profile_file.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/file_bytes.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <climits>
#include <csignal>

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    QString FilePath(const QString& name = QStringLiteral("Quorvane.ini")) const {
        return dir_.filePath(name);
    }
    QTemporaryDir dir_;
};

// The same settings as a Windows program leaves them: CRLF line ends, names in other cases,
// spaces around names, "=" and values, a comment and a blank line.
const char16_t kWindowsText[] =
    u"; written on Windows\r\n"
    u"[pic]\r\n"
    u"  PicPath = D:\\照片\\扫描 \r\n"
    u"PICINDEX=  42\r\n"
    u"\r\n"
    u"[ VIDEO ]\r\n"
    u"recordFormat\t=-1\r\n"
    u"RecordName=会议 记录\r\n";

struct Encoding {
    const char* name;
    QByteArray (*encode)(const QString&);
};

const Encoding kEncodings[] = {
    {"Utf8Bom", [](const QString& s) { return "\xEF\xBB\xBF" + s.toUtf8(); }},
    {"Utf8", [](const QString& s) { return s.toUtf8(); }},
    {"Utf16LeBom",
     [](const QString& s) {
         return QByteArray(
             QStringEncoder(QStringConverter::Utf16LE, QStringEncoder::Flag::WriteBom)(s));
     }},
    {"Utf16BeBom",
     [](const QString& s) {
         return QByteArray(
             QStringEncoder(QStringConverter::Utf16BE, QStringEncoder::Flag::WriteBom)(s));
     }},
    {"Gb18030", [](const QString& s) { return QByteArray(QStringEncoder("GB18030")(s)); }},
    // UTF-8 with a GBK and a Latin-1 comment from other editors: each line reads on its own.
    {"Utf8WithOtherComments",
     [](const QString& s) {
         return "; " + QByteArray(QStringEncoder("GB18030")(u"旧的注释"_qs)) + "\r\n; caf\xE9\r\n" +
                s.toUtf8();
     }},
};

class WindowsFileTest : public ProfileFileTest, public ::testing::WithParamInterface<Encoding> {};

TEST_P(WindowsFileTest, ReadsAndRewritesOnlyTheChangedLine) {
    const QString text = QString::fromUtf16(kWindowsText);
    WriteBytes(FilePath(), GetParam().encode(text));
    const QString path = FilePath();

    EXPECT_EQ(ReadProfileString(u"PIC"_qs, u"picpath"_qs, {}, path), u"D:\\照片\\扫描"_qs);
    EXPECT_EQ(ReadProfileInt(u"PIC"_qs, u"picindex"_qs, 0, path), 42);
    EXPECT_EQ(ReadProfileInt(u"Video"_qs, u"recordformat"_qs, 5, path), -1);
    EXPECT_EQ(ReadProfileString(u"video"_qs, u"recordname"_qs, {}, path), u"会议 记录"_qs);

    ASSERT_TRUE(WriteProfileString(u"PIC"_qs, u"picindex"_qs, u"43"_qs, path));
    const QString expected = QString(text).replace(u"PICINDEX=  42"_qs, u"PICINDEX=43"_qs);
    EXPECT_EQ(ReadBytes(path), GetParam().encode(expected));
    EXPECT_EQ(ReadProfileString(u"PIC"_qs, u"picpath"_qs, {}, path), u"D:\\照片\\扫描"_qs);
}

INSTANTIATE_TEST_SUITE_P(Encodings, WindowsFileTest, ::testing::ValuesIn(kEncodings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    const QString path = FilePath();
    EXPECT_EQ(ReadProfileString(u"PIC"_qs, u"picname"_qs, u"dflt"_qs, path), u"dflt"_qs);
    EXPECT_EQ(ReadProfileInt(u"PIC"_qs, u"picindex"_qs, -1, path), -1);
    EXPECT_FALSE(QFile::exists(path));  // reading never creates the file

    WriteBytes(path, "[PIC]\npicname=\nother=1\n[Video]\npicindex=9\n");
    EXPECT_EQ(ReadProfileString(u"PIC"_qs, u"picname"_qs, u"dflt"_qs, path), QString());
    EXPECT_EQ(ReadProfileString(u"Nope"_qs, u"picname"_qs, u"dflt"_qs, path), u"dflt"_qs);
    // A key of the same name in another section is not this section's key.
    EXPECT_EQ(ReadProfileInt(u"PIC"_qs, u"picindex"_qs, -1, path), -1);
}

TEST_F(ProfileFileTest, IntegerConversion) {
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"-3", -3},
        {"+5", 5},
        {"0", 0},
        {"abc", 0},
        {"12abc", 12},
        {"-", 0},
        {"- 4", 0},
        {"", 77},  // empty value: the default
        {"007", 7},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const Case& c : cases) {
        WriteBytes(FilePath(), QByteArray("[PIC]\nn=") + c.value + "\n");
        EXPECT_EQ(ReadProfileInt(u"PIC"_qs, u"n"_qs, 77, FilePath()), c.expected)
            << "value \"" << c.value << "\"";
    }
}

TEST_F(ProfileFileTest, WriteChangesOneLineAndKeepsEveryOtherLine) {
    const QByteArray original =
        "; Quorvane settings\n"
        "\n"
        "[PIC]\n"
        "PicPath = /home/u/Pictures\n"
        "# kept comment\n"
        "picindex=4\n"
        "unknown key line\n"
        "\n"
        "; about Video\n"
        "[Video]\n"
        "videowidth=640\n"
        "[pic]\n"
        "late=1\n";
    const QString path = FilePath();
    WriteBytes(path, original);

    // In place, the file's own spelling of the key kept.
    ASSERT_TRUE(WriteProfileString(u"pic"_qs, u"PICPATH"_qs, u" /data/扫描 "_qs, path));
    QByteArray expected = original;
    expected.replace("PicPath = /home/u/Pictures", "PicPath=/data/扫描");
    EXPECT_EQ(ReadBytes(path), expected);

    // A new key goes after the section's last key, before its trailing lines.
    ASSERT_TRUE(WriteProfileString(u"PIC"_qs, u"picname"_qs, u"Scan"_qs, path));
    expected.replace("picindex=4\n", "picindex=4\npicname=Scan\n");
    EXPECT_EQ(ReadBytes(path), expected);

    // A key of a later section of the same name is found and changed there.
    ASSERT_TRUE(WriteProfileString(u"PIC"_qs, u"late"_qs, u"2"_qs, path));
    expected.replace("late=1", "late=2");
    EXPECT_EQ(ReadBytes(path), expected);

    // A new section goes at the end.
    ASSERT_TRUE(WriteProfileString(u"Extra"_qs, u"k"_qs, u"v"_qs, path));
    expected += "[Extra]\nk=v\n";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(ReadProfileString(u"extra"_qs, u"K"_qs, {}, path), u"v"_qs);
}

TEST_F(ProfileFileTest, WriteCreatesAMissingFileAndEndsAnUnendedLastLine) {
    const QString path = FilePath();
    ASSERT_TRUE(WriteProfileString(u"PIC"_qs, u"picindex"_qs, u"1"_qs, path));
    EXPECT_EQ(ReadBytes(path), "[PIC]\npicindex=1\n");

    WriteBytes(path, "[PIC]\npicindex=1");
    ASSERT_TRUE(WriteProfileString(u"Video"_qs, u"recordindex"_qs, u"3"_qs, path));
    EXPECT_EQ(ReadBytes(path), "[PIC]\npicindex=1\n[Video]\nrecordindex=3\n");
}

TEST_F(ProfileFileTest, RefusesTextThatWouldBreakTheFile) {
    const QString path = FilePath();
    const QByteArray original = "[PIC]\npicpath=/a\n";
    WriteBytes(path, original);
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"picpath"_qs, u"/a\n[Video]\nx=1"_qs, path));
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"picpath"_qs, u"/a\rb"_qs, path));
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"a=b"_qs, u"1"_qs, path));
    EXPECT_FALSE(WriteProfileString(u"P]IC"_qs, u"k"_qs, u"1"_qs, path));
    EXPECT_FALSE(WriteProfileString(u" "_qs, u"k"_qs, u"1"_qs, path));
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u""_qs, u"1"_qs, path));
    EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(ProfileFileTest, UnwritableFolderReportsFailure) {
    WriteBytes(FilePath(u"plain-file"_qs), "x");
    const QString underFile = FilePath(u"plain-file/Quorvane.ini"_qs);
    const QString missingFolder = FilePath(u"missing/Quorvane.ini"_qs);
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"k"_qs, u"1"_qs, underFile));
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"k"_qs, u"1"_qs, missingFolder));
    EXPECT_FALSE(QFileInfo::exists(FilePath(u"missing"_qs)));
    EXPECT_EQ(ReadProfileString(u"PIC"_qs, u"k"_qs, u"d"_qs, underFile), u"d"_qs);
}

TEST_F(ProfileFileTest, ReadOnlyFolderLeavesTheOldFileIntact) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    const QString path = FilePath();
    const QByteArray original = "[PIC]\npicindex=4\n";
    WriteBytes(path, original);
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"picindex"_qs, u"5"_qs, path));
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ReadBytes(path), original);
}

TEST_F(ProfileFileTest, PathThatIsAFolderIsNeitherReadNorReplaced) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(u"Quorvane.ini"_qs));
    EXPECT_EQ(ReadProfileInt(u"PIC"_qs, u"picindex"_qs, 3, FilePath()), 3);
    EXPECT_FALSE(WriteProfileString(u"PIC"_qs, u"picindex"_qs, u"1"_qs, FilePath()));
    EXPECT_TRUE(QFileInfo(FilePath()).isDir());
}

// A full disk: the file-size limit makes every write past it fail, as ENOSPC would. The write
// runs in a child process so that the limit does not touch the test program.
TEST_F(ProfileFileTest, FullDiskLeavesTheOldFileIntactAndReportsFailure) {
    const QString path = FilePath();
    QByteArray original = "[PIC]\npicpath=/home/u/Pictures\n";
    original += "[Video]\nrecordname=Record\n";
    WriteBytes(path, original);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written =
            WriteProfileString(u"PIC"_qs, u"picname"_qs, QString(4000, u'x'), path);
        ::_exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
    EXPECT_EQ(ReadBytes(path), original);
    // No temporary file is left beside the settings file.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"Quorvane.ini"_qs});
}

}  // namespace
