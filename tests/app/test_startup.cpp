#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "app/Startup.h"
#include "chart/CustomPeriodForm.h"
#include "chart/Periods.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "core/DateValue.h"
#include "monitordb/MonitorDB.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTabBar>
#include <QtTest>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(5, QStringLiteral("router5"), QStringLiteral("10.0.0.5"));
    db.addNode(7, QVariant(), QStringLiteral("10.0.0.7"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = 0; minute < 15 * 60; ++minute)
        db.addSample(5, day + minute / 1440.0, 10 + minute % 7, 9, 20, 0);
}

QAction* action(GraphForm& window, const char* name) {
    return window.findChild<QAction*>(QLatin1String(name));
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::release(); }

    void noArgumentOpensTheEmptyWindow() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope dialogs;
        StartupResult start = Main(QString());
        QVERIFY(start.window);
        GraphForm& window = *start.window;
        QVERIFY(window.isVisible());
        QCOMPARE(window.state(), WindowState::Empty);
        QCOMPARE(window.windowTitle(), QStringLiteral("Norvane Tarnvue"));
        QCOMPARE(window.CurrentPeriod(), 1);
        QCOMPARE(window.helpContextId(), 6300);
        QVERIFY(!window.Chart()->isVisible());
        QVERIFY(!window.PeriodButtons()->isVisible());
        QVERIFY(!action(window, "CloseSelection")->isEnabled());
        QVERIFY(dialogs->messages.isEmpty());
        // Nothing was opened or created yet.
        QVERIFY(!MonitorDB::sharedIfCreated());
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
    }

    void nodeOptionChartsTheNodeForToday_data() {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("-N5") << "-N5";
        QTest::newRow("-N 5") << "-N 5";
        QTest::newRow("-IP attached") << "-IP10.0.0.5";
        QTest::newRow("-IP with spaces") << "-IP   10.0.0.5  ";
    }
    void nodeOptionChartsTheNodeForToday() {
        QFETCH(QString, arguments);
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());

        StartupResult start = Main(arguments);
        QVERIFY(start.window);
        GraphForm& window = *start.window;
        QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->texts().join(u'|')));
        QVERIFY(window.isVisible());
        QCOMPARE(window.state(), WindowState::NodeChart);
        QCOMPARE(window.CurrentNodeID(), 5);
        QCOMPARE(window.windowTitle(), QStringLiteral("router5 - Response Time for Today"));
        QCOMPARE(window.NodeAddress(), QStringLiteral("10.0.0.5"));
        QCOMPARE(window.Chart()->MainTitle(), QStringLiteral("router5"));
        QCOMPARE(window.Chart()->SubTitle(), QStringLiteral("10.0.0.5"));
        QCOMPARE(window.Chart()->NodeID(), 5);
        QCOMPARE(window.Chart()->DB(), &MonitorDB::shared());
        // 14:37: today until 15:00 in quarter hours.
        QCOMPARE(window.Chart()->PlotBegin(), DateValue::fromDateTime(Now.date()));
        QCOMPARE(window.Chart()->PlotEnd(), DateValue::fromDateTime(Now.date(), QTime(15, 0)));
        QCOMPARE(int(window.Chart()->PointCount()), 60);
        QVERIFY(window.Chart()->isVisible());
        QVERIFY(window.PeriodButtons()->isVisible());
        QVERIFY(window.Chart()->geometry().bottom() < window.PeriodButtons()->geometry().top());
        QVERIFY(action(window, "CloseSelection")->isEnabled());
        // The database was there: nothing was copied over it.
        QVERIFY(!QFile::exists(MonitorDB::templatePath()));
    }

    void badNodeIdentifierEndsWithoutWindow_data() {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("-Nabc") << "-Nabc";
        QTest::newRow("bare -N") << "-N";
        QTest::newRow("-N and spaces") << "-N   ";
        QTest::newRow("fraction") << "-N1.5";
        QTest::newRow("beyond 32 bits") << "-N99999999999";
    }
    void badNodeIdentifierEndsWithoutWindow() {
        QFETCH(QString, arguments);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        const StartupResult start = Main(arguments);
        QVERIFY(!start.window);
        QCOMPARE(start.exitCode, ExitBadNodeId);
        QVERIFY(dialogs->messages.isEmpty());
    }

    void unknownNodeIsReportedInTheOpenWindow() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        StartupResult start = Main(QStringLiteral("-N9"));
        QVERIFY(start.window);
        QVERIFY(start.window->isVisible());
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(
            dialogs->messages[0].text.startsWith(QStringLiteral("Cannot build new chart.\r\n")));
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs->messages[0].title, QStringLiteral("Norvane Tarnvue"));
        // What the failed build changed stays.
        QCOMPARE(start.window->CurrentNodeID(), 9);
    }

    void nodeWithoutNameHasAnEmptyCaptionStart() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        StartupResult start = Main(QStringLiteral("-N7"));
        QVERIFY(dialogs->messages.isEmpty());
        QCOMPARE(start.window->windowTitle(), QStringLiteral(" - Response Time for Today"));
    }

    void addressThatNoNodeHas_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("address");
        QTest::newRow("unknown") << "-IP 10.9.9.9 "
                                 << "10.9.9.9";
        QTest::newRow("quotes cannot widen the lookup") << "-IP1\" OR \"1\"=\"1"
                                                        << "1\" OR \"1\"=\"1";
        QTest::newRow("empty address") << "-IP"
                                       << "";
    }
    void addressThatNoNodeHas() {
        QFETCH(QString, arguments);
        QFETCH(QString, address);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        const StartupResult start = Main(arguments);
        QVERIFY(!start.window);
        QCOMPARE(start.exitCode, ExitNodeNotFound);
        QCOMPARE(dialogs->texts(), QStringList{QStringLiteral("Cannot find node for ") + address});
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::Exclamation);
    }

    void addressLookupNeverCreatesTheDatabase() {
        const test::ProgramDirScope dir;
        dir.installTemplate();
        const test::DialogRecorderScope dialogs;
        const StartupResult start = Main(QStringLiteral("-IP10.0.0.1"));
        QVERIFY(!start.window);
        QCOMPARE(dialogs->texts(), QStringList{QStringLiteral("Cannot find node for 10.0.0.1")});
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
    }

    void firstBuildCopiesTheTemplate() {
        const test::ProgramDirScope dir;
        dir.installTemplate();
        const test::DialogRecorderScope dialogs;
        StartupResult start = Main(QStringLiteral("-N1"));
        QVERIFY(QFile::exists(MonitorDB::databasePath()));
        // The fresh copy is empty, so node 1 is not in it.
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral("Cannot build new chart.")));
        QVERIFY(start.window->isVisible());
    }

    void failureBeforeTheWindowShowsStillShowsIt() {
        const test::ProgramDirScope dir; // no database, no template
        const test::DialogRecorderScope dialogs;
        StartupResult start = Main(QStringLiteral("-N1"));
        QVERIFY(start.window);
        QVERIFY(start.window->isVisible());
        QCOMPARE(start.window->state(), WindowState::Empty);
        QCOMPARE(dialogs->messages.size(), 1);
        const QString text = dialogs->messages[0].text;
        QVERIFY(text.startsWith(QStringLiteral("No monitor database was found.")));
        QVERIFY(text.contains(QStringLiteral("Pollwatch.cfg")));
    }

    void accessDatabaseIsNamedInTheMessage() {
        const test::ProgramDirScope dir;
        // An Access 97 file: Jet 4 files are read, older ones are refused.
        QByteArray header(4096 * 4, '\0');
        header.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
        QFile access(MonitorDB::databasePath());
        QVERIFY(access.open(QIODevice::WriteOnly));
        access.write(header);
        access.close();
        const test::DialogRecorderScope dialogs;
        StartupResult start = Main(QStringLiteral("-N1"));
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(
            dialogs->messages[0].text.startsWith(QStringLiteral("Cannot build new chart.\r\n")));
        QVERIFY(dialogs->messages[0].text.contains(QStringLiteral("Access (Jet 3) database")));
    }

    void chartFileThatCannotLoadEndsTheProgram_data() {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("lower-case -n") << "-n5";
        QTest::newRow("missing file") << "/no/such/folder/report.nvc";
        QTest::newRow("quoted path") << "\"/tmp/My Charts/a.nvc\"";
    }
    void chartFileThatCannotLoadEndsTheProgram() {
        QFETCH(QString, arguments);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope dialogs;
        const StartupResult start = Main(arguments);
        QVERIFY(!start.window);
        QCOMPARE(start.exitCode, ExitChartNotLoaded);
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral("Cannot load chart (") +
                                                     arguments + QStringLiteral(")\r\n\r\n")));
        QCOMPARE(dialogs->messages[0].icon, MessageIcon::None);
    }

    void chartFileOnTheCommandLineOpensWithoutTheDatabase() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        const QString path = dir.file(QStringLiteral("My Charts router5.nvc"));
        {
            StartupResult built = Main(QStringLiteral("-N5"));
            QVERIFY(built.window->Chart()->SaveChart(path));
            built.window->close();
        }
        QFile::remove(MonitorDB::databasePath());

        StartupResult start = Main(path);
        QVERIFY(start.window);
        GraphForm& window = *start.window;
        QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->texts().join(u'|')));
        QCOMPARE(window.state(), WindowState::FileChart);
        QCOMPARE(window.ChartFileName(), path);
        // Nothing was charted in this window yet, so the title in brackets is empty.
        QCOMPARE(window.windowTitle(), QStringLiteral("My Charts router5.nvc []"));
        QVERIFY(window.Chart()->isVisible());
        QVERIFY(!window.PeriodButtons()->isVisible());
        QCOMPARE(window.Chart()->ChartObject()->mainTitle(), QStringLiteral("router5"));
        QCOMPARE(window.Chart()->ChartObject()->pointCount(), 60);
    }

    void closeReturnsToEmptyAndExitReleasesTheDatabase() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        StartupResult start = Main(QStringLiteral("-N5"));
        GraphForm& window = *start.window;

        action(window, "CloseSelection")->trigger();
        QCOMPARE(window.state(), WindowState::Empty);
        QCOMPARE(window.CurrentNodeID(), 0);
        QCOMPARE(window.windowTitle(), QStringLiteral("Norvane Tarnvue"));
        QVERIFY(!window.Chart()->isVisible());
        QVERIFY(!window.PeriodButtons()->isVisible());
        QVERIFY(window.isVisible());

        // A new chart can be built after Close.
        QVERIFY(window.BuildChart(1));
        QCOMPARE(window.windowTitle(), QStringLiteral("router1 - Response Time for Today"));

        QVERIFY(MonitorDB::sharedIfCreated() && MonitorDB::sharedIfCreated()->isOpen());
        action(window, "ExitSelection")->trigger();
        QVERIFY(!window.isVisible());
        QVERIFY(!MonitorDB::sharedIfCreated());
        QVERIFY(dialogs->messages.isEmpty());
    }

    void periodTabsRebuildTheChart() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        StartupResult start = Main(QStringLiteral("-N5"));
        GraphForm& window = *start.window;
        QTabBar* tabs = window.PeriodButtons();
        QCOMPARE(tabs->count(), 8);
        QCOMPARE(tabs->tabText(3), QStringLiteral("Last 30 days"));
        QCOMPARE(tabs->tabData(3).toString(), QStringLiteral("Last30Days"));

        tabs->setCurrentIndex(1);
        QCOMPARE(window.CurrentPeriod(), 2);
        QCOMPARE(window.windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
        QCOMPARE(int(window.Chart()->PointCount()), 192);

        // A selection made by the program itself is ignored.
        IgnorePeriodClick = true;
        tabs->setCurrentIndex(3);
        IgnorePeriodClick = false;
        QCOMPARE(window.CurrentPeriod(), 2);

        // The custom tab opens its dialog; cancelled, it neither changes the
        // period nor rebuilds the chart.
        bool asked = false;
        window.setCustomPeriodAnswer([&asked](CustomPeriodForm&) {
            asked = true;
            return false;
        });
        tabs->setCurrentIndex(7);
        QVERIFY(asked);
        QCOMPARE(window.CurrentPeriod(), 2);
        QCOMPARE(window.windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
        QVERIFY(dialogs->messages.isEmpty());
    }

    void layoutSurvivesATinyWindow() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        StartupResult start = Main(QStringLiteral("-N5"));
        GraphForm& window = *start.window;
        const QRect before = window.Chart()->geometry();
        window.resize(120, 40);
        QCoreApplication::processEvents();
        window.Form_Resize();
        // What cannot be placed keeps its place: the chart never collapses.
        QVERIFY(window.Chart()->geometry().isValid());
        window.resize(900, 600);
        QCoreApplication::processEvents();
        QVERIFY(window.Chart()->geometry().height() > before.height() ||
                window.Chart()->geometry().width() > before.width());
        QVERIFY(dialogs->messages.isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
