#include "chart/LatencyShape.h"
#include "chart/Outages.h"
#include "chart/SampleFold.h"

#include <QtTest>

using namespace tarnvue;

namespace {

const double Begin = 46000.0; // 2025-12-09 00:00
const double Minute = 1.0 / 1440.0;

// Rows from memory, read once in order, as the database hands them over.
class Rows : public SampleReader {
public:
    explicit Rows(std::vector<Sample> rows) : m_rows(std::move(rows)) {}
    bool next(Sample& sample) override {
        if (read >= m_rows.size())
            return false;
        sample = m_rows[read++];
        return true;
    }
    std::size_t read = 0;

private:
    std::vector<Sample> m_rows;
};

std::optional<double> field(const QString& text) {
    if (text == QLatin1String("_"))
        return std::nullopt;
    return text.toDouble(); // "nan", "inf" and "-inf" included
}

// Polls as "minute response" or "minute response min max loss", separated
// by ';'; minutes count from Begin, '_' is a field that cannot be read.
std::vector<Sample> polls(const QString& text) {
    std::vector<Sample> rows;
    for (const QString& poll : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = poll.simplified().split(QLatin1Char(' '));
        const auto time = field(f[0]);
        Sample s{time ? std::optional(Begin + *time * Minute) : std::nullopt, field(f[1]),
                 field(f[1]), field(f[1]), 0.0};
        if (f.size() == 5)
            s = {s.time, s.response, field(f[2]), field(f[3]), field(f[4])};
        rows.push_back(s);
    }
    return rows;
}

// One row a minute from Begin: R replied, L lost, ? a Response that cannot
// be read, T a Time that cannot be read; '.' is a minute without a row.
std::vector<Sample> pattern(const QString& pattern) {
    QStringList rows;
    for (int m = 0; m < pattern.size(); ++m) {
        const char c = pattern.at(m).toLatin1();
        const QString response = c == 'L' ? "-1" : c == '?' ? "_" : "20";
        if (c != '.')
            rows << (c == 'T' ? QStringLiteral("_") : QString::number(m)) + ' ' + response;
    }
    return polls(rows.join(QLatin1Char(';')));
}

// Figures as shown in the tables below, separated by spaces.
QString joined(const QList<double>& figures) {
    QStringList shown;
    for (double f : figures)
        shown << QString::number(f);
    return shown.join(QLatin1Char(' '));
}

} // namespace

