#include "components/chart/ChartDataText.h"
#include "core/DateValue.h"

#include <QtTest>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <random>

using namespace tarnvue;

namespace {

const QStringList UsualLabels = {
    QStringLiteral("Minimum Response Time"), QStringLiteral("Maximum Response Time"),
    QStringLiteral("Average Response Time"), QStringLiteral("% Packet Loss")};

ChartModel modelWithLabels(const QStringList& labels, int pointCount = 0) {
    ChartModel model;
    model.resize(int(labels.size()), pointCount);
    for (int s = 0; s < labels.size(); ++s)
        model.series[std::size_t(s)].label = labels[s];
    return model;
}

// The significant digits of a decimal text: no sign, point, leading or
// trailing zeros ("0.0120" has two, "4000" one).
qsizetype significantDigits(QString text) {
    text.remove(QLatin1Char('-'));
    text.remove(QLatin1Char('.'));
    while (text.startsWith(QLatin1Char('0')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text.size();
}

// The fewest significant digits that read back to the value, found the slow
// way with the C library.
int fewestDigits(float value) {
    for (int precision = 1; precision <= 9; ++precision) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, double(value));
        if (std::strtof(buffer, nullptr) == value)
            return precision;
    }
    return 9;
}

} // namespace

class TestChartData : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void headerLine_data() {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("tsv");
        QTest::newRow("the usual four series")
            << UsualLabels
            << "Time,Minimum Response Time,Maximum Response Time,Average Response Time,% Packet "
               "Loss"
            << "Time\tMinimum Response Time\tMaximum Response Time\tAverage Response Time\t% "
               "Packet Loss";
        QTest::newRow("no series") << QStringList() << "Time"
                                   << "Time";
        QTest::newRow("a comma quotes the label")
            << QStringList{QStringLiteral("Min, ms"), QStringLiteral("Max")}
            << "Time,\"Min, ms\",Max"
            << "Time\tMin, ms\tMax";
        QTest::newRow("a quote is doubled inside quotes")
            << QStringList{QStringLiteral("The \"best\" one")} << "Time,\"The \"\"best\"\" one\""
            << "Time\tThe \"best\" one";
        QTest::newRow("line breaks quote the label in CSV and become spaces in TSV")
            << QStringList{QStringLiteral("two\r\nlines"), QStringLiteral("cr\ronly")}
            << "Time,\"two\r\nlines\",\"cr\ronly\""
            << "Time\ttwo  lines\tcr only";
        QTest::newRow("a tab needs no quotes in CSV and becomes a space in TSV")
            << QStringList{QStringLiteral("a\tb")} << "Time,a\tb"
            << "Time\ta b";
        QTest::newRow("an empty label stays an empty field")
            << QStringList{QString(), QStringLiteral("x")} << "Time,,x"
            << "Time\t\tx";
        QTest::newRow("unicode passes unchanged")
            << QStringList{QStringLiteral("Zürich – 東京")} << "Time,Zürich – 東京"
            << "Time\tZürich – 東京";
    }
    void headerLine() {
        QFETCH(QStringList, labels);
        QFETCH(QString, csv);
        QFETCH(QString, tsv);
        const ChartModel model = modelWithLabels(labels);
        QCOMPARE(chartDataCsv(model), csv + "\r\n");
        QCOMPARE(chartDataTsv(model), tsv + "\r\n");
    }

    void pointTime_data() {
        QTest::addColumn<double>("firstPointTime");
        QTest::addColumn<int>("minutesPerPoint");
        QTest::addColumn<int>("point");
        QTest::addColumn<QString>("expected");
        const auto at = [](int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
            return DateValue::fromDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
        };
        QTest::newRow("first point") << at(2024, 3, 9, 8, 15) << 15 << 0 << "2024-03-09 08:15";
        QTest::newRow("quarter-hour buckets cross midnight")
            << at(2024, 3, 9, 23, 30) << 15 << 2 << "2024-03-10 00:00";
        QTest::newRow("the bucket after midnight")
            << at(2024, 3, 9, 23, 30) << 15 << 3 << "2024-03-10 00:15";
        QTest::newRow("year end") << at(2023, 12, 31, 23, 0) << 60 << 1 << "2024-01-01 00:00";
        QTest::newRow("1439-minute buckets, first step")
            << at(2024, 1, 1, 0, 0) << 1439 << 1 << "2024-01-01 23:59";
        QTest::newRow("1439-minute buckets, second step")
            << at(2024, 1, 1, 0, 0) << 1439 << 2 << "2024-01-02 23:58";
        QTest::newRow("1439-minute buckets, hundredth step over a leap day")
            << at(2024, 1, 1, 0, 0) << 1439 << 100 << "2024-04-09 22:20";
        QTest::newRow("one millisecond short of a minute rounds up")
            << at(2024, 5, 1, 9, 59, 59, 999) << 1 << 0 << "2024-05-01 10:00";
        QTest::newRow("29 seconds round down")
            << at(2024, 5, 1, 9, 59, 29) << 1 << 0 << "2024-05-01 09:59";
        QTest::newRow("half a minute before midnight moves to the next day")
            << at(2024, 2, 29, 23, 59, 30) << 1 << 0 << "2024-03-01 00:00";
        QTest::newRow("day values before 1899-12-30 keep a forward time of day")
            << -1.25 << 1 << 0 << "1899-12-29 06:00";
    }
    void pointTime() {
        QFETCH(double, firstPointTime);
        QFETCH(int, minutesPerPoint);
        QFETCH(int, point);
        QFETCH(QString, expected);
        ChartModel model = modelWithLabels({QStringLiteral("v")}, point + 1);
        model.firstPointTime = firstPointTime;
        model.minutesPerPoint = minutesPerPoint;
        model.setValue(0, point, 12.5f);
        const QStringList lines = chartDataCsv(model).split(QLatin1String("\r\n"));
        QCOMPARE(lines.size(),
                 point + 3); // header, points, and the empty rest after the last CR LF
        QCOMPARE(lines[point + 1], expected + ",12.5");
        QCOMPARE(lines.last(), QString());
    }

    void dataLines_data() {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<QString>("line");
        QTest::newRow("all four present")
            << QList<float>{12.5f, 40.0f, 20.25f, 0.0f} << "2024-03-09 08:00,12.5,40,20.25,0";
        QTest::newRow("missing values are empty fields")
            << QList<float>{-1.0f, 40.0f, -1.0f, -1.0f} << "2024-03-09 08:00,,40,,";
        QTest::newRow("all missing")
            << QList<float>{-1.0f, -1.0f, -1.0f, -1.0f} << "2024-03-09 08:00,,,,";
        QTest::newRow("close to the marker is a value")
            << QList<float>{-1.0000001f, -0.99999994f, 100.0f, 1.0f / 3.0f}
            << "2024-03-09 08:00,-1.0000001,-0.99999994,100,0.33333334";
    }
    void dataLines() {
        QFETCH(QList<float>, values);
        QFETCH(QString, line);
        ChartModel model = modelWithLabels(UsualLabels, 1);
        model.firstPointTime = DateValue::fromDateTime(QDate(2024, 3, 9), QTime(8, 0));
        for (int s = 0; s < 4; ++s)
            model.setValue(s, 0, values[s]);
        const QString csv = chartDataCsv(model);
        QCOMPARE(csv.section(QLatin1String("\r\n"), 1, 1), line);
        QString tsvLine = line;
        tsvLine.replace(QLatin1Char(','), QLatin1Char('\t'));
        QCOMPARE(chartDataTsv(model).section(QLatin1String("\r\n"), 1, 1), tsvLine);
    }

    void wholeTextIsExact() {
        ChartModel model = modelWithLabels({QStringLiteral("Min, ms"), QStringLiteral("Loss")}, 3);
        model.firstPointTime = DateValue::fromDateTime(QDate(2024, 12, 31), QTime(23, 0));
        model.minutesPerPoint = 30;
        const float values[2][3] = {{1.5f, -1.0f, 0.1f}, {0.0f, 100.0f, -1.0f}};
        for (int s = 0; s < 2; ++s) {
            for (int p = 0; p < 3; ++p)
                model.setValue(s, p, values[s][p]);
        }
        QCOMPARE(chartDataCsv(model), QStringLiteral("Time,\"Min, ms\",Loss\r\n"
                                                     "2024-12-31 23:00,1.5,0\r\n"
                                                     "2024-12-31 23:30,,100\r\n"
                                                     "2025-01-01 00:00,0.1,\r\n"));
        QCOMPARE(chartDataTsv(model), QStringLiteral("Time\tMin, ms\tLoss\r\n"
                                                     "2024-12-31 23:00\t1.5\t0\r\n"
                                                     "2024-12-31 23:30\t\t100\r\n"
                                                     "2025-01-01 00:00\t0.1\t\r\n"));
    }

    void localeDoesNotChangeTheText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("German (decimal comma, point grouping)") << QLocale(QLocale::German);
        QTest::newRow("French (comma, space grouping)") << QLocale(QLocale::French);
        QTest::newRow("Arabic (own digits)") << QLocale(QLocale::Arabic, QLocale::Egypt);
    }
    void localeDoesNotChangeTheText() {
        QFETCH(QLocale, locale);
        ChartModel model = modelWithLabels({QStringLiteral("a"), QStringLiteral("b")}, 1);
        model.firstPointTime = DateValue::fromDateTime(QDate(2024, 3, 9), QTime(8, 5));
        model.setValue(0, 0, 65535.5f);
        model.setValue(1, 0, 1234567.0f);
        const QString expected = QStringLiteral("Time,a,b\r\n2024-03-09 08:05,65535.5,1234567\r\n");
        QLocale::setDefault(locale);
        QCOMPARE(chartDataCsv(model), expected);
        QCOMPARE(tarnvue::shortestFloatText(0.1f), QStringLiteral("0.1"));
    }

    void shortestFloatText_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.1") << 0.1f << "0.1";
        QTest::newRow("40 has no point") << 40.0f << "40";
        QTest::newRow("12.5") << 12.5f << "12.5";
        QTest::newRow("a third needs eight digits") << 1.0f / 3.0f << "0.33333334";
        QTest::newRow("100 has no exponent") << 100.0f << "100";
        QTest::newRow("65535.5") << 65535.5f << "65535.5";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("negative zero keeps its sign") << -0.0f << "-0";
        QTest::newRow("negative") << -12.5f << "-12.5";
        QTest::newRow("a thousandth has no exponent") << 1e-3f << "0.001";
        QTest::newRow("a ten-thousandth has no exponent") << 1e-4f << "0.0001";
        QTest::newRow("a millionth has no exponent") << 1e-6f << "0.000001";
        QTest::newRow("a million") << 1e6f << "1000000";
        QTest::newRow("ten billion has no exponent") << 1e10f << "10000000000";
        QTest::newRow("the largest 24-bit integer") << 16777215.0f << "16777215";
    }
    void shortestFloatText() {
        QFETCH(float, value);
        QFETCH(QString, expected);
        QCOMPARE(tarnvue::shortestFloatText(value), expected);
    }

    void shortestFloatTextReadsBackExactly_data() {
        QTest::addColumn<float>("low");
        QTest::addColumn<float>("high");
        QTest::newRow("response times") << 0.001f << 65535.0f;
        QTest::newRow("percentages") << 0.0f << 100.0f;
        QTest::newRow("tiny") << 1e-12f << 1e-6f;
    }
    void shortestFloatTextReadsBackExactly() {
        QFETCH(float, low);
        QFETCH(float, high);
        std::mt19937 random(7);
        std::uniform_real_distribution<float> distribution(low, high);
        for (int i = 0; i < 2000; ++i) {
            const float value = distribution(random);
            const QString text = tarnvue::shortestFloatText(value);
            const QByteArray latin = text.toLatin1();
            const std::string message =
                "value " + std::to_string(value) + " gave " + latin.toStdString();
            QVERIFY2(!text.contains(QLatin1Char('e')), message.c_str());
            QVERIFY2(std::strtof(latin.constData(), nullptr) == value, message.c_str());
            // Fixed notation below a million needs no more digits than the
            // shortest scientific form.
            QVERIFY2(significantDigits(text) == fewestDigits(value), message.c_str());
        }
    }

    void extremeFloatsReadBackWithoutExponent_data() {
        QTest::addColumn<float>("value");
        QTest::newRow("largest float") << FLT_MAX;
        QTest::newRow("most negative float") << -FLT_MAX;
        QTest::newRow("smallest normal float") << FLT_MIN;
        QTest::newRow("smallest subnormal float") << 1e-45f;
        QTest::newRow("1e30") << 1e30f;
    }
    void extremeFloatsReadBackWithoutExponent() {
        QFETCH(float, value);
        const QString text = tarnvue::shortestFloatText(value);
        QVERIFY(!text.contains(QLatin1Char('e')));
        QVERIFY(text.size() < 50);
        QCOMPARE(std::strtof(text.toLatin1().constData(), nullptr), value);
    }
};

QTEST_APPLESS_MAIN(TestChartData)
#include "test_chartdata.moc"
