#include "TarnvueChart.h"

#include "BucketReadout.h"
#include "LatencyShape.h"
#include "Outages.h"
#include "Periods.h"
#include "SampleFold.h"
#include "components/chart/ChartControl.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "core/ProgramInfo.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SampleStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tarnvue {

namespace {

struct SeriesLook {
    const char* label;
    QColor color;
    const char* heading; // in the data table, with the unit
    int decimals;        // responses are whole milliseconds; means are not
};

const SeriesLook Series[] = {
    {"Minimum Response Time", QColor(128, 255, 128), "Minimum (ms)", 0},
    {"Maximum Response Time", QColor(0, 128, 0), "Maximum (ms)", 0},
    {"Average Response Time", QColor(0, 0, 255), "Average (ms)", 1},
    {"% Packet Loss", QColor(255, 0, 0), "Loss (%)", 1},
};

constexpr int ProgressYieldMilliseconds = 40;

// Twips in pixels at the widget's resolution.
int twips(const QWidget& widget, double value) {
    return static_cast<int>(std::lround(value * widget.logicalDpiX() / 1440.0));
}

} // namespace

TarnvueChart::TarnvueChart(QWidget* parent)
    : QWidget(parent), m_totals(std::make_unique<FoldTotals>()),
      m_programLook(std::make_unique<ChartModel>()), m_outages(std::make_unique<OutageReport>()),
      m_minimumLost(OutageScan::DefaultMinimumLost), m_panel(new QFrame(this)),
      m_chart(new ChartControl(m_panel)), m_status(new QProgressBar(this)),
      m_statusLabel(new QLabel(this)) {
    m_panel->setObjectName(QStringLiteral("Panel"));
    m_chart->setObjectName(QStringLiteral("Chart"));
    m_status->setObjectName(QStringLiteral("Status"));
    m_statusLabel->setObjectName(QStringLiteral("StatusLabel"));
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(m_chart);
    m_status->setRange(0, 100);
    m_status->setValue(0);
    m_status->setTextVisible(true);
    m_status->hide();
    m_statusLabel->setAlignment(Qt::AlignCenter);
    m_statusLabel->hide();
    // Nothing measures text before the control is on screen: measuring
    // loads the fonts, which a chart only written to a data file never
    // needs. The parts are sized and laid out when it is shown.
    m_status->resize(0, 0);
    m_statusLabel->resize(0, 0);
    layOutChart(false);
    // The component's placeholder titles never show.
    m_chart->setMainTitle(QString());
    m_chart->setSubTitle(QString());
    connect(m_chart, &ChartControl::customizeRequested, this, &TarnvueChart::Customize);
    // The read-out under the mouse: the bucket's figures from the chart, its
    // polls from the fold that filled it.
    m_chart->setReadoutText([this](int point) {
        const bool counted = point >= 0 && static_cast<std::size_t>(point) < m_polls.size() &&
                             m_polls.size() == static_cast<std::size_t>(m_chart->pointCount());
        return bucketReadoutText(m_chart->model(), point,
                                 counted ? &m_polls[static_cast<std::size_t>(point)] : nullptr,
                                 QLocale());
    });
}

TarnvueChart::~TarnvueChart() = default;

void TarnvueChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutParts();
}

void TarnvueChart::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    layOutChart(true);
    layoutParts();
}

void TarnvueChart::layOutChart(bool on) {
    for (QLayout* layout : {m_panel->layout(), m_chart->layout()}) {
        layout->setEnabled(on);
        if (on)
            layout->activate();
    }
}

void TarnvueChart::layoutParts() {
    const int w = width();
    const int h = height();
    m_panel->setGeometry(0, 0, w, h);
    // The status text is measured once the control is on screen.
    if (!isVisible())
        return;
    m_statusLabel->adjustSize();
    const int statusHeight = m_status->sizeHint().height();
    const int labelHeight = m_statusLabel->height();
    m_statusLabel->move(w / 2 - m_statusLabel->width() / 2,
                        h / 2 - (statusHeight + labelHeight * 3 / 2));
    // The progress bar keeps its place when the control is too narrow for it.
    const int inset = twips(*this, 400);
    if (w - 2 * inset > 0)
        m_status->setGeometry(inset, h / 2 - statusHeight - twips(*this, 2), w - 2 * inset,
                              statusHeight);
}

