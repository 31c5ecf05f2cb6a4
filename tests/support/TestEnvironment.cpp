#include "TestEnvironment.h"

#include "core/Clock.h"
#include "core/UserSettings.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace tarnvue::test {

ProgramDirScope::ProgramDirScope() {
    m_hadPrevious = qEnvironmentVariableIsSet("TARNVUE_PROGRAM_DIR");
    m_previous = qgetenv("TARNVUE_PROGRAM_DIR");
    qputenv("TARNVUE_PROGRAM_DIR", QFile::encodeName(m_dir.path()));
    m_hadDatabase = qEnvironmentVariableIsSet("TARNVUE_DATABASE");
    m_previousDatabase = qgetenv("TARNVUE_DATABASE");
    qunsetenv("TARNVUE_DATABASE");
    freshSettings();
}

ProgramDirScope::~ProgramDirScope() {
    if (m_hadPrevious)
        qputenv("TARNVUE_PROGRAM_DIR", m_previous);
    else
        qunsetenv("TARNVUE_PROGRAM_DIR");
    if (m_hadDatabase)
        qputenv("TARNVUE_DATABASE", m_previousDatabase);
    else
        qunsetenv("TARNVUE_DATABASE");
    UserSettings::setStorageFile(QString());
}

void ProgramDirScope::freshSettings() {
    ++m_settingsCount;
    UserSettings::setStorageFile(
        m_settings.filePath(QStringLiteral("Tarnvue-%1.conf").arg(m_settingsCount)));
}

void ProgramDirScope::installTemplate() const {
    const QString source = qEnvironmentVariable("TARNVUE_TEMPLATE");
    QVERIFY2(QFile::exists(source), "the built database template is missing");
    QVERIFY(QFile::copy(source, file(QStringLiteral("Pollwatch.Template"))));
}

ClockScope::ClockScope(const QDateTime& now) : m_clock(std::make_shared<FixedClock>(now)) {
    setClock(m_clock);
}

ClockScope::~ClockScope() {
    setClock(nullptr);
}

void ClockScope::set(const QDateTime& now) {
    m_clock->set(now);
}

QString fixturePath(const QString& relative) {
    return QDir(qEnvironmentVariable("TARNVUE_FIXTURES")).filePath(relative);
}

} // namespace tarnvue::test
