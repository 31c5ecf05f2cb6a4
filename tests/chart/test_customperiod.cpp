#include "RecordingDialogs.h"
#include "TestEnvironment.h"
#include "chart/CustomPeriodForm.h"
#include "chart/DateText.h"
#include "chart/SampleSizes.h"
#include "chart/TarnvueChart.h"
#include "core/DateValue.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <ctime>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 12, 6), QTime(14, 37));

double at(int y, int m, int d, int h = 0, int min = 0) {
    return DateValue::fromDateTime(QDate(y, m, d), QTime(h, min));
}

} // namespace

class TestCustomPeriod : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ClockScope> m_clock;
    QLocale m_previous;

    void useLocale(QLocale::Language language, QLocale::Territory territory) {
        QLocale::setDefault(QLocale(language, territory));
    }

    // A chart showing This Week with hourly buckets, and the form on it.
    struct Setup {
        TarnvueChart chart;
        std::unique_ptr<CustomPeriodForm> form;
        Setup(double begin, double end, int minutes) {
            chart.setPlotBegin(begin);
            chart.setPlotEnd(end);
            chart.setPeriodSize(DateValue::fromMinutes(minutes));
            form = std::make_unique<CustomPeriodForm>(chart);
        }
        void enter(const QString& start, const QString& end, int minutes) {
            form->StartDate()->setText(start);
            form->EndDate()->setText(end);
            form->Units()->setCurrentIndex(form->Units()->findData(minutes));
        }
    };

