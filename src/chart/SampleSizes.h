#pragma once

#include <QString>
#include <cstdint>

namespace tarnvue {

// One rung of the ladder of bucket widths the program knows.
struct SampleSize {
    QString Name;
    std::int16_t Minutes = 0;
};

// The ladder, from most detail (index 1, one minute) to least (index 9, a day
// bucket of 1439 minutes). Filled once at start-up by LoadSampleSizes; empty
// before that.
void LoadSampleSizes();
int SampleSizeCount();
// The rung at a 1-based index; throws Error("Subscript out of range") outside
// 1..SampleSizeCount().
const SampleSize& SampleSizes(int index);
// The first 1-based index whose Minutes equals minutes, or 0 when none does.
std::int16_t FindSampleSize(int minutes);

} // namespace tarnvue
