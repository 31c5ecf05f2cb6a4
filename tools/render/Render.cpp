#include "Render.h"

#include "chart/CustomSpan.h"
#include "chart/Outages.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartOutput.h"
#include "components/chart/ChartPlotter.h"
#include "core/Clock.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "core/OutputFile.h"
#include "monitordb/MonitorDB.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <optional>
#include <system_error>
#include <thread>

namespace tarnvue {

namespace {

// "yyyy-MM-dd HH:mm" (or a date alone, meaning 00:00) as a date value. A
// time the clocks skip when daylight-saving time begins is taken as the
// first time after the gap, as the custom period dialog takes it.
std::optional<double> parseTime(const QString& text) {
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    if (parts.size() > 2)
        return std::nullopt;
    const QDate day = QDate::fromString(parts.at(0), QStringLiteral("yyyy-MM-dd"));
    const QTime time =
        parts.size() == 2 ? QTime::fromString(parts.at(1), QStringLiteral("HH:mm")) : QTime(0, 0);
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return DateValue::fromDateTime(day, DateValue::firstValidLocalTime(day, time));
}

// The period named on the command line: its tab key in lower case.
int periodNamed(const QString& name) {
    for (const PeriodInfo& p : periodTable()) {
        if (p.index != CustomPeriod && p.key.compare(name, Qt::CaseInsensitive) == 0)
            return p.index;
    }
    return 0;
}

std::optional<int> fontNamed(const QString& name) {
    if (name == QLatin1String("large"))
        return FontLarge;
    if (name == QLatin1String("medium"))
        return FontMedium;
    if (name == QLatin1String("small"))
        return FontSmall;
    return std::nullopt;
}

QString ladderMinutes() {
    QStringList minutes;
    for (int i = 1; i <= SampleSizeCount(); ++i)
        minutes << QString::number(SampleSizes(i).Minutes);
    return minutes.join(QStringLiteral(", "));
}

// Messages are built with CR LF between lines, as the window shows them.
void report(QTextStream& errors, const QString& message) {
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    errors << text << Qt::endl;
}

// A name whose extension says the output's format.
QString formatPath(const RenderOptions& o) {
    return o.format.isEmpty() ? o.output : QStringLiteral("output.") + o.format;
}

// Writes the chart to standard output: through a file in a private
// temporary folder (the writers work on files), then copied.
bool writeToStandardOutput(ChartControl& control, const ExportFormat& format, int width, int height,
                           DataColumns columns, QIODevice* standardOutput, QString* reason) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *reason = dir.errorString();
        return false;
    }
    const QString path = dir.filePath(QStringLiteral("output.") + format.extension());
    if (!writeChartOutput(control, format, path, width, height, reason, columns))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    QFile console;
    if (!standardOutput) {
        if (!console.open(stdout, QIODevice::WriteOnly)) {
            *reason = console.errorString();
            return false;
        }
        standardOutput = &console;
    }
    if (standardOutput->write(bytes) != bytes.size() ||
        (standardOutput == &console && !console.flush())) {
        *reason = standardOutput->errorString();
        return false;
    }
    return true;
}

// The outage list, written whole or not at all.
bool writeOutages(const OutageReport& outages, const QString& path, QString* reason) {
    if (!writeOutputFile(path, outagesCsv(outages).toUtf8(), reason))
        return false;
    return true;
}

// Loads the chart's fonts on a thread of its own while the rows are folded,
// on a core the read has left free, so that the picture drawn after the
// fold finds them loaded. Done before the drawing.
class FontLoader {
public:
    explicit FontLoader(int fontSize) : m_thread([fontSize] { loadChartFonts(fontSize); }) {}
    ~FontLoader() { m_thread.join(); }
    FontLoader(const FontLoader&) = delete;
    FontLoader& operator=(const FontLoader&) = delete;

private:
    std::thread m_thread;
};

