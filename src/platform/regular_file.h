#pragma once
// Files the program opens on its own (the settings file, pictures from the thumbnail strip) are
// opened only when they are regular files: opening a FIFO blocks the calling thread until some
// writer appears, and a device such as /dev/zero never ends.

#include <QByteArray>
#include <QString>
#include <optional>

#include <sys/types.h>

// A descriptor of path (links followed) opened with flags (O_CREAT allowed, with mode), or -1
// with errno set: EISDIR for a folder, ENODEV for a FIFO, socket or device, EFBIG for a file of
// more than maxBytes (no limit when negative). Never blocks, whatever path names.
int OpenRegularFile(const QString& path, int flags, mode_t mode = 0, qint64 maxBytes = -1);

// The whole of a regular file of at most maxBytes; nullopt with errno set as above, or as the
// read failed.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes);
