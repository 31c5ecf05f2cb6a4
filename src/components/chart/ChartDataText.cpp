#include "ChartDataText.h"

#include "core/DateValue.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <iterator>

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

const char* const ExtendedHeadings[] = {"Median Response Time",
                                        "5th Percentile Response Time",
                                        "95th Percentile Response Time",
                                        "Jitter",
                                        "Polls",
                                        "Replied Polls"};

QString figureText(float value) {
    return value < 0 || !std::isfinite(value) ? QString() : shortestFloatText(value);
}

// A point's extended fields, each after a separator.
void appendExtended(QString& text, const ChartModel& model, int point, QChar separator) {
    if (model.shapes.size() != static_cast<std::size_t>(model.pointCount)) {
        for (std::size_t i = 0; i < std::size(ExtendedHeadings); ++i)
            text += separator;
        return;
    }
    const BucketShape& b = model.shapes[static_cast<std::size_t>(point)];
    for (float figure : {b.median, b.p5, b.p95, b.jitter})
        text += separator + figureText(figure);
    text += separator + QString::number(b.polls) + separator + QString::number(b.replied);
}

template <typename Field>
QString dataText(const ChartModel& model, DataColumns columns, QChar separator, Field field) {
    const QLatin1String lineEnd("\r\n");
    const bool extended = columns == DataColumns::Extended;
    QString text = field(QStringLiteral("Time"));
    for (int s = 0; s < model.seriesCount; ++s)
        text += separator + field(seriesLabel(model, s));
    if (extended) {
        for (const char* heading : ExtendedHeadings)
            text += separator + QLatin1String(heading);
    }
    text += lineEnd;
    for (int p = 0; p < model.pointCount; ++p) {
        text += timeText(model.pointTime(p));
        for (int s = 0; s < model.seriesCount; ++s)
            text += separator + valueText(model, s, p);
        if (extended)
            appendExtended(text, model, p, separator);
        text += lineEnd;
    }
    return text;
}

} // namespace

QString chartDataCsv(const ChartModel& model, DataColumns columns) {
    return dataText(model, columns, QLatin1Char(','), csvField);
}

QString chartDataTsv(const ChartModel& model, DataColumns columns) {
    return dataText(model, columns, QLatin1Char('\t'), tsvField);
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
    for (ShapeFigure figure : tableShapeFigures(model)) {
        switch (figure) {
        case ShapeFigure::Median:
            headings << QStringLiteral("Median (ms)");
            break;
        case ShapeFigure::P5:
            headings << QStringLiteral("5th Percentile (ms)");
            break;
        case ShapeFigure::P95:
            headings << QStringLiteral("95th Percentile (ms)");
            break;
        case ShapeFigure::Jitter:
            headings << QStringLiteral("Jitter (ms)");
            break;
        }
    }
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

namespace tarnvue {

float bucketShapeFigure(const BucketShape& shape, ShapeFigure figure) {
    switch (figure) {
    case ShapeFigure::Median:
        return shape.median;
    case ShapeFigure::P5:
        return shape.p5;
    case ShapeFigure::P95:
        return shape.p95;
    case ShapeFigure::Jitter:
        break;
    }
    return shape.jitter;
}

float shapeFigureValue(const ChartModel& model, ShapeFigure figure, int point) {
    if (model.shapes.size() != static_cast<std::size_t>(model.pointCount) || point < 0 ||
        point >= model.pointCount)
        return -1;
    return bucketShapeFigure(model.shapes[static_cast<std::size_t>(point)], figure);
}

std::vector<ShapeFigure> tableShapeFigures(const ChartModel& model) {
    std::vector<ShapeFigure> figures;
    if (model.shapes.size() != static_cast<std::size_t>(model.pointCount))
        return figures;
    const LatencyLook& look = model.latency;
    if (look.median)
        figures.push_back(ShapeFigure::Median);
    if (look.band)
        figures.push_back(ShapeFigure::P5);
    if (look.band || look.p95)
        figures.push_back(ShapeFigure::P95);
    if (look.jitter)
        figures.push_back(ShapeFigure::Jitter);
    return figures;
}

QString tableShapeText(const ChartModel& model, ShapeFigure figure, int point,
                       const QLocale& locale) {
    const float v = shapeFigureValue(model, figure, point);
    if (v < 0 || !std::isfinite(v))
        return {};
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(double(v), 'f', figure == ShapeFigure::Jitter ? 1 : 0);
}

} // namespace tarnvue
