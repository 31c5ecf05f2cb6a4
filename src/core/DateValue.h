#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>

namespace tarnvue {

// The program's date/time value: days since 1899-12-30 00:00 as a double, the
// fraction being the time of day. It is local wall-clock time without a time
// zone, so a daylight-saving change does not shift stored values. Durations
// (bucket widths) use the same unit: 15 minutes is 15/1440.
//
// Values before day 0 follow the serial-date rule of the stored files: the
// whole part counts days backwards and the fraction is still the time of day
// (-1.25 is 1899-12-29 06:00).
namespace DateValue {

inline constexpr double MinutesPerDay = 1440.0;
inline constexpr double SecondsPerDay = 86400.0;

// day + seconds_of_day / 86400, as the poller stores times.
double fromDateTime(const QDate& date, const QTime& time = QTime(0, 0));
double fromDateTime(const QDateTime& dateTime);
double fromMinutes(double minutes);

// Date and time of day of a value; the time is rounded to the whole
// millisecond and a value that rounds up to midnight moves to the next day.
QDate dateOf(double value);
QTime timeOf(double value);
// A wall-clock time as typed: a time the local time zone skips (inside the
// hour lost when daylight-saving time begins) becomes the first valid time
// after the gap (02:30 on such a day becomes 03:00); any other time is
// returned as it is.
QTime firstValidLocalTime(const QDate& date, const QTime& time);

// The value as a local QDateTime (for display and formatting only).
QDateTime toDateTime(double value);

// The whole minutes of a duration (rounded to the second first, then
// truncated), as a 16-bit count. Throws Error("Overflow") past 32767.
std::int16_t wholeMinutes(double duration);

// The day count as query text: the shortest decimal text that reads back to
// exactly the same value, "." as the decimal separator whatever the locale.
QString queryText(double value);

// "2026-03-14 09:05:00", the same in every locale.
QString stampText(double value);

} // namespace DateValue

// "1 h 04 min 30 s", "2 d 03 h 00 min 05 s", "4 min 30 s", "12 s".
QString durationText(std::int64_t seconds);

} // namespace tarnvue
