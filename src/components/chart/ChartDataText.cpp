#include "ChartDataText.h"

#include "core/DateValue.h"

#include <charconv>
#include <cmath>
#include <cstddef>

namespace tarnvue {

namespace {

// Date values this far from day 0 (about 270,000 years) have no calendar
// date worth writing; their time field stays empty rather than overflowing
// the day arithmetic.
constexpr double LargestWritableTime = 1e8;

// A point's bucket start as "YYYY-MM-DD HH:MM", rounded to the nearest minute
// (half a minute rounds up, and 23:59:30 moves to the next day).
QString timeText(double value) {
    if (!std::isfinite(value) || std::fabs(value) > LargestWritableTime)
        return {};
    QDate date = DateValue::dateOf(value);
    const QTime time = DateValue::timeOf(value);
    int minutes = (time.msecsSinceStartOfDay() + 30000) / 60000;
    if (minutes >= 24 * 60) {
        minutes -= 24 * 60;
        date = date.addDays(1);
    }
    if (!date.isValid())
        return {};
    return QString::asprintf("%04d-%02d-%02d %02d:%02d", date.year(), date.month(), date.day(),
                             minutes / 60, minutes % 60);
}

QString csvField(const QString& text) {
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                             text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!needsQuotes)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString tsvField(const QString& text) {
    QString field = text;
    for (QChar& c : field) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return field;
}

QString seriesLabel(const ChartModel& model, int series) {
    const auto index = static_cast<std::size_t>(series);
    return index < model.series.size() ? model.series[index].label : QString();
}

// A value as text, or an empty field for the missing-value marker. A model
// whose value array is shorter than its counts say (it is plain data that
// anyone may fill) gives empty fields rather than reading past the array.
QString valueText(const ChartModel& model, int series, int point) {
    const std::size_t index =
        static_cast<std::size_t>(series) * static_cast<std::size_t>(model.pointCount) +
        static_cast<std::size_t>(point);
    if (index >= model.values.size())
        return {};
    const float value = model.values[index];
    return model.isMissing(value) ? QString() : shortestFloatText(value);
}

template <typename Field> QString dataText(const ChartModel& model, QChar separator, Field field) {
    const QLatin1String lineEnd("\r\n");
    QString text = field(QStringLiteral("Time"));
    for (int s = 0; s < model.seriesCount; ++s)
        text += separator + field(seriesLabel(model, s));
    text += lineEnd;
    for (int p = 0; p < model.pointCount; ++p) {
        text += timeText(model.pointTime(p));
        for (int s = 0; s < model.seriesCount; ++s)
            text += separator + valueText(model, s, p);
        text += lineEnd;
    }
    return text;
}

} // namespace

QString chartDataCsv(const ChartModel& model) {
    return dataText(model, QLatin1Char(','), csvField);
}

QString chartDataTsv(const ChartModel& model) {
    return dataText(model, QLatin1Char('\t'), tsvField);
}

QString shortestFloatText(float value) {
    // Fixed notation with the fewest digits that read back to the same float:
    // scripts and spreadsheets read it without caring for exponents, and even
    // the extremes of float stay under 50 characters.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QString::number(static_cast<double>(value), 'g', 9);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

QStringList tableHeadings(const ChartModel& model) {
    QStringList headings{QStringLiteral("Time")};
    for (const SeriesStyle& s : model.series)
        headings << s.tableHeading();
    return headings;
}

int tableRowCount(const ChartModel& model, double now) {
    int rows = 0;
    while (rows < model.pointCount && model.pointTime(rows) <= now)
        ++rows;
    return rows;
}

QString tableTimeText(const ChartModel& model, int point, const QLocale& locale) {
    const double time = model.pointTime(point);
    return locale.toString(DateValue::dateOf(time), QStringLiteral("d MMM yyyy")) +
           QLatin1Char(' ') + locale.toString(DateValue::timeOf(time), QStringLiteral("HH:mm"));
}

QString tableValueText(const ChartModel& model, int series, int point, const QLocale& locale) {
    const float v = model.value(series, point);
    if (model.isMissing(v))
        return {};
    const auto index = static_cast<std::size_t>(series);
    const int decimals = index < model.series.size() ? model.series[index].decimals : 1;
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(double(v), 'f', decimals);
}

} // namespace tarnvue