private slots:
    void initTestCase() {
        // A zone with a daylight-saving gap (02:00 to 03:00 on 2026-03-29).
        qputenv("TZ", "Europe/Berlin");
        tzset();
        m_clock = std::make_unique<test::ClockScope>(Now);
        LoadSampleSizes();
    }
    void cleanup() { QLocale::setDefault(m_previous); }

    void readsTheUsersOrder_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale de(QLocale::German, QLocale::Germany);
        const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
        QTest::newRow("US month first") << us << "3/4/2026 6:30 PM" << at(2026, 3, 4, 18, 30);
        QTest::newRow("US two-digit year") << us << "3/4/26 6:30 AM" << at(2026, 3, 4, 6, 30);
        QTest::newRow("German day first") << de << "03.04.2026 18:30" << at(2026, 4, 3, 18, 30);
        QTest::newRow("British day first") << gb << "03/04/2026 18:30" << at(2026, 4, 3, 18, 30);
        QTest::newRow("date alone") << de << "03.04.2026" << at(2026, 4, 3);
        QTest::newRow("time alone is today") << de << "8:00" << at(2026, 12, 6, 8);
        QTest::newRow("seconds are dropped")
            << de << "03.04.2026 18:30:59" << at(2026, 4, 3, 18, 30);
        QTest::newRow("ISO always") << us << "2026-04-03 18:30" << at(2026, 4, 3, 18, 30);
        QTest::newRow("inside the daylight-saving gap")
            << de << "29.03.2026 02:30" << at(2026, 3, 29, 3, 0);
    }
    void readsTheUsersOrder() {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(double, expected);
        const auto value = parseDateTime(text, locale, Now.date());
        QVERIFY2(value, qPrintable(text));
        QCOMPARE(*value, expected);
        // What is shown reads back to the same minute.
        QCOMPARE(*parseDateTime(formatDateTime(*value, locale), locale, Now.date()), expected);
    }

    void refusesWhatIsNoDate() {
        const QLocale de(QLocale::German, QLocale::Germany);
        for (const char* text : {"", "yesterday", "31.02.2026 10:00", "10:75", "03.04.2026 25:00"})
            QVERIFY2(!parseDateTime(QLatin1String(text), de, Now.date()), text);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QVERIFY(!parseDateTime(QStringLiteral("13/25/2026 6:00 PM"), us, Now.date()));
    }

    void startsFromTheChart() {
        useLocale(QLocale::German, QLocale::Germany);
        Setup s(at(2026, 11, 29), at(2026, 12, 7), 360);
        QCOMPARE(s.form->windowTitle(), QStringLiteral("Custom Chart Period"));
        QCOMPARE(s.form->StartDate()->text(), QStringLiteral("29.11.2026 00:00"));
        QCOMPARE(s.form->EndDate()->text(), QStringLiteral("07.12.2026 00:00"));
        QCOMPARE(s.form->Units()->count(), 9);
        QCOMPARE(s.form->Units()->currentText(), QStringLiteral("Every 6 Hours"));
        // A width that is not on the ladder selects nothing.
        Setup odd(at(2026, 11, 29), at(2026, 12, 7), 45);
        QCOMPARE(odd.form->Units()->currentIndex(), -1);
    }

    void acceptsAndRefuses_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString few = QStringLiteral(
            "Not enough samples selected.\rYou should generate samples closer together.");
        const QString many = QStringLiteral(
            "Too many samples selected.\rYou should generate samples farther apart.\rA chart "
            "holds at most 3000 samples. The finest width for this span is \"%1\".");
        const QString typing = QStringLiteral(
            "\rType a date and time as dd.MM.yyyy HH:mm, or a time alone for today.");
        QTest::newRow("an hour every 30 minutes") << "01.12.2026 08:00"
                                                  << "01.12.2026 09:00" << 30 << ""
                                                  << "";
        QTest::newRow("an hour every hour") << "01.12.2026 08:00"
                                            << "01.12.2026 09:00" << 60 << few << "Units";
        QTest::newRow("3000 minutes") << "01.12.2026 00:00"
                                      << "03.12.2026 02:00" << 1 << ""
                                      << "";
        QTest::newRow("3001 minutes")
            << "01.12.2026 00:00"
            << "03.12.2026 02:01" << 1 << many.arg("Every 2 Minutes") << "Units";
        QTest::newRow("a year every minute")
            << "01.12.2025 00:00"
            << "01.12.2026 00:00" << 1 << many.arg("Every 6 Hours") << "Units";
        QTest::newRow("end before start") << "02.12.2026 00:00"
                                          << "01.12.2026 00:00" << 60 << few << "Units";
        QTest::newRow("45 minutes every 30") << "01.12.2026 08:00"
                                             << "01.12.2026 08:45" << 30 << ""
                                             << "";
        QTest::newRow("bad start")
            << "someday"
            << "01.12.2026 08:45" << 30 << "Invalid Start Date / Time" + typing << "StartDate";
        QTest::newRow("bad end") << "01.12.2026 08:00"
                                 << "31.11.2026 08:45" << 30 << "Invalid End Date / Time" + typing
                                 << "EndDate";
    }
    void acceptsAndRefuses() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, minutes);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        useLocale(QLocale::German, QLocale::Germany);
        const test::DialogRecorderScope dialogs;
        Setup s(at(2026, 11, 29), at(2026, 12, 7), 60);
        s.form->show();
        QVERIFY(QTest::qWaitForWindowActive(s.form.get()));
        s.enter(start, end, minutes);
        const double before = s.chart.PlotBegin();
        const bool accepted = s.form->OK_Button_Click();
        QCOMPARE(accepted, message.isEmpty());
        if (accepted) {
            QVERIFY(dialogs->messages.isEmpty());
            QCOMPARE(s.form->result(), int(QDialog::Accepted));
            QCOMPARE(s.chart.PlotBegin(), *parseDateTime(start, QLocale(), Now.date()));
            QCOMPARE(s.chart.PlotEnd(), *parseDateTime(end, QLocale(), Now.date()));
            QCOMPARE(int(DateValue::wholeMinutes(s.chart.PeriodSize())), minutes);
        } else {
            QCOMPARE(dialogs->texts(), QStringList{message});
            QCOMPARE(dialogs->messages[0].icon, MessageIcon::Exclamation);
            QCOMPARE(QApplication::focusWidget()->objectName(), focus);
            QVERIFY(s.form->isVisible());
            QCOMPARE(s.chart.PlotBegin(), before);
        }
    }

    void timesAloneAreToday() {
        useLocale(QLocale::English, QLocale::UnitedStates);
        const test::DialogRecorderScope dialogs;
        Setup s(at(2026, 11, 29), at(2026, 12, 7), 60);
        s.enter(QStringLiteral("8:00 AM"), QStringLiteral("5:00 PM"), 60);
        QVERIFY(s.form->OK_Button_Click());
        QCOMPARE(s.chart.PlotBegin(), at(2026, 12, 6, 8));
        QCOMPARE(s.chart.PlotEnd(), at(2026, 12, 6, 17));
        // The texts were rewritten with today's date, in the user's order.
        QVERIFY2(s.form->StartDate()->text().startsWith(QStringLiteral("12/6/2026")),
                 qPrintable(s.form->StartDate()->text()));
    }

    void secondsAreDroppedFromTheSpan() {
        useLocale(QLocale::German, QLocale::Germany);
        const test::DialogRecorderScope dialogs;
        Setup s(at(2026, 11, 29), at(2026, 12, 7), 60);
        s.enter(QStringLiteral("01.12.2026 08:00:45"), QStringLiteral("01.12.2026 09:30:10"), 30);
        QVERIFY(s.form->OK_Button_Click());
        QCOMPARE(s.form->StartDate()->text(), QStringLiteral("01.12.2026 08:00"));
        QCOMPARE(s.chart.PlotEnd(), at(2026, 12, 1, 9, 30));
    }

    void noWidthSelectedIsTooFew() {
        useLocale(QLocale::German, QLocale::Germany);
        const test::DialogRecorderScope dialogs;
        Setup s(at(2026, 11, 29), at(2026, 12, 7), 45);
        QVERIFY(!s.form->OK_Button_Click());
        QVERIFY(dialogs->texts().constFirst().startsWith(QStringLiteral("Not enough samples")));
    }
};

QTEST_MAIN(TestCustomPeriod)
#include "test_customperiod.moc"