QString describe(const std::exception& e) {
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->description();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

QString renderUsage() {
    return QStringLiteral(
        "usage: tarnvue-render (-N ID | -IP ADDRESS | --chart FILE.nvc)\n"
        "                      [--period today|thisweek|thismonth|last30days|last3months|\n"
        "                                last12months|thisyear]\n"
        "                      [--from \"YYYY-MM-DD HH:MM\" --to \"YYYY-MM-DD HH:MM\" "
        "--width MINUTES]\n"
        "                      [--database FILE|URI] [--size WIDTHxHEIGHT] [--table]\n"
        "                      [--font small|medium|large] [--verbose] [--format EXT] "
        "[--extended]\n"
        "                      [--outages FILE.csv [--min-lost POLLS]] -o OUTPUT\n"
        "OUTPUT's extension (or --format) picks the format: png, jpg, bmp, svg, pdf, csv, txt,\n"
        "html, nvc. \"-o -\" writes to standard output and needs --format.\n");
}

RenderArguments parseRenderArguments(const QStringList& arguments) {
    if (SampleSizeCount() == 0)
        LoadSampleSizes();
    RenderArguments result;
    RenderOptions o;
    int sources = 0;
    bool periodGiven = false;
    QString from;
    QString to;
    QString width;
    bool chartOnlyOptions = false;

    const auto fail = [&](const QString& why) {
        result.options.reset();
        result.error = why;
        return result;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        // The value of an option: attached for -N and -IP, else the next argument.
        const auto value = [&](const QString& option, QString& target) {
            if (arg.size() > option.size() &&
                (option == QLatin1String("-N") || option == QLatin1String("-IP") ||
                 option == QLatin1String("-o"))) {
                target = arg.mid(option.size());
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            target = arguments.at(++i);
            return true;
        };
        QString v;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            result.help = true;
            return result;
        } else if (arg.startsWith(QLatin1String("-IP"))) {
            if (!value(QStringLiteral("-IP"), v))
                return fail(QStringLiteral("-IP needs an address."));
            o.source = RenderOptions::Source::Address;
            o.address = trimSpaces(v);
            ++sources;
        } else if (arg.startsWith(QLatin1String("-N"))) {
            if (!value(QStringLiteral("-N"), v))
                return fail(QStringLiteral("-N needs a node identifier."));
            try {
                o.nodeId = parseInt32(v);
            } catch (const Error&) {
                return fail(
                    QStringLiteral("-N needs a whole-number node identifier, not \"%1\".").arg(v));
            }
            o.source = RenderOptions::Source::Node;
            ++sources;
        } else if (arg == QLatin1String("--chart")) {
            if (!value(arg, v))
                return fail(QStringLiteral("--chart needs a chart file."));
            o.source = RenderOptions::Source::ChartFile;
            o.chartFile = v;
            ++sources;
        } else if (arg == QLatin1String("--period")) {
            if (!value(arg, v) || periodNamed(v) == 0)
                return fail(QStringLiteral("--period needs one of today, thisweek, thismonth, "
                                           "last30days, last3months, last12months, thisyear."));
            o.period = periodNamed(v);
            periodGiven = true;
            chartOnlyOptions = true;
        } else if (arg == QLatin1String("--from")) {
            if (!value(arg, from))
                return fail(QStringLiteral("--from needs a time."));
            chartOnlyOptions = true;
        } else if (arg == QLatin1String("--to")) {
            if (!value(arg, to))
                return fail(QStringLiteral("--to needs a time."));
            chartOnlyOptions = true;
        } else if (arg == QLatin1String("--width")) {
            if (!value(arg, width))
                return fail(QStringLiteral("--width needs a number of minutes."));
            chartOnlyOptions = true;
        } else if (arg == QLatin1String("--database")) {
            if (!value(arg, o.database))
                return fail(QStringLiteral("--database needs a file."));
            chartOnlyOptions = true;
        } else if (arg == QLatin1String("--size")) {
            const QStringList parts = value(arg, v) ? v.split(QLatin1Char('x')) : QStringList();
            bool okW = false;
            bool okH = false;
            const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0;
            const int h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
            if (!okW || !okH || w < 16 || h < 16 || w > 10000 || h > 10000)
                return fail(QStringLiteral("--size needs WIDTHxHEIGHT in pixels, each 16 to "
                                           "10000."));
            o.size = QSize(w, h);
        } else if (arg == QLatin1String("--table")) {
            o.table = true;
        } else if (arg == QLatin1String("--font")) {
            if (!value(arg, v) || !fontNamed(v))
                return fail(QStringLiteral("--font needs small, medium or large."));
            o.fontSize = fontNamed(v);
        } else if (arg == QLatin1String("--format")) {
            if (!value(arg, o.format) || o.format.isEmpty())
                return fail(QStringLiteral("--format needs an extension such as png or csv."));
        } else if (arg == QLatin1String("--outages")) {
            if (!value(arg, o.outages) || o.outages.isEmpty())
                return fail(QStringLiteral("--outages needs a file."));
        } else if (arg == QLatin1String("--min-lost")) {
            bool ok = false;
            o.minimumLost = value(arg, v) ? v.toInt(&ok) : 0;
            if (!ok || o.minimumLost < 1 || o.minimumLost > OutageScan::MaximumMinimumLost)
                return fail(QStringLiteral("--min-lost needs a number of polls from 1 to %1.")
                                .arg(OutageScan::MaximumMinimumLost));
        } else if (arg == QLatin1String("--extended")) {
            o.extended = true;
        } else if (arg == QLatin1String("--verbose") || arg == QLatin1String("-v")) {
            o.verbose = true;
        } else if (arg.startsWith(QLatin1String("-o")) || arg == QLatin1String("--output")) {
            if (!value(arg.startsWith(QLatin1String("-o")) ? QStringLiteral("-o") : arg, v) ||
                v.isEmpty())
                return fail(QStringLiteral("-o needs an output file."));
            o.output = v;
        } else {
            return fail(QStringLiteral("Unknown argument \"%1\".").arg(arg));
        }
    }

    if (sources != 1)
        return fail(QStringLiteral("Name exactly one of -N, -IP and --chart."));
    if (o.output.isEmpty() && o.outages.isEmpty())
        return fail(QStringLiteral("Name the output file with -o."));
    if (o.output == QLatin1String("-") && o.format.isEmpty())
        return fail(QStringLiteral("Writing to standard output (-o -) needs --format."));
    if (!o.output.isEmpty() && !outputFormatForPath(formatPath(o)))
        return fail(QStringLiteral("The output's extension must be one of png, jpg, bmp, svg, "
                                   "pdf, csv, txt, html, nvc."));
    if (o.extended &&
        (o.output.isEmpty() || outputFormatForPath(formatPath(o))->kind != ExportKind::Data))
        return fail(QStringLiteral("--extended adds columns to data output: name a csv or txt "
                                   "output."));
    if (o.source == RenderOptions::Source::ChartFile && !o.outages.isEmpty())
        return fail(QStringLiteral("A chart file holds no polls: --outages needs -N or -IP."));
    if (o.source == RenderOptions::Source::ChartFile && chartOnlyOptions)
        return fail(QStringLiteral("A chart file holds its own span: --period, --from, --to, "
                                   "--width and --database do not apply to it."));
    const int customParts = int(!from.isEmpty()) + int(!to.isEmpty()) + int(!width.isEmpty());
    if (customParts != 0) {
        if (customParts != 3)
            return fail(QStringLiteral("A custom span needs all of --from, --to and --width."));
        if (periodGiven)
            return fail(QStringLiteral("Give either --period or a custom span, not both."));
        const auto start = parseTime(from);
        const auto end = parseTime(to);
        if (!start)
            return fail(QStringLiteral("--from needs \"YYYY-MM-DD HH:MM\", not \"%1\".").arg(from));
        if (!end)
            return fail(QStringLiteral("--to needs \"YYYY-MM-DD HH:MM\", not \"%1\".").arg(to));
        bool ok = false;
        const int minutes = width.toInt(&ok);
        if (!ok || FindSampleSize(minutes) == 0)
            return fail(QStringLiteral("--width must be one of %1 minutes.").arg(ladderMinutes()));
        o.custom = true;
        o.from = *start;
        o.to = *end;
        // The ladder's own width: 1439 of older scripts means a whole day.
        o.widthMinutes = SampleSizes(FindSampleSize(minutes)).Minutes;
        o.period = CustomPeriod;
    }
    result.options = o;
    return result;
}

int runRender(const RenderOptions& o, QTextStream& progress, QTextStream& errors,
              QIODevice* standardOutput) {
    if (SampleSizeCount() == 0)
        LoadSampleSizes();
    QElapsedTimer timer;
    timer.start();
    const ExportFormat* format = o.output.isEmpty() ? nullptr : outputFormatForPath(formatPath(o));
    if (!format && !o.output.isEmpty()) {
        report(errors, QStringLiteral("Unknown output format: ") + o.output);
        return RenderBadUsage;
    }

    // A refused output fails before the chart is built.
    if (o.source != RenderOptions::Source::ChartFile)
        protectFromOutput(o.database.isEmpty() ? MonitorDB::databasePath() : o.database);
    if (o.output != QLatin1String("-")) {
        if (const QString refusal = outputRefusal(o.output); !refusal.isEmpty()) {
            report(errors,
                   failureText(QStringLiteral("Cannot write ") + QDir::toNativeSeparators(o.output),
                               refusal));
            return RenderFailed;
        }
    }

    TarnvueChart chart;
    chart.resize(o.size);
    chart.setMinimumLostPolls(o.minimumLost);
    // The spread figures reach only the extended data columns and chart files:
    // a picture, a report or the plain columns can do without their scan.
    chart.setSpreadNeeded(o.extended || (format && format->kind == ExportKind::ChartFile));
    if (o.fontSize)
        chart.setFontSize(static_cast<std::int16_t>(*o.fontSize));
    std::optional<FontLoader> fonts;
    if (format && format->kind != ExportKind::Data && format->kind != ExportKind::ChartFile) {
        QObject::connect(&chart, &TarnvueChart::rowsRead, &chart, [&fonts, &chart] {
            try {
                fonts.emplace(chart.FontSize());
            } catch (const std::system_error&) {
                // No thread to be had: the drawing loads them.
            }
        });
    }

    if (o.source == RenderOptions::Source::ChartFile) {
        if (!chart.LoadChart(o.chartFile)) {
            report(errors, QStringLiteral("Cannot load chart (") + o.chartFile +
                               QStringLiteral(")\r\n\r\n") + chart.LoadError());
            return RenderFailed;
        }
        if (o.fontSize)
            chart.setFontSize(static_cast<std::int16_t>(*o.fontSize));
    } else {
        MonitorDB& db = MonitorDB::shared();
        // Without --database the database is found as the window finds it.
        const auto openDatabase = [&db, &o] {
            if (o.database.isEmpty())
                db.open();
            else
                db.open(o.database);
        };
        std::int32_t nodeId = o.nodeId;
        try {
            if (o.source == RenderOptions::Source::Address) {
                try {
                    openDatabase();
                    nodeId = FindNodeByAddress(o.address);
                } catch (const Error&) {
                    nodeId = 0;
                }
                if (nodeId == 0) {
                    report(errors, QStringLiteral("Cannot find node for ") + o.address);
                    MonitorDB::release();
                    return RenderFailed;
                }
            } else {
                openDatabase();
            }

            if (o.custom) {
                const SampleCountCheck check =
                    checkSampleCount(customSampleCount(o.from, o.to, o.widthMinutes));
                if (check != SampleCountCheck::Fine) {
                    report(errors, sampleCountMessage(check, o.from, o.to));
                    MonitorDB::release();
                    return RenderFailed;
                }
                chart.setPlotBegin(o.from);
                chart.setPlotEnd(o.to);
                chart.setPeriodSize(DateValue::fromMinutes(o.widthMinutes));
            } else {
                setupPeriod(chart, o.period, currentDateTime());
            }
            chart.setDB(&db);
            chart.setPeriodIndex(o.period);
            const NodeTitles titles = readNodeTitles(db, nodeId);
            chart.setMainTitle(titles.name);
            chart.setSubTitle(titles.address);
            chart.setNodeID(nodeId);
            chart.Plot();
        } catch (const std::exception& e) {
            report(errors, failureText(QStringLiteral("Cannot build new chart."), describe(e)));
            MonitorDB::release();
            return RenderFailed;
        }
        MonitorDB::release();
    }
    if (o.table)
        chart.setTable(true);

    QString reason;
    if (!o.outages.isEmpty() && !writeOutages(chart.LastOutages(), o.outages, &reason)) {
        report(errors,
               failureText(QStringLiteral("Cannot write ") + QDir::toNativeSeparators(o.outages),
                           reason));
        return RenderFailed;
    }
    fonts.reset();
    const bool toStandardOutput = o.output == QLatin1String("-");
    const DataColumns columns = o.extended ? DataColumns::Extended : DataColumns::Fixed;
    const bool written =
        !format ||
        (toStandardOutput ? writeToStandardOutput(*chart.ChartObject(), *format, o.size.width(),
                                                  o.size.height(), columns, standardOutput, &reason)
                          : writeChartOutput(*chart.ChartObject(), *format, o.output,
                                             o.size.width(), o.size.height(), &reason, columns));
    if (!written) {
        report(errors, failureText(QStringLiteral("Cannot write ") +
                                       (toStandardOutput ? QStringLiteral("to standard output")
                                                         : QDir::toNativeSeparators(o.output)),
                                   reason));
        return RenderFailed;
    }
    if (o.verbose) {
        QTextStream& out = toStandardOutput ? errors : progress;
        const ChartControl& control = *chart.ChartObject();
        out << "buckets: " << control.pointCount() << Qt::endl;
        if (o.source != RenderOptions::Source::ChartFile) {
            out << "rows read: " << chart.LastTotals().records << Qt::endl;
            out << "rows with unreadable fields: " << chart.LastTotals().unreadable << Qt::endl;
            out << "availability: " << availabilityText(chart.LastOutages()) << Qt::endl;
        }
        out << "time: " << timer.elapsed() << " ms" << Qt::endl;
    }
    return RenderOk;
}

} // namespace tarnvue
