#include "AboutBox.h"

#include "FileVerInfo.h"
#include "components/ComponentIds.h"
#include "core/ComponentRegistry.h"
#include "core/ProgramInfo.h"

#include <QFileInfo>
#include <QIcon>
#include <QMetaObject>
#include <QObject>
#include <QVariant>
#include <QWidget>
#include <exception>
#include <memory>

namespace tarnvue {

namespace {

// One step of the About command; whatever goes wrong in it is dropped and
// the command goes on.
template <typename Step> void ignoringErrors(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

QString aboutSubTitle() {
    return QStringLiteral("Historical Response Time Charting and Trending");
}

QString legalNotice() {
    return QStringLiteral("Copyright (C) Norvane. Free software under the GNU General Public "
                          "License, version 3 or later.");
}

QString releaseLine(int major, int minor, const QDate& built, const QLocale& locale) {
    return QStringLiteral("Version %1.%2 ").arg(major).arg(minor) +
           locale.toString(built, QStringLiteral("MMMM yyyy"));
}

QString productVersionLine(const QString& executableName, const FileVerInfo& info) {
    return executableName + QStringLiteral(" Version %1.%2.%3.%4  ")
                                .arg(info.ProductVersionMajor())
                                .arg(info.ProductVersionMinor())
                                .arg(info.ProductVersionPrivate())
                                .arg(info.ProductVersionBuild());
}

QString versionText(const QString& release, const QString& product, const QString& legal) {
    const QString crlf = QStringLiteral("\r\n");
    return release + crlf + product + crlf + legal + crlf;
}

QString programVersionText(const FileVerInfo& info) {
    const QFileInfo executable(FileVerInfo::executablePath());
    static const QString release =
        releaseLine(TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR, executable.lastModified().date());
    return versionText(release, productVersionLine(executable.completeBaseName(), info),
                       legalNotice());
}

void showAboutBox(QWidget* mainWindow) {
    std::unique_ptr<QObject> about;
    ignoringErrors(
        [&] { about = ComponentRegistry::instance().create(ComponentIds::aboutDialog()); });
    if (!about)
        return;
    ignoringErrors([&] { about->setProperty("ProgramName", programName()); });
    ignoringErrors([&] { about->setProperty("SubTitle", aboutSubTitle()); });
    ignoringErrors([&] {
        FileVerInfo info;
        info.GetExecutableInfo();
        about->setProperty("VersionInfo", programVersionText(info));
    });
    ignoringErrors([&] {
        const QIcon icon = mainWindow ? mainWindow->windowIcon() : QIcon();
        about->setProperty("ProgIcon", QVariant::fromValue(icon));
    });
    ignoringErrors([&] { QMetaObject::invokeMethod(about.get(), "Show", Qt::DirectConnection); });
}

} // namespace tarnvue
