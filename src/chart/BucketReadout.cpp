#include "BucketReadout.h"

#include "components/chart/ChartDataText.h"
#include "components/chart/ChartModel.h"

namespace tarnvue {

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

    // As the data table shows them: whole milliseconds, means and loss with
    // one decimal, in the locale without grouping; "–" where there is none.
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    const auto figure = [&](const char* name, int series, int decimals, const char* unit) {
        const float value = model.value(series, point);
        return QString::fromLatin1(name) + QLatin1Char(' ') +
               (model.isMissing(value)
                    ? QStringLiteral("–")
                    : plain.toString(double(value), 'f', decimals) + QLatin1String(unit));
    };
    QStringList lines{
        tableTimeText(model, point, locale) + QStringLiteral(" – ") +
            tableTimeText(model, point + 1, locale),
        figure("Minimum", MinimumSeries, 0, " ms"),
        figure("Maximum", MaximumSeries, 0, " ms"),
        figure("Average", AverageSeries, 1, " ms"),
    };
    // The spread figures the chart shows, as the data table shows them.
    const LatencyLook& look = model.latency;
    if (point < static_cast<int>(model.shapes.size())) {
        const BucketShape& shape = model.shapes[static_cast<std::size_t>(point)];
        const auto spread = [&](const char* name, float value, int decimals) {
            lines << QString::fromLatin1(name) + QLatin1Char(' ') +
                         (value < 0 ? QStringLiteral("–")
                                    : plain.toString(double(value), 'f', decimals) +
                                          QStringLiteral(" ms"));
        };
        if (look.median)
            spread("Median", shape.median, 0);
        if (look.band)
            spread("5th percentile", shape.p5, 0);
        if (look.p95 || look.band)
            spread("95th percentile", shape.p95, 0);
        if (look.jitter)
            spread("Jitter", shape.jitter, 1);
    }
    lines << figure("Loss", LossSeries, 1, "%");
    if (polls)
        lines << QStringLiteral("Polls %1 replied, %2 lost")
                     .arg(plain.toString(polls->replied), plain.toString(polls->lost));
    return lines.join(QLatin1Char('\n'));
}

} // namespace tarnvue
