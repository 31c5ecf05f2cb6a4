#include "DateValue.h"

#include "Numeric.h"

#include <QLocale>

#include <cmath>

namespace tarnvue::DateValue {

namespace {

const QDate& epoch() {
    static const QDate day0(1899, 12, 30);
    return day0;
}

// Splits a serial value into its day number and its milliseconds of the day.
void split(double value, qint64& day, qint64& msecs) {
    // Negative values count days backwards with a positive time of day: the
    // day of -1.25 is -1 (1899-12-29) and its time 06:00.
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    day = static_cast<qint64>(whole);
    msecs = static_cast<qint64>(std::llround(fraction * SecondsPerDay * 1000.0));
    if (msecs >= 86400000) {
        msecs -= 86400000;
        day += value < 0 ? -1 : 1;
    }
}

} // namespace

double fromDateTime(const QDate& date, const QTime& time) {
    const double day = static_cast<double>(epoch().daysTo(date));
    const double seconds = time.isValid() ? time.msecsSinceStartOfDay() / 1000.0 : 0.0;
    if (day < 0 && seconds > 0)
        return day - seconds / SecondsPerDay;
    return day + seconds / SecondsPerDay;
}

double fromDateTime(const QDateTime& dateTime) {
    return fromDateTime(dateTime.date(), dateTime.time());
}

double fromMinutes(double minutes) {
    return minutes / MinutesPerDay;
}

QDate dateOf(double value) {
    qint64 day = 0;
    qint64 msecs = 0;
    split(value, day, msecs);
    return epoch().addDays(day);
}

QTime timeOf(double value) {
    qint64 day = 0;
    qint64 msecs = 0;
    split(value, day, msecs);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs));
}

QTime firstValidLocalTime(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid() || QDateTime(date, time).isValid())
        return time;
    // Gaps are whole minutes and last a few hours at most: walk forward to
    // the first minute that exists.
    const QTime minute(time.hour(), time.minute());
    for (int step = 1; step < 24 * 60; ++step) {
        const QTime next = minute.addSecs(step * 60);
        if (next < minute)
            break; // past midnight: leave the time alone
        if (QDateTime(date, next).isValid())
            return next;
    }
    return time;
}

QDateTime toDateTime(double value) {
    return QDateTime(dateOf(value), timeOf(value));
}

std::int16_t wholeMinutes(double duration) {
    const double seconds = roundHalfEven(duration * SecondsPerDay);
    return toInt16(std::trunc(seconds / 60.0));
}

QString queryText(double value) {
    // The shortest text that reads back to exactly this value: a bound cut to
    // fewer digits could pass over the poll that stands exactly on it.
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    return text;
}

QString stampText(double value) {
    return dateOf(value).toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
           timeOf(value).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace tarnvue::DateValue

namespace tarnvue {

QString durationText(std::int64_t seconds) {
    const std::int64_t days = seconds / 86400;
    const std::int64_t hours = seconds / 3600 % 24;
    const std::int64_t minutes = seconds / 60 % 60;
    const std::int64_t rest = seconds % 60;
    const auto two = [](std::int64_t v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (days > 0)
        return QStringLiteral("%1 d %2 h %3 min %4 s").arg(days).arg(two(hours), two(minutes), two(rest));
    if (hours > 0)
        return QStringLiteral("%1 h %2 min %3 s").arg(hours).arg(two(minutes), two(rest));
    if (minutes > 0)
        return QStringLiteral("%1 min %2 s").arg(minutes).arg(two(rest));
    return QStringLiteral("%1 s").arg(rest);
}

} // namespace tarnvue
