#include "ChartReadout.h"

#include <algorithm>
#include <cmath>

namespace tarnvue {

namespace {

// The run of points on view, as indexes from 0: [first, last].
struct ViewRun {
    int first;
    int last;
};

ViewRun viewRun(const ChartModel& model) {
    const int first = std::max(1, model.firstVisiblePoint) - 1;
    const int last = std::min(model.pointCount, first + model.visiblePointCount) - 1;
    return {first, last};
}

} // namespace

int pointAtCoordinate(const ChartModel& model, double coordinate) {
    if (!std::isfinite(coordinate))
        return -1;
    const ViewRun view = viewRun(model);
    const double point = std::floor(coordinate + 0.5);
    if (point < view.first || point > view.last)
        return -1;
    return static_cast<int>(point);
}

ReadoutMove readoutMove(const ChartModel& model, int point, ReadoutKey key) {
    ViewRun view = viewRun(model);
    if (view.last < view.first)
        return {-1, model.firstVisiblePoint};
    const bool shown = point >= view.first && point <= view.last;
    int to = point;
    switch (key) {
    case ReadoutKey::Home:
        to = view.first;
        break;
    case ReadoutKey::End:
        to = view.last;
        break;
    case ReadoutKey::Left:
        to = shown ? point - 1 : view.last;
        break;
    case ReadoutKey::Right:
        to = shown ? point + 1 : view.first;
        break;
    }
    to = std::clamp(to, 0, model.pointCount - 1);
    // Past the edge of the view: the view follows by one bucket.
    const int shift = to < view.first ? to - view.first : to > view.last ? to - view.last : 0;
    return {to, view.first + shift + 1};
}

} // namespace tarnvue
