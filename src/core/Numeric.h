#pragma once

#include <QString>
#include <cstdint>

namespace tarnvue {

// Conversions from floating-point values to the program's whole-number types.
// They round to the nearest whole number, a half to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), and throw Error("Overflow") when the
// rounded value does not fit or the input is not a number.
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);

// Round half to even, without a range check.
double roundHalfEven(double value);

// Removes leading and trailing space characters (only ' ', as the command
// line and the dialogs' fields are trimmed), keeping tabs and other blanks.
QString trimSpaces(const QString& text);

// Parses a whole number in decimal with an optional sign, after trimming
// spaces. Throws Error("Type mismatch") for text that is not a whole number
// and Error("Overflow") for one outside the 32-bit range.
std::int32_t parseInt32(const QString& text);

} // namespace tarnvue
