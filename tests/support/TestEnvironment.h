#pragma once

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace tarnvue {
class FixedClock;
}

namespace tarnvue::test {

// A fresh, empty program directory for one test: TARNVUE_PROGRAM_DIR points
// at it while the scope lives; nothing else is touched.
class ProgramDirScope {
public:
    ProgramDirScope();
    ~ProgramDirScope();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Copies the built database template into the folder.
    void installTemplate() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

// A fixed "now" for the life of the scope.
class ClockScope {
public:
    explicit ClockScope(const QDateTime& now);
    ~ClockScope();
    void set(const QDateTime& now);

private:
    std::shared_ptr<FixedClock> m_clock;
};

// The shared fixtures folder (beside the repository).
QString fixturePath(const QString& relative);

} // namespace tarnvue::test
