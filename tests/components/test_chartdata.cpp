#include "ChartBuilder.h"
#include "components/chart/ChartDataText.h"
#include "core/DateValue.h"

#include <QtTest>
#include <cfloat>
#include <cstdlib>
#include <random>

using namespace tarnvue;
using namespace Qt::StringLiterals;

namespace {

ChartModel labelled(const QStringList& labels, int points = 0) {
    ChartModel model;
    model.resize(int(labels.size()), points);
    for (int s = 0; s < labels.size(); ++s)
        model.series[std::size_t(s)].label = labels[s];
    return model;
}

} // namespace

class TestChartData : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // A spreadsheet must find the same columns as the chart has series.
    void headerLine_data() {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("tsv");
        QTest::newRow("no series") << QStringList() << u"Time"_s << u"Time"_s;
        QTest::newRow("comma quotes") << QStringList{"Min, ms", "Max"} << u"Time,\"Min, ms\",Max"_s
                                      << u"Time\tMin, ms\tMax"_s;
        QTest::newRow("quote doubled") << QStringList{"The \"best\""}
                                       << u"Time,\"The \"\"best\"\"\""_s << u"Time\tThe \"best\""_s;
        QTest::newRow("line breaks")
            << QStringList{"two\r\nlines", "cr\ronly"} << u"Time,\"two\r\nlines\",\"cr\ronly\""_s
            << u"Time\ttwo  lines\tcr only"_s;
        QTest::newRow("tab") << QStringList{"a\tb"} << u"Time,a\tb"_s << u"Time\ta b"_s;
        QTest::newRow("empty label") << QStringList{"", "x"} << u"Time,,x"_s << u"Time\t\tx"_s;
        QTest::newRow("unicode") << QStringList{"Zürich – 東京"} << u"Time,Zürich – 東京"_s
                                 << u"Time\tZürich – 東京"_s;
    }
    void headerLine() {
        QFETCH(QStringList, labels);
        QFETCH(QString, csv);
        QFETCH(QString, tsv);
        QCOMPARE(chartDataCsv(labelled(labels)), csv + "\r\n");
        QCOMPARE(chartDataTsv(labelled(labels)), tsv + "\r\n");
    }

    // A bucket's time is its start rounded to the minute.
    void pointTime_data() {
        QTest::addColumn<double>("first");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("point");
        QTest::addColumn<QString>("expected");
        const auto at = [](int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
            return DateValue::fromDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
        };
        QTest::newRow("first point") << at(2024, 3, 9, 8, 15) << 15 << 0 << u"2024-03-09 08:15"_s;
        QTest::newRow("midnight") << at(2024, 3, 9, 23, 30) << 15 << 2 << u"2024-03-10 00:00"_s;
        QTest::newRow("year end") << at(2023, 12, 31, 23, 0) << 60 << 1 << u"2024-01-01 00:00"_s;
        QTest::newRow("1439 min, 100 over a leap day")
            << at(2024, 1, 1, 0, 0) << 1439 << 100 << u"2024-04-09 22:20"_s;
        QTest::newRow("1 ms short of a minute rounds up")
            << at(2024, 5, 1, 9, 59, 59, 999) << 1 << 0 << u"2024-05-01 10:00"_s;
        QTest::newRow("29 s round down")
            << at(2024, 5, 1, 9, 59, 29) << 1 << 0 << u"2024-05-01 09:59"_s;
        QTest::newRow("23:59:30 is the next day")
            << at(2024, 2, 29, 23, 59, 30) << 1 << 0 << u"2024-03-01 00:00"_s;
        QTest::newRow("before 1899-12-30") << -1.25 << 1 << 0 << u"1899-12-29 06:00"_s;
    }
    void pointTime() {
        QFETCH(double, first);
        QFETCH(int, minutes);
        QFETCH(int, point);
        QFETCH(QString, expected);
        ChartModel model = test::chartOf({QList<float>(point + 1, 12.5f)}, minutes, first);
        const QStringList lines = chartDataCsv(model).split("\r\n"_L1);
        QCOMPARE(lines.size(), point + 3); // header, points, nothing after the last CR LF
        QCOMPARE(lines[point + 1], expected + ",12.5");
    }

    // Missing buckets are empty fields; values next to the marker are values;
    // the user's language changes neither digits, separators nor dates.
    void wholeTextIsExact_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("German") << QLocale(QLocale::German);
        QTest::newRow("Arabic digits") << QLocale(QLocale::Arabic, QLocale::Egypt);
    }
    void wholeTextIsExact() {
        QFETCH(QLocale, locale);
        ChartModel model =
            test::chartOf({{1.5f, -1.0f, 0.1f}, {-1.0000001f, 1234567.0f, -1.0f}}, 30,
                          DateValue::fromDateTime(QDate(2024, 12, 31), QTime(23, 0)));
        model.series[0].label = u"Min, ms"_s;
        QLocale::setDefault(locale);
        QCOMPARE(chartDataCsv(model), QStringLiteral("Time,\"Min, ms\",Maximum\r\n"
                                                     "2024-12-31 23:00,1.5,-1.0000001\r\n"
                                                     "2024-12-31 23:30,,1234567\r\n"
                                                     "2025-01-01 00:00,0.1,\r\n"));
        QCOMPARE(chartDataTsv(model), QStringLiteral("Time\tMin, ms\tMaximum\r\n"
                                                     "2024-12-31 23:00\t1.5\t-1.0000001\r\n"
                                                     "2024-12-31 23:30\t\t1234567\r\n"
                                                     "2025-01-01 00:00\t0.1\t\r\n"));
    }

    // Fixed notation with the fewest digits that read back exactly; an empty
    // expectation only asks for the read-back.
    void shortestFloatText_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.1") << 0.1f << u"0.1"_s;
        QTest::newRow("40") << 40.0f << u"40"_s;
        QTest::newRow("a third") << 1.0f / 3.0f << u"0.33333334"_s;
        QTest::newRow("negative zero") << -0.0f << u"-0"_s;
        QTest::newRow("a millionth") << 1e-6f << u"0.000001"_s;
        QTest::newRow("ten billion") << 1e10f << u"10000000000"_s;
        QTest::newRow("largest 24-bit") << 16777215.0f << u"16777215"_s;
        QTest::newRow("largest float") << FLT_MAX << u""_s;
        QTest::newRow("most negative float") << -FLT_MAX << u""_s;
        QTest::newRow("smallest normal") << FLT_MIN << u""_s;
        QTest::newRow("smallest subnormal") << 1e-45f << u""_s;
    }
    void shortestFloatText() {
        QFETCH(float, value);
        QFETCH(QString, expected);
        const QString text = tarnvue::shortestFloatText(value);
        if (!expected.isEmpty())
            QCOMPARE(text, expected);
        QVERIFY(!text.contains(u'e') && text.size() < 50);
        QCOMPARE(std::strtof(text.toLatin1().constData(), nullptr), value);
    }

    // Random values of every range the program writes read back exactly,
    // from fixed notation (the fewest digits are the table's to check).
    void shortestFloatTextReadsBackExactly() {
        std::mt19937 random(7);
        const std::pair<float, float> ranges[] = {
            {0.001f, 65535.0f}, {0.0f, 100.0f}, {1e-12f, 1e-6f}};
        for (const auto& [low, high] : ranges) {
            std::uniform_real_distribution<float> distribution(low, high);
            for (int i = 0; i < 2000; ++i) {
                const float value = distribution(random);
                const QString text = tarnvue::shortestFloatText(value);
                const QByteArray message =
                    QByteArray::number(value, 'g', 9) + " gave " + text.toLatin1();
                QVERIFY2(!text.contains(u'e'), message);
                QVERIFY2(std::strtof(text.toLatin1().constData(), nullptr) == value, message);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestChartData)
#include "test_chartdata.moc"
