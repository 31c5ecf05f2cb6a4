#include "ChartPlotter.h"

#include "core/DateValue.h"

#include <QLocale>
#include <cmath>
#include <qcustomplot.h>

namespace tarnvue {

namespace {

// Labels the time axis: ticks stand on whole points, spaced so that they
// fall on round times (quarter hours, hours, days, weeks) for the bucket
// width, with labels that suit the span on view.
class PointTimeTicker : public QCPAxisTicker {
public:
    double firstPointTime = 0;
    int minutesPerPoint = 1;

protected:
    double getTickStep(const QCPRange& range) override {
        static const double niceMinutes[] = {1,     2,     5,     10,     15,     30,    60,
                                             120,   180,   360,   720,    1440,   2880,  10080,
                                             20160, 43200, 86400, 131400, 262800, 525600};
        const double spanMinutes = range.size() * minutesPerPoint;
        const double wanted = spanMinutes / std::max(2, tickCount());
        double step = niceMinutes[std::size(niceMinutes) - 1];
        for (double candidate : niceMinutes) {
            if (candidate >= wanted) {
                step = candidate;
                break;
            }
        }
        m_stepMinutes = step;
        m_spanMinutes = spanMinutes;
        return std::max(1.0, std::round(step / minutesPerPoint));
    }

    int getSubTickCount(double) override { return 0; }

