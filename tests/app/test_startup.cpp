#include "AppTestSupport.h"
#include "app/Startup.h"
#include "components/chart/ChartControl.h"
#include "monitordb/MonitorDB.h"

#include <QFile>

using namespace tarnvue;

Q_DECLARE_METATYPE(tarnvue::MessageIcon)

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::release(); }

    // What the program does with its arguments, against the monitor database
    // it finds: "db" (router1, router5, node 7 without a name), "none", the
    // empty "template" only, an old "access" file, or "file" (a chart file of
    // router5 saved, the database gone). Without a window the program ends with
    // the status given. A message is the text it starts with, then "…" and a
    // part it contains.
    void arguments_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<bool>("database"); // the database file exists afterwards
        const auto window = [](const char* name, const char* arguments, const char* setup,
                               const char* caption, const char* message, MessageIcon icon,
                               bool database) {
            QTest::newRow(name) << arguments << setup << 0 << caption << message << icon
                                << database;
        };
        const auto end = [](const char* name, const char* arguments, const char* setup, int code,
                            const char* message, MessageIcon icon, bool database) {
            QTest::newRow(name) << arguments << setup << code << "" << message << icon << database;
        };
        const auto none = MessageIcon::None;
        const auto warn = MessageIcon::Exclamation;
        const auto today = "router5 - Response Time for Today";
        // Nothing is opened or created before the user asks for a chart.
        window("no argument", "", "none", "Norvane Tarnvue", "", none, false);
        window("-N5", "-N5", "db", today, "", none, true);
        window("-N 5", "-N 5", "db", today, "", none, true);
        window("-IP attached", "-IP10.0.0.5", "db", today, "", none, true);
        window("-IP with spaces", "-IP   10.0.0.5  ", "db", today, "", none, true);
        window("a node without a name", "-N7", "db", " - Response Time for Today", "", none, true);
        // What the failed build changed stays: the node asked for.
        window("an unknown node is reported in the window", "-N9", "db",
               " - Response Time for Today", "Cannot build new chart.\r\n", warn, true);
        // The fresh copy is empty: node 1 is not in it.
        window("the first build copies the template", "-N1", "template",
               " - Response Time for Today", "Cannot build new chart.\r\n", warn, true);
        window("no database anywhere", "-N1", "none", "Norvane Tarnvue",
               "No monitor database was found.…Pollwatch.cfg", warn, false);
        // Jet 4 files are read, older ones refused.
        window("an Access 97 file is named", "-N1", "access", "Norvane Tarnvue",
               "Cannot build new chart.\r\n…Access (Jet 3) database", warn, true);
        window("a chart file opens without the database", "%file", "file",
               "My Charts router5.nvc []", "", none, false);
        for (const char* id : {"-Nabc", "-N", "-N   ", "-N1.5", "-N99999999999"})
            end(id, id, "db", ExitBadNodeId, "", none, true);
        end("unknown address", "-IP 10.9.9.9 ", "db", ExitNodeNotFound,
            "Cannot find node for 10.9.9.9", warn, true);
        end("quotes cannot widen the lookup", "-IP1\" OR \"1\"=\"1", "db", ExitNodeNotFound,
            "Cannot find node for 1\" OR \"1\"=\"1", warn, true);
        end("empty address", "-IP", "db", ExitNodeNotFound, "Cannot find node for ", warn, true);
        end("a lookup never creates the database", "-IP10.0.0.1", "template", ExitNodeNotFound,
            "Cannot find node for 10.0.0.1", warn, false);
        end("lower-case -n is a file", "-n5", "none", ExitChartNotLoaded,
            "Cannot load chart (-n5)\r\n\r\n", none, false);
        end("a missing file", "/no/such/folder/a.nvc", "none", ExitChartNotLoaded,
            "Cannot load chart (/no/such/folder/a.nvc)\r\n\r\n", none, false);
        end("a quoted path", "\"/tmp/My Charts/a.nvc\"", "none", ExitChartNotLoaded,
            "Cannot load chart (\"/tmp/My Charts/a.nvc\")\r\n\r\n", none, false);
    }
    void arguments() {
        QFETCH(QString, arguments);
        QFETCH(QString, setup);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const test::ProgramDirScope dir;
        const test::ClockScope clock(test::Now);
        const test::DialogRecorderScope dialogs;
        if (setup == QLatin1String("db") || setup == QLatin1String("file"))
            test::writeMonitorDatabase(MonitorDB::databasePath());
        if (setup == QLatin1String("template"))
            dir.installTemplate();
        if (setup == QLatin1String("access")) {
            QFile access(MonitorDB::databasePath());
            QVERIFY(access.open(QIODevice::WriteOnly));
            access.write(
                QByteArray("\x00\x01\x00\x00Standard Jet DB", 19).leftJustified(16384, '\0'));
        }
        if (setup == QLatin1String("file")) {
            arguments = dir.file(QStringLiteral("My Charts router5.nvc"));
            QVERIFY(Main(QStringLiteral("-N5")).window->Chart()->SaveChart(arguments));
            QVERIFY(QFile::remove(MonitorDB::databasePath()));
        }

        StartupResult start = Main(arguments);
        QCOMPARE(start.exitCode, exitCode);
        QCOMPARE(bool(start.window), exitCode == 0);
        QCOMPARE(dialogs->messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            const QString text = dialogs->messages[0].text;
            QVERIFY2(text.startsWith(message.section(u'…', 0, 0)) &&
                         text.contains(message.section(u'…', 1)),
                     qPrintable(text));
            QTEST(dialogs->messages[0].icon, "icon");
            QCOMPARE(dialogs->messages[0].title, QStringLiteral("Norvane Tarnvue"));
        }
        QTEST(QFile::exists(MonitorDB::databasePath()), "database");
        if (!start.window)
            return;
        GraphForm& w = *start.window;
        QVERIFY(w.isVisible());
        QTEST(w.windowTitle(), "caption");
        QCOMPARE(w.helpContextId(), 6300);
        if (setup == QLatin1String("file"))
            QCOMPARE(w.Chart()->ChartObject()->pointCount(), 60);
        // Exit closes the window and lets go of the database.
        test::command(w, "ExitSelection")->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!MonitorDB::sharedIfCreated());
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
