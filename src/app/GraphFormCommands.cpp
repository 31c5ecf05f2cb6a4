// The main window's commands: the menu tree, the toolbar, the rules that show
// and enable them by the window's state, and the small handlers that belong
// to the window itself.

#include "GraphForm.h"

#include "Icons.h"
#include "OutagesPanel.h"
#include "ToolRules.h"
#include "chart/CustomPeriodForm.h"
#include "chart/Outages.h"
#include "chart/Periods.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartExportDialog.h"
#include "components/chart/ChartModel.h"
#include "core/BusyCursor.h"
#include "core/DateValue.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/ProgramDir.h"
#include "core/SafeFileName.h"
#include "help/AboutBox.h"
#include "help/HelpLinks.h"
#include "monitordb/SelectNodeForm.h"
#include "output/ExportEngine.h"
#include "output/SendFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <type_traits>

namespace tarnvue {

namespace {

struct ButtonSpec {
    const char* key;
    const char* caption;
    const char* tooltip;
    const char* icon;
    void (GraphForm::*handler)();
};

// The toolbar, left to right.
const ButtonSpec Buttons[] = {
    {"New", "New", "Build New Chart", "New", &GraphForm::BuildNewSelection_Click},
    {"Open", "Open", "Open Existing Chart", "Open", &GraphForm::OpenSelection_Click},
    {"Save", "Save", "Save Current Chart", "Save", &GraphForm::SaveSelection_Click},
    {"Print", "Print", "Print Current Chart", "Print", &GraphForm::PrintSelection_Click},
    {"Refresh", "Refresh", "Refresh Chart Statistics", "Refresh",
     &GraphForm::RefreshSelection_Click},
    // Detail is the bucket width: its icons show narrower or wider bars, so
    // that nobody takes them for zoom, which has its own button.
    {"MoreDetail", "Detail", "More Detail in Current Chart (finer buckets)", "Finer",
     &GraphForm::MoreDetailSelection_Click},
    {"LessDetail", "Detail", "Less Detail in Current Chart (coarser buckets)", "Coarser",
     &GraphForm::LessDetailSelection_Click},
    {"ZoomOut", "Zoom Out", "Show the Whole Chart Again", "ZoomOut",
     &GraphForm::ZoomOutSelection_Click},
    {"Table", "Table", "Display Responset Time Table with Chart", "Table",
     &GraphForm::TableSelection_Click},
    {"Customize", "Customize", "Customize Current Chart", "Customize",
     &GraphForm::CustomizeSelection_Click},
    {"Help", "Help", "Help On-Line Help", "Help", &GraphForm::HelpSelection_Click},
};

QMenu* addSubmenu(QMenu* parent, const QString& caption, const char* name) {
    QMenu* menu = parent->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

QMenu* addTopMenu(QMenuBar* bar, const QString& caption, const char* name) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

} // namespace

template <typename Handler> void GraphForm::connectCommand(QAction* action, Handler handler) {
    connect(action, &QAction::triggered, this, [this, handler] {
        // Nothing may start while a chart is built or loaded: it would
        // run inside that operation's progress yield.
        if (m_busy)
            return;
        if constexpr (std::is_member_function_pointer_v<Handler>)
            (this->*handler)();
        else
            handler();
    });
}

QAction* GraphForm::addCommand(QMenu* menu, const QString& caption, const char* name,
                               void (GraphForm::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connectCommand(action, handler);
    m_commands.insert(QLatin1String(name), action);
    return action;
}

void GraphForm::createMenus() {
    QMenuBar* bar = menuBar();

    m_fileMenu = addTopMenu(bar, QStringLiteral("&File"), "FileMenu");
    addCommand(m_fileMenu, QStringLiteral("Build &New Chart"), "BuildNewSelection",
               &GraphForm::BuildNewSelection_Click)
        ->setShortcut(QKeySequence::New);
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("&Open Chart ..."), "OpenSelection",
               &GraphForm::OpenSelection_Click)
        ->setShortcut(QKeySequence::Open);
    addCommand(m_fileMenu, QStringLiteral("&Save ..."), "SaveSelection",
               &GraphForm::SaveSelection_Click)
        ->setShortcut(QKeySequence::Save);
    addCommand(m_fileMenu, QStringLiteral("&Save As ..."), "SaveAsSelection",
               &GraphForm::SaveAsSelection_Click)
        ->setShortcut(QKeySequence::SaveAs);
    addCommand(m_fileMenu, QStringLiteral("&Close"), "CloseSelection",
               &GraphForm::CloseSelection_Click);
    m_fileMenu->addSeparator();
    m_exportMenu = addSubmenu(m_fileMenu, QStringLiteral("&Export ..."), "ExportMenu");
    QAction* noExports = m_exportMenu->addAction(QStringLiteral("no export methods installed"));
    noExports->setObjectName(QStringLiteral("ExportMethod"));
    noExports->setEnabled(false);
    m_exportMenu->addSeparator();
    addCommand(m_exportMenu, QStringLiteral("Export &Data from Chart ..."), "ExportWizardSelection",
               &GraphForm::ExportWizardSelection_Click);
    m_sendToMenu = addSubmenu(m_fileMenu, QStringLiteral("&Send To"), "SendToMenu");
    QAction* noSendTo = m_sendToMenu->addAction(QStringLiteral("no Send To methods installed"));
    noSendTo->setObjectName(QStringLiteral("SendToMethod"));
    noSendTo->setEnabled(false);
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("Print Pre&view ..."), "PrintPreviewSelection",
               &GraphForm::PrintPreviewSelection_Click);
    addCommand(m_fileMenu, QStringLiteral("&Print ..."), "PrintSelection",
               &GraphForm::PrintSelection_Click)
        ->setShortcut(QKeySequence::Print);
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, QStringLiteral("E&xit"), "ExitSelection",
               &GraphForm::ExitSelection_Click)
        ->setShortcut(QKeySequence::Quit);

