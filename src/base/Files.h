#pragma once

#include <QString>

namespace zendrel {

// Whether a path names a regular file (after symbolic links). A FIFO, a device or a directory in its place
// would hang a reader or be written through, so files read or written by name are checked first.
bool isRegularFile(const QString& path);
// Whether nothing is there yet or a regular file is: a file that may be created or rewritten by name.
bool isAbsentOrRegularFile(const QString& path);
// Overwrites a private file that held secrets (a report's pages on their way to the printer) with zeros and
// removes it, so that its blocks do not keep the passwords; a link is removed, never followed. False when
// the file could not be removed.
bool wipeAndRemove(const QString& path);

} // namespace zendrel
