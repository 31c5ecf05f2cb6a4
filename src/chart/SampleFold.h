#pragma once

#include "monitordb/RecordSet.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tarnvue {

// The chart's four series, by index.
enum ChartSeries : int {
    MinimumSeries = 0,
    MaximumSeries = 1,
    AverageSeries = 2,
    LossSeries = 3,
};

// The figures over the whole span: the average response time weighted by
// rows (not the average of the bucket averages) and the average loss per
// poll; both 0 when nothing was counted.
struct FoldTotals {
    float averageResponse = 0;
    float loss = 0;
    std::int32_t records = 0;
    std::int32_t valid = 0;
    // Rows with at least one field that could not be read as a number,
    // including rows passed over for an unreadable Time.
    std::int32_t unreadable = 0;
};

// A bucket's polls as the fold counted them: replied (a readable response
// of 0 or more) and lost (a readable negative response). A poll whose
// response cannot be read is neither.
struct BucketPolls {
    std::int32_t replied = 0;
    std::int32_t lost = 0;

    bool operator==(const BucketPolls&) const = default;
};

// Folds a node's polls, read once in ascending time, into buckets of one
// width from a start time:
//  - a bucket takes every row before its end; a row exactly at the end
//    belongs to the next bucket; rows past the last bucket are never read;
//  - a poll with a negative response counts only towards loss;
//  - the row's own Min and Max widen the bucket's minimum and maximum;
//  - responses are summed in single precision, loss as a whole number
//    rounded half to even as it grows;
//  - an empty bucket hands -1 (the missing-value marker) to all four series;
//  - a field that cannot be read (null, text, a blob, out of range)
//    contributes nothing: an unreadable Response still counts the poll
//    towards the bucket's polls and loss but not towards its response
//    figures; an unreadable Min, Max or Loss is left out of its own figure;
//    a row whose Time cannot be read is passed over. No row fails the fold.
// Values are handed over bucket by bucket through `point`, in the order the
// chart expects (an empty bucket: series 0, 1, 2, 3; otherwise 3, 0, 1, 2).
// Errors thrown by the reader (the query fails) reach the caller.
class SampleFold {
public:
    using PointSink = std::function<void(int series, int point, float value)>;
    // Called after buckets 0, 10, 20, ... with the bucket index.
    using Progress = std::function<void(int point)>;

    SampleFold(double begin, double width, int pointCount);

    // With `polls`, it ends up holding each bucket's polls, one per bucket.
    FoldTotals run(SampleReader& rows, const PointSink& point, const Progress& progress = {},
                   std::vector<BucketPolls>* polls = nullptr);

private:
    double m_begin;
    double m_width;
    int m_pointCount;
};

} // namespace tarnvue
