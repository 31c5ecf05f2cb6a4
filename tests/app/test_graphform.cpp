#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "app/OutagesPanel.h"
#include "app/ToolRules.h"
#include "chart/CustomPeriodForm.h"
#include "chart/DateText.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "components/chart/ChartControl.h"
#include "core/DateValue.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SelectNodeForm.h"
#include "monitordb/SqliteBackend.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>
#include <qcustomplot.h>

using namespace tarnvue;

Q_DECLARE_METATYPE(tarnvue::WindowState)

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(5, QStringLiteral("router5"), QStringLiteral("10.0.0.5"));
    db.addNode(6, QStringLiteral("switch6"), QStringLiteral("10.0.0.6"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = -8 * 1440; minute < 15 * 60; minute += 5)
        db.addSample(5, day + minute / 1440.0, 10 + (minute / 5) % 7, 9, 20, 0);
    // Node 6 today: no reply from 06:00 to 06:55, no polls from 09:00 to 09:55.
    for (int minute = 0; minute <= 14 * 60 + 30; minute += 5) {
        if (minute >= 9 * 60 && minute < 10 * 60)
            continue;
        const bool lost = minute >= 6 * 60 && minute < 7 * 60;
        db.addSample(6, day + minute / 1440.0, lost ? -1 : 20, lost ? -1 : 18, lost ? -1 : 25,
                     lost ? 100 : 0);
    }
}

// The monitor database read slowly: the reader yields to the event loop
// before every row and, at one row, runs what the test does meanwhile.
struct SlowRead {
    int atRow = 5;
    std::function<void()> action;
    bool backendAlive = false;
    bool readerOutlivedBackend = false;
};

class SlowReader : public SampleReader {
public:
    SlowReader(std::unique_ptr<SampleReader> rows, SlowRead& read)
        : m_rows(std::move(rows)), m_read(read) {}
    ~SlowReader() override {
        if (!m_read.backendAlive)
            m_read.readerOutlivedBackend = true;
    }
    bool next(Sample& sample) override {
        QCoreApplication::processEvents();
        if (++m_row == m_read.atRow && m_read.action)
            std::exchange(m_read.action, {})();
        return m_rows->next(sample);
    }

private:
    std::unique_ptr<SampleReader> m_rows;
    SlowRead& m_read;
    int m_row = 0;
};

class SlowBackend : public SqliteBackend {
public:
    SlowBackend(const QString& path, SlowRead& read) : SqliteBackend(path), m_read(read) {
        m_read.backendAlive = true;
    }
    ~SlowBackend() override { m_read.backendAlive = false; }
    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end) override {
        return std::make_unique<SlowReader>(SqliteBackend::samples(nodeId, begin, end), m_read);
    }
    // One connection, read on the window's thread, so every row passes here.
    std::unique_ptr<SampleConnection> sampleConnection() override { return nullptr; }

private:
    SlowRead& m_read;
};

} // namespace

class TestGraphForm : public QObject {
    Q_OBJECT

    test::ProgramDirScope* m_dir = nullptr;
    test::ClockScope* m_clock = nullptr;
    std::unique_ptr<test::DialogRecorderScope> m_dialogs;

    QAction* command(GraphForm& w, const char* name) {
        auto* action = w.findChild<QAction*>(QLatin1String(name));
        if (!action)
            qFatal("no command %s", name);
        return action;
    }
    bool menuShown(GraphForm& w, const char* name) {
        return w.findChild<QMenu*>(QLatin1String(name))->menuAction()->isVisible();
    }
    void screenshot(GraphForm& w, const char* name) {
        const QString folder = qEnvironmentVariable("TARNVUE_SCREENSHOTS");
        if (!folder.isEmpty()) {
            QCoreApplication::processEvents();
            w.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
        }
    }
    // A window charting node 5 for today, the node chosen as Build New Chart would.
    std::unique_ptr<GraphForm> nodeChart() {
        auto w = std::make_unique<GraphForm>();
        w->setNodeChooser([](QWidget*) { return 5; });
        w->show();
        w->BuildNewSelection_Click();
        return w;
    }

private slots:
    void initTestCase() {
        m_dir = new test::ProgramDirScope;
        m_clock = new test::ClockScope(Now);
        writeDatabase(MonitorDB::databasePath());
        LoadSampleSizes();
    }
    void cleanupTestCase() {
        delete m_clock;
        delete m_dir;
    }
    void init() {
        m_dialogs = std::make_unique<test::DialogRecorderScope>();
        m_dir->freshSettings();
    }
    void cleanup() {
        QVERIFY2((*m_dialogs)->messages.isEmpty() || QTest::currentTestFailed() ||
                     QByteArray(QTest::currentTestFunction()).contains("Detail"),
                 qPrintable((*m_dialogs)->texts().join(u'|')));
        m_dialogs.reset();
        MonitorDB::release();
    }

