#pragma once

#include "ScanTap.h"
#include "components/chart/ChartModel.h" // BucketShape
#include "monitordb/RecordSet.h"

#include <cstdint>
#include <vector>

namespace tarnvue {

// The mean of the absolute differences of consecutive values in single
// precision, or -1 for fewer than two values.
float meanAbsoluteStep(const std::vector<float>& values);

// Walks a node's polls in ascending time, cut into buckets exactly as the
// chart's fold cuts them (a row belongs to the first bucket whose end lies
// after it; rows past the last bucket and rows whose Time cannot be read are
// left out), and gives each bucket its 5th, 50th and 95th percentile and its
// jitter over the replied polls, in the order they were polled. A percentile
// p is the value at rank ceil(p/100 * n) (1-based) of the n sorted replies.
class LatencyShapeScan {
public:
    LatencyShapeScan(double begin, double width, int pointCount);

    void add(const Sample& row);
    std::vector<BucketShape> finish();

private:
    void closeBucket();

    double m_begin;
    double m_width;
    int m_pointCount;
    int m_bucket = 0;
    std::vector<BucketShape> m_shapes;
    std::vector<float> m_replies; // the current bucket's, in time order
};

// Each bucket's figures are found in the same pass as the fold.
using LatencyShapeTap = ScanTap<LatencyShapeScan>;

} // namespace tarnvue
