#include "chart/SampleFold.h"
#include "core/Error.h"

#include <QtTest>
#include <cmath>
#include <map>
#include <vector>

using namespace tarnvue;

Q_DECLARE_METATYPE(tarnvue::Sample)

namespace {

const double Begin = 46000.0;
const double Hour = 1.0 / 24.0;

// Rows from memory, read once in order, as the database hands them over.
class Rows : public SampleReader {
public:
    std::vector<Sample> rows;
    std::size_t read = 0;

    Rows& add(double time, std::optional<double> response, std::optional<double> min,
              std::optional<double> max, std::optional<double> loss) {
        rows.push_back({time, response, min, max, loss});
        return *this;
    }
    Rows& poll(double time, double response, double loss = 0) {
        return add(time, response, response, response, loss);
    }
    bool next(Sample& sample) override {
        if (read >= rows.size())
            return false;
        sample = rows[read++];
        return true;
    }
};

struct Result {
    std::map<std::pair<int, int>, float> values;
    std::vector<std::pair<int, int>> order; // (series, point) as handed over
    std::vector<int> progress;
    FoldTotals totals;

    float at(int series, int point) const { return values.at({series, point}); }
};

Result fold(Rows& rows, double width, int points) {
    Result r;
    SampleFold f(Begin, width, points);
    r.totals = f.run(
        rows,
        [&](int s, int p, float v) {
            r.values[{s, p}] = v;
            r.order.emplace_back(s, p);
        },
        [&](int p) { r.progress.push_back(p); });
    return r;
}

} // namespace

class TestSampleFold : public QObject {
    Q_OBJECT

private slots:
    void rowAtABucketEndGoesToTheNextBucket() {
        Rows rows;
        rows.poll(Begin, 10)
            .poll(Begin + Hour - 1e-9, 20)
            .poll(Begin + Hour, 30)
            .poll(Begin + 2 * Hour - 1e-9, 50);
        const Result r = fold(rows, Hour, 2);
        QCOMPARE(r.at(MinimumSeries, 0), 10.0f);
        QCOMPARE(r.at(MaximumSeries, 0), 20.0f);
        QCOMPARE(r.at(AverageSeries, 0), 15.0f);
        QCOMPARE(r.at(MinimumSeries, 1), 30.0f);
        QCOMPARE(r.at(AverageSeries, 1), 40.0f);
        QCOMPARE(r.totals.records, 4);
    }

    void rowsPastTheLastBucketAreNeverRead() {
        Rows rows;
        rows.poll(Begin, 10).poll(Begin + 2 * Hour, 999, 100).poll(Begin + 3 * Hour, 999);
        const Result r = fold(rows, Hour, 2);
        QCOMPARE(r.at(AverageSeries, 0), 10.0f);
        QCOMPARE(r.at(AverageSeries, 1), -1.0f);
        QCOMPARE(r.totals.averageResponse, 10.0f);
        QCOMPARE(r.totals.loss, 0.0f);
        QVERIFY(rows.read <= 2); // the row that ends the last bucket, no further
    }

    void negativeResponsesCountOnlyTowardsLoss() {
        Rows rows;
        rows.add(Begin, 40, 38, 45, 0).add(Begin + 0.01, -1, -1, -1, 100);
        rows.add(Begin + Hour, -1, -1, -1, 100).add(Begin + Hour + 0.01, -1, -1, -1, 50);
        const Result r = fold(rows, Hour, 2);
        // Bucket 0: one valid poll, loss averaged over both polls.
        QCOMPARE(r.at(MinimumSeries, 0), 38.0f);
        QCOMPARE(r.at(MaximumSeries, 0), 45.0f);
        QCOMPARE(r.at(AverageSeries, 0), 40.0f);
        QCOMPARE(r.at(LossSeries, 0), 50.0f);
        // Bucket 1: no reply at all: only the loss shows.
        QCOMPARE(r.at(MinimumSeries, 1), -1.0f);
        QCOMPARE(r.at(MaximumSeries, 1), -1.0f);
        QCOMPARE(r.at(AverageSeries, 1), -1.0f);
        QCOMPARE(r.at(LossSeries, 1), 75.0f);
        QCOMPARE(r.totals.valid, 1);
        QCOMPARE(r.totals.records, 4);
        QCOMPARE(r.totals.averageResponse, 40.0f);
        QCOMPARE(r.totals.loss, 62.5f);
    }

    void rowMinAndMaxWidenTheBucket() {
        Rows rows;
        rows.add(Begin, 50, 20, 55, 0).add(Begin + 0.001, 30, 30, 90, 0);
        const Result r = fold(rows, Hour, 1);
        QCOMPARE(r.at(MinimumSeries, 0), 20.0f);
        QCOMPARE(r.at(MaximumSeries, 0), 90.0f);
        QCOMPARE(r.at(AverageSeries, 0), 40.0f);
    }

