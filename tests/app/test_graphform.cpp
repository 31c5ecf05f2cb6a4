#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
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

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolBar>
#include <QtTest>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(5, QStringLiteral("router5"), QStringLiteral("10.0.0.5"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = -8 * 1440; minute < 15 * 60; minute += 5)
        db.addSample(5, day + minute / 1440.0, 10 + (minute / 5) % 7, 9, 20, 0);
}

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
    void init() { m_dialogs = std::make_unique<test::DialogRecorderScope>(); }
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
                                    "LessDetail", "Table", "Customize", "Help"}));
        QCOMPARE(captions, (QStringList{"New", "Open", "Save", "Print", "Refresh", "Detail",
                                        "Detail", "Table", "Customize", "Help"}));
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
                              "-", "TableSelection", "-", "ZoomOutSelection"}));
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
        QCOMPARE(w->windowTitle(), QStringLiteral("router5"));
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
        QCOMPARE(w->windowTitle(), QStringLiteral("router5"));
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
