#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace tarnvue {

// Dates and times as the user reads and types them: the locale's short date
// and short time, joined by one space, to the minute. Two-digit years of the
// locale's short format are shown with four digits, so that a date can never
// be taken for one a century away.
QString dateTimeFormat(const QLocale& locale);
QString formatDateTime(double value, const QLocale& locale);

// Reads what the user typed: a date and time in the locale's order, a date
// alone (00:00), or a time alone (today's date, as given). Seconds are
// accepted and dropped. Nothing when the text is no date or time.
std::optional<double> parseDateTime(const QString& text, const QLocale& locale, const QDate& today);

} // namespace tarnvue
