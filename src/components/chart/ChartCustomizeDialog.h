#pragma once

#include "ChartModel.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace tarnvue {

class ChartControl;

// The chart's "Customize" dialog: titles, the look of each series, the left
// axis scale and the display options. Every change shows on the chart at once;
// OK keeps the changes, Cancel (Escape, closing the window) puts the chart's
// look back as it was when the dialog opened.
//
// Widgets carry object names for tests: "mainTitle", "subTitle",
// "seriesVisible<N>", "seriesColor<N>", "seriesWidth<N>", "seriesStyle<N>",
// "leftScaleAutomatic", "leftScaleFixed", "leftMinimum", "leftMaximum",
// "leftScaleHint", "plotStyle", "legendPosition", "fontSize", "gridLines",
// "showTable", "showReferenceLines", "showShading", "showMedian", "showP95",
// "showSpreadBand", "showJitter", "clipSpikes"; the color chooser a color
// button opens is "seriesColorDialog".
class ChartCustomizeDialog : public QDialog {
    Q_OBJECT

public:
    explicit ChartCustomizeDialog(ChartControl& control, QWidget* parent = nullptr);
    ~ChartCustomizeDialog() override;

    // The chart's model as it was when the dialog opened.
    const ChartModel& originalModel() const { return m_original; }

    // Every way out that is not OK restores the chart's original look.
    void done(int result) override;

private:
    struct SeriesRow {
        QCheckBox* visible = nullptr;
        QToolButton* color = nullptr;
        QDoubleSpinBox* width = nullptr;
        QComboBox* style = nullptr;
    };

    QWidget* buildTitlesPage();
    QWidget* buildSeriesPage();
    QWidget* buildAxesPage();
    QWidget* buildDisplayPage();

    void chooseSeriesColor(int series);
    void applySeriesColor(int series, const QColor& color);
    void applySeriesVisible(int series, bool visible);
    void applySeriesLine(int series);
    void applyLeftScale();
    void restoreOriginal();
    bool hasSeries(int series) const;

    ChartControl& m_control;
    const ChartModel m_original;

    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_mainTitle = nullptr;
    QLineEdit* m_subTitle = nullptr;
    std::vector<SeriesRow> m_series;
    QRadioButton* m_leftAutomatic = nullptr;
    QRadioButton* m_leftFixed = nullptr;
    QDoubleSpinBox* m_leftMinimum = nullptr;
    QDoubleSpinBox* m_leftMaximum = nullptr;
    QLabel* m_leftHint = nullptr;
    QComboBox* m_plotStyle = nullptr;
    QComboBox* m_legend = nullptr;
    QComboBox* m_fontSize = nullptr;
    QCheckBox* m_gridLines = nullptr;
    QCheckBox* m_showTable = nullptr;
    QCheckBox* m_showAnnotations = nullptr;
    QCheckBox* m_showShading = nullptr;
    QCheckBox* m_showMedian = nullptr;
    QCheckBox* m_showP95 = nullptr;
    QCheckBox* m_showBand = nullptr;
    QCheckBox* m_showJitter = nullptr;
    QCheckBox* m_clipSpikes = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace tarnvue
