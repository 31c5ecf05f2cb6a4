#pragma once

#include "SampleFold.h" // BucketPolls

#include <QLocale>
#include <QString>

namespace tarnvue {

struct ChartModel;

// The read-out of one bucket of a node chart (point counted from 0), one
// figure a line:
//   6 Nov 2026 14:15 – 6 Nov 2026 14:30
//   Minimum 12 ms / Maximum 40 ms / Average 20.5 ms (the data table's
//   decimals; "–" where the bucket has no reply)
//   Median 18 ms, 5th percentile 12 ms, 95th percentile 35 ms, Jitter
//   2.5 ms (those the chart shows; "–" where there is none)
//   Loss 0.5% (one decimal)
//   Polls 30 replied, 1 lost
// A bucket without polls reads "no polls" alone. Without counts (a chart
// file keeps none) the polls line is left out. Empty for a point outside the
// chart or a chart that is not one of the program's response-time charts.
QString bucketReadoutText(const ChartModel& model, int point, const BucketPolls* polls,
                          const QLocale& locale);

} // namespace tarnvue
