#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
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

// Node 1 polled every minute from 00:00 to 05:59 with a one-hour outage from
// 02:00 (no rows at all), 40 ms with 10% loss at 04:xx.
void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(3, QStringLiteral("evening"), QStringLiteral("10.0.0.3"));
    for (int m = 0; m < 360; ++m) {
        if (m >= 120 && m < 180)
            continue;
        const int response = m < 240 ? 20 : 40;
        db.addSample(1, Day + m * Minute, response, response - 5, response + 10, m >= 240 ? 10 : 0);
    }
    // Node 4: every minute from 00:00 to 01:59, unanswered from 00:30 to 00:44.
    db.addNode(4, QStringLiteral("flaky"), QStringLiteral("10.0.0.4"));
    for (int m = 0; m < 120; ++m) {
        if (m >= 30 && m < 45)
            db.addSample(4, Day + m * Minute, -1, -1, -1, 100);
        else
            db.addSample(4, Day + m * Minute, 20, 15, 30, 0);
    }
    for (int m = 0; m <= 30; ++m)
        db.addSample(3, DateValue::fromDateTime(EveningDay, QTime(20, m)), 50, 50, 50, 0);
}

} // namespace

class TestTarnvueChart : public QObject {
    Q_OBJECT

    test::ProgramDirScope* m_dir = nullptr;

private slots:
    void initTestCase() {
        m_dir = new test::ProgramDirScope;
        writeDatabase(MonitorDB::databasePath());
        MonitorDB::shared().open();
    }
    void cleanupTestCase() {
        MonitorDB::release();
        delete m_dir;
    }

