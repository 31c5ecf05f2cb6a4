#pragma once

#include <QLocale>
#include <QString>
#include <vector>

namespace tarnvue {

// One labelled tick of a time axis: a date value and its label.
struct TimeTick {
    double time = 0;
    QString label;
};

// The ticks of a time axis from begin to end (date values) drawn pixels
// wide: about one label per 80 to 120 pixels, at round calendar units
// (minutes, hours, days, weeks, month starts, years), never closer than one
// bucket of bucketMinutes. Labels carry four-digit years, and the date stands
// wherever the time alone would be ambiguous: the first label and every
// midnight ("00:00\n7 Dec 2026"), or where the year changes.
std::vector<TimeTick> timeTicks(double begin, double end, int pixels, int bucketMinutes,
                                const QLocale& locale);

} // namespace tarnvue
