#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "app/RecentCharts.h"
#include "chart/Periods.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "core/DateValue.h"
#include "core/UserSettings.h"
#include "monitordb/MonitorDB.h"

#include <QAction>
#include <QTabBar>
#include <QtTest>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(5, QStringLiteral("router5"), QStringLiteral("10.0.0.5"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = -2 * 1440; minute < 14 * 60; minute += 15)
        db.addSample(5, day + minute / 1440.0, 12, 9, 20, 0);
}

QAction* command(GraphForm& w, const QString& name) {
    return w.findChild<QAction*>(name);
}

} // namespace

class TestUserSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LoadSampleSizes(); }
    void cleanup() { MonitorDB::release(); }

    // Each row adds stored entries in turn (oldest first) and reads the list.
    void recentCharts_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("newest first")
            << QStringList{"node:1:a", "file:/x.nvc"} << QStringList{"file:/x.nvc", "node:1:a"};
        QTest::newRow("a node reopened moves up, by identifier")
            << QStringList{"node:1:a", "node:2:b", "node:1:renamed"}
            << QStringList{"node:1:renamed", "node:2:b"};
        QStringList nine;
        for (int i = 1; i <= 9; ++i)
            nine << QStringLiteral("file:/%1.nvc").arg(i);
        QStringList eight = nine.mid(1);
        std::reverse(eight.begin(), eight.end());
        QTest::newRow("eight at most, the oldest falls off") << nine << eight;
        QTest::newRow("damaged entries are dropped")
            << QStringList{"node:x:a", "node:0:b", "file:", "other", "node:7:ok"}
            << QStringList{"node:7:ok"};
    }

    void recentCharts() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, stored);
        RecentCharts recent;
        for (const QString& entry : added) {
            if (const auto chart = RecentChart::fromStored(entry))
                recent.add(*chart);
        }
        QCOMPARE(recent.stored(), stored);
        QCOMPARE(RecentCharts(recent.stored() + added).stored(), stored);
        RecentChart chart{RecentChart::Kind::Node, 3, QStringLiteral("R&D")};
        QCOMPARE(recentChartCaption(7, chart), QStringLiteral("&8 R&&D"));
    }

    // The user's choices and recent charts survive the window; a recent entry
    // that is gone is removed with a message.
    void windowRemembers() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        writeDatabase(MonitorDB::databasePath());
        QRect geometry;
        {
            GraphForm w;
            w.setNodeChooser([](QWidget*) { return 5; });
            w.show();
            w.PeriodButtons()->setCurrentIndex(ThisWeekPeriod - 1);
            w.BuildNewSelection_Click();
            command(w, "SmallFontSize")->trigger();
            command(w, "TableSelection")->trigger();
            w.setGeometry(40, 50, 900, 640);
            geometry = w.geometry();
            w.close();
        }
        UserSettings().setRecentCharts(UserSettings().recentCharts() +
                                       QStringList{"file:/gone/old.nvc", "node:99:retired"});
        GraphForm w;
        w.show();
        QCOMPARE(w.CurrentPeriod(), std::int16_t(ThisWeekPeriod));
        QCOMPARE(w.PeriodButtons()->currentIndex(), ThisWeekPeriod - 1);
        QCOMPARE(w.Chart()->FontSize(), std::int16_t(FontSmall));
        QVERIFY(w.Chart()->Table());
        QCOMPARE(w.geometry().size(), geometry.size());
        QCOMPARE(command(w, "RecentChart1")->text(), QStringLiteral("&1 router5"));
        QVERIFY(command(w, "RecentChart3")->isVisible());
        QVERIFY(!command(w, "RecentChart4")->isVisible());

        w.RecentChart_Click(3);
        w.RecentChart_Click(2);
        QCOMPARE(dialogs->messages.size(), 2);
        QVERIFY(dialogs->messages[0].text.contains(QStringLiteral("\"retired\" is no longer")));
        QVERIFY(dialogs->messages[1].text.contains(QStringLiteral("old.nvc\" no longer exists")));
        QVERIFY(!command(w, "RecentChart2")->isVisible());

        w.RecentChart_Click(1);
        QCOMPARE(w.CurrentNodeID(), 5);
        QVERIFY(w.windowTitle().contains(QStringLiteral("This Week")));
    }

    // With no database anywhere the window says where it looked and offers
    // Open Database; the database chosen there is kept.
    void missingDatabaseOffersOpenDatabase() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(Now);
        const test::DialogRecorderScope dialogs;
        QTemporaryDir elsewhere;
        const QString chosen = elsewhere.filePath(QStringLiteral("monitor.cfg"));
        writeDatabase(chosen);
        dialogs->replies.push_back(MessageReply::Yes);
        dialogs->fileAnswers.push_back(chosen);
        GraphForm w;
        QVERIFY(w.BuildChart(5));
        QCOMPARE(dialogs->messages.size(), 1);
        const QString text = dialogs->messages[0].text;
        QVERIFY2(text.contains(MonitorDB::databasePath()) &&
                     text.contains(QStringLiteral("TARNVUE_DATABASE: not set")) &&
                     text.endsWith(QStringLiteral("Open a monitor database now?")),
                 qPrintable(text));
        QCOMPARE(UserSettings().chosenDatabase(), chosen);
        QCOMPARE(findMonitorDatabase().path, chosen);
    }
};

QTEST_MAIN(TestUserSettings)
#include "test_usersettings.moc"