std::int16_t TarnvueChart::FontSize() const {
    return static_cast<std::int16_t>(m_chart->fontSize());
}

void TarnvueChart::setFontSize(std::int16_t size) {
    m_chart->setFontSize(size);
}

bool TarnvueChart::Table() const {
    return m_chart->tableMode() == TableGraphWithTable;
}

void TarnvueChart::setTable(bool table) {
    m_chart->setTableMode(table ? TableGraphWithTable : TableGraphOnly);
}

void TarnvueChart::Customize() {
    const bool plotted = m_programLook->seriesCount > 0;
    if (!m_chart->customize() || !plotted)
        return;
    // Remembered against the program's own look of this chart, so that the
    // next period, detail step or refresh shows the same choices.
    m_customBase = std::make_unique<ChartModel>(*m_programLook);
    m_customChosen = std::make_unique<ChartModel>(m_chart->model());
    m_customNode = m_nodeId;
}

void TarnvueChart::SetupGraph() {
    ChartControl& chart = *m_chart;
    chart.reset();
    chart.setSeriesCount(4);
    chart.setPointCount(m_pointCount);
    chart.setMissingValue(-1.0f);
    chart.setVisiblePointCount(m_pointCount);

    chart.setMinutesPerPoint(DateValue::wholeMinutes(m_periodSize));
    chart.setPointsPerDay(1440.0 / chart.minutesPerPoint());
    chart.setFirstPointTime(m_plotBegin);
    chart.setXAxisLabel(QString());

    for (int s = 0; s < 4; ++s) {
        chart.setSeriesLabel(s, QString::fromLatin1(Series[s].label));
        chart.setSeriesColor(s, Series[s].color);
        chart.setSeriesTableColumn(s, QString::fromLatin1(Series[s].heading), Series[s].decimals);
    }
    chart.setPlotStyle(PlotStyle::Lines);
    // Loss belongs to its whole bucket: a line from the bucket before would
    // show it starting before it did.
    chart.setSeriesPlotStyle(LossSeries, PlotStyle::Steps);
    chart.setRightAxisSeries(1);

    chart.setRightAxisLabel(QStringLiteral("% Packet Loss"));
    chart.setRightAxisColor(QColor(255, 0, 0));
    chart.setRightAxisRange(0, 101);
    chart.setRightTickFormat(QStringLiteral("||%"));

    chart.setLeftAxisLabel(QStringLiteral("Min / Max response time (milliseconds)"));
    chart.setLeftAxisColor(QColor(0, 192, 0));
    chart.setLeftTickFormat(QStringLiteral("||"));
}

std::int16_t bucketCount(double plotBegin, double plotEnd, double periodSize) {
    return toInt16((plotEnd - plotBegin) / periodSize);
}

void TarnvueChart::Plot() {
    if (!m_db)
        throw Error(QStringLiteral("The chart has no monitor database."));
    m_pointCount = bucketCount(m_plotBegin, m_plotEnd, m_periodSize);
    SetupGraph();
    m_chart->setMainTitle(m_mainTitle);
    m_chart->setSubTitle(m_subTitle.compare(m_mainTitle, Qt::CaseInsensitive) == 0 ? QString()
                                                                                   : m_subTitle);
    m_busy = true;
    m_cancelRequested = false;
    try {
        Refresh();
    } catch (...) {
        m_busy = false;
        // Whatever a cancelled read threw on its way out, the build was
        // cancelled.
        if (m_cancelRequested)
            throw BuildCancelled();
        throw;
    }
    m_busy = false;
}

void TarnvueChart::Cancel() {
    if (m_busy)
        m_cancelRequested = true;
}

void TarnvueChart::yieldToEvents() {
    QCoreApplication::processEvents();
    if (m_cancelRequested)
        throw BuildCancelled();
}

TarnvueChart::Snapshot TarnvueChart::snapshot() const {
    return {m_plotBegin,
            m_plotEnd,
            m_periodSize,
            m_nodeId,
            m_mainTitle,
            m_subTitle,
            m_pointCount,
            std::make_shared<FoldTotals>(*m_totals),
            m_polls,
            m_chart->model(),
            m_panel->isVisibleTo(this),
            m_statusLabel->isVisibleTo(this) ? m_statusLabel->text() : QString()};
}

