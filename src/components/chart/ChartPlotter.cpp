#include "ChartPlotter.h"

#include "ChartDataText.h"
#include "TimeTicks.h"
#include "core/DateValue.h"

#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <qcustomplot.h>
#include <system_error>
#include <thread>

namespace tarnvue {

namespace {

// Labels the time axis from the times the chart's points stand for: point p
// is the middle of its bucket, which begins at p - 0.5.
class PointTimeTicker : public QCPAxisTicker {
public:
    double firstPointTime = 0;
    int minutesPerPoint = 1;
    QCPAxis* axis = nullptr;

    double timeAt(double coordinate) const {
        return firstPointTime + (coordinate + 0.5) * minutesPerPoint / DateValue::MinutesPerDay;
    }
    double coordinateOf(double time) const {
        return (time - firstPointTime) * DateValue::MinutesPerDay / minutesPerPoint - 0.5;
    }

    void generate(const QCPRange& range, const QLocale& locale, QChar, int, QVector<double>& ticks,
                  QVector<double>* subTicks, QVector<QString>* tickLabels) override {
        ticks.clear();
        if (subTicks)
            subTicks->clear();
        if (tickLabels)
            tickLabels->clear();
        // The plot's width as laid out for this drawing: the viewport less the
        // margins beside the axis rectangle.
        int pixels = 600;
        if (axis) {
            const QCPAxisRect* rect = axis->axisRect();
            const QMargins margins = rect->margins();
            pixels = axis->parentPlot()->viewport().width() - margins.left() - margins.right();
        }
        for (const TimeTick& tick :
             timeTicks(timeAt(range.lower), timeAt(range.upper), pixels, minutesPerPoint, locale)) {
            ticks.append(coordinateOf(tick.time));
            if (tickLabels)
                tickLabels->append(tick.label);
        }
    }
};

// A round upper bound for an automatic scale: 1, 1.2, 1.5, 2, 2.5, 3, 4, 5,
// 6 or 8 times a power of ten, so that the data fill most of the height.
double niceCeiling(double value) {
    if (value <= 0)
        return 10;
    const double magnitude = std::pow(10.0, std::floor(std::log10(value)));
    for (double factor : {1.0, 1.2, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0}) {
        if (factor * magnitude >= value * (1 - 1e-12))
            return factor * magnitude;
    }
    return 10 * magnitude;
}

// Plain numbers for "||"; "||%" adds a percent sign.
class FormatTicker : public QCPAxisTicker {
public:
    QString suffix;

protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override {
        return QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision) + suffix;
    }
};

QString suffixOf(const QString& format) {
    return format.startsWith(QStringLiteral("||")) ? format.mid(2) : format;
}

Qt::PenStyle penStyle(LineType type) {
    switch (type) {
    case LineType::Dash:
        return Qt::DashLine;
    case LineType::Dot:
        return Qt::DotLine;
    case LineType::DashDot:
        return Qt::DashDotLine;
    case LineType::Solid:
        break;
    }
    return Qt::SolidLine;
}

// A text with a leading "||" stands at the right; "|l" at the left.
QString stripPlacement(const QString& text, Qt::Alignment& alignment, Qt::Alignment fallback) {
    alignment = fallback;
    if (text.startsWith(QStringLiteral("||"))) {
        alignment = Qt::AlignRight;
        return text.mid(2);
    }
    if (text.startsWith(QStringLiteral("|l"))) {
        alignment = Qt::AlignLeft;
        return text.mid(2);
    }
    return text;
}

// Past this many points on view a series has more points than a chart has
// pixels across. QCustomPlot's adaptive sampling already cuts such a series
// to a few points per pixel column, but a jagged line wider than one pixel
// still takes the painter seconds to stroke (16 series of 32,767 points took
// half a minute at 1.5 pixels, and take a fifth of a second at one), and at
// that density a thin line looks the same.
constexpr int DenseSeriesPoints = 1000;

// The pen width a series is drawn with.
double seriesPenWidth(const ChartModel& model, const SeriesStyle& style) {
    const double width =
        style.plotStyle == PlotStyle::Bars ? std::max(2.0, style.lineWidth * 2) : style.lineWidth;
    return model.visiblePointCount > DenseSeriesPoints ? std::min(width, 1.0) : width;
}

// One device pixel wide on every device: a hairline on paper, not a line
// as thick as a screen pixel.
QPen gridPen() {
    QPen pen(QColor(0, 0, 0, 40), 1, Qt::DotLine);
    pen.setCosmetic(true);
    return pen;
}

// A series graph whose line, drawn into a picture, is stroked by several
// threads at once, each into its own band of the picture's rows. Stroking a
// wide, jagged line is most of the time a picture takes. Only a solid line
// wider than a pixel is cut so: its pixels come out exactly as from one
// stroke over the whole picture (a dashed line's dashes and a thin line's
// pixels are placed from where the line enters the band, and would differ).
// On screen, in vector outputs and for short lines it is drawn as usual.
class SeriesGraph : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

protected:
    void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override {
        const int bands = pictureThreads();
        const QPen pen = painter->pen();
        QPaintDevice* device = painter->device();
        const bool banded = bands > 1 && lines.size() >= MinimumBandedPoints && device &&
                            device->devType() == QInternal::Image &&
                            !(painter->modes() & QCPPainter::pmVectorized) &&
                            pen.style() == Qt::SolidLine && pen.widthF() > 1 && !pen.isCosmetic() &&
                            pen.color().alpha() != 0 &&
                            (!painter->hasClipping() || painter->clipRegion().rectCount() == 1);
        if (!banded) {
            QCPGraph::drawLinePlot(painter, lines);
            return;
        }
        applyDefaultAntialiasingHint(painter);
        // What each thread needs, taken here: the threads touch neither the
        // painter nor the picture object.
        auto& image = *static_cast<QImage*>(device);
        uchar* const bits = image.bits();
        const qsizetype stride = image.bytesPerLine();
        const QImage::Format format = image.format();
        const int width = image.width();
        const QTransform transform = painter->transform();
        const QPainter::RenderHints hints = painter->renderHints();
        const QRegion clip = painter->hasClipping() ? painter->clipRegion() : QRegion();
        const auto stroke = [&, pen](int top, int bottom) {
            QImage band(bits + top * stride, width, bottom - top, stride, format);
            QPainter bandPainter(&band);
            bandPainter.setRenderHints(hints);
            bandPainter.setTransform(transform * QTransform::fromTranslate(0, -top));
            if (!clip.isEmpty())
                bandPainter.setClipRegion(clip);
            bandPainter.setPen(pen);
            bandPainter.setBrush(Qt::NoBrush);
            // As QCustomPlot draws a line: a gap at each point that is not
            // a number.
            qsizetype start = 0;
            for (qsizetype i = 0; i <= lines.size(); ++i) {
                if (i == lines.size() || std::isnan(lines[i].x()) || std::isnan(lines[i].y()) ||
                    std::isinf(lines[i].y())) {
                    bandPainter.drawPolyline(lines.constData() + start,
                                             static_cast<int>(i - start));
                    start = i + 1;
                }
            }
        };
        const int rows = image.height();
        std::vector<std::thread> others;
        others.reserve(static_cast<std::size_t>(bands));
        for (int b = 1; b < bands; ++b) {
            try {
                others.emplace_back(stroke, rows * b / bands, rows * (b + 1) / bands);
            } catch (const std::system_error&) {
                // No thread to be had: this one strokes the band too.
                stroke(rows * b / bands, rows * (b + 1) / bands);
            }
        }
        stroke(0, rows / bands);
        for (std::thread& other : others)
            other.join();
    }

private:
    static constexpr qsizetype MinimumBandedPoints = 64;
};

