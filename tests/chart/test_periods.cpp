#include "chart/CustomSpan.h"
#include "chart/Periods.h"
#include "chart/SampleSizes.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"

#include <QtTest>

using namespace tarnvue;

namespace {

double at(int y, int m, int d, int h = 0, int min = 0) {
    return DateValue::fromDateTime(QDate(y, m, d), QTime(h, min));
}

int buckets(const PeriodSpan& span) {
    return toInt16((span.end - span.begin) / span.size);
}

} // namespace

class TestPeriods : public QObject {
    Q_OBJECT

private slots:
    // Runs first: nothing is known before the ladder is loaded.
    void ladderIsEmptyUntilLoaded() {
        QCOMPARE(SampleSizeCount(), 0);
        QCOMPARE(int(FindSampleSize(15)), 0);
    }

    void ladder() {
        LoadSampleSizes();
        QCOMPARE(SampleSizeCount(), 9);
        QCOMPARE(SampleSizes(1).Name, QStringLiteral("Every Minute"));
        QCOMPARE(int(SampleSizes(1).Minutes), 1);
        QCOMPARE(SampleSizes(6).Name, QStringLiteral("Every Hour"));
        QCOMPARE(SampleSizes(9).Name, QStringLiteral("One a Day"));
        QCOMPARE(int(SampleSizes(9).Minutes), 1440);
        QVERIFY_THROWS_EXCEPTION(Error, SampleSizes(0));
        QVERIFY_THROWS_EXCEPTION(Error, SampleSizes(10));

        // A day is a calendar day; the one-minute-short day of older charts
        // still finds the day rung.
        QCOMPARE(int(FindSampleSize(1440)), 9);
        QCOMPARE(int(FindSampleSize(1439)), 9);
        QCOMPARE(int(FindSampleSize(45)), 0);
        QCOMPARE(int(FindSampleSize(1)), 1);
        QCOMPARE(int(FindSampleSize(360)), 7);
        // The named periods' widths are all on the ladder.
        const QDateTime now(QDate(2026, 12, 6), QTime(10, 0));
        for (int p = TodayPeriod; p <= ThisYearPeriod; ++p)
            QVERIFY(FindSampleSize(DateValue::wholeMinutes(periodSpan(p, now)->size)) > 0);
    }

    void periodTable() {
        QStringList keys;
        QStringList captions;
        for (const PeriodInfo& p : tarnvue::periodTable()) {
            keys << p.key;
            captions << p.tabCaption;
        }
        QCOMPARE(keys, (QStringList{"Today", "ThisWeek", "ThisMonth", "Last30Days", "Last3Months",
                                    "Last12Months", "ThisYear", "Custom"}));
        QCOMPARE(captions,
                 (QStringList{"Today", "This Week", "This Month", "Last 30 days", "Last 3 months",
                              "Last 12 months", "This Year", "Custom Period"}));
        QCOMPARE(periodForKey(QStringLiteral("Last30Days")), 4);
        QCOMPARE(periodForKey(QStringLiteral("last30days")), 0);
        QCOMPARE(periodCaption(8), QStringLiteral("Custom Period"));
        QCOMPARE(periodCaption(9), QString());
    }

    void spans_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("period");
        QTest::addColumn<double>("begin");
        QTest::addColumn<double>("end");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("buckets");

        const QDateTime early(QDate(2026, 12, 6), QTime(0, 5));
        const QDateTime late(QDate(2026, 12, 6), QTime(23, 30));
        const QDateTime afternoon(QDate(2026, 12, 6), QTime(14, 37));
        const QDateTime may31(QDate(2026, 5, 31), QTime(9, 0));
        const QDateTime may31Leap(QDate(2024, 5, 31), QTime(9, 0));
        const QDateTime newYear(QDate(2027, 1, 1), QTime(8, 15));
        const QDateTime march31(QDate(2026, 3, 31), QTime(12, 0));

