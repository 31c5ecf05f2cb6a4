#include "CommandLine.h"
#include "GraphForm.h"
#include "Startup.h"
#include "components/StandardComponents.h"
#include "components/exportengine/ExportEngineServer.h"
#include "core/ProgramInfo.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(tarnvue::programName());
    QApplication::setApplicationVersion(tarnvue::programVersion());
    QApplication::setOrganizationName(QStringLiteral("Norvane"));

    // The outside components this program brings along.
    tarnvue::registerStandardComponents();
    tarnvue::registerExportEngine();

    tarnvue::StartupResult start = tarnvue::Main(tarnvue::argumentText(QApplication::arguments()));
    if (!start.window || !start.window->isVisible())
        return start.exitCode;
    return QApplication::exec();
}
