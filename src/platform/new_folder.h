#pragma once
// Making one new folder inside another, as the new-folder dialog does: only the one folder (a
// missing parent is not made on the way, and an existing folder is not taken over), with a
// reason the user can read when nothing was made.

#include <QString>

struct NewFolderResult {
    QString path;     // the new folder; empty when none was made
    QString failure;  // why none was made; empty when one was
};

// The name is trimmed and checked as name_rules.h says; it may hold "/" to make a folder inside
// an existing sub-folder.
NewFolderResult MakeNewFolder(const QString& parent, const QString& typed);
