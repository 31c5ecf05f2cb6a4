#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/CommandLine.h"
#include "app/GraphForm.h"
#include "app/OutagesPanel.h"
#include "app/RecentCharts.h"
#include "app/Startup.h"
#include "chart/CustomPeriodForm.h"
#include "chart/DateText.h"
#include "chart/Periods.h"
#include "chart/SampleSizes.h"
#include "components/ComponentIds.h"
#include "components/chart/ChartControl.h"
#include "components/exportengine/ExportEngineServer.h"
#include "core/ComponentRegistry.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/UserSettings.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SqliteBackend.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

using namespace tarnvue;
using Kind = CommandLine::Kind;

Q_DECLARE_METATYPE(tarnvue::CommandLine::Kind)
Q_DECLARE_METATYPE(tarnvue::MessageIcon)
Q_DECLARE_METATYPE(tarnvue::WindowState)

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

// router5 polled every 5 minutes for eight days until 15:00 today; switch6
// today, without replies from 06:00 to 06:55 and without polls from 09:00 to
// 09:55; router1 never polled; node 7 without a name; node 8 with a name no
// file name may carry.
void writeMonitorDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(5, QStringLiteral("router5"), QStringLiteral("10.0.0.5"));
    db.addNode(6, QStringLiteral("switch6"), QStringLiteral("10.0.0.6"));
    db.addNode(7, QVariant(), QStringLiteral("10.0.0.7"));
    db.addNode(8, QStringLiteral("Core: Router / 10.0.0.8"), QStringLiteral("10.0.0.8"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = -8 * 1440; minute < 15 * 60; minute += 5) {
        db.addSample(5, day + minute / 1440.0, 10 + (minute / 5) % 7, 9, 20, 0);
        if (minute >= 0)
            db.addSample(8, day + minute / 1440.0, 12, 9, 20, 0);
    }
    for (int minute = 0; minute <= 14 * 60 + 30; minute += 5) {
        if (minute >= 9 * 60 && minute < 10 * 60)
            continue;
        const bool lost = minute >= 6 * 60 && minute < 7 * 60;
        db.addSample(6, day + minute / 1440.0, lost ? -1 : 20, lost ? -1 : 18, lost ? -1 : 25,
                     lost ? 100 : 0);
    }
}

QAction* command(QWidget& window, const char* name) {
    auto* action = window.findChild<QAction*>(QLatin1String(name));
    if (!action)
        qFatal("no command %s", name);
    return action;
}

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
// the bar, the toolbar buttons a click reaches, whether the file commands are
// live, and where the chart stands.
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

const QHash<QString, const char*> MenuCommands = {
    {"more", "MoreDetailSelection"}, {"less", "LessDetailSelection"},
    {"30days", "Last30DaysPeriod"},  {"year", "Last12MonthsPeriod"},
    {"refresh", "RefreshSelection"}, {"close", "CloseSelection"},
    {"zoomout", "ZoomOutSelection"}};

// The entry of an Export or Send To menu that runs the engine's method.
QAction* menuEntry(GraphForm& w, const char* menu, const QString& method) {
    for (QAction* a : w.findChild<QMenu*>(QLatin1String(menu))->actions())
        if (a->isVisible() && a->data().toString() == method)
            return a;
    qFatal("no %s entry %s", menu, qPrintable(method));
}

// Drawn at that size, not blown up from a smaller one, and at least a part
// of the square covered.
void checkDrawn(const QIcon& icon, int size, int coveredPart, const QString& what) {
    const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            covered += qAlpha(image.pixel(x, y)) > 0;
    QVERIFY2(icon.availableSizes().contains(QSize(size, size)) &&
                 covered >= size * size / coveredPart,
             qPrintable(QStringLiteral("%1 at %2").arg(what).arg(size)));
}

} // namespace

