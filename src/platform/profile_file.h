#pragma once
// Profile (INI) files with the semantics the settings store was written against: sections in
// square brackets, key=value lines, section and key names compared without regard to case,
// spaces around names and values ignored, and every line that is not a key (comments, blank
// lines, other sections) kept as it stands when a value is written.
//
// Files written on Windows read correctly: CRLF line ends and a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark are understood. Without a mark each line is read on its own: as UTF-8, or as
// GB18030 when it is not valid UTF-8, or else byte for byte as Latin-1. A write changes only the
// bytes of the line it changes (written in UTF-8, or UTF-16 in a UTF-16 file; new lines end as
// the file's lines do), and reaches the disk atomically: the old file stays as it was until the
// new one is complete.
//
// Only regular files of at most kMaxProfileFileBytes are read: anything else (a folder, a FIFO,
// a device) reads as a file that cannot be opened, and is never replaced by a write.

#include <QString>

constexpr qint64 kMaxProfileFileBytes = qint64(4) << 20;

// Why a profile file cannot be read, in words for the user, for the errno of the failed read.
QString ProfileReadProblem(int error);

// The value of key in section, trimmed; defaultValue when the file, section or key is missing.
QString ReadProfileString(const QString& section, const QString& key, const QString& defaultValue,
                          const QString& path);

// The value read as an optional sign followed by decimal digits (0 when it starts with neither;
// clamped to the int range); defaultValue when the key is missing or its value is empty.
int ReadProfileInt(const QString& section, const QString& key, int defaultValue,
                   const QString& path);

// Replaces the value of the first matching key, or adds the key at the end of its section, or
// adds the section at the end of the file. False, with the file left as it was, when the file
// cannot be read or written, or when a name or the value would break the file's structure (line
// breaks anywhere, "=" in the key, "]" in the section, an empty name); reason, when not null,
// then says why in words for the user.
bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& path, QString* reason = nullptr);
