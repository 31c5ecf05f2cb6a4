#include "RecordingDialogs.h"
#include "TestEnvironment.h"
#include "components/AboutDialogComponent.h"
#include "components/BrowserComponent.h"
#include "components/ComponentIds.h"
#include "components/StandardComponents.h"
#include "core/ComponentRegistry.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"
#include "help/HelpLinks.h"

#include <QDir>
#include <QRect>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

using namespace tarnvue;

namespace {

// A browser component that keeps the addresses it was asked for.
class FakeBrowser : public QObject {
    Q_OBJECT
public:
    static inline QStringList browsed;
    static inline bool succeeds = true;
    Q_INVOKABLE bool Browse(const QString& address) {
        browsed << address;
        return succeeds;
    }
};

// A component that answers to the identifier but has no Browse method.
class BrokenBrowser : public QObject {
    Q_OBJECT
};

void setHelpDirectory(const QVariant& value) {
    QSettings settings(QStringLiteral("Norvane"), QStringLiteral("Gearloft"));
    if (value.isValid())
        settings.setValue(QStringLiteral("HelpDirectory"), value);
    else
        settings.remove(QStringLiteral("HelpDirectory"));
    settings.sync();
}

enum Command {
    Contents,
    HelpOnTarnvue,
    DialogHelp,
    Updates,
    OnlineManual,
    Faq,
    Feedback,
};

void run(Command command) {
    switch (command) {
    case Contents:
        return showHelpContents(nullptr);
    case HelpOnTarnvue:
        return showHelpOnTarnvue(nullptr);
    case DialogHelp:
        return showDialogHelp(nullptr);
    case Updates:
        return openUpdatesPage(nullptr);
    case OnlineManual:
        return openOnlineManual(nullptr);
    case Faq:
        return openFaqPage(nullptr);
    case Feedback:
        return openFeedbackPage(nullptr);
    }
}

// Every help-page and web command with the address it opens.
void addCommandRows() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("address");
    const QString pages = QStringLiteral("file://") + programDirectory() + QDir::separator() +
                          QStringLiteral("Help") + QDir::separator() +
                          QStringLiteral("default.htm?context=GearloftDoc&topic=");
    QTest::newRow("Contents") << int(Contents)
                              << pages + QStringLiteral("GearloftPHIntroducingTools");
    QTest::newRow("Help on Tarnvue")
        << int(HelpOnTarnvue) << pages + QStringLiteral("GearloftPHPollwatchingToolsTarnvue");
    QTest::newRow("dialog Help button")
        << int(DialogHelp) << pages + QStringLiteral("GearloftPHIntroducingTools");
    QTest::newRow("Software Updates") << int(Updates) << updatesAddress();
    QTest::newRow("On-Line Manual") << int(OnlineManual) << onlineManualAddress();
    QTest::newRow("FAQ") << int(Faq) << faqAddress();
    QTest::newRow("Provide Feedback") << int(Feedback) << feedbackAddress();
}

