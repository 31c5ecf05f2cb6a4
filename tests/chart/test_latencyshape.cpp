#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/LatencyShape.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "monitordb/MonitorDB.h"

#include <QtTest>

using namespace tarnvue;

namespace {

const double Begin = 46000.0;
const double Hour = 1.0 / 24.0;

std::vector<float> numbers(const QString& text) {
    std::vector<float> values;
    for (const QString& v : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values.push_back(v.toFloat());
    return values;
}

// One bucket of an hour holding the responses in the order given (-1: lost).
BucketShape shapeOf(const std::vector<float>& responses) {
    LatencyShapeScan scan(Begin, Hour, 1);
    for (std::size_t i = 0; i < responses.size(); ++i)
        scan.add({Begin + static_cast<double>(i) * Hour / 100, responses[i], {}, {}, {}});
    return scan.finish().at(0);
}

} // namespace

class TestLatencyShape : public QObject {
    Q_OBJECT

private slots:
    void percentilesAndJitterOfABucket_data() {
        QTest::addColumn<QString>("responses");
        QTest::addColumn<QString>("p5_median_p95_jitter");
        QTest::addColumn<int>("replied");

        QTest::newRow("no polls") << "" << "-1 -1 -1 -1" << 0;
        QTest::newRow("only lost polls") << "-1 -1" << "-1 -1 -1 -1" << 0;
        QTest::newRow("one reply") << "7 -1" << "7 7 7 -1" << 1;
        QTest::newRow("two replies") << "30 10" << "10 10 30 20" << 2;
        // 19 values 1..19: ranks 1, 10, 19.
        QTest::newRow("19") << "19 1 18 2 17 3 16 4 15 5 14 6 13 7 12 8 11 9 10" << "1 10 19 9.5"
                            << 19;
        // 20 values 1..20: ranks 1, 10, 19 (95 % of 20 is exactly 19).
        QTest::newRow("20") << "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20"
                            << "1 10 19 1" << 20;
        // 21 values: ranks 2, 11, 20.
        QTest::newRow("21") << "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21"
                            << "2 11 20 1" << 21;
        QTest::newRow("ties") << "5 5 5 5 9 5 5 5 5 5 5 5 5 5 5 5 5 5 5 5 5" << "5 5 5 0.4" << 21;
        QTest::newRow("lost polls are left out")
            << "10 -1 20 -1 30" << "10 20 30 10" << 3;
    }
    void percentilesAndJitterOfABucket() {
        QFETCH(QString, responses);
        QFETCH(QString, p5_median_p95_jitter);
        QFETCH(int, replied);
        const std::vector<float> polls = numbers(responses);
        const BucketShape shape = shapeOf(polls);
        const std::vector<float> expected = numbers(p5_median_p95_jitter);
        QCOMPARE(shape.p5, expected[0]);
        QCOMPARE(shape.median, expected[1]);
        QCOMPARE(shape.p95, expected[2]);
        QCOMPARE(shape.jitter, expected[3]);
        QCOMPARE(shape.polls, static_cast<int>(polls.size()));
        QCOMPARE(shape.replied, replied);
    }

    void bucketsAreCutAsTheFoldCutsThem() {
        LatencyShapeScan scan(Begin, Hour, 3);
        scan.add({Begin, 10, {}, {}, {}});
        scan.add({{}, 99, {}, {}, {}});            // no time: left out
        scan.add({Begin + Hour, 20, {}, {}, {}});  // exactly at the end: the next bucket
        scan.add({Begin + Hour, {}, {}, {}, {}});  // no response: a poll, not a reply
        scan.add({Begin + 3 * Hour, 40, {}, {}, {}}); // past the last bucket
        const std::vector<BucketShape> shapes = scan.finish();
        QCOMPARE(shapes.size(), std::size_t(3));
        QCOMPARE(shapes[0].median, 10.0f);
        QCOMPARE(shapes[0].polls, 1);
        QCOMPARE(shapes[1].median, 20.0f);
        QCOMPARE(shapes[1].polls, 2);
        QCOMPARE(shapes[1].replied, 1);
        QCOMPARE(shapes[2].polls, 0);
        QCOMPARE(shapes[2].median, -1.0f);
    }

    // A chart's refresh hands each bucket's figures to the chart, from the
    // rows the fold reads, with every figure switched off.
    void aChartKeepsItsBucketsFigures() {
        test::ProgramDirScope dir;
        {
            test::TestDatabase db(MonitorDB::databasePath());
            db.addNode(1, QStringLiteral("router"), QStringLiteral("10.0.0.1"));
            // An hour of 10, 20, 30, 40 ms in turn, then an hour unanswered.
            for (int m = 0; m < 120; ++m)
                db.addSample(1, Begin + m * Hour / 60, m < 60 ? 10 + m % 4 * 10 : -1, 0, 0, 0);
        }
        MonitorDB::shared().open();
        TarnvueChart chart;
        chart.setDB(&MonitorDB::shared());
        chart.setNodeID(1);
        chart.setPlotBegin(Begin);
        chart.setPlotEnd(Begin + 2 * Hour);
        chart.setPeriodSize(Hour);
        chart.Plot();
        const ChartModel& model = chart.ChartObject()->model();
        MonitorDB::release();
        QVERIFY(!model.latency.any());
        QCOMPARE(model.shapes.size(), std::size_t(2));
        // Ranks 3, 30 and 57 of fifteen each of 10, 20, 30, 40; steps of
        // 10, 10, 10, 30 in turn, 59 of them.
        QCOMPARE(model.shapes[0], (BucketShape{10, 20, 40, 870.0f / 59.0f, 60, 60}));
        QCOMPARE(model.shapes[1], (BucketShape{-1, -1, -1, -1, 60, 0}));
        const QStringList lines =
            chartDataCsv(model, DataColumns::Extended).split(QStringLiteral("\r\n"));
        QVERIFY2(lines[1].endsWith(QStringLiteral(",20,10,40,14.745763,60,60")),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].endsWith(QStringLiteral(",,,,,60,0")), qPrintable(lines[2]));
    }
};

QTEST_MAIN(TestLatencyShape)
#include "test_latencyshape.moc"
