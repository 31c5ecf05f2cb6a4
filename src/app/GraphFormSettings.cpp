// The main window's side of what the user keeps between runs: the window's
// size and place, the chart choices and the last period, the monitor database
// chosen with Open Database, and the recent charts on the File menu.

#include "GraphForm.h"
#include "RecentCharts.h"
#include "chart/Periods.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/ProgramInfo.h"
#include "core/UserSettings.h"
#include "monitordb/MonitorDB.h"

#include <QFileInfo>
#include <QMenu>
#include <QTabBar>

namespace tarnvue {

const std::vector<SpreadCommand>& spreadCommands() {
    static const std::vector<SpreadCommand> commands = {
        {"M&edian", "MedianSelection", &LatencyLook::median, UserSettings::Spread::Median},
        {"&95th Percentile", "Percentile95Selection", &LatencyLook::p95, UserSettings::Spread::P95},
        {"Spread &Band (5th\u201395th)", "SpreadBandSelection", &LatencyLook::band,
         UserSettings::Spread::Band},
        {"&Jitter", "JitterSelection", &LatencyLook::jitter, UserSettings::Spread::Jitter},
        {"&Clip Spikes", "ClipSpikesSelection", &LatencyLook::clipSpikes,
         UserSettings::Spread::ClipSpikes},
    };
    return commands;
}

void GraphForm::createUserCommands() {
    // Open Database sits with Build New Chart, whose node list it feeds.
    QAction* openDatabase = new QAction(QStringLiteral("Open &Database ..."), m_fileMenu);
    openDatabase->setObjectName(QStringLiteral("OpenDatabaseSelection"));
    connect(openDatabase, &QAction::triggered, this, &GraphForm::OpenDatabaseSelection_Click);
    m_commands.insert(openDatabase->objectName(), openDatabase);
    QAction* buildNew = m_commands.value(QStringLiteral("BuildNewSelection"));
    const QList<QAction*> items = m_fileMenu->actions();
    const qsizetype after = items.indexOf(buildNew) + 1;
    m_fileMenu->insertAction(after < items.size() ? items[after] : nullptr, openDatabase);

    // The recent charts stand above Exit.
    QAction* exit = m_commands.value(QStringLiteral("ExitSelection"));
    for (int i = 0; i < RecentCharts::Limit; ++i) {
        QAction* item = new QAction(m_fileMenu);
        item->setObjectName(QStringLiteral("RecentChart%1").arg(i + 1));
        item->setVisible(false);
        connect(item, &QAction::triggered, this, [this, i] { RecentChart_Click(i + 1); });
        m_fileMenu->insertAction(exit, item);
        m_recentCharts.push_back(item);
    }
    m_recentSeparator = m_fileMenu->insertSeparator(exit);
    m_recentSeparator->setVisible(false);

    // The chart choices are kept as soon as the user makes them.
    for (const char* name : {"SmallFontSize", "MediumFontSize", "LargeFontSize", "TableSelection",
                             "CustomizeSelection"})
        connect(m_commands.value(QLatin1String(name)), &QAction::triggered, this,
                &GraphForm::saveChartChoices);
    for (const char* key : {"Table", "Customize"})
        connect(m_buttons.value(QLatin1String(key)), &QAction::triggered, this,
                &GraphForm::saveChartChoices);
}

void GraphForm::restoreUserSettings() {
    const UserSettings settings;
    if (const QByteArray geometry = settings.windowGeometry(); !geometry.isEmpty())
        restoreGeometry(geometry);
    if (const QByteArray layout = settings.windowState(); !layout.isEmpty())
        restoreState(layout);
    if (const auto size = settings.fontSize())
        m_chart->setFontSize(static_cast<std::int16_t>(*size));
    if (const auto table = settings.table()) {
        m_chart->setTable(*table);
        showTableState();
    }
    ChartControl& control = *m_chart->ChartObject();
    if (const auto grid = settings.gridLines())
        control.setGridLines(*grid);
    if (const auto legend = settings.legend())
        control.setLegendPosition(static_cast<LegendPosition>(*legend));
    LatencyLook look = control.latencyLook();
    for (const SpreadCommand& command : spreadCommands()) {
        if (const auto on = settings.spread(command.setting))
            look.*command.field = *on;
    }
    control.setLatencyLook(look);
    if (const auto period = settings.lastPeriod()) {
        m_currentPeriod = static_cast<std::int16_t>(*period);
        const QSignalBlocker quiet(m_periodButtons);
        selectPeriodTab(*period);
    }
    showRecentCharts();
}

void GraphForm::saveChartChoices() {
    // A chart file brings its own look; only the user's choices on a node
    // chart or an empty window are kept.
    if (state() == WindowState::FileChart)
        return;
    UserSettings settings;
    settings.setFontSize(m_chart->FontSize());
    settings.setTable(m_chart->Table());
    const ChartModel& model = m_chart->ChartObject()->model();
    settings.setGridLines(model.gridLines);
    settings.setLegend(static_cast<int>(model.legend));
    for (const SpreadCommand& command : spreadCommands())
        settings.setSpread(command.setting, model.latency.*command.field);
}

void GraphForm::saveUserSettings() {
    UserSettings settings;
    settings.setWindowGeometry(saveGeometry());
    settings.setWindowState(saveState());
}

// Opens the monitor database unless it is open. When there is none anywhere,
// the user is told where the program looked and offered Open Database; false
// when no database came of it. Other failures reach the caller as Error.
bool GraphForm::openMonitorDatabase(bool createFromTemplate) {
    MonitorDB& db = MonitorDB::shared();
    if (db.isOpen())
        return true;
    if (createFromTemplate)
        EnsureMonitorDatabase();
    try {
        db.open();
        return true;
    } catch (const DatabaseNotFound& e) {
        const MessageReply reply = dialogs().message(
            this, e.description() + QStringLiteral("\r\n\r\nOpen a monitor database now?"),
            MessageIcon::Exclamation, programTitle(), MessageButtons::YesNo);
        return reply == MessageReply::Yes && chooseDatabase();
    }
}

// Asks for a monitor database and opens it; the choice is kept for the next
// runs. A database that cannot be opened is reported and not kept.
bool GraphForm::chooseDatabase() {
    FileDialogRequest request;
    request.title = QStringLiteral("Open Monitor Database ...");
    request.filters = {QStringLiteral("Monitor Database (*.cfg *.mdb *.db *.sqlite)"),
                       QStringLiteral("All Files (*)")};
    const QString chosen = UserSettings().chosenDatabase();
    if (!chosen.isEmpty())
        request.directory = QFileInfo(chosen).absolutePath();
    const std::optional<QString> path = dialogs().openFileName(this, request);
    if (!path)
        return false;
    MonitorDB& db = MonitorDB::shared();
    const QString previous = db.path();
    try {
        db.open(*path);
    } catch (const Error& e) {
        // The database in use stays in use.
        if (!previous.isEmpty()) {
            try {
                db.open(previous);
            } catch (const Error&) {
                // Gone meanwhile: the next command looks for one again.
            }
        }
        showExclamation(this, failureText(QStringLiteral("Cannot open the monitor database."),
                                          e.description()));
        return false;
    }
    UserSettings().setChosenDatabase(QFileInfo(*path).absoluteFilePath());
    return true;
}

void GraphForm::OpenDatabaseSelection_Click() {
    if (!chooseDatabase())
        return;
    // A node chart on view came from the previous database.
    if (state() == WindowState::NodeChart)
        CloseSelection_Click();
    BuildNewSelection_Click();
}

void GraphForm::rememberRecentChart() {
    RecentChart chart;
    if (!m_chartFileName.isEmpty()) {
        chart.kind = RecentChart::Kind::File;
        chart.text = QFileInfo(m_chartFileName).absoluteFilePath();
    } else if (m_currentNodeId > 0) {
        chart.nodeId = m_currentNodeId;
        chart.text = m_chartName;
    } else {
        return;
    }
    UserSettings settings;
    RecentCharts recent(settings.recentCharts());
    recent.add(chart);
    settings.setRecentCharts(recent.stored());
    if (chart.kind == RecentChart::Kind::Node && m_currentPeriod >= TodayPeriod &&
        m_currentPeriod <= ThisYearPeriod)
        settings.setLastPeriod(m_currentPeriod);
    showRecentCharts();
}

void GraphForm::showRecentCharts() {
    const RecentCharts recent(UserSettings().recentCharts());
    const auto& entries = recent.entries();
    for (std::size_t i = 0; i < m_recentCharts.size(); ++i) {
        QAction* item = m_recentCharts[i];
        item->setVisible(i < entries.size());
        if (i < entries.size()) {
            item->setText(recentChartCaption(static_cast<int>(i), entries[i]));
            item->setToolTip(entries[i].text);
        }
    }
    m_recentSeparator->setVisible(!entries.empty());
}

void GraphForm::RecentChart_Click(int Index) {
    UserSettings settings;
    RecentCharts recent(settings.recentCharts());
    if (Index < 1 || Index > static_cast<int>(recent.entries().size()))
        return;
    const RecentChart chart = recent.entries()[static_cast<std::size_t>(Index - 1)];
    const auto forget = [&](const QString& text) {
        recent.remove(Index - 1);
        settings.setRecentCharts(recent.stored());
        showRecentCharts();
        showExclamation(this,
                        text + QStringLiteral(" It has been removed from the recent charts."));
    };

    if (chart.kind == RecentChart::Kind::File) {
        if (!QFileInfo(chart.text).isFile()) {
            forget(QStringLiteral("The chart file \"%1\" no longer exists.").arg(chart.text));
            return;
        }
        LoadGraph(chart.text);
        SetTools();
        Form_Resize();
        return;
    }

    bool known = false;
    try {
        if (!openMonitorDatabase(true))
            return;
        known = !MonitorDB::shared().nodeById(chart.nodeId)->atEnd();
    } catch (const Error& e) {
        showExclamation(this,
                        failureText(QStringLiteral("Cannot build new chart."), e.description()));
        return;
    }
    if (!known) {
        forget(QStringLiteral("The node \"%1\" is no longer in the monitor database.")
                   .arg(chart.text));
        return;
    }
    // A node reopens for the last named period, also after a custom span.
    if (m_currentPeriod < TodayPeriod || m_currentPeriod > ThisYearPeriod) {
        m_currentPeriod = static_cast<std::int16_t>(settings.lastPeriod().value_or(TodayPeriod));
        IgnorePeriodClick = true;
        selectPeriodTab(m_currentPeriod);
        IgnorePeriodClick = false;
    }
    m_chartFileName.clear();
    BuildChart(chart.nodeId);
}

} // namespace tarnvue
