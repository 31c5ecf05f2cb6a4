#pragma once

#include "ChartModel.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QCustomPlot;
class QKeyEvent;
class QLabel;
class QPainter;
class QTableWidget;
class QSplitter;
class QRubberBand;

namespace tarnvue {

class ChartPlotter;

// "Made 7 Dec 2026 14:02": when an output of the chart was made.
QString madeAtText(const QDateTime& when, const QLocale& locale);

// The chart component: a response-time style chart of several series over
// evenly spaced points in time, drawn with QCustomPlot. Everything it shows
// lives in a ChartModel; the setters change the model and the drawing follows
// (at once for the look, on the next rebuild request for data). It zooms with
// the mouse into runs of whole points, shows a data table under the graph on
// request, stores itself in chart files and writes images.
class ChartControl : public QWidget {
    Q_OBJECT

public:
    // Action requests.
    static constexpr int ActionRebuild = 0;
    static constexpr int ActionPrint = 8;
    static constexpr int ActionWriteJpeg = 22;

    explicit ChartControl(QWidget* parent = nullptr);
    ~ChartControl() override;

    // The whole state, for the chart file, the data export and tests.
    const ChartModel& model() const { return m_model; }
    // Replaces the whole state (a loaded chart file) and redraws.
    void setModel(const ChartModel& model);

    // Back to the initial state: no series, no points, default texts and
    // axes. The font size and table mode are the user's and stay.
    void reset();

    // Data.
    void setSeriesCount(int count);
    int seriesCount() const { return m_model.seriesCount; }
    void setPointCount(int count);
    int pointCount() const { return m_model.pointCount; }
    void setVisiblePointCount(int count);
    int visiblePointCount() const { return m_model.visiblePointCount; }
    void setFirstVisiblePoint(int point); // counted from 1
    int firstVisiblePoint() const { return m_model.firstVisiblePoint; }
    void setValue(int series, int point, float value);
    float value(int series, int point) const { return m_model.value(series, point); }
    void setMissingValue(float marker);
    float missingValue() const { return m_model.missingValue; }

    // Series.
    void setSeriesLabel(int series, const QString& label);
    QString seriesLabel(int series) const;
    void setSeriesColor(int series, const QColor& color);
    QColor seriesColor(int series) const;
    // Draws every series in one style.
    void setPlotStyle(PlotStyle style);
    // One series in its own style.
    void setSeriesPlotStyle(int series, PlotStyle style);
    // The series' column heading and decimals in the data table.
    void setSeriesTableColumn(int series, const QString& heading, int decimals);
    PlotStyle plotStyle() const { return m_model.plotStyle; }
    void setRightAxisSeries(int count);
    int rightAxisSeries() const { return m_model.rightAxisSeries; }

    // Texts.
    void setMainTitle(const QString& text);
    QString mainTitle() const { return m_model.mainTitle; }
    void setSubTitle(const QString& text);
    QString subTitle() const { return m_model.subTitle; }
    void setXAxisLabel(const QString& text);
    QString xAxisLabel() const { return m_model.xAxisLabel; }
    void setFooter(const QString& text);
    QString footer() const { return m_model.footer; }

    // Axes.
    void setLeftAxisLabel(const QString& text);
    void setLeftAxisColor(const QColor& color);
    void setLeftTickFormat(const QString& format);
    void setRightAxisLabel(const QString& text);
    void setRightAxisColor(const QColor& color);
    void setRightTickFormat(const QString& format);
    void setRightAxisRange(double min, double max); // manual scale
    // The left axis's current upper bound as drawn.
    double leftAxisMaximum() const;

    // Time axis.
    void setMinutesPerPoint(int minutes);
    int minutesPerPoint() const { return m_model.minutesPerPoint; }
    void setPointsPerDay(double points);
    double pointsPerDay() const { return m_model.pointsPerDay; }
    void setFirstPointTime(double dateValue);
    double firstPointTime() const { return m_model.firstPointTime; }

    // Horizontal line annotations 0 and 1.
    void setAnnotation(int index, const Annotation& annotation);
    Annotation annotation(int index) const;
    void setShowAnnotations(bool show);
    bool showAnnotations() const { return m_model.showAnnotations; }

    // Outages and stretches without data, shaded behind the series, and the
    // availability the report states.
    void setShading(const std::vector<ShadedStretch>& stretches, const QString& availability);
    void setShowShading(bool show);
    bool showShading() const { return m_model.showShading; }

    // Each bucket's percentiles, jitter and poll counts (one per point, or
    // none), and which figures are drawn and whether spikes are clipped.
    void setShapes(std::vector<BucketShape> shapes);
    void setLatencyLook(const LatencyLook& look);
    const LatencyLook& latencyLook() const { return m_model.latency; }

    // 0 large, 1 medium, 2 small; applied to every text at once.
    void setFontSize(int size);
    int fontSize() const { return m_model.fontSize; }
    // TableGraphWithTable or TableGraphOnly; shows at once.
    void setTableMode(int mode);
    int tableMode() const { return m_model.tableMode; }
    void setGridLines(bool on);
    void setLegendPosition(LegendPosition position);
    void setLeftAxisScale(bool manual, double min, double max);
    void setSeriesVisible(int series, bool visible);
    void setSeriesLine(int series, double width, LineType type);