        QTest::newRow("today at 00:05: four quarter hours")
            << early << 1 << at(2026, 12, 6) << at(2026, 12, 6, 1) << 15 << 4;
        QTest::newRow("today at 23:30 ends tomorrow")
            << late << 1 << at(2026, 12, 6) << at(2026, 12, 7) << 15 << 96;
        QTest::newRow("today at 14:37 ends at 15:00")
            << afternoon << 1 << at(2026, 12, 6) << at(2026, 12, 6, 15) << 15 << 60;
        QTest::newRow("this week is eight calendar days")
            << afternoon << 2 << at(2026, 11, 29) << at(2026, 12, 7) << 60 << 192;
        QTest::newRow("this month from day 1")
            << afternoon << 3 << at(2026, 12, 1) << at(2026, 12, 7) << 360 << 24;
        QTest::newRow("last 30 days")
            << afternoon << 4 << at(2026, 11, 6) << at(2026, 12, 7) << 360 << 124;
        QTest::newRow("last 3 months from 31 May")
            << may31 << 5 << at(2026, 2, 28) << at(2026, 6, 1) << 1440 << 93;
        QTest::newRow("last 3 months from 31 May in a leap year")
            << may31Leap << 5 << at(2024, 2, 29) << at(2024, 6, 1) << 1440 << 93;
        QTest::newRow("last 3 months across the year")
            << newYear << 5 << at(2026, 10, 1) << at(2027, 1, 2) << 1440 << 93;
        QTest::newRow("last 12 months")
            << afternoon << 6 << at(2025, 12, 6) << at(2026, 12, 7) << 1440 << 366;
        QTest::newRow("last 12 months from 31 March")
            << march31 << 6 << at(2025, 3, 31) << at(2026, 4, 1) << 1440 << 366;
        QTest::newRow("this year")
            << afternoon << 7 << at(2026, 1, 1) << at(2026, 12, 7) << 1440 << 340;
        QTest::newRow("this year on 1 January")
            << newYear << 7 << at(2027, 1, 1) << at(2027, 1, 2) << 1440 << 1;
        QTest::newRow("this month on 1 January")
            << newYear << 3 << at(2027, 1, 1) << at(2027, 1, 2) << 360 << 4;
    }
    void spans() {
        QFETCH(QDateTime, now);
        QFETCH(int, period);
        QFETCH(double, begin);
        QFETCH(double, end);
        QFETCH(int, minutes);
        QFETCH(int, buckets);
        const auto span = periodSpan(period, now);
        QVERIFY(span);
        QCOMPARE(span->begin, begin);
        QCOMPARE(span->end, end);
        QCOMPARE(int(DateValue::wholeMinutes(span->size)), minutes);
        QCOMPARE(::buckets(*span), buckets);
    }

    void customSampleCounts_data() {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("check");
        const double eight = at(2026, 12, 6, 8);
        const int fine = int(SampleCountCheck::Fine);
        const int few = int(SampleCountCheck::TooFew);
        const int many = int(SampleCountCheck::TooMany);
        QTest::newRow("8:00 to 17:00 every hour")
            << eight << at(2026, 12, 6, 17) << 60 << 9 << fine;
        QTest::newRow("an hour every 30 minutes") << eight << at(2026, 12, 6, 9) << 30 << 2 << fine;
        QTest::newRow("an hour every hour") << eight << at(2026, 12, 6, 9) << 60 << 1 << few;
        QTest::newRow("45 minutes every 30: 1.5 rounds to 2")
            << eight << at(2026, 12, 6, 8, 45) << 30 << 2 << fine;
        QTest::newRow("75 minutes every 30: 2.5 rounds to 2")
            << eight << at(2026, 12, 6, 9, 15) << 30 << 2 << fine;
        QTest::newRow("3000 minutes") << eight << eight + 3000.0 / 1440 << 1 << 3000 << fine;
        QTest::newRow("3001 minutes") << eight << eight + 3001.0 / 1440 << 1 << 3001 << many;
        QTest::newRow("end before start") << eight << at(2026, 12, 6, 7) << 15 << -4 << few;
        QTest::newRow("seconds are ignored")
            << eight + 30.0 / 86400 << at(2026, 12, 6, 9) + 59.0 / 86400 << 30 << 2 << fine;
        QTest::newRow("no width selected") << eight << at(2026, 12, 6, 17) << 0 << 0 << few;
    }
    void customSampleCounts() {
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, check);
        QCOMPARE(int(customSampleCount(start, end, width)), count);
        QCOMPARE(int(checkSampleCount(count)), check);
    }

    void sampleCountMessages() {
        QCOMPARE(sampleCountMessage(SampleCountCheck::TooFew),
                 QStringLiteral("Not enough samples selected.\rYou should generate samples closer "
                                "together."));
        QCOMPARE(sampleCountMessage(SampleCountCheck::TooMany),
                 QStringLiteral("Too many samples selected.\rYou should generate samples farther "
                                "apart."));
        QCOMPARE(sampleCountMessage(SampleCountCheck::Fine), QString());
    }

    void customAndUnknownPeriodsChangeNothing() {
        const QDateTime now(QDate(2026, 12, 6), QTime(12, 0));
        QVERIFY(!periodSpan(CustomPeriod, now));
        QVERIFY(!periodSpan(0, now));
        QVERIFY(!periodSpan(9, now));
        QVERIFY(!periodSpan(-1, now));
    }
};

QTEST_APPLESS_MAIN(TestPeriods)
#include "test_periods.moc"
