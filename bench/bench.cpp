// tarnvue-bench: times chart builds of one node on a year of one-minute polls
// of 20 nodes: the first "Last 12 Months" chart with nothing kept in memory,
// against a plain read-and-fold through SQLite's C interface on one
// connection (the floor), in the process and as whole processes; the period
// switches, detail step and zoom-out that follow it; the read after a minute
// of new polls; and checks that every chart answered from memory is the same,
// to the byte, as the chart from one fresh samples query.
//
//   tarnvue-bench [--database FILE] [--postgres URI] [--runs N]
//   tarnvue-bench --jet FILE [--runs N]
//   tarnvue-bench --hostile [--runs N]
//   tarnvue-bench --spread [--database FILE] [--runs N]
//   tarnvue-bench --processes [--database FILE] [--runs N]
//
// The database is made on first use (about 10.5 million rows) and reused.
// With --jet it times an Access (Jet 4) file instead: the scan per table
// row, the first chart of node 1, and the charts that follow it.
// With --hostile it times chart files that are legal but huge (a 60 MB
// footer, 16 series of 32,767 points) from loading to a PNG, as
// tarnvue-render writes them.
// With --spread it times 12-month charts with every response time spread
// figure shown and spikes clipped against the same charts with all of them
// off, and the spread scan alone over the year's rows.
// With --processes it times only the whole tarnvue-render processes.
// With --postgres the first 12-month chart is built from that PostgreSQL
// database (filled from the same file by tarnvue-collect), against the same
// SQLite floor.

#include "DemoData.h"
#include "chart/LatencyShape.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartFile.h"
#include "components/chart/ChartModel.h"
#include "components/chart/ChartOutput.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "monitordb/JetBackend.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/MonitorQueries.h"
#include "monitordb/SampleStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <sys/resource.h>
#include <time.h>
#include <vector>

using namespace tarnvue;

namespace {

const QDateTime End(QDate(2026, 11, 30), QTime(23, 59));
constexpr int Node = 1;
int failures = 0;

// "1.23 1.50 1.61" from /proc/loadavg, or "unknown".
QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 2);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Processor time of the whole process so far (all threads), in ms.
double cpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Processor time of the calling thread alone, in ms.
double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int pointsOf(const PeriodSpan& span) {
    return toInt16((span.end - span.begin) / span.size);
}

// The floor: the same query through SQLite's C interface on one fresh
// connection, folded into bucket minimum, maximum, sum and loss with nothing
// else around it.
double plainFold(const QString& path, const PeriodSpan& span) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = MonitorQueries::samples(Node, span.begin, span.end).toUtf8();
    const auto points = static_cast<std::size_t>(pointsOf(span));
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    std::vector<double> sums(points), mins(points, -1), maxs(points, -1), losses(points);
    // Columns of "Select *": Node ID, Time, Response, Min, Max, Loss.
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto b = static_cast<std::size_t>((sqlite3_column_double(statement, 1) - span.begin) /
                                                span.size);
        if (b >= points)
            break;
        const int response = sqlite3_column_int(statement, 2);
        if (response >= 0) {
            const double low = sqlite3_column_int(statement, 3);
            const double high = sqlite3_column_int(statement, 4);
            mins[b] = mins[b] < 0 ? low : std::min(mins[b], low);
            maxs[b] = std::max(maxs[b], high);
            sums[b] += response;
        }
        losses[b] += sqlite3_column_int(statement, 5);
    }
    sqlite3_finalize(statement);
    const double ms = timer.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    return ms;
}

// One chart control for every build, as the main window keeps one.
TarnvueChart& sharedChart() {
    static TarnvueChart* chart = [] {
        auto* c = new TarnvueChart;
        c->resize(1000, 650);
        c->setDB(&MonitorDB::shared());
        c->setNodeID(Node);
        c->setMainTitle(QStringLiteral("router1"));
        c->setSubTitle(QStringLiteral("10.0.0.1"));
        c->show();
        return c;
    }();
    return *chart;
}

