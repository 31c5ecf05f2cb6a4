#include "ChartBuilder.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/BucketReadout.h"
#include "chart/LatencyShape.h"
#include "chart/Outages.h"
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

const double Day = 46327.0;   // 2026-11-01 00:00
const double Begin = 46000.0; // 2025-12-09 00:00, the fold's own rows
const double Minute = 1.0 / 1440.0;

// Node 1: polled every minute from 00:00 to 05:59, no rows at all from
// 02:00 to 02:59; 20 ms (min 15, max 30) before 04:00, 40 ms with 10% loss
// from then on. Node 4: every minute from 00:00 to 01:59, unanswered from
// 00:30 to 00:44. Node 5: 10, 20, 30 and 40 ms in turn from 00:00 to 00:59,
// then unanswered to 01:59. Node 6: 20 ms every minute from 00:00 to 01:59,
// two lost polls at 00:20 and an unreadable response at 00:40.
void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
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

// The fold of polls into buckets, the scans beside it, and the chart of a
// node's polls: its overall figures, bands and read-out.
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
        const auto point = [&](int s, int p, float v) {
            QCOMPARE(p, int(handed.size() / 4));
            values[std::size_t(p)][std::size_t(s)] = v;
            handed << s;
        };
        const auto progressed = [&](int p) {
            progress << p;
        };
        const FoldTotals t = SampleFold(Begin, 60 * Minute, points).run(reader, point, progressed);
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
        const QString twenty = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20";
        row("no polls", "", "-1 -1 -1 -1 0 0");
        row("only lost polls", "-1 -1", "-1 -1 -1 -1 2 0");
        row("one reply", "7 -1", "7 7 7 -1 2 1");
        row("two replies", "30 10", "10 10 30 20 2 2");
        row("19: ranks 1, 10, 19", "19 1 18 2 17 3 16 4 15 5 14 6 13 7 12 8 11 9 10",
            "1 10 19 9.5 19 19");
        row("20: 95 % is exactly rank 19", twenty, "1 10 19 1 20 20");
        row("21: ranks 2, 11, 20", twenty + " 21", "2 11 20 1 21 21");
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

    void chartShowsTheBucketsAndTheOverallFigures() {
        const auto chart = plotted(1, 6, 60);
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

    // The overall figures: one decimal, halves away from zero, the user's
    // separator, no grouping (loss under half a percent read "0%"; grouping
    // made "1,234.5 ms"); and the durations of the outage report's table.
    void figureTexts() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(overallLossText(0.46f, us), QStringLiteral("Overall Packet Loss is 0.5%"));
        QCOMPARE(overallLossText(12.25f, us), QStringLiteral("Overall Packet Loss is 12.3%"));
        QCOMPARE(overallLossText(0.46f, de), QStringLiteral("Overall Packet Loss is 0,5%"));
        QCOMPARE(overallAverageText(3.25, us), "Overall Average Response Time is 3.3 ms");
        QCOMPARE(overallAverageText(1234.5, de), "Overall Average Response Time is 1234,5 ms");
        QCOMPARE(durationText(12), QStringLiteral("12 s"));
        QCOMPARE(durationText(2 * 86400 + 3 * 3600 + 5), QStringLiteral("2 d 03 h 00 min 05 s"));
    }

    // Outages and stretches without data lie behind the series as bands over
    // their buckets (bucket p spans p ± 0.5), and the report lists them.
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
        ChartModel model = test::chartOf(
            {{15, 15, -1, -1}, {30, 30, -1, -1}, {20, 20.26f, -1, -1}, {0, 13.333f, -1, 100}}, 15,
            Day);
        model.series[MinimumSeries].decimals = model.series[MaximumSeries].decimals = 0;
        model.firstVisiblePoint = first;
        model.visiblePointCount = shown;
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
