#include "CommandLine.h"

#include "core/Numeric.h"

namespace tarnvue {

QString argumentText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

CommandLine parseCommandLine(const QString& text) {
    if (text.isEmpty())
        return {};
    if (text.startsWith(QStringLiteral("-N")))
        return {CommandLine::Kind::NodeId, trimSpaces(text.mid(2))};
    if (text.startsWith(QStringLiteral("-IP")))
        return {CommandLine::Kind::Address, trimSpaces(text.mid(3))};
    return {CommandLine::Kind::ChartFile, text};
}

} // namespace tarnvue
