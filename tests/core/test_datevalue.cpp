#include "core/DateValue.h"
#include "core/Error.h"

#include <QLocale>
#include <QtTest>

using namespace tarnvue;

class TestDateValue : public QObject {
    Q_OBJECT

private slots:
    void dayCounts() {
        QCOMPARE(DateValue::fromDateTime(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(DateValue::fromDateTime(QDate(2007, 5, 1), QTime(12, 0)), 39203.5);
        QCOMPARE(DateValue::fromDateTime(QDate(2007, 5, 1), QTime(6, 0)), 39203.25);
        QCOMPARE(DateValue::fromDateTime(QDate(2026, 11, 1)), 46327.0);
        // As the poller stores it: day + seconds / 86400.
        QCOMPARE(DateValue::fromDateTime(QDate(2026, 11, 2), QTime(23, 59)),
                 46328.0 + 86340.0 / 86400.0);
        QCOMPARE(DateValue::fromDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25);
        QCOMPARE(DateValue::fromMinutes(15), 15.0 / 1440.0);
    }

    void backToDateAndTime() {
        const double value = DateValue::fromDateTime(QDate(2026, 3, 29), QTime(2, 30));
        QCOMPARE(DateValue::dateOf(value), QDate(2026, 3, 29));
        // 02:30 on a spring-forward night in many zones: wall-clock values
        // have no zone, so the time comes back unchanged.
        QCOMPARE(DateValue::timeOf(value), QTime(2, 30));
        QCOMPARE(DateValue::dateOf(-1.25), QDate(1899, 12, 29));
        QCOMPARE(DateValue::timeOf(-1.25), QTime(6, 0));
        // A hair before midnight rounds to the next day's 00:00.
        QCOMPARE(DateValue::dateOf(46327.9999999999), QDate(2026, 11, 2));
        QCOMPARE(DateValue::timeOf(46327.9999999999), QTime(0, 0));
        QCOMPARE(DateValue::timeOf(46328.999305555553), QTime(23, 59));
    }

    void wholeMinutesOfWidths() {
        QCOMPARE(int(DateValue::wholeMinutes(1439.0 / 1440.0)), 1439);
        QCOMPARE(int(DateValue::wholeMinutes(15.0 / 1440.0)), 15);
        QCOMPARE(int(DateValue::wholeMinutes(1.0)), 1440);
        QCOMPARE(int(DateValue::wholeMinutes(1.0 / 1440.0)), 1);
        QCOMPARE(int(DateValue::wholeMinutes(89.0 / 86400.0)), 1);
        QVERIFY_THROWS_EXCEPTION(Error, DateValue::wholeMinutes(30.0));
    }

    void queryText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("06:00 on day 46000") << 46000.25 << "46000.25";
        QTest::newRow("midnight has no fraction") << 46327.0 << "46327";
        QTest::newRow("exact, not cut to 15 digits") << 46328.999305555553 << "46328.99930555555";
        QTest::newRow("a third of a day") << 1.0 / 3.0 << "0.3333333333333333";
        QTest::newRow("negative") << -1.25 << "-1.25";
    }
    void queryTextReadsBackExactly() {
        // A quarter past midnight is not a short binary fraction: its text
        // must still compare equal to the poll stored at that time.
        const double quarterPast = DateValue::fromDateTime(QDate(2026, 11, 1), QTime(0, 15));
        QCOMPARE(DateValue::queryText(quarterPast).toDouble(), quarterPast);
    }

    void queryText() {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(DateValue::queryText(value), expected);
        // The user's decimal comma never reaches the query.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(DateValue::queryText(value), expected);
        QLocale::setDefault(previous);
    }
};

QTEST_APPLESS_MAIN(TestDateValue)
#include "test_datevalue.moc"
