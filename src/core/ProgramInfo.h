#pragma once

#include <QString>

namespace tarnvue {

// The program's names as the user sees them. The title is the caption of the
// empty main window and of every message box.
inline QString programName() {
    return QStringLiteral("Tarnvue");
}
inline QString programTitle() {
    return QStringLiteral("Norvane Tarnvue");
}

// The version of this build, "major.minor.patch", from the build's project
// version.
QString programVersion();

// The compiled help file the program's help commands open; set at start-up.
void setHelpFile(const QString& path);
QString helpFile();

} // namespace tarnvue
