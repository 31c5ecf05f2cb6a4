#include "ChartModel.h"

#include "core/Error.h"

namespace tarnvue {

void ChartModel::resize(int newSeriesCount, int newPointCount) {
    if (newSeriesCount < 0 || newPointCount < 0)
        throw Error(QStringLiteral("Invalid property value"));
    seriesCount = newSeriesCount;
    pointCount = newPointCount;
    values.assign(static_cast<std::size_t>(seriesCount) * static_cast<std::size_t>(pointCount),
                  missingValue);
    series.resize(static_cast<std::size_t>(seriesCount));
    visiblePointCount = pointCount;
    firstVisiblePoint = 1;
}

float ChartModel::value(int s, int point) const {
    if (s < 0 || s >= seriesCount || point < 0 || point >= pointCount)
        throw Error(QStringLiteral("Subscript out of range"));
    return values[static_cast<std::size_t>(s) * static_cast<std::size_t>(pointCount) +
                  static_cast<std::size_t>(point)];
}

void ChartModel::setValue(int s, int point, float v) {
    if (s < 0 || s >= seriesCount || point < 0 || point >= pointCount)
        throw Error(QStringLiteral("Subscript out of range"));
    values[static_cast<std::size_t>(s) * static_cast<std::size_t>(pointCount) +
           static_cast<std::size_t>(point)] = v;
}

double ChartModel::pointTime(int point) const {
    return firstPointTime + static_cast<double>(point) * minutesPerPoint / 1440.0;
}

} // namespace tarnvue