class TestSampleFold : public QObject {
    Q_OBJECT

private slots:
    // Hour buckets from Begin. Each bucket as "min max average loss", or
    // "gap" when it had no rows; then the figures over the span (average,
    // loss, rows, valid rows, unreadable fields) and the rows taken from
    // the reader.
    void bucketRules_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("buckets");
        QTest::addColumn<QString>("totals");
        const auto row = [](const char* name, const QString& rows, int points,
                            const QString& buckets, const QString& totals) {
            QTest::newRow(name) << rows << points << buckets << totals;
        };
        const QString none = QStringLiteral("0 0 0 0 0 ");
        row("a row at a bucket's end goes to the next", "0 10; 59.9999 20; 60 30; 119.9999 50", 2,
            "10 20 15 0 | 30 50 40 0", "27.5 0 4 4 0 4");
        row("rows past the last bucket are never read", "0 10; 120 999 999 999 100; 180 999", 2,
            "10 10 10 0 | gap", "10 0 1 1 0 2");
        row("no reply counts only towards loss",
            "0 40 38 45 0; 14 -1 -1 -1 100; 60 -1 -1 -1 100; 74 -1 -1 -1 50", 2,
            "38 45 40 50 | -1 -1 -1 75", "40 62.5 4 1 0 4");
        row("a row's own min and max widen the bucket", "0 50 20 55 0; 1 30 30 90 0", 1,
            "20 90 40 0", "40 0 2 2 0 2");
        row("empty buckets are gaps", "120 10", 3, "gap | gap | 10 10 10 0", "10 0 1 1 0 1");
        row("no rows", "", 12, QStringList(12, QStringLiteral("gap")).join(" | "), none + "0");
        row("no buckets", "0 10", 0, "", none + "0");
        row("overall average and loss weigh every poll",
            "0 100 100 100 100; 60 20 20 20 0; 61 20 20 20 0; 62 20 20 20 0", 2,
            "100 100 100 100 | 20 20 20 0", "40 25 4 4 0 4");
        row("responses round half to even", "0 2.5; 1 3.5", 1, "2 4 3 0", "3 0 2 2 0 2");
        // Loss is summed as a whole number, rounded (half to even) as it
        // grows: 1, 2, 2, 2, 2. Rounding each row would give 1, rounding the
        // sum 3, cutting it 1.
        row("loss rounds as it grows",
            "0 10 10 10 1; 1 10 10 10 0.5; 2 10 10 10 0.4; 3 10 10 10 0.4; 4 10 10 10 0.4", 1,
            "10 10 10 0.4", "10 0.4 5 5 0 5");
        // 1, 2, 2, 2, 2, 3 over two buckets; each row rounded: 1 and 1, the
        // sums rounded: 2 and 2.
        row("loss rounds as it grows in each bucket",
            "0 10 10 10 1; 1 10 10 10 0.5; 2 10 10 10 0.5; 60 10 10 10 0.5; 61 10 10 10 0.4; "
            "62 10 10 10 0.6",
            2, "10 10 10 0.666667 | 10 10 10 0.333333", "10 0.5 6 6 0 6");
        // A field that cannot be read contributes nothing, and fails nothing.
        const QString around = QStringLiteral("0 10 10 10 0; %1; 1.2 30 30 30 100; 60 40");
        row("no time", around.arg("_ 999 999 999 100"), 2, "10 30 20 50 | 40 40 40 0",
            "26.6667 33.3333 3 3 1 4");
        row("time not a number", around.arg("nan 999 999 999 100"), 2, "10 30 20 50 | 40 40 40 0",
            "26.6667 33.3333 3 3 1 4");
        row("response out of range", around.arg("0.6 1e12 5 99 100"), 2,
            "10 30 20 66.6667 | 40 40 40 0", "26.6667 50 4 3 1 4");
        row("min infinite", around.arg("0.6 15 -inf 15 0"), 2, "10 30 18.3333 33.3333 | 40 40 40 0",
            "23.75 25 4 4 1 4");
        row("loss not a number", around.arg("0.6 15 15 15 nan"), 2, "10 30 18.3333 50 | 40 40 40 0",
            "23.75 33.3333 4 4 1 4");
    }
    void bucketRules() {
        QFETCH(QString, rows);
        QFETCH(int, points);
        QFETCH(QString, buckets);
        QFETCH(QString, totals);
        Rows reader(polls(rows));
        std::vector<std::vector<float>> values(std::size_t(points), std::vector<float>(4, 99));
        QList<int> handed; // series in the order they arrive, a bucket at a time
        QList<int> progress;
        const FoldTotals t = SampleFold(Begin, 60 * Minute, points)
                                 .run(
                                     reader,
                                     [&](int s, int p, float v) {
                                         QCOMPARE(p, int(handed.size() / 4));
                                         values[std::size_t(p)][std::size_t(s)] = v;
                                         handed << s;
                                     },
                                     [&](int p) { progress << p; });
        QStringList shown;
        for (int p = 0; p < points; ++p) {
            const auto& v = values[std::size_t(p)];
            const bool gap = v == std::vector<float>(4, -1.0f);
            shown << (gap ? QStringLiteral("gap") : joined({v[0], v[1], v[2], v[3]}));
            // The chart takes an empty bucket's series 0 to 3, a filled one's 3, 0, 1, 2.
            QCOMPARE(handed.mid(4 * p, 4), (gap ? QList<int>{0, 1, 2, 3} : QList<int>{3, 0, 1, 2}));
            if (p % 10 == 0)
                QCOMPARE(progress.takeFirst(), p);
        }
        QCOMPARE(shown.join(QStringLiteral(" | ")), buckets);
        QVERIFY(progress.isEmpty());
        QCOMPARE(joined({t.averageResponse, t.loss, double(t.records), double(t.valid),
                         double(t.unreadable), double(reader.read)}),
                 totals);
    }

    // Each hour bucket's 5th, 50th and 95th percentile of the replies (the
    // value at rank ceil(p/100 n)), its jitter (the mean step between
    // replies in poll order), polls and replies; -1: no such figure.
    void latencyShape_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("shapes"); // "p5 median p95 jitter polls replied | ..."
        const auto row = [](const char* name, const QString& responses, const char* shapes) {
            QStringList rows; // one poll a minute
            for (const QString& r : responses.split(' ', Qt::SkipEmptyParts))
                rows << QString::number(rows.size()) + ' ' + r;
            QTest::newRow(name) << rows.join(';') << shapes;
        };
        const auto upTo = [](int n) {
            QStringList values;
            for (int v = 1; v <= n; ++v)
                values << QString::number(v);
            return values.join(' ');
        };
        row("no polls", "", "-1 -1 -1 -1 0 0");
        row("only lost polls", "-1 -1", "-1 -1 -1 -1 2 0");
        row("one reply", "7 -1", "7 7 7 -1 2 1");
        row("two replies", "30 10", "10 10 30 20 2 2");
        row("19: ranks 1, 10, 19", "19 1 18 2 17 3 16 4 15 5 14 6 13 7 12 8 11 9 10",
            "1 10 19 9.5 19 19");
        row("20: 95 % is exactly rank 19", upTo(20), "1 10 19 1 20 20");
        row("21: ranks 2, 11, 20", upTo(21), "2 11 20 1 21 21");
        row("ties", "5 5 5 5 9" + QString(" 5").repeated(16), "5 5 5 0.4 21 21");
        row("lost polls are left out", "10 -1 20 -1 30 _", "10 20 30 10 6 3");
        // No time: left out; at a bucket's end: the next; past the last: left out.
        QTest::newRow("buckets cut as the fold cuts them")
            << "0 10; _ 99; 60 20; 60 -1; 180 40"
            << "10 10 10 -1 1 1 | 20 20 20 -1 2 1 | -1 -1 -1 -1 0 0";
    }
    void latencyShape() {
        QFETCH(QString, rows);
        QFETCH(QString, shapes);
        Rows reader(polls(rows));
        LatencyShapeScan scan(Begin, 60 * Minute, int(shapes.count('|')) + 1);
        LatencyShapeTap tap(reader, scan);
        for (Sample s; tap.next(s);) {
        }
        QStringList shown;
        for (const BucketShape& b : scan.finish())
            shown << joined({b.p5, b.median, b.p95, b.jitter, double(b.polls), double(b.replied)});
        QCOMPARE(shown.join(QStringLiteral(" | ")), shapes);
    }

    // Outages (O start-end lost polls; no end: still going on) and stretches
    // without data (N start-end), in minutes from Begin, read through the tap
    // the chart's fold reads from.
    void outages_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("minimumLost");
        QTest::addColumn<QString>("items");
        QTest::addColumn<QString>("availability");
        const auto row = [](const char* name, const QString& pattern, int m, const char* items,
                            const QString& availability) {
            QTest::newRow(name) << pattern << m << items << availability;
        };
        row("no rows", "", 2, "", "no polls");
        row("only unreadable responses", "???", 2, "", "no polls");
        row("all replied", "RRRR", 2, "", "100.000 %");
        row("run of exactly M", "RLLR", 2, "O 1-3 2", "50.000 %");
        row("run of M - 1", "RLRR", 2, "", "75.000 %");
        row("one lost poll with M = 1", "RLRR", 1, "O 1-2 1", "75.000 %");
        row("at the span's start", "LLLRR", 2, "O 0-3 3", "40.000 %");
        row("still going on at the end", "RRLLL", 2, "O 2- 3", "40.000 %");
        row("unreadable response inside a run", "RL?LR", 3, "", "50.000 %");
        row("unreadable response passed over", "RL?LR", 2, "O 1-4 2", "50.000 %");
        row("unreadable time passed over", "RLTLR", 2, "O 1-4 2", "50.000 %");
        row("two outages", "LLRLLLR", 2, "O 0-2 2; O 3-6 3", "28.571 %");
        row("no data next to an outage", "RRRRRRLL.........LRRRRR", 2, "O 6-18 3; N 7-17",
            "78.571 %");
        row("gap under five minutes", "RRRRRRRR...RRRRRR", 2, "", "100.000 %");
        row("polls five minutes apart", QString("R....").repeated(6), 2, "", "100.000 %");
        row("gap of three intervals", "R.R.R.R.R.R.....R", 2, "", "100.000 %");
        row("gap of 3.5 intervals", "R.R.R.R.R.R......R", 2, "N 10-17", "100.000 %");
        // Long steady runs, where the median interval is taken from runs of
        // equal intervals: 20 of 1 minute, 20 of 2 minutes, then the gap.
        const QString steady = QString("R").repeated(21) + QString(".R").repeated(20);
        row("steady polls, gap of three median intervals", steady + ".....R", 2, "", "100.000 %");
        row("steady polls, gap of 3.5 median intervals", steady + "......R", 2, "N 60-67",
            "100.000 %");
        row("availability rounds to three decimals", QString("R").repeated(2082) + "L", 2, "",
            "99.952 %");
    }
    void outages() {
        QFETCH(QString, pattern);
        QFETCH(int, minimumLost);
        QFETCH(QString, items);
        QFETCH(QString, availability);
        OutageScan scan(minimumLost);
        Rows source(::pattern(pattern));
        OutageTap tap(source, scan);
        Sample row;
        int passed = 0;
        while (tap.next(row))
            ++passed;
        QCOMPARE(passed, int(::pattern(pattern).size())); // the rows pass on unchanged
        const OutageReport report = scan.finish();
        QStringList shown;
        const auto minute = [](double t) {
            return QString::number(qRound((t - Begin) / Minute));
        };
        for (const OutageItem& i : report.items)
            shown << QStringLiteral("%1 %2-%3")
                             .arg(i.kind == OutageItem::Outage ? 'O' : 'N')
                             .arg(minute(i.start), i.end ? minute(*i.end) : QString()) +
                         (i.kind == OutageItem::Outage ? QStringLiteral(" %1").arg(i.lostPolls)
                                                       : QString());
        QCOMPARE(shown.join(QStringLiteral("; ")), items);
        QCOMPARE(availabilityText(report), availability);
    }

    // Durations in the outage report's table.
    void durations() {
        QCOMPARE(durationText(12), QStringLiteral("12 s"));
        QCOMPARE(durationText(2 * 86400 + 3 * 3600 + 5), QStringLiteral("2 d 03 h 00 min 05 s"));
    }
};

QTEST_GUILESS_MAIN(TestSampleFold)
#include "test_samplefold.moc"
