#include "TimeTicks.h"

#include "core/DateValue.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cmath>

namespace tarnvue {

namespace {

enum class Unit { Minute, Day, Week, Month, Year };

struct Step {
    Unit unit;
    int count;      // minutes for Minute, otherwise the number of units
    double minutes; // the step's length, months and years on average
};

constexpr double DayLength = 1440;

const Step Steps[] = {
    {Unit::Minute, 1, 1},
    {Unit::Minute, 2, 2},
    {Unit::Minute, 5, 5},
    {Unit::Minute, 10, 10},
    {Unit::Minute, 15, 15},
    {Unit::Minute, 30, 30},
    {Unit::Minute, 60, 60},
    {Unit::Minute, 120, 120},
    {Unit::Minute, 180, 180},
    {Unit::Minute, 240, 240},
    {Unit::Minute, 360, 360},
    {Unit::Minute, 720, 720},
    {Unit::Day, 1, DayLength},
    {Unit::Day, 2, 2 * DayLength},
    {Unit::Week, 1, 7 * DayLength},
    {Unit::Month, 1, 30.44 * DayLength},
    {Unit::Month, 2, 2 * 30.44 * DayLength},
    {Unit::Month, 3, 3 * 30.44 * DayLength},
    {Unit::Month, 6, 6 * 30.44 * DayLength},
    {Unit::Year, 1, 365.25 * DayLength},
    {Unit::Year, 2, 2 * 365.25 * DayLength},
    {Unit::Year, 5, 5 * 365.25 * DayLength},
    {Unit::Year, 10, 10 * 365.25 * DayLength},
    {Unit::Year, 50, 50 * 365.25 * DayLength},
    {Unit::Year, 100, 100 * 365.25 * DayLength},
};

constexpr int NarrowestLabel = 80; // pixels between labels at least

// The candidate tick moments of a step, from the day of begin on, as a
// date and a time of day; the caller keeps those inside the span.
template <typename Visit> void eachMoment(const Step& step, QDate day, double end, Visit visit) {
    const QDate last = DateValue::dateOf(end);
    if (step.unit == Unit::Minute) {
        for (; day.isValid() && day <= last; day = day.addDays(1)) {
            for (int minute = 0; minute < 1440; minute += step.count)
                visit(day, QTime(minute / 60, minute % 60));
        }
        return;
    }
    if (step.unit == Unit::Month || step.unit == Unit::Year)
        day = QDate(day.year(), step.unit == Unit::Year ? 1 : day.month(), 1);
    for (; day.isValid() && day <= last; day = day.addDays(1)) {
        bool on = false;
        switch (step.unit) {
        case Unit::Day:
            on = day.toJulianDay() % step.count == 0;
            break;
        case Unit::Week:
            on = day.dayOfWeek() == Qt::Monday;
            break;
        case Unit::Month:
            on = day.day() == 1 && (day.month() - 1) % step.count == 0;
            break;
        case Unit::Year:
            on = day.day() == 1 && day.month() == 1 && day.year() % step.count == 0;
            break;
        case Unit::Minute:
            break;
        }
        if (on)
            visit(day, QTime(0, 0));
        // Month and year steps need not look at every day.
        if (step.unit == Unit::Month || step.unit == Unit::Year) {
            day = QDate(day.year(), day.month(), 1).addMonths(1).addDays(-1);
        }
    }
}

QString labelOf(const Step& step, const QDate& day, const QTime& time, bool first,
                const QDate& previous, const QLocale& locale) {
    const bool newYear = first || previous.year() != day.year();
    switch (step.unit) {
    case Unit::Minute: {
        const QString clock = locale.toString(time, QStringLiteral("HH:mm"));
        if (first || time == QTime(0, 0))
            return clock + QLatin1Char('\n') + locale.toString(day, QStringLiteral("d MMM yyyy"));
        return clock;
    }
    case Unit::Day:
    case Unit::Week:
        return locale.toString(day,
                               newYear ? QStringLiteral("d MMM yyyy") : QStringLiteral("d MMM"));
    case Unit::Month:
        return locale.toString(day, newYear || day.month() == 1 ? QStringLiteral("MMM yyyy")
                                                                : QStringLiteral("MMM"));
    case Unit::Year:
        return locale.toString(day, QStringLiteral("yyyy"));
    }
    return {};
}

} // namespace

std::vector<TimeTick> timeTicks(double begin, double end, int pixels, int bucketMinutes,
                                const QLocale& locale) {
    std::vector<TimeTick> ticks;
    if (!(end > begin) || !std::isfinite(begin) || !std::isfinite(end) || std::fabs(begin) > 3e6 ||
        std::fabs(end) > 3e6)
        return ticks;
    const double spanMinutes = (end - begin) * DayLength;
    const double narrowest = spanMinutes * NarrowestLabel / std::max(pixels, NarrowestLabel);
    const double shortest = std::max({narrowest, double(bucketMinutes), 1.0});
    const Step* step = &Steps[std::size(Steps) - 1];
    for (const Step& candidate : Steps) {
        // A bucket of 1439 minutes (older chart files) still takes day steps.
        if (candidate.minutes >= shortest - 1) {
            step = &candidate;
            break;
        }
    }
    // Half a second either side: moments are whole minutes.
    const double slack = 0.5 / 86400;
    QDate previous;
    eachMoment(*step, DateValue::dateOf(begin), end, [&](const QDate& day, const QTime& time) {
        const double at = DateValue::fromDateTime(day, time);
        if (at < begin - slack || at > end + slack)
            return;
        ticks.push_back({at, labelOf(*step, day, time, ticks.empty(), previous, locale)});
        previous = day;
    });
    return ticks;
}

} // namespace tarnvue