void TarnvueChart::restore(const Snapshot& snapshot) {
    m_plotBegin = snapshot.plotBegin;
    m_plotEnd = snapshot.plotEnd;
    m_periodSize = snapshot.periodSize;
    m_nodeId = snapshot.nodeId;
    m_mainTitle = snapshot.mainTitle;
    m_subTitle = snapshot.subTitle;
    m_pointCount = snapshot.pointCount;
    *m_totals = *snapshot.totals;
    m_polls = snapshot.polls;
    m_chart->setModel(snapshot.model);
    m_status->hide();
    m_statusLabel->setText(snapshot.statusText);
    m_statusLabel->setVisible(!snapshot.statusText.isEmpty());
    m_panel->setVisible(snapshot.drawingShown);
    layoutParts();
}

void TarnvueChart::Refresh() {
    m_panel->hide();
    m_status->setValue(0);
    m_status->show();
    m_statusLabel->setText(QStringLiteral("Generating Chart ..."));
    layoutParts();
    m_statusLabel->show();
    yieldToEvents();

    ChartControl& chart = *m_chart;
    // The bar follows the rows read: from ranges read at once, or from a
    // file read without an index, which is scanned whole.
    QElapsedTimer sinceReadYield;
    sinceReadYield.start();
    const auto readProgress = [this, &sinceReadYield](qint64 done, qint64 total) {
        if (total > 0 && sinceReadYield.elapsed() >= ProgressYieldMilliseconds) {
            m_status->setValue(static_cast<int>(done * 100 / total));
            QCoreApplication::processEvents();
            sinceReadYield.restart();
        }
        // A cancel stops the read; the read then throws, and Plot reports
        // the cancel.
        return !m_cancelRequested;
    };
    MonitorDB::setScanProgress(readProgress);
    struct StopListening {
        ~StopListening() { MonitorDB::setScanProgress({}); }
    } stopListening;
    SampleRows read;
    try {
        read = SampleStore::shared().rows(*m_db, m_nodeId, m_plotBegin, m_plotEnd, m_periodSize,
                                          readProgress);
    } catch (const Error&) {
        if (m_cancelRequested)
            throw BuildCancelled();
        throw;
    }
    SampleRowsReader rows(std::move(read));
    MonitorDB::setScanProgress({});
    emit rowsRead();
    SampleFold fold(m_plotBegin, m_periodSize, m_pointCount);
    // Progress is taken every tenth bucket, but shown (and the window allowed
    // to repaint and answer) at most every few hundredths of a second: the
    // bar repaints itself whenever its value changes, and short charts would
    // otherwise spend more time on the bar than on reading polls.
    QElapsedTimer sinceYield;
    sinceYield.start();
    // Outages are found in the same pass, from the rows as the fold reads them,
    // and so are each bucket's percentiles and jitter (when wanted), cut as the
    // fold cuts them.
    OutageScan outages(m_minimumLost);
    std::vector<BucketPolls> polls;
    const auto foldThrough = [&](SampleReader& tapped) {
        const FoldTotals folded = fold.run(
            tapped,
            [&chart](int series, int point, float value) { chart.setValue(series, point, value); },
            [this, &sinceYield](int point) {
                // A cancel may have come in while the read yielded.
                if (m_cancelRequested)
                    throw BuildCancelled();
                if (sinceYield.elapsed() < ProgressYieldMilliseconds)
                    return;
                m_status->setValue(static_cast<int>(point * 100.0 / m_pointCount));
                yieldToEvents();
                sinceYield.restart();
            },
            &polls);
        // The fold stops at its last bucket; the scans see the span's rows to the end.
        for (Sample rest; tapped.next(rest);) {
        }
        return folded;
    };
    FoldTotals totals;
    std::vector<BucketShape> spread;
    if (m_spreadNeeded) {
        LatencyShapeScan shapes(m_plotBegin, m_periodSize, m_pointCount);
        ScanTap<OutageScan, LatencyShapeScan> tapped(rows, outages, shapes);
        totals = foldThrough(tapped);
        spread = shapes.finish();
    } else {
        ScanTap<OutageScan> tapped(rows, outages);
        totals = foldThrough(tapped);
    }
    if (m_cancelRequested)
        throw BuildCancelled();

    *m_totals = totals;
    m_polls = std::move(polls);
    *m_outages = outages.finish();
    chart.setShading(shadedStretches(*m_outages), availabilityText(*m_outages));
    chart.setShapes(std::move(spread));
    annotate(totals);
    // The chart as the program sets it up; then what the user customised.
    *m_programLook = chart.model();
    if (m_customChosen) {
        const bool sameNode = m_customNode == m_nodeId;
        if (!sameNode) {
            // A new node takes its own titles and keeps the styles.
            m_customChosen->mainTitle = m_customBase->mainTitle;
            m_customChosen->subTitle = m_customBase->subTitle;
            m_customNode = m_nodeId;
        }
        ChartModel carried = chart.model();
        carryLook(carried, *m_customBase, *m_customChosen, sameNode);
        chart.setModel(carried);
    } else {
        chart.action(ChartControl::ActionRebuild);
    }

    m_status->hide();
    m_statusLabel->hide();
    m_panel->show();
    m_chart->show();

    // The extra title line: what the chart shows on the left, the program on
    // the right.
    chart.setFooter(periodLine(m_periodIndex, m_plotBegin, m_plotEnd) +
                    QStringLiteral("||Norvane Tarnvue version ") + programVersion());
}

