#pragma once
// What the user may type as a name: a photo or recording name prefix, or a new folder. A name
// is joined to a folder the user chose, so it must stay inside it: no "/" in a prefix, and
// neither "." nor ".." as a name (they name the folder itself and its parent).

#include <QString>

// Why the prefix cannot start file names, in words for the user; empty when it can. An empty
// prefix can: the names are then the suffix alone.
QString NamePrefixProblem(const QString& prefix);

// The name a new folder is made under: the typed name without the spaces around it.
QString NewFolderName(const QString& typed);

// Why the (trimmed) name cannot name a new folder inside the current one; empty when it can.
// "/" is allowed between parts, to make a folder inside an existing sub-folder.
QString NewFolderNameProblem(const QString& name);