// Markers straddle the top edge of the plot: drawn beyond the axis rectangle
// by a few pixels, where a plain graph is cut off.
class EdgeMarkers : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

protected:
    QRect clipRect() const override { return QCPGraph::clipRect().adjusted(0, -MarkerSize, 0, 0); }

public:
    static constexpr int MarkerSize = 9;
};

struct ShapeLineLook {
    const char* name;
    QColor color;
    Qt::PenStyle pen;
    ShapeFigure figure; // the bucket figure the line follows
};

// In the order of ShapeLine. The band's low edge has no name: the band is
// named once, by its high edge, which holds the fill.
const ShapeLineLook ShapeLines[] = {
    {"Median Response Time", QColor(230, 120, 0), Qt::SolidLine, ShapeFigure::Median},
    {"95th Percentile Response Time", QColor(150, 0, 170), Qt::DashLine, ShapeFigure::P95},
    {"Jitter", QColor(120, 80, 40), Qt::DotLine, ShapeFigure::Jitter},
    {"", QColor(0, 150, 150, 0), Qt::NoPen, ShapeFigure::P5},
    {"Spread (5th-95th percentile)", QColor(0, 150, 150, 0), Qt::NoPen, ShapeFigure::P95},
};

bool shapeLineShown(const LatencyLook& look, ShapeLine line) {
    switch (line) {
    case ShapeLine::Median:
        return look.median;
    case ShapeLine::P95:
        return look.p95;
    case ShapeLine::Jitter:
        return look.jitter;
    case ShapeLine::BandLow:
    case ShapeLine::BandHigh:
        break;
    }
    return look.band;
}