// Builds the chart of a span as the window does and returns the time until
// it is on screen.
double plot(double begin, double end, double width) {
    TarnvueChart& chart = sharedChart();
    chart.setPlotBegin(begin);
    chart.setPlotEnd(end);
    chart.setPeriodSize(width);
    QElapsedTimer timer;
    timer.start();
    chart.Plot();
    // The user waits until the finished chart is on screen.
    QCoreApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

double plot(const PeriodSpan& span) {
    return plot(span.begin, span.end, span.size);
}

// The chart's data text and its overall figures.
QString dataText() {
    const TarnvueChart& chart = sharedChart();
    return chartDataCsv(chart.ChartObject()->model()) +
           QStringLiteral("%1 %2 %3\n")
               .arg(double(chart.LastTotals().averageResponse), 0, 'g', 9)
               .arg(double(chart.LastTotals().loss), 0, 'g', 9)
               .arg(chart.LastTotals().records);
}

struct Span {
    QString name;
    double begin;
    double end;
    double width;
};

// Every named period and a custom span, and detail steps of three of them.
std::vector<Span> comparedSpans(const QDateTime& now) {
    std::vector<Span> spans;
    for (int period = TodayPeriod; period <= ThisYearPeriod; ++period) {
        const PeriodSpan s = *periodSpan(period, now);
        spans.push_back({periodCaption(period), s.begin, s.end, s.size});
    }
    const double day = DateValue::fromDateTime(now.date());
    spans.push_back(
        {QStringLiteral("Custom Period"), day - 40.25, day - 20.5, DateValue::fromMinutes(30)});
    for (const auto& [period, minutes] : std::vector<std::pair<int, int>>{{Last12MonthsPeriod, 720},
                                                                          {Last12MonthsPeriod, 360},
                                                                          {Last3MonthsPeriod, 60},
                                                                          {Last30DaysPeriod, 30},
                                                                          {TodayPeriod, 5},
                                                                          {TodayPeriod, 1}}) {
        const PeriodSpan s = *periodSpan(period, now);
        spans.push_back({periodCaption(period) + QStringLiteral(", detail %1 min").arg(minutes),
                         s.begin, s.end, DateValue::fromMinutes(minutes)});
    }
    return spans;
}

// Builds every compared chart from memory (after a 12-month chart) and from
// one fresh samples query, and reports any difference in their data text.
void compareOutputs(const QDateTime& now) {
    SampleStore& store = SampleStore::shared();
    const std::vector<Span> spans = comparedSpans(now);
    store.clear();
    const PeriodSpan year = *periodSpan(Last12MonthsPeriod, now);
    plot(year);
    std::vector<QString> cached;
    int fromMemory = 0;
    for (const Span& s : spans) {
        plot(s.begin, s.end, s.width);
        fromMemory += store.lastActivity().fromMemory ? 1 : 0;
        cached.push_back(dataText());
    }
    store.setCaching(false);
    int differences = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        plot(spans[i].begin, spans[i].end, spans[i].width);
        if (dataText() != cached[i]) {
            ++differences;
            std::printf("  DIFFERENT: %s\n", qUtf8Printable(spans[i].name));
        }
    }
    store.setCaching(true);
    std::printf("identical output: %zu charts (%d from memory alone) against one fresh "
                "samples query each: %s\n",
                spans.size(), fromMemory, differences == 0 ? "all identical" : "DIFFERENCES");
    if (differences != 0)
        ++failures;
}

// Processor time of the finished child processes so far, in ms.
double childMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Runs a program and returns its wall time, or -1 when it fails; adds its
// processor time to *cpu.
double processTime(const QString& program, const QStringList& arguments, std::vector<double>* cpu) {
    const double before = childMilliseconds();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return -1;
    const double wall = timer.nsecsElapsed() / 1e6;
    cpu->push_back(childMilliseconds() - before);
    return wall;
}

