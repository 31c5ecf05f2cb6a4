#include "ChartControl.h"

#include "ChartCustomizeDialog.h"
#include "ChartDataText.h"
#include "ChartExportDialog.h"
#include "ChartFile.h"
#include "ChartPlotter.h"
#include "ChartReadout.h"
#include "PngImage.h"
#include "core/Clock.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/OutputFile.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPrintDialog>
#include <QPrinter>
#include <QRubberBand>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <qcustomplot.h>

namespace tarnvue {

namespace {

void checkSeries(const ChartModel& model, int series) {
    if (series < 0 || series >= model.seriesCount)
        throw Error(QStringLiteral("Subscript out of range"));
}

// A picture of the chart at a given size, drawn by QCustomPlot itself.
void paintChart(QCustomPlot& plot, QPaintDevice& device, int width, int height) {
    QCPPainter painter(&device);
    plot.toPainter(&painter, width, height);
}

// The highlighted bucket of the read-out: a translucent band over the plot,
// a widget of its own so that no output of the plot ever draws it.
class BucketHighlight : public QWidget {
public:
    explicit BucketHighlight(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("ChartReadoutHighlight"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(30, 80, 200, 45));
        painter.setPen(QColor(30, 80, 200, 140));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

std::optional<ReadoutKey> readoutKeyOf(const QKeyEvent& key) {
    if (key.modifiers() & ~Qt::KeypadModifier)
        return std::nullopt;
    switch (key.key()) {
    case Qt::Key_Left:
        return ReadoutKey::Left;
    case Qt::Key_Right:
        return ReadoutKey::Right;
    case Qt::Key_Home:
        return ReadoutKey::Home;
    case Qt::Key_End:
        return ReadoutKey::End;
    default:
        return std::nullopt;
    }
}

} // namespace

ChartControl::ChartControl(QWidget* parent)
    : QWidget(parent), m_splitter(new QSplitter(Qt::Vertical, this)),
      m_plot(new QCustomPlot(m_splitter)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
    m_splitter->addWidget(m_plot);
    m_splitter->setChildrenCollapsible(false);
    // QCustomPlot queues a drawing of its empty plot when it is made. This
    // control draws when it has something to show (flush, or when shown),
    // so a chart only written to a data file never lays out any text.
    QCoreApplication::removePostedEvents(m_plot, QEvent::MetaCall);

    m_plot->setObjectName(QStringLiteral("ChartPlot"));
    m_plot->installEventFilter(this);
    m_plot->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_plot->setFocusPolicy(Qt::StrongFocus);
    // The read-out follows the mouse over the plot.
    m_plot->setMouseTracking(true);
    m_plotter = std::make_unique<ChartPlotter>(*m_plot);
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this,
            [this](QMouseEvent*) { emit customizeRequested(); });
    reset();
}

ChartControl::~ChartControl() = default;

void ChartControl::setModel(const ChartModel& model) {
    m_model = model;
    m_pending = AllChanged;
    flush();
}

void ChartControl::reset() {
    ChartModel fresh;
    // The font size, table mode, grid lines and legend are the user's and
    // survive a new chart.
    fresh.fontSize = m_model.fontSize;
    fresh.tableMode = m_model.tableMode;
    fresh.gridLines = m_model.gridLines;
    fresh.legend = m_model.legend;
    fresh.showShading = m_model.showShading;
    fresh.latency = m_model.latency;
    m_model = fresh;
    changed(AllChanged);
}

QTableWidget* ChartControl::table() const {
    if (!m_table) {
        m_table = new QTableWidget(m_splitter);
        m_splitter->addWidget(m_table);
        m_splitter->setStretchFactor(0, 3);
        m_splitter->setStretchFactor(1, 2);
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_table->verticalHeader()->setVisible(false);
        m_table->setAlternatingRowColors(true);
        m_table->hide();
        applyTableFont();
    }
    return m_table;
}

void ChartControl::applyTableFont() const {
    QFont font = m_table->font();
    font.setPointSize(ChartPlotter::basePointSize(m_model.fontSize));
    if (m_table->font() != font) {
        m_table->setFont(font);
        m_table->horizontalHeader()->setFont(font);
        m_table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
        // Times and headings keep their whole text at every font size.
        m_table->resizeColumnsToContents();
    }
}

void ChartControl::applyLook() {
    m_plotter->applyLook(m_model);
    if (m_table)
        applyTableFont();
    showTable(m_model.tableMode == TableGraphWithTable);
}

void ChartControl::showTable(bool show) {
    if (show == (m_table && !m_table->isHidden()))
        return;
    table()->setVisible(show);
    // The graph keeps the larger share; the table scrolls.
    const int total = std::max(2, m_splitter->height());
    if (show)
        m_splitter->setSizes({total * 3 / 5, total - total * 3 / 5});
}

void ChartControl::applyData() {
    m_plotter->applyData(m_model);
}

void ChartControl::applyView() {
    m_plotter->applyView(m_model);
}

void ChartControl::changed(int what) {
    m_pending |= what;
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &ChartControl::queuedFlush, Qt::QueuedConnection);
    }
}

