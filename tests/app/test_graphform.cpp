#include "AppTestSupport.h"
#include "app/OutagesPanel.h"
#include "chart/CustomPeriodForm.h"
#include "chart/DateText.h"
#include "chart/Periods.h"
#include "chart/SampleFold.h"
#include "chart/SampleSizes.h"
#include "components/chart/ChartControl.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SelectNodeForm.h"
#include "monitordb/SqliteBackend.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <qcustomplot.h>

using namespace tarnvue;
using test::command;
using test::Now;

Q_DECLARE_METATYPE(tarnvue::WindowState)

namespace {

// The monitor database read slowly: the reader yields to the event loop
// before every row and, at the fifth, runs what the test does meanwhile.
struct SlowRead {
    std::function<void()> action;
    bool backendAlive = false;
    bool readerOutlivedBackend = false;
};

struct SlowReader : SampleReader {
    SlowReader(std::unique_ptr<SampleReader> rows, SlowRead& read)
        : rows(std::move(rows)), read(read) {}
    ~SlowReader() override { read.readerOutlivedBackend |= !read.backendAlive; }
    bool next(Sample& sample) override {
        QCoreApplication::processEvents();
        if (++row == 5 && read.action)
            std::exchange(read.action, {})();
        return rows->next(sample);
    }
    std::unique_ptr<SampleReader> rows;
    SlowRead& read;
    int row = 0;
};

struct SlowBackend : SqliteBackend {
    SlowBackend(const QString& path, SlowRead& read) : SqliteBackend(path), read(read) {
        read.backendAlive = true;
    }
    ~SlowBackend() override { read.backendAlive = false; }
    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end) override {
        return std::make_unique<SlowReader>(SqliteBackend::samples(nodeId, begin, end), read);
    }
    // One connection, read on the window's thread, so every row passes here.
    std::unique_ptr<SampleConnection> sampleConnection() override { return nullptr; }
    SlowRead& read;
};

// What the window offers and how it is laid out, in one line: the menus on
// the bar, the toolbar buttons a click reaches, whether the file commands
// (Save, Save As, Close, Print, Print Preview, Export, Send To) are live, and
// where the chart stands.
QString offered(GraphForm& w) {
    QStringList parts;
    for (QAction* menu : w.menuBar()->actions())
        if (menu->isVisible())
            parts << menu->objectName().chopped(4);
    parts << "|";
    for (QAction* button : w.Toolbar()->actions())
        if (button->isVisible() && button->isEnabled())
            parts << button->data().toString();
    QStringList files;
    for (const char* name : {"SaveSelection", "SaveAsSelection", "CloseSelection", "PrintSelection",
                             "PrintPreviewSelection", "ExportMenu", "SendToMenu"})
        if (command(w, name)->isEnabled())
            files << name;
    parts << "|" << (files.size() == 7 ? "files" : files.isEmpty() ? "no files" : files.join(' '));
    const QRect chart = w.Chart()->geometry();
    if (w.findChild<QLabel*>(QStringLiteral("StartHint"))->isVisible())
        parts << "| hint";
    if (w.Chart()->isVisible() && w.PeriodButtons()->isVisible() &&
        chart.bottom() < w.PeriodButtons()->geometry().top())
        parts << "| chart above tabs";
    if (w.Chart()->isVisible() && !w.PeriodButtons()->isVisible() &&
        chart.height() == w.centralWidget()->height())
        parts << "| chart fills";
    return parts.join(' ');
}

// The marked items of a menu, as it shows them when opened ("Period", "FontSize").
QString checked(GraphForm& w, const char* kind) {
    w.PeriodMenu_Click();
    w.EditMenu_Click();
    QStringList names;
    for (QAction* a : w.findChildren<QAction*>())
        if (a->isChecked() && a->objectName().endsWith(QLatin1String(kind)))
            names << a->objectName();
    return names.join(' ');
}

