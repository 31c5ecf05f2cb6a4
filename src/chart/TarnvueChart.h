#pragma once

#include "SampleFold.h"
#include "components/chart/ChartModel.h"
#include "core/Error.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class QFrame;
class QLabel;
class QProgressBar;

namespace tarnvue {

class ChartControl;
class MonitorDB;
struct ChartModel;
struct FoldTotals;
struct OutageReport;

// Thrown out of a chart build that the user cancelled.
class BuildCancelled : public Error {
public:
    BuildCancelled() : Error(QStringLiteral("The chart build was cancelled.")) {}
};

// The chart control of the main window: one node's response times over a
// span cut into buckets. It reads the node's polls from the monitor database,
// folds them into minimum, maximum, average and loss per bucket, and has the
// chart component draw them with the overall average and loss as reference
// lines. While it works it shows a progress bar in place of the chart.
class TarnvueChart : public QWidget {
    Q_OBJECT

public:
    explicit TarnvueChart(QWidget* parent = nullptr);
    ~TarnvueChart() override;

    // The span and bucket width, as date values. The setters only store.
    double PlotBegin() const { return m_plotBegin; }
    void setPlotBegin(double BeginDate) { m_plotBegin = BeginDate; }
    double PlotEnd() const { return m_plotEnd; }
    void setPlotEnd(double EndDate) { m_plotEnd = EndDate; }
    double PeriodSize() const { return m_periodSize; }
    void setPeriodSize(double TimeFrame) { m_periodSize = TimeFrame; }

    std::int32_t NodeID() const { return m_nodeId; }
    void setNodeID(std::int32_t ID) { m_nodeId = ID; }
    MonitorDB* DB() const { return m_db; }
    void setDB(MonitorDB* Database) { m_db = Database; }

    // Stored only; they reach the chart when it is plotted.
    QString MainTitle() const { return m_mainTitle; }
    void setMainTitle(const QString& title) { m_mainTitle = title; }
    QString SubTitle() const { return m_subTitle; }
    void setSubTitle(const QString& title) { m_subTitle = title; }

    // The period the span comes from (1 to 7 a named period, anything else
    // custom), named with the span on the chart's extra title line.
    int PeriodIndex() const { return m_periodIndex; }
    void setPeriodIndex(int period) { m_periodIndex = period; }

    // Buckets of the last plot, and what its refresh read.
    std::int16_t PointCount() const { return m_pointCount; }
    const FoldTotals& LastTotals() const;
    // The outages and stretches without data the last plot found, and how
    // many lost polls in a row make an outage (1 to 1000).
    const OutageReport& LastOutages() const;
    // Each bucket's replied and lost polls as the last plot's fold counted
    // them, for the read-out; empty for a chart file, which keeps none.
    const std::vector<BucketPolls>& LastPolls() const { return m_polls; }
    int MinimumLostPolls() const { return m_minimumLost; }
    void setMinimumLostPolls(int polls);
    // Whether a plot works out each bucket's spread figures (median,
    // percentiles, jitter). The window keeps them, so that switching one on
    // needs no new read; an output that shows none of them can do without.
    void setSpreadNeeded(bool needed) { m_spreadNeeded = needed; }

    // 0 large, 1 medium, 2 small: passed to the chart component at once and
    // read back from it.
    std::int16_t FontSize() const;
    void setFontSize(std::int16_t size);
    // True while the chart shows its data table.
    bool Table() const;
    void setTable(bool table);

    // The zoom: true when the chart shows fewer points than it holds; the
    // span on view (the whole span when not zoomed); and back to all points.
    bool Zoomed() const;
    double ZoomBegining() const;
    double ZoomEnding() const;
    void ZoomOut();

    // Cuts the span into buckets, configures the chart, reads and folds the
    // node's polls (from the rows kept in memory where they cover the span)
    // and draws them. Throws Error when the bucket count
    // overflows, the database fails, or a row of the first bucket is bad.
    void Plot();
    // True while Plot runs (it yields to the event loop to show progress).
    bool Busy() const { return m_busy; }
    // Asks a running Plot to stop at its next yield; it then throws
    // BuildCancelled, whatever the read was doing.
    void Cancel();

    // What the control shows and holds, to put it back after a cancelled
    // build.
    struct Snapshot {
        double plotBegin = 0;
        double plotEnd = 0;
        double periodSize = 0;
        std::int32_t nodeId = 0;
        QString mainTitle;
        QString subTitle;
        std::int16_t pointCount = 0;
        std::shared_ptr<FoldTotals> totals;
        std::vector<BucketPolls> polls;
        ChartModel model;
        bool drawingShown = false;
        QString statusText;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& snapshot);

