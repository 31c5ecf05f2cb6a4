#include "CustomSpan.h"

#include "SampleSizes.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"

#include <cmath>

namespace tarnvue {

namespace {

// The minute a value falls in, counted from day 0, after rounding to the second.
std::int64_t minuteIndex(double value) {
    const double seconds = roundHalfEven(value * DateValue::SecondsPerDay);
    return static_cast<std::int64_t>(std::floor(seconds / 60.0));
}

} // namespace

std::int64_t minutesBetween(double start, double end) {
    return minuteIndex(end) - minuteIndex(start);
}

std::int32_t customSampleCount(double start, double end, int widthMinutes) {
    if (widthMinutes < 1)
        return 0;
    return toInt32(static_cast<double>(minutesBetween(start, end)) / widthMinutes);
}

SampleCountCheck checkSampleCount(std::int32_t count) {
    if (count < MinimumSamples)
        return SampleCountCheck::TooFew;
    if (count > MaximumSamples)
        return SampleCountCheck::TooMany;
    return SampleCountCheck::Fine;
}

QString sampleCountMessage(SampleCountCheck check) {
    switch (check) {
    case SampleCountCheck::TooFew:
        return QStringLiteral("Not enough samples selected.\rYou should generate samples closer "
                              "together.");
    case SampleCountCheck::TooMany:
        return QStringLiteral("Too many samples selected.\rYou should generate samples farther "
                              "apart.");
    case SampleCountCheck::Fine:
        break;
    }
    return {};
}

int finestFittingWidth(double start, double end) {
    for (int i = 1; i <= SampleSizeCount(); ++i) {
        try {
            const std::int32_t count = customSampleCount(start, end, SampleSizes(i).Minutes);
            if (checkSampleCount(count) == SampleCountCheck::Fine)
                return i;
        } catch (const Error&) {
            // A count past the 32-bit range fits no chart; try a wider rung.
        }
    }
    return 0;
}

QString sampleCountMessage(SampleCountCheck check, double start, double end) {
    QString message = sampleCountMessage(check);
    if (check != SampleCountCheck::TooMany)
        return message;
    message += QStringLiteral("\rA chart holds at most %1 samples.").arg(MaximumSamples);
    const int fitting = finestFittingWidth(start, end);
    if (fitting > 0)
        message += QStringLiteral(" The finest width for this span is \"%1\".")
                       .arg(SampleSizes(fitting).Name);
    else
        message += QStringLiteral(" No width fits this span: choose a shorter one.");
    return message;
}

} // namespace tarnvue
