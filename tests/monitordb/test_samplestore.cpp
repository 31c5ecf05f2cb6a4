#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/TarnvueChart.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SampleStore.h"

#include <QtTest>

using namespace tarnvue;
using namespace Qt::StringLiterals;

using Span = QPair<double, double>; // hours from Begin

namespace {

const double Begin = 46327.0;
const double Hour = 60.0 / 1440.0;

QStringList singleQuery(MonitorDB& db, double from, double to) {
    return test::sampleTexts(*db.samples(1, Begin + from * Hour, Begin + to * Hour));
}

QStringList stored(MonitorDB& db, double from, double to) {
    SampleRowsReader reader(
        SampleStore::shared().rows(db, 1, Begin + from * Hour, Begin + to * Hour, Hour));
    return test::sampleTexts(reader);
}

// Node 1 polled at the given hours, in this stored order, some fields null;
// node 2 alike (never read). Returns node 1's polls as test::sampleTexts
// writes them, each with its hour, in time order (equal times as stored).
QList<QPair<double, QString>> writeRows(const QList<double>& hours) {
    test::Rows rows;
    QList<QPair<double, QString>> polls;
    for (qsizetype i = 0; i < hours.size(); ++i) {
        const auto field = [i](int every, int value) {
            return i % every == 1 ? QVariant() : value;
        };
        const QVariantList poll{
            1, Begin + hours[i] * Hour, field(4, 10 + i), field(5, 9), 40, field(3, 10)};
        rows << poll << QVariantList{2, Begin + hours[i] * Hour, 99, 99, 99, 0};
        QStringList text;
        for (const QVariant& v : poll.mid(1))
            text << (v.isNull() ? u"-"_s : QString::number(v.toDouble(), 'g', 17));
        polls.append({hours[i], text.join(QLatin1Char(' '))});
    }
    test::writeDatabase(MonitorDB::databasePath(), {}, rows);
    std::stable_sort(polls.begin(), polls.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return polls;
}

// Rows in memory whose readers fail on the row at `failAt` and dawdle on the
// row at `slowAt`, on the program's connection and on connections of their own.
class FailingStorage : public MonitorBackend, public SampleConnection {
public:
    std::vector<Sample> rows;
    double failAt = -1;
    double slowAt = -1;

    struct Reader : SampleReader {
        std::vector<Sample> rows;
        double failAt, slowAt;
        std::size_t next_ = 0;
        bool next(Sample& s) override {
            if (next_ >= rows.size())
                return false;
            s = rows[next_++];
            if (*s.time == failAt)
                throw Error(u"disk I/O error"_s);
            if (*s.time == slowAt)
                QThread::msleep(120);
            return true;
        }
    };
    std::unique_ptr<RecordSet> nodeByAddress(const QString&) override { return nullptr; }
    std::unique_ptr<RecordSet> nodeById(std::int32_t) override { return nullptr; }
    std::unique_ptr<RecordSet> allNodes() override { return nullptr; }
    std::unique_ptr<SampleReader> samples(std::int32_t, double b, double e) override {
        auto r = std::make_unique<Reader>();
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(r->rows),
                     [&](const Sample& s) { return *s.time >= b && *s.time <= e; });
        r->failAt = failAt;
        r->slowAt = slowAt;
        return r;
    }
    std::unique_ptr<SampleConnection> sampleConnection() override {
        return std::make_unique<FailingStorage>(*this);
    }
};

} // namespace

