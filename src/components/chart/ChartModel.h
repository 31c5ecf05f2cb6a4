#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace tarnvue {

// How every series of the chart is drawn.
enum class PlotStyle { Lines = 0, Steps = 1, Points = 2, Bars = 3 };

// Where the legend stands, if anywhere.
enum class LegendPosition { Hidden = 0, Top = 1, Bottom = 2, Right = 3 };

// Pen patterns of series and annotation lines, by number.
enum class LineType { Solid = 0, Dash = 1, Dot = 2, DashDot = 3 };

// Table modes of the chart control.
inline constexpr int TableGraphOnly = 0;
inline constexpr int TableGraphWithTable = 2;

// Font sizes of the chart control.
inline constexpr int FontLarge = 0;
inline constexpr int FontMedium = 1;
inline constexpr int FontSmall = 2;

// The most decimals a data table column shows.
inline constexpr int MaxTableDecimals = 6;

struct SeriesStyle {
    QString label;
    QColor color = Qt::black;
    bool visible = true;
    double lineWidth = 1.5;
    LineType lineType = LineType::Solid;
    // How this series is drawn; the chart's plot style sets every series.
    PlotStyle plotStyle = PlotStyle::Lines;
    // The series' column in the data table ("Loss (%)"; the label when
    // empty) and the decimals its values are shown with there.
    QString heading;
    int decimals = 1;

    QString tableHeading() const { return heading.isEmpty() ? label : heading; }

    bool operator==(const SeriesStyle&) const = default;
};

// A horizontal reference line across the whole chart. A text that begins with
// "|l" stands at the left end of the line; otherwise it stands at the right.
struct Annotation {
    bool defined = false;
    double value = 0;
    int axis = 0; // 0 the left axis, 1 the right axis
    QColor color = Qt::black;
    LineType lineType = LineType::Solid;
    QString text;

    bool operator==(const Annotation&) const = default;
};

// A stretch of time shaded behind the series: an outage (the node did not
// answer) or a stretch without data (nothing was polled).
struct ShadedStretch {
    enum Kind { Outage = 0, NoData = 1 };
    Kind kind = Outage;
    double begin = 0; // date values, begin <= end
    double end = 0;
    bool ongoing = false;       // an outage still going on: end is its last lost poll
    std::int64_t seconds = 0;   // the duration as found, in whole seconds
    std::int32_t lostPolls = 0; // outages only

    bool operator==(const ShadedStretch&) const = default;
};

// How one bucket's replies spread, beyond its minimum, maximum and average.
// Every figure is the missing-value marker -1 where the bucket has too few
// replied polls for it.
struct BucketShape {
    float p5 = -1;
    float median = -1;
    float p95 = -1;
    float jitter = -1;
    std::int32_t polls = 0;   // rows of the bucket
    std::int32_t replied = 0; // polls with a reply (Response not negative)

    bool operator==(const BucketShape&) const = default;
};

// Which of the buckets' spread figures the chart draws, and whether the left
// axis leaves rare spikes above its scale. All off unless the user switches
// them on.
struct LatencyLook {
    bool median = false;
    bool p95 = false;
    bool band = false; // the 5th to 95th percentile, as a light fill
    bool jitter = false;
    bool clipSpikes = false;

    bool any() const { return median || p95 || band || jitter || clipSpikes; }
    bool operator==(const LatencyLook&) const = default;
};

// Everything the chart control shows: configuration and data. The control
// draws from it, the chart file stores it, the data export reads it. Plain
// data: no widget is needed to build, compare or store one.
struct ChartModel {
    // Data: value(series, point) for series 0..seriesCount-1 and points
    // 0..pointCount-1. A point holding missingValue is not drawn.
    int seriesCount = 0;
    int pointCount = 0;
    std::vector<float> values; // series-major: values[series * pointCount + point]
    float missingValue = -1.0f;

    // The points on view: visiblePointCount points from firstVisiblePoint
    // (counted from 1). All points are on view when the count is pointCount.
    int visiblePointCount = 0;
    int firstVisiblePoint = 1;

    std::vector<SeriesStyle> series;        // one per series
    PlotStyle plotStyle = PlotStyle::Lines; // the style last chosen for all series
    int rightAxisSeries = 0;                // how many of the last series use the right axis

    // Texts. A leading "||" puts a title or footer in the right-hand part.
    QString mainTitle;
    QString subTitle;
    QString xAxisLabel;
    QString footer;

    // Axes. Tick formats: "||" plain numbers, "||%" numbers with a percent sign.
    QString leftLabel;
    QColor leftColor = Qt::black;
    QString leftTickFormat = QStringLiteral("||");
    bool leftManual = false;
    double leftMin = 0;
    double leftMax = 100;
    QString rightLabel;
    QColor rightColor = Qt::black;
    QString rightTickFormat = QStringLiteral("||");
    bool rightManual = false;
    double rightMin = 0;
    double rightMax = 100;

    // The time axis: point p stands at firstPointTime + p * minutesPerPoint
    // minutes (a date value, days since 1899-12-30).
    int minutesPerPoint = 1;
    double pointsPerDay = 1440;
    double firstPointTime = 0;

    std::array<Annotation, 2> annotations;
    bool showAnnotations = false;

    // Outages and stretches without data in time order, shaded behind the
    // series when showShading is on, and the availability over the same
    // polls ("99.952 %"; empty when the chart's polls were not scanned).
    std::vector<ShadedStretch> shading;
    bool showShading = true;
    QString availability;

    // Each bucket's percentiles, jitter and poll counts (one per point; empty
    // when the chart's polls were not scanned), and which of them are shown.
    std::vector<BucketShape> shapes;
    LatencyLook latency;

    int fontSize = FontMedium;
    int tableMode = TableGraphOnly;
    bool gridLines = true;
    LegendPosition legend = LegendPosition::Bottom;

    bool operator==(const ChartModel&) const = default;

    // Sets the counts and fills every value with the missing-value marker,
    // keeping series styles for the series that remain.
    void resize(int seriesCount, int pointCount);
    float value(int series, int point) const;
    void setValue(int series, int point, float value);
    bool isMissing(float value) const { return value == missingValue; }
    // The start of a point's bucket as a date value.
    double pointTime(int point) const;
};

// "outage" or "no data".
QString shadedKindText(ShadedStretch::Kind kind);

// A title or extra title line as plain text: without its placement code, and
// "left||right" as "left · right".
QString plainLine(const QString& text);

// Carries the look a user chose (chosen, against the look the program had
// set when they chose it, base) onto a chart the program has just set up
// anew: every setting the user changed takes the user's value, the rest
// stay the program's. Titles are carried only when `titles` is true (the
// same node); data, span, font size and table mode are never touched.
void carryLook(ChartModel& target, const ChartModel& base, const ChartModel& chosen, bool titles);

} // namespace tarnvue
