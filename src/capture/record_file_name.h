#pragma once
// File names of recordings: "%s/%s%05dd.%s" with the recording folder, the prefix, the
// recording counter (five digits with leading zeros, followed by the letter d) and the
// extension of the recording format ("wmv" for 0, "avi" for 1, empty for any other value, which
// records AVI).

#include <QString>
#include <cstdint>
#include <functional>

// Extension of a recording format.
QString RecordExtension(int format);

// The name for counter value n, without looking at the disk.
QString BuildRecordPath(const QString& folder, const QString& prefix, int64_t n,
                        const QString& extension);

// The next recording's path; counter advances past it. A recording never replaces a file:
// while the built path is taken (exists says so; a file, folder or link on disk when empty) the
// counter moves on. Empty when every number is taken.
QString NextRecordPath(const QString& folder, const QString& prefix, int32_t& counter,
                       const QString& extension,
                       const std::function<bool(const QString&)>& exists = {});
