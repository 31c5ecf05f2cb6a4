#pragma once

#include <QString>
#include <memory>

namespace tarnvue {

class GraphForm;

// What start-up leaves behind: the main window when the program goes on
// running, or none and the status the process ends with.
struct StartupResult {
    std::unique_ptr<GraphForm> window;
    int exitCode = 0;
};

// Exit statuses of a start that ends without a window.
inline constexpr int ExitBadNodeId = 2;
inline constexpr int ExitNodeNotFound = 3;
inline constexpr int ExitChartNotLoaded = 4;

// The start routine: sets the help file, fills the sample-size ladder, reads
// the argument text and opens the window it asks for. "-N" with text that is
// not a whole number ends at once, with one line on standard error.
StartupResult Main(const QString& argumentText);

} // namespace tarnvue