    void pointCount_data() {
        QTest::addColumn<double>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("points");
        QTest::newRow("15 hours of 6-hour buckets") << 15.0 << 360 << 2;
        QTest::newRow("21 hours of 6-hour buckets") << 21.0 << 360 << 4;
        QTest::newRow("empty span") << 0.0 << 15 << 0;
        QTest::newRow("a year of day buckets") << 366 * 24.0 << 1440 << 366;
        QTest::newRow("a day of minutes") << 24.0 << 1 << 1440;
    }
    void pointCount() {
        QFETCH(double, hours);
        QFETCH(int, minutes);
        QFETCH(int, points);
        TarnvueChart chart;
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(1);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + hours / 24.0);
        chart.setPeriodSize(minutes * Minute);
        chart.Plot();
        QCOMPARE(int(chart.PointCount()), points);
        QCOMPARE(chart.ChartObject()->pointCount(), points);
        QCOMPARE(chart.ChartObject()->visiblePointCount(), points);
    }

    void tooManyBucketsOverflow() {
        TarnvueChart chart;
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(1);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + 40);
        chart.setPeriodSize(Minute);
        try {
            chart.Plot();
            QFAIL("no overflow");
        } catch (const Error& e) {
            QCOMPARE(e.description(), QStringLiteral("Overflow"));
        }
    }

    void chartIsConfiguredAndFilled() {
        TarnvueChart chart;
        chart.resize(900, 600);
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(1);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + 6.0 / 24.0);
        chart.setPeriodSize(60 * Minute);
        chart.setMainTitle(QStringLiteral("router1"));
        chart.setSubTitle(QStringLiteral("10.0.0.1"));
        chart.Plot();

        // Read back from the component, not from our own variables.
        const ChartControl& c = *chart.ChartObject();
        QCOMPARE(c.seriesCount(), 4);
        QCOMPARE(c.pointCount(), 6);
        QCOMPARE(c.missingValue(), -1.0f);
        QCOMPARE(c.seriesLabel(0), QStringLiteral("Minimum Response Time"));
        QCOMPARE(c.seriesLabel(3), QStringLiteral("% Packet Loss"));
        QCOMPARE(c.seriesColor(0), QColor(128, 255, 128));
        QCOMPARE(c.seriesColor(1), QColor(0, 128, 0));
        QCOMPARE(c.seriesColor(2), QColor(0, 0, 255));
        QCOMPARE(c.seriesColor(3), QColor(255, 0, 0));
        QCOMPARE(c.rightAxisSeries(), 1);
        const ChartModel& m = c.model();
        QCOMPARE(m.leftLabel, QStringLiteral("Min / Max response time (milliseconds)"));
        QCOMPARE(m.leftColor, QColor(0, 192, 0));
        QCOMPARE(m.leftTickFormat, QStringLiteral("||"));
        QCOMPARE(m.rightLabel, QStringLiteral("% Packet Loss"));
        QCOMPARE(m.rightColor, QColor(255, 0, 0));
        QCOMPARE(m.rightTickFormat, QStringLiteral("||%"));
        QVERIFY(m.rightManual);
        QCOMPARE(m.rightMin, 0.0);
        QCOMPARE(m.rightMax, 101.0);
        QCOMPARE(c.minutesPerPoint(), 60);
        QCOMPARE(c.pointsPerDay(), 24.0);
        QCOMPARE(c.firstPointTime(), Day);
        QCOMPARE(c.xAxisLabel(), QString());
        QCOMPARE(c.mainTitle(), QStringLiteral("router1"));
        QCOMPARE(c.subTitle(), QStringLiteral("10.0.0.1"));
        // The extra title line: what the chart shows, then the program.
        QVERIFY(c.footer().startsWith(QStringLiteral("Custom: 1 Nov 2026 00:00 \u2013 ")));
        QVERIFY(c.footer().contains(QStringLiteral("||Norvane Tarnvue version ")));

        // Hour 2 had no polls: a gap in all four series.
        for (int s = 0; s < 4; ++s)
            QCOMPARE(c.value(s, 2), -1.0f);
        QCOMPARE(c.value(0, 0), 15.0f);
        QCOMPARE(c.value(1, 0), 30.0f);
        QCOMPARE(c.value(2, 0), 20.0f);
        QCOMPARE(c.value(2, 5), 40.0f);
        QCOMPARE(c.value(3, 5), 10.0f);

        // 180 polls at 20 ms and 120 at 40: 300 rows, 120 with 10% loss.
        const Annotation average = c.annotation(0);
        QCOMPARE(average.value, 28.0);
        QCOMPARE(average.axis, 0);
        QCOMPARE(average.color, QColor(0, 64, 0));
        QCOMPARE(average.text, QStringLiteral("Overall Average Response Time is 28.0 ms"));
        const Annotation loss = c.annotation(1);
        QCOMPARE(loss.axis, 1);
        QCOMPARE(loss.value, 4.0);
        QCOMPARE(loss.color, QColor(64, 0, 0));
        QCOMPARE(loss.text, QStringLiteral("|lOverall Packet Loss is 4.0%"));
        QVERIFY(c.showAnnotations());

        // The finished face: the chart, no progress.
        QVERIFY(!chart.Panel()->isHidden());
        QVERIFY(chart.Status()->isHidden());
        QVERIFY(chart.StatusLabel()->isHidden());
    }

    // Loss under half a percent read "0%"; grouping made "1,234.5 ms".
    void overallTexts_data() {
        QTest::addColumn<double>("average");
        QTest::addColumn<float>("loss");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("averageText");
        QTest::addColumn<QString>("lossText");
        QTest::newRow("small loss") << 28.0 << 0.46f << "en_US"
                                    << "28.0 ms"
                                    << "0.5%";
        QTest::newRow("half rounds up") << 3.25 << 12.25f << "en_US"
                                        << "3.3 ms"
                                        << "12.3%";
        QTest::newRow("comma decimal, no grouping") << 1234.5 << 0.46f << "de_DE"
                                                    << "1234,5 ms"
                                                    << "0,5%";
    }
    void overallTexts() {
        QFETCH(double, average);
        QFETCH(float, loss);
        QFETCH(QString, locale);
        QFETCH(QString, averageText);
        QFETCH(QString, lossText);
        QCOMPARE(overallAverageText(average, QLocale(locale)),
                 QStringLiteral("Overall Average Response Time is ") + averageText);
        QCOMPARE(overallLossText(loss, QLocale(locale)),
                 QStringLiteral("Overall Packet Loss is ") + lossText);
    }

    void subtitleDifferingOnlyInCaseIsNotShown() {
        TarnvueChart chart;
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(1);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + 1.0 / 24.0);
        chart.setPeriodSize(15 * Minute);
        chart.setMainTitle(QStringLiteral("Router1.example"));
        chart.setSubTitle(QStringLiteral("ROUTER1.EXAMPLE"));
        chart.Plot();
        QCOMPARE(chart.ChartObject()->subTitle(), QString());
        QCOMPARE(chart.SubTitle(), QStringLiteral("ROUTER1.EXAMPLE"));
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
        QCOMPARE(chart.ChartObject()->model().pointTime(last),
                 DateValue::fromDateTime(EveningDay, QTime(0, 0)));
    }

    void fontSizeAndTableReadBackFromTheComponent() {
        TarnvueChart chart;
        for (std::int16_t size : {0, 1, 2}) {
            chart.setFontSize(size);
            QCOMPARE(chart.FontSize(), size);
            QCOMPARE(chart.ChartObject()->fontSize(), int(size));
        }
        chart.setTable(true);
        QVERIFY(chart.Table());
        QCOMPARE(chart.ChartObject()->tableMode(), TableGraphWithTable);
        chart.setTable(false);
        QVERIFY(!chart.Table());
        // A mode chosen elsewhere reads as "no table".
        chart.ChartObject()->setTableMode(TableGraphOnly);
        QVERIFY(!chart.Table());
    }

    // Outages and stretches without data lie behind the series as bands
    // over their buckets (bucket p spans p - 0.5 to p + 0.5), and the
    // report lists them.
    void shadesOutagesAndGaps_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("shading");
        QTest::addColumn<QString>("bands");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("outage, quarter hours")
            << 4 << 15 << true << "red 1.500-2.500"
            << QStringList{"<p>Availability: 87.500 %</p>", "<p>Outages: 1, downtime 15 min 00 s</p>",
                           "<td>outage</td><td>2026-11-01 00:30:00</td><td>2026-11-01 00:45:00</td>"
                           "<td>15 min 00 s</td><td>15</td>"};
        QTest::newRow("gap, hours")
            << 1 << 60 << true << "grey 1.483-2.500"
            << QStringList{"<p>Availability: 100.000 %</p>", "<p>Outages: 0, downtime 0 s</p>",
                           "<td>no data</td><td>2026-11-01 01:59:00</td><td>2026-11-01 03:00:00</td>"
                           "<td>1 h 01 min 00 s</td><td></td>"};
        QTest::newRow("switched off") << 4 << 15 << false << "" << QStringList{"<td>outage</td>"};
    }
    void shadesOutagesAndGaps() {
        QFETCH(int, node);
        QFETCH(int, minutes);
        QFETCH(bool, shading);
        QFETCH(QString, bands);
        QFETCH(QStringList, listed);
        TarnvueChart chart;
        chart.resize(900, 600);
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(node);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + 6.0 / 24.0);
        chart.setPeriodSize(minutes * Minute);
        chart.ChartObject()->setShowShading(shading);
        chart.Plot();
        QCustomPlot* plot = chart.ChartObject()->plot();
        QCPLayer* layer = plot->layer(QStringLiteral("shading"));
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
        const QString html = chartReportHtml(chart.ChartObject()->model(), QImage());
        for (const QString& part : listed)
            QVERIFY2(html.contains(part), qPrintable(part));
        QVERIFY(html.indexOf(QStringLiteral("Availability and outages")) <
                html.indexOf(QStringLiteral("<table>\n")));
    }

    void drawsWhatItHolds() {
        TarnvueChart chart;
        chart.resize(900, 600);
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(1);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + 6.0 / 24.0);
        chart.setPeriodSize(15 * Minute);
        chart.Plot();
        const QImage image = chart.ChartObject()->toImage(900, 600);
        QVERIFY(!image.isNull());
        // The average series is blue; the loss series red; both must show.
        int blue = 0;
        int red = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
                    ++blue;
                if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                    ++red;
            }
        }
        QVERIFY2(blue > 200, qPrintable(QString::number(blue)));
        QVERIFY2(red > 50, qPrintable(QString::number(red)));
    }
};

QTEST_MAIN(TestTarnvueChart)
#include "test_tarnvuechart.moc"
