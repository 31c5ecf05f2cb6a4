#include "ChartBuilder.h"
#include "TestEnvironment.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartDataText.h"
#include "components/chart/ChartFile.h"
#include "components/chart/ChartPlotter.h"
#include "components/chart/PngImage.h"
#include "core/Clock.h"
#include "core/DateValue.h"
#include "core/Error.h"

#include <QApplication>
#include <QTableWidget>
#include <QtTest>
#include <qcustomplot.h>

using namespace tarnvue;
using namespace Qt::StringLiterals;

namespace {

const double Day = 46327.0;

void fill(ChartControl& c, int points) {
    c.setModel(test::chartOf(test::sampleValues(points), 15, Day));
}

void wheel(QCustomPlot* plot, QPoint at, int delta) {
    QWheelEvent event(at, plot->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &event);
}

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

class TestChartControl : public QObject {
    Q_OBJECT

private slots:
    void zoomByDraggingOverWholePointsAndDoubleClick() {
        ChartControl c;
        c.resize(800, 500);
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        fill(c, 40);
        QCoreApplication::processEvents();
        QCustomPlot* plot = c.plot();
        QSignalSpy zoomed(&c, &ChartControl::zoomChanged);
        const int y = plot->axisRect()->center().y();
        const int from = int(plot->xAxis->coordToPixel(9.8));
        const int to = int(plot->xAxis->coordToPixel(20.3));
        QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(from, y));
        QTest::mouseMove(plot, QPoint(to, y));
        QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(to, y));
        QCOMPARE(zoomed.count(), 1);
        // Points 10 to 20 (0-based) are inside the dragged run.
        QCOMPARE(c.firstVisiblePoint(), 11);
        QCOMPARE(c.visiblePointCount(), 11);
        QCOMPARE(plot->xAxis->range(), QCPRange(9.5, 20.5));

        // A click without a drag does not zoom; a double click asks for the
        // customise dialog instead.
        const QPoint at(int(plot->xAxis->coordToPixel(15)), y);
        QSignalSpy asked(&c, &ChartControl::customizeRequested);
        QTest::mouseClick(plot, Qt::LeftButton, {}, at);
        QTest::mouseDClick(plot, Qt::LeftButton, {}, at);
        QCOMPARE(c.visiblePointCount(), 11);
        QCOMPARE(asked.count(), 1);

