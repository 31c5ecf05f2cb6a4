#pragma once

#include "ChartModel.h"

namespace tarnvue {

// The bucket (point, counted from 0) under a position on the time axis, in
// the coordinates the series are drawn in (bucket p spans p - 0.5 to
// p + 0.5), or -1 when the position is outside the points on view. A
// position exactly on the edge between two buckets belongs to the later one,
// as a poll at a bucket's end belongs to the next bucket.
int pointAtCoordinate(const ChartModel& model, double coordinate);

// The keys that move the highlighted bucket.
enum class ReadoutKey { Left, Right, Home, End };

// Where a key moves the highlighted bucket, and the first point on view
// afterwards (counted from 1). Home and End go to the first and last bucket
// on view; Left and Right go one bucket, and past the edge of a zoomed view
// move the view by one bucket with it. With nothing highlighted (point -1)
// Left starts at the last bucket on view and Right at the first. Without
// points the point stays -1.
struct ReadoutMove {
    int point = -1;
    int firstVisiblePoint = 1;
};
ReadoutMove readoutMove(const ChartModel& model, int point, ReadoutKey key);

} // namespace tarnvue