    void toolRules() {
        const ToolRules empty = toolRulesFor(WindowState::Empty);
        QVERIFY(!empty.chartVisible && !empty.fileCommandsEnabled && !empty.editMenuVisible);
        QVERIFY(!empty.nodeButtonsVisible.has_value());
        QCOMPARE(empty.nodeButtonsEnabled, std::optional<bool>(false));
        const ToolRules file = toolRulesFor(WindowState::FileChart);
        QVERIFY(file.chartVisible && file.fileCommandsEnabled && file.editMenuVisible);
        QVERIFY(!file.chartMenuVisible && !file.periodMenuVisible);
        QCOMPARE(file.nodeButtonsVisible, std::optional<bool>(false));
        QVERIFY(!file.nodeButtonsEnabled.has_value());
        QVERIFY(!file.tableButtonEnabled.has_value());
        QCOMPARE(detailCommandsFor(1, 9).moreDetail, false);
        QCOMPARE(detailCommandsFor(1, 9).lessDetail, true);
        QCOMPARE(detailCommandsFor(9, 9).lessDetail, false);
        QCOMPARE(detailCommandsFor(0, 9).moreDetail, false);
        QCOMPARE(detailCommandsFor(0, 9).lessDetail, true);
    }

    void emptyWindow() {
        GraphForm w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Norvane Tarnvue"));
        // A first run says how to begin.
        auto* hint = w.findChild<QLabel*>(QStringLiteral("StartHint"));
        QVERIFY(hint && hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("Build New Chart (Ctrl+N) to chart a node"));
        QVERIFY(menuShown(w, "FileMenu"));
        QVERIFY(menuShown(w, "HelpMenu"));
        QVERIFY(!menuShown(w, "EditMenu"));
        QVERIFY(!menuShown(w, "ChartMenu"));
        QVERIFY(!menuShown(w, "PeriodMenu"));
        for (const char* name :
             {"SaveSelection", "SaveAsSelection", "CloseSelection", "PrintSelection",
              "PrintPreviewSelection", "ExportMenu", "SendToMenu"})
            QVERIFY2(!command(w, name)->isEnabled(), name);
        QVERIFY(command(w, "BuildNewSelection")->isEnabled());
        QVERIFY(command(w, "OpenSelection")->isEnabled());
        for (const char* key :
             {"Save", "Customize", "Print", "Refresh", "MoreDetail", "LessDetail", "Table"})
            QVERIFY2(!w.toolbarButton(QLatin1String(key))->isEnabled(), key);
        for (const char* key : {"New", "Open", "Help"})
            QVERIFY2(w.toolbarButton(QLatin1String(key))->isEnabled(), key);
        QVERIFY(!w.Chart()->isVisible());
        screenshot(w, "empty");
    }