float shapeFigure(const BucketShape& shape, ShapeLine line) {
    return bucketShapeFigure(shape, ShapeLines[int(line)].figure);
}

// A figure's pen. Dense lines are drawn one pixel wide and solid, as dense
// series are: a dash pattern along a jagged line cannot be seen, and costs
// the painter many times a plain line.
QPen shapePen(const ChartModel& model, ShapeLine line) {
    const ShapeLineLook& look = ShapeLines[int(line)];
    const bool dense = model.visiblePointCount > DenseSeriesPoints;
    QPen pen(look.color, dense ? 1.0 : 1.5,
             dense && look.pen != Qt::NoPen ? Qt::SolidLine : look.pen);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

constexpr ShapeLine AllShapeLines[] = {ShapeLine::Median, ShapeLine::P95, ShapeLine::Jitter,
                                       ShapeLine::BandLow, ShapeLine::BandHigh};

// The highest value a bucket shows on the left axis: its visible left-axis
// series and its shown figures. Negative when it shows none.
double bucketTop(const ChartModel& model, int point) {
    double top = -1;
    for (int s = 0; s < model.seriesCount - model.rightAxisSeries; ++s) {
        if (!model.series[static_cast<std::size_t>(s)].visible)
            continue;
        const float v = model.value(s, point);
        if (!model.isMissing(v) && std::isfinite(v))
            top = std::max(top, double(v));
    }
    if (model.shapes.size() == static_cast<std::size_t>(model.pointCount)) {
        const BucketShape& shape = model.shapes[static_cast<std::size_t>(point)];
        for (ShapeLine line : AllShapeLines) {
            const float v = shapeFigure(shape, line);
            if (shapeLineShown(model.latency, line) && v >= 0 && std::isfinite(v))
                top = std::max(top, double(v));
        }
    }
    return top;
}

} // namespace

LeftScale automaticLeftScale(const ChartModel& model) {
    const int first = std::max(1, model.firstVisiblePoint) - 1;
    const int end = std::min(model.pointCount, first + std::max(1, model.visiblePointCount));
    std::vector<double> tops;
    tops.reserve(static_cast<std::size_t>(std::max(0, end - first)));
    for (int p = first; p < end; ++p) {
        if (const double top = bucketTop(model, p); top >= 0)
            tops.push_back(top);
    }
    double reference = 0;
    for (const Annotation& a : model.annotations) {
        if (model.showAnnotations && a.defined && a.axis == 0)
            reference = std::max(reference, a.value);
    }
    LeftScale scale;
    if (!model.latency.clipSpikes || tops.empty()) {
        const double highest = tops.empty() ? 0 : *std::max_element(tops.begin(), tops.end());
        // A little headroom over the highest value, then the next round value.
        scale.top = niceCeiling(std::max(highest, reference) * 1.05);
        return scale;
    }
    // The 99th percentile by nearest rank, ceil(0.99 n), picked without
    // sorting every bucket.
    const auto rank = static_cast<std::ptrdiff_t>((99 * tops.size() + 99) / 100);
    std::nth_element(tops.begin(), tops.begin() + (rank - 1), tops.end());
    scale.top = niceCeiling(std::max(tops[static_cast<std::size_t>(rank - 1)] * 1.1, reference));
    for (int p = first; p < end; ++p) {
        if (const double top = bucketTop(model, p); top > scale.top)
            scale.clipped.push_back({p, static_cast<float>(top)});
    }
    return scale;
}

QVector<QPointF> shapePath(const ChartModel& model, ShapeLine line) {
    QVector<QPointF> path;
    if (model.shapes.size() != static_cast<std::size_t>(model.pointCount))
        return path;
    path.reserve(model.pointCount);
    for (int p = 0; p < model.pointCount; ++p) {
        const float v = shapeFigure(model.shapes[static_cast<std::size_t>(p)], line);
        path.append(QPointF(p, v < 0 || !std::isfinite(v) ? qQNaN() : double(v)));
    }
    return path;
}

