#include "SampleFold.h"

#include "core/Error.h"
#include "core/Numeric.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnvue {

namespace {

// A value that is not a whole number in range, rounded (nearest, half to
// even) into `out`; false when it is out of range or not a number.
[[gnu::noinline]] bool rounded(double field, std::int32_t& out) {
    if (!std::isfinite(field))
        return false;
    try {
        out = toInt32(field);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// A field as a 32-bit whole number in `out`; false when it is empty or out
// of range. Polls hold whole numbers, which need no rounding: they take the
// quick way, inline. (A number and a flag apart, not an optional: the fold
// reads four of these a row, and an optional put together in memory and
// read back whole stalls the processor every time.)
inline bool whole(double field, std::int32_t& out) {
    if (field >= std::numeric_limits<std::int32_t>::min() &&
        field <= std::numeric_limits<std::int32_t>::max()) {
        out = static_cast<std::int32_t>(field);
        if (static_cast<double>(out) == field)
            return true;
    }
    return rounded(field, out);
}

inline bool whole(const std::optional<double>& field, std::int32_t& out) {
    return field && whole(*field, out);
}

} // namespace

SampleFold::SampleFold(double begin, double width, int pointCount)
    : m_begin(begin), m_width(width), m_pointCount(pointCount) {}

FoldTotals SampleFold::run(SampleReader& rows, const PointSink& point, const Progress& progress,
                           std::vector<BucketPolls>* polls) {
    if (polls)
        polls->assign(static_cast<std::size_t>(std::max(0, m_pointCount)), BucketPolls());
    float spanSum = 0;
    std::int32_t spanValid = 0;
    std::int32_t spanRecords = 0;
    std::int32_t spanLoss = 0;
    std::int32_t spanLossCount = 0;
    std::int32_t unreadable = 0;

    Sample row;
    bool pending = false; // a row read but not yet consumed
    bool exhausted = false;

    for (int p = 0; p < m_pointCount; ++p) {
        const double bucketEnd = m_begin + (p + 1) * m_width;
        std::int32_t records = 0;
        std::int32_t valid = 0;
        float sum = 0;
        std::int32_t minimum = -1;
        std::int32_t maximum = -1;
        std::int32_t loss = 0;
        std::int32_t lossCount = 0;
        std::int32_t lost = 0;

        while (!exhausted) {
            if (!pending) {
                if (!rows.next(row)) {
                    exhausted = true;
                    break;
                }
                pending = true;
            }
            if (!row.time || std::isnan(*row.time)) {
                // No time, no bucket: the row is passed over.
                pending = false;
                ++unreadable;
                continue;
            }
            if (*row.time >= bucketEnd)
                break;
            pending = false;

            std::int32_t response = 0;
            std::int32_t rowMin = 0;
            std::int32_t rowMax = 0;
            std::int32_t rowLoss = 0;
            const bool hasResponse = whole(row.response, response);
            const bool hasMin = whole(row.min, rowMin);
            const bool hasMax = whole(row.max, rowMax);
            const bool hasLoss =
                row.loss && std::isfinite(*row.loss) && whole(*row.loss + loss, rowLoss);
            if (!hasResponse || !hasMin || !hasMax || !hasLoss)
                ++unreadable;

            if (hasResponse && response >= 0) {
                if (minimum == -1 || response < minimum)
                    minimum = response;
                if (hasMin && minimum > rowMin)
                    minimum = rowMin;
                if (response > maximum)
                    maximum = response;
                if (hasMax && maximum < rowMax)
                    maximum = rowMax;
                sum += static_cast<float>(response);
                ++valid;
            } else if (hasResponse) {
                ++lost;
            }
            if (hasLoss) {
                loss = rowLoss;
                ++lossCount;
            }
            ++records;
        }

        spanSum += sum;
        spanValid += valid;
        spanRecords += records;
        spanLoss += loss;
        spanLossCount += lossCount;
        if (polls)
            (*polls)[static_cast<std::size_t>(p)] = {valid, lost};

        if (records == 0) {
            for (int s = MinimumSeries; s <= LossSeries; ++s)
                point(s, p, -1.0f);
        } else {
            const float average = valid > 0 ? sum / static_cast<float>(valid) : -1.0f;
            point(LossSeries, p,
                  lossCount > 0 ? static_cast<float>(loss) / static_cast<float>(lossCount) : -1.0f);
            point(MinimumSeries, p, static_cast<float>(minimum));
            point(MaximumSeries, p, static_cast<float>(maximum));
            point(AverageSeries, p, average);
        }

        if (progress && p % 10 == 0)
            progress(p);
    }

    FoldTotals totals;
    totals.records = spanRecords;
    totals.valid = spanValid;
    totals.unreadable = unreadable;
    if (spanValid > 0)
        totals.averageResponse = spanSum / static_cast<float>(spanValid);
    if (spanLossCount > 0)
        totals.loss = static_cast<float>(spanLoss) / static_cast<float>(spanLossCount);
    return totals;
}

} // namespace tarnvue
