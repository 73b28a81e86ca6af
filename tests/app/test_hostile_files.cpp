// The program in a hostile environment: odd settings files, filesystems without the usual
// renames, saves cut short by a crash, and special files where files are expected. Each case
// makes the real condition (a FUSE or tmpfs mount in this process's own mount namespace, a child
// process killed in the middle of a save, a FIFO) and checks what is on disk afterwards.

#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "app/main_layout.h"
#include "app/quorvane_dlg.h"
#include "app/save_notice.h"
#include "app/work_region_mgr.h"
#include "platform/atomic_save.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "settings/ini_file.h"
#include "support/file_bytes.h"
#include "support/photo_home.h"
#include "support/simulated_media.h"
#include "support/test_mounts.h"
#include "view/picture_item.h"
#include "view/thumbnail_view.h"
#include "view/video_item.h"

namespace {

const QDateTime kClock(QDate(2012, 3, 5), QTime(14, 7, 9));

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Runs in a child process: starts saving target and is killed half way, as by kill -9. With
// "in use" it stops half way instead, says so, and waits to be killed.
int CrashDuringSave(const QString& target, const QByteArray& stage) {
    SaveAtomically(
        target,
        [&stage](const QString& temporary) {
            if (stage != "empty") {
                WriteFile(temporary, QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
            }
            if (stage == "in use") {
                std::puts("ready");
                std::fflush(stdout);
                ::pause();
            }
            ::raise(SIGKILL);
            return false;
        },
        nullptr, stage == "settings");
    return 1;
}

}  // namespace

// What every group needs: fonts, the simulated camera, no message box that waits, and a new
// home with its own settings file for each case.
class HostileTestBase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

protected:
    static std::unique_ptr<CQuorvaneDlg> Open();
    static void Press(CQuorvaneDlg& dlg, int times);
    static bool Responsive(CQuorvaneDlg& dlg);
    static QString Undecodable(const QString& folder, const QStringList& names);
    static QString SettingsPath() { return CIniFile().Path(); }

    std::unique_ptr<PhotoHome> home_;
};

// The groups that need nothing of the machine beyond files.
class HostileFilesTest : public HostileTestBase {
    Q_OBJECT

private slots:
    void settingsFileFaults_data();
    void settingsFileFaults();
    void crashLeftovers_data();
    void crashLeftovers();
    void specialFiles_data();
    void specialFiles();
};

// The group that needs mounts of its own (a private mount namespace, tmpfs, /dev/fuse).
class HostileFilesystemsTest : public HostileTestBase {
    Q_OBJECT

private slots:
    void filesystemFaults_data();
    void filesystemFaults();
};

void HostileTestBase::initTestCase() {
    QVERIFY(StartSimulatedMedia());
    SetMessageBoxHandler([](const QString&, const QString&, MessageIcon) {});
}

void HostileTestBase::init() {
    CPicture::ResetRefit();
    home_ = std::make_unique<PhotoHome>();
    QVERIFY(home_->Make());
}

void HostileTestBase::cleanup() {
    home_.reset();
}

std::unique_ptr<CQuorvaneDlg> HostileTestBase::Open() {
    auto dlg = std::make_unique<CQuorvaneDlg>();
    dlg->SetPhotoClock([] { return kClock; });
    dlg->show();
    CVideoItem* live = dlg->WorkRegion() != nullptr ? dlg->WorkRegion()->GetVideoItem() : nullptr;
    if (!QTest::qWaitForWindowExposed(dlg.get()) || live == nullptr ||
        !QTest::qWaitFor([live] { return live->GetWorkImage().IsValid(); }, 20000)) {
        return nullptr;
    }
    return dlg;
}

void HostileTestBase::Press(CQuorvaneDlg& dlg, int times) {
    for (int i = 0; i < times; ++i) {
        SendWindowMessage(&dlg, qvmsg::kButtonClicked, mainctl::kTakePhoto, 0);
    }
}

// The user-interface thread still runs its event loop and the window still takes a command.
bool HostileTestBase::Responsive(CQuorvaneDlg& dlg) {
    bool ran = false;
    QTimer::singleShot(0, &dlg, [&ran] { ran = true; });
    SendWindowMessage(&dlg, qvmsg::kButtonClicked, mainctl::kZoomIn, 0);
    return QTest::qWaitFor([&ran] { return ran; }, 5000) && dlg.isVisible();
}

