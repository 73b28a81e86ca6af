#pragma once
// The program's settings file, "Quorvane.ini" in the per-user settings folder: its path, making
// sure it exists, and the reads and writes the program needs.

#include <QString>
#include <functional>

class CIniFile {
public:
    // Values longer than this many characters are cut to it when read, except folders.
    static constexpr qsizetype kMaxValueLength = 255;

    // The settings file in the user's settings folder; an empty path when there is no such
    // folder, which every operation then treats as a file that cannot be opened.
    CIniFile();
    explicit CIniFile(QString path);
    virtual ~CIniFile();

    const QString& Path() const { return path_; }

    // 1 when the file exists or was created empty, 0 when it can be neither opened nor created,
    // or is no regular file of a sensible size (then Problem() says why). An existing file is
    // never truncated.
    int EnsureFile();
    // Why the last EnsureFile returned 0, in words for the user; empty after a 1.
    const QString& Problem() const { return problem_; }

    // True when the value reached the disk; a failed write leaves the file as it was and tells
    // the failure handler why.
    bool WriteInt(const QString& section, const QString& key, int value);
    bool WriteString(const QString& section, const QString& key, const QString& value);
    void SetWriteFailureHandler(std::function<void(const QString& reason)> handler) {
        writeFailed_ = std::move(handler);
    }

    // defaultValue when the key is missing or empty; see ReadProfileInt for the conversion.
    int ReadInt(const QString& section, const QString& key, int defaultValue) const;
    // The value, or defaultValue when the key is missing, cut to kMaxValueLength characters.
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // A folder: as ReadString, but whole, as paths here may be far longer than a name.
    QString ReadFolder(const QString& section, const QString& key,
                       const QString& defaultValue) const;

private:
    QString path_;
    QString problem_;
    std::function<void(const QString& reason)> writeFailed_;
};
