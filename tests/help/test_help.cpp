#include "RecordingDialogs.h"
#include "TestEnvironment.h"
#include "components/AboutDialogComponent.h"
#include "components/BrowserComponent.h"
#include "components/ComponentIds.h"
#include "components/StandardComponents.h"
#include "core/ComponentRegistry.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"
#include "help/AboutBox.h"
#include "help/FileVerInfo.h"
#include "help/HelpLinks.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <QtTest>
#include <stdexcept>

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

// 52 bytes in the shape of a fixed version record: file version, product
// version (four 16-bit numbers each).
QByteArray record(QList<quint16> v, quint32 structureVersion = 0x00010000u) {
    // Made at run time: a record folded into this program's constant data
    // would itself be found by a scan of the test program.
    volatile quint32 signature = 0xFEEF04BDu;
    QList<quint32> words{signature, structureVersion};
    for (int i = 0; i < 8; i += 2)
        words << (quint32(v[i]) << 16 | v[i + 1]);
    words << 0x3Fu << 0 << 0x40004u << 1 << 0 << 0
          << 0; // flag mask, flags, OS, type, subtype, date
    QByteArray bytes(52, '\0');
    for (int i = 0; i < 13; ++i)
        qToLittleEndian(words[i], bytes.data() + 4 * i);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Filler that holds no signature.
QByteArray filler(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('A' + i % 23);
    return bytes;
}

// The eight numbers as read, file version then product version.
QString numbers(const FileVerInfo& info) {
    return QStringLiteral("%1.%2.%3.%4 %5.%6.%7.%8")
        .arg(info.FileVersionMajor())
        .arg(info.FileVersionMinor())
        .arg(info.FileVersionPrivate())
        .arg(info.FileVersionBuild().toInt())
        .arg(info.ProductVersionMajor())
        .arg(info.ProductVersionMinor())
        .arg(info.ProductVersionPrivate())
        .arg(info.ProductVersionBuild());
}

// An About component whose program name cannot be set.
class RefusingAbout : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProgramName READ text WRITE setProgramName)
    Q_PROPERTY(QString SubTitle MEMBER subTitle)
public:
    static inline bool shown = false;
    QString subTitle;
    QString text() const { return {}; }
    void setProgramName(const QString&) { throw std::runtime_error("refused"); }
    Q_INVOKABLE void Show() { shown = !subTitle.isEmpty(); }
};

AboutDialog* shownAboutDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<AboutDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

