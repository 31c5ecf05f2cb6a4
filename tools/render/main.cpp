// tarnvue-render: writes a node's response-time chart, its data or a report
// page without a window, for scripts and schedules.

#include "Render.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt's own notices (a missing runtime folder, font fallbacks) are no concern
// of a script: only serious ones reach standard error.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tarnvue-render: %s\n", qUtf8Printable(message));
}

} // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("TARNVUE_RENDER_DEBUG"))
        qInstallMessageHandler(quietMessages);
    // Nothing is shown: no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnvue-render"));

    QTextStream out(stdout);
    QTextStream errors(stderr);
    const tarnvue::RenderArguments arguments =
        tarnvue::parseRenderArguments(QApplication::arguments().mid(1));
    if (arguments.help) {
        out << tarnvue::renderUsage();
        return tarnvue::RenderOk;
    }
    if (!arguments.options) {
        errors << "tarnvue-render: " << arguments.error << "\n" << tarnvue::renderUsage();
        return tarnvue::RenderBadUsage;
    }
    const int status = tarnvue::runRender(*arguments.options, out, errors);
    // The output is complete and closed: end without tearing Qt down, since
    // taking down its font database first loads the fonts, which a data
    // output never used.
    out.flush();
    errors.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}