class TestGraphForm : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramDirScope> m_dir;
    std::unique_ptr<test::ClockScope> m_clock;
    std::unique_ptr<test::DialogRecorderScope> m_dialogs;
    // The hourglass showed over a dialog: it is for the program's work, not
    // for what waits for the user.
    bool m_hourglassOverDialog = false;

    test::RecordingDialogs& dialogs() { return **m_dialogs; }

    // One thing the user does: "node" (Build New Chart for router5), "node6"
    // (for that node), "cancel" (Build New Chart, cancelled), a click on the
    // "week", "month" or "customtab" (answered with Cancel) tab, a menu command
    // of MenuCommands, the Detail buttons "finer" and "coarser", the keys
    // "Ctrl++", "Ctrl+-" and "Esc", "wheel" (over the tabs), "custom" (06:00 to
    // 12:00 today in half hours), "open" (the chart on view, or else a node
    // chart, saved and opened), "damaged" (a damaged file opened), "saveas",
    // "nofolder" (Save As into a missing folder), "day" (the second eighth of
    // the chart in view: a day of This Week), "exit".
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
        } else if (step == "Ctrl++" || step == "Ctrl+-" || step == "Esc") {
            QTest::keySequence(&w, QKeySequence(step));
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
            const auto other = w.state() == WindowState::Empty ? window("node") : nullptr;
            if (step == "open" && !(other ? *other : w).Chart()->SaveChart(file))
                qFatal("cannot save %s", qPrintable(file));
            dialogs().fileAnswers.push_back(file);
            command(w, "OpenSelection")->trigger();
        } else if (step == "saveas" || step == "nofolder") {
            dialogs().fileAnswers.push_back(
                m_dir->file(step == "saveas" ? "router5.nvc" : "no/such/a.nvc"));
            command(w, "SaveAsSelection")->trigger();
        } else if (step == "day") {
            const int perDay = int(w.Chart()->PointCount()) / 8;
            w.Chart()->ChartObject()->setVisiblePointCount(perDay);
            w.Chart()->ChartObject()->setFirstVisiblePoint(perDay + 1);
            emit w.Chart()->ChartObject()->zoomChanged(); // as a drag on the chart does
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

    // The messages shown since the last call, in turn ("a|b"), each with the
    // start given, then "…" and a part it contains ("%dir" is the test's folder).
    void checkMessages(QString expected) {
        expected.replace("%dir", m_dir->path());
        const QStringList texts = dialogs().texts();
        for (const auto& message : dialogs().messages)
            m_hourglassOverDialog |= message.busy;
        dialogs().messages.clear();
        const QStringList starts = expected.split(u'|', Qt::SkipEmptyParts);
        QCOMPARE(texts.size(), starts.size());
        for (qsizetype i = 0; i < texts.size(); ++i)
            QVERIFY2(texts[i].startsWith(starts[i].section(u'…', 0, 0)) &&
                         texts[i].contains(starts[i].section(u'…', 1)),
                     qPrintable(texts.join('|')));
    }

private slots:
    void initTestCase() {
        m_dir = std::make_unique<test::ProgramDirScope>();
        m_clock = std::make_unique<test::ClockScope>(Now);
        writeMonitorDatabase(MonitorDB::databasePath());
        LoadSampleSizes();
    }
    void init() {
        m_dialogs = std::make_unique<test::DialogRecorderScope>();
        m_dir->freshSettings();
    }
    void cleanup() {
        const QStringList left = dialogs().texts();
        const bool hourglass = std::exchange(m_hourglassOverDialog, false);
        m_dialogs.reset();
        ComponentRegistry::instance().remove(ComponentIds::exportEngine());
        MonitorDB::release();
        // A test that expects a message takes it off the list.
        QVERIFY2(left.isEmpty() || QTest::currentTestFailed(), qPrintable(left.join(u'|')));
        QVERIFY(!hourglass);
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
        row("zoomed", "node day", today, QString(node).replace("Table", "ZoomOut Table"));
        row("zoomed out", "node day zoomout", today, node);
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
        row("Ctrl++ and Ctrl+-", "node Ctrl++ Ctrl+-", wholeToday, 8, 8, 15, 60);
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
        QTEST(int(DateValue::wholeMinutes(w->Chart()->PeriodSize())), "minutes");
        QTEST(int(w->Chart()->PointCount()), "points");
        QCOMPARE(w->Chart()->ChartObject()->pointCount(), int(w->Chart()->PointCount()));
        w->ChartMenu_Click();
        QTEST(QString(command(*w, "MoreDetailSelection")->isEnabled() ? "+" : "") +
                  (command(*w, "LessDetailSelection")->isEnabled() ? "-" : ""),
              "detail");
        QVERIFY(!w->Chart()->Zoomed() && !command(*w, "ZoomOutSelection")->isEnabled());
        checkMessages(message);
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
        const int width = int(DateValue::wholeMinutes(w->Chart()->PeriodSize()));
        QCOMPARE(DateValue::timeOf(w->Chart()->ZoomBegining()), QTime(6, 0).addSecs(-60 * width));
        QCOMPARE(DateValue::timeOf(w->Chart()->ZoomEnding()), QTime(7, 0).addSecs(60 * width));

        // Closed, the window has no polls to list.
        run(*w, "close");
        QCOMPARE(list->topLevelItemCount(), 0);
    }

    void savedChartOpensTheSame() {
        auto w = window("node");
        const QString path = m_dir->file(QStringLiteral("router5.nvc"));
        dialogs().fileAnswers.push_back(path);
        w->Toolbar_ButtonClick(QStringLiteral("Save")); // no file yet: Save As
        QCOMPARE(dialogs().fileRequests.constFirst().fileName, QStringLiteral("router5.nvc"));
        const ChartModel saved = w->Chart()->ChartObject()->model();

        // Save writes the same file again, without asking.
        QFile::remove(path);
        command(*w, "SaveSelection")->trigger();
        QCOMPARE(dialogs().fileRequests.size(), 1);
        QVERIFY(QFile::exists(path));

        // Opened in a fresh window: the same chart.
        auto other = window(QString());
        dialogs().fileAnswers.push_back(path);
        command(*other, "OpenSelection")->trigger();
        QCOMPARE(other->state(), WindowState::FileChart);
        QCOMPARE(other->Chart()->ChartObject()->model(), saved);
    }

    void f1AsksForTheCustomPeriodHelp() {
        auto w = window("node");
        CustomPeriodForm form(*w->Chart(), w.get());
        QSignalSpy help(&form, &CustomPeriodForm::helpRequested);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(help.count(), 1);
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
        row("a detail command is refused", "week", "more", 2);
        row("Esc puts the previous chart back", "week", "Esc", 1);
        row("Esc on a first build leaves the window empty", "node", "Esc", 1, WindowState::Empty);
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
        } else if (during == "Esc") {
            QCOMPARE(w->windowTitle(), caption);
            QCOMPARE(w->Chart()->ChartObject()->model(), before);
        } else {
            QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
        }
    }

    // The user's choices on a node chart, the window's size and panel, the
    // period and the recent charts survive the window; a chart file's own look does not
    // replace them, and a recent entry that is gone is removed with a message.
    void windowRemembers() {
        QSize size;
        {
            auto w = window("node week");
            command(*w, "OutagesSelection")->trigger();
            command(*w, "LargeFontSize")->trigger();
            command(*w, "TableSelection")->trigger();
            for (const char* spread : {"MedianSelection", "JitterSelection", "JitterSelection"})
                command(*w, spread)->trigger();
            w->resize(900, 640);
            size = w->size();
            run(*w, "open");
            command(*w, "SmallFontSize")->trigger();
            command(*w, "TableSelection")->trigger();
            w->close();
        }
        UserSettings().setRecentCharts(UserSettings().recentCharts() +
                                       QStringList{"file:/gone/old.nvc", "node:99:retired"});
        auto w = window(QString());
        QVERIFY(w->size() == size && w->Outages()->isVisible());
        QCOMPARE(w->PeriodButtons()->currentIndex(), ThisWeekPeriod - 1);
        QCOMPARE(checked(*w, "FontSize"), QStringLiteral("LargeFontSize"));
        w->ChartMenu_Click();
        const LatencyLook& look = w->Chart()->ChartObject()->latencyLook();
        QVERIFY(w->toolbarButton(QStringLiteral("Table"))->isChecked() && w->Chart()->Table());
        QVERIFY(command(*w, "MedianSelection")->isChecked() && look.median);
        QVERIFY(!command(*w, "JitterSelection")->isChecked() && !look.jitter);
        QCOMPARE(command(*w, "RecentChart2")->text(), QStringLiteral("&2 router5"));
        QVERIFY(command(*w, "RecentChart4")->isVisible() &&
                !command(*w, "RecentChart5")->isVisible());

        w->RecentChart_Click(4);
        w->RecentChart_Click(3);
        checkMessages(
            "The node \"retired\" is no longer|The chart file \"/gone/old.nvc\" no longer");
        QVERIFY(!command(*w, "RecentChart3")->isVisible());
        w->RecentChart_Click(2);
        QCOMPARE(w->windowTitle(), QStringLiteral("router5 - Response Time for This Week"));
    }

    // Each row adds stored entries in turn (oldest first) and reads the list.
    void recentCharts_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("newest first")
            << QStringList{"node:1:a", "file:/x.nvc"} << QStringList{"file:/x.nvc", "node:1:a"};
        QTest::newRow("a node reopened moves up, by identifier")
            << QStringList{"node:1:a", "node:2:b", "node:1:renamed"}
            << QStringList{"node:1:renamed", "node:2:b"};
        QStringList nine;
        for (int i = 1; i <= 9; ++i)
            nine << QStringLiteral("file:/%1.nvc").arg(i);
        QTest::newRow("eight at most, the oldest falls off")
            << nine << QStringList(nine.crbegin(), nine.crend() - 1);
        QTest::newRow("damaged entries are dropped")
            << QStringList{"node:x:a", "node:0:b", "file:", "other", "node:7:ok"}
            << QStringList{"node:7:ok"};
    }
    void recentCharts() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, stored);
        RecentCharts recent;
        for (const QString& entry : added)
            if (const auto chart = RecentChart::fromStored(entry))
                recent.add(*chart);
        QCOMPARE(recent.stored(), stored);
        QCOMPARE(RecentCharts(recent.stored() + added).stored(), stored);
        const RecentChart chart{RecentChart::Kind::Node, 3, QStringLiteral("R&D")};
        QCOMPARE(recentChartCaption(7, chart), QStringLiteral("&8 R&&D"));
    }

    // With no database anywhere the window says where it looked and offers
    // Open Database; the database chosen there is kept.
    void missingDatabaseOffersOpenDatabase() {
        const QString chosen = m_dir->file(QStringLiteral("monitor.cfg"));
        QVERIFY(QFile::copy(MonitorDB::databasePath(), chosen));
        const test::ProgramDirScope nothing;
        dialogs().fileAnswers.push_back(chosen);
        GraphForm w;
        QVERIFY(w.BuildChart(5));
        checkMessages("No monitor database was found.…TARNVUE_DATABASE: not set");
        QCOMPARE(UserSettings().chosenDatabase(), chosen);
        QCOMPARE(findMonitorDatabase().path, chosen);
    }

    void exportWritesWhereTheUserChose() {
        registerExportEngine();
        auto w = window("node8");
        const QString target = m_dir->file(QStringLiteral("chart.pdf"));
        dialogs().fileAnswers.push_back(target);
        menuEntry(*w, "ExportMenu", QStringLiteral("PDF"))->trigger();
        // The engine proposed the chart's title, made fit for a file name.
        QVERIFY2(dialogs().fileRequests[0].fileName.startsWith("Core__Router___10.0.0.8"),
                 qPrintable(dialogs().fileRequests[0].fileName));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(5), QByteArray("%PDF-"));
    }

    // A send writes into a fresh folder of the user's own, never the
    // program's, and a send that cannot reach its target says so.
    void sendToWritesIntoATemporaryFolder() {
        registerExportEngine();
        QStringList opened;
        ExportEngineServer::setLauncherForTests(
            [&](const QString&, const QStringList&, const QUrl& url) {
                opened << url.toLocalFile();
                return false;
            });
        auto w = window("node8");
        const QStringList before = QDir(m_dir->path()).entryList(QDir::Files);
        menuEntry(*w, "SendToMenu", QStringLiteral("Open"))->trigger();
        ExportEngineServer::setLauncherForTests({});
        QCOMPARE(opened.size(), 1);
        QVERIFY2(opened[0].startsWith(QDir::tempPath() + QStringLiteral("/tarnvue-send-")) &&
                     opened[0].endsWith(QStringLiteral("/Core__Router___10.0.0.8.html")),
                 qPrintable(opened[0]));
        QVERIFY(QFile::exists(opened[0]));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), before);
        QCOMPARE(dialogs().messages.size(), 1);
        dialogs().messages.clear();
    }

    void copyBitmapAndMetafile() {
        auto w = window("node");
        command(*w, "CopyBitmapSelection")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), w->Chart()->size());
        // Wider than 16-bit twips reach.
        w->resize(2600, 700);
        QCoreApplication::processEvents();
        QVERIFY(w->Chart()->width() > 2200);
        command(*w, "CopyMetafileSelection")->trigger();
        QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat("image/svg+xml"));
    }

    // Twips at 15 to the pixel; whole pixels round halves to the even neighbour.
    void pictureSizes_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<int>("whole");
        QTest::newRow("a fraction up") << 9009.0 << 601;
        QTest::newRow("a half down to even") << 9007.5 << 600;
        QTest::newRow("a half up to even") << 9022.5 << 602;
    }
    void pictureSizes() {
        QFETCH(double, twips);
        QTEST(int(pictureSize(twips, 6000, 15, 15).wholeWidthPixels()), "whole");
        QVERIFY_THROWS_EXCEPTION(Error, pictureSize(40000, 100, 1, 1).wholeWidthPixels());
    }

    // Each toolbar button shows a picture of its own, and the window its icon
    // from the smallest size to the largest.
    void iconsAreDrawnAndDistinct() {
        auto w = window(QString());
        QHash<QByteArray, QString> seen;
        for (QAction* button : w->Toolbar()->actions()) {
            const QString key = button->data().toString();
            for (const int size : {16, 24, 32, 48})
                checkDrawn(button->icon(), size, 10, key);
            const QImage image = button->icon().pixmap(24, 24).toImage();
            const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                                  image.sizeInBytes());
            QVERIFY2(!seen.contains(bits), qPrintable(key + " looks like " + seen.value(bits)));
            seen.insert(bits, key);
        }
        for (const int size : {16, 256})
            checkDrawn(w->windowIcon(), size, 2, QStringLiteral("window icon"));
    }
    // The arguments as the program receives them, joined, and what it reads
    // from them.
    void grammar_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* name, QStringList arguments, Kind kind, const char* value) {
            QTest::newRow(name) << arguments << kind << QString::fromUtf8(value);
        };
        row("nothing", {}, Kind::None, "");
        row("-N12", {"-N12"}, Kind::NodeId, "12");
        row("-N 12", {"-N", "12"}, Kind::NodeId, "12");
        row("-N with spaces after", {"-N  12  "}, Kind::NodeId, "12");
        row("bare -N", {"-N"}, Kind::NodeId, "");
        row("-IP attached", {"-IP10.0.0.1"}, Kind::Address, "10.0.0.1");
        row("-IP spaced", {"-IP", "", "10.0.0.1", ""}, Kind::Address, "10.0.0.1");
        row("-IP tab is kept", {"-IP\t10.0.0.1"}, Kind::Address, "\t10.0.0.1");
        row("lower-case -n is a file", {"-n5"}, Kind::ChartFile, "-n5");
        row("-I alone is a file", {"-I"}, Kind::ChartFile, "-I");
        row("leading space is a file", {" -N5"}, Kind::ChartFile, " -N5");
        row("path with spaces, whole", {"/home/ops/My", "Charts/router1.nvc "}, Kind::ChartFile,
            "/home/ops/My Charts/router1.nvc ");
        row("quotes are kept", {"\"a b.nvc\""}, Kind::ChartFile, "\"a b.nvc\"");
    }
    void grammar() {
        QFETCH(QStringList, arguments);
        const CommandLine command =
            parseCommandLine(argumentText(QStringList{QStringLiteral("tarnvue")} + arguments));
        QTEST(command.kind, "kind");
        QTEST(command.value, "value");
    }

    // What the program does with its arguments, against the monitor database
    // it finds: "db" (the window tests' own), "none", the empty "template"
    // only, or "file" (a chart file of router5 saved, the database gone).
    // Without a window the program ends with the status given.
    void arguments_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<bool>("database"); // the database file exists afterwards
        const auto window = [](const char* name, const char* arguments, const char* setup,
                               const char* caption, const char* message, MessageIcon icon,
                               bool database) {
            QTest::newRow(name) << arguments << setup << 0 << caption << message << icon
                                << database;
        };
        const auto end = [](const char* name, const char* arguments, const char* setup, int code,
                            const char* message, MessageIcon icon, bool database) {
            QTest::newRow(name) << arguments << setup << code << "" << message << icon << database;
        };
        const auto none = MessageIcon::None;
        const auto warn = MessageIcon::Exclamation;
        const auto today = "router5 - Response Time for Today";
        // Nothing is opened or created before the user asks for a chart.
        window("no argument", "", "none", "Norvane Tarnvue", "", none, false);
        window("-N5", "-N5", "db", today, "", none, true);
        window("-IP with spaces", "-IP   10.0.0.5  ", "db", today, "", none, true);
        window("a node without a name", "-N7", "db", " - Response Time for Today", "", none, true);
        // What the failed build changed stays: the node asked for.
        window("an unknown node is reported in the window", "-N9", "db",
               " - Response Time for Today", "Cannot build new chart.\r\n", warn, true);
        // The fresh copy is empty: node 1 is not in it.
        window("the first build copies the template", "-N1", "template",
               " - Response Time for Today", "Cannot build new chart.\r\n", warn, true);
        window("no database anywhere", "-N1", "none", "Norvane Tarnvue",
               "No monitor database was found.…Pollwatch.cfg", warn, false);
        window("a chart file opens without the database", "%file", "file",
               "My Charts router5.nvc []", "", none, false);
        for (const char* id : {"-Nabc", "-N", "-N   ", "-N1.5", "-N99999999999"})
            end(id, id, "db", ExitBadNodeId, "", none, true);
        end("unknown address", "-IP 10.9.9.9 ", "db", ExitNodeNotFound,
            "Cannot find node for 10.9.9.9", warn, true);
        end("a lookup never creates the database", "-IP10.0.0.1", "template", ExitNodeNotFound,
            "Cannot find node for 10.0.0.1", warn, false);
        end("a missing file", "/no/such/folder/a.nvc", "none", ExitChartNotLoaded,
            "Cannot load chart (/no/such/folder/a.nvc)\r\n\r\n", none, false);
    }
    void arguments() {
        QFETCH(QString, arguments);
        QFETCH(QString, setup);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString shared = MonitorDB::databasePath();
        const test::ProgramDirScope dir;
        if (setup == QLatin1String("db") || setup == QLatin1String("file"))
            QVERIFY(QFile::copy(shared, MonitorDB::databasePath()));
        if (setup == QLatin1String("template"))
            dir.installTemplate();
        if (setup == QLatin1String("file")) {
            arguments = dir.file(QStringLiteral("My Charts router5.nvc"));
            QVERIFY(Main(QStringLiteral("-N5")).window->Chart()->SaveChart(arguments));
            QVERIFY(QFile::remove(MonitorDB::databasePath()));
        }

        StartupResult start = Main(arguments);
        QCOMPARE(start.exitCode, exitCode);
        QCOMPARE(bool(start.window), exitCode == 0);
        if (!dialogs().messages.isEmpty())
            QTEST(dialogs().messages[0].icon, "icon");
        checkMessages(message);
        QTEST(QFile::exists(MonitorDB::databasePath()), "database");
        if (!start.window)
            return;
        GraphForm& w = *start.window;
        QVERIFY(w.isVisible());
        QTEST(w.windowTitle(), "caption");
        if (setup == QLatin1String("file"))
            QCOMPARE(w.Chart()->ChartObject()->pointCount(), 60);
        // Exit closes the window and lets go of the database.
        command(w, "ExitSelection")->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!MonitorDB::sharedIfCreated());
    }
};

QTEST_MAIN(TestGraphForm)
#include "test_graphform.moc"
