#include "TestDatabase.h"
#include "TestEnvironment.h"
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
    // one query, in ranges that are joined, or partly from the rows kept of
    // a span read earlier (polls the poller added meanwhile included), which
    // then also answers a span inside it from memory.
    void readsGiveThePollsOfTheSpan_data() {
        QTest::addColumn<QList<double>>("hours");
        QTest::addColumn<int>("ranges"); // 0: the default
        QTest::addColumn<Span>("earlier");
        QTest::addColumn<bool>("pollsBetween");
        QTest::addColumn<Span>("span");
        QTest::addColumn<int>("queries");  // -1: not counted
        QTest::addColumn<int>("rowsRead"); // -1: from memory
        const QList<double> hours{0, 0.5, 1, 2, 2, 3, 3.9, 4, 4.5};
        const Span none(-1, -1);
        QTest::newRow("rows on range boundaries and on the span's end")
            << hours << 4 << none << false << Span(0, 4) << 4 << 8;
        QTest::newRow("span from one poll to another")
            << hours << 3 << none << false << Span(0.5, 3.9) << 3 << 6;
        QTest::newRow("stored out of order")
            << QList<double>{3, 1, 2, 1, 0} << 3 << none << false << Span(0, 3) << 3 << 5;
        QTest::newRow("no rows") << QList<double>{} << 3 << none << false << Span(0, 4) << 3 << 0;
        QTest::newRow("more ranges than rows")
            << QList<double>{0.5, 3.5} << 5 << none << false << Span(0, 6) << 5 << 2;
        QTest::newRow("more ranges than buckets")
            << QList<double>{0, 1, 1.5, 2} << 8 << none << false << Span(0, 2) << 2 << 4;
        QTest::newRow("span inside one bucket")
            << QList<double>{0.1, 0.5, 0.6} << 4 << none << false << Span(0, 0.5) << 1 << 2;
        QList<double> tenMinutes;
        for (int m = 0; m <= 600; m += 10)
            tenMinutes << m / 60.0;
        QTest::newRow("kept: span inside")
            << tenMinutes << 0 << Span(0, 10) << false << Span(2, 5) << -1 << -1;
        QTest::newRow("kept: older stretch")
            << tenMinutes << 0 << Span(5, 10) << false << Span(2, 10) << -1 << 18 + 1;
        QTest::newRow("kept: later stretch")
            << tenMinutes << 0 << Span(0, 5) << false << Span(0, 8) << -1 << 19;
        QTest::newRow("kept: both ends")
            << tenMinutes << 0 << Span(4, 6) << false << Span(2, 8) << -1 << 12 + 13;
        QTest::newRow("kept: apart")
            << tenMinutes << 0 << Span(0, 2) << false << Span(6, 8) << -1 << 13;
        QTest::newRow("kept: new polls")
            << tenMinutes << 0 << Span(0, 11) << true << Span(0, 11) << -1 << 2;
    }
    void readsGiveThePollsOfTheSpan() {
        QFETCH(QList<double>, hours);
        QFETCH(int, ranges);
        QFETCH(Span, earlier);
        QFETCH(bool, pollsBetween);
        QFETCH(Span, span);
        QFETCH(int, queries);
        QFETCH(int, rowsRead);
        const test::ProgramDirScope dir;
        QStringList expected;
        for (const auto& [hour, poll] : writeRows(hours)) {
            if (hour >= span.first && hour <= span.second)
                expected << poll;
        }
        MonitorDB db;
        db.open();
        SampleStore::shared().setRangeCount(ranges);
        if (earlier.second >= 0)
            stored(db, earlier.first, earlier.second);
        if (pollsBetween) {
            test::execSql(MonitorDB::databasePath(),
                          "INSERT INTO ResponseTime VALUES (1, 46327.4375, 5, 5, 5, 0)");
            expected << u"46327.4375 5 5 5 0"_s; // 10:30
        }
        QCOMPARE(singleQuery(db, span.first, span.second), expected);
        QCOMPARE(stored(db, span.first, span.second), expected);
        const SampleStore::Activity activity = SampleStore::shared().lastActivity();
        if (queries >= 0)
            QCOMPARE(activity.queries, queries);
        QCOMPARE(activity.fromMemory, rowsRead < 0);
        QCOMPARE(activity.rowsRead, qint64(std::max(rowsRead, 0)));
        if (earlier.second >= 0) {
            stored(db, span.first, span.second - 1);
            QVERIFY(SampleStore::shared().lastActivity().fromMemory);
        }
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
        QCOMPARE(test::errorOf([&] { store.rows(db, 1, Begin, Begin + 8 * Hour, Hour); }),
                 u"disk I/O error"_s);
        QCOMPARE(store.bytesKept(), kept);
        QCOMPARE(store.rows(db, 1, Begin, Begin + 3 * Hour, Hour).size(), std::size_t(31));
        QVERIFY(store.lastActivity().fromMemory);
    }
};

QTEST_MAIN(TestSampleStore)
#include "test_samplestore.moc"
