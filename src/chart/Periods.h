#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <array>
#include <optional>

namespace tarnvue {

// The named periods a chart can show. The index is also the 1-based position
// of the period's tab; 8 is the custom span, set by the detail commands and
// the custom period dialog rather than computed from the clock.
enum Period : int {
    TodayPeriod = 1,
    ThisWeekPeriod,
    ThisMonthPeriod,
    Last30DaysPeriod,
    Last3MonthsPeriod,
    Last12MonthsPeriod,
    ThisYearPeriod,
    CustomPeriod,
};

struct PeriodInfo {
    int index;
    QString key;         // the tab's key, "ThisWeek"
    QString tabCaption;  // "This Week"
    QString menuCaption; // "This &Week"
    QString menuName;    // "ThisWeekPeriod"
};

inline constexpr int PeriodCount = 8;
const std::array<PeriodInfo, PeriodCount>& periodTable();
// The period with this tab key, or 0 when no period has it.
int periodForKey(const QString& key);
// The tab caption of a period, or an empty text outside 1..8.
QString periodCaption(int period);

// While true, a selection in the period tab strip does nothing. Code that
// selects the custom tab itself sets it around that selection.
inline bool IgnorePeriodClick = false;

// Span and bucket width, all as date values (days).
struct PeriodSpan {
    double begin = 0;
    double end = 0;
    double size = 0;
};

// A span as a person reads it: "6 Nov 2026 00:00 – 7 Dec 2026 00:00".
QString spanText(double begin, double end, const QLocale& locale = QLocale());
// What a chart shows, for its extra title line: "Last 30 days: " or
// "Custom: " and the span; the period's name alone names a period 1 to 7,
// anything else is "Custom".
QString periodLine(int period, double begin, double end, const QLocale& locale = QLocale());

// The span of a named period (1 to 7) at the given local time; nothing for
// the custom period and for any other value.
std::optional<PeriodSpan> periodSpan(int period, const QDateTime& now);

} // namespace tarnvue
