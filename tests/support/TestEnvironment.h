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
// at it while the scope lives, the user's settings are kept in a fresh file of
// their own, and TARNVUE_DATABASE is unset, so nothing of the machine's user
// reaches the test.
class ProgramDirScope {
public:
    ProgramDirScope();
    ~ProgramDirScope();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Starts the user's settings afresh, for tests that share one scope.
    void freshSettings();
    // Copies the built database template into the folder.
    void installTemplate() const;

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_settings;
    int m_settingsCount = 0;
    QByteArray m_previous;
    bool m_hadPrevious = false;
    QByteArray m_previousDatabase;
    bool m_hadDatabase = false;
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
