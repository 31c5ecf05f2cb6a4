#pragma once

#include "WindowState.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartModel.h"
#include "core/UserSettings.h"

#include <QMainWindow>
#include <QMap>
#include <cstdint>
#include <functional>
#include <vector>

class QTabBar;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace tarnvue {

class CustomPeriodForm;
class OutagesPanel;

// A Chart menu command that switches a response time spread figure:
// "MedianSelection", "Percentile95Selection", "SpreadBandSelection",
// "JitterSelection", "ClipSpikesSelection".
struct SpreadCommand {
    const char* caption;
    const char* name;
    bool LatencyLook::*field;
    UserSettings::Spread setting;
};
const std::vector<SpreadCommand>& spreadCommands();

// The program's main window: one chart of one node (or of a chart file), the
// period tabs below it, and the commands around it (menus and toolbar). It
// owns the window state; the chart control owns the span, the data and the
// drawing.
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
    // The dock listing the node chart's outages (Chart > Outages).
    OutagesPanel* Outages() const { return m_outagesPanel; }
    // Zooms the chart to a stretch of time, one bucket wider on either side.
    void zoomToStretch(double start, double end);
    QTabBar* PeriodButtons() const { return m_periodButtons; }
    QToolBar* Toolbar() const { return m_toolbar; }
    // A toolbar button's action by its key ("New", "Refresh", ...).
    QAction* toolbarButton(const QString& key) const { return m_buttons.value(key); }

    // Builds and shows the chart of a node for the current period. Reports a
    // failure itself ("Cannot build new chart.") and returns false; the window
    // is shown in whatever state the failure left. A build is one operation:
    // while it runs (it yields to show progress) every command is refused,
    // Esc cancels it and puts the window back as it was before the command,
    // and closing the window cancels it and closes once it has stopped.
    bool BuildChart(std::int32_t NodeID);
    // True while a chart is being built or loaded.
    bool Busy() const { return m_busy; }

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

    // Runs the handler of a toolbar button by its key; unknown keys do nothing.
    void Toolbar_ButtonClick(const QString& key);

    // Menu handlers.
    void BuildNewSelection_Click();
    void OpenSelection_Click();
    void SaveSelection_Click();
    void SaveAsSelection_Click();
    void CloseSelection_Click();
    void ExitSelection_Click();
    void PrintSelection_Click();
    void ExportMethod_Click(int Index);
    void SendToMethod_Click(int Index);
    void PrintPreviewSelection_Click();
    void ExportWizardSelection_Click();
    void CopyBitmapSelection_Click();
    void CopyMetafileSelection_Click();
    void SmallFontSize_Click();
    void MediumFontSize_Click();
    void LargeFontSize_Click();
    void CustomizeSelection_Click();
    void RefreshSelection_Click();
    void MoreDetailSelection_Click();
    void LessDetailSelection_Click();
    void TableSelection_Click();
    void ZoomOutSelection_Click();
    void CustomPeriod_Click();
    void ContentsSelection_Click();
    void HelpPollwatchSelection_Click();
    void HelpSelection_Click();
    void AboutSelection_Click();
    void UpdatesSelection_Click();
    void HelpOnLineSelection_Click();
    void FAQSelection_Click();
    void FeedbackSelection_Click();

    // The monitor database and the recent charts (File menu). Index counts
    // the recent charts from 1, as the menu shows them.
    void OpenDatabaseSelection_Click();
    void RecentChart_Click(int Index);

    // Switches one of the chart's response time spread figures (a field of
    // LatencyLook) on or off; the choice is kept for the next runs.
    void SpreadSelection_Click(bool LatencyLook::*field);

    // What the Chart, Edit and Period menus adjust when they open.
    void ChartMenu_Click();
    void EditMenu_Click();
    void PeriodMenu_Click();

    // Asks for a node to chart; tests replace it. Returns 0 for none.
    void setNodeChooser(std::function<std::int32_t(QWidget*)> chooser);
    // Answers the custom period dialog instead of a person (tests): fills
    // and confirms the form, returning whether it was accepted.
    void setCustomPeriodAnswer(std::function<bool(CustomPeriodForm&)> answer);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window state and the chart as they were before a command changed
    // them, to go back to when its build is cancelled.
    struct Snapshot {
        std::int32_t nodeId = 0;
        std::int16_t period = 0;
        QString chartFileName;
        QString chartName;
        QString nodeAddress;
        TarnvueChart::Snapshot chart;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& before);
    bool buildChart(std::int32_t NodeID, const Snapshot& before);
    // Connects a command so that it is refused while the window is busy.
    template <typename Handler> void connectCommand(QAction* action, Handler handler);
    void finishBusy();

    void Form_Load();
    void Form_Unload();
    void createMenus();
    void createToolbar();
    void createPeriodButtons();
    QAction* addCommand(QMenu* menu, const QString& caption, const char* name,
                        void (GraphForm::*handler)());
    void selectPeriodTab(int period);
    void showCustomPeriodForm();
    bool saveTo(const QString& path);
    void loadOutputMenus();
    QString chartStem() const;
    template <typename Call> void runOutputCommand(const QString& failure, Call&& call);
    void showTableState();
    void showSpreadState();
    // The Zoom Out button is enabled only while a node chart is zoomed.
    void showZoomState();
    void createOutagesPanel();
    void showOutages();
    void makeRoomForOutages(bool shown);
    void detailStep(int step);
    int twips(int value) const;

    // The user's settings and recent charts (GraphFormSettings.cpp).
    void createUserCommands();
    void restoreUserSettings();
    void saveChartChoices();
    void saveUserSettings();
    bool openMonitorDatabase(bool createFromTemplate);
    bool chooseDatabase();
    void rememberRecentChart();
    void showRecentCharts();

    std::int32_t m_currentNodeId = 0;
    std::int16_t m_currentPeriod = 0;
    QString m_chartFileName;
    QString m_chartName;
    QString m_nodeAddress;
    int m_helpContextId = 0;
    bool m_unloaded = false;
    bool m_busy = false;
    bool m_closeWhenIdle = false;
    QAction* m_cancelBuild = nullptr;
    std::function<std::int32_t(QWidget*)> m_chooseNode;
    std::function<bool(CustomPeriodForm&)> m_customPeriodAnswer;

    QWidget* m_client = nullptr;
    TarnvueChart* m_chart = nullptr;
    QLabel* m_startHint = nullptr;
    OutagesPanel* m_outagesPanel = nullptr;
    QTabBar* m_periodButtons = nullptr;
    QToolBar* m_toolbar = nullptr;
    QMap<QString, QAction*> m_buttons;
    QMap<QString, QAction*> m_commands; // menu items by name
    QMenu* m_fileMenu = nullptr;
    QMenu* m_exportMenu = nullptr;
    QMenu* m_sendToMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_chartMenu = nullptr;
    QMenu* m_periodMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    std::vector<QAction*> m_exportMethods; // 1-based in the handlers, as listed
    std::vector<QAction*> m_sendToMethods;
    std::vector<QAction*> m_recentCharts;
    QAction* m_recentSeparator = nullptr;
};

} // namespace tarnvue
