#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartOutput.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QtTest>
#include <qcustomplot.h>

using namespace tarnvue;

namespace {

const double Day = 46327.0; // 2026-11-01 00:00
const double Minute = 1.0 / 1440.0;
const QDate EveningDay(2026, 11, 20);

// Node 1: polled every minute from 00:00 to 05:59, no rows at all from
// 02:00 to 02:59; 20 ms (min 15, max 30) before 04:00, 40 ms with 10% loss
// from then on. Node 4: every minute from 00:00 to 01:59, unanswered from
// 00:30 to 00:44. Node 3: 50 ms from 20:00 to 20:30 on EveningDay. Node 5:
// 10, 20, 30 and 40 ms in turn from 00:00 to 00:59, then unanswered to 01:59.
void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(3, QStringLiteral("evening"), QStringLiteral("10.0.0.3"));
    db.addNode(4, QStringLiteral("flaky"), QStringLiteral("10.0.0.4"));
    db.addNode(5, QStringLiteral("jittery"), QStringLiteral("10.0.0.5"));
    for (int m = 0; m < 360; ++m) {
        if (m < 120)
            db.addSample(5, Day + m * Minute, m < 60 ? 10 + m % 4 * 10 : -1, 0, 0, 0);
        const int response = m < 240 ? 20 : 40;
        if (m < 120 || m >= 180)
            db.addSample(1, Day + m * Minute, response, response - 5, response + 10,
                         m >= 240 ? 10 : 0);
        const bool lost = m >= 30 && m < 45;
        if (m < 120)
            db.addSample(4, Day + m * Minute, lost ? -1 : 20, lost ? -1 : 15, lost ? -1 : 30,
                         lost ? 100 : 0);
    }
    for (int m = 0; m <= 30; ++m)
        db.addSample(3, DateValue::fromDateTime(EveningDay, QTime(20, m)), 50, 50, 50, 0);
}

// A chart of a node's first hours in buckets of the given width, plotted.
std::unique_ptr<TarnvueChart> plotted(int node, double hours, int minutes, bool shading = true) {
    auto chart = std::make_unique<TarnvueChart>();
    chart->resize(900, 600);
    chart->setDB(&MonitorDB::shared());
    chart->setNodeID(node);
    chart->setPlotBegin(Day);
    chart->setPlotEnd(Day + hours / 24.0);
    chart->setPeriodSize(minutes * Minute);
    chart->setMainTitle(QStringLiteral("router1"));
    chart->setSubTitle(QStringLiteral("10.0.0.1"));
    chart->ChartObject()->setShowShading(shading);
    chart->Plot();
    return chart;
}

} // namespace

class TestTarnvueChart : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramDirScope> m_dir;

