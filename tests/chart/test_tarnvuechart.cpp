#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/BucketReadout.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartOutput.h"
#include "components/chart/ChartReadout.h"
#include "core/DateValue.h"
#include "monitordb/MonitorDB.h"

#include <QLabel>
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
// Node 6: 20 ms every minute from 00:00 to 01:59, two lost polls at 00:20 and
// an unreadable response at 00:40.
void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(3, QStringLiteral("evening"), QStringLiteral("10.0.0.3"));
    db.addNode(4, QStringLiteral("flaky"), QStringLiteral("10.0.0.4"));
    db.addNode(5, QStringLiteral("jittery"), QStringLiteral("10.0.0.5"));
    for (int m = 0; m < 360; ++m) {
        const int response = m < 240 ? 20 : 40;
        if (m < 120 || m >= 180)
            db.addSample(1, Day + m * Minute, response, response - 5, response + 10,
                         m >= 240 ? 10 : 0);
        if (m >= 120)
            continue;
        db.addSample(5, Day + m * Minute, m < 60 ? 10 + m % 4 * 10 : -1, 0, 0, 0);
        const bool lost = m >= 30 && m < 45;
        db.addSample(4, Day + m * Minute, lost ? -1 : 20, lost ? -1 : 15, lost ? -1 : 30,
                     lost ? 100 : 0);
        const bool lost6 = m == 20 || m == 21;
        db.addSample(6, Day + m * Minute, m == 40 ? QVariant() : QVariant(lost6 ? -1 : 20),
                     lost6 ? -1 : 15, lost6 ? -1 : 30, lost6 ? 100 : 0);
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

// The chart of a node's polls, its overall figures, bands and read-out.
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
        QCOMPARE(c.visiblePointCount(), 6);
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
        // The finished face: the chart, no progress.
        QVERIFY(!chart->Panel()->isHidden());
        QVERIFY(chart->Status()->isHidden());
        QVERIFY(chart->StatusLabel()->isHidden());
        // The average series (blue) and the loss series (red) are drawn.
        const QImage image = chart->ChartObject()->toImage(900, 600);
        int blue = 0, red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                blue += pixel.blue() > 200 && pixel.red() < 60 && pixel.green() < 60;
                red += pixel.red() > 200 && pixel.green() < 60 && pixel.blue() < 60;
            }
        QVERIFY2(blue > 200 && red > 50, qPrintable(QStringLiteral("%1 %2").arg(blue).arg(red)));

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

    // The bucket a position on the time axis picks, and what its read-out says.
    void readoutPickAndText_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("shown");
        QTest::addColumn<double>("at");
        QTest::addColumn<int>("point");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<QString>("text");
        const QString one = QStringLiteral("1 Nov 2026 00:15 – 1 Nov 2026 00:30\nMinimum 15 ms\n"
                                           "Maximum 30 ms\nAverage 20.3 ms\nLoss 13.3%");
        const QString lost = QStringLiteral("1 Nov 2026 00:45 – 1 Nov 2026 01:00\nMinimum –\n"
                                            "Maximum –\nAverage –\nLoss 100.0%\nPolls 0 replied, "
                                            "4 lost");
        QTest::newRow("polls") << 1 << 4 << 0.6 << 1 << true << one + "\nPolls 13 replied, 2 lost";
        QTest::newRow("chart file: no counts") << 1 << 4 << 1.4 << 1 << false << one;
        QTest::newRow("spread shown") << 0 << 4 << 0.0 << 0 << true
                                      << "1 Nov 2026 00:00 – 1 Nov 2026 00:15\nMinimum 15 ms\n"
                                         "Maximum 30 ms\nAverage 20.0 ms\nMedian 19 ms\n"
                                         "95th percentile 28 ms\nJitter –\nLoss 0.0%\n"
                                         "Polls 15 replied, 0 lost";
        QTest::newRow("edge: the later bucket") << 1 << 4 << 1.5 << 2 << true << "no polls";
        QTest::newRow("zoomed: left of the view") << 3 << 2 << 1.49 << -1 << true << "";
        QTest::newRow("zoomed: only lost polls") << 3 << 2 << 3.49 << 3 << true << lost;
        QTest::newRow("zoomed: right of the view") << 3 << 2 << 3.5 << -1 << true << "";
    }
    void readoutPickAndText() {
        QFETCH(int, first);
        QFETCH(int, shown);
        QFETCH(double, at);
        QFETCH(int, point);
        QFETCH(bool, counted);
        QFETCH(QString, text);
        ChartModel model;
        model.resize(4, 4);
        model.minutesPerPoint = 15;
        model.firstPointTime = Day;
        model.series[MinimumSeries].decimals = model.series[MaximumSeries].decimals = 0;
        model.firstVisiblePoint = first;
        model.visiblePointCount = shown;
        const float values[4][4] = {
            {15, 15, -1, -1}, {30, 30, -1, -1}, {20, 20.26f, -1, -1}, {0, 13.333f, -1, 100}};
        for (int s = 0; s < 4; ++s)
            for (int p = 0; p < 4; ++p)
                model.setValue(s, p, values[s][p]);
        const BucketPolls polls[4] = {{15, 0}, {13, 2}, {0, 0}, {0, 4}};
        // The spread figures are shown only in the row that starts at bucket 0.
        model.latency.median = model.latency.p95 = model.latency.jitter = first == 0;
        model.shapes.assign(4, BucketShape{12.4f, 19.2f, 27.5f, -1, 15, 15});
        QCOMPARE(pointAtCoordinate(model, at), point);
        const BucketPolls* counts = counted && point >= 0 ? &polls[point] : nullptr;
        QCOMPARE(bucketReadoutText(model, point, counts, QLocale::c()), text);
    }

    // A node chart on screen: the mouse and the keys show the read-out.
    void readoutOnScreen() {
        const auto chart = plotted(6, 3, 15);
        chart->show();
        QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
        ChartControl& control = *chart->ChartObject();
        control.flush();
        QCustomPlot* plot = control.plot();
        const auto pixel = [&](double coordinate) {
            return QPoint(int(std::lround(plot->xAxis->coordToPixel(coordinate))),
                          plot->axisRect()->rect().center().y());
        };
        const auto shown = [&] {
            return control.readout() && control.readout()->isVisible() ? control.readout()->text()
                                                                       : QString();
        };
        const auto press = [&](Qt::Key key) {
            QTest::keyClick(plot, key);
            return control.readoutPoint();
        };

        QTest::mouseMove(plot, pixel(1.2));
        QCOMPARE(control.readoutPoint(), 1);
        QVERIFY(shown().endsWith(QStringLiteral("Loss 13.3%\nPolls 13 replied, 2 lost")));
        QVERIFY(control.readoutHighlight()->geometry().contains(pixel(1.0)));
        QVERIFY(!control.readoutHighlight()->geometry().contains(pixel(2.0)));
        const QImage withReadout = control.toImage(600, 400);
        QTest::mouseMove(plot, pixel(9));
        QCOMPARE(shown(), QStringLiteral("no polls"));
        // The keys; the unreadable response is neither replied nor lost.
        QCOMPARE(press(Qt::Key_Home), 0);
        press(Qt::Key_Right);
        QCOMPARE(press(Qt::Key_Right), 2);
        QVERIFY(shown().endsWith(QStringLiteral("Polls 14 replied, 0 lost")));
        QCOMPARE(press(Qt::Key_End), 11);
        QCOMPARE(press(Qt::Key_Right), 11);
        QCOMPARE(press(Qt::Key_Escape), -1);
        QVERIFY(shown().isEmpty());
        // No output shows the read-out or the highlight.
        QCOMPARE(control.toImage(600, 400), withReadout);

        // Zoomed to buckets 2 to 5: past the edge the view moves along.
        QSignalSpy zoomed(&control, &ChartControl::zoomChanged);
        control.setVisiblePointCount(4);
        control.setFirstVisiblePoint(3);
        control.flush();
        QCOMPARE(press(Qt::Key_Home), 2);
        QCOMPARE(press(Qt::Key_Left), 1);
        QCOMPARE(control.firstVisiblePoint(), 2);
        press(Qt::Key_End);
        QCOMPARE(press(Qt::Key_Right), 5);
        QCOMPARE(control.firstVisiblePoint(), 3);
        QCOMPARE(zoomed.count(), 2);
        const QPoint mouse = pixel(4.4);
        QTest::mouseMove(plot, mouse);
        QCOMPARE(control.readoutPoint(), 4);
        // Zoomed out, the read-out is of the bucket now under the mouse.
        QVERIFY(chart->Zoomed());
        chart->ZoomOut();
        control.flush();
        QVERIFY(control.readoutPoint() > 5);
        QVERIFY(control.readoutHighlight()->geometry().contains(mouse));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(plot, &leave);
        QVERIFY(shown().isEmpty());

        // A chart file keeps the figures, not the polls.
        QVERIFY(chart->SaveChart(m_dir->file(QStringLiteral("chart.nvc"))));
        QVERIFY(chart->LoadChart(m_dir->file(QStringLiteral("chart.nvc"))));
        control.flush();
        QTest::mouseMove(plot, pixel(1));
        QVERIFY(shown().endsWith(QStringLiteral("Loss 13.3%")));
    }
};

QTEST_MAIN(TestTarnvueChart)
#include "test_tarnvuechart.moc"