void ChartControl::queuedFlush() {
    m_flushQueued = false;
    flush();
}

void ChartControl::flush() {
    const int pending = m_pending;
    m_pending = 0;
    if (pending & LookChanged)
        applyLook();
    // Steps are drawn from the values, so a change of style redraws them.
    if (pending & (DataChanged | LookChanged))
        applyData();
    if (pending & (ViewChanged | DataChanged | LookChanged))
        applyView();
    if (pending & TableChanged)
        fillTable();
    // One drawing for any number of changes; a hidden chart draws when shown.
    if (pending != 0 || m_replotOnShow) {
        m_replotOnShow = !m_plot->isVisible();
        if (!m_replotOnShow)
            m_plot->replot();
    }
    // A new chart ends the read-out; a new view or layout moves it.
    if (pending & DataChanged)
        hideReadout();
    else if (pending & (ViewChanged | LookChanged))
        followReadout();
}

namespace {

// A table cell that sorts by its number (time or value), not by its text; a
// gap sorts below every value.
class SortedItem : public QTableWidgetItem {
public:
    SortedItem(const QString& text, double key) : QTableWidgetItem(text) {
        setData(Qt::UserRole, key);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

} // namespace

void ChartControl::fillTable() {
    if (m_model.tableMode != TableGraphWithTable) {
        if (m_table) {
            m_table->clear();
            m_table->setRowCount(0);
            m_table->setColumnCount(0);
        }
        return;
    }
    table();
    const QStringList headers = tableHeadings(m_model);
    const std::vector<ShapeFigure> figures = tableShapeFigures(m_model);
    m_table->setUpdatesEnabled(false);
    m_table->setSortingEnabled(false);
    m_table->clear();
    m_table->setColumnCount(static_cast<int>(headers.size()));
    m_table->setHorizontalHeaderLabels(headers);
    const int rows = tableRowCount(m_model, DateValue::fromDateTime(currentDateTime()));
    m_table->setRowCount(rows);
    const QLocale locale;
    for (int p = 0; p < rows; ++p) {
        m_table->setItem(p, 0, new SortedItem(tableTimeText(m_model, p, locale), p));
        for (int s = 0; s < m_model.seriesCount; ++s) {
            const float v = m_model.value(s, p);
            auto* item = new SortedItem(tableValueText(m_model, s, p, locale),
                                        m_model.isMissing(v) ? -HUGE_VAL : double(v));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(p, s + 1, item);
        }
        for (std::size_t c = 0; c < figures.size(); ++c) {
            const float v = shapeFigureValue(m_model, figures[c], p);
            auto* item = new SortedItem(tableShapeText(m_model, figures[c], p, locale),
                                        v < 0 ? -HUGE_VAL : double(v));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(p, m_model.seriesCount + 1 + static_cast<int>(c), item);
        }
    }
    // A click on a heading sorts by it; a new fill starts in time order.
    m_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->resizeColumnsToContents();
    m_table->setUpdatesEnabled(true);
}

// Data ---------------------------------------------------------------------

void ChartControl::setSeriesCount(int count) {
    if (count < 0 || count > ChartFileMaxSeries)
        throw Error(QStringLiteral("Invalid property value"));
    m_model.resize(count, m_model.pointCount);
    changed(AllChanged);
}

void ChartControl::setPointCount(int count) {
    if (count < 0 || count > ChartFileMaxPoints)
        throw Error(QStringLiteral("Invalid property value"));
    m_model.resize(m_model.seriesCount, count);
    changed(AllChanged);
}

void ChartControl::setVisiblePointCount(int count) {
    m_model.visiblePointCount = std::clamp(count, 0, m_model.pointCount);
    m_model.firstVisiblePoint =
        std::clamp(m_model.firstVisiblePoint, 1,
                   std::max(1, m_model.pointCount - m_model.visiblePointCount + 1));
    changed(ViewChanged);
}

void ChartControl::setFirstVisiblePoint(int point) {
    m_model.firstVisiblePoint =
        std::clamp(point, 1, std::max(1, m_model.pointCount - m_model.visiblePointCount + 1));
    changed(ViewChanged);
}

void ChartControl::setValue(int series, int point, float value) {
    // Cheap on purpose: a refresh hands over every value, then asks for one
    // rebuild.
    m_model.setValue(series, point, value);
}

void ChartControl::setMissingValue(float marker) {
    for (float& v : m_model.values) {
        if (v == m_model.missingValue)
            v = marker;
    }
    m_model.missingValue = marker;
}

// Series and texts -----------------------------------------------------------

void ChartControl::setSeriesLabel(int series, const QString& label) {
    checkSeries(m_model, series);
    m_model.series[static_cast<std::size_t>(series)].label = label;
    changed(LookChanged);
}

QString ChartControl::seriesLabel(int series) const {
    checkSeries(m_model, series);
    return m_model.series[static_cast<std::size_t>(series)].label;
}

void ChartControl::setSeriesColor(int series, const QColor& color) {
    checkSeries(m_model, series);
    m_model.series[static_cast<std::size_t>(series)].color = color;
    changed(LookChanged);
}

QColor ChartControl::seriesColor(int series) const {
    checkSeries(m_model, series);
    return m_model.series[static_cast<std::size_t>(series)].color;
}

void ChartControl::setSeriesVisible(int series, bool visible) {
    checkSeries(m_model, series);
    m_model.series[static_cast<std::size_t>(series)].visible = visible;
    changed(LookChanged | ViewChanged);
}

void ChartControl::setSeriesLine(int series, double width, LineType type) {
    checkSeries(m_model, series);
    m_model.series[static_cast<std::size_t>(series)].lineWidth = std::clamp(width, 0.5, 10.0);
    m_model.series[static_cast<std::size_t>(series)].lineType = type;
    changed(LookChanged);
}

void ChartControl::setPlotStyle(PlotStyle style) {
    m_model.plotStyle = style;
    for (SeriesStyle& series : m_model.series)
        series.plotStyle = style;
    changed(LookChanged);
}

void ChartControl::setSeriesPlotStyle(int series, PlotStyle style) {
    checkSeries(m_model, series);
    m_model.series[static_cast<std::size_t>(series)].plotStyle = style;
    changed(LookChanged);
}

void ChartControl::setSeriesTableColumn(int series, const QString& heading, int decimals) {
    checkSeries(m_model, series);
    SeriesStyle& style = m_model.series[static_cast<std::size_t>(series)];
    style.heading = heading;
    style.decimals = std::clamp(decimals, 0, MaxTableDecimals);
    changed(TableChanged);
}

void ChartControl::setRightAxisSeries(int count) {
    m_model.rightAxisSeries = std::clamp(count, 0, m_model.seriesCount);
    changed(LookChanged | DataChanged);
}

#define TARNVUE_LOOK_SETTER(name, field, type)                                                     \
    void ChartControl::name(type value) {                                                          \
        m_model.field = value;                                                                     \
        changed(LookChanged);                                                                      \
    }

TARNVUE_LOOK_SETTER(setMainTitle, mainTitle, const QString&)
TARNVUE_LOOK_SETTER(setSubTitle, subTitle, const QString&)
TARNVUE_LOOK_SETTER(setXAxisLabel, xAxisLabel, const QString&)
TARNVUE_LOOK_SETTER(setFooter, footer, const QString&)
TARNVUE_LOOK_SETTER(setLeftAxisLabel, leftLabel, const QString&)
TARNVUE_LOOK_SETTER(setLeftAxisColor, leftColor, const QColor&)
TARNVUE_LOOK_SETTER(setLeftTickFormat, leftTickFormat, const QString&)
TARNVUE_LOOK_SETTER(setRightAxisLabel, rightLabel, const QString&)
TARNVUE_LOOK_SETTER(setRightAxisColor, rightColor, const QColor&)
TARNVUE_LOOK_SETTER(setRightTickFormat, rightTickFormat, const QString&)
TARNVUE_LOOK_SETTER(setGridLines, gridLines, bool)
TARNVUE_LOOK_SETTER(setLegendPosition, legend, LegendPosition)

#undef TARNVUE_LOOK_SETTER

void ChartControl::setRightAxisRange(double min, double max) {
    m_model.rightManual = true;
    m_model.rightMin = min;
    m_model.rightMax = max;
    changed(ViewChanged);
}

void ChartControl::setLeftAxisScale(bool manual, double min, double max) {
    m_model.leftManual = manual && max > min;
    if (m_model.leftManual) {
        m_model.leftMin = min;
        m_model.leftMax = max;
    }
    changed(ViewChanged);
}

double ChartControl::leftAxisMaximum() const {
    m_plotter->applyLook(m_model);
    m_plotter->applyView(m_model);
    return m_plot->yAxis->range().upper;
}

// Time axis ------------------------------------------------------------------

void ChartControl::setMinutesPerPoint(int minutes) {
    if (minutes < 1)
        throw Error(QStringLiteral("Invalid property value"));
    m_model.minutesPerPoint = minutes;
    changed(LookChanged);
}

void ChartControl::setPointsPerDay(double points) {
    if (!(points > 0) || !std::isfinite(points))
        throw Error(QStringLiteral("Invalid property value"));
    m_model.pointsPerDay = points;
}

void ChartControl::setFirstPointTime(double dateValue) {
    m_model.firstPointTime = dateValue;
    changed(LookChanged);
}

// Annotations, fonts, table ---------------------------------------------------

void ChartControl::setAnnotation(int index, const Annotation& annotation) {
    if (index < 0 || index > 1)
        throw Error(QStringLiteral("Subscript out of range"));
    m_model.annotations[static_cast<std::size_t>(index)] = annotation;
    m_model.annotations[static_cast<std::size_t>(index)].defined = true;
    changed(LookChanged);
}

Annotation ChartControl::annotation(int index) const {
    if (index < 0 || index > 1)
        throw Error(QStringLiteral("Subscript out of range"));
    return m_model.annotations[static_cast<std::size_t>(index)];
}

void ChartControl::setShowAnnotations(bool show) {
    m_model.showAnnotations = show;
    changed(LookChanged | ViewChanged);
}

void ChartControl::setShading(const std::vector<ShadedStretch>& stretches,
                              const QString& availability) {
    m_model.shading = stretches;
    m_model.availability = availability;
    changed(LookChanged);
}

void ChartControl::setShowShading(bool show) {
    m_model.showShading = show;
    changed(LookChanged);
}

void ChartControl::setShapes(std::vector<BucketShape> shapes) {
    m_model.shapes = std::move(shapes);
    changed(LookChanged | DataChanged | TableChanged);
}

void ChartControl::setLatencyLook(const LatencyLook& look) {
    if (look == m_model.latency)
        return;
    m_model.latency = look;
    changed(LookChanged | TableChanged);
}

void ChartControl::setFontSize(int size) {
    if (size < FontLarge || size > FontSmall)
        throw Error(QStringLiteral("Invalid property value"));
    m_model.fontSize = size;
    changed(LookChanged);
}

void ChartControl::setTableMode(int mode) {
    if (mode != TableGraphOnly && mode != TableGraphWithTable)
        throw Error(QStringLiteral("Invalid property value"));
    m_model.tableMode = mode;
    // The table comes and goes at once; fonts follow with the next drawing.
    showTable(mode == TableGraphWithTable);
    fillTable();
    changed(LookChanged);
}

// Actions and output -----------------------------------------------------------

void ChartControl::setImageSize(int width, int height) {
    m_imageWidth = width;
    m_imageHeight = height;
}

void ChartControl::setJpegFileName(const QString& path) {
    m_jpegFileName = path;
}

bool ChartControl::action(int request) {
    switch (request) {
    case ActionRebuild:
        m_pending = AllChanged;
        flush();
        return true;
    case ActionPrint: {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageOrientation(QPageLayout::Landscape);
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const OutputLook output(*this);
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        paintTo(painter, QRectF(0, 0, printer.width(), printer.height()), true);
        return painter.end();
    }
    case ActionWriteJpeg:
        return bitmapToFile(m_imageWidth > 0 ? m_imageWidth : width(),
                            m_imageHeight > 0 ? m_imageHeight : height(), m_jpegFileName);
    default:
        return false;
    }
}

QString madeAtText(const QDateTime& when, const QLocale& locale) {
    return QStringLiteral("Made ") + locale.toString(when, QStringLiteral("d MMM yyyy HH:mm"));
}

ChartControl::OutputLook::OutputLook(ChartControl& control) : m_control(control) {
    m_control.flush();
    m_control.m_plotter->setMadeAt(madeAtText(currentDateTime(), QLocale()));
    m_control.m_plotter->applyLook(m_control.m_model);
}

ChartControl::OutputLook::~OutputLook() {
    m_control.m_plotter->setMadeAt(QString());
    m_control.m_plotter->applyLook(m_control.m_model);
    if (m_control.m_plot->isVisible())
        m_control.m_plot->replot(QCustomPlot::rpQueuedReplot);
}

template <typename Draw> auto ChartControl::atSize(int width, int height, Draw&& draw) {
    struct Restore {
        QCustomPlot* plot;
        ChartPlotter* plotter;
        QRect viewport;
        ~Restore() {
            plot->setViewport(viewport);
            plotter->placeReferenceTexts();
        }
    } restore{m_plot, m_plotter.get(), m_plot->viewport()};
    m_plot->setViewport(QRect(0, 0, width, height));
    m_plotter->placeReferenceTexts();
    return draw();
}

void ChartControl::paintTo(QPainter& painter, const QRectF& target, bool withTitles) {
    flush();
    // A picture plays back scaled from its own resolution to the device's.
    QPicture picture;
    const double scale = painter.device()->logicalDpiX() / double(picture.logicalDpiX());
    const int width = static_cast<int>(target.width() / scale);
    const int height = static_cast<int>(target.height() / scale);
    if (width <= 0 || height <= 0)
        return;
    const ChartModel shown = m_model;
    if (!withTitles) {
        m_model.mainTitle.clear();
        m_model.subTitle.clear();
        m_model.footer.clear();
        m_plotter->applyLook(m_model);
        m_plotter->applyView(m_model);
    }
    // Recorded at the screen's resolution, where the layout measures its
    // texts, and played scaled: every line and letter stays a vector.
    {
        QCPPainter recorder(&picture);
        recorder.setMode(QCPPainter::pmVectorized);
        atSize(width, height, [&] { m_plot->toPainter(&recorder, width, height); });
    }
    painter.drawPicture(target.topLeft(), picture);
    if (!withTitles) {
        m_model = shown;
        m_pending |= LookChanged;
        flush();
    }
}

QImage ChartControl::toImage(int width, int height) {
    if (width <= 0 || height <= 0 || width > 20000 || height > 20000)
        return {};
    const OutputLook output(*this);
    // Drawn straight into the picture, as QCustomPlot draws into a pixmap.
    return atSize(width, height, [&] {
        QImage image(width, height, QImage::Format_RGB32);
        // QCustomPlot fills it with its background first.
        image.fill(Qt::white);
        QCPPainter painter(&image);
        m_plot->toPainter(&painter, width, height);
        return image;
    });
}

bool ChartControl::bitmapToFile(int width, int height, const QString& path, QString* reason) {
    const QImage image = toImage(width, height);
    if (image.isNull() || path.isEmpty())
        return false;
    const QString suffix = QFileInfo(path).suffix().toLower();
    const char* format = suffix == QStringLiteral("bmp") ? "BMP"
                         : (suffix == QStringLiteral("jpg") || suffix == QStringLiteral("jpeg"))
                             ? "JPG"
                             : "PNG";
    if (qstrcmp(format, "PNG") == 0) {
        const QByteArray png = pngBytes(image, pictureThreads());
        return !png.isEmpty() && writeOutputFile(path, png, reason);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, qstrcmp(format, "JPG") == 0 ? 92 : -1))
        return false;
    return writeOutputFile(path, buffer.data(), reason);
}

namespace {

QByteArray svgOf(QCustomPlot& plot, int width, int height) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setTitle(QStringLiteral("Chart"));
    paintChart(plot, generator, width, height);
    return buffer.data();
}

} // namespace