    // Image size used by the print and JPEG action requests, in pixels.
    void setImageSize(int width, int height);
    void setJpegFileName(const QString& path);
    // Runs an action request: rebuild, print, write JPEG. Returns success.
    bool action(int request);

    // Images. Sizes are in pixels for bitmaps and in the widget's own units
    // (pixels at the screen's resolution) for vector output. The file's
    // extension picks the bitmap format (png, jpg, bmp). Each reports success;
    // a file output says why it failed in *reason when given.
    bool bitmapToFile(int width, int height, const QString& path, QString* reason = nullptr);
    bool vectorToFile(int width, int height, const QString& path,
                      QString* reason = nullptr); // SVG
    bool pdfToFile(int width, int height, const QString& path, QString* reason = nullptr);
    bool bitmapToClipboard(int width, int height);
    bool vectorToClipboard(int width, int height);
    QImage toImage(int width, int height);
    // Draws the chart as vectors into a rectangle of any active painter (a
    // printer, a PDF): laid out at the screen's resolution for the
    // rectangle's size and scaled onto the device, so that it fills the
    // rectangle and stays sharp at the device's resolution. Without titles
    // the main title, subtitle and footer are left out (a printed page sets
    // them itself).
    void paintTo(QPainter& painter, const QRectF& target, bool withTitles);

    // The chart file: the whole model, written through QSaveFile. A load that
    // fails leaves the chart as it was and describes why in *error.
    bool saveChart(const QString& path, QString* error = nullptr) const;
    bool loadChart(const QString& path, QString* error = nullptr);

    // The dialogs of the control.
    // Returns whether the user kept the changes (OK).
    bool customize();
    void exportDialog();

    // Applies every pending change to the drawing now (changes are otherwise
    // gathered and drawn once, when control returns to the event loop).
    void flush();

    // The read-out on screen: the figures of the bucket under the mouse, or
    // of the bucket reached with Left, Right, Home and End, shown beside it
    // while that bucket is highlighted; Esc or leaving the plot hides it.
    // `text` gives a bucket's figures (counted from 0; an empty text shows
    // nothing); without it there is no read-out. Neither the text nor the
    // highlight is part of the model or drawn by the plot, so no chart file,
    // picture or printout ever shows them.
    using ReadoutText = std::function<QString(int point)>;
    void setReadoutText(ReadoutText text);
    void hideReadout();
    // The highlighted bucket (-1: none), the read-out and the highlight
    // (made when first shown).
    int readoutPoint() const { return m_readoutPoint; }
    QLabel* readout() const { return m_readoutLabel; }
    QWidget* readoutHighlight() const { return m_readoutHighlight; }

    // The drawing surface, for tests that look at what is drawn.
    QCustomPlot* plot() const { return m_plot; }
    // The data table, made when first needed: a chart that never shows it
    // (one written to a data file) loads no fonts for it.
    QTableWidget* table() const;

signals:
    // The user asked for the customisation dialog (double-click, context menu).
    void customizeRequested();
    // The visible run of points changed through the mouse or the wheel.
    void zoomChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // While it lives, the drawing is the one outputs get: the extra title
    // line also says when it was made.
    class OutputLook {
    public:
        explicit OutputLook(ChartControl& control);
        ~OutputLook();
        OutputLook(const OutputLook&) = delete;
        OutputLook& operator=(const OutputLook&) = delete;

    private:
        ChartControl& m_control;
    };

    enum Change {
        LookChanged = 1,
        DataChanged = 2,
        ViewChanged = 4,
        TableChanged = 8,
        AllChanged = 15,
    };
    void changed(int what);
    void queuedFlush();
    void applyLook();
    void applyData();
    void applyView();
    void fillTable();
    void showTable(bool show);
    void applyTableFont() const;
    void showContextMenu(const QPoint& position);
    // The true value of a clipped bucket under the mouse, as a tool tip.
    bool showClippedValue(const QPoint& position, const QPoint& global);
    // Highlights a bucket and shows its read-out beside the mouse (or beside
    // the bucket, for the keys); a bucket without text hides the read-out.
    void showReadout(int point, std::optional<QPoint> mouse);
    void placeReadout();
    // After the view or the layout changed: the same bucket, or the one now
    // under the mouse, or nothing when it left the view.
    void followReadout();
    // The bucket under a point of the plot, or -1 outside the plot area.
    int pointUnder(const QPoint& at) const;
    bool readoutKey(const QKeyEvent& key);
    // Runs a drawing of the plot at another size than the screen's, with
    // the reference texts placed for that size.
    template <typename Draw> auto atSize(int width, int height, Draw&& draw);

    ChartModel m_model;
    QSplitter* m_splitter = nullptr;
    QCustomPlot* m_plot = nullptr;
    mutable QTableWidget* m_table = nullptr;
    std::unique_ptr<ChartPlotter> m_plotter;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    QString m_jpegFileName;
    int m_dragStart = -1;
    QRubberBand* m_band = nullptr;
    int m_pending = 0;
    bool m_flushQueued = false;
    bool m_replotOnShow = false;
    ReadoutText m_readoutText;
    int m_readoutPoint = -1;
    std::optional<QPoint> m_readoutMouse; // where the mouse is, when it chose the bucket
    QLabel* m_readoutLabel = nullptr;
    QWidget* m_readoutHighlight = nullptr;
};

} // namespace tarnvue