    m_editMenu = addTopMenu(bar, QStringLiteral("&Edit"), "EditMenu");
    addCommand(m_editMenu, QStringLiteral("Copy &Bitmap"), "CopyBitmapSelection",
               &GraphForm::CopyBitmapSelection_Click)
        ->setShortcut(QKeySequence::Copy);
    addCommand(m_editMenu, QStringLiteral("Copy &Metafile"), "CopyMetafileSelection",
               &GraphForm::CopyMetafileSelection_Click);
    m_editMenu->addSeparator();
    QMenu* fonts = addSubmenu(m_editMenu, QStringLiteral("Font Size ..."), "FontSizeMenu");
    addCommand(fonts, QStringLiteral("&Small"), "SmallFontSize", &GraphForm::SmallFontSize_Click)
        ->setCheckable(true);
    addCommand(fonts, QStringLiteral("&Medium"), "MediumFontSize", &GraphForm::MediumFontSize_Click)
        ->setCheckable(true);
    addCommand(fonts, QStringLiteral("&Large"), "LargeFontSize", &GraphForm::LargeFontSize_Click)
        ->setCheckable(true);
    m_editMenu->addSeparator();
    addCommand(m_editMenu, QStringLiteral("&Customize Chart ..."), "CustomizeSelection",
               &GraphForm::CustomizeSelection_Click);
    connect(m_editMenu, &QMenu::aboutToShow, this, &GraphForm::EditMenu_Click);

