#include "Startup.h"

#include "CommandLine.h"
#include "GraphForm.h"
#include "chart/SampleSizes.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"
#include "monitordb/MonitorDB.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace tarnvue {

StartupResult Main(const QString& argumentText) {
    setHelpFile(programDirectory() + QDir::separator() + QStringLiteral("Help") +
                QDir::separator() + QStringLiteral("Norvane.chm"));
    LoadSampleSizes();
    QCoreApplication::processEvents();

    StartupResult result;
    const CommandLine command = parseCommandLine(argumentText);
    switch (command.kind) {
    case CommandLine::Kind::None:
        result.window = std::make_unique<GraphForm>();
        result.window->show();
        break;

    case CommandLine::Kind::NodeId: {
        std::int32_t nodeId = 0;
        try {
            nodeId = parseInt32(command.value);
        } catch (const Error& e) {
            std::fprintf(stderr,
                         "tarnvue: -N needs a whole-number node identifier, not \"%s\" (%s)\n",
                         qUtf8Printable(command.value), qUtf8Printable(e.description()));
            result.exitCode = ExitBadNodeId;
            return result;
        }
        result.window = std::make_unique<GraphForm>();
        result.window->BuildChart(nodeId);
        break;
    }

    case CommandLine::Kind::Address: {
        std::int32_t nodeId = 0;
        try {
            nodeId = FindNodeByAddress(command.value);
        } catch (const Error&) {
            // A database that cannot be read finds no node either.
            nodeId = 0;
        }
        if (nodeId == 0) {
            showExclamation(nullptr, QStringLiteral("Cannot find node for ") + command.value);
            MonitorDB::release();
            result.exitCode = ExitNodeNotFound;
            return result;
        }
        result.window = std::make_unique<GraphForm>();
        result.window->BuildChart(nodeId);
        break;
    }

    case CommandLine::Kind::ChartFile:
        result.window = std::make_unique<GraphForm>();
        if (!result.window->LoadGraph(command.value)) {
            result.window->close();
            result.window.reset();
            result.exitCode = ExitChartNotLoaded;
        }
        break;
    }
    return result;
}

} // namespace tarnvue
