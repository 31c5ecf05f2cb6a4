#include "RecordingDialogs.h"
#include "TestEnvironment.h"
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

void setHelpDirectory(const QVariant& value) {
    QSettings settings(QStringLiteral("Norvane"), QStringLiteral("Gearloft"));
    if (value.isValid())
        settings.setValue(QStringLiteral("HelpDirectory"), value);
    else
        settings.remove(QStringLiteral("HelpDirectory"));
    settings.sync();
}

void useBrowser(bool fake) {
    ComponentRegistry::instance().remove(ComponentIds::browser());
    if (fake)
        ComponentRegistry::instance().add(ComponentIds::browser(),
                                          [] { return std::make_unique<FakeBrowser>(); });
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QList<std::pair<const char*, void (*)(QWidget*)>> WebCommands{
    {"Contents", showHelpContents},        {"Help on Tarnvue", showHelpOnTarnvue},
    {"dialog Help", showDialogHelp},       {"Software Updates", openUpdatesPage},
    {"On-Line Manual", openOnlineManual},  {"FAQ", openFaqPage},
    {"Provide Feedback", openFeedbackPage}};

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    std::unique_ptr<test::ProgramDirScope> m_programDir;
    QList<QUrl> m_desktop;
    QList<std::pair<QString, int>> m_viewer;
    bool m_viewerStarts = false;

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        m_programDir = std::make_unique<test::ProgramDirScope>();
        BrowserComponent::setUrlOpener([this](const QUrl& url) {
            m_desktop << url;
            return !url.toString().contains(QStringLiteral("refused"));
        });
        setCompiledHelpViewer([this](const QString& file, int context) {
            m_viewer.append({file, context});
            return m_viewerStarts;
        });
    }
    void cleanupTestCase() {
        BrowserComponent::setUrlOpener({});
        setCompiledHelpViewer({});
        ComponentRegistry::instance().remove(ComponentIds::browser());
    }
    void init() {
        useBrowser(true);
        FakeBrowser::browsed.clear();
        FakeBrowser::succeeds = true;
        m_desktop.clear();
        m_viewer.clear();
        setHelpFile(programFile(QStringLiteral("Help/Norvane.chm")));
        setHelpDirectory({});
    }

    // The family's help folder is used exactly as stored, when it is a text.
    void helpFolderSetting_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("folder"); // empty: the program's own Help folder
        QTest::newRow("folder") << QVariant("/srv/help") << "/srv/help";
        QTest::newRow("ending in a separator") << QVariant("/srv/help/") << "/srv/help/";
        QTest::newRow("text ends at a NUL")
            << QVariant(QString("/srv/help") + QChar(0) + "junk") << "/srv/help";
        QTest::newRow("absent") << QVariant() << "";
        QTest::newRow("list") << QVariant(QStringList{"/srv/a", "/srv/b"}) << "";
        QTest::newRow("bytes") << QVariant(QByteArray("/srv/bytes")) << "";
        QTest::newRow("rectangle") << QVariant(QRect(1, 2, 3, 4)) << "";
    }
    void helpFolderSetting() {
        QFETCH(QVariant, stored);
        QFETCH(QString, folder);
        setHelpDirectory(stored);
        const test::DialogRecorderScope rec;
        showHelpOnTarnvue(nullptr);
        QCOMPARE(FakeBrowser::browsed,
                 QStringList{"file://" +
                             (folder.isEmpty() ? programDirectory() + "/Help" : folder) +
                             "/default.htm?context=GearloftDoc&topic="
                             "GearloftPHPollwatchingToolsTarnvue"});
        QVERIFY(rec->messages.isEmpty());
    }

    // Each command opens its page through the browser component; a page it
    // cannot show is reported, and without the component the user is told
    // where to get it.
    void webCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("address");
        const QString pages =
            QStringLiteral("file://%1/Help/default.htm?context=GearloftDoc&topic=")
                .arg(programDirectory());
        const QStringList addresses{pages + "GearloftPHIntroducingTools",
                                    pages + "GearloftPHPollwatchingToolsTarnvue",
                                    pages + "GearloftPHIntroducingTools",
                                    updatesAddress(),
                                    onlineManualAddress(),
                                    faqAddress(),
                                    feedbackAddress()};
        for (int i = 0; i < WebCommands.size(); ++i)
            QTest::newRow(WebCommands[i].first) << i << addresses[i];
    }
    void webCommands() {
        QFETCH(int, command);
        QFETCH(QString, address);
        const test::DialogRecorderScope rec;
        WebCommands[command].second(nullptr);
        QCOMPARE(FakeBrowser::browsed, QStringList{address});
        QVERIFY(rec->messages.isEmpty());

        FakeBrowser::succeeds = false;
        WebCommands[command].second(nullptr);
        useBrowser(false);
        WebCommands[command].second(nullptr);
        QCOMPARE(rec->texts(),
                 (QStringList{"Web Page not Opened", "Norvane Browser is not installed.\r\nVisit "
                                                     "https://www.norvane.com for a copy."}));
        QCOMPARE(rec->messages[0].title, QStringLiteral("URL Failed"));
        QCOMPARE(rec->messages[1].title, programTitle());
        QCOMPARE(rec->messages[1].icon, MessageIcon::Exclamation);
        QVERIFY(m_desktop.isEmpty());
    }

    // F1 and "Help on Pollwatch" prefer the compiled help file; where it or
    // its viewer is missing, the user guide's page opens on the desktop,
    // browser component or not.
    void helpKeys_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<bool>("compiledFile");
        QTest::addColumn<bool>("viewerStarts");
        QTest::addColumn<QString>("page"); // empty: the viewer shows it
        QTest::newRow("F1") << int(WindowHelpContext) << false << false << "tarnvue.htm";
        QTest::newRow("Pollwatch")
            << int(PollwatchHelpContext) << false << false << "pollwatch.htm";
        QTest::newRow("Pollwatch, viewer") << int(PollwatchHelpContext) << true << true << "";
        QTest::newRow("Pollwatch, no viewer")
            << int(PollwatchHelpContext) << true << false << "pollwatch.htm";
    }
    void helpKeys() {
        QFETCH(int, context);
        QFETCH(bool, compiledFile);
        QFETCH(bool, viewerStarts);
        QFETCH(QString, page);
        useBrowser(false);
        m_viewerStarts = viewerStarts;
        QVERIFY(QDir(programDirectory()).mkpath(QStringLiteral("Help")));
        QFile chm(helpFile());
        if (compiledFile)
            QVERIFY(chm.open(QIODevice::WriteOnly));
        chm.close();
        const test::DialogRecorderScope rec;
        if (context == PollwatchHelpContext)
            showHelpOnPollwatch();
        else
            showHelpContext(context);
        chm.remove();
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(m_viewer.size(), compiledFile ? 1 : 0);
        if (compiledFile)
            QCOMPARE(m_viewer[0], std::make_pair(helpFile(), context));
        QCOMPARE(m_desktop.size(), page.isEmpty() ? 0 : 1);
        if (!page.isEmpty())
            QCOMPARE(m_desktop[0], QUrl::fromLocalFile(programFile("Help/" + page)));
    }

    // The browser component shows pages (files and web pages) and nothing
    // else: other schemes would start whatever handler the desktop has.
    void browserComponentOpensPages_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("help page") << "file:///srv/help/default.htm?context=C&topic=T" << true;
        QTest::newRow("with a space") << "file:///srv/my help/default.htm?context=C" << true;
        QTest::newRow("web page") << "https://www.norvane.com/faq/" << true;
        QTest::newRow("desktop refuses") << "https://www.norvane.com/refused" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("relative") << "default.htm?context=C" << false;
        QTest::newRow("script") << "javascript:alert(1)" << false;
        QTest::newRow("other handler") << "mailto:someone@example.org" << false;
        QTest::newRow("web without host") << "http:///faq" << false;
    }
    void browserComponentOpensPages() {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        ComponentRegistry::instance().remove(ComponentIds::browser());
        registerStandardComponents();
        auto browser = ComponentRegistry::instance().create(ComponentIds::browser());
        QVERIFY(qobject_cast<BrowserComponent*>(browser.get()));
        bool result = !opened;
        QVERIFY(QMetaObject::invokeMethod(browser.get(), "Browse", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, result), Q_ARG(QString, address)));
        QCOMPARE(result, opened);
        // The desktop is asked only for pages.
        QCOMPARE(m_desktop.size(), opened || address.contains(QLatin1String("refused")) ? 1 : 0);
        if (opened)
            QCOMPARE(m_desktop[0], QUrl(address, QUrl::TolerantMode));
    }

    // Every route of the installed user guide and the page of every help
    // context land on a page and section that exist; the program's topics
    // all have a route.
    void helpRoutesLandOnPages() {
        static const QRegularExpression route(QStringLiteral("^\\s*\"([^\"]+)\": \"([^\"]+)\",?$"),
                                              QRegularExpression::MultilineOption);
        QStringList keys;
        QStringList targets{helpPageForContext(PollwatchHelpContext),
                            helpPageForContext(WindowHelpContext)};
        for (auto it = route.globalMatch(readText(TARNVUE_HELP_PAGES "/default.htm"));
             it.hasNext();) {
            const auto match = it.next();
            keys << match.captured(1);
            targets << match.captured(2);
        }
        for (const QString& key :
             {introducingToolsTopic(), tarnvueTopic(), helpDocContext(),
              QString::number(PollwatchHelpContext), QString::number(WindowHelpContext)})
            QVERIFY2(keys.contains(key), qPrintable("no route for " + key));
        for (const QString& target : targets) {
            const QString text = readText(TARNVUE_HELP_PAGES "/" + target.section('#', 0, 0));
            const QString section = target.section('#', 1);
            QVERIFY2(text.contains("<h1>") &&
                         (section.isEmpty() || text.contains("id=\"" + section + '"')),
                     qPrintable(target));
        }
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