private slots:
    void initTestCase() {
        m_dir = std::make_unique<test::ProgramDirScope>();
        writeDatabase(MonitorDB::databasePath());
        MonitorDB::shared().open();
    }
    void cleanupTestCase() { MonitorDB::release(); }

    // The span cut into buckets, rounded half to even; -1: too many to count.
    void pointCount_data() {
        QTest::addColumn<double>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("points");
        QTest::newRow("15 hours of 6-hour buckets") << 15.0 << 360 << 2;
        QTest::newRow("21 hours of 6-hour buckets") << 21.0 << 360 << 4;
        QTest::newRow("empty span") << 0.0 << 15 << 0;
        QTest::newRow("a year of day buckets") << 366 * 24.0 << 1440 << 366;
        QTest::newRow("a day of minutes") << 24.0 << 1 << 1440;
        QTest::newRow("40 days of minutes") << 40 * 24.0 << 1 << -1;
    }
    void pointCount() {
        QFETCH(double, hours);
        QFETCH(int, minutes);
        QFETCH(int, points);
        try {
            const auto chart = plotted(1, hours, minutes);
            QCOMPARE(int(chart->PointCount()), points);
            QCOMPARE(chart->ChartObject()->pointCount(), points);
            QCOMPARE(chart->ChartObject()->visiblePointCount(), points);
        } catch (const Error& e) {
            QCOMPARE(points, -1);
            QCOMPARE(e.description(), QStringLiteral("Overflow"));
        }
    }

    void chartShowsTheBucketsAndTheOverallFigures() {
        const auto chart = plotted(1, 6, 60);
        // Read back from the component, not from our own variables.
        const ChartControl& c = *chart->ChartObject();
        QStringList buckets;
        for (int p = 0; p < c.pointCount(); ++p)
            buckets << QStringLiteral("%1 %2 %3 %4")
                           .arg(c.value(0, p))
                           .arg(c.value(1, p))
                           .arg(c.value(2, p))
                           .arg(c.value(3, p));
        QCOMPARE(buckets, (QStringList{"15 30 20 0", "15 30 20 0", "-1 -1 -1 -1", "15 30 20 0",
                                       "35 50 40 10", "35 50 40 10"}));
        QCOMPARE(c.firstPointTime(), Day);
        QCOMPARE(c.minutesPerPoint(), 60);
        QCOMPARE(c.mainTitle(), QStringLiteral("router1"));
        QCOMPARE(c.subTitle(), QStringLiteral("10.0.0.1"));
        // The extra title line: what the chart shows, then the program.
        QVERIFY(c.footer().startsWith(QStringLiteral("Custom: 1 Nov 2026 00:00 \u2013 ")));
        QVERIFY(c.footer().contains(QStringLiteral("||Norvane Tarnvue version ")));
        // 180 polls at 20 ms and 120 at 40: 300 rows, 120 with 10% loss.
        QCOMPARE(c.annotation(0).value, 28.0);
        QCOMPARE(c.annotation(0).text, QStringLiteral("Overall Average Response Time is 28.0 ms"));
        QCOMPARE(c.annotation(1).axis, 1); // the loss axis
        QCOMPARE(c.annotation(1).value, 4.0);
        QCOMPARE(c.annotation(1).text, QStringLiteral("|lOverall Packet Loss is 4.0%"));
        QVERIFY(c.showAnnotations());
        // The finished face: the chart, no progress.
        QVERIFY(!chart->Panel()->isHidden());
        QVERIFY(chart->Status()->isHidden());
        QVERIFY(chart->StatusLabel()->isHidden());

        // A subtitle that only repeats the title in other case is not shown.
        chart->setSubTitle(QStringLiteral("ROUTER1"));
        chart->Plot();
        QCOMPARE(c.subTitle(), QString());
        QCOMPARE(chart->SubTitle(), QStringLiteral("ROUTER1"));
    }

    // One decimal, halves away from zero, the user's separator, no grouping:
    // loss under half a percent read "0%"; grouping made "1,234.5 ms".
    void overallTexts() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(overallLossText(0.46f, us), QStringLiteral("Overall Packet Loss is 0.5%"));
        QCOMPARE(overallLossText(12.25f, us), QStringLiteral("Overall Packet Loss is 12.3%"));
        QCOMPARE(overallLossText(0.46f, de), QStringLiteral("Overall Packet Loss is 0,5%"));
        QCOMPARE(overallAverageText(3.25, us), "Overall Average Response Time is 3.3 ms");
        QCOMPARE(overallAverageText(1234.5, de), "Overall Average Response Time is 1234,5 ms");
    }

    // Day buckets of a minute short of a day ended hours before the span
    // did, so this evening's polls were never read.
    void yearChartCountsThisEveningsPolls() {
        TarnvueChart chart;
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(3);
        QVERIFY(setupPeriod(chart, Last12MonthsPeriod, QDateTime(EveningDay, QTime(21, 30))));
        chart.Plot();
        QCOMPARE(chart.ChartObject()->minutesPerPoint(), 1440);
        QCOMPARE(chart.LastTotals().records, 31);
        const int last = chart.PointCount() - 1;
        QCOMPARE(chart.ChartObject()->value(AverageSeries, last), 50.0f);
        QCOMPARE(chart.ChartObject()->model().pointTime(last), DateValue::fromDateTime(EveningDay));
    }

    // Outages and stretches without data lie behind the series as bands
    // over their buckets (bucket p spans p - 0.5 to p + 0.5), and the
    // report lists them.
    void shadesOutagesAndGaps_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("shading");
        QTest::addColumn<QString>("bands");
        QTest::addColumn<QString>("listed"); // parts of the report, separated by '|'
        QTest::newRow("outage, quarter hours")
            << 4 << 15 << true << "red 1.500-2.500"
            << "<p>Availability: 87.500 %</p>|<p>Outages: 1, downtime 15 min 00 s</p>|<td>outage"
               "</td><td>2026-11-01 00:30:00</td><td>2026-11-01 00:45:00</td><td>15 min 00 s</td>"
               "<td>15</td>";
        QTest::newRow("gap, hours")
            << 1 << 60 << true << "grey 1.483-2.500"
            << "<p>Availability: 100.000 %</p>|<p>Outages: 0, downtime 0 s</p>|<td>no data</td>"
               "<td>2026-11-01 01:59:00</td><td>2026-11-01 03:00:00</td><td>1 h 01 min 00 s</td>"
               "<td></td>";
        QTest::newRow("switched off") << 4 << 15 << false << ""
                                      << "<td>outage</td>";
    }
    void shadesOutagesAndGaps() {
        QFETCH(int, node);
        QFETCH(int, minutes);
        QFETCH(bool, shading);
        QFETCH(QString, bands);
        QFETCH(QString, listed);
        const auto chart = plotted(node, 6, minutes, shading);
        QCPLayer* layer = chart->ChartObject()->plot()->layer(QStringLiteral("shading"));
        QVERIFY(layer);
        QStringList drawn;
        for (QCPLayerable* child : layer->children()) {
            auto* rect = qobject_cast<QCPItemRect*>(child);
            if (rect && rect->visible())
                drawn << QStringLiteral("%1 %2-%3")
                             .arg(rect->brush().color().red() > 200 ? "red" : "grey")
                             .arg(rect->topLeft->coords().x(), 0, 'f', 3)
                             .arg(rect->bottomRight->coords().x(), 0, 'f', 3);
        }
        QCOMPARE(drawn.join(QStringLiteral("; ")), bands);
        const QString html = chartReportHtml(chart->ChartObject()->model(), QImage());
        for (const QString& part : listed.split('|'))
            QVERIFY2(html.contains(part), qPrintable(part));
        QVERIFY(html.indexOf(QStringLiteral("Availability and outages")) <
                html.indexOf(QStringLiteral("<table>\n")));
    }

    // A refresh gives each bucket its figures from the rows the fold reads,
    // with every figure switched off.
    void chartKeepsItsBucketsFigures() {
        const auto chart = plotted(5, 2, 60);
        const ChartModel& model = chart->ChartObject()->model();
        QVERIFY(!model.latency.any());
        // Ranks 3, 30 and 57 of fifteen each of 10, 20, 30, 40; steps of
        // 10, 10, 10, 30 in turn, 59 of them.
        QCOMPARE(model.shapes, (std::vector<BucketShape>{{10, 20, 40, 870.0f / 59.0f, 60, 60},
                                                         {-1, -1, -1, -1, 60, 0}}));
        const QStringList lines =
            chartDataCsv(model, DataColumns::Extended).split(QStringLiteral("\r\n"));
        QVERIFY2(lines[1].endsWith(",20,10,40,14.745763,60,60"), qPrintable(lines[1]));
        QVERIFY2(lines[2].endsWith(",,,,,60,0"), qPrintable(lines[2]));
    }

    // The average series (blue) and the loss series (red) both show.
    void drawsWhatItHolds() {
        const QImage image = plotted(1, 6, 15)->ChartObject()->toImage(900, 600);
        int blue = 0, red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                blue += c.blue() > 200 && c.red() < 60 && c.green() < 60;
                red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
            }
        QVERIFY2(blue > 200 && red > 50, qPrintable(QStringLiteral("%1 %2").arg(blue).arg(red)));
    }
};

QTEST_MAIN(TestTarnvueChart)
#include "test_tarnvuechart.moc"
