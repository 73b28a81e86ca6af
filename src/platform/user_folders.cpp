#include "platform/user_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString HomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (QDir::isAbsolutePath(home)) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return QFile::decodeName(entry->pw_dir);
    }
    return QString();
}

// XDG base folders are private to their user: every folder made on the way gets mode 0700.
bool MakePrivatePath(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    qsizetype from = 1;
    while (from <= clean.size()) {
        qsizetype slash = clean.indexOf(u'/', from);
        if (slash < 0) {
            slash = clean.size();
        }
        const QByteArray part = QFile::encodeName(clean.left(slash));
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        from = slash + 1;
    }
    return QFileInfo(clean).isDir();
}

}  // namespace

QString SettingsFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base)) {
        const QString home = HomeFolder();
        if (home.isEmpty()) {
            return QString();
        }
        base = home + QStringLiteral("/.config");
    }
    const QString folder = QDir::cleanPath(base + QStringLiteral("/quorvane"));
    MakePrivatePath(folder);
    return folder + u'/';
}

QString DocumentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
