#pragma once
// Saving a file so that its name only ever holds a complete file: the content is written to a
// temporary file in the same folder, which is renamed to the final name once it is complete. A
// crash, a full disk or a failed encoder leaves no truncated file under the name.
//
// Temporary files are hidden, named ".quorvane-XXXXXX" followed by the final name's extension,
// and locked for as long as they are written. One that a crash left behind is removed by the
// first save into its folder in a later run (or by another copy of the program), never while a
// running save holds it.

#include <QString>
#include <functional>

// Writes the whole file at the temporary path given; true on success.
using FileWriter = std::function<bool(const QString& temporaryPath)>;

// Without replace, an existing file under path is never overwritten (the save fails instead). On
// failure returns false, leaves nothing behind and, when reason is not null, says why in words
// for the user.
bool SaveAtomically(const QString& path, const FileWriter& write, QString* reason,
                    bool replace = false);

// As SaveAtomically without replace, but when the name was taken between choosing it and the
// file being complete (another program, or another copy of this one, saved under it meanwhile),
// the file goes under the name nextName() gives instead, in the same folder. Returns the path the
// file was saved under; empty on failure, with the reason as above.
QString SaveUnderFreeName(const QString& path, const std::function<QString()>& nextName,
                          const FileWriter& write, QString* reason);
