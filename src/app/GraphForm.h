#pragma once

#include "WindowState.h"

#include <QMainWindow>
#include <cstdint>

class QTabBar;
class QAction;
class QMenu;

namespace tarnvue {

class TarnvueChart;

// The program's main window: one chart of one node (or of a chart file), the
// period tabs below it, and the commands around it. It owns the window state;
// the chart control owns the span, the data and the drawing.
class GraphForm : public QMainWindow {
    Q_OBJECT

public:
    explicit GraphForm(QWidget* parent = nullptr);
    ~GraphForm() override;

    // The window state.
    std::int32_t CurrentNodeID() const { return m_currentNodeId; }
    std::int16_t CurrentPeriod() const { return m_currentPeriod; }
    QString ChartFileName() const { return m_chartFileName; }
    QString ChartName() const { return m_chartName; }
    QString NodeAddress() const { return m_nodeAddress; }
    WindowState state() const { return windowStateOf(m_chartFileName, m_currentNodeId); }
    int helpContextId() const { return m_helpContextId; }

    TarnvueChart* Chart() const { return m_chart; }
    QTabBar* PeriodButtons() const { return m_periodButtons; }

    // Builds and shows the chart of a node for the current period. Reports a
    // failure itself ("Cannot build new chart.") and returns false; the window
    // is shown in whatever state the failure left.
    bool BuildChart(std::int32_t NodeID);

    // Shows a chart file. On failure it reports the file and the reason and
    // returns false, leaving the window in the Empty state; the caller decides
    // whether the program goes on.
    bool LoadGraph(const QString& FileName);

    // Sets the chart's span and bucket width for a named period (1 to 7) from
    // the clock; the custom period and any other value change nothing.
    void SetupPeriod(int Period);

    // Reads the current node's name and address into the captions and titles.
    // Throws Error when the node cannot be read.
    void SetTitles();

    // Lays the window out and sets its caption for the state.
    void Form_Resize();

    // Brings the state-dependent commands into line with the window's state.
    void SetTools();

    // The period tab strip's selection handler.
    void PeriodButtons_Click();

    // File > Close and File > Exit.
    void CloseSelection_Click();
    void ExitSelection_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void createMenus();
    void createPeriodButtons();
    int twips(int value) const;

    std::int32_t m_currentNodeId = 0;
    std::int16_t m_currentPeriod = 0;
    QString m_chartFileName;
    QString m_chartName;
    QString m_nodeAddress;
    int m_helpContextId = 0;
    bool m_unloaded = false;

    QWidget* m_client = nullptr;
    TarnvueChart* m_chart = nullptr;
    QTabBar* m_periodButtons = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_closeSelection = nullptr;
    QAction* m_exitSelection = nullptr;
};

} // namespace tarnvue