void TarnvueChart::ForgetRows() {
    if (m_db && m_db->isOpen())
        SampleStore::shared().dropNode(*m_db, m_nodeId);
}

ZoomSpan zoomSpan(double plotBegin, int widthMinutes, int firstVisible, int shown) {
    const double width = static_cast<double>(widthMinutes);
    return {plotBegin + (firstVisible - 1) * width / DateValue::MinutesPerDay,
            plotBegin + (firstVisible - 1 + shown) * width / DateValue::MinutesPerDay};
}

bool TarnvueChart::Zoomed() const {
    return static_cast<std::int16_t>(m_chart->visiblePointCount()) != m_chart->pointCount();
}

double TarnvueChart::ZoomBegining() const {
    if (!Zoomed())
        return m_plotBegin;
    return zoomSpan(m_plotBegin, DateValue::wholeMinutes(m_periodSize),
                    m_chart->firstVisiblePoint(), m_chart->visiblePointCount())
        .begin;
}

double TarnvueChart::ZoomEnding() const {
    if (!Zoomed())
        return m_plotEnd;
    return zoomSpan(m_plotBegin, DateValue::wholeMinutes(m_periodSize),
                    m_chart->firstVisiblePoint(), m_chart->visiblePointCount())
        .end;
}

void TarnvueChart::ZoomOut() {
    m_chart->setVisiblePointCount(m_chart->pointCount());
}

std::int16_t PictureSize::wholeWidthTwips() const {
    return toInt16(widthTwips);
}
std::int16_t PictureSize::wholeHeightTwips() const {
    return toInt16(heightTwips);
}
std::int16_t PictureSize::wholeWidthPixels() const {
    return toInt16(widthPixels);
}
std::int16_t PictureSize::wholeHeightPixels() const {
    return toInt16(heightPixels);
}

PictureSize pictureSize(double widthTwips, double heightTwips, double twipsPerPixelX,
                        double twipsPerPixelY) {
    return {widthTwips, heightTwips, widthTwips / twipsPerPixelX, heightTwips / twipsPerPixelY};
}

namespace {

// This control's size in twips, and the screen's twips per pixel.
PictureSize sizeOf(const QWidget& widget) {
    const double perPixelX = 1440.0 / widget.logicalDpiX();
    const double perPixelY = 1440.0 / widget.logicalDpiY();
    return pictureSize(widget.width() * perPixelX, widget.height() * perPixelY, perPixelX,
                       perPixelY);
}

} // namespace

void TarnvueChart::Export() {
    m_chart->exportDialog();
}

void TarnvueChart::CopyBitmap() {
    const PictureSize size = sizeOf(*this);
    m_chart->bitmapToClipboard(size.wholeWidthPixels(), size.wholeHeightPixels());
}

// The vector picture is sized in pixels straight away: SVG has no 16-bit
// limit, and twips in 16 bits overflow above about 2,184 pixels.
void TarnvueChart::CopyMetafile() {
    const PictureSize size = sizeOf(*this);
    m_chart->vectorToClipboard(static_cast<int>(std::lround(size.widthPixels)),
                               static_cast<int>(std::lround(size.heightPixels)));
}

