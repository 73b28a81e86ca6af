#include "ui/folder_browser.h"

#include <QFileDialog>

namespace {
FolderBrowser& Installed() {
    static FolderBrowser browser;
    return browser;
}
}  // namespace

QString BrowseForFolder(QWidget* owner, const QString& caption, const QString& start) {
    if (Installed())
        return Installed()(owner, caption, start);
    // The chooser offers a field for typing a path and a button for making a new folder.
    return QFileDialog::getExistingDirectory(owner, caption, start, QFileDialog::ShowDirsOnly);
}

FolderBrowser SetFolderBrowser(FolderBrowser browser) {
    return std::exchange(Installed(), std::move(browser));
}