    m_chartMenu = addTopMenu(bar, QStringLiteral("&Chart"), "ChartMenu");
    addCommand(m_chartMenu, QStringLiteral("&Refresh"), "RefreshSelection",
               &GraphForm::RefreshSelection_Click)
        ->setShortcut(QKeySequence::Refresh);
    m_chartMenu->addSeparator();
    addCommand(m_chartMenu, QStringLiteral("&More Detail"), "MoreDetailSelection",
               &GraphForm::MoreDetailSelection_Click)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    addCommand(m_chartMenu, QStringLiteral("&Less Detail"), "LessDetailSelection",
               &GraphForm::LessDetailSelection_Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    m_chartMenu->addSeparator();
    addCommand(m_chartMenu, QStringLiteral("&Response Time Table"), "TableSelection",
               &GraphForm::TableSelection_Click)
        ->setCheckable(true);
    m_chartMenu->addSeparator();
    // The spread of each bucket's replies, drawn over the chart's own series.
    for (const SpreadCommand& command : spreadCommands()) {
        QAction* item = m_chartMenu->addAction(QString::fromUtf8(command.caption));
        item->setObjectName(QLatin1String(command.name));
        item->setCheckable(true);
        m_commands.insert(item->objectName(), item);
        bool LatencyLook::*field = command.field;
        connectCommand(item, [this, field] { SpreadSelection_Click(field); });
    }
    m_chartMenu->addSeparator();
    addCommand(m_chartMenu, QStringLiteral("&Zoom Out"), "ZoomOutSelection",
               &GraphForm::ZoomOutSelection_Click);
    connect(m_chartMenu, &QMenu::aboutToShow, this, &GraphForm::ChartMenu_Click);

    m_periodMenu = addTopMenu(bar, QStringLiteral("&Period"), "PeriodMenu");
    for (const PeriodInfo& period : periodTable()) {
        if (period.index == CustomPeriod) {
            m_periodMenu->addSeparator();
            addCommand(m_periodMenu, period.menuCaption, "CustomPeriod",
                       &GraphForm::CustomPeriod_Click)
                ->setCheckable(true);
            continue;
        }
        QAction* item = m_periodMenu->addAction(period.menuCaption);
        item->setObjectName(period.menuName);
        item->setCheckable(true);
        m_commands.insert(period.menuName, item);
        // A named period selects its tab; the tab strip then rebuilds the chart.
        const int index = period.index;
        connectCommand(item, [this, index] {
            selectPeriodTab(index);
            PeriodMenu_Click(); // keep the marks true even when the tab was current
        });
    }
    connect(m_periodMenu, &QMenu::aboutToShow, this, &GraphForm::PeriodMenu_Click);

    m_helpMenu = addTopMenu(bar, QStringLiteral("&Help"), "HelpMenu");
    addCommand(m_helpMenu, QStringLiteral("&Contents ..."), "ContentsSelection",
               &GraphForm::ContentsSelection_Click);
    addCommand(m_helpMenu, QStringLiteral("Help on Pollwatch ..."), "HelpPollwatchSelection",
               &GraphForm::HelpPollwatchSelection_Click);
    addCommand(m_helpMenu, QStringLiteral("&Help on Tarnvue ..."), "HelpSelection",
               &GraphForm::HelpSelection_Click)
        ->setShortcut(QKeySequence::HelpContents);
    m_helpMenu->addSeparator();
    QMenu* web = addSubmenu(m_helpMenu, QStringLiteral("Norvane &Web Site ..."), "WebMenu");
    addCommand(web, QStringLiteral("Software &Updates ..."), "UpdatesSelection",
               &GraphForm::UpdatesSelection_Click);
    addCommand(web, QStringLiteral("&On-Line Manual ..."), "HelpOnLineSelection",
               &GraphForm::HelpOnLineSelection_Click);
    addCommand(web, QStringLiteral("&Frequently Asked Questions ..."), "FAQSelection",
               &GraphForm::FAQSelection_Click);
    web->addSeparator();
    addCommand(web, QStringLiteral("Provide &Feedback ..."), "FeedbackSelection",
               &GraphForm::FeedbackSelection_Click);
    m_helpMenu->addSeparator();
    addCommand(m_helpMenu, QStringLiteral("&About Tarnvue ..."), "AboutSelection",
               &GraphForm::AboutSelection_Click);
}

void GraphForm::createToolbar() {
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->toggleViewAction()->setEnabled(false);
    for (const ButtonSpec& entry : Buttons) {
        const QString key = QLatin1String(entry.key);
        QAction* button = m_toolbar->addAction(toolbarIcon(QLatin1String(entry.icon)),
                                               QLatin1String(entry.caption));
        button->setObjectName(QStringLiteral("Button") + key);
        button->setToolTip(QLatin1String(entry.tooltip));
        button->setData(key);
        m_buttons.insert(key, button);
        connectCommand(button, [this, key] { Toolbar_ButtonClick(key); });
    }
    m_buttons.value(QStringLiteral("Table"))->setCheckable(true);
    setWindowIcon(tarnvue::windowIcon());
}

void GraphForm::Toolbar_ButtonClick(const QString& key) {
    if (m_busy)
        return;
    for (const ButtonSpec& entry : Buttons) {
        if (key == QLatin1String(entry.key)) {
            (this->*entry.handler)();
            return;
        }
    }
}

void GraphForm::SetTools() {
    const ToolRules rules = toolRulesFor(state());
    m_chart->setVisible(rules.chartVisible);
    for (const char* name : {"SaveAsSelection", "SaveSelection", "PrintSelection",
                             "PrintPreviewSelection", "CloseSelection"})
        m_commands.value(QLatin1String(name))->setEnabled(rules.fileCommandsEnabled);
    m_exportMenu->menuAction()->setEnabled(rules.fileCommandsEnabled);
    m_sendToMenu->menuAction()->setEnabled(rules.fileCommandsEnabled);
    m_editMenu->menuAction()->setVisible(rules.editMenuVisible);
    m_chartMenu->menuAction()->setVisible(rules.chartMenuVisible);
    m_periodMenu->menuAction()->setVisible(rules.periodMenuVisible);
    for (const char* key : {"Save", "Customize", "Print"})
        m_buttons.value(QLatin1String(key))->setEnabled(rules.chartButtonsEnabled);
    for (const char* key : {"Refresh", "MoreDetail", "LessDetail", "ZoomOut"}) {
        QAction* button = m_buttons.value(QLatin1String(key));
        if (rules.nodeButtonsVisible)
            button->setVisible(*rules.nodeButtonsVisible);
        if (rules.nodeButtonsEnabled)
            button->setEnabled(*rules.nodeButtonsEnabled);
    }
    if (rules.tableButtonEnabled)
        m_buttons.value(QStringLiteral("Table"))->setEnabled(*rules.tableButtonEnabled);
    showZoomState();
    showOutages();
}

// The outages of the node chart ---------------------------------------------------

void GraphForm::createOutagesPanel() {
    m_outagesPanel = new OutagesPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, m_outagesPanel);
    // Hidden until the user asks for it; the window's saved layout keeps
    // the choice between runs.
    m_outagesPanel->hide();
    QAction* toggle = m_outagesPanel->toggleViewAction();
    toggle->setText(QStringLiteral("&Outages"));
    toggle->setObjectName(QStringLiteral("OutagesSelection"));
    m_chartMenu->addSeparator();
    m_chartMenu->addAction(toggle);
    m_commands.insert(toggle->objectName(), toggle);
    // The chart keeps its size: the window grows by the panel when the user
    // shows it, and gives the room back when the user hides it.
    connect(toggle, &QAction::triggered, this, &GraphForm::makeRoomForOutages);
    connect(m_outagesPanel, &OutagesPanel::stretchChosen, this, &GraphForm::zoomToStretch);
}

