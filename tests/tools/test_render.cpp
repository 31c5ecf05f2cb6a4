#include "DemoData.h"
#include "RecordingDialogs.h"
#include "Render.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tarnvue;

namespace {

const double Day = 46328.0; // 2026-11-02, "today"
const double Minute = 1.0 / 1440.0;

// Node 3 polled every 5 minutes from 06:00 to 09:59 today: 10 ms in the
// 06:xx hour, 20 ms in 07:xx (one poll without a reply at 07:30), none in
// 08:xx, 30 ms with 25% loss in 09:xx.
void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(3, QStringLiteral("edge, \"west\""), QStringLiteral("10.0.0.3"));
    for (int m = 6 * 60; m < 10 * 60; m += 5) {
        const int r = m / 60 == 6 ? 10 : m / 60 == 7 ? 20 : 30;
        if (m == 7 * 60 + 30)
            db.addSample(3, Day + m * Minute, -1, -1, -1, 100);
        else if (m / 60 != 8)
            db.addSample(3, Day + m * Minute, r, r - 1, r + 4, m / 60 == 9 ? 25 : 0);
    }
}

QStringList arguments(const QString& line) {
    return QProcess::splitCommand(QString(line).replace(QLatin1Char('\''), QLatin1Char('"')));
}

struct Run {
    int status = -1;
    QString out;
    QString errors;
    QByteArray standardOutput;
};

// Runs tarnvue-render on a command line ("-N3 --from '2026-11-02 06:00' ...").
Run render(const QString& line) {
    Run run;
    const RenderArguments parsed = parseRenderArguments(arguments(line));
    if (!parsed.options)
        return {RenderBadUsage, {}, parsed.error, {}};
    QTextStream out(&run.out);
    QTextStream errors(&run.errors);
    QBuffer standardOutput(&run.standardOutput);
    standardOutput.open(QIODevice::WriteOnly);
    run.status = runRender(*parsed.options, out, errors, &standardOutput);
    out.flush();
    errors.flush();
    return run;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString readText(const QString& path) {
    return QString::fromUtf8(readBytes(path));
}

bool writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// What the arguments asked for, in short.
QString describe(const RenderOptions& o) {
    QStringList d{o.source == RenderOptions::Source::Node      ? "N" + QString::number(o.nodeId)
                  : o.source == RenderOptions::Source::Address ? "IP " + o.address
                                                               : "chart " + o.chartFile};
    d << (o.custom
              ? QStringLiteral("%1 to %2 every %3")
                    .arg(DateValue::stampText(o.from).left(16), DateValue::stampText(o.to).left(16))
              : "period %3")
             .arg(o.custom ? o.widthMinutes : o.period);
    if (!o.output.isEmpty())
        d << "> " + o.output + (o.format.isEmpty() ? QString() : " as " + o.format);
    if (!o.outages.isEmpty())
        d << QStringLiteral("outages %1 (%2)").arg(o.outages).arg(o.minimumLost);
    if (o.size != QSize(1000, 650))
        d << QStringLiteral("%1x%2").arg(o.size.width()).arg(o.size.height());
    if (o.fontSize)
        d << "font " + QString::number(*o.fontSize);
    if (o.table)
        d << "table";
    if (!o.database.isEmpty())
        d << "database " + o.database;
    return d.join(' ');
}

void addRows(const QList<QStringList>& rows) {
    for (const QStringList& row : rows)
        QTest::newRow(qPrintable(row[0])) << row[0] << row[1];
}

} // namespace

// The command-line tools: tarnvue-render and the demo database writer.
class TestRender : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramDirScope> m_dir;
    std::unique_ptr<test::ClockScope> m_clock;

    QString out(const QString& name) const { return m_dir->file(name); }

