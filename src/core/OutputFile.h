#pragma once

#include <QString>

class QByteArray;

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
//    whatever name or link leads to it (same device and inode), and so are
//    the journal and log files SQLite keeps beside it.

// Registers a file no output may replace, for the rest of the run.
void protectFromOutput(const QString& path);

// Why `path` must not be written, or empty text when it may be.
QString outputRefusal(const QString& path);

// Writes `bytes` to `path` after the checks above, through QSaveFile: the
// file is replaced only when every byte reached it, so a full disk or any
// other write error leaves whatever was there before and no partial file.
// (Writers such as QPdfWriter ignore a short write to a device, so outputs
// are made in memory first and written here.) On failure *reason (when
// given) says why.
bool writeOutputFile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

} // namespace tarnvue
