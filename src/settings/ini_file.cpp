#include "settings/ini_file.h"

#include "platform/profile_file.h"
#include "platform/regular_file.h"
#include "platform/user_folders.h"

#include <QFile>

#include <cerrno>

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
    problem_.clear();
    if (path_.isEmpty()) {
        problem_ = QStringLiteral("找不到用户的设置文件夹，本次运行使用默认设置");
        return 0;
    }
    // Opens an existing file or creates an empty one in one step; without O_TRUNC a file that
    // exists but could not be opened for some other reason is never emptied.
    const int fd = OpenRegularFile(path_, O_RDONLY | O_CREAT, 0600, kMaxProfileFileBytes);
    if (fd < 0) {
        problem_ = QStringLiteral("设置文件无法使用，本次运行使用默认设置：%1（%2）")
                       .arg(path_, ProfileReadProblem(errno));
        return 0;
    }
    ::close(fd);
    return 1;
}

bool CIniFile::WriteInt(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool CIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    QString reason = QStringLiteral("找不到用户的设置文件夹");
    if (!path_.isEmpty() && WriteProfileString(section, key, value, path_, &reason)) {
        return true;
    }
    if (writeFailed_) {
        writeFailed_(reason);
    }
    return false;
}

int CIniFile::ReadInt(const QString& section, const QString& key, int defaultValue) const {
    return ReadProfileInt(section, key, defaultValue, path_);
}

QString CIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    return CutToLength(ReadFolder(section, key, defaultValue), kMaxValueLength);
}

QString CIniFile::ReadFolder(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    return ReadProfileString(section, key, defaultValue, path_);
}