class TestSampleStore : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SampleStore::shared().setRangeCount(0);
        SampleStore::shared().clear();
    }

    // The polls of a span in time order, bounds included, whether read in
    // one query or in ranges that are joined.
    void rangesJoinToTheSingleQuery_data() {
        QTest::addColumn<QList<double>>("hours");
        QTest::addColumn<Span>("span");
        QTest::addColumn<int>("ranges");
        QTest::addColumn<int>("queries");
        const QList<double> hours{0, 0.5, 1, 2, 2, 3, 3.9, 4, 4.5};
        QTest::newRow("rows on range boundaries and on the span's end")
            << hours << Span(0, 4) << 4 << 4;
        QTest::newRow("span from one poll to another") << hours << Span(0.5, 3.9) << 3 << 3;
        QTest::newRow("stored out of order")
            << QList<double>{3, 1, 2, 1, 0} << Span(0, 3) << 3 << 3;
        QTest::newRow("one row") << QList<double>{2} << Span(0, 4) << 2 << 2;
        QTest::newRow("no rows") << QList<double>{} << Span(0, 4) << 3 << 3;
        QTest::newRow("more ranges than rows") << QList<double>{0.5, 3.5} << Span(0, 6) << 5 << 5;
        QTest::newRow("more ranges than buckets")
            << QList<double>{0, 1, 1.5, 2} << Span(0, 2) << 8 << 2;
        QTest::newRow("span inside one bucket")
            << QList<double>{0.1, 0.5, 0.6} << Span(0, 0.5) << 4 << 1;
    }
    void rangesJoinToTheSingleQuery() {
        QFETCH(QList<double>, hours);
        QFETCH(Span, span);
        QFETCH(int, ranges);
        QFETCH(int, queries);
        const test::ProgramDirScope dir;
        QStringList expected;
        for (const auto& [hour, poll] : writeRows(hours)) {
            if (hour >= span.first && hour <= span.second)
                expected << poll;
        }
        MonitorDB db;
        db.open();
        QCOMPARE(singleQuery(db, span.first, span.second), expected);
        SampleStore::shared().setRangeCount(ranges);
        QCOMPARE(stored(db, span.first, span.second), expected);
        QCOMPARE(SampleStore::shared().lastActivity().queries, queries);
    }

    void keptRowsAnswerLaterSpans_data() {
        QTest::addColumn<Span>("first");
        QTest::addColumn<Span>("second");
        QTest::addColumn<bool>("pollsBetween");
        QTest::addColumn<bool>("fromMemory");
        QTest::addColumn<int>("rowsRead");
        QTest::newRow("span inside") << Span(0, 10) << Span(2, 5) << false << true << 0;
        QTest::newRow("older stretch") << Span(5, 10) << Span(2, 10) << false << false << 18 + 1;
        QTest::newRow("later stretch") << Span(0, 5) << Span(0, 8) << false << false << 19;
        QTest::newRow("both ends") << Span(4, 6) << Span(2, 8) << false << false << 12 + 13;
        QTest::newRow("apart") << Span(0, 2) << Span(6, 8) << false << false << 13;
        QTest::newRow("new polls") << Span(0, 11) << Span(0, 11) << true << false << 2;
    }
    void keptRowsAnswerLaterSpans() {
        QFETCH(Span, first);
        QFETCH(Span, second);
        QFETCH(bool, pollsBetween);
        QFETCH(bool, fromMemory);
        QFETCH(int, rowsRead);
        const test::ProgramDirScope dir;
        QList<double> hours;
        for (int m = 0; m <= 600; m += 10)
            hours << m / 60.0;
        writeRows(hours);
        MonitorDB db;
        db.open();
        stored(db, first.first, first.second);
        if (pollsBetween)
            test::execSql(MonitorDB::databasePath(),
                          "INSERT INTO ResponseTime VALUES (1, " +
                              QByteArray::number(Begin + 10.5 * Hour, 'g', 17) + ", 5, 5, 5, 0)");
        QCOMPARE(stored(db, second.first, second.second),
                 singleQuery(db, second.first, second.second));
        QCOMPARE(SampleStore::shared().lastActivity().fromMemory, fromMemory);
        QCOMPARE(SampleStore::shared().lastActivity().rowsRead, qint64(rowsRead));
        // What was read is kept: the second span again comes from memory.
        stored(db, second.first, second.second - 1);
        QVERIFY(SampleStore::shared().lastActivity().fromMemory);
    }

    void aFailingRangeFailsTheReadAndKeepsNothing() {
        auto storage = std::make_unique<FailingStorage>();
        for (int i = 0; i <= 80; ++i)
            storage->rows.push_back({Begin + i / 10.0 * Hour, 20, 20, 20, 0});
        FailingStorage& rows = *storage;
        MonitorDB db;
        db.open(std::move(storage), u"fake"_s);
        SampleStore& store = SampleStore::shared();
        store.setRangeCount(4);
        rows.failAt = rows.rows[70].time.value();
        QVERIFY_THROWS_EXCEPTION(Error, store.rows(db, 1, Begin, Begin + 8 * Hour, Hour));
        QCOMPARE(store.bytesKept(), std::size_t(0));
        // A read cancelled through its progress report ends alike.
        rows.failAt = -1;
        rows.slowAt = rows.rows[30].time.value();
        QVERIFY_THROWS_EXCEPTION(Error, store.rows(db, 1, Begin, Begin + 8 * Hour, Hour,
                                                   [](qint64, qint64) { return false; }));
        QCOMPARE(store.bytesKept(), std::size_t(0));
        rows.slowAt = -1;
        rows.failAt = rows.rows[70].time.value();

        // A span read before stays as it was when a later read fails.
        QCOMPARE(store.rows(db, 1, Begin, Begin + 4 * Hour, Hour).size(), std::size_t(41));
        const std::size_t kept = store.bytesKept();
        TarnvueChart chart;
        chart.setDB(&db);
        chart.setNodeID(1);
        chart.setPlotBegin(Begin);
        chart.setPlotEnd(Begin + 8 * Hour);
        chart.setPeriodSize(Hour);
        QCOMPARE(test::errorOf([&] { chart.Plot(); }), u"disk I/O error"_s);
        QCOMPARE(store.bytesKept(), kept);
        QCOMPARE(store.rows(db, 1, Begin, Begin + 3 * Hour, Hour).size(), std::size_t(31));
        QVERIFY(store.lastActivity().fromMemory);
    }
};

QTEST_MAIN(TestSampleStore)
#include "test_samplestore.moc"
