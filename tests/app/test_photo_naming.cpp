// Photo file names and the save that never leaves a partial picture under a photo's name.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <set>
#include <thread>

#include "app/photo_naming.h"
#include "platform/atomic_save.h"

namespace {

const QDateTime kStamp(QDate(2012, 3, 5), QTime(14, 7, 9));

CPhotoNamer FixedNamer(std::set<QString> taken = {}) {
    return CPhotoNamer([] { return kStamp; },
                       [taken](const QString& path) { return taken.count(path) > 0; });
}

QStringList TakeSeveral(const CPhotoNamer& namer, int32_t mode, int32_t& counter, int count,
                        const QString& extension = QStringLiteral("jpg")) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << namer.NextPath(mode, QStringLiteral("D:/Scan"), QStringLiteral("Image"), counter,
                                extension);
    }
    return paths;
}

TEST(PhotoNaming, ModesNameAsTheTableSays) {
    struct Case {
        int32_t mode;
        int count;
        QStringList paths;
    };
    const Case cases[] = {
        {kNameOdd, 3, {"D:/Scan/Image1.jpg", "D:/Scan/Image3.jpg", "D:/Scan/Image5.jpg"}},
        {kNameEven, 3, {"D:/Scan/Image0.jpg", "D:/Scan/Image2.jpg", "D:/Scan/Image4.jpg"}},
        {kNameByTime, 2, {"D:/Scan/Image201203051407090.jpg", "D:/Scan/Image201203051407091.jpg"}},
    };
    for (const Case& c : cases) {
        int32_t counter = 0;
        EXPECT_EQ(TakeSeveral(FixedNamer(), c.mode, counter, c.count), c.paths) << c.mode;
        EXPECT_EQ(counter, c.count);
    }
}

TEST(PhotoNaming, OneCounterForAllModes) {
    const CPhotoNamer namer = FixedNamer();
    int32_t counter = 0;
    TakeSeveral(namer, kNameOdd, counter, 3);
    EXPECT_EQ(TakeSeveral(namer, kNameEven, counter, 1), QStringList{"D:/Scan/Image6.jpg"});
    EXPECT_EQ(TakeSeveral(namer, kNameByTime, counter, 1),
              QStringList{"D:/Scan/Image201203051407094.jpg"});
    EXPECT_EQ(counter, 5);
}

TEST(PhotoNaming, UnknownModeGivesNoPathAndKeepsTheCounter) {
    int32_t counter = 7;
    EXPECT_EQ(TakeSeveral(FixedNamer(), 3, counter, 1), QStringList{QString()});
    EXPECT_EQ(counter, 7);
}

TEST(PhotoNaming, FolderIsUsedAsStoredAndDigitsAreNotPadded) {
    const QDateTime morning(QDate(2026, 1, 2), QTime(3, 4, 5));
    EXPECT_EQ(CPhotoNamer::BuildPath(kNameOdd, "/scan/", "p", 12, "png", morning),
              "/scan//p25.png");
    EXPECT_EQ(CPhotoNamer::BuildPath(kNameByTime, "/s", "", 123, "bmp", morning),
              "/s/20260102030405123.bmp");
    // A folder holding "%1"-like text stays as it is.
    EXPECT_EQ(CPhotoNamer::BuildPath(kNameEven, "/a%1%2", "b%3", 1, "tif", morning),
              "/a%1%2/b%32.tif");
    // Large counters do not overflow into negative numbers.
    EXPECT_EQ(CPhotoNamer::BuildPath(kNameOdd, "/s", "p", 2000000000, "jpg", morning),
              "/s/p4000000001.jpg");
}

TEST(PhotoNaming, BlackAndWhiteJpegBecomesTiff) {
    EXPECT_EQ(CPhotoNamer::PhotoExtension("jpg", kColourModeBlackWhite), "tif");
    EXPECT_EQ(CPhotoNamer::PhotoExtension("png", kColourModeBlackWhite), "png");
    EXPECT_EQ(CPhotoNamer::PhotoExtension("JPG", kColourModeBlackWhite), "JPG");
    EXPECT_EQ(CPhotoNamer::PhotoExtension("jpg", 1), "jpg");
}

TEST(PhotoNaming, TakenNamesAreSkippedInTheSameMode) {
    int32_t counter = 0;
    const CPhotoNamer odd = FixedNamer({"D:/Scan/Image1.jpg", "D:/Scan/Image3.jpg"});
    EXPECT_EQ(TakeSeveral(odd, kNameOdd, counter, 2),
              (QStringList{"D:/Scan/Image5.jpg", "D:/Scan/Image7.jpg"}));
    EXPECT_EQ(counter, 4);

    counter = 0;
    const CPhotoNamer timed =
        FixedNamer({"D:/Scan/Image201203051407090.jpg", "D:/Scan/Image201203051407091.jpg"});
    EXPECT_EQ(TakeSeveral(timed, kNameByTime, counter, 1),
              QStringList{"D:/Scan/Image201203051407092.jpg"});
    EXPECT_EQ(counter, 3);
}