void GraphForm::makeRoomForOutages(bool shown) {
    if (isMaximized() || isFullScreen())
        return;
    const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    const int panel = shown ? m_outagesPanel->sizeHint().width() : m_outagesPanel->width();
    int wanted = width() + (shown ? panel + separator : -(panel + separator));
    if (const QScreen* screen = this->screen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    resize(std::max(wanted, minimumSizeHint().width()), height());
    if (shown)
        resizeDocks({m_outagesPanel}, {panel}, Qt::Horizontal);
}

void GraphForm::showOutages() {
    if (state() == WindowState::NodeChart)
        m_outagesPanel->showReport(m_chart->LastOutages());
    else
        m_outagesPanel->clear();
}

void GraphForm::zoomToStretch(double start, double end) {
    if (Busy() || state() != WindowState::NodeChart)
        return;
    ChartControl& chart = *m_chart->ChartObject();
    const PointRange range =
        stretchPoints(m_chart->PlotBegin(), m_chart->PeriodSize(), chart.pointCount(), start, end);
    if (range.count <= 0)
        return;
    chart.setVisiblePointCount(range.count);
    chart.setFirstVisiblePoint(range.first);
    showZoomState();
}

// Menus that adjust themselves when they open ----------------------------------

void GraphForm::ChartMenu_Click() {
    m_commands.value(QStringLiteral("ZoomOutSelection"))->setEnabled(m_chart->Zoomed());
    const int index = FindSampleSize(DateValue::wholeMinutes(m_chart->PeriodSize()));
    const DetailCommands detail = detailCommandsFor(index, SampleSizeCount());
    m_commands.value(QStringLiteral("MoreDetailSelection"))->setEnabled(detail.moreDetail);
    m_commands.value(QStringLiteral("LessDetailSelection"))->setEnabled(detail.lessDetail);
    m_commands.value(QStringLiteral("TableSelection"))->setChecked(m_chart->Table());
    showSpreadState();
}

void GraphForm::showSpreadState() {
    const LatencyLook& look = m_chart->ChartObject()->latencyLook();
    for (const SpreadCommand& command : spreadCommands())
        m_commands.value(QLatin1String(command.name))->setChecked(look.*command.field);
}

void GraphForm::SpreadSelection_Click(bool LatencyLook::*field) {
    ChartControl& control = *m_chart->ChartObject();
    LatencyLook look = control.latencyLook();
    look.*field = !(look.*field);
    control.setLatencyLook(look);
    showSpreadState();
    saveChartChoices();
}

void GraphForm::EditMenu_Click() {
    const int size = m_chart->FontSize();
    m_commands.value(QStringLiteral("LargeFontSize"))->setChecked(size == FontLarge);
    m_commands.value(QStringLiteral("MediumFontSize"))->setChecked(size == FontMedium);
    m_commands.value(QStringLiteral("SmallFontSize"))->setChecked(size == FontSmall);
}

void GraphForm::PeriodMenu_Click() {
    for (const PeriodInfo& period : periodTable())
        m_commands.value(period.menuName)->setChecked(period.index == m_currentPeriod);
}

void GraphForm::selectPeriodTab(int period) {
    for (int tab = 0; tab < m_periodButtons->count(); ++tab) {
        if (periodForKey(m_periodButtons->tabData(tab).toString()) == period) {
            m_periodButtons->setCurrentIndex(tab);
            return;
        }
    }
}

// The window's own commands ------------------------------------------------------

void GraphForm::setNodeChooser(std::function<std::int32_t(QWidget*)> chooser) {
    m_chooseNode = std::move(chooser);
}

void GraphForm::BuildNewSelection_Click() {
    // The node list needs the database; when none is found, the user is
    // offered to choose one before the list shows.
    try {
        if (!openMonitorDatabase(false))
            return;
    } catch (const Error&) {
        // The node list reports a database it cannot read.
    }
    const std::int32_t node =
        m_chooseNode ? m_chooseNode(this)
                     : SelectNodeForm::SelectNode(this, &showDialogHelp, m_currentNodeId);
    if (node > 0) {
        const Snapshot before = snapshot();
        m_currentNodeId = node;
        buildChart(m_currentNodeId, before);
    }
}

void GraphForm::RefreshSelection_Click() {
    // Refresh reads the database again, whatever was kept of the node.
    m_chart->ForgetRows();
    BuildChart(m_currentNodeId);
}

void GraphForm::showTableState() {
    const bool table = m_chart->Table();
    m_buttons.value(QStringLiteral("Table"))->setChecked(table);
    m_commands.value(QStringLiteral("TableSelection"))->setChecked(table);
}

void GraphForm::TableSelection_Click() {
    m_chart->setTable(!m_chart->Table());
    showTableState();
}

void GraphForm::CustomizeSelection_Click() {
    m_chart->Customize();
    // The dialog may have switched the table on or off.
    showTableState();
}

void GraphForm::SmallFontSize_Click() {
    m_chart->setFontSize(FontSmall);
}

void GraphForm::MediumFontSize_Click() {
    m_chart->setFontSize(FontMedium);
}

void GraphForm::LargeFontSize_Click() {
    m_chart->setFontSize(FontLarge);
}

void GraphForm::ExitSelection_Click() {
    close();
}

void GraphForm::ZoomOutSelection_Click() {
    m_chart->ZoomOut();
    showZoomState();
}

void GraphForm::showZoomState() {
    m_buttons.value(QStringLiteral("ZoomOut"))
        ->setEnabled(state() == WindowState::NodeChart && m_chart->Zoomed());
}

void GraphForm::MoreDetailSelection_Click() {
    detailStep(-1);
}

void GraphForm::LessDetailSelection_Click() {
    detailStep(+1);
}

void GraphForm::detailStep(int step) {
    const int index = FindSampleSize(DateValue::wholeMinutes(m_chart->PeriodSize()));
    const int next = index + step;
    if (step < 0 && next <= 0) {
        showExclamation(this, QStringLiteral("The chart is already displaying the maximum "
                                             "amount of detail."));
        return;
    }
    if (step > 0 && next > SampleSizeCount()) {
        showExclamation(this, QStringLiteral("The chart is already displaying the least amount "
                                             "of detail."));
        return;
    }
    // The span on view, read before anything changes, is charted anew.
    const double begin = m_chart->ZoomBegining();
    const double end = m_chart->ZoomEnding();
    const double width = DateValue::fromMinutes(SampleSizes(next).Minutes);
    // A width whose bucket count overflows changes nothing.
    try {
        bucketCount(begin, end, width);
    } catch (const Error& e) {
        showExclamation(this,
                        failureText(QStringLiteral("Cannot build new chart."), e.description()));
        return;
    }
    const Snapshot before = snapshot();
    m_chart->setPlotBegin(begin);
    m_chart->setPlotEnd(end);
    m_chart->setPeriodSize(width);
    m_currentPeriod = CustomPeriod;
    IgnorePeriodClick = true;
    selectPeriodTab(CustomPeriod);
    IgnorePeriodClick = false;
    buildChart(m_currentNodeId, before);
}

void GraphForm::CustomPeriod_Click() {
    showCustomPeriodForm();
}

// Chart files -------------------------------------------------------------------

void GraphForm::OpenSelection_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Load Norvane Chart ...");
    request.fileName = QStringLiteral("*.nvc");
    request.filters = {QStringLiteral("Norvane Chart (*.nvc)")};
    request.defaultSuffix = QStringLiteral("nvc");
    const std::optional<QString> path = dialogs().openFileName(this, request);
    if (!path)
        return;
    // A file that cannot be shown is reported, and the window stays open and
    // empty.
    LoadGraph(*path);
    SetTools();
    Form_Resize();
}