bool TarnvueChart::SaveBitmap(const QString& FileName) {
    const PictureSize size = sizeOf(*this);
    return m_chart->bitmapToFile(size.wholeWidthPixels(), size.wholeHeightPixels(), FileName);
}

bool TarnvueChart::SaveMetafile(const QString& FileName) {
    const PictureSize size = sizeOf(*this);
    return m_chart->vectorToFile(static_cast<int>(std::lround(size.widthPixels)),
                                 static_cast<int>(std::lround(size.heightPixels)), FileName);
}

bool TarnvueChart::SaveJPEG(const QString& FileName) {
    const PictureSize size = sizeOf(*this);
    m_chart->setImageSize(static_cast<int>(std::lround(size.widthPixels)),
                          static_cast<int>(std::lround(size.heightPixels)));
    m_chart->setJpegFileName(FileName);
    return m_chart->action(ChartControl::ActionWriteJpeg);
}

void TarnvueChart::PrintChart() {
    m_chart->setImageSize(0, 0);
    m_chart->action(ChartControl::ActionPrint);
}

const FoldTotals& TarnvueChart::LastTotals() const {
    return *m_totals;
}

const OutageReport& TarnvueChart::LastOutages() const {
    return *m_outages;
}

void TarnvueChart::setMinimumLostPolls(int polls) {
    m_minimumLost = std::clamp(polls, 1, OutageScan::MaximumMinimumLost);
}

bool setupPeriod(TarnvueChart& chart, int period, const QDateTime& now) {
    const auto span = periodSpan(period, now);
    if (!span)
        return false;
    chart.setPeriodSize(span->size);
    chart.setPlotBegin(span->begin);
    chart.setPlotEnd(span->end);
    return true;
}

namespace {

// "0.0": one decimal in the locale's own separator, never grouped, so that
// a figure reads the same in the chart, the report and the printout.
QString oneDecimal(double value, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    // Halves round away from zero, as a person rounds (12.25 is 12.3).
    return plain.toString(std::round(value * 10.0) / 10.0, 'f', 1);
}

} // namespace

QString overallAverageText(double averageResponse, const QLocale& locale) {
    return QStringLiteral("Overall Average Response Time is ") +
           oneDecimal(averageResponse, locale) + QStringLiteral(" ms");
}

QString overallLossText(double lossPercent, const QLocale& locale) {
    return QStringLiteral("Overall Packet Loss is ") + oneDecimal(lossPercent, locale) +
           QStringLiteral("%");
}

void TarnvueChart::annotate(const FoldTotals& totals) {
    const QLocale locale;
    Annotation average;
    average.value = totals.averageResponse;
    average.axis = 0;
    average.color = QColor(0, 64, 0);
    average.text = overallAverageText(totals.averageResponse, locale);
    average.lineType = LineType::Dot;
    m_chart->setAnnotation(0, average);

    // Loss is stored as a percentage per poll, so the overall loss stands on
    // the right (percent) axis, like the loss series.
    Annotation loss;
    loss.axis = 1;
    loss.value = totals.loss;
    loss.color = QColor(64, 0, 0);
    loss.text = QStringLiteral("|l") + overallLossText(totals.loss, locale);
    loss.lineType = LineType::Dot;
    m_chart->setAnnotation(1, loss);

    m_chart->setShowAnnotations(true);
}

bool TarnvueChart::LoadChart(const QString& FileName) {
    m_loadError.clear();
    const bool loaded = m_chart->loadChart(FileName, &m_loadError);
    // A chart file brings its own look; what was chosen for a node ends here.
    *m_programLook = ChartModel();
    m_customBase.reset();
    m_customChosen.reset();
    // A chart file keeps no polls: its read-out shows what the file holds.
    m_polls.clear();
    if (!loaded) {
        m_panel->hide();
        m_status->hide();
        m_statusLabel->setText(QStringLiteral("Cannot load ") + FileName);
        layoutParts();
        m_statusLabel->show();
        return false;
    }
    m_status->hide();
    m_statusLabel->hide();
    m_panel->show();
    m_chart->show();
    return true;
}

bool TarnvueChart::SaveChart(const QString& FileName) {
    m_saveError.clear();
    return m_chart->saveChart(FileName, &m_saveError);
}

} // namespace tarnvue
