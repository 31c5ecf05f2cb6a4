#include "SampleSizes.h"

#include "core/Error.h"

#include <vector>

namespace tarnvue {

namespace {

std::vector<SampleSize>& ladder() {
    static std::vector<SampleSize> sizes;
    return sizes;
}

} // namespace

void LoadSampleSizes() {
    ladder() = {
        {QStringLiteral("Every Minute"), 1},      {QStringLiteral("Every 2 Minutes"), 2},
        {QStringLiteral("Every 5 Minutes"), 5},   {QStringLiteral("Every 15 Minutes"), 15},
        {QStringLiteral("Every 30 Minutes"), 30}, {QStringLiteral("Every Hour"), 60},
        {QStringLiteral("Every 6 Hours"), 360},   {QStringLiteral("Every 12 Hours"), 720},
        {QStringLiteral("One a Day"), 1440},
    };
}

int SampleSizeCount() {
    return static_cast<int>(ladder().size());
}

const SampleSize& SampleSizes(int index) {
    if (index < 1 || index > SampleSizeCount())
        throw Error(QStringLiteral("Subscript out of range"));
    return ladder()[static_cast<std::size_t>(index - 1)];
}

std::int16_t FindSampleSize(int minutes) {
    // Earlier versions made day buckets one minute short (1439); spans and
    // chart files of theirs still mean the day rung.
    if (minutes == LegacyDayMinutes)
        minutes = DayMinutes;
    for (int i = 1; i <= SampleSizeCount(); ++i) {
        if (SampleSizes(i).Minutes == minutes)
            return static_cast<std::int16_t>(i);
    }
    return 0;
}

} // namespace tarnvue
