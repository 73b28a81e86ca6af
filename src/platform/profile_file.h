#pragma once
// Profile (INI) files with the semantics the settings store was written against: sections in
// square brackets, key=value lines, section and key names compared without regard to case,
// spaces around names and values ignored, and every line that is not a key (comments, blank
// lines, other sections) kept as it stands when a value is written.
//
// Files written on Windows read correctly: CRLF line ends and a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark are understood (a file without one is UTF-8, or GB18030 when it is not valid
// UTF-8). Writes store UTF-8 without a byte-order mark and LF line ends, and reach the disk
// atomically: the old file stays as it was until the new one is complete.

#include <QString>

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
// breaks anywhere, "=" in the key, "]" in the section, an empty name).
bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const QString& path);
