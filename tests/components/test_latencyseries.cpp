#include "ChartBuilder.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartCustomizeDialog.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartPlotter.h"

#include <QCheckBox>
#include <QHelpEvent>
#include <QTableWidget>
#include <QToolTip>
#include <QtTest>
#include <qcustomplot.h>

using namespace tarnvue;

namespace {

// A chart of hourly buckets of a day long past, without reference lines;
// every bucket's maximum is given, the other series and figures follow from it.
ChartModel chart(const std::vector<float>& maxima) {
    test::ChartValues values(4);
    for (float max : maxima) {
        const float bucket[] = {max / 2, max, max * 3 / 4, 0};
        for (int s = 0; s < 4; ++s)
            values[s] << bucket[s];
    }
    ChartModel m = test::chartOf(values, 60, 46000);
    m.showAnnotations = false;
    for (float max : maxima)
        m.shapes.push_back({max / 2, max * 3 / 4, max, 1.5f, 60, 59});
    return m;
}

} // namespace

class TestLatencySeries : public QObject {
    Q_OBJECT

private slots:
    void clippedScale_data() {
        QTest::addColumn<float>("spike"); // bucket 100's maximum; 0: none
        QTest::addColumn<double>("clippedTop");
        QTest::addColumn<double>("plainTop");

        QTest::newRow("one huge spike") << 2000.0f << 25.0 << 2500.0;
        QTest::newRow("no spike") << 0.0f << 25.0 << 25.0;
        // Two percent of the buckets are not rare: the axis keeps them.
        QTest::newRow("many spikes") << -1.0f << 2500.0 << 2500.0;
    }
    void clippedScale() {
        QFETCH(float, spike);
        QFETCH(double, clippedTop);
        QFETCH(double, plainTop);
        std::vector<float> maxima(200);
        for (std::size_t p = 0; p < maxima.size(); ++p)
            maxima[p] = 18 + float(p % 5);
        if (spike > 0)
            maxima[100] = spike;
        if (spike < 0) {
            for (std::size_t p = 0; p < maxima.size(); p += 40)
                maxima[p] = maxima[p + 1] = 2000;
        }
        ChartModel m = chart(maxima);
        m.tableMode = TableGraphWithTable;
        QCOMPARE(automaticLeftScale(m).top, plainTop);
        m.latency.clipSpikes = true;
        QCOMPARE(automaticLeftScale(m).top, clippedTop);

        ChartControl control;
        control.resize(800, 500);
        control.setModel(m);
        control.show();
        QCOMPARE(control.plot()->yAxis->range().upper, clippedTop);
        QCPGraph* markers = control.plot()->graph(control.plot()->graphCount() - 1);
        QCOMPARE(markers->visible(), spike > 0);
        QCOMPARE(markers->data()->size(), spike > 0 ? 1 : 0);
        if (spike <= 0)
            return;
        QCOMPARE(markers->data()->at(0)->key, 100.0);
        QCOMPARE(markers->data()->at(0)->value, clippedTop);
        // The table and the read-out give the true value.
        QCOMPARE(control.table()->item(100, 2)->text(), QStringLiteral("2000.0"));
        const QPoint at(int(control.plot()->xAxis->coordToPixel(100)), 40);
        QHelpEvent help(QEvent::ToolTip, at, control.plot()->mapToGlobal(at));
        QApplication::sendEvent(control.plot(), &help);
        QVERIFY2(QToolTip::text().contains(QStringLiteral("2000 ms")),
                 qPrintable(QToolTip::text()));
    }

    void figuresInTheTableAndTheData_data() {
        QTest::addColumn<bool>("scanned");
        QTest::addColumn<bool>("tabs");
        QTest::addColumn<QString>("lastLine");

        QTest::newRow("csv") << true << false << "2025-12-09 01:00,20,40,30,0,30,20,40,1.5,60,59";
        QTest::newRow("text") << true << true
                              << "2025-12-09 01:00\t20\t40\t30\t0\t30\t20\t40\t1.5\t60\t59";
        QTest::newRow("not scanned") << false << false << "2025-12-09 01:00,20,40,30,0,,,,,,";
    }
    void figuresInTheTableAndTheData() {
        QFETCH(bool, scanned);
        QFETCH(bool, tabs);
        QFETCH(QString, lastLine);
        ChartModel m = chart({10, 40});
        m.shapes[0] = {-1, -1, -1, -1, 3, 0}; // only lost polls
        if (!scanned)
            m.shapes.clear();
        const auto text = [&](DataColumns columns) {
            return tabs ? chartDataTsv(m, columns) : chartDataCsv(m, columns);
        };
        const QStringList fixed = text(DataColumns::Fixed).split(QStringLiteral("\r\n"));
        const QStringList extended = text(DataColumns::Extended).split(QStringLiteral("\r\n"));
        const QString sep = tabs ? QStringLiteral("\t") : QStringLiteral(",");
        const QString headings = QStringLiteral("Median Response Time,5th Percentile Response Time,"
                                                "95th Percentile Response Time,Jitter,Polls,"
                                                "Replied Polls");
        QCOMPARE(extended[0], fixed[0] + sep + QString(headings).replace(u',', sep));
        QVERIFY(extended[1].startsWith(fixed[1] + sep));
        QCOMPARE(extended[1].mid(fixed[1].size()),
                 scanned ? QString(sep + ",,,,3,0").replace(QLatin1Char(','), sep)
                         : QString(6, sep[0]));
        QCOMPARE(extended[2], lastLine);

        // The table shows only the switched-on figures, once each.
        m.latency.band = true;
        m.latency.p95 = true;
        m.latency.jitter = true;
        const QStringList expected =
            QStringList{"Time", "", "", "", ""} +
            (scanned ? QStringList{"5th Percentile (ms)", "95th Percentile (ms)", "Jitter (ms)"}
                     : QStringList{});
        QCOMPARE(tableHeadings(m).size(), expected.size());
        QCOMPARE(tableHeadings(m).mid(5), expected.mid(5));
        if (scanned)
            QCOMPARE(tableShapeText(m, ShapeFigure::Jitter, 1, QLocale::c()),
                     QStringLiteral("1.5"));
    }

    void dialogSwitchesAFigureAndCancelPutsItBack() {
        ChartControl control;
        control.setModel(chart({10, 20, 30}));
        ChartCustomizeDialog dialog(control);
        dialog.findChild<QCheckBox*>(QStringLiteral("showMedian"))->setChecked(true);
        control.flush();
        QVERIFY(control.latencyLook().median);
        QCPGraph* median = control.plot()->graph(4);
        QVERIFY(median->visible());
        QCOMPARE(median->name(), QStringLiteral("Median Response Time"));
        QVERIFY(control.plot()->legend->hasItemWithPlottable(median));
        QCOMPARE(median->data()->at(2)->value, 22.5);
        dialog.reject();
        control.flush();
        QCOMPARE(control.latencyLook(), LatencyLook());
        QCOMPARE(control.plot()->graphCount(), 4);
    }
};

QTEST_MAIN(TestLatencySeries)
#include "test_latencyseries.moc"
