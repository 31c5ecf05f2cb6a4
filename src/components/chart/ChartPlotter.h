#pragma once

#include "ChartModel.h"

#include <QFont>
#include <QPointF>
#include <QPointer>
#include <QVector>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPTextElement;
class QCPLayoutGrid;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemRect;
class QCPAxis;

namespace tarnvue {

// The path a series is drawn along: (time axis position, value) in order,
// NaN for a gap. Point p stands at p, its bucket from p - 0.5 to p + 0.5; a
// series drawn as steps holds each bucket's value across the bucket.
QVector<QPointF> seriesPath(const ChartModel& model, int series);

// A shaded band on the time axis: from `from` to `to` in the coordinates the
// series are drawn in (bucket p spans p - 0.5 to p + 0.5).
struct ShadingBand {
    double from = 0;
    double to = 0;
    ShadedStretch::Kind kind = ShadedStretch::Outage;
};

// The bands the chart shades: none when shading is off.
std::vector<ShadingBand> shadingBands(const ChartModel& model);

// The left axis's automatic scale over the points on view: from 0 to `top`.
// Without clipping, `top` is a round value a little above the highest value
// drawn on the left axis. With spikes clipped it is 1.1 times the 99th
// percentile (nearest rank) of the buckets' highest values, rounded up to a
// round value, and `clipped` lists the points on view whose highest value
// lies above it, in order, with that value.
struct LeftScale {
    double top = 10;
    struct Clipped {
        int point = 0;
        float value = 0;
    };
    std::vector<Clipped> clipped;
};
LeftScale automaticLeftScale(const ChartModel& model);

// A bucket figure drawn as a line of its own on the left axis.
enum class ShapeLine { Median, P95, Jitter, BandLow, BandHigh };
// The line's path, as seriesPath's (NaN for a bucket without the figure).
QVector<QPointF> shapePath(const ChartModel& model, ShapeLine line);

// The fonts a chart is drawn with at its font size (FontLarge, FontMedium,
// FontSmall): the axis labels', the title's, the subtitle's, and the small
// one of tick labels, legend, footer and reference texts.
struct ChartFonts {
    QFont label;
    QFont title;
    QFont subTitle;
    QFont small;
};
ChartFonts chartFonts(int fontSize);

// Loads the chart fonts of that size and their letters and digits, as the
// first picture would; safe on any thread. A program that draws one picture
// after a long read does this while it reads.
void loadChartFonts(int fontSize);

// How many threads a picture's lines are stroked on and its PNG bytes
// compressed on: one a core, at most four. Tests set one, to compare.
int pictureThreads();
void setPictureThreads(int threads);

// Draws a ChartModel on a QCustomPlot: titles, series, axes, the time axis,
// the reference lines, the legend and the footer. It holds no state of the
// chart's own; every call reads the model it is given.
class ChartPlotter {
public:
    explicit ChartPlotter(QCustomPlot& plot);
    ~ChartPlotter();
    ChartPlotter(const ChartPlotter&) = delete;
    ChartPlotter& operator=(const ChartPlotter&) = delete;

    // Everything that is not data: texts, colours, styles, fonts, layout.
    void applyLook(const ChartModel& model);
    // The values of every series.
    void applyData(const ChartModel& model);
    // The visible run of points and the axis scales that follow from it.
    void applyView(const ChartModel& model);

    // While not empty, the extra title line also says when the picture was
    // made ("made 7 Dec 2026 14:02"): set for outputs, empty on screen.
    void setMadeAt(const QString& text) { m_madeAt = text; }

    // The point sizes of plain text for the three font sizes.
    static int basePointSize(int fontSize);

    QCPAxis* timeAxis() const;

    // The line drawn for a bucket figure, shown or not, and the markers on
    // top of clipped buckets, and the buckets they mark. The graphs exist
    // (after the series' own) only while a figure is shown or spikes are
    // clipped.
    QCPGraph* shapeGraph(ShapeLine line) const { return m_shapeGraphs[int(line)]; }
    QCPGraph* clipMarkers() const { return m_clipMarkers; }
    const std::vector<LeftScale::Clipped>& clippedPoints() const { return m_clipped; }

    // The shaded bands as drawn, behind the series and the grid.
    const std::vector<QCPItemRect*>& bands() const { return m_bands; }

    // Puts each reference line's text just above its line (below it where
    // the line runs along the top), inside the plot, in a smaller font where
    // the plot is too narrow for it. Runs before every drawing on screen, when
    // the plot's size is known; pictures of other sizes call it for theirs.
    void placeReferenceTexts();

private:
    QCPAxis* seriesAxis(const ChartModel& model, int series) const;
    void layoutRows(const ChartModel& model);
    void applyShading(const ChartModel& model);
    void applyShapeLook(const ChartModel& model);
    void dropShapeGraphs();

    QCustomPlot& m_plot;
    QCPTextElement* m_title = nullptr;
    QCPTextElement* m_subTitle = nullptr;
    QCPTextElement* m_footer = nullptr;     // right-hand part of the extra title line
    QCPTextElement* m_footerLeft = nullptr; // its left-hand part
    QCPLayoutGrid* m_footerRow = nullptr;
    QString m_madeAt;
    std::vector<QCPGraph*> m_graphs;
    std::vector<QCPItemRect*> m_bands;
    QCPGraph* m_shapeGraphs[5] = {};
    QCPGraph* m_clipMarkers = nullptr;
    std::vector<LeftScale::Clipped> m_clipped;
    QCPItemStraightLine* m_lines[2] = {nullptr, nullptr};
    QCPItemText* m_texts[2] = {nullptr, nullptr};
    QFont m_textFont;
};

} // namespace tarnvue