    void toolbarButtons() {
        GraphForm w;
        const QList<QAction*> actions = w.Toolbar()->actions();
        QStringList keys;
        QStringList captions;
        for (QAction* a : actions) {
            keys << a->data().toString();
            captions << a->text();
            QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
        }
        QCOMPARE(keys, (QStringList{"New", "Open", "Save", "Print", "Refresh", "MoreDetail",
                                    "LessDetail", "ZoomOut", "Table", "Customize", "Help"}));
        QCOMPARE(captions, (QStringList{"New", "Open", "Save", "Print", "Refresh", "Detail",
                                        "Detail", "Zoom Out", "Table", "Customize", "Help"}));
        QCOMPARE(w.toolbarButton(QStringLiteral("Table"))->toolTip(),
                 QStringLiteral("Display Responset Time Table with Chart"));
        QCOMPARE(w.Toolbar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        w.Toolbar_ButtonClick(QStringLiteral("NoSuchKey")); // nothing happens
        QCOMPARE(w.state(), WindowState::Empty);
    }

    void menuTree() {
        GraphForm w;
        QStringList top;
        for (QAction* a : w.menuBar()->actions())
            top << a->text();
        QCOMPARE(top, (QStringList{"&File", "&Edit", "&Chart", "&Period", "&Help"}));
        QStringList period;
        for (QAction* a : w.findChild<QMenu*>(QStringLiteral("PeriodMenu"))->actions())
            period << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(period, (QStringList{"&Today", "This &Week", "This &Month", "Last 30 &Days",
                                      "Last &3 Months", "Last &12 Months", "This &Year", "-",
                                      "&Custom Period ..."}));
        QStringList chart;
        for (QAction* a : w.findChild<QMenu*>(QStringLiteral("ChartMenu"))->actions())
            chart << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        QCOMPARE(chart,
                 (QStringList{"RefreshSelection", "-", "MoreDetailSelection", "LessDetailSelection",
                              "-", "TableSelection", "-", "MedianSelection",
                              "Percentile95Selection", "SpreadBandSelection", "JitterSelection",
                              "ClipSpikesSelection", "-", "ZoomOutSelection", "-",
                              "OutagesSelection"}));
        QCOMPARE(command(w, "RefreshSelection")->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(command(w, "BuildNewSelection")->shortcut(), QKeySequence(QKeySequence::New));
        QCOMPARE(command(w, "ExportMethod")->text(), QStringLiteral("no export methods installed"));
        QVERIFY(!command(w, "ExportMethod")->isEnabled());
    }

    void nodeChartAndPeriods() {
        auto w = nodeChart();
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for Today"));
        QVERIFY(menuShown(*w, "EditMenu") && menuShown(*w, "ChartMenu") &&
                menuShown(*w, "PeriodMenu"));
        for (const char* key :
             {"Save", "Customize", "Print", "Refresh", "MoreDetail", "LessDetail", "Table"})
            QVERIFY2(w->toolbarButton(QLatin1String(key))->isEnabled(), key);
        QVERIFY(w->PeriodButtons()->isVisible());
        screenshot(*w, "node-chart");

        // By tab.
        w->PeriodButtons()->setCurrentIndex(1);
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
        // By menu: the tab follows, and the menu's mark.
        command(*w, "Last30DaysPeriod")->trigger();
        QCOMPARE(w->CurrentPeriod(), 4);
        QCOMPARE(w->PeriodButtons()->currentIndex(), 3);
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for Last 30 days"));
        w->PeriodMenu_Click();
        QVERIFY(command(*w, "Last30DaysPeriod")->isChecked());
        QVERIFY(!command(*w, "ThisWeekPeriod")->isChecked());
        QVERIFY(!command(*w, "CustomPeriod")->isChecked());
    }

    void cancelledBuildNewChangesNothing() {
        QVERIFY(!nodeChart()->findChild<QLabel*>(QStringLiteral("StartHint"))->isVisible());
        auto w = nodeChart();
        w->PeriodButtons()->setCurrentIndex(1);
        const double begin = w->Chart()->PlotBegin();
        w->setNodeChooser([](QWidget*) { return 0; });
        w->BuildNewSelection_Click();
        QCOMPARE(w->CurrentNodeID(), 5);
        QCOMPARE(w->CurrentPeriod(), 2);
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
        QCOMPARE(w->Chart()->PlotBegin(), begin);
        QVERIFY(command(*w, "CloseSelection")->isEnabled());
    }

    void tableTwice() {
        auto w = nodeChart();
        QAction* button = w->toolbarButton(QStringLiteral("Table"));
        w->Toolbar_ButtonClick(QStringLiteral("Table"));
        QVERIFY(w->Chart()->Table());
        QVERIFY(button->isChecked());
        w->ChartMenu_Click();
        QVERIFY(command(*w, "TableSelection")->isChecked());
        screenshot(*w, "node-chart-table");
        command(*w, "TableSelection")->trigger();
        QVERIFY(!w->Chart()->Table());
        QVERIFY(!button->isChecked());
        QVERIFY(!command(*w, "TableSelection")->isChecked());
    }

    void fontSizes() {
        auto w = nodeChart();
        command(*w, "LargeFontSize")->trigger();
        QCOMPARE(w->Chart()->FontSize(), 0);
        w->EditMenu_Click();
        QVERIFY(command(*w, "LargeFontSize")->isChecked());
        QVERIFY(!command(*w, "MediumFontSize")->isChecked());
        QVERIFY(!command(*w, "SmallFontSize")->isChecked());
        command(*w, "SmallFontSize")->trigger();
        w->EditMenu_Click();
        QVERIFY(command(*w, "SmallFontSize")->isChecked());
        QVERIFY(!command(*w, "LargeFontSize")->isChecked());
    }

    void chartMenuFollowsTheWidth_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("more");
        QTest::addColumn<bool>("less");
        QTest::newRow("every minute") << 1 << false << true;
        QTest::newRow("quarter hours") << 15 << true << true;
        QTest::newRow("one a day") << 1439 << true << false;
        QTest::newRow("45 minutes, not on the ladder") << 45 << false << true;
    }
    void chartMenuFollowsTheWidth() {
        QFETCH(int, minutes);
        QFETCH(bool, more);
        QFETCH(bool, less);
        auto w = nodeChart();
        w->Chart()->setPeriodSize(DateValue::fromMinutes(minutes));
        w->ChartMenu_Click();
        QCOMPARE(command(*w, "MoreDetailSelection")->isEnabled(), more);
        QCOMPARE(command(*w, "LessDetailSelection")->isEnabled(), less);
        QVERIFY(!command(*w, "ZoomOutSelection")->isEnabled());
    }

    void moreDetailChartsTheSameSpanFiner() {
        auto w = nodeChart();
        const double begin = w->Chart()->PlotBegin();
        const double end = w->Chart()->PlotEnd();
        w->Toolbar_ButtonClick(QStringLiteral("MoreDetail"));
        QCOMPARE(w->CurrentPeriod(), 8);
        QCOMPARE(w->PeriodButtons()->currentIndex(), 7);
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("router5 - 2 Nov 2026 00:00 \u2013 2 Nov 2026 15:00"));
        QCOMPARE(w->Chart()->PlotBegin(), begin);
        QCOMPARE(w->Chart()->PlotEnd(), end);
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 5);
        QCOMPARE(int(w->Chart()->PointCount()), 180);
        w->PeriodMenu_Click();
        QVERIFY(command(*w, "CustomPeriod")->isChecked());
        QVERIFY(!command(*w, "TodayPeriod")->isChecked());
        QVERIFY((*m_dialogs)->messages.isEmpty());
        screenshot(*w, "node-chart-custom");

