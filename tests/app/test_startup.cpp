#include "AppTestSupport.h"
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "components/chart/ChartControl.h"
#include "monitordb/MonitorDB.h"

#include <QFile>

using namespace tarnvue;
using Kind = CommandLine::Kind;

Q_DECLARE_METATYPE(tarnvue::MessageIcon)
Q_DECLARE_METATYPE(tarnvue::CommandLine::Kind)

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::release(); }

    // The arguments as the program receives them, joined, and what it reads
    // from them.
    void grammar_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* name, QStringList arguments, Kind kind, const char* value) {
            QTest::newRow(name) << arguments << kind << QString::fromUtf8(value);
        };
        row("nothing", {}, Kind::None, "");
        row("-N12", {"-N12"}, Kind::NodeId, "12");
        row("-N 12", {"-N", "12"}, Kind::NodeId, "12");
        row("-N with spaces after", {"-N  12  "}, Kind::NodeId, "12");
        row("bare -N", {"-N"}, Kind::NodeId, "");
        row("-Nabc", {"-Nabc"}, Kind::NodeId, "abc");
        row("-IP attached", {"-IP10.0.0.1"}, Kind::Address, "10.0.0.1");
        row("-IP spaced", {"-IP", "", "10.0.0.1", ""}, Kind::Address, "10.0.0.1");
        row("-IP tab is kept", {"-IP\t10.0.0.1"}, Kind::Address, "\t10.0.0.1");
        row("lower-case -n is a file", {"-n5"}, Kind::ChartFile, "-n5");
        row("lower-case -ip is a file", {"-ip10.0.0.1"}, Kind::ChartFile, "-ip10.0.0.1");
        row("-I alone is a file", {"-I"}, Kind::ChartFile, "-I");
        row("leading space is a file", {" -N5"}, Kind::ChartFile, " -N5");
        row("path with spaces, whole", {"/home/ops/My", "Charts/router1.nvc "}, Kind::ChartFile,
            "/home/ops/My Charts/router1.nvc ");
        row("quotes are kept", {"\"a b.nvc\""}, Kind::ChartFile, "\"a b.nvc\"");
    }
    void grammar() {
        QFETCH(QStringList, arguments);
        const CommandLine command =
            parseCommandLine(argumentText(QStringList{QStringLiteral("tarnvue")} + arguments));
        QTEST(command.kind, "kind");
        QTEST(command.value, "value");
    }

    // What the program does with its arguments, against the monitor database
    // it finds: "db" (router1, router5, node 7 without a name), "none", the
    // empty "template" only, or "file" (a chart file of router5 saved, the
    // database gone). Without a window the program ends with the status
    // given. A message is the text it starts with, then "…" and a part it
    // contains.
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
        end("a missing file", "/no/such/folder/a.nvc", "none", ExitChartNotLoaded,
            "Cannot load chart (/no/such/folder/a.nvc)\r\n\r\n", none, false);
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
        }
        QTEST(QFile::exists(MonitorDB::databasePath()), "database");
        if (!start.window)
            return;
        GraphForm& w = *start.window;
        QVERIFY(w.isVisible());
        QTEST(w.windowTitle(), "caption");
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
