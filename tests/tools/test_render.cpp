#include "RecordingDialogs.h"
#include "Render.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "core/DateValue.h"
#include "monitordb/MonitorDB.h"

#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QTabBar>
#include <QtTest>
#include <csignal>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));
const double Day = 46328.0; // 2026-11-02
const double Minute = 1.0 / 1440.0;

// Node 3 polled every 5 minutes from 06:00 to 09:59 today: 10 ms in the
// 06:xx hour, 20 ms in 07:xx (one poll without a reply at 07:30), none in
// 08:xx, 30 ms with 25% loss in 09:xx.
void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(3, QStringLiteral("edge, \"west\""), QStringLiteral("10.0.0.3"));
    for (int m = 6 * 60; m < 10 * 60; m += 5) {
        const int hour = m / 60;
        if (hour == 8)
            continue;
        if (m == 7 * 60 + 30) {
            db.addSample(3, Day + m * Minute, -1, -1, -1, 100);
            continue;
        }
        const int response = hour == 6 ? 10 : hour == 7 ? 20 : 30;
        db.addSample(3, Day + m * Minute, response, response - 1, response + 4, hour == 9 ? 25 : 0);
    }
}

struct Run {
    int status = -1;
    QString out;
    QString errors;
    QByteArray standardOutput;
};