TEST(PhotoNaming, ExistingFilesOnDiskAreNeverReused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile old(dir.filePath("Image0.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("Image2.png"));  // a folder takes the name as well
    const CPhotoNamer namer;
    int32_t counter = 0;
    EXPECT_EQ(namer.NextPath(kNameEven, dir.path(), "Image", counter, "png"),
              dir.filePath("Image4.png"));
    EXPECT_EQ(counter, 3);
}

class AtomicSave : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static bool WriteText(const QString& path, const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
    QTemporaryDir dir_;
};

TEST_F(AtomicSave, CompleteFileAppearsUnderItsName) {
    const QString path = dir_.filePath("Image1.jpg");
    QString reason;
    QString written;
    EXPECT_TRUE(SaveAtomically(
        path,
        [&](const QString& temp) {
            written = temp;
            return WriteText(temp, "picture");
        },
        &reason));
    // Writers that pick the format by the extension see the photo's own extension.
    EXPECT_TRUE(written.endsWith(".jpg")) << written.toStdString();
    EXPECT_NE(written, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "picture");
    EXPECT_EQ(Entries(), QStringList{"Image1.jpg"});
    // Not the private mode of a temporary file: what any new file in the folder would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST_F(AtomicSave, FailedWriteLeavesNothingBehind) {
    struct Case {
        int error;
        QString reasonPart;
    };
    const Case cases[] = {{ENOSPC, "磁盘空间不足"}, {EIO, "保存失败"}, {0, "保存失败"}};
    for (const Case& c : cases) {
        const QString path = dir_.filePath("Image1.jpg");
        QString reason;
        EXPECT_FALSE(SaveAtomically(
            path,
            [&](const QString& temp) {
                WriteText(temp, "half a pict");  // a partial picture, then the failure
                errno = c.error;
                return false;
            },
            &reason));
        EXPECT_TRUE(reason.contains(c.reasonPart)) << reason.toStdString();
        EXPECT_TRUE(Entries().isEmpty()) << Entries().join(",").toStdString();
    }
}

TEST_F(AtomicSave, ExistingFileIsKeptUnlessReplacing) {
    const QString path = dir_.filePath("Image1.jpg");
    ASSERT_TRUE(WriteText(path, "first"));
    QString reason;
    EXPECT_FALSE(SaveAtomically(
        path, [](const QString& temp) { return WriteText(temp, "second"); }, &reason));
    EXPECT_TRUE(reason.contains("已存在")) << reason.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "first");
    file.close();
    EXPECT_EQ(Entries(), QStringList{"Image1.jpg"});

    EXPECT_TRUE(SaveAtomically(
        path, [](const QString& temp) { return WriteText(temp, "second"); }, &reason, true));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "second");
}

// Two copies of the program photographing into one folder, each counting from the value they
// both read from the settings file: the one that loses a name takes the next free one.
TEST_F(AtomicSave, SaversRacingForNamesLoseNoPhoto) {
    const CPhotoNamer namer;
    const auto photograph = [&](char copy, int photos) {
        int32_t counter = 0;
        const auto next = [&] {
            return namer.NextPath(kNameOdd, dir_.path(), "Image", counter, "jpg");
        };
        for (int i = 0; i < photos; ++i) {
            const QByteArray photo = copy + QByteArray::number(i);
            const auto write = [&](const QString& temp) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));  // as an encoder takes
                return WriteText(temp, photo);
            };
            QString reason;
            EXPECT_FALSE(SaveUnderFreeName(next(), next, write, &reason).isEmpty())
                << reason.toStdString();
        }
    };
    std::thread first(photograph, 'a', 21);
    std::thread second(photograph, 'b', 21);
    first.join();
    second.join();
    std::set<QByteArray> photos;
    for (const QString& name : Entries()) {
        QFile file(dir_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        photos.insert(file.readAll());
    }
    EXPECT_EQ(Entries().size(), 42);
    EXPECT_EQ(photos.size(), 42u);
}

TEST_F(AtomicSave, ReasonsForBadPaths) {
    QString reason;
    bool called = false;
    const auto write = [&](const QString&) { return called = true; };
    EXPECT_FALSE(SaveAtomically(QString(), write, &reason));
    EXPECT_EQ(reason, "保存路径为空");
    EXPECT_FALSE(SaveAtomically(dir_.filePath("missing/Image1.jpg"), write, &reason));
    EXPECT_TRUE(reason.startsWith("文件夹不存在")) << reason.toStdString();
    EXPECT_FALSE(called);

    if (::geteuid() != 0) {  // permissions do not bind the superuser
        const QString locked = dir_.filePath("locked");
        ASSERT_TRUE(QDir(dir_.path()).mkdir("locked"));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(SaveAtomically(locked + "/Image1.jpg", write, &reason));
        EXPECT_TRUE(reason.startsWith("没有写入权限")) << reason.toStdString();
        QFile::setPermissions(
            locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

}  // namespace
