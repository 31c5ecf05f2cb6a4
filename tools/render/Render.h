#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class QIODevice;
class QTextStream;

namespace tarnvue {

// What tarnvue-render was asked for.
struct RenderOptions {
    enum class Source { Node, Address, ChartFile };
    Source source = Source::Node;
    std::int32_t nodeId = 0;
    QString address;
    QString chartFile;

    int period = 1; // Today
    bool custom = false;
    double from = 0;
    double to = 0;
    int widthMinutes = 0;

    QString database; // empty: the program directory's
    QSize size{1000, 650};
    bool table = false;
    std::optional<int> fontSize;
    QString output;  // "-" for standard output; empty when only the outages are asked for
    QString format;  // the output's extension when not taken from its name
    QString outages; // the outage list as CSV, or empty
    int minimumLost = 2;
    bool extended = false; // data output: the buckets' spread and poll counts too
    bool verbose = false;
};

struct RenderArguments {
    std::optional<RenderOptions> options;
    bool help = false;
    QString error; // what was wrong with the arguments
};

// Reads the arguments after the program name. "-N" and "-IP" take their
// value attached or as the next argument, as the window's command line does.
RenderArguments parseRenderArguments(const QStringList& arguments);

QString renderUsage();

// Exit statuses.
inline constexpr int RenderOk = 0;
inline constexpr int RenderFailed = 1;
inline constexpr int RenderBadUsage = 2;

// Builds the chart the options describe through the window's own code (the
// monitor database, the periods, the chart's plot and the chart component's
// writers) and writes it. Messages go to `errors`, progress (with verbose)
// to `out`, or to `errors` when the output itself goes to `standardOutput`
// ("-o -"; the process's standard output when null). Never creates or
// changes a database, never writes through a link, over anything but a
// regular file or over the database; leaves no partial output.
int runRender(const RenderOptions& options, QTextStream& out, QTextStream& errors,
              QIODevice* standardOutput = nullptr);

} // namespace tarnvue
