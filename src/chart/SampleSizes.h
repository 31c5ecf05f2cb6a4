#pragma once

#include <QString>
#include <cstdint>

namespace tarnvue {

// One rung of the ladder of bucket widths the program knows.
struct SampleSize {
    QString Name;
    std::int16_t Minutes = 0;
};

// The ladder, from most detail (index 1, one minute) to least (index 9, a
// calendar day of 1440 minutes). Filled once at start-up by LoadSampleSizes;
// empty before that.
void LoadSampleSizes();
int SampleSizeCount();
// The rung at a 1-based index; throws Error("Subscript out of range") outside
// 1..SampleSizeCount().
const SampleSize& SampleSizes(int index);
inline constexpr int DayMinutes = 1440;
// The day width of earlier versions, one minute short of a day: still read
// as the day rung.
inline constexpr int LegacyDayMinutes = 1439;

// The first 1-based index whose Minutes equals minutes, or 0 when none does;
// 1439 finds the day rung.
std::int16_t FindSampleSize(int minutes);

} // namespace tarnvue
