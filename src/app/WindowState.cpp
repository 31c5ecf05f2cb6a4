#include "WindowState.h"

#include "chart/Periods.h"
#include "core/ProgramInfo.h"

#include <cmath>

namespace tarnvue {

WindowState windowStateOf(const QString& chartFileName, std::int32_t currentNodeId) {
    if (!chartFileName.isEmpty())
        return WindowState::FileChart;
    return currentNodeId >= 1 ? WindowState::NodeChart : WindowState::Empty;
}

QString windowCaption(WindowState state, const QString& chartName, const QString& mainTitle,
                      int currentPeriod, const QString& customSpan) {
    switch (state) {
    case WindowState::Empty:
        return programTitle();
    case WindowState::FileChart:
        return chartName + QStringLiteral(" [") + mainTitle + QStringLiteral("]");
    case WindowState::NodeChart:
        break;
    }
    if (currentPeriod == CustomPeriod)
        return customSpan.isEmpty() ? chartName : chartName + QStringLiteral(" - ") + customSpan;
    const QString period = periodCaption(currentPeriod);
    if (period.isEmpty())
        return {};
    return chartName + QStringLiteral(" - Response Time for ") + period;
}

ClientLayout layoutClient(WindowState state, int width, int height, int tabHeight, int gap) {
    const auto rect = [](int left, int top, int w, int h) {
        return (w < 0 || h < 0) ? QRect() : QRect(left, top, w, h);
    };
    ClientLayout layout;
    layout.tabs = rect(0, height - tabHeight, width, tabHeight);
    if (state == WindowState::NodeChart) {
        layout.tabsVisible = true;
        layout.chart = rect(0, 0, width, height - (tabHeight + gap));
    } else {
        layout.chart = rect(0, 0, width, height);
    }
    return layout;
}

int twipsToPixels(int twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

} // namespace tarnvue
