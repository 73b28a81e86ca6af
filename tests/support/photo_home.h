#pragma once
// A throw-away home for end-to-end photo tests: HOME and XDG_CONFIG_HOME point into a temporary
// folder, and the settings file names its "Scan" folder as the storage folder.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "settings/ini_file.h"
#include "settings/stored_settings.h"

class PhotoHome {
public:
    // False when the folder or the settings file could not be made.
    bool Make() {
        if (!home_.isValid()) {
            return false;
        }
        qputenv("HOME", home_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home_.filePath(QStringLiteral("config")).toLocal8Bit());
        storage_ = home_.filePath(QStringLiteral("Scan"));
        CIniFile settings;
        return QDir().mkpath(storage_) && settings.EnsureFile() == 1 &&
               settings.WriteString(qvini::kPic, qvini::kPicPath, storage_);
    }
    const QString& Storage() const { return storage_; }
    QString FilePath(const QString& name) const { return home_.filePath(name); }
    QString Path() const { return home_.path(); }

private:
    QTemporaryDir home_;
    QString storage_;
};
