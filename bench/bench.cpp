// tarnvue-bench: times the chart build of one node over "Last 12 Months" and
// "Last 30 Days" on a year of one-minute polls of 20 nodes, and a plain
// read-and-fold of the same rows through SQLite's C interface as the floor.
//
//   tarnvue-bench [--database FILE] [--postgres URI] [--runs N]
//   tarnvue-bench --jet FILE [--runs N]
//
// The database is made on first use (about 10.5 million rows) and reused.
// With --postgres the chart is built from that PostgreSQL database (filled
// from the same file by tarnvue-collect), against the same SQLite floor.
// With --jet it instead times the samples query of node 1 on an Access
// (Jet 4) file, which reads the whole ResponseTime table.

#include "DemoData.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "monitordb/JetBackend.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/MonitorQueries.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>
#include <vector>

using namespace tarnvue;

namespace {

const QDateTime End(QDate(2026, 11, 30), QTime(23, 59));
constexpr int Node = 1;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The floor: the same query through SQLite's C interface, folded into bucket
// minimum, maximum, sum and loss with nothing else around it.
double plainFold(const QString& path, const PeriodSpan& span, int points, double& checksum) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = MonitorQueries::samples(Node, span.begin, span.end).toUtf8();
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr);
    std::vector<double> sums(static_cast<std::size_t>(points)), mins(sums.size(), -1),
        maxs(sums.size(), -1), losses(sums.size());
    // Columns of "Select *": Node ID, Time, Response, Min, Max, Loss.
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const double time = sqlite3_column_double(statement, 1);
        const int bucket = static_cast<int>((time - span.begin) / span.size);
        if (bucket >= points)
            break;
        const auto b = static_cast<std::size_t>(bucket);
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
    for (std::size_t i = 0; i < sums.size(); ++i)
        checksum += sums[i] + mins[i] + maxs[i] + losses[i];
    return ms;
}

struct Timing {
    double fold;  // query and fold through the program's own path
    double chart; // the whole chart build: query, fold and drawing
    double draw;  // redrawing the finished chart
};

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

Timing chartBuild(const PeriodSpan& span) {
    Timing t{};
    {
        auto rows = MonitorDB::shared().samples(Node, span.begin, span.end);
        const int points = toInt16((span.end - span.begin) / span.size);
        QElapsedTimer timer;
        timer.start();
        SampleFold fold(span.begin, span.size, points);
        float sink = 0;
        fold.run(*rows, [&sink](int, int, float v) { sink += v; });
        t.fold = timer.nsecsElapsed() / 1e6;
    }
    TarnvueChart& chart = sharedChart();
    chart.setPlotBegin(span.begin);
    chart.setPlotEnd(span.end);
    chart.setPeriodSize(span.size);
    QElapsedTimer timer;
    timer.start();
    chart.Plot();
    const double plot = timer.nsecsElapsed() / 1e6;
    // The user waits until the finished chart is on screen.
    QCoreApplication::processEvents();
    t.chart = timer.nsecsElapsed() / 1e6;
    if (qEnvironmentVariableIsSet("BENCH_DETAIL"))
        std::printf("  plot %.1f ms, then on screen %.1f ms\n", plot, t.chart - plot);
    timer.restart();
    chart.ChartObject()->action(ChartControl::ActionRebuild);
    t.draw = timer.nsecsElapsed() / 1e6;
    return t;
}

// Times the samples query of node 1 over all time on a Jet file: each query
// scans the whole ResponseTime table. Small files are scanned repeatedly
// so that one measurement lasts long enough to time.
int jetScan(const QString& path, int runs) {
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
    std::printf("peak memory: %ld MB\n", peakMegabytes());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({{QStringLiteral("database"), QStringLiteral("The benchmark database."),
                        QStringLiteral("file"), QStringLiteral("bench-pollwatch.cfg")},
                       {QStringLiteral("runs"), QStringLiteral("Runs per measurement."),
                        QStringLiteral("n"), QStringLiteral("5")},
                       {QStringLiteral("postgres"),
                        QStringLiteral("Build the charts from this PostgreSQL database."),
                        QStringLiteral("uri")},
                       {QStringLiteral("jet"),
                        QStringLiteral("Time the sample scan of this Access (Jet 4) file."),
                        QStringLiteral("file")}});
    parser.process(app);
    const QString path = parser.value(QStringLiteral("database"));
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());

    try {
        if (parser.isSet(QStringLiteral("jet")))
            return jetScan(parser.value(QStringLiteral("jet")), runs);
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
        MonitorDB::shared().open(parser.isSet(QStringLiteral("postgres"))
                                     ? parser.value(QStringLiteral("postgres"))
                                     : path);

        LoadSampleSizes();
        std::printf("%-15s %8s %10s %10s %10s %10s %7s\n", "chart", "buckets", "floor ms",
                    "fold ms", "chart ms", "redraw ms", "ratio");
        for (const int period : {Last12MonthsPeriod, Last30DaysPeriod}) {
            const PeriodSpan span = *periodSpan(period, End);
            const int points = toInt16((span.end - span.begin) / span.size);
            std::vector<double> floor, fold, chart, draw;
            double checksum = 0;
            chartBuild(span); // warm the caches alike for both
            for (int i = 0; i < runs; ++i) {
                floor.push_back(plainFold(path, span, points, checksum));
                const Timing t = chartBuild(span);
                fold.push_back(t.fold);
                chart.push_back(t.chart);
                draw.push_back(t.draw);
            }
            std::printf("%-15s %8d %10.1f %10.1f %10.1f %10.1f %7.2f\n",
                        qUtf8Printable(periodCaption(period)), points, median(floor), median(fold),
                        median(chart), median(draw), median(chart) / median(floor));
        }
        std::printf("peak memory: %ld MB\n", peakMegabytes());
        delete &sharedChart();
        MonitorDB::release();
        return 0;
    } catch (const Error& e) {
        std::fprintf(stderr, "tarnvue-bench: %s\n", qUtf8Printable(e.description()));
        return 1;
    }
}
