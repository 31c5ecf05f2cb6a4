#include "ChartModel.h"

#include "core/Error.h"

#include <algorithm>

namespace tarnvue {

void ChartModel::resize(int newSeriesCount, int newPointCount) {
    if (newSeriesCount < 0 || newPointCount < 0)
        throw Error(QStringLiteral("Invalid property value"));
    seriesCount = newSeriesCount;
    pointCount = newPointCount;
    values.assign(static_cast<std::size_t>(seriesCount) * static_cast<std::size_t>(pointCount),
                  missingValue);
    series.resize(static_cast<std::size_t>(seriesCount));
    shapes.clear();
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

QString shadedKindText(ShadedStretch::Kind kind) {
    return kind == ShadedStretch::Outage ? QStringLiteral("outage") : QStringLiteral("no data");
}

QString plainLine(const QString& text) {
    if (text.startsWith(QStringLiteral("||")) || text.startsWith(QStringLiteral("|l")))
        return text.mid(2);
    const qsizetype split = text.indexOf(QStringLiteral("||"));
    if (split < 0)
        return text;
    const QString left = text.left(split);
    const QString right = text.mid(split + 2);
    if (left.isEmpty() || right.isEmpty())
        return left + right;
    return left + QStringLiteral(" \u00b7 ") + right;
}

void carryLook(ChartModel& target, const ChartModel& base, const ChartModel& chosen, bool titles) {
    const auto carry = [](auto& field, const auto& was, const auto& now) {
        if (!(was == now))
            field = now;
    };
    if (titles) {
        carry(target.mainTitle, base.mainTitle, chosen.mainTitle);
        carry(target.subTitle, base.subTitle, chosen.subTitle);
    }
    carry(target.xAxisLabel, base.xAxisLabel, chosen.xAxisLabel);
    carry(target.plotStyle, base.plotStyle, chosen.plotStyle);
    carry(target.leftLabel, base.leftLabel, chosen.leftLabel);
    carry(target.leftColor, base.leftColor, chosen.leftColor);
    carry(target.rightLabel, base.rightLabel, chosen.rightLabel);
    carry(target.rightColor, base.rightColor, chosen.rightColor);
    if (base.leftManual != chosen.leftManual || base.leftMin != chosen.leftMin ||
        base.leftMax != chosen.leftMax) {
        target.leftManual = chosen.leftManual;
        target.leftMin = chosen.leftMin;
        target.leftMax = chosen.leftMax;
    }
    carry(target.gridLines, base.gridLines, chosen.gridLines);
    carry(target.legend, base.legend, chosen.legend);
    carry(target.showAnnotations, base.showAnnotations, chosen.showAnnotations);
    carry(target.showShading, base.showShading, chosen.showShading);
    const std::size_t count =
        std::min({target.series.size(), base.series.size(), chosen.series.size()});
    for (std::size_t i = 0; i < count; ++i) {
        SeriesStyle& t = target.series[i];
        const SeriesStyle& was = base.series[i];
        const SeriesStyle& now = chosen.series[i];
        carry(t.color, was.color, now.color);
        carry(t.visible, was.visible, now.visible);
        carry(t.lineWidth, was.lineWidth, now.lineWidth);
        carry(t.lineType, was.lineType, now.lineType);
        carry(t.plotStyle, was.plotStyle, now.plotStyle);
    }
}

} // namespace tarnvue
