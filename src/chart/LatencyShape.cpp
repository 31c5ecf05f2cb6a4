#include "LatencyShape.h"

#include <algorithm>
#include <cmath>

namespace tarnvue {

float meanAbsoluteStep(const std::vector<float>& values) {
    if (values.size() < 2)
        return -1;
    float sum = 0;
    for (std::size_t i = 1; i < values.size(); ++i)
        sum += std::fabs(values[i] - values[i - 1]);
    return sum / static_cast<float>(values.size() - 1);
}

LatencyShapeScan::LatencyShapeScan(double begin, double width, int pointCount)
    : m_begin(begin), m_width(width), m_pointCount(std::max(0, pointCount)),
      m_shapes(static_cast<std::size_t>(m_pointCount)) {}

void LatencyShapeScan::add(const Sample& row) {
    if (!row.time || !std::isfinite(*row.time))
        return;
    // The same bucket ends as the fold's: begin + (p + 1) * width.
    while (m_bucket < m_pointCount && *row.time >= m_begin + (m_bucket + 1) * m_width)
        closeBucket();
    if (m_bucket >= m_pointCount)
        return;
    BucketShape& shape = m_shapes[static_cast<std::size_t>(m_bucket)];
    ++shape.polls;
    if (row.response && std::isfinite(*row.response) && *row.response >= 0) {
        ++shape.replied;
        m_replies.push_back(static_cast<float>(*row.response));
    }
}

void LatencyShapeScan::closeBucket() {
    BucketShape& shape = m_shapes[static_cast<std::size_t>(m_bucket)];
    // Jitter first: it needs the replies in the order they were polled.
    shape.jitter = meanAbsoluteStep(m_replies);
    const auto n = static_cast<std::int64_t>(m_replies.size());
    if (n > 0) {
        const auto rank = [n](int percent) { return std::max<std::int64_t>(1, (percent * n + 99) / 100); };
        // Each selection leaves every smaller value to its left, so the next,
        // lower rank is selected among those alone.
        const auto select = [this](std::int64_t at, std::int64_t end) {
            const auto first = m_replies.begin();
            std::nth_element(first, first + (at - 1), first + end);
            return m_replies[static_cast<std::size_t>(at - 1)];
        };
        const std::int64_t r95 = rank(95);
        const std::int64_t r50 = rank(50);
        const std::int64_t r5 = rank(5);
        shape.p95 = select(r95, n);
        shape.median = r50 < r95 ? select(r50, r95 - 1) : shape.p95;
        shape.p5 = r5 < r50 ? select(r5, r50 - 1) : shape.median;
    }
    m_replies.clear();
    ++m_bucket;
}

std::vector<BucketShape> LatencyShapeScan::finish() {
    while (m_bucket < m_pointCount)
        closeBucket();
    return std::move(m_shapes);
}

} // namespace tarnvue