void GraphForm::SaveSelection_Click() {
    if (m_chartFileName.isEmpty()) {
        SaveAsSelection_Click();
        return;
    }
    saveTo(m_chartFileName);
}

void GraphForm::SaveAsSelection_Click() {
    FileDialogRequest request;
    request.title = QStringLiteral("Save Norvane Chart ...");
    request.fileName = chartStem() + QStringLiteral(".nvc");
    if (!m_chartFileName.isEmpty())
        request.directory = QFileInfo(m_chartFileName).absolutePath();
    request.filters = {QStringLiteral("Norvane Chart (*.nvc)"), QStringLiteral("All Files (*)")};
    request.defaultSuffix = QStringLiteral("nvc");
    request.confirmOverwrite = true;
    const std::optional<QString> path = dialogs().saveFileName(this, request);
    if (!path || !saveTo(*path))
        return;
    // The window now shows the saved file.
    m_chartFileName = *path;
    m_chartName = m_chart->MainTitle();
    SetTools();
    m_currentNodeId = 0;
    Form_Resize();
    rememberRecentChart();
}

// Writes the chart; a failure is reported and changes nothing else.
bool GraphForm::saveTo(const QString& path) {
    {
        const BusyCursor busy;
        if (m_chart->SaveChart(path))
            return true;
    }
    showExclamation(this, QStringLiteral("Cannot save chart (") + path +
                              QStringLiteral(")\r\n\r\n") + m_chart->SaveError());
    return false;
}