int widthMinutes(GraphForm& w) {
    return int(DateValue::wholeMinutes(w.Chart()->PeriodSize()));
}

const QHash<QString, const char*> MenuCommands = {
    {"more", "MoreDetailSelection"}, {"less", "LessDetailSelection"},
    {"30days", "Last30DaysPeriod"},  {"year", "Last12MonthsPeriod"},
    {"refresh", "RefreshSelection"}, {"close", "CloseSelection"},
    {"zoomout", "ZoomOutSelection"}};

} // namespace

class TestGraphForm : public QObject {
    Q_OBJECT

    test::ProgramDirScope* m_dir = nullptr;
    test::ClockScope* m_clock = nullptr;
    std::unique_ptr<test::DialogRecorderScope> m_dialogs;
    // The hourglass showed over a dialog: it is for the program's work, not
    // for what waits for the user.
    bool m_hourglassOverDialog = false;

    test::RecordingDialogs& dialogs() { return **m_dialogs; }

    // One thing the user does: "node" (Build New Chart for router5), "node6",
    // "node99" (for that node), "cancel" (Build New Chart, cancelled), "week" or "month" (a click
    // on that period tab), a menu command of MenuCommands, "finer" and
    // "coarser" (the toolbar's Detail buttons), "ctrl+" and
    // "ctrl-", "wheel" (over the tabs), "custom" (06:00 to 12:00 today in half
    // hours), "customtab" (the custom tab, cancelled), "open" (the chart on
    // view, or a node chart when empty, saved and opened as a file),
    // "damaged" (a damaged file opened), "saveas", "nofolder" (Save As into a
    // missing folder), "zoom" (dragged on the chart), "day" (the second day
    // of the chart in view), "esc", "exit" (the window closed).
    void run(GraphForm& w, const QString& step) {
        QTabBar* tabs = w.PeriodButtons();
        const QString file = m_dir->file(step == "damaged" ? "damaged.nvc" : "shown.nvc");
        if (step.startsWith("node") || step == "cancel") {
            w.setNodeChooser([this, step](QWidget*) {
                m_hourglassOverDialog |= QApplication::overrideCursor() != nullptr;
                return step == "node" ? 5 : step.mid(4).toInt();
            });
            command(w, "BuildNewSelection")->trigger();
        } else if (step == "week" || step == "month" || step == "customtab") {
            const int period = step == "week"    ? ThisWeekPeriod
                               : step == "month" ? ThisMonthPeriod
                                                 : CustomPeriod;
            w.setCustomPeriodAnswer([this](CustomPeriodForm&) {
                m_hourglassOverDialog |= QApplication::overrideCursor() != nullptr;
                return false;
            });
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(period - 1).center());
        } else if (MenuCommands.contains(step)) {
            w.ChartMenu_Click(); // the menu opens
            command(w, MenuCommands.value(step))->trigger();
        } else if (step == "finer" || step == "coarser") { // the toolbar's Detail buttons
            w.toolbarButton(step == "finer" ? "MoreDetail" : "LessDetail")->trigger();
        } else if (step == "ctrl+" || step == "ctrl-" || step == "esc") {
            QTest::keyClick(&w,
                            step == "esc"     ? Qt::Key_Escape
                            : step == "ctrl+" ? Qt::Key_Plus
                                              : Qt::Key_Minus,
                            step == "esc" ? Qt::NoModifier : Qt::ControlModifier);
        } else if (step == "wheel") {
            for (const int delta : {-120, -120, 120}) {
                const QPointF at = tabs->tabRect(0).center();
                QWheelEvent wheel(at, tabs->mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(tabs, &wheel);
            }
        } else if (step == "custom") {
            w.setCustomPeriodAnswer([](CustomPeriodForm& form) {
                const auto at = [](int hour) {
                    return formatDateTime(DateValue::fromDateTime(Now.date(), QTime(hour, 0)), {});
                };
                form.StartDate()->setText(at(6));
                form.EndDate()->setText(at(12));
                form.Units()->setCurrentIndex(form.Units()->findData(30));
                return form.OK_Button_Click();
            });
            command(w, "CustomPeriod")->trigger();
        } else if (step == "open" || step == "damaged") {
            QFile damaged(file);
            if (step == "damaged" && damaged.open(QIODevice::WriteOnly))
                damaged.write("NVCHART\x1a but not really");
            const auto other = w.state() == WindowState::Empty ? test::nodeChart() : nullptr;
            if (step == "open" && !(other ? *other : w).Chart()->SaveChart(file))
                qFatal("cannot save %s", qPrintable(file));
            dialogs().fileAnswers.push_back(file);
            command(w, "OpenSelection")->trigger();
        } else if (step == "saveas" || step == "nofolder") {
            dialogs().fileAnswers.push_back(
                m_dir->file(step == "saveas" ? "router5.nvc" : "no/such/a.nvc"));
            command(w, "SaveAsSelection")->trigger();
        } else if (step == "zoom") {
            QCustomPlot* plot = w.Chart()->ChartObject()->plot();
            (void)QTest::qWaitForWindowExposed(&w);
            const int y = plot->axisRect()->center().y();
            const QPoint from(int(plot->xAxis->coordToPixel(10)), y);
            const QPoint to(int(plot->xAxis->coordToPixel(20)), y);
            QTest::mousePress(plot, Qt::LeftButton, {}, from);
            QTest::mouseMove(plot, to);
            QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
        } else if (step == "day") {
            const int perDay = int(w.Chart()->PointCount()) / 8; // This Week holds eight days
            w.Chart()->ChartObject()->setVisiblePointCount(perDay);
            w.Chart()->ChartObject()->setFirstVisiblePoint(perDay + 1);
        } else if (step == "exit") {
            w.close();
        } else {
            qFatal("no step %s", qPrintable(step));
        }
    }

