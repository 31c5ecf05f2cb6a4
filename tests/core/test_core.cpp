#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"

#include <QtTest>
#include <cmath>

using namespace tarnvue;

namespace {

// What a conversion gives, or the description of the error it throws.
template <typename Convert> QString outcome(Convert convert) {
    try {
        return QString::number(convert());
    } catch (const Error& e) {
        return e.description();
    }
}

} // namespace

// Whole numbers and date values.
class TestCore : public QObject {
    Q_OBJECT

private slots:
    // To 16 and 32 bits: nearest, a half to the even neighbour, else Overflow.
    void wholeNumbers_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("bits16");
        QTest::addColumn<QString>("bits32");
        const auto row = [](double value, const char* bits16, const char* bits32) {
            QTest::addRow("%.10g", value) << value << bits16 << bits32;
        };
        row(2.5, "2", "2");
        row(3.5, "4", "4");
        row(-2.5, "-2", "-2");
        row(2.5000001, "3", "3");
        row(3.4999999, "3", "3");
        row(32767.4, "32767", "32767");
        row(32767.5, "Overflow", "32768");
        row(-32768.5, "-32768", "-32768");
        row(-32769, "Overflow", "-32769");
        row(2147483647.5, "Overflow", "Overflow");
        row(-2147483648.5, "Overflow", "-2147483648");
        row(std::nan(""), "Overflow", "Overflow");
        row(HUGE_VAL, "Overflow", "Overflow");
    }
    void wholeNumbers() {
        QFETCH(double, value);
        QFETCH(QString, bits16);
        QFETCH(QString, bits32);
        QCOMPARE(outcome([&] { return toInt16(value); }), bits16);
        QCOMPARE(outcome([&] { return toInt32(value); }), bits32);
    }

    // Typed whole numbers (node identifiers): spaces around are trimmed, tabs are not.
    void parseWholeNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString mismatch = QStringLiteral("Type mismatch");
        for (const auto& [text, expected] :
             QList<std::pair<const char*, const char*>>{{"12", "12"},
                                                        {"  12 ", "12"},
                                                        {"-7", "-7"},
                                                        {"+7", "7"},
                                                        {"2147483647", "2147483647"},
                                                        {"2147483648", "Overflow"}})
            QTest::addRow("\"%s\"", text) << text << expected;
        for (const char* text : {"abc", "", "   ", "12.5", "12abc", "1 2", "-", "\t12"})
            QTest::addRow("\"%s\"", text) << text << mismatch;
    }
    void parseWholeNumber() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(outcome([&] { return parseInt32(text); }), expected);
    }

    // Days since 1899-12-30, the fraction the time of day, as the poller stores
    // them; as query text they read back exactly, whatever the user's locale.
    void dateValues_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("query");
        const auto row = [](const char* when, double value, const char* query) {
            const QStringList parts = QString::fromLatin1(when).split(QLatin1Char('T'));
            QTest::newRow(when) << QDate::fromString(parts[0], Qt::ISODate)
                                << QTime::fromString(parts[1], Qt::ISODate) << value << query;
        };
        row("1899-12-30T00:00", 0.0, "0");
        row("1899-12-30T08:00", 1.0 / 3.0, "0.3333333333333333");
        row("2007-05-01T06:00", 39203.25, "39203.25");
        row("2026-11-01T00:15", 46327.0 + 900.0 / 86400.0, "46327.010416666664");
        row("2026-11-02T23:59", 46328.0 + 86340.0 / 86400.0, "46328.99930555555");
        // Before day 0 the days count back, the time of day still forward.
        row("1899-12-29T06:00", -1.25, "-1.25");
        // Wall-clock values have no zone: a spring-forward night's 02:30 stays.
        row("2026-03-29T02:30", 46110.0 + 2.5 / 24.0, "46110.104166666664");
    }
    void dateValues() {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(double, value);
        QFETCH(QString, query);
        QCOMPARE(DateValue::fromDateTime(date, time), value);
        QCOMPARE(DateValue::dateOf(value), date);
        QCOMPARE(DateValue::timeOf(value), time);
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString text = DateValue::queryText(value);
        QLocale::setDefault(previous);
        QCOMPARE(text, query);
        QCOMPARE(text.toDouble(), value);
    }

    void dateValueEdges() {
        // A hair before midnight rounds to the next day's 00:00.
        QCOMPARE(DateValue::dateOf(46327.9999999999), QDate(2026, 11, 2));
        QCOMPARE(DateValue::timeOf(46327.9999999999), QTime(0, 0));
        // Bucket widths in whole minutes; a month of minutes is no width.
        QCOMPARE(int(DateValue::wholeMinutes(1439.0 / 1440.0)), 1439);
        QCOMPARE(int(DateValue::wholeMinutes(1.0)), 1440);
        QCOMPARE(int(DateValue::wholeMinutes(89.0 / 86400.0)), 1);
        QVERIFY_THROWS_EXCEPTION(Error, DateValue::wholeMinutes(30.0));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