ChartPlotter::ChartPlotter(QCustomPlot& plot) : m_plot(plot) {
    m_title = new QCPTextElement(&m_plot);
    m_subTitle = new QCPTextElement(&m_plot);
    m_footer = new QCPTextElement(&m_plot);
    m_footerLeft = new QCPTextElement(&m_plot);
    m_footerRow = new QCPLayoutGrid;
    m_footerRow->addElement(0, 0, m_footerLeft);
    m_footerRow->addElement(0, 1, m_footer);
    m_footerRow->setColumnSpacing(12);
    m_plot.xAxis->setTicker(QSharedPointer<PointTimeTicker>::create());
    m_plot.yAxis->setTicker(QSharedPointer<FormatTicker>::create());
    m_plot.yAxis2->setTicker(QSharedPointer<FormatTicker>::create());
    m_plot.yAxis2->setVisible(true);
    m_plot.setNoAntialiasingOnDrag(true);
    m_plot.setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    for (int i = 0; i < 2; ++i) {
        m_lines[i] = new QCPItemStraightLine(&m_plot);
        m_texts[i] = new QCPItemText(&m_plot);
        m_texts[i]->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
        m_texts[i]->position->setTypeY(QCPItemPosition::ptPlotCoords);
        m_texts[i]->setClipToAxisRect(true);
    }
    // Shading lies under the grid, which lies under the series.
    m_plot.addLayer(QStringLiteral("shading"), m_plot.layer(QStringLiteral("grid")),
                    QCustomPlot::limBelow);
    // The spread band lies under the series; clip markers over them.
    m_plot.addLayer(QStringLiteral("spread"), m_plot.layer(QStringLiteral("main")),
                    QCustomPlot::limBelow);
    m_plot.addLayer(QStringLiteral("markers"), m_plot.layer(QStringLiteral("main")),
                    QCustomPlot::limAbove);
    QObject::connect(&m_plot, &QCustomPlot::beforeReplot, &m_plot,
                     [this] { placeReferenceTexts(); });
}

void ChartPlotter::placeReferenceTexts() {
    // The layout for the plot's present size, as the drawing will use it.
    QCPLayoutGrid* layout = m_plot.plotLayout();
    layout->update(QCPLayoutElement::upPreparation);
    layout->update(QCPLayoutElement::upMargins);
    layout->update(QCPLayoutElement::upLayout);
    const QRect rect = m_plot.axisRect()->rect();
    constexpr int Gap = 3;
    for (QCPItemText* text : m_texts) {
        if (!text->visible() || rect.width() <= 0)
            continue;
        QFont font = m_textFont;
        const double room = rect.width() * 0.98 - 2 * Gap;
        while (font.pointSizeF() > 5 && QFontMetricsF(font).horizontalAdvance(text->text()) > room)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        text->setFont(font);
        const double lineY = text->position->valueAxis()->coordToPixel(text->position->value());
        const bool above = lineY - rect.top() > QFontMetricsF(font).height() + 2 * Gap;
        const Qt::Alignment side = text->positionAlignment() & Qt::AlignHorizontal_Mask;
        text->setPositionAlignment(side | (above ? Qt::AlignBottom : Qt::AlignTop));
        text->setPadding(above ? QMargins(0, 0, 0, Gap) : QMargins(0, Gap, 0, 0));
    }
}

ChartPlotter::~ChartPlotter() {
    // Elements outside the layout belong to nobody else.
    for (QCPLayoutElement* element :
         std::initializer_list<QCPLayoutElement*>{m_title, m_subTitle, m_footerRow}) {
        if (!element->layout())
            delete element;
    }
}

ChartFonts chartFonts(int fontSize) {
    const int base = ChartPlotter::basePointSize(fontSize);
    ChartFonts fonts;
    fonts.label = QFont(QStringLiteral("DejaVu Sans"), base);
    fonts.title = fonts.label;
    fonts.title.setPointSize(base + 4);
    fonts.title.setBold(true);
    fonts.subTitle = fonts.label;
    fonts.subTitle.setPointSize(base + 1);
    fonts.small = fonts.label;
    fonts.small.setPointSize(std::max(6, base - 2));
    return fonts;
}

void loadChartFonts(int fontSize) {
    const ChartFonts fonts = chartFonts(fontSize);
    QImage scratch(64, 32, QImage::Format_RGB32);
    QPainter painter(&scratch);
    for (const QFont& font : {fonts.label, fonts.title, fonts.subTitle, fonts.small}) {
        painter.setFont(font);
        painter.drawText(0, 24, QStringLiteral("Response time 0123456789 %:.- Nov Made"));
    }
}

namespace {
std::atomic<int> pictureThreadCount{
    std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4)};
} // namespace

int pictureThreads() {
    return pictureThreadCount;
}

void setPictureThreads(int threads) {
    pictureThreadCount = std::clamp(threads, 1, 64);
}

int ChartPlotter::basePointSize(int fontSize) {
    switch (fontSize) {
    case FontLarge:
        return 12;
    case FontSmall:
        return 8;
    default:
        return 10;
    }
}

QCPAxis* ChartPlotter::timeAxis() const {
    return m_plot.xAxis;
}

