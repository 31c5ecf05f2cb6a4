#include "ProgramInfo.h"

namespace tarnvue {

QString programVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(TARNVUE_VERSION_MAJOR)
        .arg(TARNVUE_VERSION_MINOR)
        .arg(TARNVUE_VERSION_PATCH);
}

namespace {

QString& helpFilePath() {
    static QString path;
    return path;
}

} // namespace

void setHelpFile(const QString& path) {
    helpFilePath() = path;
}

QString helpFile() {
    return helpFilePath();
}

} // namespace tarnvue