void processes(const QString& path, int runs) {
    const QString dir = QCoreApplication::applicationDirPath();
    const PeriodSpan year = *periodSpan(Last12MonthsPeriod, End);
    const QString png = QDir::temp().filePath(QStringLiteral("tarnvue-bench.png"));
    const QStringList render{QStringLiteral("-N"),
                             QString::number(Node),
                             QStringLiteral("--from"),
                             DateValue::toDateTime(year.begin).toString(u"yyyy-MM-dd HH:mm"),
                             QStringLiteral("--to"),
                             DateValue::toDateTime(year.end).toString(u"yyyy-MM-dd HH:mm"),
                             QStringLiteral("--width"),
                             QStringLiteral("1439"),
                             QStringLiteral("--database"),
                             path,
                             QStringLiteral("-o"),
                             png};
    const QStringList floor{path, MonitorQueries::samples(Node, year.begin, year.end),
                            DateValue::queryText(year.begin), DateValue::queryText(year.size),
                            QString::number(pointsOf(year))};
    std::vector<double> floorTimes, renderTimes, csvTimes, floorCpu, renderCpu, csvCpu;
    QStringList csv = render;
    csv.last() = QDir::temp().filePath(QStringLiteral("tarnvue-bench.csv"));
    for (int i = 0; i < runs; ++i) {
        floorTimes.push_back(
            processTime(dir + QStringLiteral("/tarnvue-bench-floor"), floor, &floorCpu));
        renderTimes.push_back(
            processTime(dir + QStringLiteral("/tarnvue-render"), render, &renderCpu));
        csvTimes.push_back(processTime(dir + QStringLiteral("/tarnvue-render"), csv, &csvCpu));
    }
    QFile::remove(png);
    QFile::remove(csv.last());
    const double f = median(floorTimes);
    std::printf("whole process, 12 months: floor %.1f ms, tarnvue-render png %.1f ms "
                "(ratio %.2f), csv %.1f ms (ratio %.2f)\n",
                f, median(renderTimes), median(renderTimes) / f, median(csvTimes),
                median(csvTimes) / f);
    std::printf("  processor time (all threads): floor %.1f ms, png %.1f ms, csv %.1f ms\n",
                median(floorCpu), median(renderCpu), median(csvCpu));
}

// A minute of new polls for every node, as the poller appends them, then
// taken out again so that the benchmark database stays as it was.
void newPolls(const QString& path, bool add) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    const QByteArray time = DateValue::queryText(DateValue::fromDateTime(End.addSecs(60))).toUtf8();
    QByteArray sql;
    if (add) {
        sql = "BEGIN;";
        for (int node = 1; node <= 20; ++node)
            sql += "INSERT INTO ResponseTime VALUES (" + QByteArray::number(node) + ", " + time +
                   ", 20, 18, 25, 0);";
        sql += "COMMIT;";
    } else {
        sql = "DELETE FROM ResponseTime WHERE Time = " + time;
    }
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The first 12-month chart from a PostgreSQL copy of the file, against the
// file's single-threaded floor.
int postgresBench(const QString& path, const QString& uri, int runs) {
    const PeriodSpan year = *periodSpan(Last12MonthsPeriod, End);
    MonitorDB::shared().open(uri);
    std::vector<double> floor, chart;
    plot(year); // warm the caches alike for both
    for (int i = 0; i < runs; ++i) {
        floor.push_back(plainFold(path, year));
        SampleStore::shared().clear();
        chart.push_back(plot(year));
    }
    std::printf("Last 12 months from PostgreSQL: floor %.1f ms, chart %.1f ms (ratio %.2f)\n",
                median(floor), median(chart), median(chart) / median(floor));
    MonitorDB::release();
    return 0;
}

