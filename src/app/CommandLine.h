#pragma once

#include <QString>
#include <QStringList>

namespace tarnvue {

// What the program was asked to do at start.
struct CommandLine {
    enum class Kind {
        None,      // no argument: the empty window
        NodeId,    // "-N" and the node identifier's text
        Address,   // "-IP" and the node's address
        ChartFile, // anything else: a chart file path
    };
    Kind kind = Kind::None;
    // The identifier's or address's text with leading and trailing spaces
    // removed, or the chart file path exactly as given.
    QString value;
};

// The argument text: the arguments after the program name, joined with single
// spaces, so that "-N 12" and a path with spaces arrive whole.
QString argumentText(const QStringList& arguments);

// Reads the argument text. The options are exact, case-sensitive prefixes of
// the untrimmed text: "-n5" and " -N5" are chart file paths.
CommandLine parseCommandLine(const QString& text);

} // namespace tarnvue
