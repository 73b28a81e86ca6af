#include "platform/atomic_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

namespace {

constexpr char kTemporaryPrefix[] = ".quorvane-";
constexpr qsizetype kTemporaryPrefixLength = sizeof kTemporaryPrefix - 1;
constexpr qsizetype kRandomLength = 6;  // the XXXXXX of mkstemps
constexpr qsizetype kNameMax = 255;     // bytes in one name on every filesystem we write to
// Renames that find the name taken before the save gives up: each new name was free when it was
// chosen, so only a folder filling up as fast as we name gets near this.
constexpr int kMaxNameTries = 100;
// Where locks are not supported a leftover cannot be told from a save in progress by its lock;
// it is taken for stale only once no save could still be writing it.
constexpr time_t kUnlockableStaleSeconds = 3600;

QString ReasonForErrno(int error, const QString& folder) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘空间不足，无法保存到 %1").arg(folder);
        case EACCES:
        case EPERM:
        case EROFS:
            return QStringLiteral("没有写入权限：%1").arg(folder);
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("文件夹不存在：%1").arg(folder);
        case EEXIST:
            return QStringLiteral("文件已存在，未覆盖");
        case ENAMETOOLONG:
            return QStringLiteral("文件名或路径太长：%1").arg(folder);
        default:
            return QStringLiteral("保存失败：%1").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

bool Fail(QString* reason, QString text) {
    if (reason) {
        *reason = std::move(text);
    }
    return false;
}

// An encoder that fails may leave errno from some later call; a folder with no room left is
// the likeliest cause of a failed write once the file could be created.
bool FolderIsFull(const QByteArray& folder) {
    struct statvfs info {};
    return ::statvfs(folder.constData(), &info) == 0 && info.f_bavail == 0;
}

void SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// ---------------------------------------------------------------------------------------------
// Leftovers of saves that never finished

bool IsTemporaryName(const char* name) {
    if (std::strncmp(name, kTemporaryPrefix, kTemporaryPrefixLength) != 0) {
        return false;
    }
    const char* random = name + kTemporaryPrefixLength;
    for (qsizetype i = 0; i < kRandomLength; ++i) {
        if (std::isalnum(static_cast<unsigned char>(random[i])) == 0) {
            return false;
        }
    }
    return random[kRandomLength] == '\0' || random[kRandomLength] == '.';
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A save in progress holds its temporary file's lock, and a crashed one released it.
void RemoveIfStale(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    bool stale = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            stale = true;
        } else if (errno != EWOULDBLOCK) {
            stale = std::time(nullptr) - info.st_mtime > kUnlockableStaleSeconds;
        }
    }
    struct stat now {};
    if (stale && ::fstatat(folder, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, info)) {
        ::unlinkat(folder, name, 0);
    }
    ::close(fd);
}

// Once per folder and run: leftovers come from crashes, not from this run's own saves.
void RemoveStaleTemporaries(const QByteArray& folder) {
    static std::mutex mutex;
    static std::set<QByteArray> cleaned;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!cleaned.insert(folder).second) {
            return;
        }
    }
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (IsTemporaryName(entry->d_name)) {
            RemoveIfStale(::dirfd(dir), entry->d_name);
        }
    }
    ::closedir(dir);
}

// ---------------------------------------------------------------------------------------------
// The temporary file

struct Temporary {
    int fd = -1;
    QByteArray path;

    void Discard() {
        ::unlink(path.constData());
        ::close(fd);
    }
};

// The final extension is kept, so that a writer choosing the format by the name's extension
// chooses the same one, unless it would make the name longer than a name may be.
QByteArray TemporarySuffix(const QFileInfo& target) {
    if (target.suffix().isEmpty()) {
        return {};
    }
    const QByteArray suffix = QFile::encodeName(u'.' + target.suffix());
    const bool fits = kTemporaryPrefixLength + kRandomLength + suffix.size() <= kNameMax;
    return fits ? suffix : QByteArray();
}

// Created, locked and still in the folder: a cleaner in another copy of the program may have
// removed it between its creation and the lock.
bool CreateTemporary(const QByteArray& folder, const QByteArray& suffix, mode_t mode,
                     Temporary& temporary) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        QByteArray name = folder + '/' + kTemporaryPrefix + QByteArray(kRandomLength, 'X') + suffix;
        const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        ::flock(fd, LOCK_EX);
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        // mkstemps makes the file private; the saved file gets the permissions it should have.
        ::fchmod(fd, mode);
        temporary = Temporary{fd, name};
        return true;
    }
    errno = EAGAIN;
    return false;
}