// The first of the files that a reference decoder cannot read whole, with the reason; empty when
// it reads them all.
QString HostileTestBase::Undecodable(const QString& folder, const QStringList& names) {
    for (const QString& name : names) {
        QImageReader reader(folder + u'/' + name, "jpeg");
        if (reader.read().isNull()) {
            return name + u": "_qs + reader.errorString();
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Settings files: "@" stands for the storage folder, "<folder>" for a folder in the file's place.

void HostileFilesTest::settingsFileFaults_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("folder");  // the storage folder under the home folder
    QTest::addColumn<QStringList>("photos");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("notice");  // empty: none shown

    const QByteArray otherEncodings = "; " + QStringEncoder("GB18030")(u"扫描设置"_qs) +
                                      "\r\n[PIC]\r\npicpath=@\r\n; caf\xE9\r\nnamemode=1\r\n";
    QTest::newRow("comments in GBK and Latin-1")
        << otherEncodings << u"文档照片"_qs << QStringList{"Image1.jpg", "Image3.jpg"}
        << otherEncodings + "picindex=2\r\n"
        << QString();
    const QString level = QString(80, u'长');  // 240 bytes: within the name limit
    QTest::newRow("folder longer than 255 characters")
        << QByteArray("[PIC]\npicpath=@\nnamemode=1\n") << QStringList(4, level).join(u'/')
        << QStringList{"Image1.jpg", "Image3.jpg"}
        << QByteArray("[PIC]\npicpath=@\nnamemode=1\npicindex=2\n") << QString();
    QTest::newRow("counter at its largest")
        << QByteArray("[PIC]\npicpath=@\nnamemode=1\npicindex=2147483647\n") << u"Scan"_qs
        << QStringList{"Image1.jpg", "Image4294967295.jpg"}
        << QByteArray("[PIC]\npicpath=@\nnamemode=1\npicindex=1\n") << QString();
    const QByteArray prefix(230, 'a');
    QTest::newRow("long name prefix")
        << "[PIC]\npicpath=@\npicname=" + prefix + "\n"
        << u"Scan"_qs << QStringList{prefix + "201203051407090.jpg", prefix + "201203051407091.jpg"}
        << "[PIC]\npicpath=@\npicname=" + prefix + "\npicindex=2\n"
        << QString();
    QTest::newRow("folder in the file's place")
        << QByteArray("<folder>") << u"Documents"_qs
        << QStringList{"Image201203051407090.jpg", "Image201203051407091.jpg"}
        << QByteArray("<folder>") << u"设置文件无法使用"_qs;
}

void HostileFilesTest::settingsFileFaults() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, folder);
    QFETCH(QStringList, photos);
    QFETCH(QByteArray, after);
    QFETCH(QString, notice);
    const QString storage = home_->FilePath(folder);
    QVERIFY(QDir().mkpath(storage));
    QVERIFY(QFile::remove(SettingsPath()));
    if (settings == "<folder>") {
        QVERIFY(QDir().mkpath(SettingsPath()));
    } else {
        QVERIFY(WriteFile(SettingsPath(), settings.replace('@', QFile::encodeName(storage))));
    }
    {
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 2);
        QCOMPARE(Entries(storage), photos);
        QCOMPARE(Undecodable(storage, photos), QString());
        QCOMPARE(dlg->SaveNotice()->isVisible(), !notice.isEmpty());
        QVERIFY(dlg->SaveNotice()->text().contains(notice));
        QVERIFY(Responsive(*dlg));
    }
    if (after == "<folder>") {
        QVERIFY(QFileInfo(SettingsPath()).isDir());
    } else {
        QCOMPARE(ReadBytes(SettingsPath()), after.replace('@', QFile::encodeName(storage)));
    }
}

// ---------------------------------------------------------------------------------------------
// Filesystems

enum Quirk { kNoRenameFlags = 1, kNoLinks = 2, kNoRenames = 4, kTakeFirstName = 8, kFullDisk = 16 };

void HostileFilesystemsTest::filesystemFaults_data() {
    QTest::addColumn<int>("quirks");
    QTest::addColumn<QStringList>("photos");
    QTest::addColumn<QStringList>("notice");  // what the notice says; empty: none shown
    const QStringList two{"Image1.jpg", "Image3.jpg"};
    QTest::newRow("FUSE without no-replace renames or links")
        << (kNoRenameFlags | kNoLinks) << two << QStringList();
    QTest::newRow("FUSE without any renames")
        << (kNoRenameFlags | kNoLinks | kNoRenames) << two << QStringList();
    QTest::newRow("another program takes the name")
        << int(kTakeFirstName) << QStringList{"Image3.jpg", "Image5.jpg"} << QStringList();
    // A photo that was not written uses no number, so the counter is not stored either.
    QTest::newRow("full disk") << int(kFullDisk) << QStringList() << QStringList{"磁盘空间不足"};
}

