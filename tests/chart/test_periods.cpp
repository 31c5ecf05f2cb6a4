#include "RecordingDialogs.h"
#include "TestEnvironment.h"
#include "chart/CustomPeriodForm.h"
#include "chart/DateText.h"
#include "chart/Periods.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "core/DateValue.h"
#include "core/Numeric.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <cmath>
#include <ctime>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 12, 6), QTime(14, 37));
const QLocale German(QLocale::German, QLocale::Germany);
const QLocale English(QLocale::English, QLocale::UnitedStates);
const double Refused = std::nan("");

double at(int y, int m, int d, int h = 0, int min = 0) {
    return DateValue::fromDateTime(QDate(y, m, d), QTime(h, min));
}

} // namespace

// The named periods, dates as the user types them and the custom period dialog.
class TestPeriods : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ClockScope> m_clock;

private slots:
    void initTestCase() {
        // A zone with a daylight-saving gap (02:00 to 03:00 on 2026-03-29).
        qputenv("TZ", "Europe/Berlin");
        tzset();
        m_clock = std::make_unique<test::ClockScope>(Now);
        LoadSampleSizes();
        QLocale::setDefault(German);
    }

    // Each period's first day at a given "now", and its buckets to tomorrow
    // 00:00 (Today: to the next full hour). Going back in months keeps the
    // day of the month, or takes the last day of a shorter month.
    void spans_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("period");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<int>("buckets");
        const auto row = [](const char* now, int period, const char* first, int buckets) {
            QTest::addRow("%d at %s", period, now)
                << QDateTime::fromString(QLatin1String(now), Qt::ISODate) << period
                << QDate::fromString(QLatin1String(first), Qt::ISODate) << buckets;
        };
        row("2026-12-06T14:37", TodayPeriod, "2026-12-06", 60);
        row("2026-12-06T14:37", ThisWeekPeriod, "2026-11-29", 192);
        row("2026-12-06T14:37", ThisMonthPeriod, "2026-12-01", 24);
        row("2024-02-29T23:59", ThisMonthPeriod, "2024-02-01", 116);
        row("2026-12-06T14:37", Last30DaysPeriod, "2026-11-06", 124);
        row("2024-03-15T01:00", Last30DaysPeriod, "2024-02-14", 124);
        row("2026-05-31T09:00", Last3MonthsPeriod, "2026-02-28", 93);
        row("2024-05-31T09:00", Last3MonthsPeriod, "2024-02-29", 93);
        row("2024-02-29T23:59", Last3MonthsPeriod, "2023-11-29", 93);
        row("2026-03-31T12:00", Last3MonthsPeriod, "2025-12-31", 91);
        row("2026-12-31T18:00", Last3MonthsPeriod, "2026-09-30", 93);
        row("2026-12-06T14:37", Last12MonthsPeriod, "2025-12-06", 366);
        row("2024-02-29T23:59", Last12MonthsPeriod, "2023-02-28", 367);
        row("2025-02-28T07:00", Last12MonthsPeriod, "2024-02-28", 367);
        row("2026-03-31T12:00", Last12MonthsPeriod, "2025-03-31", 366);
        row("2026-12-06T14:37", ThisYearPeriod, "2026-01-01", 340);
        row("2027-01-01T08:15", ThisYearPeriod, "2027-01-01", 1);
        // No span: the chart keeps the one it has.
        row("2026-12-06T14:37", CustomPeriod, "", 0);
        row("2026-12-06T14:37", 0, "", 0);
        row("2026-12-06T14:37", 9, "", 0);
    }
    void spans() {
        QFETCH(QDateTime, now);
        QFETCH(int, period);
        QFETCH(QDate, first);
        QFETCH(int, buckets);
        const int widths[] = {0, 15, 60, 360, 360, 1440, 1440, 1440};
        const auto span = periodSpan(period, now);
        QCOMPARE(span.has_value(), first.isValid());
        if (!span)
            return;
        QCOMPARE(span->begin, DateValue::fromDateTime(first));
        const double tomorrow = DateValue::fromDateTime(now.date().addDays(1));
        QCOMPARE(span->end, period == TodayPeriod ? span->begin + buckets / 96.0 : tomorrow);
        QCOMPARE(int(DateValue::wholeMinutes(span->size)), widths[period]);
        QCOMPARE(int(toInt16((span->end - span->begin) / span->size)), buckets);
        // The chart's title line names the period.
        QVERIFY(!periodLine(period, span->begin, span->end, English).startsWith("Custom"));
    }

    // What the user types, in the order of their date settings.
    void readsTheUsersOrder_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
        const auto row = [](const QLocale& locale, const char* text, double expected) {
            QTest::addRow("%s \"%s\"", qPrintable(locale.name()), text)
                << locale << QString::fromLatin1(text) << expected;
        };
        row(English, "3/4/2026 6:30 PM", at(2026, 3, 4, 18, 30));
        row(English, "3/4/26 6:30 AM", at(2026, 3, 4, 6, 30));
        row(German, "03.04.2026 18:30", at(2026, 4, 3, 18, 30));
        row(gb, "03/04/2026 18:30", at(2026, 4, 3, 18, 30));
        row(German, "03.04.2026", at(2026, 4, 3));
        row(English, "2026-04-03 18:30", at(2026, 4, 3, 18, 30));
        row(German, "29.03.2026 02:30", at(2026, 3, 29, 3)); // the daylight-saving gap
        for (const char* text : {"", "yesterday", "31.02.2026 10:00", "10:75", "03.04.2026 25:00"})
            row(German, text, Refused);
        row(English, "13/25/2026 6:00 PM", Refused);
    }
    void readsTheUsersOrder() {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(double, expected);
        const auto value = parseDateTime(text, locale, Now.date());
        QCOMPARE(value.has_value(), !std::isnan(expected));
        if (!value)
            return;
        QCOMPARE(*value, expected);
        // What is shown reads back to the same minute.
        QCOMPARE(*parseDateTime(formatDateTime(*value, locale), locale, Now.date()), expected);
    }

    // The dialog starts from the chart's span and width. OK gives the chart
    // the span as shown (`outcome`: the start shown afterwards), or refuses
    // with the message `outcome`, `focus` on the field to correct.
    void dialogAcceptsAndRefuses_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("focus");
        const QString few = QStringLiteral(
            "Not enough samples selected.\rYou should generate samples closer together.");
        const QString many = QStringLiteral(
            "Too many samples selected.\rYou should generate samples farther apart.\rA chart "
            "holds at most 3000 samples. The finest width for this span is \"%1\".");
        const QString typing = QStringLiteral(
            "\rType a date and time as dd.MM.yyyy HH:mm, or a time alone for today.");
        const auto row = [](const char* name, const char* start, const char* end, int minutes,
                            const QString& outcome, const char* focus = "") {
            QTest::newRow(name) << start << end << minutes << outcome << focus;
        };
        row("an hour every 30 minutes", "01.12.2026 08:00", "01.12.2026 09:00", 30,
            "01.12.2026 08:00");
        row("45 minutes every 30", "01.12.2026 08:00", "01.12.2026 08:45", 30, "01.12.2026 08:00");
        row("3000 minutes", "01.12.2026 00:00", "03.12.2026 02:00", 1, "01.12.2026 00:00");
        row("3000.5 rounds to 3000", "01.12.2026 00:00", "05.12.2026 04:01", 2, "01.12.2026 00:00");
        row("times alone are today", "8:00", "17:00", 60, "06.12.2026 08:00");
        row("seconds are dropped", "01.12.2026 08:00:45", "01.12.2026 09:30:10", 30,
            "01.12.2026 08:00");
        row("an hour every hour", "01.12.2026 08:00", "01.12.2026 09:00", 60, few, "Units");
        row("end before start", "02.12.2026 00:00", "01.12.2026 00:00", 60, few, "Units");
        row("no width selected", "01.12.2026 08:00", "01.12.2026 17:00", 45, few, "Units");
        row("3001 minutes", "01.12.2026 00:00", "03.12.2026 02:01", 1, many.arg("Every 2 Minutes"),
            "Units");
        row("a year every minute", "01.12.2025 00:00", "01.12.2026 00:00", 1,
            many.arg("Every 6 Hours"), "Units");
        row("bad start", "someday", "01.12.2026 08:45", 30, "Invalid Start Date / Time" + typing,
            "StartDate");
        row("bad end", "01.12.2026 08:00", "31.11.2026 08:45", 30,
            "Invalid End Date / Time" + typing, "EndDate");
    }
    void dialogAcceptsAndRefuses() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, minutes);
        QFETCH(QString, outcome);
        QFETCH(QString, focus);
        const test::DialogRecorderScope dialogs;
        TarnvueChart chart;
        chart.setPlotBegin(at(2026, 11, 29));
        chart.setPlotEnd(at(2026, 12, 7));
        chart.setPeriodSize(DateValue::fromMinutes(60));
        CustomPeriodForm form(chart);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.StartDate()->text() + " - " + form.EndDate()->text() + ", " +
                     form.Units()->currentText(),
                 "29.11.2026 00:00 - 07.12.2026 00:00, Every Hour");
        form.StartDate()->setText(start);
        form.EndDate()->setText(end);
        form.Units()->setCurrentIndex(form.Units()->findData(minutes));

        const bool accepted = form.OK_Button_Click();
        QCOMPARE(accepted, focus.isEmpty());
        QCOMPARE(dialogs->texts(), accepted ? QStringList() : QStringList{outcome});
        if (accepted) {
            QCOMPARE(form.result(), int(QDialog::Accepted));
            QCOMPARE(form.StartDate()->text(), outcome);
            QCOMPARE(chart.PlotBegin(), *parseDateTime(outcome, German, Now.date()));
            QCOMPARE(chart.PlotEnd(), *parseDateTime(form.EndDate()->text(), German, Now.date()));
            QCOMPARE(int(DateValue::wholeMinutes(chart.PeriodSize())), minutes);
        } else {
            QCOMPARE(dialogs->messages[0].icon, MessageIcon::Exclamation);
            QCOMPARE(QApplication::focusWidget()->objectName(), focus);
            QVERIFY(form.isVisible());
            QCOMPARE(chart.PlotBegin(), at(2026, 11, 29));
        }
    }
};

QTEST_MAIN(TestPeriods)
#include "test_periods.moc"