    void emptyBucketsAreGapsInEverySeries() {
        Rows rows;
        rows.poll(Begin + 2 * Hour, 10);
        const Result r = fold(rows, Hour, 3);
        for (int s = MinimumSeries; s <= LossSeries; ++s) {
            QCOMPARE(r.at(s, 0), -1.0f);
            QCOMPARE(r.at(s, 1), -1.0f);
        }
        QCOMPARE(r.at(LossSeries, 2), 0.0f);
        // The order the chart gets values in: empty 0,1,2,3; filled 3,0,1,2.
        const std::vector<std::pair<int, int>> expected = {{0, 0}, {1, 0}, {2, 0}, {3, 0},
                                                           {0, 1}, {1, 1}, {2, 1}, {3, 1},
                                                           {3, 2}, {0, 2}, {1, 2}, {2, 2}};
        QCOMPARE(r.order, expected);
    }

    void overallAverageIsWeightedByRows() {
        Rows rows;
        rows.poll(Begin, 100);
        rows.poll(Begin + Hour, 20).poll(Begin + Hour + 0.001, 20).poll(Begin + Hour + 0.002, 20);
        const Result r = fold(rows, Hour, 2);
        QCOMPARE(r.totals.averageResponse, 40.0f);
    }

    void lossSumRoundsHalfToEvenAsItGrows() {
        Rows rows;
        // 0.5 -> 0, 0 + 1.5 -> 2, 2 + 0.5 -> 2: a sum of 2 over 3 polls.
        rows.add(Begin, 10, 10, 10, 0.5)
            .add(Begin + 0.001, 10, 10, 10, 1.5)
            .add(Begin + 0.002, 10, 10, 10, 0.5);
        const Result r = fold(rows, Hour, 1);
        QCOMPARE(r.at(LossSeries, 0), 2.0f / 3.0f);
        // Responses are whole numbers, half to even: 2.5 -> 2, 3.5 -> 4.
        Rows halves;
        halves.add(Begin, 2.5, 2.5, 2.5, 0).add(Begin + 0.001, 3.5, 3.5, 3.5, 0);
        const Result h = fold(halves, Hour, 1);
        QCOMPARE(h.at(MinimumSeries, 0), 2.0f);
        QCOMPARE(h.at(AverageSeries, 0), 3.0f);
    }

    void noPointsNoFigures() {
        Rows rows;
        rows.poll(Begin, 10);
        const Result r = fold(rows, Hour, 0);
        QVERIFY(r.values.empty());
        QCOMPARE(r.totals.averageResponse, 0.0f);
        QCOMPARE(r.totals.loss, 0.0f);
        Rows none;
        const Result empty = fold(none, Hour, 4);
        QCOMPARE(empty.totals.averageResponse, 0.0f);
        QCOMPARE(empty.at(AverageSeries, 3), -1.0f);
    }

    void progressEveryTenthBucket() {
        Rows rows;
        const Result r = fold(rows, Hour, 25);
        QCOMPARE(r.progress, (std::vector<int>{0, 10, 20}));
    }

    // Values the database cannot hand over as numbers arrive empty; values
    // out of range, infinite or not a number are no better. None of them
    // fails the fold or takes an earlier row's value.
    void unreadableFieldsContributeNothing_data() {
        QTest::addColumn<Sample>("bad");
        QTest::addColumn<QList<float>>("expected"); // min, max, average, loss of bucket 0
        QTest::addColumn<int>("records");
        const double nan = std::nan("");
        const double t = Begin + 0.01;
        QTest::newRow("no time") << Sample{std::nullopt, 999, 999, 999, 100}
                                 << QList<float>{10, 30, 20, 50} << 2;
        QTest::newRow("time not a number")
            << Sample{nan, 999, 999, 999, 100} << QList<float>{10, 30, 20, 50} << 2;
        QTest::newRow("response out of range")
            << Sample{t, 1e12, 5, 99, 100} << QList<float>{10, 30, 20, 200.0f / 3} << 3;
        QTest::newRow("min infinite")
            << Sample{t, 15, -INFINITY, 15, 0} << QList<float>{10, 30, 55.0f / 3, 100.0f / 3} << 3;
        QTest::newRow("loss not a number")
            << Sample{t, 15, 15, 15, nan} << QList<float>{10, 30, 55.0f / 3, 50} << 3;
    }
    void unreadableFieldsContributeNothing() {
        QFETCH(Sample, bad);
        QFETCH(QList<float>, expected);
        QFETCH(int, records);
        Rows rows;
        rows.add(Begin, 10, 10, 10, 0);
        rows.rows.push_back(bad);
        rows.add(Begin + 0.02, 30, 30, 30, 100).poll(Begin + Hour, 40);
        const Result r = fold(rows, Hour, 2);
        QCOMPARE((QList<float>{r.at(MinimumSeries, 0), r.at(MaximumSeries, 0),
                               r.at(AverageSeries, 0), r.at(LossSeries, 0)}),
                 expected);
        QCOMPARE(r.totals.records, records + 1);
        QCOMPARE(r.totals.unreadable, 1);
        QCOMPARE(r.at(AverageSeries, 1), 40.0f);
    }
};

QTEST_APPLESS_MAIN(TestSampleFold)
#include "test_samplefold.moc"