QCPAxis* ChartPlotter::seriesAxis(const ChartModel& model, int series) const {
    return series >= model.seriesCount - model.rightAxisSeries ? m_plot.yAxis2 : m_plot.yAxis;
}

void ChartPlotter::layoutRows(const ChartModel& model) {
    QCPLayoutGrid* layout = m_plot.plotLayout();
    QCPAxisRect* rect = m_plot.axisRect();
    QCPLegend* legend = m_plot.legend;
    for (QCPLayoutElement* element :
         std::initializer_list<QCPLayoutElement*>{m_title, m_subTitle, m_footerRow, rect}) {
        if (element->layout())
            layout->take(element);
    }
    if (legend->layout())
        legend->layout()->take(legend);
    layout->simplify();

    std::vector<QCPLayoutElement*> rows;
    if (!m_title->text().isEmpty())
        rows.push_back(m_title);
    if (!m_subTitle->text().isEmpty())
        rows.push_back(m_subTitle);
    if (model.legend == LegendPosition::Top)
        rows.push_back(legend);
    rows.push_back(rect);
    if (model.legend == LegendPosition::Bottom)
        rows.push_back(legend);
    if (!m_footer->text().isEmpty() || !m_footerLeft->text().isEmpty())
        rows.push_back(m_footerRow);
    for (int row = 0; row < static_cast<int>(rows.size()); ++row)
        layout->addElement(row, 0, rows[static_cast<std::size_t>(row)]);
    for (int row = 0; row < layout->rowCount(); ++row)
        layout->setRowStretchFactor(row, rows[static_cast<std::size_t>(row)] == rect ? 1 : 0.001);
    if (model.legend == LegendPosition::Right)
        rect->insetLayout()->addElement(legend, Qt::AlignRight | Qt::AlignTop);
    legend->setVisible(model.legend != LegendPosition::Hidden);
    // Above or below the plot, four names a row: the chart's own series, then
    // the spread figures shown on a row of their own.
    legend->setWrap(model.legend == LegendPosition::Right ? 0 : 4);
    legend->setFillOrder(model.legend == LegendPosition::Right ? QCPLayoutGrid::foRowsFirst
                                                               : QCPLayoutGrid::foColumnsFirst);
    legend->setMargins(QMargins(4, 2, 4, 2));
}