int sqliteBench(const QString& path, int runs) {
    SampleStore& store = SampleStore::shared();
    std::printf("cores: %d, ranges per read: %d, runs: %d (medians)\n", QThread::idealThreadCount(),
                store.rangeCount(), runs);
    const PeriodSpan year = *periodSpan(Last12MonthsPeriod, End);
    MonitorDB::shared().open(path);

    // The first chart: nothing kept, against the floor and the single query.
    std::vector<double> floor, cold, single, floorCpu, coldCpu, coldIdle;
    plot(year); // warm the file cache alike for all
    for (int i = 0; i < runs; ++i) {
        double cpu = cpuMilliseconds();
        floor.push_back(plainFold(path, year));
        floorCpu.push_back(cpuMilliseconds() - cpu);
        store.clear();
        cpu = cpuMilliseconds();
        const double own = threadMilliseconds();
        cold.push_back(plot(year));
        coldCpu.push_back(cpuMilliseconds() - cpu);
        // On an idle machine: this thread's own work, and the range readers'
        // work shared among them.
        const double ui = threadMilliseconds() - own;
        coldIdle.push_back(ui + (coldCpu.back() - ui) / store.rangeCount());
        store.setCaching(false);
        single.push_back(plot(year));
        store.setCaching(true);
    }
    std::printf("Last 12 months, first chart: floor %.1f ms, chart %.1f ms (ratio %.2f); "
                "one samples query %.1f ms (ratio %.2f)\n",
                median(floor), median(cold), median(cold) / median(floor), median(single),
                median(single) / median(floor));
    std::printf("  processor time: floor %.1f ms, chart %.1f ms (all threads); on an idle "
                "machine the chart would take about %.1f ms (ratio %.2f)\n",
                median(floorCpu), median(coldCpu), median(coldIdle),
                median(coldIdle) / median(floorCpu));

    // What follows a 12-month chart.
    struct Step {
        const char* name;
        std::function<double()> run;
        std::vector<double> times;
    };
    const auto period = [](int p) {
        return [p] {
            return plot(*periodSpan(p, End));
        };
    };
    std::vector<Step> steps{
        {"Last 30 days", period(Last30DaysPeriod), {}},
        {"Last 3 months", period(Last3MonthsPeriod), {}},
        {"This Month", period(ThisMonthPeriod), {}},
        {"More Detail (12 hours)",
         [&] { return plot(year.begin, year.end, DateValue::fromMinutes(720)); },
         {}},
        {"Zoom Out",
         [] {
             ChartControl& c = *sharedChart().ChartObject();
             c.setVisiblePointCount(40);
             c.setFirstVisiblePoint(100);
             QCoreApplication::processEvents();
             QElapsedTimer timer;
             timer.start();
             sharedChart().ZoomOut();
             QCoreApplication::processEvents();
             return timer.nsecsElapsed() / 1e6;
         },
         {}},
    };
    for (int i = 0; i < runs; ++i) {
        store.clear();
        plot(year);
        for (Step& step : steps) {
            plot(year);
            step.times.push_back(step.run());
        }
    }
    std::printf("after a 12-month chart (target at most 50 ms each, drawing included):\n");
    for (const Step& step : steps)
        std::printf("  %-24s %6.1f ms\n", step.name, median(step.times));

    // A minute of new polls: a period that ends now reads only them.
    std::vector<double> reads, charts;
    qint64 rowsRead = 0;
    for (int i = 0; i < runs; ++i) {
        store.clear();
        plot(year);
        newPolls(path, true);
        QElapsedTimer timer;
        timer.start();
        store.rows(MonitorDB::shared(), Node, year.begin, year.end, year.size);
        reads.push_back(timer.nsecsElapsed() / 1e6);
        rowsRead = store.lastActivity().rowsRead;
        charts.push_back(plot(year));
        const QString fromMemory = dataText();
        store.setCaching(false);
        plot(year);
        if (dataText() != fromMemory) {
            std::printf("  DIFFERENT after new polls\n");
            ++failures;
        }
        store.setCaching(true);
        newPolls(path, false);
    }
    std::printf("a minute of new polls, then Last 12 months again: read %.2f ms (%lld rows "
                "read, target at most 20 ms), chart %.1f ms\n",
                median(reads), static_cast<long long>(rowsRead), median(charts));

    compareOutputs(End);
    std::printf("peak memory: %ld MB (rows kept: %.1f MB)\n", peakMegabytes(),
                store.bytesKept() / 1048576.0);
    processes(path, runs);
    return 0;
}