    // Forgets the rows of the chart's node kept from earlier plots, so that
    // the next plot reads the database afresh.
    void ForgetRows();
    // Configures the chart component for the current span, without data.
    void SetupGraph();
    // The chart component's customisation dialog. What the user keeps with
    // OK stays on the chart across new spans, widths and refreshes of the
    // same node; a new node keeps the styles but takes its own titles.
    void Customize();
    // The chart component itself, for output.
    ChartControl* ChartObject() const { return m_chart; }

    // The chart as pictures, from the size of this control: to the
    // clipboard, to files, the component's export dialog and its printout.
    void Export();
    void CopyBitmap();
    void CopyMetafile();
    bool SaveBitmap(const QString& FileName);
    bool SaveMetafile(const QString& FileName);
    bool SaveJPEG(const QString& FileName);
    void PrintChart();

    // Chart files: the chart component's own format. A failed load hides the
    // drawing and shows "Cannot load " and the path; LoadError() says why.
    bool LoadChart(const QString& FileName);
    bool SaveChart(const QString& FileName);
    QString LoadError() const { return m_loadError; }
    QString SaveError() const { return m_saveError; }

    // The parts, for the window and for tests.
    QFrame* Panel() const { return m_panel; }
    QProgressBar* Status() const { return m_status; }
    QLabel* StatusLabel() const { return m_statusLabel; }

signals:
    // A plot has its rows and starts folding them: the read's threads are
    // done, and the cores they used are free until the chart is drawn.
    void rowsRead();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Refresh();
    void layoutParts();
    void layOutChart(bool on);
    void annotate(const FoldTotals& totals);
    void yieldToEvents();

    double m_plotBegin = 0;
    double m_plotEnd = 0;
    double m_periodSize = 0;
    std::int32_t m_nodeId = 0;
    MonitorDB* m_db = nullptr;
    QString m_mainTitle;
    QString m_subTitle;
    std::int16_t m_pointCount = 0;
    int m_periodIndex = 0;
    std::unique_ptr<FoldTotals> m_totals;
    // The last plot as the program set it up, and the user's customisation:
    // the chart they kept (chosen) against the program's look at that time.
    std::unique_ptr<ChartModel> m_programLook;
    std::unique_ptr<ChartModel> m_customBase;
    std::unique_ptr<ChartModel> m_customChosen;
    std::int32_t m_customNode = 0;
    std::unique_ptr<OutageReport> m_outages;
    std::vector<BucketPolls> m_polls;
    int m_minimumLost;
    bool m_spreadNeeded = true;
    QString m_loadError;
    QString m_saveError;
    bool m_busy = false;
    bool m_cancelRequested = false;

    QFrame* m_panel = nullptr;
    ChartControl* m_chart = nullptr;
    QProgressBar* m_status = nullptr;
    QLabel* m_statusLabel = nullptr;
};

// The bucket count of a span: Error "Overflow" when it does not fit in
// 16 bits.
std::int16_t bucketCount(double plotBegin, double plotEnd, double periodSize);

// The span on view of a chart zoomed to `shown` points from `firstVisible`
// (counted from 1), with buckets of widthMinutes from plotBegin.
struct ZoomSpan {
    double begin;
    double end;
};
ZoomSpan zoomSpan(double plotBegin, int widthMinutes, int firstVisible, int shown);

// The sizes the picture operations pass, from a control's size in twips and
// the screen's twips per pixel: pixels in floating point, and both rounded
// half to even to 16 bits (Error "Overflow" past 32767).
struct PictureSize {
    double widthTwips;
    double heightTwips;
    double widthPixels;
    double heightPixels;
    std::int16_t wholeWidthTwips() const;
    std::int16_t wholeHeightTwips() const;
    std::int16_t wholeWidthPixels() const;
    std::int16_t wholeHeightPixels() const;
};
PictureSize pictureSize(double widthTwips, double heightTwips, double twipsPerPixelX,
                        double twipsPerPixelY);

// The texts of the two reference lines: "Overall Average Response Time is
// 1234.5 ms" and "Overall Packet Loss is 0.5%", one decimal in the locale's
// decimal separator and without grouping.
QString overallAverageText(double averageResponse, const QLocale& locale);
QString overallLossText(double lossPercent, const QLocale& locale);

// Sets the chart's span and bucket width for a named period (1 to 7) at the
// given local time; the custom period and any other value change nothing.
// Returns whether it changed anything.
bool setupPeriod(TarnvueChart& chart, int period, const QDateTime& now);

} // namespace tarnvue
