#pragma once

#include "components/chart/ChartModel.h"

#include <QStringList>

namespace tarnvue::test {

// A chart's values, series by series; -1 marks a bucket without polls.
using ChartValues = QList<QList<float>>;

// Four series over `points` buckets as a day of polls gives them: minimum,
// maximum and average response time and loss, with no polls in bucket 3.
inline ChartValues sampleValues(int points) {
    ChartValues values(4);
    for (int s = 0; s < 4; ++s) {
        for (int p = 0; p < points; ++p)
            values[s].append(p == 3 ? -1.0f : float(10 * (s + 1) + p % 5));
    }
    return values;
}

// A response-time chart of the given values as the program builds it: the
// series named "Minimum", "Maximum", "Average" and "% Loss", the last on the
// right axis (0 to 101), buckets of `minutes` from `first` (a date value),
// titled "gateway-7" and "Today", with the overall average as a reference
// line at 30.
inline ChartModel chartOf(const ChartValues& values, int minutes = 15, double first = 46327.0) {
    static const QStringList labels{QStringLiteral("Minimum"), QStringLiteral("Maximum"),
                                    QStringLiteral("Average"), QStringLiteral("% Loss")};
    ChartModel m;
    m.resize(int(values.size()), values.isEmpty() ? 0 : int(values[0].size()));
    for (int s = 0; s < m.seriesCount; ++s) {
        m.series[std::size_t(s)].label = labels.value(s);
        for (int p = 0; p < m.pointCount; ++p)
            m.setValue(s, p, values[s].value(p, -1.0f));
    }
    m.rightAxisSeries = 1;
    m.rightManual = true;
    m.rightMin = 0;
    m.rightMax = 101;
    m.minutesPerPoint = minutes;
    m.pointsPerDay = 1440.0 / minutes;
    m.firstPointTime = first;
    m.mainTitle = QStringLiteral("gateway-7");
    m.subTitle = QStringLiteral("Today");
    m.annotations[0].defined = true;
    m.annotations[0].value = 30;
    m.annotations[0].text = QStringLiteral("Average 30.0 ms");
    m.showAnnotations = true;
    return m;
}

} // namespace tarnvue::test
