#include "Periods.h"

#include "SampleSizes.h"
#include "core/DateValue.h"

namespace tarnvue {

const std::array<PeriodInfo, PeriodCount>& periodTable() {
    static const std::array<PeriodInfo, PeriodCount> table = {{
        {TodayPeriod, QStringLiteral("Today"), QStringLiteral("Today"), QStringLiteral("&Today"),
         QStringLiteral("TodayPeriod")},
        {ThisWeekPeriod, QStringLiteral("ThisWeek"), QStringLiteral("This Week"),
         QStringLiteral("This &Week"), QStringLiteral("ThisWeekPeriod")},
        {ThisMonthPeriod, QStringLiteral("ThisMonth"), QStringLiteral("This Month"),
         QStringLiteral("This &Month"), QStringLiteral("ThisMonthPeriod")},
        {Last30DaysPeriod, QStringLiteral("Last30Days"), QStringLiteral("Last 30 days"),
         QStringLiteral("Last 30 &Days"), QStringLiteral("Last30DaysPeriod")},
        {Last3MonthsPeriod, QStringLiteral("Last3Months"), QStringLiteral("Last 3 months"),
         QStringLiteral("Last &3 Months"), QStringLiteral("Last3MonthsPeriod")},
        {Last12MonthsPeriod, QStringLiteral("Last12Months"), QStringLiteral("Last 12 months"),
         QStringLiteral("Last &12 Months"), QStringLiteral("Last12MonthsPeriod")},
        {ThisYearPeriod, QStringLiteral("ThisYear"), QStringLiteral("This Year"),
         QStringLiteral("This &Year"), QStringLiteral("ThisYearPeriod")},
        {CustomPeriod, QStringLiteral("Custom"), QStringLiteral("Custom Period"),
         QStringLiteral("&Custom Period ..."), QStringLiteral("CustomPeriod")},
    }};
    return table;
}

int periodForKey(const QString& key) {
    for (const PeriodInfo& p : periodTable()) {
        if (p.key == key)
            return p.index;
    }
    return 0;
}

QString periodCaption(int period) {
    if (period < 1 || period > PeriodCount)
        return {};
    return periodTable()[static_cast<std::size_t>(period - 1)].tabCaption;
}

std::optional<PeriodSpan> periodSpan(int period, const QDateTime& now) {
    const QDate today = now.date();
    const double tomorrow = DateValue::fromDateTime(today.addDays(1));
    const auto width = [](int minutes) {
        return DateValue::fromMinutes(minutes);
    };
    const auto day = [](const QDate& d) {
        return DateValue::fromDateTime(d);
    };

    // Calendar months keep the day of the month; QDate::addMonths moves to the
    // last day of a shorter month (31 May minus 3 months is the end of February).
    switch (period) {
    case TodayPeriod: {
        const double begin = day(today);
        return PeriodSpan{begin, begin + (now.time().hour() + 1) / 24.0, width(15)};
    }
    case ThisWeekPeriod:
        return PeriodSpan{day(today.addDays(-7)), tomorrow, width(60)};
    case ThisMonthPeriod:
        return PeriodSpan{day(QDate(today.year(), today.month(), 1)), tomorrow, width(360)};
    case Last30DaysPeriod:
        return PeriodSpan{day(today.addDays(-30)), tomorrow, width(360)};
    case Last3MonthsPeriod:
        return PeriodSpan{day(today.addMonths(-3)), tomorrow, width(DayMinutes)};
    case Last12MonthsPeriod:
        return PeriodSpan{day(today.addMonths(-12)), tomorrow, width(DayMinutes)};
    case ThisYearPeriod:
        return PeriodSpan{day(QDate(today.year(), 1, 1)), tomorrow, width(DayMinutes)};
    default:
        return std::nullopt;
    }
}

QString spanText(double begin, double end, const QLocale& locale) {
    const auto when = [&locale](double value) {
        return locale.toString(DateValue::toDateTime(value), QStringLiteral("d MMM yyyy HH:mm"));
    };
    return when(begin) + QStringLiteral(" \u2013 ") + when(end);
}

QString periodLine(int period, double begin, double end, const QLocale& locale) {
    const QString name = period >= TodayPeriod && period <= ThisYearPeriod
                             ? periodCaption(period)
                             : QStringLiteral("Custom");
    return name + QStringLiteral(": ") + spanText(begin, end, locale);
}

} // namespace tarnvue