bool ChartControl::vectorToFile(int width, int height, const QString& path, QString* reason) {
    flush();
    if (width <= 0 || height <= 0 || path.isEmpty())
        return false;
    QByteArray svg;
    {
        const OutputLook output(*this);
        svg = atSize(width, height, [&] { return svgOf(*m_plot, width, height); });
    }
    return writeOutputFile(path, svg, reason);
}

bool ChartControl::pdfToFile(int width, int height, const QString& path, QString* reason) {
    flush();
    if (width <= 0 || height <= 0 || path.isEmpty())
        return false;
    const OutputLook output(*this);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(96);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(QSizeF(width * 72.0 / 96.0, height * 72.0 / 96.0),
                                     QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setCreator(QStringLiteral("Tarnvue"));
        writer.setTitle(m_model.mainTitle);
        atSize(width, height, [&] { paintChart(*m_plot, writer, width, height); });
    }
    return writeOutputFile(path, buffer.data(), reason);
}

bool ChartControl::bitmapToClipboard(int width, int height) {
    const QImage image = toImage(width, height);
    if (image.isNull())
        return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

bool ChartControl::vectorToClipboard(int width, int height) {
    if (width <= 0 || height <= 0)
        return false;
    auto* data = new QMimeData;
    {
        const OutputLook output(*this);
        data->setData(QStringLiteral("image/svg+xml"),
                      atSize(width, height, [&] { return svgOf(*m_plot, width, height); }));
    }
    // Programs that take no vector image still get a picture.
    data->setImageData(toImage(width, height));
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool ChartControl::saveChart(const QString& path, QString* error) const {
    return saveChartFile(m_model, path, error);
}

bool ChartControl::loadChart(const QString& path, QString* error) {
    const std::optional<ChartModel> loaded = loadChartFile(path, error);
    if (!loaded)
        return false;
    setModel(*loaded);
    return true;
}

bool ChartControl::customize() {
    ChartCustomizeDialog dialog(*this, this);
    return dialog.exec() == QDialog::Accepted;
}

void ChartControl::exportDialog() {
    ChartExportDialog dialog(*this, this);
    dialog.exec();
}

// Mouse: zoom by dragging over whole points, the wheel, and the menu ----------

bool ChartControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_plot)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Show && m_replotOnShow)
        changed(0);
    switch (event->type()) {
    case QEvent::ToolTip: {
        // The read-out, when shown, already gives a clipped bucket's true
        // value; a tool tip would cover it.
        const auto* help = static_cast<QHelpEvent*>(event);
        if (m_readoutPoint < 0)
            showClippedValue(help->pos(), help->globalPos());
        return true;
    }
    case QEvent::Leave:
    case QEvent::Resize:
    case QEvent::Hide:
        hideReadout();
        break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        // The keys of the read-out come before the window's shortcuts.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool escape = key->key() == Qt::Key_Escape && m_readoutPoint >= 0;
        if (!escape && !(readoutKeyOf(*key) && m_model.pointCount > 0))
            break;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (escape)
            hideReadout();
        else
            readoutKey(*key);
        return true;
    }
    case QEvent::MouseButtonPress: {
        hideReadout();
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_plot->axisRect()->rect().contains(mouse->position().toPoint())) {
            m_dragStart = mouse->position().toPoint().x();
            if (!m_band)
                m_band = new QRubberBand(QRubberBand::Rectangle, m_plot);
            const QRect area = m_plot->axisRect()->rect();
            m_band->setGeometry(QRect(m_dragStart, area.top(), 1, area.height()));
            m_band->show();
        }
        break;
    }
    case QEvent::MouseMove:
        if (m_dragStart < 0) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            showReadout(pointUnder(at), at);
        } else if (m_band) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QRect area = m_plot->axisRect()->rect();
            const int x = std::clamp(mouse->position().toPoint().x(), area.left(), area.right());
            m_band->setGeometry(QRect(QPoint(std::min(m_dragStart, x), area.top()),
                                      QPoint(std::max(m_dragStart, x), area.bottom())));
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragStart >= 0) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_band)
                m_band->hide();
            const double a = m_plot->xAxis->pixelToCoord(m_dragStart);
            const double b = m_plot->xAxis->pixelToCoord(mouse->position().x());
            m_dragStart = -1;
            // Whole points inside the dragged run; at least two to zoom.
            const int first = int(std::ceil(std::min(a, b) - 0.5 + 1e-9));
            const int last = int(std::floor(std::max(a, b) + 0.5 - 1e-9));
            const int lo = std::max(0, first);
            const int hi = std::min(m_model.pointCount - 1, last);
            const bool unchanged =
                lo == m_model.firstVisiblePoint - 1 && hi - lo + 1 == m_model.visiblePointCount;
            if (hi - lo + 1 >= 2 && !unchanged) {
                m_model.visiblePointCount = hi - lo + 1;
                m_model.firstVisiblePoint = lo + 1;
                m_pending |= ViewChanged;
                flush();
                emit zoomChanged();
            }
            return true;
        }
        break;
    case QEvent::Wheel: {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (m_model.pointCount < 2 || wheel->angleDelta().y() == 0)
            return true;
        const bool in = wheel->angleDelta().y() > 0;
        const int count = m_model.visiblePointCount;
        const int newCount =
            std::clamp(in ? int(std::floor(count * 0.8)) : int(std::ceil(count * 1.25)), 2,
                       m_model.pointCount);
        if (newCount == count)
            return true;
        // Keep the point under the mouse where it is.
        const double at = std::clamp(m_plot->xAxis->pixelToCoord(wheel->position().x()), 0.0,
                                     double(m_model.pointCount - 1));
        const double share = (at - (m_model.firstVisiblePoint - 1)) / std::max(1, count);
        const int first0 = int(std::lround(at - share * newCount));
        m_model.visiblePointCount = newCount;
        m_model.firstVisiblePoint = std::clamp(first0, 0, m_model.pointCount - newCount) + 1;
        m_pending |= ViewChanged;
        flush();
        emit zoomChanged();
        return true;
    }
    case QEvent::ContextMenu:
        showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool ChartControl::showClippedValue(const QPoint& position, const QPoint& global) {
    const double at = m_plot->xAxis->pixelToCoord(position.x());
    for (const LeftScale::Clipped& c : m_plotter->clippedPoints()) {
        if (std::fabs(at - c.point) <= 0.5) {
            QLocale locale;
            locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
            QToolTip::showText(global,
                               QStringLiteral("%1: %2 ms, above the scale")
                                   .arg(tableTimeText(m_model, c.point, locale),
                                        locale.toString(double(c.value), 'f', 0)),
                               m_plot);
            return true;
        }
    }
    QToolTip::hideText();
    return false;
}

