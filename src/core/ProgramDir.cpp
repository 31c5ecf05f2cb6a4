#include "ProgramDir.h"

#include <QCoreApplication>
#include <QDir>

namespace tarnvue {

QString programDirectory() {
    QString dir = qEnvironmentVariable("TARNVUE_PROGRAM_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    dir = QDir::toNativeSeparators(QDir::cleanPath(dir));
    while (dir.size() > 1 && dir.endsWith(QDir::separator()))
        dir.chop(1);
    return dir;
}

QString programFile(const QString& name) {
    return programDirectory() + QDir::separator() + name;
}

QString fileNamePart(const QString& path) {
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? path : path.mid(cut + 1);
}

} // namespace tarnvue
