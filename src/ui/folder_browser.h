#pragma once
// The folder browser of the settings dialogs: the platform's folder chooser with a caption. The
// program uses the desktop's chooser; tests install a stand-in. User-interface thread only.

#include <QString>
#include <functional>

class QWidget;

// The chosen folder, or an empty string when the user cancelled; the chooser opens at start.
using FolderBrowser =
    std::function<QString(QWidget* owner, const QString& caption, const QString& start)>;
QString BrowseForFolder(QWidget* owner, const QString& caption, const QString& start);
// Replaces the browser and returns the previous one; an empty browser restores the desktop's.
FolderBrowser SetFolderBrowser(FolderBrowser browser);
