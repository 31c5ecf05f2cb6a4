#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/BucketReadout.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartReadout.h"
#include "monitordb/MonitorDB.h"

#include <QLabel>
#include <QtTest>
#include <qcustomplot.h>

using namespace tarnvue;

namespace {

const double Day = 46332.0; // 2026-11-06 00:00
const double Minute = 1.0 / 1440.0;

} // namespace

class TestReadout : public QObject {
    Q_OBJECT

private slots:
    // The bucket a position on the time axis picks, and what its read-out says.
    void pickAndText_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("shown");
        QTest::addColumn<double>("at");
        QTest::addColumn<int>("point");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<QString>("text");
        const QString one = QStringLiteral("6 Nov 2026 00:15 – 6 Nov 2026 00:30\nMinimum 15 ms\n"
                                           "Maximum 30 ms\nAverage 20.3 ms\nLoss 13.3%");
        const QString lost = QStringLiteral("6 Nov 2026 00:45 – 6 Nov 2026 01:00\nMinimum –\n"
                                            "Maximum –\nAverage –\nLoss 100.0%\nPolls 0 replied, "
                                            "4 lost");
        QTest::newRow("polls") << 1 << 4 << 0.6 << 1 << true << one + "\nPolls 13 replied, 2 lost";
        QTest::newRow("chart file: no counts") << 1 << 4 << 1.4 << 1 << false << one;
        QTest::newRow("spread shown") << 0 << 4 << 0.0 << 0 << true
                                      << "6 Nov 2026 00:00 – 6 Nov 2026 00:15\nMinimum 15 ms\n"
                                         "Maximum 30 ms\nAverage 20.0 ms\nMedian 19 ms\n"
                                         "95th percentile 28 ms\nJitter –\nLoss 0.0%\n"
                                         "Polls 15 replied, 0 lost";
        QTest::newRow("edge: the later bucket") << 1 << 4 << 1.5 << 2 << true << "no polls";
        QTest::newRow("zoomed: left of the view") << 3 << 2 << 1.49 << -1 << true << "";
        QTest::newRow("zoomed: only lost polls") << 3 << 2 << 3.49 << 3 << true << lost;
        QTest::newRow("zoomed: right of the view") << 3 << 2 << 3.5 << -1 << true << "";
    }
    void pickAndText() {
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
    void onScreen() {
        test::ProgramDirScope dir;
        const test::ClockScope clock(QDateTime(QDate(2026, 11, 6), QTime(12, 0)));
        {
            // Every minute from 00:00 to 01:59: two lost polls at 00:20,
            // an unreadable response at 00:40; nothing from 02:00.
            test::TestDatabase db(MonitorDB::databasePath());
            for (int m = 0; m < 120; ++m) {
                const bool lost = m == 20 || m == 21;
                db.addSample(1, Day + m * Minute, m == 40 ? QVariant() : QVariant(lost ? -1 : 20),
                             lost ? -1 : 15, lost ? -1 : 30, lost ? 100 : 0);
            }
        }
        TarnvueChart chart;
        chart.setDB(&MonitorDB::shared());
        MonitorDB::shared().open();
        chart.setNodeID(1);
        chart.setPlotBegin(Day);
        chart.setPlotEnd(Day + 3.0 / 24.0);
        chart.setPeriodSize(15 * Minute);
        chart.resize(900, 600);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.Plot();
        MonitorDB::release();
        ChartControl& control = *chart.ChartObject();
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
        QVERIFY(chart.Zoomed());
        chart.ZoomOut();
        control.flush();
        QVERIFY(control.readoutPoint() > 5);
        QVERIFY(control.readoutHighlight()->geometry().contains(mouse));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(plot, &leave);
        QVERIFY(shown().isEmpty());

        // A chart file keeps the figures, not the polls.
        QVERIFY(chart.SaveChart(dir.file(QStringLiteral("chart.nvc"))));
        QVERIFY(chart.LoadChart(dir.file(QStringLiteral("chart.nvc"))));
        control.flush();
        QTest::mouseMove(plot, pixel(1));
        QVERIFY(shown().endsWith(QStringLiteral("Loss 13.3%")));
    }
};

QTEST_MAIN(TestReadout)
#include "test_readout.moc"
