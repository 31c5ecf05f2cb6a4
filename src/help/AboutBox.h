#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

class QWidget;

namespace tarnvue {

class FileVerInfo;

// The texts of the About box.
QString aboutSubTitle(); // "Historical Response Time Charting and Trending"
QString legalNotice();

// "Version " + major + "." + minor + " " + the month and year of `built`
// ("mmmm yyyy", full month name, in `locale`'s language).
QString releaseLine(int major, int minor, const QDate& built, const QLocale& locale = QLocale());

// executableName + " Version " + the four product version numbers joined by
// "." + two spaces.
QString productVersionLine(const QString& executableName, const FileVerInfo& info);

// The three lines, each ending in CR LF.
QString versionText(const QString& releaseLine, const QString& productLine,
                    const QString& legalNotice);

// The version text of this program: its release line (built once per run
// from the executable's modification date), its executable's name and
// product version as `info` read them, and the legal notice.
QString programVersionText(const FileVerInfo& info);

// The About command: fills the "NorvaneHelpAbout.AboutDialog" component and
// shows it. Every step runs with errors ignored; without the component
// nothing is shown and nothing is reported.
void showAboutBox(QWidget* mainWindow);

} // namespace tarnvue