void ChartPlotter::applyLook(const ChartModel& model) {
    const auto [font, titleFont, subTitleFont, smallFont] = chartFonts(model.fontSize);

    Qt::Alignment alignment;
    m_title->setText(stripPlacement(model.mainTitle, alignment, Qt::AlignHCenter));
    m_title->setTextFlags(int(alignment | Qt::AlignVCenter));
    m_title->setFont(titleFont);
    m_subTitle->setText(stripPlacement(model.subTitle, alignment, Qt::AlignHCenter));
    m_subTitle->setTextFlags(int(alignment | Qt::AlignVCenter));
    m_subTitle->setFont(subTitleFont);
    m_subTitle->setTextColor(QColor(70, 70, 70));
    // The extra title line: "left||right", or one text placed by its code.
    QString left = model.footer;
    QString right;
    const qsizetype split = model.footer.indexOf(QStringLiteral("||"));
    if (split >= 0) {
        left = model.footer.left(split);
        right = model.footer.mid(split + 2);
    }
    if (!m_madeAt.isEmpty())
        left += (left.isEmpty() ? QString() : QStringLiteral("   ")) + m_madeAt;
    m_footerLeft->setText(left);
    m_footerLeft->setTextFlags(
        int((right.isEmpty() ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter));
    m_footer->setText(right);
    m_footer->setTextFlags(int(Qt::AlignRight | Qt::AlignVCenter));
    for (QCPTextElement* part : {m_footerLeft, m_footer}) {
        part->setFont(smallFont);
        part->setTextColor(QColor(110, 110, 110));
        part->setMargins(QMargins(6, 0, 6, 4));
    }
    // The right part only as wide as its text; the left takes the rest.
    m_footerRow->setColumnStretchFactor(0, left.isEmpty() ? 0.001 : 1);
    m_footerRow->setColumnStretchFactor(1, right.isEmpty() ? 0.001 : (left.isEmpty() ? 1 : 0.001));

    // Series: as many graphs as series, each on its axis.
    while (static_cast<int>(m_graphs.size()) > model.seriesCount) {
        m_plot.removeGraph(m_graphs.back());
        m_graphs.pop_back();
    }
    for (int s = 0; s < model.seriesCount; ++s) {
        QCPAxis* valueAxis = seriesAxis(model, s);
        if (static_cast<int>(m_graphs.size()) <= s)
            m_graphs.push_back(new SeriesGraph(m_plot.xAxis, valueAxis));
        QCPGraph* graph = m_graphs[static_cast<std::size_t>(s)];
        if (graph->valueAxis() != valueAxis) {
            // QCustomPlot cannot move a graph to another axis: make it anew.
            const auto data = graph->data();
            m_plot.removeGraph(graph);
            graph = new SeriesGraph(m_plot.xAxis, valueAxis);
            graph->setData(data);
            m_graphs[static_cast<std::size_t>(s)] = graph;
        }
        const SeriesStyle& style = model.series[static_cast<std::size_t>(s)];
        QPen pen(style.color, style.lineWidth, penStyle(style.lineType));
        pen.setCapStyle(Qt::FlatCap);
        graph->setName(style.label);
        graph->setVisible(style.visible);
        graph->setBrush(Qt::NoBrush);
        graph->setScatterStyle(QCPScatterStyle::ssNone);
        switch (style.plotStyle) {
        case PlotStyle::Lines:
        case PlotStyle::Steps: // the data hold the steps' corners
            graph->setLineStyle(QCPGraph::lsLine);
            break;
        case PlotStyle::Points:
            graph->setLineStyle(QCPGraph::lsNone);
            graph->setScatterStyle(
                QCPScatterStyle(QCPScatterStyle::ssDisc, style.color, style.color, 5));
            break;
        case PlotStyle::Bars:
            graph->setLineStyle(QCPGraph::lsImpulse);
            break;
        }
        pen.setWidthF(seriesPenWidth(model, style));
        graph->setPen(pen);
        graph->setAdaptiveSampling(true);
        if (style.visible)
            graph->addToLegend();
        else
            graph->removeFromLegend();
    }

    // Axes.
    const auto styleAxis = [&](QCPAxis* axis, const QString& label, const QColor& color,
                               const QString& format) {
        axis->setLabel(label);
        axis->setLabelFont(font);
        axis->setTickLabelFont(smallFont);
        axis->setLabelColor(color);
        axis->setTickLabelColor(color);
        QPen pen(color);
        axis->setBasePen(pen);
        axis->setTickPen(pen);
        axis->setSubTickPen(pen);
        if (auto ticker = axis->ticker().dynamicCast<FormatTicker>())
            ticker->suffix = suffixOf(format);
        axis->grid()->setVisible(model.gridLines);
        axis->grid()->setPen(gridPen());
        axis->grid()->setZeroLinePen(Qt::NoPen);
    };
    styleAxis(m_plot.yAxis, model.leftLabel, model.leftColor, model.leftTickFormat);
    styleAxis(m_plot.yAxis2, model.rightLabel, model.rightColor, model.rightTickFormat);
    m_plot.yAxis2->grid()->setVisible(false);
    m_plot.yAxis2->setVisible(model.rightAxisSeries > 0 || !model.rightLabel.isEmpty());

    QCPAxis* x = m_plot.xAxis;
    x->setLabel(model.xAxisLabel);
    x->setLabelFont(font);
    x->setTickLabelFont(smallFont);
    x->grid()->setVisible(model.gridLines);
    x->grid()->setPen(gridPen());
    if (auto ticker = x->ticker().dynamicCast<PointTimeTicker>()) {
        ticker->firstPointTime = model.firstPointTime;
        ticker->minutesPerPoint = std::max(1, model.minutesPerPoint);
        ticker->axis = x;
    }

    m_plot.legend->setFont(smallFont);
    m_plot.legend->setBrush(QColor(255, 255, 255, 220));
    m_plot.legend->setBorderPen(QPen(QColor(0, 0, 0, 60)));

    // Reference lines.
    for (int i = 0; i < 2; ++i) {
        const Annotation& a = model.annotations[static_cast<std::size_t>(i)];
        const bool shown = model.showAnnotations && a.defined;
        QCPAxis* axis = a.axis == 1 ? m_plot.yAxis2 : m_plot.yAxis;
        m_lines[i]->setVisible(shown);
        m_texts[i]->setVisible(shown);
        m_lines[i]->point1->setAxes(m_plot.xAxis, axis);
        m_lines[i]->point2->setAxes(m_plot.xAxis, axis);
        m_lines[i]->point1->setCoords(0, a.value);
        m_lines[i]->point2->setCoords(1, a.value);
        m_lines[i]->setPen(QPen(a.color, 1.5, penStyle(a.lineType)));
        Qt::Alignment place;
        const QString text = stripPlacement(a.text, place, Qt::AlignRight);
        m_texts[i]->setText(text);
        m_texts[i]->setFont(smallFont);
        m_textFont = smallFont;
        m_texts[i]->setColor(a.color);
        m_texts[i]->position->setAxes(m_plot.xAxis, axis);
        m_texts[i]->position->setCoords(place == Qt::AlignLeft ? 0.01 : 0.99, a.value);
        m_texts[i]->setPositionAlignment((place == Qt::AlignLeft ? Qt::AlignLeft : Qt::AlignRight) |
                                         Qt::AlignBottom);
    }

    applyShapeLook(model);
    applyShading(model);
    layoutRows(model);
}

void ChartPlotter::dropShapeGraphs() {
    for (QCPGraph*& graph : m_shapeGraphs) {
        if (graph)
            m_plot.removeGraph(graph);
        graph = nullptr;
    }
    if (m_clipMarkers)
        m_plot.removeGraph(m_clipMarkers);
    m_clipMarkers = nullptr;
}

void ChartPlotter::applyShapeLook(const ChartModel& model) {
    // The figures' graphs exist only while the chart shows one, and always
    // come after the series' graphs.
    const bool scanned = model.shapes.size() == static_cast<std::size_t>(model.pointCount);
    const bool wanted = model.latency.clipSpikes || (scanned && model.latency.any());
    // The markers are made last: a series graph after them came later.
    const bool afterSeries =
        m_clipMarkers && m_plot.graph(m_plot.graphCount() - 1) == m_clipMarkers;
    if (!wanted || !afterSeries)
        dropShapeGraphs();
    if (!wanted)
        return;
    if (!m_clipMarkers) {
        for (ShapeLine line : AllShapeLines) {
            QCPGraph* graph = m_plot.addGraph(m_plot.xAxis, m_plot.yAxis);
            graph->setAdaptiveSampling(true);
            if (line == ShapeLine::BandLow || line == ShapeLine::BandHigh)
                graph->setLayer(QStringLiteral("spread"));
            m_shapeGraphs[int(line)] = graph;
        }
        m_shapeGraphs[int(ShapeLine::BandHigh)]->setChannelFillGraph(
            m_shapeGraphs[int(ShapeLine::BandLow)]);
        m_clipMarkers = new EdgeMarkers(m_plot.xAxis, m_plot.yAxis);
        m_clipMarkers->setLayer(QStringLiteral("markers"));
        m_clipMarkers->setLineStyle(QCPGraph::lsNone);
        m_clipMarkers->setPen(QPen(QColor(200, 0, 0)));
        m_clipMarkers->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssTriangleInverted,
                                                       QColor(200, 0, 0), QColor(255, 90, 90),
                                                       EdgeMarkers::MarkerSize));
        m_clipMarkers->removeFromLegend();
        m_clipMarkers->setVisible(false);
    }
    for (ShapeLine line : AllShapeLines) {
        QCPGraph* graph = m_shapeGraphs[int(line)];
        const ShapeLineLook& look = ShapeLines[int(line)];
        const bool shown = scanned && shapeLineShown(model.latency, line);
        graph->setVisible(shown);
        graph->setName(QString::fromUtf8(look.name));
        graph->setPen(shapePen(model, line));
        if (line == ShapeLine::BandHigh)
            graph->setBrush(QColor(0, 150, 150, 45));
        if (shown && line != ShapeLine::BandLow)
            graph->addToLegend();
        else
            graph->removeFromLegend();
    }
}