// Every spread figure on, or all off: the window's Chart menu switches.
void showSpread(bool on) {
    sharedChart().ChartObject()->setLatencyLook({on, on, on, on, on});
}

// 12-month charts with every spread figure shown and spikes clipped against
// the same with all off (the figures are found in both, as the window always
// finds them), first with nothing kept and then from memory, at day and at
// hour buckets; the runs alternate which goes first. Then the spread scan
// alone against a bare pass over the same rows.
int spreadBench(const QString& path, int runs) {
    SampleStore& store = SampleStore::shared();
    MonitorDB::shared().open(path);
    const PeriodSpan year = *periodSpan(Last12MonthsPeriod, End);
    const double hour = DateValue::fromMinutes(60);
    std::printf("cores: %d, runs: %d (medians), load average at start: %s\n",
                QThread::idealThreadCount(), runs, qUtf8Printable(loadAverage()));
    plot(year); // warm the file cache alike for all
    struct Case {
        const char* name;
        std::function<double()> run;
        std::vector<double> off, on, offCpu, onCpu;
    };
    std::vector<Case> cases{
        {"first chart (366 day buckets, nothing kept)",
         [&] {
             store.clear();
             return plot(year);
         },
         {},
         {},
         {},
         {}},
        {"from memory (366 day buckets)", [&] { return plot(year); }, {}, {}, {}, {}},
        {"from memory (8,784 hour buckets)",
         [&] { return plot(year.begin, year.end, hour); },
         {},
         {},
         {},
         {}},
    };
    for (int i = 0; i < runs; ++i) {
        for (Case& c : cases) {
            for (int k = 0; k < 2; ++k) {
                const bool on = (i + k) % 2 == 1;
                showSpread(on);
                c.run(); // the rows of this case are where the case expects them
                const double cpu = threadMilliseconds();
                const double wall = c.run();
                (on ? c.on : c.off).push_back(wall);
                (on ? c.onCpu : c.offCpu).push_back(threadMilliseconds() - cpu);
            }
        }
    }
    std::printf("12-month charts, everything on against everything off (wall; window "
                "thread's processor time):\n");
    for (const Case& c : cases)
        std::printf("  %-44s off %7.1f ms, on %7.1f ms: ratio %.3f (processor %.1f / %.1f ms: "
                    "%.3f)\n",
                    c.name, median(c.off), median(c.on), median(c.on) / median(c.off),
                    median(c.offCpu), median(c.onCpu), median(c.onCpu) / median(c.offCpu));

    // The scan alone: what every chart pays for its figures, on or off.
    const SampleRows rows = store.rows(MonitorDB::shared(), Node, year.begin, year.end, year.size);
    std::vector<double> bare, scanned;
    for (int i = 0; i < runs; ++i) {
        double at = threadMilliseconds();
        SampleRowsReader plain(rows);
        std::int64_t count = 0;
        for (Sample row; plain.next(row);)
            ++count;
        bare.push_back(threadMilliseconds() - at);
        at = threadMilliseconds();
        SampleRowsReader read(rows);
        LatencyShapeScan scan(year.begin, year.size, pointsOf(year));
        LatencyShapeTap tap(read, scan);
        for (Sample row; tap.next(row);) {
        }
        const std::vector<BucketShape> shapes = scan.finish();
        scanned.push_back(threadMilliseconds() - at);
        if (i == 0)
            std::printf("spread scan over %lld rows into %zu buckets: ",
                        static_cast<long long>(count), shapes.size());
    }
    std::printf("%.1f ms against %.1f ms for a bare pass (processor time)\n", median(scanned),
                median(bare));
    showSpread(false);
    std::printf("load average at end: %s\n", qUtf8Printable(loadAverage()));
    return 0;
}