// What a new file in the folder gets, or what the file being replaced has.
mode_t ModeFor(const QByteArray& path, bool replace) {
    struct stat info {};
    if (replace && ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        return info.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int CopyContent(int from, int to) {
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(from, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got < 0 ? errno : 0;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, size_t(got - done));
            if (put < 0 && errno != EINTR) {
                return errno;
            }
            done += put > 0 ? put : 0;
        }
        offset += got;
    }
}

// Neither no-replace renames nor hard links (phones over MTP, some FUSE mounts): creating the
// final name exclusively claims it; the file is renamed over that empty claim or, where renames
// fail as well, written into it.
int PlaceWithoutLinks(const Temporary& temporary, const QByteArray& to, mode_t mode) {
    const int claim = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (claim < 0) {
        return errno;
    }
    if (::rename(temporary.path.constData(), to.constData()) == 0) {
        ::close(claim);
        return 0;
    }
    int error = CopyContent(temporary.fd, claim);
    if (error == 0 && ::fsync(claim) != 0) {
        error = errno;
    }
    if (::close(claim) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(to.constData());
        return error;
    }
    ::unlink(temporary.path.constData());
    return 0;
}

// 0 once the file is under its name, or the errno of the failure (EEXIST: the name is taken).
// Where a way of placing it fails for any other reason, the next is tried, so that what is
// reported in the end is the cause that stopped the last one.
int MoveIntoPlace(const Temporary& temporary, const QByteArray& to, bool replace, mode_t mode) {
    const char* from = temporary.path.constData();
    if (replace) {
        return ::rename(from, to.constData()) == 0 ? 0 : errno;
    }
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    // Filesystems without RENAME_NOREPLACE: a hard link fails as well when the name is taken.
    if (::link(from, to.constData()) == 0) {
        ::unlink(from);
        return 0;
    }
    return errno == EEXIST ? EEXIST : PlaceWithoutLinks(temporary, to, mode);
}

QString Save(QString path, const std::function<QString()>& nextName, const FileWriter& write,
             QString* reason, bool replace) {
    if (path.isEmpty()) {
        Fail(reason, QStringLiteral("保存路径为空"));
        return {};
    }
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        Fail(reason, ReasonForErrno(ENOENT, folder));
        return {};
    }
    const QByteArray folderBytes = QFile::encodeName(folder);
    RemoveStaleTemporaries(folderBytes);
    const mode_t mode = ModeFor(QFile::encodeName(path), replace);
    Temporary temporary;
    if (!CreateTemporary(folderBytes, TemporarySuffix(target), mode, temporary)) {
        Fail(reason, ReasonForErrno(errno, folder));
        return {};
    }

    errno = 0;
    if (!write(QFile::decodeName(temporary.path))) {
        const int error = errno;
        temporary.Discard();
        if (error == ENOSPC || error == EDQUOT || FolderIsFull(folderBytes)) {
            Fail(reason, ReasonForErrno(ENOSPC, folder));
        } else {
            Fail(reason, error ? ReasonForErrno(error, folder) : QStringLiteral("保存失败"));
        }
        return {};
    }
    // The file must be on the disk before its name is.
    if (::fsync(temporary.fd) != 0) {
        const int error = errno;
        temporary.Discard();
        Fail(reason, ReasonForErrno(error, folder));
        return {};
    }
    for (int tries = 1;; ++tries) {
        const int error = MoveIntoPlace(temporary, QFile::encodeName(path), replace, mode);
        if (error == 0) {
            ::close(temporary.fd);
            if (replace) {
                SyncFolder(folderBytes);  // the replacement itself survives a power cut
            }
            return path;
        }
        if (error != EEXIST || !nextName || tries == kMaxNameTries) {
            temporary.Discard();
            Fail(reason, ReasonForErrno(error, folder));
            return {};
        }
        path = nextName();
        if (path.isEmpty()) {
            temporary.Discard();
            Fail(reason, QStringLiteral("没有可用的文件名：%1").arg(folder));
            return {};
        }
    }
}

}  // namespace

bool SaveAtomically(const QString& path, const FileWriter& write, QString* reason, bool replace) {
    return !Save(path, {}, write, reason, replace).isEmpty();
}

QString SaveUnderFreeName(const QString& path, const std::function<QString()>& nextName,
                          const FileWriter& write, QString* reason) {
    return Save(path, nextName, write, reason, false);
}
