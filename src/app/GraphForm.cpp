#include "GraphForm.h"

#include "chart/CustomPeriodForm.h"
#include "chart/Periods.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "core/BusyCursor.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"
#include "help/HelpLinks.h"
#include "monitordb/MonitorDB.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QTabBar>
#include <QToolBar>
#include <optional>

namespace tarnvue {

namespace {

// Design size of the window's inner area, and the fixed parts of the layout,
// in twips.
constexpr int DesignWidth = 10185;
constexpr int DesignHeight = 6390;
constexpr int PeriodTabsHeight = 315;
constexpr int ChartTabsGap = 50;

QString describe(const std::exception& e) {
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->description();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

GraphForm::GraphForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(programTitle());
    m_client = new QWidget(this);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);
    m_chart = new TarnvueChart(m_client);
    m_chart->setObjectName(QStringLiteral("TarnvueChart"));
    // What a new user sees in place of a chart.
    m_startHint = new QLabel(QStringLiteral("Build New Chart (Ctrl+N) to chart a node"), m_client);
    m_startHint->setObjectName(QStringLiteral("StartHint"));
    m_startHint->setAlignment(Qt::AlignCenter);
    m_startHint->setWordWrap(true);
    m_startHint->setForegroundRole(QPalette::PlaceholderText);
    createPeriodButtons();
    createMenus();
    createToolbar();
    createOutagesPanel();
    createUserCommands();
    connect(m_chart->ChartObject(), &ChartControl::zoomChanged, this, &GraphForm::showZoomState);
    // Esc stops a chart build; it is live only while one runs.
    m_cancelBuild = new QAction(QStringLiteral("Cancel"), this);
    m_cancelBuild->setObjectName(QStringLiteral("CancelBuild"));
    m_cancelBuild->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelBuild->setEnabled(false);
    connect(m_cancelBuild, &QAction::triggered, m_chart, &TarnvueChart::Cancel);
    addAction(m_cancelBuild);
    // The design size, widened where this platform's fonts need more room for
    // all eight period tabs.
    const int width = std::max(twips(DesignWidth), m_periodButtons->sizeHint().width());
    resize(width,
           twips(DesignHeight) + menuBar()->sizeHint().height() + m_toolbar->sizeHint().height());
    Form_Load();
    restoreUserSettings();
}

GraphForm::~GraphForm() {
    Form_Unload();
}

int GraphForm::twips(int value) const {
    return twipsToPixels(value, logicalDpiY());
}

void GraphForm::createPeriodButtons() {
    m_periodButtons = new QTabBar(m_client);
    m_periodButtons->setObjectName(QStringLiteral("PeriodButtons"));
    m_periodButtons->setExpanding(false);
    m_periodButtons->setDrawBase(false);
    for (const PeriodInfo& period : periodTable()) {
        const int tab = m_periodButtons->addTab(period.tabCaption);
        m_periodButtons->setTabData(tab, period.key);
    }
    connect(m_periodButtons, &QTabBar::currentChanged, this, &GraphForm::PeriodButtons_Click);
    m_periodButtons->installEventFilter(this);
}

void GraphForm::Form_Load() {
    m_helpContextId = WindowHelpContext;
    SetTools();
    m_currentPeriod = TodayPeriod;
    loadOutputMenus();
    const QSignalBlocker quiet(m_periodButtons);
    m_periodButtons->setCurrentIndex(TodayPeriod - 1);
}

void GraphForm::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    saveUserSettings();
    MonitorDB::release();
}

void GraphForm::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        // The database stays open until the build has let go of it.
        m_closeWhenIdle = true;
        m_chart->Cancel();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void GraphForm::finishBusy() {
    m_busy = false;
    m_cancelBuild->setEnabled(false);
    if (m_closeWhenIdle) {
        m_closeWhenIdle = false;
        close();
    }
}

GraphForm::Snapshot GraphForm::snapshot() const {
    return {m_currentNodeId, m_currentPeriod, m_chartFileName,
            m_chartName,     m_nodeAddress,   m_chart->snapshot()};
}

void GraphForm::restore(const Snapshot& before) {
    m_currentNodeId = before.nodeId;
    m_currentPeriod = before.period;
    m_chartFileName = before.chartFileName;
    m_chartName = before.chartName;
    m_nodeAddress = before.nodeAddress;
    m_chart->restore(before.chart);
    IgnorePeriodClick = true;
    selectPeriodTab(m_currentPeriod);
    IgnorePeriodClick = false;
    SetTools();
    Form_Resize();
}

bool GraphForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    // The wheel does not change the period: each notch would rebuild the
    // chart, and the chart above zooms on the wheel, so it happens by
    // accident.
    if (watched == m_periodButtons && event->type() == QEvent::Wheel)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool GraphForm::BuildChart(std::int32_t NodeID) {
    if (m_busy)
        return false;
    return buildChart(NodeID, snapshot());
}