// The read-out ------------------------------------------------------------------

void ChartControl::setReadoutText(ReadoutText text) {
    m_readoutText = std::move(text);
    hideReadout();
}

void ChartControl::hideReadout() {
    m_readoutPoint = -1;
    m_readoutMouse.reset();
    if (m_readoutLabel) {
        m_readoutLabel->hide();
        m_readoutHighlight->hide();
    }
}

void ChartControl::showReadout(int point, std::optional<QPoint> mouse) {
    if (point < 0 || !m_readoutText || !m_plot->isVisible()) {
        hideReadout();
        return;
    }
    if (point != m_readoutPoint || !m_readoutLabel || m_readoutLabel->isHidden()) {
        const QString text = m_readoutText(point);
        if (text.isEmpty()) {
            hideReadout();
            return;
        }
        if (!m_readoutLabel) {
            m_readoutHighlight = new BucketHighlight(m_plot);
            m_readoutLabel = new QLabel(m_plot);
            m_readoutLabel->setObjectName(QStringLiteral("ChartReadout"));
            m_readoutLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
            m_readoutLabel->setForegroundRole(QPalette::ToolTipText);
            m_readoutLabel->setBackgroundRole(QPalette::ToolTipBase);
            m_readoutLabel->setAutoFillBackground(true);
            m_readoutLabel->setFrameShape(QFrame::Box);
            m_readoutLabel->setMargin(4);
            m_readoutLabel->setTextFormat(Qt::PlainText);
        }
        m_readoutLabel->setText(text);
        m_readoutLabel->adjustSize();
    }
    m_readoutPoint = point;
    m_readoutMouse = mouse;
    placeReadout();
}

