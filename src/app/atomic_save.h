#pragma once
// Saving a file so that its name only ever holds a complete file: the content is written to a
// temporary file in the same folder, which is renamed to the final name once it is complete. A
// crash, a full disk or a failed encoder leaves no truncated file under the name.

#include <QString>
#include <functional>

// write(temporaryPath) writes the whole file there and returns true on success. Without replace,
// an existing file under path is never overwritten (the save fails instead). On failure returns
// false, leaves nothing behind and, when reason is not null, says why in words for the user.
bool SaveAtomically(const QString& path, const std::function<bool(const QString&)>& write,
                    QString* reason, bool replace = false);
