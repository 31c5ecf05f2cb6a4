#include "SampleFold.h"

#include "core/Error.h"
#include "core/Numeric.h"

namespace tarnvue {

namespace {

const QString NullField = QStringLiteral("Invalid use of Null");

// Reads one field as a number; in tolerant mode a field that cannot be read
// leaves the target as it was.
bool readField(const std::optional<double>& field, double& target, bool tolerant) {
    if (field) {
        target = *field;
        return true;
    }
    if (!tolerant)
        throw Error(NullField);
    return false;
}

// Runs one step; in tolerant mode a failing step is skipped.
template <typename Step> void step(bool tolerant, Step&& run) {
    if (!tolerant) {
        run();
        return;
    }
    try {
        run();
    } catch (const Error&) {
    }
}

} // namespace

SampleFold::SampleFold(double begin, double width, int pointCount)
    : m_begin(begin), m_width(width), m_pointCount(pointCount) {}

FoldTotals SampleFold::run(SampleReader& rows, const PointSink& point, const Progress& progress) {
    float spanSum = 0;
    std::int32_t spanValid = 0;
    std::int32_t spanRecords = 0;
    std::int32_t spanLoss = 0;

    bool tolerant = false;
    Sample row;
    bool pending = false; // a row read but not yet consumed
    bool exhausted = false;
    // Values that keep their previous content when a later row cannot be read.
    double time = 0;
    std::int32_t response = 0;
    double rowMin = 0;
    double rowMax = 0;
    double rowLoss = 0;

    for (int p = 0; p < m_pointCount; ++p) {
        const double bucketEnd = m_begin + (p + 1) * m_width;
        std::int32_t records = 0;
        std::int32_t valid = 0;
        float sum = 0;
        std::int32_t minimum = -1;
        std::int32_t maximum = -1;
        std::int32_t loss = 0;

        while (!exhausted) {
            if (!pending) {
                if (!rows.next(row)) {
                    exhausted = true;
                    break;
                }
                pending = true;
            }
            if (readField(row.time, time, tolerant) && time >= bucketEnd)
                break;
            pending = false;

            step(tolerant, [&] {
                double value = 0;
                readField(row.response, value, false);
                response = toInt32(value);
            });
            if (response >= 0) {
                if (minimum == -1)
                    minimum = response;
                if (response < minimum)
                    minimum = response;
                step(tolerant, [&] {
                    readField(row.min, rowMin, false);
                    if (minimum > rowMin)
                        minimum = toInt32(rowMin);
                });
                if (response > maximum)
                    maximum = response;
                step(tolerant, [&] {
                    readField(row.max, rowMax, false);
                    if (maximum < rowMax)
                        maximum = toInt32(rowMax);
                });
                sum += static_cast<float>(response);
                ++valid;
            }
            step(tolerant, [&] {
                readField(row.loss, rowLoss, false);
                loss = toInt32(rowLoss + loss);
            });
            ++records;
        }

        spanSum += sum;
        spanValid += valid;
        spanRecords += records;
        spanLoss += loss;

        if (records == 0) {
            for (int s = MinimumSeries; s <= LossSeries; ++s)
                point(s, p, -1.0f);
        } else {
            const float average = valid > 0 ? sum / static_cast<float>(valid) : -1.0f;
            point(LossSeries, p, static_cast<float>(loss) / static_cast<float>(records));
            point(MinimumSeries, p, static_cast<float>(minimum));
            point(MaximumSeries, p, static_cast<float>(maximum));
            point(AverageSeries, p, average);
        }

        tolerant = true;
        if (progress && p % 10 == 0)
            progress(p);
    }

    FoldTotals totals;
    totals.records = spanRecords;
    totals.valid = spanValid;
    if (spanValid > 0)
        totals.averageResponse = spanSum / static_cast<float>(spanValid);
    if (spanRecords > 0)
        totals.loss = static_cast<float>(spanLoss) / static_cast<float>(spanRecords);
    return totals;
}

} // namespace tarnvue
