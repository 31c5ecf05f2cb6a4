// tarnvue-collect: keeps a PostgreSQL schema filled from a poller's monitor
// database, for charts of every site from one server.

#include "Collect.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnvue-collect"));
    QTextStream out(stdout);
    QTextStream errors(stderr);
    const tarnvue::CollectArguments arguments =
        tarnvue::parseCollectArguments(QCoreApplication::arguments().mid(1));
    if (arguments.help) {
        out << tarnvue::collectUsage();
        return tarnvue::CollectOk;
    }
    if (!arguments.options) {
        errors << "tarnvue-collect: " << arguments.error << "\n" << tarnvue::collectUsage();
        return tarnvue::CollectBadUsage;
    }
    return tarnvue::runCollect(*arguments.options, out, errors);
}
