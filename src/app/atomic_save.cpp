#include "app/atomic_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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
        default:
            return QStringLiteral("保存失败：%1").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

// An encoder that fails may leave errno from some later call; a folder with no room left is
// the likeliest cause of a failed write once the file could be created.
bool FolderIsFull(const QByteArray& folder) {
    struct statvfs info {};
    return ::statvfs(folder.constData(), &info) == 0 && info.f_bavail == 0;
}

bool MoveIntoPlace(const QByteArray& from, const QByteArray& to, bool replace) {
    if (replace) {
        return ::rename(from.constData(), to.constData()) == 0;
    }
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // Filesystems without RENAME_NOREPLACE: a hard link fails as well when the name is taken.
    if (::link(from.constData(), to.constData()) != 0) {
        return false;
    }
    ::unlink(from.constData());
    return true;
}

bool Fail(QString* reason, QString text) {
    if (reason) {
        *reason = std::move(text);
    }
    return false;
}

}  // namespace

bool SaveAtomically(const QString& path, const std::function<bool(const QString&)>& write,
                    QString* reason, bool replace) {
    if (path.isEmpty()) {
        return Fail(reason, QStringLiteral("保存路径为空"));
    }
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        return Fail(reason, ReasonForErrno(ENOENT, folder));
    }
    const QByteArray folderBytes = QFile::encodeName(folder);
    // Hidden, unique, and ending in the final extension, so that a writer choosing the format
    // by the name's extension chooses the same one.
    const QString suffix = target.suffix().isEmpty() ? QString() : u'.' + target.suffix();
    const QByteArray suffixBytes = QFile::encodeName(suffix);
    QByteArray temporary =
        QFile::encodeName(folder + QStringLiteral("/.") + target.completeBaseName() +
                          QStringLiteral("-XXXXXX")) +
        suffixBytes;
    const int fd = ::mkstemps(temporary.data(), static_cast<int>(suffixBytes.size()));
    if (fd < 0) {
        return Fail(reason, ReasonForErrno(errno, folder));
    }
    // mkstemps makes the file private; a photo gets the permissions any new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    const QString temporaryPath = QFile::decodeName(temporary);

    errno = 0;
    if (!write(temporaryPath)) {
        const int error = errno;
        ::unlink(temporary.constData());
        if (error == ENOSPC || error == EDQUOT || FolderIsFull(folderBytes)) {
            return Fail(reason, ReasonForErrno(ENOSPC, folder));
        }
        return Fail(reason, error ? ReasonForErrno(error, folder) : QStringLiteral("保存失败"));
    }
    // The picture must be on the disk before its name is.
    const int written = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC);
    if (written >= 0) {
        const int syncResult = ::fsync(written);
        const int syncError = errno;
        ::close(written);
        if (syncResult != 0) {
            ::unlink(temporary.constData());
            return Fail(reason, ReasonForErrno(syncError, folder));
        }
    }
    const QByteArray finalName = QFile::encodeName(path);
    if (!MoveIntoPlace(temporary, finalName, replace)) {
        const int error = errno;
        ::unlink(temporary.constData());
        return Fail(reason, ReasonForErrno(error, folder));
    }
    return true;
}