    QString getTickLabel(double tick, const QLocale& locale, QChar, int) override {
        const double value = firstPointTime + tick * minutesPerPoint / 1440.0;
        const QDate date = DateValue::dateOf(value);
        const QTime time = DateValue::timeOf(value);
        const QString day = locale.toString(date, QStringLiteral("d MMM"));
        if (m_stepMinutes >= 1440 || minutesPerPoint >= 1439)
            return m_spanMinutes > 300 * 1440 ? locale.toString(date, QStringLiteral("d MMM yy"))
                                              : day;
        const QString clock = locale.toString(time, QStringLiteral("HH:mm"));
        if (m_spanMinutes > 1440)
            return clock + QLatin1Char('\n') + day;
        return clock;
    }

private:
    double m_stepMinutes = 60;
    double m_spanMinutes = 1440;
};

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

// One device pixel wide on every device: a hairline on paper, not a line
// as thick as a screen pixel.
QPen gridPen() {
    QPen pen(QColor(0, 0, 0, 40), 1, Qt::DotLine);
    pen.setCosmetic(true);
    return pen;
}

// A round upper bound for an automatic scale: 1, 2, 2.5 or 5 times a power of ten.
double niceCeiling(double value) {
    if (value <= 0)
        return 10;
    const double magnitude = std::pow(10.0, std::floor(std::log10(value)));
    for (double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (factor * magnitude >= value)
            return factor * magnitude;
    }
    return 10 * magnitude;
}

} // namespace

ChartPlotter::ChartPlotter(QCustomPlot& plot) : m_plot(plot) {
    m_title = new QCPTextElement(&m_plot);
    m_subTitle = new QCPTextElement(&m_plot);
    m_footer = new QCPTextElement(&m_plot);
    m_plot.xAxis->setTicker(QSharedPointer<PointTimeTicker>::create());
    m_plot.yAxis->setTicker(QSharedPointer<FormatTicker>::create());
    m_plot.yAxis2->setTicker(QSharedPointer<FormatTicker>::create());
    m_plot.yAxis2->setVisible(true);
    m_plot.xAxis->ticker()->setTickCount(7);
    m_plot.setNoAntialiasingOnDrag(true);
    m_plot.setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    for (int i = 0; i < 2; ++i) {
        m_lines[i] = new QCPItemStraightLine(&m_plot);
        m_texts[i] = new QCPItemText(&m_plot);
        m_texts[i]->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
        m_texts[i]->position->setTypeY(QCPItemPosition::ptPlotCoords);
        m_texts[i]->setClipToAxisRect(true);
    }
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
    // Text elements outside the layout belong to nobody else.
    for (QCPTextElement* element : {m_title, m_subTitle, m_footer}) {
        if (!element->layout())
            delete element;
    }
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
         std::initializer_list<QCPLayoutElement*>{m_title, m_subTitle, m_footer, rect}) {
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
    if (!m_footer->text().isEmpty())
        rows.push_back(m_footer);
    for (int row = 0; row < static_cast<int>(rows.size()); ++row)
        layout->addElement(row, 0, rows[static_cast<std::size_t>(row)]);
    for (int row = 0; row < layout->rowCount(); ++row)
        layout->setRowStretchFactor(row, rows[static_cast<std::size_t>(row)] == rect ? 1 : 0.001);
    if (model.legend == LegendPosition::Right)
        rect->insetLayout()->addElement(legend, Qt::AlignRight | Qt::AlignTop);
    legend->setVisible(model.legend != LegendPosition::Hidden);
    legend->setFillOrder(model.legend == LegendPosition::Right ? QCPLayoutGrid::foRowsFirst
                                                               : QCPLayoutGrid::foColumnsFirst);
    legend->setMargins(QMargins(4, 2, 4, 2));
}

void ChartPlotter::applyLook(const ChartModel& model) {
    const int base = basePointSize(model.fontSize);
    QFont font(QStringLiteral("DejaVu Sans"), base);
    QFont titleFont = font;
    titleFont.setPointSize(base + 4);
    titleFont.setBold(true);
    QFont subTitleFont = font;
    subTitleFont.setPointSize(base + 1);
    QFont smallFont = font;
    smallFont.setPointSize(std::max(6, base - 2));

    Qt::Alignment alignment;
    m_title->setText(stripPlacement(model.mainTitle, alignment, Qt::AlignHCenter));
    m_title->setTextFlags(int(alignment | Qt::AlignVCenter));
    m_title->setFont(titleFont);
    m_subTitle->setText(stripPlacement(model.subTitle, alignment, Qt::AlignHCenter));
    m_subTitle->setTextFlags(int(alignment | Qt::AlignVCenter));
    m_subTitle->setFont(subTitleFont);
    m_subTitle->setTextColor(QColor(70, 70, 70));
    m_footer->setText(stripPlacement(model.footer, alignment, Qt::AlignHCenter));
    m_footer->setTextFlags(int(alignment | Qt::AlignVCenter));
    m_footer->setFont(smallFont);
    m_footer->setTextColor(QColor(110, 110, 110));
    m_footer->setMargins(QMargins(6, 0, 6, 4));

    // Series: as many graphs as series, each on its axis.
    while (static_cast<int>(m_graphs.size()) > model.seriesCount) {
        m_plot.removeGraph(m_graphs.back());
        m_graphs.pop_back();
    }
    for (int s = 0; s < model.seriesCount; ++s) {
        QCPAxis* valueAxis = seriesAxis(model, s);
        if (static_cast<int>(m_graphs.size()) <= s)
            m_graphs.push_back(m_plot.addGraph(m_plot.xAxis, valueAxis));
        QCPGraph* graph = m_graphs[static_cast<std::size_t>(s)];
        if (graph->valueAxis() != valueAxis) {
            // QCustomPlot cannot move a graph to another axis: make it anew.
            const auto data = graph->data();
            m_plot.removeGraph(graph);
            graph = m_plot.addGraph(m_plot.xAxis, valueAxis);
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
        switch (model.plotStyle) {
        case PlotStyle::Lines:
            graph->setLineStyle(QCPGraph::lsLine);
            break;
        case PlotStyle::Steps:
            graph->setLineStyle(QCPGraph::lsStepCenter);
            break;
        case PlotStyle::Points:
            graph->setLineStyle(QCPGraph::lsNone);
            graph->setScatterStyle(
                QCPScatterStyle(QCPScatterStyle::ssDisc, style.color, style.color, 5));
            break;
        case PlotStyle::Bars:
            graph->setLineStyle(QCPGraph::lsImpulse);
            pen.setWidthF(std::max(2.0, style.lineWidth * 2));
            break;
        }
        graph->setPen(pen);
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

    layoutRows(model);
}

void ChartPlotter::applyData(const ChartModel& model) {
    for (int s = 0; s < model.seriesCount && s < static_cast<int>(m_graphs.size()); ++s) {
        QVector<QCPGraphData> points;
        points.reserve(model.pointCount);
        for (int p = 0; p < model.pointCount; ++p) {
            const float v = model.value(s, p);
            // The missing-value marker leaves a gap.
            points.append(QCPGraphData(p, model.isMissing(v) ? qQNaN() : double(v)));
        }
        m_graphs[static_cast<std::size_t>(s)]->data()->set(points, true);
    }
}

void ChartPlotter::applyView(const ChartModel& model) {
    const int first = std::max(1, model.firstVisiblePoint) - 1;
    const int count = std::max(1, model.visiblePointCount);
    m_plot.xAxis->setRange(first - 0.5, first + count - 0.5);

    // Left axis: from zero to a round value above the highest visible point.
    if (model.leftManual) {
        m_plot.yAxis->setRange(model.leftMin, model.leftMax);
    } else {
        double top = 0;
        for (int s = 0; s < model.seriesCount - model.rightAxisSeries; ++s) {
            if (!model.series[static_cast<std::size_t>(s)].visible)
                continue;
            for (int p = first; p < std::min(model.pointCount, first + count); ++p) {
                const float v = model.value(s, p);
                if (!model.isMissing(v) && std::isfinite(v))
                    top = std::max(top, double(v));
            }
        }
        for (int i = 0; i < 2; ++i) {
            const Annotation& a = model.annotations[static_cast<std::size_t>(i)];
            if (model.showAnnotations && a.defined && a.axis == 0)
                top = std::max(top, a.value);
        }
        m_plot.yAxis->setRange(0, niceCeiling(top * 1.08));
    }
    if (model.rightManual)
        m_plot.yAxis2->setRange(model.rightMin, model.rightMax);
    else
        m_plot.yAxis2->setRange(0, 101);
}

} // namespace tarnvue
