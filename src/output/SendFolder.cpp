#include "SendFolder.h"

#include "core/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>
#include <memory>

namespace tarnvue {

namespace {

const QString LockName = QStringLiteral(".lock");

// This run's folder, held by a lock file so that other runs leave it alone.
struct RunFolder {
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QLockFile> lock;
    int jobs = 0;
};

RunFolder& runFolder() {
    static RunFolder folder;
    return folder;
}

} // namespace

QString SendFolder::prefix() {
    return QStringLiteral("tarnvue-send-");
}

QString SendFolder::newJobFolder() {
    RunFolder& run = runFolder();
    if (!run.dir) {
        removeStale(QDir::tempPath());
        auto dir = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(prefix() + QStringLiteral("XXXXXX")));
        if (!dir->isValid())
            throw Error(QStringLiteral("No folder for the file to send can be made in %1: %2")
                            .arg(QDir::toNativeSeparators(QDir::tempPath()), dir->errorString()));
        auto lock = std::make_unique<QLockFile>(dir->filePath(LockName));
        lock->setStaleLockTime(0);
        lock->tryLock(0);
        run.dir = std::move(dir);
        run.lock = std::move(lock);
        // Files handed to other programs are left for them until the end.
        qAddPostRoutine(&SendFolder::removeAll);
    }
    const QString job = run.dir->filePath(QString::number(++run.jobs));
    if (!QDir().mkpath(job))
        throw Error(QStringLiteral("No folder for the file to send can be made in %1.")
                        .arg(QDir::toNativeSeparators(run.dir->path())));
    return job;
}

void SendFolder::removeAll() {
    RunFolder& run = runFolder();
    run.lock.reset();
    run.dir.reset(); // removes the folder and everything in it
    run.jobs = 0;
}

void SendFolder::removeStale(const QString& parent) {
    const QDir folder(parent);
    for (const QString& name :
         folder.entryList({prefix() + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir stale(folder.filePath(name));
        QLockFile lock(stale.filePath(LockName));
        lock.setStaleLockTime(0);
        // A folder whose lock a live program holds is still in use.
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        stale.removeRecursively();
    }
}

} // namespace tarnvue