// Times the samples query of node 1 over all time on a Jet file: each query
// scans the whole ResponseTime table. Small files are scanned repeatedly
// so that one measurement lasts long enough to time.
void jetScan(const QString& path, int runs) {
    MonitorDB db;
    db.open(path);
    qint64 tableRows = 0;
    setJetScanProgress([&tableRows](qint64 done, qint64 total) {
        tableRows = std::max(done, total);
        return true;
    });
    std::size_t kept = 0;
    const auto scan = [&] {
        auto rows = db.samples(Node, 0, 2958465.0);
        Sample s;
        kept = 0;
        while (rows->next(s))
            ++kept;
    };
    scan();
    const auto repeat =
        static_cast<int>(std::max<qint64>(1, 2000000 / std::max<qint64>(tableRows, 1)));
    std::vector<double> perRow;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        for (int r = 0; r < repeat; ++r)
            scan();
        perRow.push_back(static_cast<double>(timer.nsecsElapsed()) / repeat /
                         static_cast<double>(tableRows));
    }
    setJetScanProgress({});
    const double ns = median(perRow);
    std::printf("jet scan: %lld table rows, %zu rows of node %d, %d scans per run\n",
                static_cast<long long>(tableRows), kept, Node, repeat);
    std::printf("  %.1f ns per table row, %.2f ms per scan; 5,000,000 rows at that rate: "
                "%.0f ms\n",
                ns, ns * static_cast<double>(tableRows) / 1e6, ns * 5e6 / 1e6);
}

// The charts of node 1 on a Jet file: the first (one scan), those that
// follow it from memory, and the same charts from a fresh scan each.
void jetCharts(const QString& path, int runs) {
    SampleStore& store = SampleStore::shared();
    MonitorDB::shared().open(path);
    const PeriodSpan year = *periodSpan(Last12MonthsPeriod, End);
    std::vector<double> first, today, later;
    for (int i = 0; i < runs; ++i) {
        // Alternate which goes first, so that neither gains from the other.
        const auto once = [&] {
            store.setCaching(false);
            today.push_back(plot(year));
            store.setCaching(true);
        };
        if (i % 2 == 0)
            once();
        store.clear();
        first.push_back(plot(year));
        double slowest = 0;
        for (const int p : {Last30DaysPeriod, Last3MonthsPeriod, ThisMonthPeriod, TodayPeriod})
            slowest = std::max(slowest, plot(*periodSpan(p, End)));
        slowest = std::max(slowest, plot(year.begin, year.end, DateValue::fromMinutes(720)));
        later.push_back(slowest);
        if (i % 2 == 1)
            once();
    }
    std::printf("jet, Last 12 months: first chart %.1f ms (one scan each time: %.1f ms); "
                "slowest later chart of the node %.1f ms (target at most 50 ms)\n",
                median(first), median(today), median(later));
    compareOutputs(End);
}

// Loads a chart file and writes it as a 1000 x 650 PNG, the way
// tarnvue-render --chart does; returns the milliseconds taken.
double loadAndDraw(const QString& chartFile, const QString& png) {
    QElapsedTimer timer;
    timer.start();
    ChartControl control;
    control.resize(1000, 650);
    QString error;
    if (!control.loadChart(chartFile, &error))
        throw Error(error);
    const ExportFormat* format = outputFormatForPath(png);
    if (!writeChartOutput(control, *format, png, 1000, 650, &error))
        throw Error(error);
    return timer.nsecsElapsed() / 1e6;
}

