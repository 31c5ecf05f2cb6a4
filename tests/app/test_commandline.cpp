#include "app/CommandLine.h"
#include "app/WindowState.h"
#include "chart/Periods.h"

#include <QtTest>

using namespace tarnvue;
using Kind = CommandLine::Kind;

Q_DECLARE_METATYPE(CommandLine::Kind)
Q_DECLARE_METATYPE(tarnvue::WindowState)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void grammar_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("value");
        QTest::newRow("nothing") << "" << Kind::None << "";
        QTest::newRow("-N12") << "-N12" << Kind::NodeId << "12";
        QTest::newRow("-N 12") << "-N 12" << Kind::NodeId << "12";
        QTest::newRow("-N with spaces after") << "-N  12  " << Kind::NodeId << "12";
        QTest::newRow("bare -N") << "-N" << Kind::NodeId << "";
        QTest::newRow("-Nabc") << "-Nabc" << Kind::NodeId << "abc";
        QTest::newRow("-IP attached") << "-IP10.0.0.1" << Kind::Address << "10.0.0.1";
        QTest::newRow("-IP spaced") << "-IP   10.0.0.1   " << Kind::Address << "10.0.0.1";
        QTest::newRow("-IP tab is kept") << "-IP\t10.0.0.1" << Kind::Address << "\t10.0.0.1";
        QTest::newRow("lower-case -n is a file") << "-n5" << Kind::ChartFile << "-n5";
        QTest::newRow("lower-case -ip is a file")
            << "-ip10.0.0.1" << Kind::ChartFile << "-ip10.0.0.1";
        QTest::newRow("-I alone is a file") << "-I" << Kind::ChartFile << "-I";
        QTest::newRow("leading space is a file") << " -N5" << Kind::ChartFile << " -N5";
        QTest::newRow("path with spaces, untouched")
            << "/home/ops/My Charts/router1.nvc " << Kind::ChartFile
            << "/home/ops/My Charts/router1.nvc ";
        QTest::newRow("quotes are kept") << "\"a b.nvc\"" << Kind::ChartFile << "\"a b.nvc\"";
    }
    void grammar() {
        QFETCH(QString, text);
        QFETCH(Kind, kind);
        QFETCH(QString, value);
        const CommandLine command = parseCommandLine(text);
        QCOMPARE(command.kind, kind);
        QCOMPARE(command.value, value);
    }

    void argumentsAreJoinedWithSingleSpaces() {
        QCOMPARE(argumentText({"tarnvue"}), QString());
        QCOMPARE(argumentText({"tarnvue", "-N", "12"}), QStringLiteral("-N 12"));
        QCOMPARE(argumentText({"tarnvue", "/tmp/My Charts/a.nvc"}),
                 QStringLiteral("/tmp/My Charts/a.nvc"));
        QCOMPARE(argumentText({"tarnvue", "/tmp/My", "Charts/a.nvc"}),
                 QStringLiteral("/tmp/My Charts/a.nvc"));
    }

    void captions_data() {
        QTest::addColumn<WindowState>("state");
        QTest::addColumn<QString>("chartName");
        QTest::addColumn<QString>("mainTitle");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("caption");
        QTest::newRow("empty") << WindowState::Empty << "router1"
                               << "router1" << 2 << "Norvane Tarnvue";
        QTest::newRow("this week") << WindowState::NodeChart << "router1"
                                   << "router1" << 2 << "router1 - Response Time for This Week";
        QTest::newRow("last 30 days")
            << WindowState::NodeChart << "router1"
            << "router1" << 4 << "router1 - Response Time for Last 30 days";
        QTest::newRow("custom period: the name alone") << WindowState::NodeChart << "router1"
                                                       << "router1" << 8 << "router1";
        QTest::newRow("node without a name") << WindowState::NodeChart << ""
                                             << "" << 1 << " - Response Time for Today";
        QTest::newRow("period without a tab leaves the caption")
            << WindowState::NodeChart << "router1"
            << "router1" << 9 << "";
        QTest::newRow("file chart") << WindowState::FileChart << "report.nvc"
                                    << "router1" << 1 << "report.nvc [router1]";
        QTest::newRow("file chart before any node") << WindowState::FileChart << "report.nvc"
                                                    << "" << 1 << "report.nvc []";
    }
    void captions() {
        QFETCH(WindowState, state);
        QFETCH(QString, chartName);
        QFETCH(QString, mainTitle);
        QFETCH(int, period);
        QFETCH(QString, caption);
        QCOMPARE(windowCaption(state, chartName, mainTitle, period), caption);
    }

    void states() {
        QCOMPARE(windowStateOf(QString(), 0), WindowState::Empty);
        QCOMPARE(windowStateOf(QString(), -3), WindowState::Empty);
        QCOMPARE(windowStateOf(QString(), 1), WindowState::NodeChart);
        QCOMPARE(windowStateOf(QStringLiteral("a.nvc"), 1), WindowState::FileChart);
        QCOMPARE(windowStateOf(QStringLiteral("a.nvc"), 0), WindowState::FileChart);
    }

    void layout() {
        // A node chart leaves the gap and the tab strip free at the bottom.
        ClientLayout node = layoutClient(WindowState::NodeChart, 600, 400, 21, 3);
        QCOMPARE(node.tabs, QRect(0, 379, 600, 21));
        QCOMPARE(node.chart, QRect(0, 0, 600, 376));
        QVERIFY(node.tabsVisible);
        // Other states give the chart the whole area; the tabs still get
        // their place.
        ClientLayout file = layoutClient(WindowState::FileChart, 600, 400, 21, 3);
        QCOMPARE(file.chart, QRect(0, 0, 600, 400));
        QCOMPARE(file.tabs, QRect(0, 379, 600, 21));
        QVERIFY(!file.tabsVisible);
        // Too small to place: the chart keeps its previous place.
        ClientLayout tiny = layoutClient(WindowState::NodeChart, 600, 10, 21, 3);
        QVERIFY(!tiny.chart.isValid());
        QCOMPARE(tiny.tabs, QRect(0, -11, 600, 21));
        QCOMPARE(twipsToPixels(1440, 96), 96);
        QCOMPARE(twipsToPixels(315, 96), 21);
        QCOMPARE(twipsToPixels(50, 96), 3);
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