// Output -------------------------------------------------------------------------

void GraphForm::loadOutputMenus() {
    ExportEngine& engine = ExportEngine::shared();
    m_exportMethods =
        engine.LoadExportsMenu(m_exportMenu, findChild<QAction*>(QStringLiteral("ExportMethod")),
                               QStringLiteral("Export:"), 3);
    for (std::size_t i = 0; i < m_exportMethods.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        connectCommand(m_exportMethods[i], [this, index] { ExportMethod_Click(index); });
    }
    m_sendToMethods =
        engine.LoadSendToMenu(m_sendToMenu, findChild<QAction*>(QStringLiteral("SendToMethod")),
                              QStringLiteral("SendTo:"));
    for (std::size_t i = 0; i < m_sendToMethods.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        connectCommand(m_sendToMethods[i], [this, index] { SendToMethod_Click(index); });
    }
}

QString GraphForm::chartStem() const {
    return SafeFileName(m_chart->MainTitle(), QStringLiteral("chart"));
}

// An output command: an error the engine raises reported with the command's
// name. The engine shows the hourglass itself while it writes or prints, not
// over its dialogs.
template <typename Call> void GraphForm::runOutputCommand(const QString& failure, Call&& call) {
    try {
        call();
    } catch (const Error& e) {
        showExclamation(this, failureText(failure, e.description()));
    }
}

