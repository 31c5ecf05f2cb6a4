#include "HelpLinks.h"

#include "components/BrowserComponent.h"
#include "components/ComponentIds.h"
#include "core/BusyCursor.h"
#include "core/ComponentRegistry.h"
#include "core/Dialogs.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

namespace tarnvue {

QString helpDocContext() {
    return QStringLiteral("GearloftDoc");
}
QString introducingToolsTopic() {
    return QStringLiteral("GearloftPHIntroducingTools");
}
QString tarnvueTopic() {
    return QStringLiteral("GearloftPHPollwatchingToolsTarnvue");
}

QString readSettingsString(const QString& organization, const QString& application,
                           const QString& key, const QString& fallback) {
    const QSettings settings(organization, application);
    if (settings.status() != QSettings::NoError)
        return fallback;
    const QVariant value = settings.value(key);
    if (value.metaType().id() != QMetaType::QString)
        return fallback;
    QString text = value.toString();
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QString helpDirectory() {
    return readSettingsString(QStringLiteral("Norvane"), QStringLiteral("Gearloft"),
                              QStringLiteral("HelpDirectory"), QString());
}

QString helpTopicAddress(const QString& context, const QString& topic) {
    const QString sep = QDir::separator();
    QString folder = helpDirectory();
    if (folder.isEmpty())
        folder = programDirectory() + sep + QStringLiteral("Help");
    return QStringLiteral("file://") + folder + sep + QStringLiteral("default.htm?context=") +
           context + QStringLiteral("&topic=") + topic;
}

QString makerWebAddress() {
    return QStringLiteral("https://www.norvane.com");
}
QString updatesAddress() {
    return makerWebAddress() + QStringLiteral("/updates/");
}
QString onlineManualAddress() {
    return makerWebAddress() + QStringLiteral("/docs/tarnvue/");
}
QString faqAddress() {
    return makerWebAddress() + QStringLiteral("/faq/");
}
QString feedbackAddress() {
    return makerWebAddress() + QStringLiteral("/feedback/");
}

void openWebPage(const QString& address, QWidget* parent) {
    const std::unique_ptr<QObject> browser =
        ComponentRegistry::instance().create(ComponentIds::browser());
    if (!browser) {
        showExclamation(parent, QStringLiteral("Norvane Browser is not installed.\r\nVisit ") +
                                    makerWebAddress() + QStringLiteral(" for a copy."));
        return;
    }
    bool shown = false;
    const bool called =
        QMetaObject::invokeMethod(browser.get(), "Browse", Qt::DirectConnection,
                                  Q_RETURN_ARG(bool, shown), Q_ARG(QString, address));
    if (!called || !shown)
        dialogs().message(parent, QStringLiteral("Web Page not Opened"), MessageIcon::Exclamation,
                          QStringLiteral("URL Failed"), MessageButtons::Ok);
}

void showHelpContents(QWidget* parent) {
    openWebPage(helpTopicAddress(helpDocContext(), introducingToolsTopic()), parent);
}

void showHelpOnTarnvue(QWidget* parent) {
    openWebPage(helpTopicAddress(helpDocContext(), tarnvueTopic()), parent);
}

void showHelpOnPollwatch() {
    const BusyCursor busy;
    showHelpContext(PollwatchHelpContext);
}

void openUpdatesPage(QWidget* parent) {
    openWebPage(updatesAddress(), parent);
}
void openOnlineManual(QWidget* parent) {
    openWebPage(onlineManualAddress(), parent);
}
void openFaqPage(QWidget* parent) {
    openWebPage(faqAddress(), parent);
}
void openFeedbackPage(QWidget* parent) {
    openWebPage(feedbackAddress(), parent);
}

void showDialogHelp(QWidget* dialog) {
    const BusyCursor busy;
    openWebPage(helpTopicAddress(helpDocContext(), introducingToolsTopic()), dialog);
}

QString helpPageForContext(int contextId) {
    switch (contextId) {
    case PollwatchHelpContext:
        return QStringLiteral("pollwatch.htm");
    case WindowHelpContext:
        return QStringLiteral("tarnvue.htm");
    default:
        return QStringLiteral("contents.htm");
    }
}

namespace {

// A desktop viewer of compiled help files, if one is installed. None of them
// can be told a numeric context, so they open the file at its start.
bool startInstalledViewer(const QString& helpFile, int /*contextId*/) {
    for (const char* name : {"kchmviewer", "xchm", "chmsee"}) {
        const QString viewer = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!viewer.isEmpty())
            return QProcess::startDetached(viewer, {helpFile});
    }
    return false;
}

CompiledHelpViewer& compiledHelpViewer() {
    static CompiledHelpViewer viewer;
    return viewer;
}

} // namespace

void setCompiledHelpViewer(CompiledHelpViewer viewer) {
    compiledHelpViewer() = std::move(viewer);
}

void showHelpContext(int contextId) {
    const QString file = helpFile();
    if (!file.isEmpty() && QFileInfo(file).isFile()) {
        const bool started = compiledHelpViewer() ? compiledHelpViewer()(file, contextId)
                                                  : startInstalledViewer(file, contextId);
        if (started)
            return;
    }
    // The user guide's page for the context, opened by the desktop directly:
    // this works without the browser component.
    QUrl page =
        QUrl::fromLocalFile(programDirectory() + QDir::separator() + QStringLiteral("Help") +
                            QDir::separator() + helpPageForContext(contextId));
    (void)BrowserComponent::openUrl(page);
}

} // namespace tarnvue
