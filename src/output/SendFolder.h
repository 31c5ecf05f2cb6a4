#pragma once

#include <QString>

namespace tarnvue {

// Where the files handed to send-to targets (a mail program, the desktop's
// default application) are written: a folder of the user's own under the
// temporary location, one fresh subfolder per send so that a send never
// overwrites a file another program may still be reading. The folder stays
// until the program ends; folders that earlier runs left behind (a crash)
// are removed the next time one is made, unless a running program still
// holds them.
class SendFolder {
public:
    // A new, empty folder for one send. Throws Error when none can be made.
    static QString newJobFolder();
    // Removes this run's folder (at exit).
    static void removeAll();
    // Removes the folders under `parent` that no running program holds.
    static void removeStale(const QString& parent);
    // The name every send folder starts with.
    static QString prefix();
};

} // namespace tarnvue