void ChartControl::placeReadout() {
    const QRect area = m_plot->axisRect()->rect();
    // The bucket's band, at least a few pixels wide however many are on view.
    int left = int(std::floor(m_plot->xAxis->coordToPixel(m_readoutPoint - 0.5)));
    int right = int(std::ceil(m_plot->xAxis->coordToPixel(m_readoutPoint + 0.5)));
    if (right - left < 4) {
        const int middle = (left + right) / 2;
        left = middle - 2;
        right = middle + 2;
    }
    left = std::max(left, area.left());
    right = std::min(right, area.right() + 1);
    m_readoutHighlight->setGeometry(
        QRect(left, area.top(), std::max(1, right - left), area.height()));
    m_readoutHighlight->show();

    // Beside and below the mouse, or beside the band near the top for the
    // keys; on the other side where there is no room, always inside the plot.
    constexpr int Gap = 12;
    const QSize size = m_readoutLabel->size();
    const QPoint anchor = m_readoutMouse ? *m_readoutMouse : QPoint(right, area.top() + Gap);
    const int before = m_readoutMouse ? anchor.x() : left;
    int x = anchor.x() + Gap;
    if (x + size.width() > m_plot->width())
        x = before - Gap - size.width();
    int y = m_readoutMouse ? anchor.y() + Gap : anchor.y();
    if (y + size.height() > m_plot->height())
        y = anchor.y() - Gap - size.height();
    x = std::clamp(x, 0, std::max(0, m_plot->width() - size.width()));
    y = std::clamp(y, 0, std::max(0, m_plot->height() - size.height()));
    m_readoutLabel->move(x, y);
    m_readoutLabel->show();
    m_readoutLabel->raise();
}

