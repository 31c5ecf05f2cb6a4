#include "SampleFold.h"

#include "core/Error.h"
#include "core/Numeric.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnvue {

namespace {

// A value that is not a whole number in range, rounded (nearest, half to
// even); nothing when it is out of range or not a number.
[[gnu::noinline]] std::optional<std::int32_t> rounded(double field) {
    if (!std::isfinite(field))
        return std::nullopt;
    try {
        return toInt32(field);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// A field as a 32-bit whole number, or nothing when it is empty or out of
// range. Polls hold whole numbers, which need no rounding: they take the
// quick way, inline.
inline std::optional<std::int32_t> whole(double field) {
    if (field >= std::numeric_limits<std::int32_t>::min() &&
        field <= std::numeric_limits<std::int32_t>::max()) {
        const auto value = static_cast<std::int32_t>(field);
        if (static_cast<double>(value) == field)
            return value;
    }
    return rounded(field);
}

inline std::optional<std::int32_t> whole(const std::optional<double>& field) {
    return field ? whole(*field) : std::nullopt;
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

            const std::optional<std::int32_t> response = whole(row.response);
            const std::optional<std::int32_t> rowMin = whole(row.min);
            const std::optional<std::int32_t> rowMax = whole(row.max);
            const std::optional<std::int32_t> rowLoss =
                row.loss && std::isfinite(*row.loss) ? whole(*row.loss + loss) : std::nullopt;
            if (!response || !rowMin || !rowMax || !rowLoss)
                ++unreadable;

            if (response && *response >= 0) {
                const std::int32_t r = *response;
                if (minimum == -1 || r < minimum)
                    minimum = r;
                if (rowMin && minimum > *rowMin)
                    minimum = *rowMin;
                if (r > maximum)
                    maximum = r;
                if (rowMax && maximum < *rowMax)
                    maximum = *rowMax;
                sum += static_cast<float>(r);
                ++valid;
            } else if (response) {
                ++lost;
            }
            if (rowLoss) {
                loss = *rowLoss;
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
