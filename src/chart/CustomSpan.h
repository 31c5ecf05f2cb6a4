#pragma once

#include <QString>
#include <cstdint>

namespace tarnvue {

// The rule for a custom span: between 2 and 3000 buckets of one width of the
// ladder.
inline constexpr int MinimumSamples = 2;
inline constexpr int MaximumSamples = 3000;

enum class SampleCountCheck { Fine, TooFew, TooMany };

// The whole minutes from start to end (seconds ignored; negative when the end
// comes first).
std::int64_t minutesBetween(double start, double end);

// Buckets of widthMinutes in the span, rounded to the nearest whole number (a
// half to the even neighbour); 0 for a width below 1. Throws Error("Overflow")
// past the 32-bit range.
std::int32_t customSampleCount(double start, double end, int widthMinutes);

SampleCountCheck checkSampleCount(std::int32_t count);

// What the user is told when a count is refused (the two sentences are
// separated by a carriage return); empty for a count that is fine.
QString sampleCountMessage(SampleCountCheck check);
// The same for a span from start to end: too many samples adds the limit
// and the finest width of the ladder that fits the span.
QString sampleCountMessage(SampleCountCheck check, double start, double end);

// The 1-based ladder index of the finest width that cuts the span into an
// allowed number of buckets, or 0 when none does.
int finestFittingWidth(double start, double end);

} // namespace tarnvue
