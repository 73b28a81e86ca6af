#include "settings/ini_file.h"

#include "platform/profile_file.h"
#include "platform/user_folders.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace {

QString DefaultSettingsPath() {
    const QString folder = SettingsFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("Quorvane.ini");
}

// Cuts to the limit in UTF-16 units as the stored length is counted, without splitting a
// surrogate pair.
QString CutToLength(QString text, qsizetype limit) {
    if (text.size() <= limit) {
        return text;
    }
    if (text.at(limit - 1).isHighSurrogate()) {
        --limit;
    }
    text.truncate(limit);
    return text;
}

}  // namespace

CIniFile::CIniFile() : path_(DefaultSettingsPath()) {}

CIniFile::CIniFile(QString path) : path_(std::move(path)) {}

CIniFile::~CIniFile() = default;

int CIniFile::EnsureFile() {
    if (path_.isEmpty()) {
        return 0;
    }
    // Opens an existing file or creates an empty one in one step; without O_TRUNC a file that
    // exists but could not be opened for some other reason is never emptied.
    const int fd =
        ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return 0;
    }
    ::close(fd);
    return 1;
}

bool CIniFile::WriteInt(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool CIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    return !path_.isEmpty() && WriteProfileString(section, key, value, path_);
}

int CIniFile::ReadInt(const QString& section, const QString& key, int defaultValue) const {
    return ReadProfileInt(section, key, defaultValue, path_);
}

QString CIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    return CutToLength(ReadProfileString(section, key, defaultValue, path_), kMaxValueLength);
}