void HostileFilesystemsTest::filesystemFaults() {
    QFETCH(int, quirks);
    QFETCH(QStringList, photos);
    QFETCH(QStringList, notice);
    const QString mount = home_->FilePath(u"mnt"_qs);
    const QString backing = home_->FilePath(u"backing"_qs);
    QVERIFY(QDir().mkpath(mount) && QDir().mkpath(backing));
    std::unique_ptr<TestFuseMount> fuse;
    std::unique_ptr<TmpfsMount> tmpfs;
    if ((quirks & kFullDisk) != 0) {
        tmpfs = std::make_unique<TmpfsMount>(mount, 256 * 1024);
        QVERIFY(tmpfs->IsMounted());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(mount + u"/config"_qs));
    } else {
        fuse = std::make_unique<TestFuseMount>(
            backing, mount,
            FuseQuirks{(quirks & kNoRenameFlags) != 0, (quirks & kNoLinks) != 0,
                       (quirks & kNoRenames) != 0, (quirks & kTakeFirstName) != 0});
        QVERIFY(fuse->IsMounted());
    }
    const QString storage = mount + u"/Scan"_qs;
    QVERIFY(QDir().mkpath(storage));
    QVERIFY(CIniFile().WriteString(qvini::kPic, qvini::kPicPath, storage));
    QVERIFY(CIniFile().WriteInt(qvini::kPic, qvini::kNameMode, 1));
    if ((quirks & kFullDisk) != 0) {
        QFile filler(mount + u"/filler"_qs);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
    }
    const QByteArray settings = ReadBytes(SettingsPath());
    {
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 2);
        QStringList expected = photos;
        if ((quirks & kTakeFirstName) != 0) {
            // The other program's file is kept, and the strip names where the photo went.
            QCOMPARE(ReadBytes(storage + u"/Image1.jpg"_qs), QByteArray("another program"));
            expected.prepend(u"Image1.jpg"_qs);
            QCOMPARE(dlg->Thumbnails()->Cell(1).path, storage + u"/Image3.jpg"_qs);
        }
        QCOMPARE(Entries(storage), expected);
        QCOMPARE(Undecodable(storage, photos), QString());
        QCOMPARE(dlg->SaveNotice()->isVisible(), !notice.isEmpty());
        for (const QString& part : notice) {
            QVERIFY2(dlg->SaveNotice()->text().contains(part), qPrintable(part));
        }
        QVERIFY(Responsive(*dlg));
    }
    if ((quirks & kFullDisk) != 0) {
        // The file that holds the counter is as it was.
        QCOMPARE(ReadBytes(SettingsPath()), settings);
        QCOMPARE(Entries(QFileInfo(SettingsPath()).path()), QStringList{"Quorvane.ini"});
    }
}

// ---------------------------------------------------------------------------------------------
// Saves cut short by a crash

void HostileFilesTest::crashLeftovers_data() {
    QTest::addColumn<QByteArray>("stage");
    QTest::addColumn<bool>("settingsFolder");  // the settings file was being saved
    QTest::newRow("empty photo") << QByteArray("empty") << false;
    QTest::newRow("truncated photo") << QByteArray("truncated") << false;
    QTest::newRow("settings file") << QByteArray("settings") << true;
    QTest::newRow("photo still being written") << QByteArray("in use") << false;
}

void HostileFilesTest::crashLeftovers() {
    QFETCH(QByteArray, stage);
    QFETCH(bool, settingsFolder);
    // Folders this process has not saved into yet, as in a new run after the crash.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_->FilePath(u"after-crash"_qs)));
    QVERIFY(QDir().mkpath(QFileInfo(SettingsPath()).path()));
    const QString storage = home_->Storage();
    const QByteArray settings = "[PIC]\npicpath=" + QFile::encodeName(storage) + "\nnamemode=1\n";
    QVERIFY(WriteFile(SettingsPath(), settings));
    const QString folder = settingsFolder ? QFileInfo(SettingsPath()).path() : storage;
    const QString target = settingsFolder ? SettingsPath() : storage + u"/Image1.jpg"_qs;

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {u"--crash-save"_qs, target, QString::fromLatin1(stage)});
    const bool inUse = stage == "in use";
    if (inUse) {
        QVERIFY(child.waitForReadyRead(20000));
    } else {
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    }
    const QStringList leftover =
        QDir(folder).entryList({u".quorvane-*"_qs}, QDir::Hidden | QDir::Files);
    QCOMPARE(leftover.size(), 1);  // what the crash left
    if (settingsFolder) {
        QCOMPARE(ReadBytes(SettingsPath()), settings);
    }
    {
        auto dlg = Open();
        QVERIFY(dlg);
        Press(*dlg, 1);
        QVERIFY(Responsive(*dlg));
    }
    // A save still in progress keeps its file; what crashes left is gone.
    const QStringList expected =
        inUse ? QStringList{leftover[0], u"Image1.jpg"_qs} : QStringList{u"Image1.jpg"_qs};
    QCOMPARE(Entries(storage), expected);
    QCOMPARE(Undecodable(storage, {u"Image1.jpg"_qs}), QString());
    QCOMPARE(Entries(QFileInfo(SettingsPath()).path()), QStringList{"Quorvane.ini"});
    if (inUse) {
        child.kill();
        child.waitForFinished();
    }
}