        // The wheel zooms out around the mouse, never past the data.
        for (int i = 0; i < 20; ++i)
            wheel(plot, at, -120);
        QCOMPARE(c.visiblePointCount(), 40);
        QCOMPARE(c.firstVisiblePoint(), 1);
        QCOMPARE(chartFileProblem(c.model()), QString());
    }

    // Buckets still to come were listed as empty rows, like outages.
    void tableShowsTheBucketsSoFar() {
        setClock(std::make_shared<FixedClock>(DateValue::toDateTime(Day + 50.0 / 1440)));
        ChartControl c;
        fill(c, 6);
        c.setValue(0, 0, 9.0f);
        c.setSeriesTableColumn(0, u"Minimum (ms)"_s, 0);
        QVERIFY(c.table()->isHidden());
        c.setTableMode(TableGraphWithTable);
        QVERIFY(!c.table()->isHidden());
        QCOMPARE(c.table()->rowCount(), 4);
        QCOMPARE(c.table()->columnCount(), 5);
        QCOMPARE(c.table()->horizontalHeaderItem(1)->text(), u"Minimum (ms)"_s);
        QVERIFY(c.table()->item(1, 0)->text().contains(u"00:15"_s));
        QCOMPARE(c.table()->item(1, 3)->text(), QLocale().toString(31.0, 'f', 1));
        // A click on a heading sorts by the numbers, gaps last.
        c.table()->sortByColumn(1, Qt::DescendingOrder);
        QStringList column;
        for (int row = 0; row < 4; ++row)
            column << c.table()->item(row, 1)->text();
        QCOMPARE(column, (QStringList{"12", "11", "9", ""}));
        // The data export keeps a line per bucket.
        QCOMPARE(chartDataCsv(c.model()).count(u"\r\n"_s), 7);
        // A reset for the next chart keeps the user's table and font.
        c.setFontSize(FontLarge);
        c.reset();
        QVERIFY(!c.table()->isHidden() && c.fontSize() == FontLarge && c.pointCount() == 0);
        QVERIFY_THROWS_EXCEPTION(Error, c.setTableMode(1));
        c.setTableMode(TableGraphOnly);
        QVERIFY(c.table()->isHidden());
        setClock(nullptr);
    }

    // The time axis took a fixed number of ticks whatever the width, showed
    // 2-digit years and left the date out of charts of a day.
    void timeAxisLabels_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("first");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("labels"); // the count, the first two and the last
        const double day = DateValue::fromDateTime(QDate(2026, 11, 30));
        const double year = DateValue::fromDateTime(QDate(2025, 12, 6));
        const QString dayEnds = u"|00:00\n30 Nov 2026|%1|00:00\n1 Dec 2026"_s;
        QTest::newRow("day, 600 px") << 15 << 96 << day << 600 << "7" + dayEnds.arg("04:00");
        QTest::newRow("day, 1600 px") << 15 << 96 << day << 1600 << "13" + dayEnds.arg("02:00");
        QTest::newRow("year, 600 px") << 1440 << 367 << year << 600 << u"6|Jan 2026|Mar|Nov"_s;
    }
    void timeAxisLabels() {
        QFETCH(int, minutes);
        QFETCH(int, points);
        QFETCH(double, first);
        QFETCH(int, width);
        QFETCH(QString, labels);
        ChartControl c;
        c.plot()->setLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
        c.setModel(test::chartOf(test::sampleValues(points), minutes, first));
        // The labels as a plot of that width lays them out.
        QVERIFY(!c.toImage(width, 400).isNull());
        c.plot()->setViewport(QRect(0, 0, width, 400));
        c.plot()->replot();
        const QVector<QString> shown = c.plot()->xAxis->tickVectorLabels();
        QCOMPARE(QStringList({QString::number(shown.size()), shown[0], shown[1], shown.last()}),
                 labels.split(u'|'));
    }

    // A picture's wide lines are stroked in bands of rows on several threads
    // and its PNG bytes compressed in stripes: the pixels are those of one
    // thread, and the PNG reads back as the picture it was made from.
    void picturesDoNotDependOnTheThreads_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("line");
        QTest::newRow("jagged, wide") << 400 << 2.5 << int(LineType::Solid);
        QTest::newRow("dashed") << 150 << 1.5 << int(LineType::DashDot);
        QTest::newRow("dense, thin") << 3000 << 1.5 << int(LineType::Solid);
    }
    void picturesDoNotDependOnTheThreads() {
        QFETCH(int, points);
        QFETCH(double, width);
        QFETCH(int, line);
        test::ChartValues values(4);
        for (int s = 0; s < 4; ++s) {
            for (int p = 0; p < points; ++p)
                values[s].append(float((p * 37 + s * 11) % 90 + (p % 7 == 0 ? 40 : 0)));
        }
        ChartModel model = test::chartOf(values);
        for (SeriesStyle& series : model.series) {
            series.lineWidth = width;
            series.lineType = LineType(line);
        }
        // The pictures say when they were made: both in the same minute.
        const test::ClockScope clock(QDateTime(QDate(2026, 11, 2), QTime(14, 37)));
        ChartControl c;
        c.setModel(model);
        const int threads = pictureThreads();
        setPictureThreads(1);
        const QImage one = c.toImage(1300, 700);
        setPictureThreads(4);
        const QImage four = c.toImage(1300, 700);
        setPictureThreads(threads);
        QVERIFY(!one.isNull() && one == four);
    }

    void pngBytesReadBackExactly_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<int>("threads");
        QTest::newRow("wide, four stripes") << QSize(1000, 650) << false << 4;
        QTest::newRow("with alpha") << QSize(600, 400) << true << 3;
        QTest::newRow("more threads than rows") << QSize(3000, 3) << true << 8;
    }
    void pngBytesReadBackExactly() {
        QFETCH(QSize, size);
        QFETCH(bool, alpha);
        QFETCH(int, threads);
        QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        // Smooth runs, edges and noise, so that every row filter is chosen.
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const int noise = (x * 7919 + y * 104729) % 251;
                image.setPixel(x, y,
                               qRgba(x % 256, (y * 3) % 256, x > y ? noise : 200,
                                     alpha ? (x + y) % 256 : 255));
            }
        }
        const QImage back = QImage::fromData(pngBytes(image, threads), "PNG");
        QCOMPARE(back.convertToFormat(image.format()), image);
        QVERIFY(pngBytes(QImage(), threads).isEmpty());
    }

    // The response time spread ------------------------------------------------

    void clippedScale_data() {
        QTest::addColumn<float>("spike"); // bucket 100's maximum; 0: none
        QTest::addColumn<double>("clippedTop");
        QTest::addColumn<double>("plainTop");

        QTest::newRow("one huge spike") << 2000.0f << 25.0 << 2500.0;
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
        if (spike > 0) // the table gives the clipped spike's true value
            QCOMPARE(control.table()->item(100, 2)->text(), QStringLiteral("2000.0"));
    }

    // The data export adds the spread figures as columns, empty for a chart
    // without them; the table shows only the figures switched on.
    void figuresInTheTableAndTheData() {
        ChartModel m = chart({10, 40});
        m.shapes[0] = {-1, -1, -1, -1, 3, 0}; // only lost polls
        const QStringList lines = chartDataCsv(m, DataColumns::Extended).split(u"\r\n"_s);
        QCOMPARE(lines[0], u"Time,Minimum,Maximum,Average,% Loss,Median Response Time,5th "
                           "Percentile Response Time,95th Percentile Response Time,Jitter,Polls,"
                           "Replied Polls"_s);
        QCOMPARE(lines[1], u"2025-12-09 00:00,5,10,7.5,0,,,,,3,0"_s);
        QCOMPARE(lines[2], u"2025-12-09 01:00,20,40,30,0,30,20,40,1.5,60,59"_s);
        m.latency.band = m.latency.p95 = m.latency.jitter = true;
        const QStringList figures{"5th Percentile (ms)", "95th Percentile (ms)", "Jitter (ms)"};
        QCOMPARE(tableHeadings(m).mid(5), figures);
        QCOMPARE(tableShapeText(m, ShapeFigure::Jitter, 1, QLocale::c()), u"1.5"_s);
        m.shapes.clear();
        QCOMPARE(tableHeadings(m).size(), 5);
        QVERIFY(chartDataCsv(m, DataColumns::Extended).endsWith(u"01:00,20,40,30,0,,,,,,\r\n"_s));
    }
};

QTEST_MAIN(TestChartControl)
#include "test_chartcontrol.moc"
