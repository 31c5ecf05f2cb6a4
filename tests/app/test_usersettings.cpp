#include "AppTestSupport.h"
#include "app/RecentCharts.h"
#include "chart/Periods.h"
#include "chart/SampleSizes.h"
#include "core/UserSettings.h"
#include "monitordb/MonitorDB.h"

#include <QTabBar>

using namespace tarnvue;
using test::command;

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
        QTest::newRow("eight at most, the oldest falls off")
            << nine << QStringList(nine.crbegin(), nine.crend() - 1);
        QTest::newRow("damaged entries are dropped")
            << QStringList{"node:x:a", "node:0:b", "file:", "other", "node:7:ok"}
            << QStringList{"node:7:ok"};
    }
    void recentCharts() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, stored);
        RecentCharts recent;
        for (const QString& entry : added)
            if (const auto chart = RecentChart::fromStored(entry))
                recent.add(*chart);
        QCOMPARE(recent.stored(), stored);
        QCOMPARE(RecentCharts(recent.stored() + added).stored(), stored);
        const RecentChart chart{RecentChart::Kind::Node, 3, QStringLiteral("R&D")};
        QCOMPARE(recentChartCaption(7, chart), QStringLiteral("&8 R&&D"));
    }

    // The user's choices on a node chart and the recent charts survive the
    // window, a chart file's own look does not replace them, and a recent
    // entry that is gone is removed with a message.
    void windowRemembers() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(test::Now);
        const test::DialogRecorderScope dialogs;
        test::writeMonitorDatabase(MonitorDB::databasePath());
        QSize size;
        {
            auto w = test::nodeChart();
            w->PeriodButtons()->setCurrentIndex(ThisWeekPeriod - 1);
            command(*w, "SmallFontSize")->trigger();
            command(*w, "TableSelection")->trigger();
            w->resize(900, 640);
            size = w->size();
            const QString file = dir.file(QStringLiteral("look.nvc"));
            QVERIFY(w->Chart()->SaveChart(file) && w->LoadGraph(file));
            command(*w, "LargeFontSize")->trigger();
            command(*w, "TableSelection")->trigger();
            w->close();
        }
        UserSettings().setRecentCharts(UserSettings().recentCharts() +
                                       QStringList{"file:/gone/old.nvc", "node:99:retired"});
        GraphForm w;
        w.show();
        QCOMPARE(w.CurrentPeriod(), ThisWeekPeriod);
        QCOMPARE(w.PeriodButtons()->currentIndex(), ThisWeekPeriod - 1);
        QCOMPARE(w.Chart()->FontSize(), FontSmall);
        QVERIFY(w.Chart()->Table());
        QCOMPARE(w.size(), size);
        QCOMPARE(command(w, "RecentChart2")->text(), QStringLiteral("&2 router5"));
        QVERIFY(command(w, "RecentChart4")->isVisible());
        QVERIFY(!command(w, "RecentChart5")->isVisible());

        w.RecentChart_Click(4);
        w.RecentChart_Click(3);
        QCOMPARE(dialogs->messages.size(), 2);
        QVERIFY(dialogs->messages[0].text.contains(QStringLiteral("\"retired\" is no longer")));
        QVERIFY(dialogs->messages[1].text.contains(QStringLiteral("old.nvc\" no longer exists")));
        QVERIFY(!command(w, "RecentChart3")->isVisible());

        w.RecentChart_Click(2);
        QCOMPARE(w.CurrentNodeID(), 5);
        QCOMPARE(w.windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
    }

    // With no database anywhere the window says where it looked and offers
    // Open Database; the database chosen there is kept.
    void missingDatabaseOffersOpenDatabase() {
        const test::ProgramDirScope dir;
        const test::ClockScope clock(test::Now);
        const test::DialogRecorderScope dialogs;
        QTemporaryDir elsewhere;
        const QString chosen = elsewhere.filePath(QStringLiteral("monitor.cfg"));
        test::writeMonitorDatabase(chosen);
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