Run render(const QStringList& arguments) {
    Run run;
    const RenderArguments parsed = parseRenderArguments(arguments);
    if (!parsed.options) {
        run.status = RenderBadUsage;
        run.errors = parsed.error;
        return run;
    }
    QTextStream out(&run.out);
    QTextStream errors(&run.errors);
    QBuffer standardOutput(&run.standardOutput);
    standardOutput.open(QIODevice::WriteOnly);
    run.status = runRender(*parsed.options, out, errors, &standardOutput);
    out.flush();
    errors.flush();
    return run;
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

    test::ProgramDirScope* m_dir = nullptr;
    test::ClockScope* m_clock = nullptr;

    QString out(const QString& name) const { return m_dir->file(name); }

private slots:
    void initTestCase() {
        m_dir = new test::ProgramDirScope;
        m_clock = new test::ClockScope(Now);
        writeDatabase(MonitorDB::databasePath());
    }
    void cleanupTestCase() {
        delete m_clock;
        delete m_dir;
    }
    void cleanup() { MonitorDB::release(); }

    void arguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::newRow("-N attached") << QStringList{"-N3", "-o", "a.csv"} << true;
        QTest::newRow("-N separate") << QStringList{"-N", "3", "-o", "a.csv"} << true;
        QTest::newRow("-IP separate") << QStringList{"-IP", "10.0.0.3", "-o", "a.png"} << true;
        QTest::newRow("chart file") << QStringList{"--chart", "a.nvc", "-o", "a.svg"} << true;
        QTest::newRow("custom span") << QStringList{"-N3",
                                                    "--from",
                                                    "2026-11-02 06:00",
                                                    "--to",
                                                    "2026-11-02 10:00",
                                                    "--width",
                                                    "60",
                                                    "-o",
                                                    "a.pdf"}
                                     << true;
        QTest::newRow("no source") << QStringList{"-o", "a.csv"} << false;
        QTest::newRow("two sources") << QStringList{"-N3", "-IP", "x", "-o", "a.csv"} << false;
        QTest::newRow("no output") << QStringList{"-N3"} << false;
        QTest::newRow("unknown extension") << QStringList{"-N3", "-o", "a.gif"} << false;
        QTest::newRow("not a number") << QStringList{"-Nabc", "-o", "a.csv"} << false;
        QTest::newRow("width not on the ladder") << QStringList{"-N3",
                                                                "--from",
                                                                "2026-11-02 06:00",
                                                                "--to",
                                                                "2026-11-02 10:00",
                                                                "--width",
                                                                "45",
                                                                "-o",
                                                                "a.csv"}
                                                 << false;
        QTest::newRow("custom span incomplete")
            << QStringList{"-N3", "--from", "2026-11-02 06:00", "--width", "60", "-o", "a.csv"}
            << false;
        QTest::newRow("bad time")
            << QStringList{"-N3",     "--from", "yesterday", "--to", "2026-11-02 10:00",
                           "--width", "60",     "-o",        "a.csv"}
            << false;
        QTest::newRow("period and span")
            << QStringList{"-N3",  "--period",         "today",   "--from", "2026-11-02 06:00",
                           "--to", "2026-11-02 10:00", "--width", "60",     "-o",
                           "a.csv"}
            << false;
        QTest::newRow("unknown period")
            << QStringList{"-N3", "--period", "fortnight", "-o", "a.csv"} << false;
        QTest::newRow("chart file with a period")
            << QStringList{"--chart", "a.nvc", "--period", "today", "-o", "a.csv"} << false;
        QTest::newRow("bad size") << QStringList{"-N3", "--size", "10x10", "-o", "a.png"} << false;
        QTest::newRow("unknown option") << QStringList{"-N3", "--colour", "-o", "a.png"} << false;
        QTest::newRow("outages alone") << QStringList{"-N3", "--outages", "o.csv"} << true;
        QTest::newRow("outages of a chart file")
            << QStringList{"--chart", "a.nvc", "--outages", "o.csv"} << false;
        QTest::newRow("min-lost out of range")
            << QStringList{"-N3", "--min-lost", "0", "--outages", "o.csv"} << false;
    }
    void arguments() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        const RenderArguments parsed = parseRenderArguments(arguments);
        QCOMPARE(parsed.options.has_value(), valid);
        if (!valid)
            QVERIFY(!parsed.error.isEmpty());
    }

    void dayWidthIsAWholeDay() {
        for (const char* width : {"1439", "1440"}) {
            const RenderArguments parsed = parseRenderArguments(
                {"-N3", "--from", "2026-10-01 00:00", "--to", "2026-11-01 00:00", "--width",
                 QString::fromLatin1(width), "-o", "a.csv"});
            QVERIFY2(parsed.options, qPrintable(parsed.error));
            QCOMPARE(parsed.options->widthMinutes, 1440);
        }
    }

    void timeInTheDaylightGapIsTheFirstTimeAfter() {
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        const RenderArguments parsed =
            parseRenderArguments({"-N3", "--from", "2026-03-29 02:30", "--to", "2026-03-29 06:00",
                                  "--width", "60", "-o", "a.csv"});
        if (hadZone)
            qputenv("TZ", previous);
        else
            qunsetenv("TZ");
        tzset();
        QVERIFY2(parsed.options, qPrintable(parsed.error));
        QCOMPARE(parsed.options->from, DateValue::fromDateTime(QDate(2026, 3, 29), QTime(3, 0)));
    }

    void csvHoldsEveryBucket() {
        const QString path = out(QStringLiteral("hours.csv"));
        const Run run = render({"-N3", "--from", "2026-11-02 06:00", "--to", "2026-11-02 10:00",
                                "--width", "60", "-o", path});
        QCOMPARE(run.status, RenderOk);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));
        QVERIFY(run.out.isEmpty());
        const QStringList lines = readText(path).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{
                            "Time,Minimum Response Time,Maximum Response Time,Average Response "
                            "Time,% Packet Loss",
                            // 12 polls of 10 ms (min 9, max 14), no loss.
                            "2026-11-02 06:00,9,14,10,0",
                            // 11 polls of 20 ms and one without a reply (100% loss).
                            "2026-11-02 07:00,19,24,20,8.333333",
                            // No polls: an empty field for every value.
                            "2026-11-02 08:00,,,,",
                            "2026-11-02 09:00,29,34,30,25",
                        }));
    }

    void outageListForScripts() {
        // One poll without a reply at 07:30, no polls from 07:55 to 09:00.
        const QString path = out(QStringLiteral("outages.csv"));
        const Run run = render({"-N3", "--min-lost", "1", "--verbose", "--outages", path});
        QCOMPARE(run.status, RenderOk);
        QVERIFY2(run.out.contains(QStringLiteral("availability: 97.222 %")), qPrintable(run.out));
        QCOMPARE(readText(path),
                 QStringLiteral("Kind,Start,End,Duration (s),Lost polls\r\n"
                                "outage,2026-11-02 07:30:00,2026-11-02 07:35:00,300,1\r\n"
                                "no data,2026-11-02 07:55:00,2026-11-02 09:00:00,3900,\r\n"));
        QCOMPARE(render({"-N3", "--outages", path}).status, RenderOk);
        QCOMPARE(readText(path).count(QStringLiteral("outage,")), 0);
    }

    void sameChartAsTheWindow() {
        // The window: node 3, "Today" at 14:37.
        QString windowCsv;
        {
            const test::DialogRecorderScope dialogs;
            GraphForm window;
            QVERIFY(window.BuildChart(3));
            QVERIFY(dialogs->messages.isEmpty());
            windowCsv = chartDataCsv(window.Chart()->ChartObject()->model());
            window.close();
        }
        const QString path = out(QStringLiteral("today.csv"));
        const Run run = render({"-N", "3", "-o", path});
        QCOMPARE(run.status, RenderOk);
        QCOMPARE(readText(path), windowCsv);
        QVERIFY(windowCsv.count(QStringLiteral("\r\n")) == 61);

        // The same for "This Week", chosen by the tab and by --period.
        {
            const test::DialogRecorderScope dialogs;
            GraphForm window;
            QVERIFY(window.BuildChart(3));
            window.PeriodButtons()->setCurrentIndex(1);
            windowCsv = chartDataCsv(window.Chart()->ChartObject()->model());
            window.close();
        }
        const Run week = render({"-IP10.0.0.3", "--period", "thisweek", "-o", path});
        QCOMPARE(week.status, RenderOk);
        QCOMPARE(readText(path), windowCsv);
    }

    void everyFormatIsValid() {
        const QStringList base{"-N3", "--size", "640x400", "-o"};
        for (const char* format : {"png", "jpg", "bmp"}) {
            const QString path = out(QStringLiteral("chart.") + QLatin1String(format));
            QCOMPARE(render(base + QStringList{path}).status, RenderOk);
            QImageReader reader(path);
            QCOMPARE(reader.format(), QByteArray(format == QByteArray("jpg") ? "jpeg" : format));
            QCOMPARE(reader.size(), QSize(640, 400));
        }
        const QString svg = out(QStringLiteral("chart.svg"));
        QCOMPARE(render(base + QStringList{svg}).status, RenderOk);
        QVERIFY(readText(svg).contains(QStringLiteral("<svg")));
        // Every picture says what it shows and when it was made.
        QVERIFY(readText(svg).contains(QStringLiteral("Today: 2 Nov 2026 00:00")));
        QVERIFY(readText(svg).contains(QStringLiteral("Made 2 Nov 2026 14:37")));
        const QString pdf = out(QStringLiteral("chart.pdf"));
        QCOMPARE(render(base + QStringList{pdf}).status, RenderOk);
        QVERIFY(readText(pdf).startsWith(QStringLiteral("%PDF-")));
        QProcess pdfText;
        pdfText.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(pdfText.waitForFinished(), "pdftotext (poppler-utils) is needed");
        const QString pdfWords = QString::fromUtf8(pdfText.readAllStandardOutput());
        QVERIFY2(pdfWords.contains(QStringLiteral("Today: 2 Nov 2026 00:00")),
                 qPrintable(pdfWords));
        QVERIFY(pdfWords.contains(QStringLiteral("Made 2 Nov 2026 14:37")));
        const QString txt = out(QStringLiteral("chart.txt"));
        QCOMPARE(render(base + QStringList{txt}).status, RenderOk);
        QVERIFY(readText(txt).startsWith(QStringLiteral("Time\tMinimum Response Time\t")));

        const QString html = out(QStringLiteral("report.html"));
        QCOMPARE(render(base + QStringList{html}).status, RenderOk);
        const QString page = readText(html);
        QVERIFY(page.contains(QStringLiteral("<h1>edge, &quot;west&quot;</h1>")));
        QVERIFY(page.contains(QStringLiteral("<h2>10.0.0.3</h2>")));
        QVERIFY(page.contains(QStringLiteral("src=\"data:image/png;base64,")));
        QVERIFY(page.contains(QStringLiteral("Overall Average Response Time is ")));
        QVERIFY(page.contains(QStringLiteral("Overall Packet Loss is ")));
        // The 14:45 bucket is still to come: the table leaves it out.
        const QString buckets = page.mid(page.indexOf(QStringLiteral("<table>\n")));
        QCOMPARE(buckets.count(QStringLiteral("<tr><td>")), 59);
        QVERIFY(page.contains(QStringLiteral("Made 2 Nov 2026 14:37")));
    }

    void chartFileRoundTrip() {
        const QString nvc = out(QStringLiteral("today.nvc"));
        const Run run = render({"-N3", "--table", "--font", "large", "--verbose", "-o", nvc});
        QCOMPARE(run.status, RenderOk);
        QVERIFY(run.out.contains(QStringLiteral("buckets: 60")));
        QVERIFY(run.out.contains(QStringLiteral("rows read: 36")));

        ChartControl control;
        QString error;
        QVERIFY2(control.loadChart(nvc, &error), qPrintable(error));
        QCOMPARE(control.pointCount(), 60);
        QCOMPARE(control.tableMode(), TableGraphWithTable);
        QCOMPARE(control.fontSize(), FontLarge);
        QCOMPARE(control.value(2, 24), 10.0f); // 06:00, average

        // The chart file renders again without the database.
        const QString csv = out(QStringLiteral("from-file.csv"));
        QCOMPARE(render({"--chart", nvc, "-o", csv}).status, RenderOk);
        QCOMPARE(readText(csv), chartDataCsv(control.model()));

        // And it opens in the window.
        const test::DialogRecorderScope dialogs;
        GraphForm window;
        QVERIFY(window.LoadGraph(nvc));
        QCOMPARE(window.state(), WindowState::FileChart);
        QCOMPARE(window.Chart()->ChartObject()->model(), control.model());
    }

    void failures_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown node")
            << QStringList{"-N9"} << int(RenderFailed)
            << "Cannot build new chart.\nThe monitor database has no node 9.";
        QTest::newRow("unknown address") << QStringList{"-IP", "10.9.9.9"} << int(RenderFailed)
                                         << "Cannot find node for 10.9.9.9";
        QTest::newRow("missing database")
            << QStringList{"-N3", "--database", "/no/such/Pollwatch.cfg"} << int(RenderFailed)
            << "Cannot build new chart.\nCould not find file '/no/such/Pollwatch.cfg'.";
        QTest::newRow("one bucket")
            << QStringList{"-N3",     "--from", "2026-11-02 06:00", "--to", "2026-11-02 07:00",
                           "--width", "60"}
            << int(RenderFailed)
            << "Not enough samples selected.\nYou should generate "
               "samples closer together.";
        QTest::newRow("3001 buckets")
            << QStringList{"-N3",     "--from", "2026-11-02 00:00", "--to", "2026-11-04 02:01",
                           "--width", "1"}
            << int(RenderFailed)
            << "Too many samples selected.\nYou should generate "
               "samples farther apart.";
        QTest::newRow("width not on the ladder")
            << QStringList{"-N3",     "--from", "2026-11-02 06:00", "--to", "2026-11-02 10:00",
                           "--width", "45"}
            << int(RenderBadUsage) << "--width must be one of";
        QTest::newRow("chart file that is not one")
            << QStringList{"--chart", "/no/such.nvc"} << int(RenderFailed)
            << "Cannot load chart (/no/such.nvc)";
    }
    void failures() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString path = out(QStringLiteral("failed.csv"));
        QFile::remove(path);
        const Run run = render(arguments + QStringList{"-o", path});
        QCOMPARE(run.status, status);
        QVERIFY2(run.errors.startsWith(message), qPrintable(run.errors));
        QVERIFY(!QFile::exists(path));
        // The renderer never makes a database either.
        QVERIFY(!QFile::exists(QStringLiteral("/no/such/Pollwatch.cfg")));
    }

    void exactly3000BucketsIsFine() {
        const QString path = out(QStringLiteral("minutes.csv"));
        const Run run = render({"-N3", "--from", "2026-11-02 00:00", "--to", "2026-11-04 02:00",
                                "--width", "1", "-o", path});
        QCOMPARE(run.status, RenderOk);
        QCOMPARE(readText(path).count(QStringLiteral("\r\n")), 3001);
    }

    void unwritableOutputLeavesNothing() {
        const QString path = out(QStringLiteral("no/such/folder/chart.png"));
        const Run run = render({"-N3", "-o", path});
        QCOMPARE(run.status, RenderFailed);
        QVERIFY(run.errors.startsWith(QStringLiteral("Cannot write ")));
        QVERIFY(!QFile::exists(path));
        QVERIFY(QDir(m_dir->path()).entryList(QStringList{"*.partial", "*.tmp"}).isEmpty());

        // An existing file stays as it was when the chart cannot be built.
        const QString kept = out(QStringLiteral("kept.csv"));
        QFile file(kept);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("yesterday's report");
        file.close();
        QCOMPARE(render({"-N9", "-o", kept}).status, RenderFailed);
        QCOMPARE(readText(kept), QStringLiteral("yesterday's report"));
    }

    // Polls at :00, :20 and :40 of two hours, the same in both; one field of
    // the poll at the given place holds NULL, text or a blob in each hour, so
    // the first bucket is hit too and the poll before holds other values.
    void unreadableFieldsContributeNothing_data() {
        QTest::addColumn<int>("column"); // 0 Time, 1 Response, 2 Min, 3 Max, 4 Loss
        QTest::addColumn<int>("place");  // 0 first, 1 middle, 2 last poll of the bucket
        QTest::addColumn<QVariant>("bad");
        QTest::addColumn<QString>("expected"); // min,max,average,loss of each bucket
        const QStringList names{"Time", "Response", "Min", "Max", "Loss"};
        const QStringList places{"first", "middle", "end"};
        // Intact: 100/200/300 ms (own min -10, max +10), loss 0/30/60.
        const QStringList expected[5] = {{"190,310,250,45", "90,310,200,30", "90,210,150,15"},
                                         {"190,310,250,30", "90,310,200,30", "90,210,150,30"},
                                         {"100,310,200,30", "90,310,200,30", "90,310,200,30"},
                                         {"90,310,200,30", "90,310,200,30", "90,300,200,30"},
                                         {"90,310,200,45", "90,310,200,30", "90,310,200,15"}};
        const QList<std::pair<const char*, QVariant>> kinds{{"NULL", QVariant()},
                                                            {"text", QStringLiteral("n/a")},
                                                            {"blob", QByteArray("\x01\x02", 2)}};
        for (int column = 0; column < 5; ++column) {
            for (int place = 0; place < 3; ++place) {
                for (const auto& [kind, value] : kinds) {
                    QTest::addRow("%s %s at the %s", kind, qPrintable(names[column]),
                                  qPrintable(places[place]))
                        << column << place << value << expected[column][place];
                }
            }
        }
    }
    void unreadableFieldsContributeNothing() {
        QFETCH(int, column);
        QFETCH(int, place);
        QFETCH(QVariant, bad);
        QFETCH(QString, expected);
        const QString database = out(QStringLiteral("unreadable.db"));
        {
            test::TestDatabase db(database);
            db.addNode(1, QStringLiteral("n"), QStringLiteral("10.0.0.1"));
            for (int hour = 6; hour < 8; ++hour) {
                for (int i = 0; i < 3; ++i) {
                    const int r = 100 * (i + 1);
                    QVariantList fields{Day + (hour * 60 + 20 * i) * Minute, r, r - 10, r + 10,
                                        30 * i};
                    if (i == place)
                        fields[column] = bad;
                    db.addSample(1, fields[0], fields[1], fields[2], fields[3], fields[4]);
                }
            }
        }
        const QString path = out(QStringLiteral("unreadable.csv"));
        const Run run = render({"-N1", "--database", database, "--from", "2026-11-02 06:00", "--to",
                                "2026-11-02 08:00", "--width", "60", "--verbose", "-o", path});
        QVERIFY2(run.status == RenderOk, qPrintable(run.errors));
        const QStringList lines = readText(path).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.mid(1),
                 (QStringList{"2026-11-02 06:00," + expected, "2026-11-02 07:00," + expected}));
        // The query itself passes over rows without a time.
        QVERIFY2(run.out.contains(
                     QStringLiteral("rows with unreadable fields: %1").arg(column == 0 ? 0 : 2)),
                 qPrintable(run.out));
    }

    // Only a regular file or a new name is written; links, FIFOs and the
    // database itself are refused and stay exactly as they were.
    void hostileOutputPaths_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // empty: written
        QTest::newRow("link to another file") << "link"
                                              << "is a symbolic link";
        QTest::newRow("link to the database") << "link to database"
                                              << "is a symbolic link";
        QTest::newRow("FIFO") << "fifo"
                              << "is not a regular file";
        QTest::newRow("folder") << "folder"
                                << "is not a regular file";
        QTest::newRow("the database") << "database"
                                      << "is the monitor database";
        QTest::newRow("a hard link to the database") << "hard link to database"
                                                     << "is the monitor database";
        QTest::newRow("the database's journal") << "journal"
                                                << "belongs to the monitor database";
        QTest::newRow("disk full (a file size limit)") << "size limit"
                                                       << "could not be written in full";
        QTest::newRow("standard output") << "-"
                                         << "";
        QTest::newRow("regular file") << "file"
                                      << "";
    }
    void hostileOutputPaths() {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        const QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("Pollwatch.csv"));
        QVERIFY(QFile::copy(MonitorDB::databasePath(), database));
        const QString victim = dir.filePath(QStringLiteral("victim.csv"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("precious") == 8);
        v.close();
        QString path = dir.filePath(QStringLiteral("out.csv"));
        if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(victim, path));
        else if (kind == QLatin1String("link to database"))
            QVERIFY(QFile::link(database, path));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.csv")));
        else if (kind == QLatin1String("database"))
            path = database;
        else if (kind == QLatin1String("hard link to database"))
            QCOMPARE(::link(QFile::encodeName(database).constData(),
                            QFile::encodeName(path).constData()),
                     0);
        else if (kind == QLatin1String("-"))
            path = kind;
        else if (kind == QLatin1String("journal"))
            path = database + QStringLiteral("-journal");
        const QByteArray databaseBytes = [&] {
            QFile f(database);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        struct stat before {};
        ::lstat(QFile::encodeName(path).constData(), &before);

        // A file size limit stands in for a full disk: writes stop short.
        const bool limited = kind == QLatin1String("size limit");
        rlimit previousLimit{};
        ::getrlimit(RLIMIT_FSIZE, &previousLimit);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (limited) {
            rlimit small = previousLimit;
            small.rlim_cur = 2048;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const Run run = render(
            {"-N3", "--database", database, "--format", limited ? "pdf" : "csv", "-o", path});
        ::setrlimit(RLIMIT_FSIZE, &previousLimit);
        std::signal(SIGXFSZ, oldHandler);
        if (refusal.isEmpty()) {
            QCOMPARE(run.status, RenderOk);
            const QByteArray written =
                path == QLatin1String("-") ? run.standardOutput : readText(path).toUtf8();
            QVERIFY(written.startsWith("Time,Minimum Response Time"));
        } else {
            QCOMPARE(run.status, RenderFailed);
            QVERIFY2(run.errors.contains(refusal), qPrintable(run.errors));
            struct stat after {};
            if (limited || kind == QLatin1String("journal")) {
                QVERIFY(!QFile::exists(path));
            } else {
                QCOMPARE(::lstat(QFile::encodeName(path).constData(), &after), 0);
                QCOMPARE(after.st_mode, before.st_mode);
                QCOMPARE(after.st_ino, before.st_ino);
            }
        }
        QCOMPARE(readText(victim), QStringLiteral("precious"));
        QFile db(database);
        QVERIFY(db.open(QIODevice::ReadOnly));
        QCOMPARE(db.readAll(), databaseBytes);
        // Nothing else was left in the folder.
        QVERIFY(QDir(dir.path()).entryList({"*.csv.*"}, QDir::Files).isEmpty());
    }

    void databaseWithoutTheTemplateIsNotCreated() {
        const test::ProgramDirScope empty;
        empty.installTemplate();
        const Run run = render({"-N1", "-o", empty.file(QStringLiteral("x.csv"))});
        QCOMPARE(run.status, RenderFailed);
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
    }
};

QTEST_MAIN(TestRender)
#include "test_render.moc"