        // Two more steps reach one minute; a third is refused.
        w->MoreDetailSelection_Click();
        w->MoreDetailSelection_Click();
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 1);
        w->MoreDetailSelection_Click();
        QCOMPARE((*m_dialogs)->texts(),
                 QStringList{"The chart is already displaying the maximum amount of detail."});
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 1);
    }

    // A title, a style or the grid chosen in the customisation dialog went
    // back to the defaults on the next period, detail step or refresh.
    void customisationSurvives_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("title");
        QTest::newRow("period tab") << "period"
                                    << "My router";
        QTest::newRow("detail step") << "detail"
                                     << "My router";
        QTest::newRow("refresh") << "refresh"
                                 << "My router";
        QTest::newRow("new node") << "node"
                                  << "switch6";
    }
    void customisationSurvives() {
        QFETCH(QString, command);
        auto w = nodeChart();
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("mainTitle"))
                ->setText(QStringLiteral("My router"));
            auto* style = dialog->findChild<QComboBox*>(QStringLiteral("plotStyle"));
            style->setCurrentIndex(style->findData(int(PlotStyle::Bars)));
            dialog->findChild<QCheckBox*>(QStringLiteral("gridLines"))->setChecked(false);
            dialog->accept();
        });
        w->CustomizeSelection_Click();
        if (command == QLatin1String("period")) {
            w->PeriodButtons()->setCurrentIndex(1);
        } else if (command == QLatin1String("detail")) {
            w->Toolbar_ButtonClick(QStringLiteral("MoreDetail"));
        } else if (command == QLatin1String("refresh")) {
            w->RefreshSelection_Click();
        } else {
            w->setNodeChooser([](QWidget*) { return 6; });
            w->BuildNewSelection_Click();
        }
        const ChartModel& m = w->Chart()->ChartObject()->model();
        QTEST(m.mainTitle, "title");
        QCOMPARE(m.series.at(3).plotStyle, PlotStyle::Bars);
        QVERIFY(!m.gridLines);
        // The rest is the program's: the loss series' own colour, its axis.
        QCOMPARE(m.series.at(3).color, QColor(255, 0, 0));
        QCOMPARE(m.rightMax, 101.0);
    }

    void outagesPanelListsAndZooms() {
        auto w = std::make_unique<GraphForm>();
        w->setNodeChooser([](QWidget*) { return 6; });
        w->show();
        w->BuildNewSelection_Click();
        command(*w, "OutagesSelection")->trigger();
        QVERIFY(w->Outages()->isVisible());
        QTreeWidget* list = w->Outages()->list();
        QCOMPARE(list->topLevelItemCount(), 2);
        const auto row = [list](int r) {
            QStringList texts;
            for (int c = 0; c < 5; ++c)
                texts << list->topLevelItem(r)->text(c);
            return texts.join(QLatin1Char('|'));
        };
        QCOMPARE(row(0), QStringLiteral("outage|2026-11-02 06:00:00|2026-11-02 07:00:00|"
                                        "1 h 00 min 00 s|12"));
        QCOMPARE(row(1), QStringLiteral("no data|2026-11-02 08:55:00|2026-11-02 10:00:00|"
                                        "1 h 05 min 00 s|"));
        // 163 polls, 12 of them lost.
        QCOMPARE(w->Outages()->summary()->text(),
                 QStringLiteral("Availability: 92.638 %\n1 outage, 1 h 00 min 00 s down"));

        // Enter on the outage shows it with a bucket to spare on either side.
        list->setFocus();
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(w->Chart()->Zoomed());
        const int width = DateValue::wholeMinutes(w->Chart()->PeriodSize());
        QCOMPARE(DateValue::timeOf(w->Chart()->ZoomBegining()), QTime(6, 0).addSecs(-60 * width));
        QCOMPARE(DateValue::timeOf(w->Chart()->ZoomEnding()), QTime(7, 0).addSecs(60 * width));
        command(*w, "ZoomOutSelection")->trigger();
        QVERIFY(!w->Chart()->Zoomed());

        // A chart file holds no polls: the list empties.
        w->CloseSelection_Click();
        QCOMPARE(list->topLevelItemCount(), 0);

        // The next run shows the panel again, until it is hidden.
        w->close();
        auto next = std::make_unique<GraphForm>();
        next->show();
        QVERIFY(next->Outages()->isVisible());
        command(*next, "OutagesSelection")->trigger();
        next->close();
    }

    void lessDetailAtTheTopIsRefused() {
        auto w = nodeChart();
        command(*w, "Last12MonthsPeriod")->trigger();
        const double begin = w->Chart()->PlotBegin();
        w->LessDetailSelection_Click();
        QCOMPARE((*m_dialogs)->texts(),
                 QStringList{"The chart is already displaying the least amount of detail."});
        QCOMPARE(w->CurrentPeriod(), 6);
        QCOMPARE(w->Chart()->PlotBegin(), begin);
    }

    // Detail was taken for zoom: zoom has its own button, live only while zoomed.
    void zoomOutButtonFollowsTheZoom() {
        auto w = nodeChart();
        QAction* zoomOut = w->toolbarButton(QStringLiteral("ZoomOut"));
        QVERIFY(zoomOut->isVisible() && !zoomOut->isEnabled());
        QCustomPlot* plot = w->Chart()->ChartObject()->plot();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const int y = plot->axisRect()->center().y();
        const QPoint from(int(plot->xAxis->coordToPixel(10)), y);
        const QPoint to(int(plot->xAxis->coordToPixel(20)), y);
        QTest::mousePress(plot, Qt::LeftButton, {}, from);
        QTest::mouseMove(plot, to);
        QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
        QVERIFY(w->Chart()->Zoomed());
        QVERIFY(zoomOut->isEnabled());
        zoomOut->trigger();
        QVERIFY(!w->Chart()->Zoomed());
        QVERIFY(!zoomOut->isEnabled());
    }

    void zoomedDetailChartsTheZoomedSpan() {
        auto w = nodeChart();
        w->PeriodButtons()->setCurrentIndex(1); // This Week: 192 hours
        const double begin = w->Chart()->PlotBegin();
        ChartControl* c = w->Chart()->ChartObject();
        c->setVisiblePointCount(24);
        c->setFirstVisiblePoint(25);
        QVERIFY(w->Chart()->Zoomed());
        w->ChartMenu_Click();
        QVERIFY(command(*w, "ZoomOutSelection")->isEnabled());
        w->MoreDetailSelection_Click();
        QCOMPARE(w->Chart()->PlotBegin(), begin + 1.0);
        QCOMPARE(w->Chart()->PlotEnd(), begin + 2.0);
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 30);
        QCOMPARE(int(w->Chart()->PointCount()), 48);
        QVERIFY(!w->Chart()->Zoomed());
        // Zoom out shows every point again.
        c->setVisiblePointCount(10);
        command(*w, "ZoomOutSelection")->trigger();
        QCOMPARE(c->visiblePointCount(), 48);
    }

    void fileChartHidesNodeCommands() {
        QString path;
        {
            auto w = nodeChart();
            w->Toolbar_ButtonClick(QStringLiteral("Table")); // table on, button enabled
            path = m_dir->file(QStringLiteral("report.nvc"));
            QVERIFY(w->Chart()->SaveChart(path));
            QVERIFY(w->LoadGraph(path));
            QCOMPARE(w->state(), WindowState::FileChart);
            QCOMPARE(w->windowTitle(), QStringLiteral("report.nvc [router5]"));
            QVERIFY(!menuShown(*w, "ChartMenu"));
            QVERIFY(!menuShown(*w, "PeriodMenu"));
            QVERIFY(menuShown(*w, "EditMenu"));
            for (const char* key : {"Refresh", "MoreDetail", "LessDetail"})
                QVERIFY2(!w->toolbarButton(QLatin1String(key))->isVisible(), key);
            for (const char* key : {"Save", "Customize", "Print"})
                QVERIFY2(w->toolbarButton(QLatin1String(key))->isEnabled(), key);
            // The Table button stays as the node chart left it.
            QVERIFY(w->toolbarButton(QStringLiteral("Table"))->isEnabled());
            QVERIFY(!w->PeriodButtons()->isVisible());
            QCOMPARE(w->Chart()->geometry().bottom(), w->centralWidget()->height() - 1);
            screenshot(*w, "file-chart");
        }
        // From the empty window, the Table button stays disabled.
        GraphForm fresh;
        fresh.show();
        QVERIFY(fresh.LoadGraph(path));
        QVERIFY(!fresh.toolbarButton(QStringLiteral("Table"))->isEnabled());
        QCOMPARE(fresh.windowTitle(), QStringLiteral("report.nvc []"));
    }

    void keyboard() {
        auto w = nodeChart();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        m_clock->set(Now.addSecs(3600));
        // A poll stored in the past since the chart was built: only a read
        // from scratch finds it.
        const int records = w->Chart()->LastTotals().records;
        const QByteArray past =
            QByteArray::number(DateValue::fromDateTime(Now.date(), QTime(3, 2)), 'g', 17);
        test::execSql(MonitorDB::databasePath(),
                      "INSERT INTO ResponseTime VALUES (5, " + past + ", 10, 9, 20, 0)");
        QTest::keyClick(w.get(), Qt::Key_F5);
        test::execSql(MonitorDB::databasePath(), "DELETE FROM ResponseTime WHERE Time = " + past);
        QCOMPARE(w->Chart()->LastTotals().records, records + 1);
        // The refresh moved Today's end on to the next full hour.
        QCOMPARE(w->Chart()->PlotEnd(), DateValue::fromDateTime(Now.date(), QTime(16, 0)));
        m_clock->set(Now);
        QTest::keyClick(w.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 5);
        QTest::keyClick(w.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 15);
    }

    void customPeriodFromTheTabAndTheMenu() {
        auto w = nodeChart();
        // Cancel: the custom tab stays selected over the previous chart.
        w->setCustomPeriodAnswer([](CustomPeriodForm&) { return false; });
        w->PeriodButtons()->setCurrentIndex(7);
        QCOMPARE(w->CurrentPeriod(), 1);
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for Today"));
        QCOMPARE(w->PeriodButtons()->currentIndex(), 7);

        // OK from the menu: the span as entered, as a custom period.
        w->setCustomPeriodAnswer([](CustomPeriodForm& form) {
            const QLocale locale;
            form.StartDate()->setText(
                formatDateTime(DateValue::fromDateTime(Now.date(), QTime(6, 0)), locale));
            form.EndDate()->setText(
                formatDateTime(DateValue::fromDateTime(Now.date(), QTime(12, 0)), locale));
            form.Units()->setCurrentIndex(form.Units()->findData(30));
            return form.OK_Button_Click();
        });
        command(*w, "CustomPeriod")->trigger();
        QCOMPARE(w->CurrentPeriod(), 8);
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("router5 - 2 Nov 2026 06:00 \u2013 2 Nov 2026 12:00"));
        QCOMPARE(int(w->Chart()->PointCount()), 12);
        QCOMPARE(w->Chart()->PlotBegin(), DateValue::fromDateTime(Now.date(), QTime(6, 0)));
        QCOMPARE(w->PeriodButtons()->currentIndex(), 7);
        // Refresh keeps a custom span.
        w->RefreshSelection_Click();
        QCOMPARE(int(w->Chart()->PointCount()), 12);
    }

    void saveAsOpenAndSave() {
        auto w = nodeChart();
        const QString path = m_dir->file(QStringLiteral("router5.nvc"));
        (*m_dialogs)->fileAnswers.push_back(path);
        w->Toolbar_ButtonClick(QStringLiteral("Save")); // no file yet: Save As
        QCOMPARE((*m_dialogs)->fileRequests.size(), 1);
        const FileDialogRequest asked = (*m_dialogs)->fileRequests.constFirst();
        QCOMPARE(asked.title, QStringLiteral("Save Norvane Chart ..."));
        QCOMPARE(asked.fileName, QStringLiteral("router5.nvc"));
        QCOMPARE(asked.filters.constFirst(), QStringLiteral("Norvane Chart (*.nvc)"));
        QCOMPARE(w->state(), WindowState::FileChart);
        QCOMPARE(w->ChartFileName(), path);
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 [router5]"));
        QVERIFY(!menuShown(*w, "PeriodMenu"));
        const ChartModel saved = w->Chart()->ChartObject()->model();

        // Save writes the same file again, without asking.
        QFile::remove(path);
        command(*w, "SaveSelection")->trigger();
        QCOMPARE((*m_dialogs)->fileRequests.size(), 1);
        QVERIFY(QFile::exists(path));

        // Open it in a fresh window: the same chart.
        GraphForm other;
        other.show();
        (*m_dialogs)->fileAnswers.push_back(path);
        command(other, "OpenSelection")->trigger();
        QCOMPARE((*m_dialogs)->fileRequests.constLast().title,
                 QStringLiteral("Load Norvane Chart ..."));
        QCOMPARE(other.state(), WindowState::FileChart);
        QCOMPARE(other.windowTitle(), QStringLiteral("router5.nvc []"));
        QCOMPARE(other.Chart()->ChartObject()->model(), saved);

        // A cancelled dialog changes nothing.
        command(other, "OpenSelection")->trigger();
        QCOMPARE(other.state(), WindowState::FileChart);
    }

    void failedSaveKeepsNameAndState() {
        auto w = nodeChart();
        const QString missing = m_dir->file(QStringLiteral("no/such/folder/a.nvc"));
        (*m_dialogs)->fileAnswers.push_back(missing);
        command(*w, "SaveAsSelection")->trigger();
        QCOMPARE((*m_dialogs)->messages.size(), 1);
        QVERIFY((*m_dialogs)
                    ->messages[0]
                    .text.startsWith(QStringLiteral("Cannot save chart (") + missing +
                                     QStringLiteral(")\r\n\r\n")));
        QCOMPARE(w->state(), WindowState::NodeChart);
        QCOMPARE(w->ChartFileName(), QString());
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for Today"));
        (*m_dialogs)->messages.clear();
    }

    void corruptFileFromTheMenuKeepsTheWindow() {
        auto w = nodeChart();
        const QString path = m_dir->file(QStringLiteral("corrupt.nvc"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("NVCHART\x1a but not really");
        file.close();
        (*m_dialogs)->fileAnswers.push_back(path);
        command(*w, "OpenSelection")->trigger();
        QCOMPARE((*m_dialogs)->messages.size(), 1);
        QVERIFY((*m_dialogs)
                    ->messages[0]
                    .text.startsWith(QStringLiteral("Cannot load chart (") + path +
                                     QStringLiteral(")\r\n\r\n")));
        QVERIFY(w->isVisible());
        QCOMPARE(w->state(), WindowState::Empty);
        QCOMPARE(w->windowTitle(), QStringLiteral("Norvane Tarnvue"));
        (*m_dialogs)->messages.clear();
    }

    void buildAfterAFileChartShowsANodeChart_data() {
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("after opening a chart file") << false;
        QTest::newRow("after Save As") << true;
    }
    void buildAfterAFileChartShowsANodeChart() {
        QFETCH(bool, saveAs);
        auto w = nodeChart();
        const QString path = m_dir->file(QStringLiteral("shown.nvc"));
        if (saveAs) {
            (*m_dialogs)->fileAnswers.push_back(path);
            command(*w, "SaveAsSelection")->trigger();
        } else {
            QVERIFY(w->Chart()->SaveChart(path));
            QVERIFY(w->LoadGraph(path));
        }
        QCOMPARE(w->state(), WindowState::FileChart);
        command(*w, "BuildNewSelection")->trigger();
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for Today"));
        QVERIFY(w->PeriodButtons()->isVisible());
        QVERIFY(w->Chart()->geometry().bottom() < w->PeriodButtons()->geometry().top());
    }

    void wheelOverThePeriodTabsChangesNothing() {
        auto w = nodeChart();
        QTabBar* tabs = w->PeriodButtons();
        const QPointF at = tabs->tabRect(0).center();
        for (const int delta : {-120, -120, 120}) {
            QWheelEvent wheel(at, tabs->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(tabs, &wheel);
        }
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(w->CurrentPeriod(), 1);
    }

    // The hourglass shows while the program works, never over what waits
    // for the user.
    void noHourglassOverDialogs_data() {
        QTest::addColumn<QString>("dialog");
        QTest::newRow("node dialog") << "node";
        QTest::newRow("custom period dialog") << "custom";
        QTest::newRow("failed build message") << "build";
        QTest::newRow("failed save message") << "save";
    }
    void noHourglassOverDialogs() {
        QFETCH(QString, dialog);
        auto w = nodeChart();
        bool busy = false;
        w->setNodeChooser([&busy](QWidget*) {
            busy = QApplication::overrideCursor() != nullptr;
            return 0;
        });
        w->setCustomPeriodAnswer([&busy](CustomPeriodForm&) {
            busy = QApplication::overrideCursor() != nullptr;
            return false;
        });
        if (dialog == QLatin1String("node")) {
            command(*w, "BuildNewSelection")->trigger();
        } else if (dialog == QLatin1String("custom")) {
            command(*w, "CustomPeriod")->trigger();
        } else if (dialog == QLatin1String("build")) {
            w->BuildChart(99);
        } else {
            (*m_dialogs)->fileAnswers.push_back(m_dir->file(QStringLiteral("no/such/a.nvc")));
            command(*w, "SaveAsSelection")->trigger();
        }
        for (const auto& message : (*m_dialogs)->messages)
            busy = busy || message.busy;
        QVERIFY(!busy);
        (*m_dialogs)->messages.clear();
    }

    void f1AsksForTheDialogsHelp_data() {
        QTest::addColumn<bool>("nodeDialog");
        QTest::newRow("node dialog") << true;
        QTest::newRow("custom period dialog") << false;
    }
    void f1AsksForTheDialogsHelp() {
        QFETCH(bool, nodeDialog);
        auto w = nodeChart();
        std::unique_ptr<QDialog> dialog;
        std::unique_ptr<QSignalSpy> help;
        if (nodeDialog) {
            auto* form = new SelectNodeForm(w.get());
            help = std::make_unique<QSignalSpy>(form, &SelectNodeForm::helpRequested);
            dialog.reset(form);
        } else {
            auto* form = new CustomPeriodForm(*w->Chart(), w.get());
            help = std::make_unique<QSignalSpy>(form, &CustomPeriodForm::helpRequested);
            dialog.reset(form);
        }
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QCOMPARE(help->count(), 1);
        (*m_dialogs)->messages.clear();
    }

    void failedMoreDetailKeepsTheChart() {
        auto w = nodeChart();
        command(*w, "Last12MonthsPeriod")->trigger();
        for (int step = 0; step < 4; ++step)
            w->MoreDetailSelection_Click();
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 30);
        const double begin = w->Chart()->PlotBegin();
        const QString caption = w->windowTitle();
        // Quarter hours over a year are more buckets than a chart holds.
        w->MoreDetailSelection_Click();
        QCOMPARE((*m_dialogs)->texts(), QStringList{"Cannot build new chart.\r\nOverflow"});
        QCOMPARE(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), 30);
        QCOMPARE(w->Chart()->PlotBegin(), begin);
        QCOMPARE(w->windowTitle(), caption);
        w->RefreshSelection_Click();
        QCOMPARE((*m_dialogs)->messages.size(), 1);
    }

    // A build yields while it reads; what the user does meanwhile must not
    // start anything, Esc cancels, and a close waits for the read to stop.
    void buildIsOneOperation_data() {
        QTest::addColumn<bool>("fromEmpty");
        QTest::addColumn<QString>("during");
        QTest::addColumn<int>("period");
        QTest::addColumn<WindowState>("state");
        QTest::newRow("another period tab is refused")
            << false << "tab" << 2 << WindowState::NodeChart;
        QTest::newRow("a menu command is refused")
            << false << "menu" << 2 << WindowState::NodeChart;
        QTest::newRow("Esc puts the previous chart back")
            << false << "esc" << 1 << WindowState::NodeChart;
        QTest::newRow("Esc on a first build leaves the window empty")
            << true << "esc" << 1 << WindowState::Empty;
        QTest::newRow("a close cancels, then closes")
            << false << "close" << 1 << WindowState::NodeChart;
    }
    void buildIsOneOperation() {
        QFETCH(bool, fromEmpty);
        QFETCH(QString, during);
        QFETCH(int, period);
        QFETCH(WindowState, state);
        SlowRead read;
        MonitorDB::shared().open(std::make_unique<SlowBackend>(MonitorDB::databasePath(), read),
                                 MonitorDB::databasePath());
        auto w = std::make_unique<GraphForm>();
        w->setNodeChooser([](QWidget*) { return 5; });
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        if (!fromEmpty)
            w->BuildNewSelection_Click();
        const ChartModel before = w->Chart()->ChartObject()->model();
        const QString caption = w->windowTitle();
        QTabBar* tabs = w->PeriodButtons();
        read.action = [&] {
            QVERIFY(w->Busy());
            if (during == QLatin1String("tab"))
                QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
            else if (during == QLatin1String("menu"))
                command(*w, "Last30DaysPeriod")->trigger();
            else if (during == QLatin1String("esc"))
                QTest::keyClick(w.get(), Qt::Key_Escape);
            else
                w->close();
        };
        if (fromEmpty)
            command(*w, "BuildNewSelection")->trigger();
        else
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(!read.action); // the reader ran it
        QVERIFY(!w->Busy());
        QVERIFY(!read.readerOutlivedBackend);
        QCOMPARE(w->state(), state);
        QCOMPARE(int(w->CurrentPeriod()), period);
        QCOMPARE(tabs->currentIndex(), period - 1);
        if (during == QLatin1String("close")) {
            QVERIFY(!w->isVisible());
            QVERIFY(!MonitorDB::sharedIfCreated());
        } else if (during == QLatin1String("esc")) {
            QCOMPARE(w->windowTitle(), caption);
            QCOMPARE(w->Chart()->ChartObject()->model(), before);
        } else {
            QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
            QCOMPARE(int(w->Chart()->PointCount()),
                     int(bucketCount(w->Chart()->PlotBegin(), w->Chart()->PlotEnd(),
                                     w->Chart()->PeriodSize())));
            QCOMPARE(w->Chart()->ChartObject()->pointCount(), int(w->Chart()->PointCount()));
        }
        w.reset();
        MonitorDB::release();
    }

    void tinyWindowRaisesNoError() {
        auto w = nodeChart();
        for (const QSize size : {QSize(60, 40), QSize(1, 1), QSize(900, 600)}) {
            w->resize(size);
            QCoreApplication::processEvents();
            w->Form_Resize();
        }
        QVERIFY(w->Chart()->geometry().bottom() < w->PeriodButtons()->geometry().top());
    }
};

QTEST_MAIN(TestGraphForm)
#include "test_graphform.moc"
