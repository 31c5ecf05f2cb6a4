#pragma once

#include "ChartModel.h"

#include <QString>

namespace tarnvue {

// The chart's data as text, the one format scripts read: a header line
// "Time,<series labels>" (each field quoted as RFC 4180 asks), then one line
// per point in order: the point's start as "YYYY-MM-DD HH:MM", then each
// series' value as the shortest decimal text that reads back to the same
// single-precision value, "." as decimal separator whatever the locale, and
// an empty field for the missing-value marker. Lines end in CR LF.
QString chartDataCsv(const ChartModel& model);
// The same columns separated by tabs (no quoting; tabs and line breaks inside
// a label become spaces).
QString chartDataTsv(const ChartModel& model);

// The shortest decimal text that reads back to the same float ("12.5",
// "0.1", "40"), locale-independent.
QString shortestFloatText(float value);

} // namespace tarnvue