// The help commands, the version record reader and the About box.
class TestHelp : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    QTemporaryDir m_dir;
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
        ComponentRegistry::instance().remove(ComponentIds::aboutDialog());
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

    // The first record whose structure version is 1.0, wherever it lies;
    // halves above 32767 read as negative numbers. Without one, every
    // number is -1, also after an earlier read found one.
    void versionRecord_data() {
        QTest::addColumn<QByteArray>("content"); // "folder" or "missing": no file
        QTest::addColumn<QString>("expected");
        const QByteArray v = record({2, 5, 1, 9, 3, 1, 0, 7});
        const QString found = QStringLiteral("2.5.1.9 3.1.0.7");
        const QString none = QStringLiteral("-1.-1.-1.-1 -1.-1.-1.-1");
        QTest::newRow("record alone") << v << found;
        QTest::newRow("at an odd offset") << filler(4099) + v << found;
        QTest::newRow("across two read pieces") << filler((1 << 20) - 21) + v + filler(10) << found;
        QTest::newRow("after another structure's signature")
            << record({9, 9, 9, 9, 9, 9, 9, 9}, 0x00020000u) + filler(3) + v << found;
        QTest::newRow("first of two") << v + record({1, 1, 1, 1, 1, 1, 1, 1}) << found;
        QTest::newRow("limits") << record({32767, 32768, 65535, 0, 0, 65535, 32768, 32767})
                                << "32767.-32768.-1.0 0.-1.-32768.32767";
        QTest::newRow("plain data") << filler(70000) << none;
        QTest::newRow("missing file") << QByteArray("missing") << none;
        QTest::newRow("folder") << QByteArray("folder") << none;
        QTest::newRow("record cut short") << filler(1000) + v.left(51) << none;
        QTest::newRow("no structure version") << record({3, 1, 0, 7, 3, 1, 0, 7}, 1) << none;
    }
    void versionRecord() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString good = m_dir.filePath(QStringLiteral("good.bin"));
        QVERIFY(writeFile(good, record({1, 2, 3, 4, 5, 6, 7, 8})));
        QString path = m_dir.filePath(QStringLiteral("tarnvue"));
        QFile::remove(path);
        if (content == "folder")
            path = m_dir.path();
        else if (content != "missing")
            QVERIFY(writeFile(path, content));
        FileVerInfo info;
        QVERIFY(info.GetInfo(good));
        QCOMPARE(info.GetInfo(path), !expected.startsWith(QLatin1String("-1.-1.-1.-1 -1")));
        QCOMPARE(numbers(info), expected);
        // The About box's product line shows the product version.
        QCOMPARE(productVersionLine(QStringLiteral("tarnvue"), info),
                 "tarnvue Version " + expected.section(' ', 1) + "  ");
    }

    // The reader's own machine code holds the signature as a constant; it
    // must not be taken for a record. This program carries the record the
    // build makes for the program.
    void programsOwnRecord() {
        const QList<int> v{TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR, TARNVUE_VERSION_PATCH, 0};
        const QString version =
            QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
        FileVerInfo info;
        QCOMPARE(numbers(info), QStringLiteral("-1.-1.-1.-1 -1.-1.-1.-1"));
        QVERIFY(QFileInfo(QStringLiteral(TARNVUE_HELP_LIBRARY)).size() > 0);
        QVERIFY(!info.GetInfo(QStringLiteral(TARNVUE_HELP_LIBRARY)));
        QCOMPARE(FileVerInfo::executablePath(), QCoreApplication::applicationFilePath());
        QVERIFY(info.GetExecutableInfo());
        QCOMPARE(numbers(info), version + ' ' + version);
    }

    // "Version" major.minor, then the full month name and four-digit year.
    void releaseLine() {
        QCOMPARE(tarnvue::releaseLine(1, 0, QDate(2024, 3, 5), QLocale(QLocale::English)),
                 QStringLiteral("Version 1.0 March 2024"));
        QCOMPARE(tarnvue::releaseLine(3, 12, QDate(999, 1, 9), QLocale(QLocale::English)),
                 QStringLiteral("Version 3.12 January 0999"));
    }

    // The About command: the About window shows the program, its release,
    // the version this very program carries and the legal notice.
    void aboutCommandShowsTheProgram() {
        const test::DialogRecorderScope rec;
        QWidget window;
        showAboutBox(&window); // without the component: nothing shown, nothing said
        QVERIFY(!shownAboutDialog());
        registerStandardComponents();
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        window.setWindowIcon(QIcon(pixmap));
        showAboutBox(&window);
        AboutDialog* dialog = shownAboutDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("About Tarnvue"));
        QCOMPARE(dialog->NameLabel()->text(), QStringLiteral("Tarnvue"));
        QCOMPARE(dialog->SubTitleLabel()->text(),
                 QStringLiteral("Historical Response Time Charting and Trending"));
        const QFileInfo self(QCoreApplication::applicationFilePath());
        QCOMPARE(dialog->VersionLabel()->text(),
                 QStringLiteral("%1\n%2 Version %3.%4.%5.0  \n%6")
                     .arg(tarnvue::releaseLine(TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR,
                                               self.lastModified().date()),
                          self.completeBaseName())
                     .arg(TARNVUE_VERSION_MAJOR)
                     .arg(TARNVUE_VERSION_MINOR)
                     .arg(TARNVUE_VERSION_PATCH)
                     .arg(legalNotice()));
        QVERIFY(legalNotice().contains(QLatin1String("GNU General Public License")));
        QCOMPARE(dialog->IconLabel()->pixmap().toImage().pixelColor(8, 8), QColor(Qt::red));
        QVERIFY(rec->messages.isEmpty());
        // The window outlives the component that showed it, and goes when closed.
        QPointer<AboutDialog> guard(dialog);
        dialog->close();
        QTRY_VERIFY(guard.isNull());
    }

    // Every step runs with its errors ignored: one that fails is skipped.
    void failingStepIsSkipped() {
        ComponentRegistry::instance().add(ComponentIds::aboutDialog(),
                                          [] { return std::make_unique<RefusingAbout>(); });
        const test::DialogRecorderScope rec;
        showAboutBox(nullptr);
        QVERIFY(RefusingAbout::shown);
        QVERIFY(rec->messages.isEmpty());
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
