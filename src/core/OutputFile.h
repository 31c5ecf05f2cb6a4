#pragma once

#include <QString>

class QSaveFile;

namespace tarnvue {

// Where the program may write a file the user named. An output is written
// whole through QSaveFile (a temporary file beside it, renamed over it at
// the end), and only where that replaces nothing but a regular file the
// user meant:
//  - a path that is a symbolic link is refused, so a link planted in a
//    shared folder cannot have another file overwritten;
//  - an existing path that is not a regular file (a folder, a device, a
//    FIFO) is refused rather than replaced by a regular file;
//  - a file registered as protected (the monitor database) is refused,
//    whatever name or link leads to it (same device and inode).

// Registers a file no output may replace, for the rest of the run.
void protectFromOutput(const QString& path);

// Why `path` must not be written, or empty text when it may be.
QString outputRefusal(const QString& path);

// Checks `file`'s name as above and opens it for writing. On failure
// *reason (when given) says why; nothing has been written.
bool openOutputFile(QSaveFile& file, QString* reason = nullptr);

} // namespace tarnvue