int hostileCharts(int runs) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("out.png"));
    struct Case {
        const char* name;
        QString file;
    };
    std::vector<Case> cases;

    ChartModel footer;
    footer.resize(4, 100);
    for (int p = 0; p < 100; ++p)
        footer.setValue(0, p, float(p % 17));
    footer.mainTitle = QStringLiteral("router1");
    footer.footer = QString(60 * 1000 * 1000, QLatin1Char('x'));
    cases.push_back({"60 MB footer", dir.filePath(QStringLiteral("footer.nvc"))});
    QString error;
    if (!saveChartFile(footer, cases.back().file, &error))
        throw Error(error);

    ChartModel series;
    series.resize(16, 32767);
    series.visiblePointCount = 32767;
    for (int s = 0; s < 16; ++s) {
        for (int p = 0; p < 32767; ++p)
            series.setValue(s, p, float(20 + s * 5 + (p * 7919 + s * 31) % 97));
    }
    cases.push_back({"16 x 32,767 points", dir.filePath(QStringLiteral("series.nvc"))});
    if (!saveChartFile(series, cases.back().file, &error))
        throw Error(error);

    std::printf("%-20s %10s\n", "chart file", "to PNG ms");
    for (const Case& c : cases) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(loadAndDraw(c.file, png));
        std::printf("%-20s %10.1f\n", c.name, median(times));
    }
    std::printf("peak memory: %ld MB\n", peakMegabytes());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions(
        {{QStringLiteral("database"), QStringLiteral("The benchmark database."),
          QStringLiteral("file"), QStringLiteral("bench-pollwatch.cfg")},
         {QStringLiteral("runs"), QStringLiteral("Runs per measurement."), QStringLiteral("n"),
          QStringLiteral("5")},
         {QStringLiteral("postgres"),
          QStringLiteral("Build the first chart from this PostgreSQL database."),
          QStringLiteral("uri")},
         {QStringLiteral("jet"), QStringLiteral("Time an Access (Jet 4) file instead."),
          QStringLiteral("file")},
         {QStringLiteral("hostile"), QStringLiteral("Time huge but legal chart files to PNG.")},
         {QStringLiteral("spread"),
          QStringLiteral("Time 12-month charts with every spread figure on against off.")},
         {QStringLiteral("processes"),
          QStringLiteral("Time only the whole tarnvue-render processes against the floor's.")}});
    parser.process(app);
    const QString path = parser.value(QStringLiteral("database"));
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    LoadSampleSizes();

    try {
        if (parser.isSet(QStringLiteral("hostile")))
            return hostileCharts(runs);
        if (parser.isSet(QStringLiteral("postgres")))
            return postgresBench(path, parser.value(QStringLiteral("postgres")), runs);
        if (parser.isSet(QStringLiteral("jet"))) {
            jetScan(parser.value(QStringLiteral("jet")), runs);
            jetCharts(parser.value(QStringLiteral("jet")), runs);
        } else {
            if (!QFileInfo::exists(path)) {
                std::printf("creating %s (20 nodes, 365 days of one-minute polls) ...\n",
                            qUtf8Printable(path));
                DemoOptions options;
                options.path = path;
                options.days = 365;
                options.nodes = 20;
                options.coreNodes = 20;
                options.end = End;
                const DemoSummary made = writeDemoDatabase(options);
                std::printf("%lld rows\n", static_cast<long long>(made.rows));
            }
            if (parser.isSet(QStringLiteral("spread")))
                spreadBench(path, runs);
            else if (parser.isSet(QStringLiteral("processes")))
                processes(path, runs);
            else
                sqliteBench(path, runs);
        }
        std::printf("peak memory: %ld MB\n", peakMegabytes());
        delete &sharedChart();
        MonitorDB::release();
    } catch (const Error& e) {
        std::fprintf(stderr, "tarnvue-bench: %s\n", qUtf8Printable(e.description()));
        return 1;
    }
    if (failures != 0) {
        std::fprintf(stderr, "tarnvue-bench: output from memory differs from a fresh read\n");
        return 1;
    }
    return 0;
}
