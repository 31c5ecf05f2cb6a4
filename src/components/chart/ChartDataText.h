#pragma once

#include "ChartModel.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

namespace tarnvue {

// The chart's data as text, the one format scripts read: a header line
// "Time,<series labels>" (each field quoted as RFC 4180 asks), then one line
// per point in order: the point's start as "YYYY-MM-DD HH:MM", then each
// series' value as the shortest decimal text that reads back to the same
// single-precision value, "." as decimal separator whatever the locale, and
// an empty field for the missing-value marker. Lines end in CR LF.
//
// Extended data adds, after the series, "Median Response Time,5th Percentile
// Response Time,95th Percentile Response Time,Jitter,Polls,Replied Polls":
// the figures as the values are written (empty for the missing-value marker
// -1, and every field empty when the polls were not scanned), the counts as
// whole numbers.
enum class DataColumns { Fixed, Extended };
QString chartDataCsv(const ChartModel& model, DataColumns columns = DataColumns::Fixed);
// The same columns separated by tabs (no quoting; tabs and line breaks inside
// a label become spaces).
QString chartDataTsv(const ChartModel& model, DataColumns columns = DataColumns::Fixed);

// The data table, as the window and the report show it to a person: the
// headings ("Time", then each series' heading with its unit), the rows (the
// buckets that have begun by `now`; a bucket still to come would read as an
// outage), a bucket's start ("6 Nov 2026 14:15") and its values in the
// series' decimals (empty for a gap), in the locale, without grouping.
QStringList tableHeadings(const ChartModel& model);
int tableRowCount(const ChartModel& model, double now);
QString tableTimeText(const ChartModel& model, int point, const QLocale& locale);
QString tableValueText(const ChartModel& model, int series, int point, const QLocale& locale);

// A bucket's spread figure.
enum class ShapeFigure { Median, P5, P95, Jitter };
// One figure of a bucket's spread (-1 where it has none).
float bucketShapeFigure(const BucketShape& shape, ShapeFigure figure);
// The figure of a point, or -1 when the point has none.
float shapeFigureValue(const ChartModel& model, ShapeFigure figure, int point);
// The figures the data table shows after the series, in this order: the
// median, the 5th and 95th percentile (with the band; the 95th also on its
// own) and the jitter, as far as they are switched on and the chart's polls
// were scanned. Headings "Median (ms)", "5th Percentile (ms)",
// "95th Percentile (ms)", "Jitter (ms)"; values as the series' are shown,
// whole milliseconds for percentiles, one decimal for the jitter.
std::vector<ShapeFigure> tableShapeFigures(const ChartModel& model);
QString tableShapeText(const ChartModel& model, ShapeFigure figure, int point,
                       const QLocale& locale);

// The shortest decimal text that reads back to the same float ("12.5",
// "0.1", "40"), locale-independent.
QString shortestFloatText(float value);

} // namespace tarnvue