std::vector<ShadingBand> shadingBands(const ChartModel& model) {
    std::vector<ShadingBand> bands;
    if (!model.showShading)
        return bands;
    const double perDay = DateValue::MinutesPerDay / std::max(1, model.minutesPerPoint);
    // The start of bucket p, pointTime(p), stands at p - 0.5.
    const auto coordinate = [&](double time) {
        return (time - model.firstPointTime) * perDay - 0.5;
    };
    for (const ShadedStretch& stretch : model.shading) {
        ShadingBand band{coordinate(stretch.begin), coordinate(stretch.end), stretch.kind};
        // Beyond the data nothing is drawn; a stretch shorter than a bucket
        // still shows as a thin band.
        band.from = std::max(band.from, -0.5);
        band.to = std::min(band.to, model.pointCount - 0.5);
        if (band.to < band.from)
            continue;
        if (band.to - band.from < 0.05)
            band.to = band.from + 0.05;
        bands.push_back(band);
    }
    return bands;
}

void ChartPlotter::applyShading(const ChartModel& model) {
    const std::vector<ShadingBand> wanted = shadingBands(model);
    while (m_bands.size() > wanted.size()) {
        m_plot.removeItem(m_bands.back());
        m_bands.pop_back();
    }
    QCPLayer* layer = m_plot.layer(QStringLiteral("shading"));
    while (m_bands.size() < wanted.size()) {
        auto* rect = new QCPItemRect(&m_plot);
        rect->setLayer(layer);
        rect->setSelectable(false);
        rect->setPen(Qt::NoPen);
        rect->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
        rect->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
        rect->setClipToAxisRect(true);
        // Upright bands need no smoothing, and without it each redraw of a
        // chart with many outages costs a fraction of what it did.
        rect->setAntialiased(false);
        m_bands.push_back(rect);
    }
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        QCPItemRect* rect = m_bands[i];
        const ShadingBand& band = wanted[i];
        rect->topLeft->setAxes(m_plot.xAxis, m_plot.yAxis);
        rect->bottomRight->setAxes(m_plot.xAxis, m_plot.yAxis);
        rect->topLeft->setCoords(band.from, 0);
        rect->bottomRight->setCoords(band.to, 1);
        rect->setBrush(band.kind == ShadedStretch::Outage ? QColor(230, 60, 60, 50)
                                                          : QColor(128, 128, 128, 50));
    }
}

