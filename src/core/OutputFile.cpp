#include "OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QStringList>
#include <optional>
#include <sys/stat.h>

namespace tarnvue {

namespace {

struct FileId {
    dev_t device;
    ino_t inode;
};

QMutex& protectedMutex() {
    static QMutex mutex;
    return mutex;
}

QStringList& protectedFiles() {
    static QStringList files;
    return files;
}

// The identity of the file a path leads to, links followed.
std::optional<FileId> fileId(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

} // namespace

void protectFromOutput(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QMutexLocker lock(&protectedMutex());
    if (!protectedFiles().contains(absolute))
        protectedFiles().append(absolute);
}

// A path with its folder's links resolved, so two names of one place
// compare equal even when the file itself does not exist.
QString placeOf(const QString& path) {
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

QString outputRefusal(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    {
        // The files SQLite keeps beside a database are part of it: a chart
        // written as its journal would be taken for an unfinished write.
        const QString place = placeOf(path);
        const QMutexLocker lock(&protectedMutex());
        for (const QString& file : protectedFiles()) {
            for (const char* suffix : {"-journal", "-wal", "-shm"}) {
                if (place == placeOf(file) + QLatin1String(suffix))
                    return QStringLiteral("%1 belongs to the monitor database; Tarnvue never "
                                          "writes over it.")
                        .arg(shown);
            }
        }
    }
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return {}; // nothing there yet: a new file
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("%1 is a symbolic link; Tarnvue does not write through links.")
            .arg(shown);
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("%1 is not a regular file.").arg(shown);
    const QMutexLocker lock(&protectedMutex());
    for (const QString& file : protectedFiles()) {
        // The file the protected name leads to now (a file once there and
        // since deleted may have left its inode to the output).
        const std::optional<FileId> id = fileId(file);
        if (id && id->device == status.st_dev && id->inode == status.st_ino)
            return QStringLiteral("%1 is the monitor database; Tarnvue never writes over it.")
                .arg(shown);
    }
    return {};
}

bool writeOutputFile(const QString& path, const QByteArray& bytes, QString* reason) {
    const auto failed = [&](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (const QString refusal = outputRefusal(path); !refusal.isEmpty())
        return failed(refusal);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    // A short write without an error state is how a full disk or a size
    // limit shows itself; count the bytes.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        QString why = file.errorString();
        if (why.isEmpty() || why == QLatin1String("Unknown error"))
            why = QStringLiteral("The file could not be written in full (is the disk full?).");
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    return true;
}

} // namespace tarnvue