bool GraphForm::buildChart(std::int32_t NodeID, const Snapshot& before) {
    if (m_busy)
        return false;
    m_busy = true;
    m_cancelBuild->setEnabled(true);
    struct Idle {
        GraphForm* form;
        ~Idle() { form->finishBusy(); }
    } idle{this};
    // The hourglass shows while the program works, not over its messages:
    // finding the database may ask the user for one.
    std::optional<BusyCursor> busy;
    try {
        if (!openMonitorDatabase(true)) {
            show();
            return false;
        }
        busy.emplace();
        MonitorDB& db = MonitorDB::shared();
        show();
        QCoreApplication::processEvents();
        m_currentNodeId = NodeID;
        Form_Resize();
        m_chart->setDB(&db);
        SetupPeriod(m_currentPeriod);
        m_chart->setPeriodIndex(m_currentPeriod);
        SetTitles();
        m_chartFileName.clear();
        SetTools();
        // Laid out again now that the window shows a node chart.
        Form_Resize();
        m_chart->setNodeID(m_currentNodeId);
        m_chart->Plot();
        rememberRecentChart();
        showZoomState();
        showOutages();
        return true;
    } catch (const BuildCancelled&) {
        restore(before);
        return false;
    } catch (const std::exception& e) {
        // A failure before the window was shown must not leave it loaded
        // and invisible.
        busy.reset();
        show();
        showExclamation(this, failureText(QStringLiteral("Cannot build new chart."), describe(e)));
        return false;
    }
}

bool GraphForm::LoadGraph(const QString& FileName) {
    if (m_busy)
        return false;
    {
        m_busy = true;
        struct Idle {
            GraphForm* form;
            ~Idle() { form->finishBusy(); }
        } idle{this};
        const BusyCursor busy;
        QCoreApplication::processEvents();
        m_currentNodeId = 0;
        m_chartFileName = FileName;
        m_chartName = fileNamePart(FileName);
        setWindowTitle(m_chartName);
        m_periodButtons->hide();
        Form_Resize();
        if (m_chart->LoadChart(FileName)) {
            setWindowTitle(m_chartName + QStringLiteral(" [") + m_chart->MainTitle() +
                           QStringLiteral("]"));
            show();
            SetTools();
            rememberRecentChart();
            return true;
        }
    }
    dialogs().message(this,
                      QStringLiteral("Cannot load chart (") + FileName +
                          QStringLiteral(")\r\n\r\n") + m_chart->LoadError(),
                      MessageIcon::None, programTitle(), MessageButtons::Ok);
    // The window does not keep a chart it could not show.
    CloseSelection_Click();
    return false;
}

void GraphForm::SetupPeriod(int Period) {
    setupPeriod(*m_chart, Period, currentDateTime());
}

void GraphForm::SetTitles() {
    if (m_currentNodeId < 1) {
        setWindowTitle(m_chartName);
    } else {
        const NodeTitles node = readNodeTitles(MonitorDB::shared(), m_currentNodeId);
        m_chartName = node.name;
        m_nodeAddress = node.address;
        m_chart->setMainTitle(m_chartName);
        m_chart->setSubTitle(m_nodeAddress);
    }
    Form_Resize();
}

void GraphForm::Form_Resize() {
    const WindowState current = state();
    const ClientLayout layout = layoutClient(current, m_client->width(), m_client->height(),
                                             twips(PeriodTabsHeight), twips(ChartTabsGap));
    // A part that cannot be placed (the window is too small) keeps its place.
    if (layout.tabs.isValid())
        m_periodButtons->setGeometry(layout.tabs);
    m_periodButtons->setVisible(layout.tabsVisible);
    if (layout.chart.isValid()) {
        m_chart->setGeometry(layout.chart);
        m_startHint->setGeometry(layout.chart);
    }
    m_startHint->setVisible(current == WindowState::Empty);
    const QString caption =
        windowCaption(current, m_chartName, m_chart->MainTitle(), m_currentPeriod,
                      spanText(m_chart->PlotBegin(), m_chart->PlotEnd()));
    if (!caption.isEmpty() || current != WindowState::NodeChart)
        setWindowTitle(caption);
}

void GraphForm::PeriodButtons_Click() {
    if (IgnorePeriodClick)
        return;
    if (m_busy) {
        // Refused while a chart is built: the tab goes back to the period
        // being charted.
        IgnorePeriodClick = true;
        selectPeriodTab(m_currentPeriod);
        IgnorePeriodClick = false;
        return;
    }
    const Snapshot before = snapshot();
    const int tab = m_periodButtons->currentIndex();
    const int period = periodForKey(m_periodButtons->tabData(tab).toString());
    if (period >= TodayPeriod && period <= ThisYearPeriod) {
        m_currentPeriod = static_cast<std::int16_t>(period);
        buildChart(m_currentNodeId, before);
    } else if (period == CustomPeriod) {
        // Cancelling leaves the custom tab selected over the previous chart.
        showCustomPeriodForm();
    }
}

void GraphForm::showCustomPeriodForm() {
    const Snapshot before = snapshot();
    CustomPeriodForm form(*m_chart, this);
    connect(&form, &CustomPeriodForm::helpRequested, &form, [&form] { showDialogHelp(&form); });
    if (m_customPeriodAnswer ? !m_customPeriodAnswer(form) : form.exec() != QDialog::Accepted)
        return;
    m_currentPeriod = CustomPeriod;
    IgnorePeriodClick = true;
    selectPeriodTab(CustomPeriod);
    IgnorePeriodClick = false;
    buildChart(m_currentNodeId, before);
}

void GraphForm::setCustomPeriodAnswer(std::function<bool(CustomPeriodForm&)> answer) {
    m_customPeriodAnswer = std::move(answer);
}

void GraphForm::CloseSelection_Click() {
    if (m_busy)
        return;
    m_currentNodeId = 0;
    m_chartFileName.clear();
    Form_Resize();
    SetTools();
}

} // namespace tarnvue