    // A shown window brought into a state by the user's steps, in turn.
    std::unique_ptr<GraphForm> window(const QString& steps) {
        auto w = std::make_unique<GraphForm>();
        w->show();
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts))
            run(*w, step);
        return w;
    }

    // The messages shown since the last call, each starting as expected
    // ("%dir" stands for the test's folder).
    void checkMessages(QString expected) {
        expected.replace("%dir", m_dir->path());
        const QStringList texts = dialogs().texts();
        for (const auto& message : dialogs().messages)
            m_hourglassOverDialog |= message.busy;
        dialogs().messages.clear();
        QCOMPARE(texts.size(), expected.isEmpty() ? 0 : 1);
        QVERIFY2(texts.isEmpty() || texts[0].startsWith(expected), qPrintable(texts.join('|')));
    }

private slots:
    void initTestCase() {
        m_dir = new test::ProgramDirScope;
        m_clock = new test::ClockScope(Now);
        test::writeMonitorDatabase(MonitorDB::databasePath());
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
        // A test that expects a message takes it off the list.
        QVERIFY2(dialogs().messages.isEmpty() || QTest::currentTestFailed(),
                 qPrintable(dialogs().texts().join(u'|')));
        QVERIFY(!std::exchange(m_hourglassOverDialog, false));
        m_dialogs.reset();
        MonitorDB::release();
    }

    void eachStateOffersItsCommands_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("offer");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* steps, const char* caption,
                            const QString& offer, const char* message = "") {
            QTest::newRow(name) << steps << caption << offer << message;
        };
        const QString node = "File Edit Chart Period Help | New Open Save Print Refresh MoreDetail "
                             "LessDetail Table Customize Help | files | chart above tabs";
        const char* today = "router5 - Response Time for Today";
        const QString empty = "File Help | New Open Help | no files | hint";
        const QString file = "File Edit Help | New Open Save Print Table Customize Help | files "
                             "| chart fills";
        row("empty", "", "Norvane Tarnvue", empty);
        row("node chart", "node", today, node);
        row("zoomed", "node zoom", today, QString(node).replace("Table", "ZoomOut Table"));
        row("zoomed out", "node zoom zoomout", today, node);
        row("chart file over a node chart", "node open", "shown.nvc [router5]", file);
        // Nothing was charted in this window: no title in the brackets, no table.
        row("chart file in a new window", "open", "shown.nvc []", QString(file).remove("Table "));
        row("after Save As", "node saveas", "router5 [router5]", file);
        row("node chart after a chart file", "node open node", today, node);
        row("node chart after Save As", "node saveas node", today, node);
        row("closed", "node close", "Norvane Tarnvue", empty);
        row("chart file closed", "node open close", "Norvane Tarnvue", empty);
        row("a failed save keeps the node chart", "node nofolder", today, node,
            "Cannot save chart (%dir/no/such/a.nvc)\r\n\r\n");
        row("an unknown node is reported", "node node99", today, node,
            "Cannot build new chart.\r\n");
        row("a damaged file leaves the window empty", "node damaged", "Norvane Tarnvue", empty,
            "Cannot load chart (%dir/damaged.nvc)\r\n\r\n");
    }
    void eachStateOffersItsCommands() {
        QFETCH(QString, steps);
        QFETCH(QString, message);
        auto w = window(steps);
        QTEST(w->windowTitle(), "caption");
        QTEST(offered(*w), "offer");
        checkMessages(message);
    }

    // Periods, detail steps and custom spans: what is charted, as the
    // caption, the tabs and the Period menu show it.
    void commandsChartTheirPeriod_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("detail"); // More (+) and Less (-) Detail in the Chart menu
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* steps, const char* caption, int period,
                            int tab, int minutes, int points, const char* detail = "+-",
                            const char* message = "") {
            QTest::newRow(name) << QString(steps) << QString(caption) << period << tab << minutes
                                << points << QString(detail) << QString(message);
        };
        const char* today = "router5 - Response Time for Today";
        const char* wholeToday = "router5 - 2 Nov 2026 00:00 \u2013 2 Nov 2026 15:00";
        const char* morning = "router5 - 2 Nov 2026 06:00 \u2013 2 Nov 2026 12:00";
        row("Today at 14:37: quarter hours until 15:00", "node", today, 1, 1, 15, 60);
        row("This Week tab", "node week", "router5 - Response Time for This Week", 2, 2, 60, 192);
        row("Last 30 days from the menu", "node 30days", "router5 - Response Time for Last 30 days",
            4, 4, 360, 124);
        row("the wheel over the tabs changes nothing", "node wheel", today, 1, 1, 15, 60);
        row("a cancelled Build New changes nothing", "node week cancel",
            "router5 - Response Time for This Week", 2, 2, 60, 192);
        row("more detail: the same span finer", "node more", wholeToday, 8, 8, 5, 180);
        row("Ctrl++ and Ctrl+-", "node ctrl+ ctrl-", wholeToday, 8, 8, 15, 60);
        row("one minute at the most", "node finer finer finer finer", wholeToday, 8, 8, 1, 900, "-",
            "The chart is already displaying the maximum amount of detail.");
        row("one a day at the least", "node year coarser",
            "router5 - Response Time for Last 12 months", 6, 6, 1440, 366, "+",
            "The chart is already displaying the least amount of detail.");
        // Quarter hours over a year are more buckets than a chart holds.
        row("too many buckets keep the chart", "node year finer finer finer finer finer",
            "router5 - 2 Nov 2025 00:00 \u2013 3 Nov 2026 00:00", 8, 8, 30, 17568, "+-",
            "Cannot build new chart.\r\nOverflow");
        row("zoomed: the span in view", "node week day more",
            "router5 - 27 Oct 2026 00:00 \u2013 28 Oct 2026 00:00", 8, 8, 30, 48);
        row("a cancelled custom period keeps the chart", "node customtab", today, 1, 8, 15, 60);
        row("a custom period as entered", "node custom", morning, 8, 8, 30, 12);
        row("refresh keeps a custom span", "node custom refresh", morning, 8, 8, 30, 12);
    }
    void commandsChartTheirPeriod() {
        QFETCH(QString, steps);
        QFETCH(int, period);
        QFETCH(QString, message);
        auto w = window(steps);
        QTEST(w->windowTitle(), "caption");
        QCOMPARE(int(w->CurrentPeriod()), period);
        QCOMPARE(checked(*w, "Period"), periodTable()[period - 1].menuName);
        QTEST(w->PeriodButtons()->currentIndex() + 1, "tab");
        QTEST(widthMinutes(*w), "minutes");
        QTEST(int(w->Chart()->PointCount()), "points");
        QCOMPARE(w->Chart()->ChartObject()->pointCount(), int(w->Chart()->PointCount()));
        w->ChartMenu_Click();
        QTEST(QString(command(*w, "MoreDetailSelection")->isEnabled() ? "+" : "") +
                  (command(*w, "LessDetailSelection")->isEnabled() ? "-" : ""),
              "detail");
        QVERIFY(!w->Chart()->Zoomed() && !command(*w, "ZoomOutSelection")->isEnabled());
        checkMessages(message);
    }

    void chartChoicesShowInTheMenus() {
        auto w = window("node");
        QAction* button = w->toolbarButton(QStringLiteral("Table"));
        w->Toolbar_ButtonClick(QStringLiteral("Table"));
        w->ChartMenu_Click();
        QVERIFY(w->Chart()->Table() && button->isChecked());
        QVERIFY(command(*w, "TableSelection")->isChecked());
        command(*w, "TableSelection")->trigger();
        QVERIFY(!w->Chart()->Table() && !button->isChecked());
        command(*w, "LargeFontSize")->trigger();
        QCOMPARE(w->Chart()->FontSize(), FontLarge);
        QCOMPARE(checked(*w, "FontSize"), QStringLiteral("LargeFontSize"));
        command(*w, "SmallFontSize")->trigger();
        QCOMPARE(checked(*w, "FontSize"), QStringLiteral("SmallFontSize"));
    }

    // A title, a style or the grid chosen in the customisation dialog went
    // back to the defaults on the next period, detail step or refresh.
    void customisationSurvives_data() {
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("title");
        for (const char* then : {"week", "more", "refresh"})
            QTest::newRow(then) << QString(then) << QStringLiteral("My router");
        QTest::newRow("another node") << QStringLiteral("node6") << QStringLiteral("switch6");
    }
    void customisationSurvives() {
        QFETCH(QString, then);
        auto w = window("node");
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("mainTitle"))->setText("My router");
            auto* style = dialog->findChild<QComboBox*>(QStringLiteral("plotStyle"));
            style->setCurrentIndex(style->findData(int(PlotStyle::Bars)));
            dialog->findChild<QCheckBox*>(QStringLiteral("gridLines"))->setChecked(false);
            dialog->accept();
        });
        w->CustomizeSelection_Click();
        run(*w, then);
        const ChartModel& m = w->Chart()->ChartObject()->model();
        QTEST(m.mainTitle, "title");
        QCOMPARE(m.series.at(3).plotStyle, PlotStyle::Bars);
        QVERIFY(!m.gridLines);
        // The rest is the program's: the loss series' own colour, its axis.
        QCOMPARE(m.series.at(3).color, QColor(255, 0, 0));
        QCOMPARE(m.rightMax, 101.0);
    }

    void f5ReadsAgainFromScratch() {
        auto w = window("node");
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
        m_clock->set(Now);
        QCOMPARE(w->Chart()->LastTotals().records, records + 1);
        // The refresh moved Today's end on to the next full hour.
        QCOMPARE(w->Chart()->PlotEnd(), DateValue::fromDateTime(Now.date(), QTime(16, 0)));
    }

    void outagesPanelListsAndZooms() {
        auto w = window("node6");
        command(*w, "OutagesSelection")->trigger();
        QVERIFY(w->Outages()->isVisible());
        QTreeWidget* list = w->Outages()->list();
        QCOMPARE(list->topLevelItemCount(), 2);
        QStringList rows;
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 5; ++c)
                rows << list->topLevelItem(r)->text(c);
        QCOMPARE(rows.join('|'), QStringLiteral("outage|2026-11-02 06:00:00|2026-11-02 07:00:00|"
                                                "1 h 00 min 00 s|12|no data|2026-11-02 08:55:00|"
                                                "2026-11-02 10:00:00|1 h 05 min 00 s|"));
        // 163 polls, 12 of them lost.
        QCOMPARE(w->Outages()->summary()->text(),
                 QStringLiteral("Availability: 92.638 %\n1 outage, 1 h 00 min 00 s down"));

        // Enter on the outage shows it with a bucket to spare on either side.
        list->setFocus();
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(w->Chart()->Zoomed());
        const int width = widthMinutes(*w);
        QCOMPARE(DateValue::timeOf(w->Chart()->ZoomBegining()), QTime(6, 0).addSecs(-60 * width));
        QCOMPARE(DateValue::timeOf(w->Chart()->ZoomEnding()), QTime(7, 0).addSecs(60 * width));

        // Closed, the window has no polls to list.
        run(*w, "close");
        QCOMPARE(list->topLevelItemCount(), 0);

        // The next run shows the panel again, until it is hidden.
        w->close();
        auto next = window(QString());
        QVERIFY(next->Outages()->isVisible());
        command(*next, "OutagesSelection")->trigger();
    }

    void spreadSwitchesAreKeptBetweenRuns() {
        auto w = window("node");
        // The menu's mark and the chart's switch, as "11" for both on.
        const auto median = [](GraphForm& form) {
            form.ChartMenu_Click();
            return QString::number(command(form, "MedianSelection")->isChecked()) +
                   QString::number(form.Chart()->ChartObject()->latencyLook().median);
        };
        QCOMPARE(median(*w), QStringLiteral("00"));
        command(*w, "MedianSelection")->trigger();
        QCOMPARE(median(*w), QStringLiteral("11"));
        w->close();
        auto next = window("node");
        QCOMPARE(median(*next), QStringLiteral("11"));
        command(*next, "MedianSelection")->trigger();
        QCOMPARE(median(*next), QStringLiteral("00"));
    }

    void savedChartOpensTheSame() {
        auto w = window("node");
        const QString path = m_dir->file(QStringLiteral("router5.nvc"));
        dialogs().fileAnswers.push_back(path);
        w->Toolbar_ButtonClick(QStringLiteral("Save")); // no file yet: Save As
        QCOMPARE(dialogs().fileRequests.constFirst().fileName, QStringLiteral("router5.nvc"));
        QCOMPARE(w->ChartFileName(), path);
        const ChartModel saved = w->Chart()->ChartObject()->model();

        // Save writes the same file again, without asking.
        QFile::remove(path);
        command(*w, "SaveSelection")->trigger();
        QCOMPARE(dialogs().fileRequests.size(), 1);
        QVERIFY(QFile::exists(path));

        // Opened in a fresh window: the same chart; a cancelled dialog changes nothing.
        auto other = window(QString());
        dialogs().fileAnswers.push_back(path);
        command(*other, "OpenSelection")->trigger();
        command(*other, "OpenSelection")->trigger();
        QCOMPARE(other->state(), WindowState::FileChart);
        QCOMPARE(other->Chart()->ChartObject()->model(), saved);
    }

    void f1AsksForTheDialogsHelp() {
        auto w = window("node");
        auto* node = new SelectNodeForm(w.get());
        auto* custom = new CustomPeriodForm(*w->Chart(), w.get());
        QSignalSpy nodeHelp(node, &SelectNodeForm::helpRequested);
        QSignalSpy customHelp(custom, &CustomPeriodForm::helpRequested);
        for (QDialog* dialog : {static_cast<QDialog*>(node), static_cast<QDialog*>(custom)}) {
            dialog->show();
            QApplication::setActiveWindow(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTest::keyClick(dialog, Qt::Key_F1);
            dialog->hide();
        }
        QCOMPARE(nodeHelp.count(), 1);
        QCOMPARE(customHelp.count(), 1);
        dialogs().messages.clear();
    }

    // A build yields while it reads; what the user does meanwhile must not
    // start anything, Esc cancels, and a close waits for the read to stop.
    void buildIsOneOperation_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("during");
        QTest::addColumn<int>("period");
        QTest::addColumn<WindowState>("state");
        const auto row = [](const char* name, const char* start, const char* during, int period,
                            WindowState state = WindowState::NodeChart) {
            QTest::newRow(name) << QString(start) << QString(during) << period << state;
        };
        row("another period tab is refused", "week", "month", 2);
        row("a period menu command is refused", "week", "30days", 2);
        row("a detail command is refused", "week", "more", 2);
        row("Esc puts the previous chart back", "week", "esc", 1);
        row("Esc on a first build leaves the window empty", "node", "esc", 1, WindowState::Empty);
        row("a close cancels, then closes", "week", "exit", 1);
    }
    void buildIsOneOperation() {
        QFETCH(QString, start);
        QFETCH(QString, during);
        QFETCH(int, period);
        SlowRead read;
        MonitorDB::shared().open(std::make_unique<SlowBackend>(MonitorDB::databasePath(), read),
                                 MonitorDB::databasePath());
        auto w = window(start == "node" ? "" : "node");
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const ChartModel before = w->Chart()->ChartObject()->model();
        const QString caption = w->windowTitle();
        read.action = [&] {
            QVERIFY(w->Busy());
            run(*w, during);
        };
        run(*w, start);
        QVERIFY(!read.action); // the reader ran it
        QVERIFY(!w->Busy());
        QVERIFY(!read.readerOutlivedBackend);
        QTEST(w->state(), "state");
        QCOMPARE(int(w->CurrentPeriod()), period);
        QCOMPARE(w->PeriodButtons()->currentIndex(), period - 1);
        if (during == "exit") {
            QVERIFY(!w->isVisible());
            QVERIFY(!MonitorDB::sharedIfCreated());
        } else if (during == "esc") {
            QCOMPARE(w->windowTitle(), caption);
            QCOMPARE(w->Chart()->ChartObject()->model(), before);
        } else {
            QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
            QCOMPARE(widthMinutes(*w), 60);
            QCOMPARE(int(w->Chart()->PointCount()),
                     int(bucketCount(w->Chart()->PlotBegin(), w->Chart()->PlotEnd(),
                                     w->Chart()->PeriodSize())));
            QCOMPARE(w->Chart()->ChartObject()->pointCount(), int(w->Chart()->PointCount()));
        }
    }

    // What cannot be placed keeps its place: the chart never collapses.
    void tinyWindowRaisesNoError() {
        auto w = window("node");
        for (const QSize size : {QSize(60, 40), QSize(1, 1), QSize(900, 600)}) {
            w->resize(size);
            QCoreApplication::processEvents();
            QVERIFY(w->Chart()->geometry().isValid());
        }
        QVERIFY(w->Chart()->geometry().bottom() < w->PeriodButtons()->geometry().top());
        QVERIFY(w->Chart()->geometry().height() > 300);
    }
};

QTEST_MAIN(TestGraphForm)
#include "test_graphform.moc"