// ---------------------------------------------------------------------------------------------
// Special files where the program expects a regular one

void HostileFilesTest::specialFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("notice");
    QTest::newRow("FIFO as the settings file") << u"fifo"_qs << u"不是普通文件"_qs;
    QTest::newRow("settings file linked to /dev/zero") << u"zero"_qs << u"不是普通文件"_qs;
    QTest::newRow("settings file of 64 MiB") << u"huge"_qs << u"文件过大"_qs;
    QTest::newRow("FIFO opened from the thumbnail strip") << u"photo"_qs << QString();
}

void HostileFilesTest::specialFiles() {
    QFETCH(QString, kind);
    QFETCH(QString, notice);
    const QByteArray settings = QFile::encodeName(SettingsPath());
    const QString documents = home_->FilePath(u"Documents"_qs);
    QVERIFY(QDir().mkpath(documents));
    if (kind != u"photo") {
        QVERIFY(QFile::remove(SettingsPath()));
    }
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(settings.constData(), 0600), 0);
    } else if (kind == u"zero") {
        QCOMPARE(::symlink("/dev/zero", settings.constData()), 0);
    } else if (kind == u"huge") {
        QFile huge(SettingsPath());
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(64) << 20));
    }
    struct stat before {};
    QCOMPARE(::lstat(settings.constData(), &before), 0);

    auto dlg = Open();  // start-up never waits for a writer nor reads without end
    QVERIFY(dlg);
    QCOMPARE(dlg->SaveNotice()->isVisible(), !notice.isEmpty());
    QVERIFY(dlg->SaveNotice()->text().contains(notice));
    Press(*dlg, 1);
    if (kind == u"photo") {
        const QString photo = home_->Storage() + u"/Image201203051407090.jpg"_qs;
        QVERIFY(QFile::remove(photo));
        QCOMPARE(::mkfifo(QFile::encodeName(photo).constData(), 0600), 0);
        SendWindowMessage(dlg.get(), qvmsg::kSetWorkMode, 1, 0);
        CPicItem* still = dlg->WorkRegion()->GetPictureItem();
        QCOMPARE(still->GetFilePath(), photo);
        QVERIFY(!still->GetWorkImage().IsValid());
    } else {
        // Running on the defaults: photos go to the documents folder.
        const QStringList photos{u"Image201203051407090.jpg"_qs};
        QCOMPARE(Entries(documents), photos);
        QCOMPARE(Undecodable(documents, photos), QString());
        // and the special file is left as it was.
        struct stat now {};
        QCOMPARE(::lstat(settings.constData(), &now), 0);
        QCOMPARE(now.st_mode, before.st_mode);
        QCOMPARE(now.st_size, before.st_size);
    }
    QVERIFY(Responsive(*dlg));
}

// Why this process cannot make the mounts the filesystem group needs; empty when it can. Run
// while the process has one thread.
static QString MissingMounts() {
    QString why;
    if (!EnterPrivateMountNamespace(&why)) {
        return why;
    }
    QTemporaryDir probe;
    const QString tmpfs = probe.filePath(u"tmpfs"_qs);
    const QString backing = probe.filePath(u"backing"_qs);
    const QString fuse = probe.filePath(u"fuse"_qs);
    if (!QDir().mkpath(tmpfs) || !QDir().mkpath(backing) || !QDir().mkpath(fuse)) {
        return u"no temporary folder"_qs;
    }
    if (!TmpfsMount(tmpfs, 64 * 1024).IsMounted()) {
        return u"this machine refuses a tmpfs mount"_qs;
    }
    if (!TestFuseMount(backing, fuse, {}).IsMounted()) {
        return u"this machine refuses a FUSE mount (is /dev/fuse there and usable?)"_qs;
    }
    return {};
}

// "--filesystems" runs the group that needs mounts (mounts that vanish with this process), or
// exits with 77 where the machine allows none; otherwise the other groups run.
int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--crash-save") == 0) {
        return CrashDuringSave(QFile::decodeName(argv[2]), argv[3]);
    }
    std::vector<char*> args(argv, argv + argc);
    const bool filesystems = argc > 1 && std::strcmp(argv[1], "--filesystems") == 0;
    if (filesystems) {
        args.erase(args.begin() + 1);
        const QString missing = MissingMounts();
        if (!missing.isEmpty()) {
            std::printf("SKIP: %s\n", qPrintable(missing));
            return 77;
        }
    }
    int count = int(args.size());
    QApplication app(count, args.data());
    HostileFilesTest files;
    HostileFilesystemsTest mounts;
    return QTest::qExec(filesystems ? static_cast<QObject*>(&mounts) : &files, count, args.data());
}

#include "test_hostile_files.moc"