private slots:
    void initTestCase() {
        // A zone with a daylight-saving gap (02:00 to 03:00 on 2026-03-29).
        qputenv("TZ", "Europe/Berlin");
        tzset();
        m_dir = std::make_unique<test::ProgramDirScope>();
        m_clock = std::make_unique<test::ClockScope>(QDateTime(QDate(2026, 11, 2), QTime(14, 37)));
        writeDatabase(MonitorDB::databasePath());
    }
    void cleanup() { MonitorDB::release(); }

    // The command-line grammar: what a line asks for, or the start of what
    // is wrong with it.
    void commandLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        const QString span = QStringLiteral("--from '2026-11-02 06:00' --to '2026-11-02 10:00'");
        addRows({
            {"-N3 -o a.csv", "N3 period 1 > a.csv"},
            {"-N 3 -o a.csv", "N3 period 1 > a.csv"},
            {"-IP10.0.0.3 -oa.png", "IP 10.0.0.3 period 1 > a.png"},
            {"--chart a.nvc --output a.svg", "chart a.nvc period 1 > a.svg"},
            {"-N3 --period Last12Months --database x.db -o a.csv",
             "N3 period 6 > a.csv database x.db"},
            {"-N3 --width 60 -o a.pdf " + span,
             "N3 2026-11-02 06:00 to 2026-11-02 10:00 every 60 > a.pdf"},
            {"-N3 --from 2026-10-01 --to 2026-11-01 --width 1439 -o a.csv",
             "N3 2026-10-01 00:00 to 2026-11-01 00:00 every 1440 > a.csv"},
            {"-N3 --from '2026-03-29 02:30' --to 2026-03-30 --width 60 -o a.csv",
             "N3 2026-03-29 03:00 to 2026-03-30 00:00 every 60 > a.csv"},
            {"-N3 --size 640x400 --font large --table -o a.png",
             "N3 period 1 > a.png 640x400 font 0 table"},
            {"-N3 -o - --format png", "N3 period 1 > - as png"},
            {"-N3 --outages o.csv", "N3 period 1 outages o.csv (2)"},
            {"-N3 --min-lost 5 --outages o.csv -o a.csv", "N3 period 1 > a.csv outages o.csv (5)"},
            {"-o a.csv", "Name exactly one of -N, -IP and --chart."},
            {"-N3 -IP x -o a.csv", "Name exactly one of -N, -IP and --chart."},
            {"-N3", "Name the output file with -o."},
            {"-N", "-N needs a node identifier."},
            {"-Nabc -o a.csv", "-N needs a whole-number node identifier, not \"abc\"."},
            {"-N3 -o a.gif", "The output's extension must be one of png, jpg, bmp, svg, pdf,"},
            {"-N3 -o -", "Writing to standard output (-o -) needs --format."},
            {"-N3 --width 45 -o a.csv " + span, "--width must be one of 1, 2, 5, 15, 30, 60, 360,"},
            {"-N3 --from 2026-11-02 --width 60 -o a.csv",
             "A custom span needs all of --from, --to"},
            {"-N3 --from yesterday --to 2026-11-03 --width 60 -o a.csv",
             "--from needs \"YYYY-MM-DD HH:MM\", not \"yesterday\"."},
            {"-N3 --from 2026-11-02 --to '2026-11-02 25:00' --width 60 -o a.csv", "--to needs"},
            {"-N3 --period today --width 60 -o a.csv " + span, "Give either --period or a custom"},
            {"-N3 --period fortnight -o a.csv", "--period needs one of today, thisweek,"},
            {"--chart a.nvc --period today -o a.csv", "A chart file holds its own span"},
            {"--chart a.nvc --outages o.csv", "A chart file holds no polls"},
            {"-N3 --size 15x400 -o a.png",
             "--size needs WIDTHxHEIGHT in pixels, each 16 to 10000."},
            {"-N3 --size 640x10001 -o a.png", "--size needs WIDTHxHEIGHT"},
            {"-N3 --font huge -o a.png", "--font needs small, medium or large."},
            {"-N3 --colour -o a.png", "Unknown argument \"--colour\"."},
            {"-N3 --min-lost 0 --outages o.csv", "--min-lost needs a number of polls from 1 to"},
        });
    }
    void commandLine() {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        const RenderArguments parsed = parseRenderArguments(arguments(line));
        if (parsed.options)
            QCOMPARE(describe(*parsed.options), expected);
        else
            QVERIFY2(parsed.error.startsWith(expected), qPrintable(parsed.error));
    }

    // Every bucket in the CSV, the same text on standard output; a chart file
    // keeps the chart and its look, renders again without the database and
    // opens in the window.
    void csvAndChartFileHoldEveryBucket() {
        const QString line = "-N3 --from '2026-11-02 06:00' --to '2026-11-02 10:00' --width 60 -o ";
        const QString csv = out(QStringLiteral("hours.csv"));
        const QString nvc = out(QStringLiteral("hours.nvc"));
        const Run run = render(line + csv);
        QCOMPARE(run.status, RenderOk);
        QCOMPARE(run.errors + run.out, QString());
        const QString direct = readText(csv);
        QCOMPARE(direct.split("\r\n"),
                 (QStringList{"Time,Minimum Response Time,Maximum Response Time,Average Response "
                              "Time,% Packet Loss",
                              "2026-11-02 06:00,9,14,10,0", // 12 polls of 10 ms (min 9, max 14)
                              "2026-11-02 07:00,19,24,20,8.333333", // 11 of 20 ms, one lost
                              "2026-11-02 08:00,,,,",               // no polls: empty fields
                              "2026-11-02 09:00,29,34,30,25", ""}));
        QCOMPARE(render(line + "- --format csv").standardOutput, direct.toUtf8());
        const Run saved = render("--table --font large --verbose " + line + nvc);
        QVERIFY(saved.status == RenderOk && saved.out.contains("buckets: 4\nrows read: 36\n"));
        QCOMPARE(render("--chart " + nvc + " -o " + csv).status, RenderOk);
        QCOMPARE(readText(csv), direct);
        const test::DialogRecorderScope dialogs;
        GraphForm window;
        QVERIFY(window.LoadGraph(nvc));
        QCOMPARE(window.state(), WindowState::FileChart);
        QCOMPARE(window.Chart()->ChartObject()->tableMode(), TableGraphWithTable);
        QCOMPARE(window.Chart()->ChartObject()->fontSize(), FontLarge);
        QCOMPARE(chartDataCsv(window.Chart()->ChartObject()->model()), direct);
    }

    void outageListForScripts() {
        // One poll without a reply at 07:30, no polls from 07:55 to 09:00.
        const QString path = out(QStringLiteral("outages.csv"));
        const Run run = render("-N3 --min-lost 1 --verbose --outages " + path);
        QCOMPARE(run.status, RenderOk);
        QVERIFY2(run.out.contains(QStringLiteral("availability: 97.222 %")), qPrintable(run.out));
        QCOMPARE(readText(path),
                 QStringLiteral("Kind,Start,End,Duration (s),Lost polls\r\n"
                                "outage,2026-11-02 07:30:00,2026-11-02 07:35:00,300,1\r\n"
                                "no data,2026-11-02 07:55:00,2026-11-02 09:00:00,3900,\r\n"));
        QCOMPARE(render("-N3 --outages " + path).status, RenderOk);
        QCOMPARE(readText(path).count(QStringLiteral("outage,")), 0);
    }

    // Every format is written whole; pictures at the size asked for, the
    // others saying what they show and when they were made.
    void formats_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("holds"); // parts separated by '|'
        const QString stamps = QStringLiteral("This Week: 26 Oct 2026 00:00|Made 2 Nov 2026 14:37");
        addRows({{"png", "png"},
                 {"svg", "<svg|" + stamps},
                 {"pdf", "%PDF-"},
                 {"txt", "Time\tMinimum Response Time\t"},
                 {"html", "<h1>edge, &quot;west&quot;</h1>|<h2>10.0.0.3</h2>|"
                          "src=\"data:image/png;base64,|Overall Average Response Time is |"
                          "Overall Packet Loss is |Made 2 Nov 2026 14:37"}});
    }
    void formats() {
        QFETCH(QString, format);
        QFETCH(QString, holds);
        const QString path = out("chart." + format);
        QCOMPARE(render("-N3 --period thisweek --size 640x400 -o " + path).status, RenderOk);
        const QString text = readText(path);
        if (QImageReader::supportedImageFormats().contains(holds.toLatin1())) {
            QImageReader reader(path);
            QCOMPARE(QString::fromLatin1(reader.format()), holds);
            QCOMPARE(reader.size(), QSize(640, 400));
            return;
        }
        for (const QString& part : holds.split('|'))
            QVERIFY2(text.contains(part), qPrintable(part));
        // The report's table leaves out the 15:00 bucket, which is still to come.
        if (format == QLatin1String("html"))
            QCOMPARE(text.mid(text.indexOf("<table>\n")).count(QStringLiteral("<tr><td>")), 183);
    }

    // The spread figures are worked out for the outputs that hold them: the
    // extended columns, and a chart file that renders the same columns again.
    void spreadFiguresReachTheOutputsThatHoldThem() {
        const QString span = QStringLiteral("-N3 --from '2026-11-02 06:00' --to '2026-11-02 10:00' "
                                            "--width 60 ");
        const QString csv = out("extended.csv");
        const QString nvc = out("spread.nvc");
        QCOMPARE(render(span + "--extended -o " + csv).status, RenderOk);
        const QString direct = readText(csv);
        // 06:00 to 06:59, twelve polls of 10 ms: median, 5th and 95th
        // percentile 10, jitter 0, 12 polls, all replied.
        QVERIFY2(direct.section(QStringLiteral("\r\n"), 1, 1).endsWith(",10,10,10,0,12,12"),
                 qPrintable(direct));
        QCOMPARE(render(span + "-o " + nvc).status, RenderOk);
        QCOMPARE(render("--chart " + nvc + " --extended -o " + csv).status, RenderOk);
        QCOMPARE(readText(csv), direct);
    }

    // A run that fails says why and leaves every file in the folder, the
    // database among them, as it was. link.csv links to kept.csv, fifo.csv is
    // a FIFO, hard.cfg a hard link to the database; full.pdf meets a full disk.
    void failures_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");
        const QString span = QStringLiteral("-N3 --from 2026-11-02 --width 1 --to '2026-11-0");
        const auto refused = [](const QString& name, const QString& why) {
            return QStringList{"-N3 --format csv -o " + name,
                               "Cannot write " + name + "\n" + name + ' ' + why + "\n"};
        };
        addRows({
            {"-N9", "Cannot build new chart.\nThe monitor database has no node 9.\n"},
            {"-IP 10.9.9.9", "Cannot find node for 10.9.9.9\n"},
            {"-N3 --database /no/such/Pollwatch.cfg",
             "Cannot build new chart.\nCould not find file '/no/such/Pollwatch.cfg'.\n"},
            {span + "4 02:01'",
             "Too many samples selected.\nYou should generate samples farther apart.\nA chart "
             "holds at most 3000 samples. The finest width for this span is \"Every 2 "
             "Minutes\".\n"},
            {"--chart /no/such.nvc", "Cannot load chart (/no/such.nvc)\n\n"},
            {"-N3 -o no/such/folder/a.png", "Cannot write no/such/folder/a.png\n"},
            refused("link.csv", "is a symbolic link; Tarnvue does not write through links."),
            refused("fifo.csv", "is not a regular file."),
            refused("hard.cfg", "is the monitor database; Tarnvue never writes over it."),
            refused("Pollwatch.cfg-journal",
                    "belongs to the monitor database; Tarnvue never writes over it."),
            {"-N3 -o full.pdf",
             "Cannot write full.pdf\nThe file could not be written in full (is the disk full?).\n"},
        });
    }
    void failures() {
        QFETCH(QString, line);
        QFETCH(QString, message);
        QDir::setCurrent(m_dir->path());
        const QString kept = QStringLiteral("kept.csv");
        QVERIFY(writeText(kept, "yesterday's report"));
        QFile::link(kept, QStringLiteral("link.csv"));
        ::mkfifo("fifo.csv", 0600);
        ::link(QFile::encodeName(MonitorDB::databasePath()).constData(), "hard.cfg");
        const auto folder = [] {
            QStringList files;
            for (const QFileInfo& f : QDir().entryInfoList(QDir::AllEntries | QDir::System |
                                                           QDir::Hidden | QDir::NoDotAndDotDot)) {
                struct stat st {};
                ::lstat(QFile::encodeName(f.fileName()).constData(), &st);
                files << QStringLiteral("%1 %2 %3 %4")
                             .arg(f.fileName())
                             .arg(st.st_ino)
                             .arg(st.st_mode)
                             .arg(st.st_size);
            }
            return files;
        };
        const QStringList before = folder();
        const QByteArray database = readBytes(MonitorDB::databasePath());
        // A file size limit stands in for a full disk: writes stop short.
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        if (line.contains(QLatin1String("full.pdf")))
            limit.rlim_cur = 2048;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const Run run = render(line.contains(" -o ") ? line : line + " -o " + kept);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, handler);
        QCOMPARE(run.status, RenderFailed);
        QVERIFY2(run.errors.startsWith(message), qPrintable(run.errors));
        QCOMPARE(readText(kept), QStringLiteral("yesterday's report"));
        QCOMPARE(folder(), before);
        QCOMPARE(readBytes(MonitorDB::databasePath()), database);
    }

    // Fields holding NULL, text or a blob add nothing, and a row whose time
    // is not a number is never read: each hour reads as its three good polls
    // (100/200/300 ms, own min -10 and max +10, loss 0/30/60).
    void unreadableFieldsContributeNothing() {
        const QVariant text = QStringLiteral("n/a"), blob = QByteArray("\x01\x02", 2), null;
        test::Rows polls{{1, Day + 6.5 / 24, text, text, text, text},
                         {1, Day + 6.7 / 24, null, null, null, null},
                         {1, Day + 7.5 / 24, blob, blob, blob, blob},
                         {1, text, 1, 1, 1, 0},
                         {1, blob, 1, 1, 1, 0},
                         {1, null, 1, 1, 1, 0}};
        for (int i = 0; i < 6; ++i) {
            const int r = 100 * (i % 3 + 1);
            polls.append({1, Day + (6 * 60 + i / 3 * 60 + 20 * (i % 3)) * Minute, r, r - 10, r + 10,
                          30 * (i % 3)});
        }
        const QString database = out(QStringLiteral("unreadable.db"));
        test::writeDatabase(database, {{1, "n", "10.0.0.1"}}, polls);
        const QString path = out(QStringLiteral("unreadable.csv"));
        const Run run = render("-N1 --verbose --from '2026-11-02 06:00' --to '2026-11-02 08:00' "
                               "--width 60 --database " +
                               database + " -o " + path);
        QVERIFY2(run.status == RenderOk, qPrintable(run.errors));
        QCOMPARE(readText(path).split("\r\n").mid(1, 2),
                 (QStringList{"2026-11-02 06:00,90,310,200,30", "2026-11-02 07:00,90,310,200,30"}));
        QVERIFY2(run.out.contains("rows read: 9\nrows with unreadable fields: 3\n"),
                 qPrintable(run.out));
    }

    // The demo database writer keeps an existing file without --force and
    // leaves nothing after a failed run; its template has the schema and no rows.
    void demoDatabaseWriter() {
        const QString path = out(QStringLiteral("keep.cfg"));
        QVERIFY(writeText(path, "precious"));
        DemoOptions options; // a day of polls of one node; then of none, which fails
        options.days = options.recentDays = options.coreNodes = options.nodes = 1;
        options.path = path;
        QVERIFY_THROWS_EXCEPTION(Error, writeDemoDatabase(options));
        QCOMPARE(readBytes(path), QByteArray("precious"));
        options.path = out(QStringLiteral("bad.cfg"));
        options.nodes = 0;
        QVERIFY_THROWS_EXCEPTION(Error, writeDemoDatabase(options));
        QCOMPARE(QDir(m_dir->path()).entryList({"keep*", "bad*"}), QStringList{"keep.cfg"});
        options = DemoOptions{};
        options.path = out(QStringLiteral("template.cfg"));
        options.empty = true;
        QCOMPARE(writeDemoDatabase(options).rows, 0);
        MonitorDB::shared().open(options.path);
        QVERIFY(MonitorDB::shared().allNodes()->atEnd());
        Sample s;
        QVERIFY(!MonitorDB::shared().samples(1, 0, 100000)->next(s));
    }
};

QTEST_MAIN(TestRender)
#include "test_render.moc"