QString helpPagesFolder() {
    return QStringLiteral(TARNVUE_HELP_PAGES);
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The routes of default.htm: "key": "page#section".
QList<std::pair<QString, QString>> helpRoutes() {
    QList<std::pair<QString, QString>> routes;
    const QString text = readText(helpPagesFolder() + QStringLiteral("/default.htm"));
    static const QRegularExpression route(QStringLiteral("^\\s*\"([^\"]+)\": \"([^\"]+)\",?$"),
                                          QRegularExpression::MultilineOption);
    for (auto it = route.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        routes.append({match.captured(1), match.captured(2)});
    }
    return routes;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_settings;
    std::unique_ptr<test::ProgramDirScope> m_programDir;
    QList<QUrl> m_desktop;
    QList<std::pair<QString, int>> m_viewer;

private slots:
    void initTestCase() {
        QVERIFY(m_settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        m_programDir = std::make_unique<test::ProgramDirScope>();
        BrowserComponent::setUrlOpener([this](const QUrl& url) {
            m_desktop << url;
            return true;
        });
        setCompiledHelpViewer([this](const QString& file, int context) {
            m_viewer.append({file, context});
            return false;
        });
    }

    void cleanupTestCase() {
        BrowserComponent::setUrlOpener({});
        setCompiledHelpViewer({});
        ComponentRegistry::instance().remove(ComponentIds::browser());
        setHelpDirectory({});
    }

    void init() {
        ComponentRegistry::instance().add(ComponentIds::browser(),
                                          [] { return std::make_unique<FakeBrowser>(); });
        FakeBrowser::browsed.clear();
        FakeBrowser::succeeds = true;
        m_desktop.clear();
        m_viewer.clear();
        setHelpFile(programFile(QStringLiteral("Help/Norvane.chm")));
        setHelpDirectory({});
    }

    void helpFolderSetting_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("folder"); // empty: the program's own Help folder

        QTest::newRow("folder") << QVariant(QStringLiteral("/srv/norvane/help"))
                                << QStringLiteral("/srv/norvane/help");
        QTest::newRow("ending in a separator") << QVariant(QStringLiteral("/srv/norvane/help/"))
                                               << QStringLiteral("/srv/norvane/help/");
        QTest::newRow("Windows folder, as stored")
            << QVariant(QStringLiteral("C:\\Norvane\\Help\\"))
            << QStringLiteral("C:\\Norvane\\Help\\");
        QTest::newRow("spaces kept, nothing escaped")
            << QVariant(QStringLiteral("/srv/my help")) << QStringLiteral("/srv/my help");
        QTest::newRow("text ends at a NUL")
            << QVariant(QStringLiteral("/srv/help") + QChar(0) + QStringLiteral("junk"))
            << QStringLiteral("/srv/help");
        QTest::newRow("absent") << QVariant() << QString();
        QTest::newRow("empty string") << QVariant(QString()) << QString();
        QTest::newRow("list of strings")
            << QVariant(QStringList{QStringLiteral("/srv/a"), QStringLiteral("/srv/b")})
            << QString();
        QTest::newRow("bytes") << QVariant(QByteArray("/srv/bytes")) << QString();
        QTest::newRow("rectangle") << QVariant(QRect(1, 2, 3, 4)) << QString();
    }
    void helpFolderSetting() {
        QFETCH(QVariant, stored);
        QFETCH(QString, folder);
        setHelpDirectory(stored);

        const QString base = folder.isEmpty()
                                 ? programDirectory() + QDir::separator() + QStringLiteral("Help")
                                 : folder;
        const QString expected = QStringLiteral("file://") + base + QDir::separator() +
                                 QStringLiteral("default.htm?context=GearloftDoc&topic="
                                                "GearloftPHPollwatchingToolsTarnvue");
        QCOMPARE(helpTopicAddress(helpDocContext(), tarnvueTopic()), expected);

        const test::DialogRecorderScope rec;
        showHelpOnTarnvue(nullptr);
        QCOMPARE(FakeBrowser::browsed, QStringList{expected});
        QVERIFY(rec->messages.isEmpty());
    }

    void trailingSeparatorDoublesIt() {
        setHelpDirectory(QStringLiteral("/srv/help/"));
        QVERIFY(helpTopicAddress(QStringLiteral("c"), QStringLiteral("t"))
                    .startsWith(QStringLiteral("file:///srv/help//default.htm?")));
    }

    void commandsOpenTheirPages_data() { addCommandRows(); }
    void commandsOpenTheirPages() {
        QFETCH(int, command);
        QFETCH(QString, address);
        const test::DialogRecorderScope rec;
        run(Command(command));
        QCOMPARE(FakeBrowser::browsed, QStringList{address});
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(m_desktop.isEmpty());
    }

    void webAddressesAreTheMakers() {
        const QStringList addresses{updatesAddress(), onlineManualAddress(), faqAddress(),
                                    feedbackAddress()};
        QCOMPARE(QSet<QString>(addresses.begin(), addresses.end()).size(), 4);
        for (const QString& address : addresses) {
            const QUrl url(address, QUrl::StrictMode);
            QVERIFY2(url.isValid() && url.scheme() == QLatin1String("https"), qPrintable(address));
            QVERIFY(address.startsWith(makerWebAddress()));
        }
    }

    void browserMissing_data() { addCommandRows(); }
    void browserMissing() {
        QFETCH(int, command);
        ComponentRegistry::instance().remove(ComponentIds::browser());
        const test::DialogRecorderScope rec;
        run(Command(command));
        QCOMPARE(rec->messages.size(), 1);
        QCOMPARE(rec->messages[0].text,
                 QStringLiteral("Norvane Browser is not installed.\r\nVisit ") + makerWebAddress() +
                     QStringLiteral(" for a copy."));
        QCOMPARE(rec->messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(rec->messages[0].title, programTitle());
        QVERIFY(m_desktop.isEmpty());
    }

    void helpKeysWorkWithoutBrowser_data() {
        QTest::addColumn<bool>("pollwatchCommand");
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("page");
        QTest::newRow("F1") << false << WindowHelpContext << QStringLiteral("tarnvue.htm");
        QTest::newRow("Help on Pollwatch")
            << true << PollwatchHelpContext << QStringLiteral("pollwatch.htm");
    }
    void helpKeysWorkWithoutBrowser() {
        QFETCH(bool, pollwatchCommand);
        QFETCH(int, context);
        QFETCH(QString, page);
        ComponentRegistry::instance().remove(ComponentIds::browser());
        const test::DialogRecorderScope rec;
        if (pollwatchCommand)
            showHelpOnPollwatch();
        else
            showHelpContext(context);
        QVERIFY(rec->messages.isEmpty());
        QCOMPARE(m_desktop.size(), 1);
        QCOMPARE(m_desktop[0], QUrl::fromLocalFile(programFile(QStringLiteral("Help/") + page)));
        QVERIFY(m_viewer.isEmpty()); // no compiled help file here
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void compiledHelpFileIsPreferred_data() {
        QTest::addColumn<bool>("viewerStarts");
        QTest::newRow("viewer starts") << true;
        QTest::newRow("no viewer") << false;
    }
    void compiledHelpFileIsPreferred() {
        QFETCH(bool, viewerStarts);
        QVERIFY(QDir(programDirectory()).mkpath(QStringLiteral("Help")));
        QFile chm(helpFile());
        QVERIFY(chm.open(QIODevice::WriteOnly));
        chm.close();
        setCompiledHelpViewer([&](const QString& file, int context) {
            m_viewer.append({file, context});
            return viewerStarts;
        });
        showHelpOnPollwatch();
        setCompiledHelpViewer([this](const QString& file, int context) {
            m_viewer.append({file, context});
            return false;
        });
        QFile::remove(helpFile());

        QCOMPARE(m_viewer.size(), 1);
        QCOMPARE(m_viewer[0].first, helpFile());
        QCOMPARE(m_viewer[0].second, PollwatchHelpContext);
        if (viewerStarts)
            QVERIFY(m_desktop.isEmpty());
        else
            QCOMPARE(m_desktop, QList<QUrl>{QUrl::fromLocalFile(
                                    programFile(QStringLiteral("Help/pollwatch.htm")))});
    }

    void pageNotOpened_data() {
        QTest::addColumn<bool>("brokenComponent");
        QTest::newRow("Browse reports failure") << false;
        QTest::newRow("component without Browse") << true;
    }
    void pageNotOpened() {
        QFETCH(bool, brokenComponent);
        FakeBrowser::succeeds = false;
        if (brokenComponent)
            ComponentRegistry::instance().add(ComponentIds::browser(),
                                              [] { return std::make_unique<BrokenBrowser>(); });
        const test::DialogRecorderScope rec;
        openFaqPage(nullptr);
        QCOMPARE(rec->messages.size(), 1);
        QCOMPARE(rec->messages[0].text, QStringLiteral("Web Page not Opened"));
        QCOMPARE(rec->messages[0].title, QStringLiteral("URL Failed"));
        QCOMPARE(rec->messages[0].icon, MessageIcon::Exclamation);
    }

    void browserComponentOpensPages_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("help page with query")
            << QStringLiteral("file:///srv/help/default.htm?context=GearloftDoc&topic=T") << true;
        QTest::newRow("help page with a space")
            << QStringLiteral("file:///srv/my help/default.htm?context=C&topic=T") << true;
        QTest::newRow("web page") << QStringLiteral("https://www.norvane.com/faq/") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("relative") << QStringLiteral("default.htm?context=C") << false;
        QTest::newRow("script") << QStringLiteral("javascript:alert(1)") << false;
        QTest::newRow("other handler") << QStringLiteral("mailto:someone@example.org") << false;
        QTest::newRow("web without host") << QStringLiteral("http:///faq") << false;
    }
    void browserComponentOpensPages() {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        registerStandardComponents();
        auto browser = ComponentRegistry::instance().create(ComponentIds::browser());
        QVERIFY(qobject_cast<BrowserComponent*>(browser.get()));
        bool result = !opened;
        QVERIFY(QMetaObject::invokeMethod(browser.get(), "Browse", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, result), Q_ARG(QString, address)));
        QCOMPARE(result, opened);
        QCOMPARE(m_desktop.size(), opened ? 1 : 0);
        if (opened) {
            QCOMPARE(m_desktop[0], QUrl(address, QUrl::TolerantMode));
            if (address.contains(QLatin1Char('?')))
                QVERIFY(
                    !QUrlQuery(m_desktop[0]).queryItemValue(QStringLiteral("context")).isEmpty());
        }
    }

    void browserReportsDesktopFailure() {
        BrowserComponent::setUrlOpener([](const QUrl&) { return false; });
        BrowserComponent browser;
        const bool shown = browser.Browse(QStringLiteral("https://www.norvane.com/"));
        BrowserComponent::setUrlOpener([this](const QUrl& url) {
            m_desktop << url;
            return true;
        });
        QVERIFY(!shown);
    }

    void standardComponentsAreRegistered() {
        ComponentRegistry::instance().remove(ComponentIds::aboutDialog());
        registerStandardComponents();
        auto about = ComponentRegistry::instance().create(ComponentIds::aboutDialog());
        QVERIFY(qobject_cast<AboutDialogComponent*>(about.get()));
        ComponentRegistry::instance().remove(ComponentIds::aboutDialog());
        QVERIFY(qobject_cast<BrowserComponent*>(
            ComponentRegistry::instance().create(ComponentIds::browser()).get()));
    }

    // The user guide the build installs: every route of default.htm and the
    // page of every help context lands on a page and section that exist.
    void helpRoutesLandOnPages_data() {
        QTest::addColumn<QString>("target");
        const auto routes = helpRoutes();
        QVERIFY(routes.size() >= 10);
        for (const auto& [key, target] : routes)
            QTest::newRow(qPrintable(key)) << target;
        QTest::newRow("context 3200") << helpPageForContext(PollwatchHelpContext);
        QTest::newRow("context 6300") << helpPageForContext(WindowHelpContext);
    }
    void helpRoutesLandOnPages() {
        QFETCH(QString, target);
        const QString page = target.section(QLatin1Char('#'), 0, 0);
        const QString section = target.section(QLatin1Char('#'), 1);
        const QString text = readText(helpPagesFolder() + QLatin1Char('/') + page);
        QVERIFY2(text.contains(QStringLiteral("<h1>")), qPrintable(page));
        if (!section.isEmpty())
            QVERIFY2(text.contains(QStringLiteral("id=\"") + section + QLatin1Char('"')),
                     qPrintable(target));
    }

    void helpRoutesCoverTheProgramsTopics() {
        QStringList keys;
        for (const auto& route : helpRoutes())
            keys << route.first;
        for (const QString& key :
             {introducingToolsTopic(), tarnvueTopic(), helpDocContext(),
              QString::number(PollwatchHelpContext), QString::number(WindowHelpContext)})
            QVERIFY2(keys.contains(key), qPrintable(key));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
