// tarnvue-demodb: writes a monitor database full of made-up polls, for trying
// Tarnvue without a poller, or (with --empty) the empty database template.

#include "DemoData.h"
#include "core/Error.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

int intOption(const QCommandLineParser& parser, const QString& name, int fallback) {
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok)
        throw tarnvue::Error(QStringLiteral("--%1 needs a whole number.").arg(name));
    return value;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnvue-demodb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a demo monitor database (or the empty template) for Tarnvue."));
    parser.addHelpOption();
    const tarnvue::DemoOptions defaults;
    parser.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("The file to write."),
         QStringLiteral("file")},
        {QStringLiteral("days"),
         QStringLiteral("Days of history of the core nodes (default %1).").arg(defaults.days),
         QStringLiteral("n")},
        {QStringLiteral("recent-days"),
         QStringLiteral("Days of history of the other nodes (default %1).")
             .arg(defaults.recentDays),
         QStringLiteral("n")},
        {QStringLiteral("core-nodes"),
         QStringLiteral("Nodes with the full history (default %1).").arg(defaults.coreNodes),
         QStringLiteral("n")},
        {QStringLiteral("nodes"),
         QStringLiteral("Number of nodes (default %1).").arg(defaults.nodes), QStringLiteral("n")},
        {QStringLiteral("interval"),
         QStringLiteral("Seconds between polls (default %1).").arg(defaults.intervalSeconds),
         QStringLiteral("seconds")},
        {QStringLiteral("seed"), QStringLiteral("Random seed (default 1)."), QStringLiteral("n")},
        {QStringLiteral("end"),
         QStringLiteral("Last poll time, \"YYYY-MM-DD HH:MM\" (default now)."),
         QStringLiteral("time")},
        {QStringLiteral("empty"), QStringLiteral("Write the schema only (the template).")},
        {QStringLiteral("force"), QStringLiteral("Replace an existing file.")},
    });
    parser.process(app);

    try {
        tarnvue::DemoOptions options;
        options.path = parser.value(QStringLiteral("output"));
        options.days = intOption(parser, QStringLiteral("days"), options.days);
        options.recentDays = intOption(parser, QStringLiteral("recent-days"), options.recentDays);
        options.coreNodes = intOption(parser, QStringLiteral("core-nodes"), options.coreNodes);
        options.nodes = intOption(parser, QStringLiteral("nodes"), options.nodes);
        options.intervalSeconds =
            intOption(parser, QStringLiteral("interval"), options.intervalSeconds);
        options.seed = static_cast<std::uint64_t>(intOption(parser, QStringLiteral("seed"), 1));
        if (parser.isSet(QStringLiteral("end"))) {
            options.end = QDateTime::fromString(parser.value(QStringLiteral("end")),
                                                QStringLiteral("yyyy-MM-dd HH:mm"));
            if (!options.end.isValid())
                throw tarnvue::Error(QStringLiteral("--end needs \"YYYY-MM-DD HH:MM\"."));
        }
        options.empty = parser.isSet(QStringLiteral("empty"));
        options.force = parser.isSet(QStringLiteral("force"));

        QElapsedTimer timer;
        timer.start();
        const tarnvue::DemoSummary summary = tarnvue::writeDemoDatabase(options);
        if (!options.empty) {
            const double seconds = std::max<qint64>(1, timer.elapsed()) / 1000.0;
            std::printf("tarnvue-demodb: %lld polls of %d nodes in %.1f s (%.0f rows/s) to %s\n",
                        static_cast<long long>(summary.rows), summary.nodes, seconds,
                        static_cast<double>(summary.rows) / seconds, qUtf8Printable(options.path));
        }
        return 0;
    } catch (const tarnvue::Error& e) {
        std::fprintf(stderr, "tarnvue-demodb: %s\n", qUtf8Printable(e.description()));
        return 1;
    }
}
