#include "platform/regular_file.h"

#include <QFile>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFile(const QString& path, int flags, mode_t mode, qint64 maxBytes) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        error = ENODEV;
    } else if (maxBytes >= 0 && info.st_size > maxBytes) {
        error = EFBIG;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes) {
    const int fd = OpenRegularFile(path, O_RDONLY, 0, maxBytes);
    if (fd < 0) {
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        // The size was checked when it was opened, but the file may grow while it is read.
        if (got < 0 || (maxBytes >= 0 && bytes.size() + got > maxBytes)) {
            const int error = got < 0 ? errno : EFBIG;
            ::close(fd);
            errno = error;
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, got);
    }
    ::close(fd);
    return bytes;
}