QVector<QPointF> seriesPath(const ChartModel& model, int series) {
    // Point p stands at the middle of its bucket, which runs from p - 0.5 to
    // p + 0.5 on the time axis.
    const bool steps = model.series[static_cast<std::size_t>(series)].plotStyle == PlotStyle::Steps;
    QVector<QPointF> path;
    path.reserve(steps ? 2 * model.pointCount : model.pointCount);
    for (int p = 0; p < model.pointCount; ++p) {
        const float v = model.value(series, p);
        // The missing-value marker leaves a gap.
        if (model.isMissing(v)) {
            path.append(QPointF(p, qQNaN()));
        } else if (steps) {
            // The bucket's value held across the whole bucket.
            path.append(QPointF(p - 0.5, double(v)));
            path.append(QPointF(p + 0.5, double(v)));
        } else {
            path.append(QPointF(p, double(v)));
        }
    }
    return path;
}

namespace {

void setPath(QCPGraph& graph, const QVector<QPointF>& path) {
    QVector<QCPGraphData> data;
    data.reserve(path.size());
    for (const QPointF& at : path)
        data.append(QCPGraphData(at.x(), at.y()));
    graph.data()->set(data, true);
}

} // namespace

void ChartPlotter::applyData(const ChartModel& model) {
    for (int s = 0; s < model.seriesCount && s < static_cast<int>(m_graphs.size()); ++s)
        setPath(*m_graphs[static_cast<std::size_t>(s)], seriesPath(model, s));
    // Figures switched off cost no path.
    for (ShapeLine line : AllShapeLines) {
        if (QCPGraph* graph = m_shapeGraphs[int(line)])
            setPath(*graph, graph->visible() ? shapePath(model, line) : QVector<QPointF>());
    }
}

void ChartPlotter::applyView(const ChartModel& model) {
    const int first = std::max(1, model.firstVisiblePoint) - 1;
    const int count = std::max(1, model.visiblePointCount);
    m_plot.xAxis->setRange(first - 0.5, first + count - 0.5);
    // Zooming in or out can make the series dense or sparse.
    for (int s = 0; s < model.seriesCount && s < static_cast<int>(m_graphs.size()); ++s) {
        QCPGraph* graph = m_graphs[static_cast<std::size_t>(s)];
        QPen pen = graph->pen();
        pen.setWidthF(seriesPenWidth(model, model.series[static_cast<std::size_t>(s)]));
        graph->setPen(pen);
    }
    for (ShapeLine line : AllShapeLines) {
        if (QCPGraph* graph = m_shapeGraphs[int(line)]) {
            graph->setPen(shapePen(model, line));
            graph->setAntialiasedFill(model.visiblePointCount <= DenseSeriesPoints);
        }
    }

    // Left axis: from zero to a round value above the highest visible point,
    // or above most of them when spikes are clipped.
    m_clipped.clear();
    if (model.leftManual) {
        m_plot.yAxis->setRange(model.leftMin, model.leftMax);
    } else {
        LeftScale scale = automaticLeftScale(model);
        m_plot.yAxis->setRange(0, scale.top);
        m_clipped = std::move(scale.clipped);
    }
    if (m_clipMarkers) {
        QVector<QCPGraphData> marks;
        marks.reserve(static_cast<qsizetype>(m_clipped.size()));
        for (const LeftScale::Clipped& c : m_clipped)
            marks.append(QCPGraphData(c.point, m_plot.yAxis->range().upper));
        m_clipMarkers->data()->set(marks, true);
        m_clipMarkers->setVisible(!m_clipped.empty());
    }
    if (model.rightManual)
        m_plot.yAxis2->setRange(model.rightMin, model.rightMax);
    else
        m_plot.yAxis2->setRange(0, 101);
}

} // namespace tarnvue