int ChartControl::pointUnder(const QPoint& at) const {
    if (!m_plot->axisRect()->rect().contains(at))
        return -1;
    return pointAtCoordinate(m_model, m_plot->xAxis->pixelToCoord(at.x()));
}

void ChartControl::followReadout() {
    if (m_readoutPoint < 0)
        return;
    if (m_readoutMouse) {
        showReadout(pointUnder(*m_readoutMouse), m_readoutMouse);
    } else if (pointAtCoordinate(m_model, m_readoutPoint) == m_readoutPoint) {
        placeReadout();
    } else {
        hideReadout();
    }
}

bool ChartControl::readoutKey(const QKeyEvent& key) {
    const std::optional<ReadoutKey> which = readoutKeyOf(key);
    if (!which)
        return false;
    const ReadoutMove move = readoutMove(m_model, m_readoutPoint, *which);
    if (move.point < 0)
        return false;
    if (move.firstVisiblePoint != m_model.firstVisiblePoint) {
        // The view moves by one bucket, as a zoom by the mouse moves it.
        m_model.firstVisiblePoint = move.firstVisiblePoint;
        m_pending |= ViewChanged;
        flush();
        emit zoomChanged();
    }
    showReadout(move.point, std::nullopt);
    return true;
}

void ChartControl::showContextMenu(const QPoint& position) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Customize Chart ..."), this,
                   [this] { emit customizeRequested(); });
    menu.addAction(QStringLiteral("&Export Chart ..."), this, [this] { exportDialog(); });
    menu.exec(position);
}

} // namespace tarnvue
