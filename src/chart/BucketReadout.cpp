#include "BucketReadout.h"

#include "components/chart/ChartDataText.h"
#include "components/chart/ChartModel.h"

namespace tarnvue {

namespace {

QString spreadName(ShapeFigure figure) {
    switch (figure) {
    case ShapeFigure::Median:
        return QStringLiteral("Median");
    case ShapeFigure::P5:
        return QStringLiteral("5th percentile");
    case ShapeFigure::P95:
        return QStringLiteral("95th percentile");
    case ShapeFigure::Jitter:
        break;
    }
    return QStringLiteral("Jitter");
}

} // namespace

QString bucketReadoutText(const ChartModel& model, int point, const BucketPolls* polls,
                          const QLocale& locale) {
    if (model.seriesCount != LossSeries + 1 || point < 0 || point >= model.pointCount)
        return {};
    // The fold hands the missing-value marker to every series of a bucket
    // without polls.
    bool empty = !polls || polls->replied + polls->lost == 0;
    for (int s = MinimumSeries; s <= LossSeries; ++s)
        empty = empty && model.isMissing(model.value(s, point));
    if (empty)
        return QStringLiteral("no polls");

    // Every figure as the data table shows it; "–" where there is none.
    const auto shown = [](const QString& name, const QString& text, const char* unit) {
        return name + QLatin1Char(' ') +
               (text.isEmpty() ? QStringLiteral("–") : text + QLatin1String(unit));
    };
    const auto figure = [&](const char* name, int series, const char* unit) {
        return shown(QLatin1String(name), tableValueText(model, series, point, locale), unit);
    };
    QStringList lines{
        tableTimeText(model, point, locale) + QStringLiteral(" – ") +
            tableTimeText(model, point + 1, locale),
        figure("Minimum", MinimumSeries, " ms"),
        figure("Maximum", MaximumSeries, " ms"),
        figure("Average", AverageSeries, " ms"),
    };
    // The spread figures the chart shows, as the data table shows them.
    for (const ShapeFigure shape : tableShapeFigures(model))
        lines << shown(spreadName(shape), tableShapeText(model, shape, point, locale), " ms");
    lines << figure("Loss", LossSeries, "%");
    if (polls)
        lines << QStringLiteral("Polls %1 replied, %2 lost")
                     .arg(locale.toString(polls->replied), locale.toString(polls->lost));
    return lines.join(QLatin1Char('\n'));
}

} // namespace tarnvue