void GraphForm::ExportMethod_Click(int Index) {
    if (Index < 1 || Index > static_cast<int>(m_exportMethods.size()))
        return;
    const QString key = m_exportMethods[static_cast<std::size_t>(Index - 1)]->data().toString();
    runOutputCommand(QStringLiteral("Cannot export the chart."), [&] {
        ExportEngine& engine = ExportEngine::shared();
        engine.TargetFilename = chartStem();
        engine.ExportChart(m_chart->ChartObject(), key);
    });
}

void GraphForm::SendToMethod_Click(int Index) {
    if (Index < 1 || Index > static_cast<int>(m_sendToMethods.size()))
        return;
    const QString key = m_sendToMethods[static_cast<std::size_t>(Index - 1)]->data().toString();
    runOutputCommand(QStringLiteral("Cannot send the chart."), [&] {
        ExportEngine& engine = ExportEngine::shared();
        // The program's folder is often not writable, and a file there
        // would be overwritten by the next send.
        engine.TargetFilename = SendFolder::newJobFolder() + QDir::separator() + chartStem();
        engine.ExportAndSendChart(m_chart->ChartObject(), key);
    });
}

void GraphForm::PrintPreviewSelection_Click() {
    runOutputCommand(QStringLiteral("Cannot show the print preview."), [&] {
        ExportEngine& engine = ExportEngine::shared();
        engine.TargetFilename = programDirectory() + QDir::separator() + chartStem();
        engine.Orientation = 1;
        engine.PrintChart(m_chart->ChartObject(), true);
    });
}

void GraphForm::PrintSelection_Click() {
    runOutputCommand(QStringLiteral("Cannot print the chart."), [&] {
        ExportEngine& engine = ExportEngine::shared();
        if (engine.NoPrinters(this))
            return;
        engine.TargetFilename = programDirectory() + QDir::separator() + chartStem();
        engine.Orientation = 1;
        engine.PrintChart(m_chart->ChartObject(), false);
    });
}

void GraphForm::ExportWizardSelection_Click() {
    m_chart->Export();
}

void GraphForm::CopyBitmapSelection_Click() {
    runOutputCommand(QStringLiteral("Cannot copy the chart."), [&] { m_chart->CopyBitmap(); });
}

void GraphForm::CopyMetafileSelection_Click() {
    runOutputCommand(QStringLiteral("Cannot copy the chart."), [&] { m_chart->CopyMetafile(); });
}

// Help, web links and the About box.

void GraphForm::ContentsSelection_Click() {
    showHelpContents(this);
}

void GraphForm::HelpPollwatchSelection_Click() {
    showHelpOnPollwatch();
}

void GraphForm::HelpSelection_Click() {
    showHelpOnTarnvue(this);
}

void GraphForm::AboutSelection_Click() {
    showAboutBox(this);
}

void GraphForm::UpdatesSelection_Click() {
    openUpdatesPage(this);
}

void GraphForm::HelpOnLineSelection_Click() {
    openOnlineManual(this);
}

void GraphForm::FAQSelection_Click() {
    openFaqPage(this);
}

void GraphForm::FeedbackSelection_Click() {
    openFeedbackPage(this);
}

} // namespace tarnvue
