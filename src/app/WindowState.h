#pragma once

#include <QRect>
#include <QString>
#include <cstdint>

namespace tarnvue {

// The three states of the main window, derived from what it shows.
enum class WindowState { Empty, NodeChart, FileChart };

WindowState windowStateOf(const QString& chartFileName, std::int32_t currentNodeId);

// The main window's caption in each state: the program's title when empty,
// "router1 - Response Time for This Week" for a node chart ("router1 - 6 Nov
// 2026 00:00 – 7 Dec 2026 00:00", the node and its span, for the custom
// period), "report.nvc [router1]" for a chart file. An empty
// result means "leave the caption as it is" (a node chart whose period has no
// tab).
QString windowCaption(WindowState state, const QString& chartName, const QString& mainTitle,
                      int currentPeriod, const QString& customSpan = {});

// Where the chart and the period tabs go in a client area of width x height
// (below the toolbar). The tabs always get their place at the bottom; the
// chart fills the area in the Empty and File chart states and stops a gap
// above the tabs for a node chart. A rectangle with a negative size is
// returned as invalid so that the caller keeps the part's previous place.
struct ClientLayout {
    QRect tabs;
    QRect chart;
    bool tabsVisible = false;
};
ClientLayout layoutClient(WindowState state, int width, int height, int tabHeight, int gap);

// Twips (1440 to the inch) in pixels at a resolution in dots per inch.
int twipsToPixels(int twips, double dotsPerInch);

} // namespace tarnvue
