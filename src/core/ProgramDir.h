#pragma once

#include <QString>

namespace tarnvue {

// The folder that holds the program, its database and template, and its help
// pages: the executable's folder, or the folder named by TARNVUE_PROGRAM_DIR.
// It never ends in a separator.
QString programDirectory();

// A file in the program directory, joined with the platform's separator.
QString programFile(const QString& name);

// The part of a path after its last folder separator ("\" or "/"), or the
// whole path when it has none.
QString fileNamePart(const QString& path);

} // namespace tarnvue
