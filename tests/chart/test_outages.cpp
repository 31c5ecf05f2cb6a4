#include "chart/Outages.h"

#include <QtTest>

using namespace tarnvue;

namespace {

const double Begin = 46000.0; // 2025-12-09 00:00
const double Minute = 1.0 / 1440.0;

// One row a minute from Begin: R replied, L lost, ? a Response that cannot
// be read, T a Time that cannot be read; '.' is a minute without a row.
std::vector<Sample> polls(const QString& pattern) {
    std::vector<Sample> rows;
    for (int m = 0; m < pattern.size(); ++m) {
        const QChar c = pattern.at(m);
        if (c == QLatin1Char('.'))
            continue;
        Sample s;
        if (c != QLatin1Char('T'))
            s.time = Begin + m * Minute;
        if (c == QLatin1Char('R') || c == QLatin1Char('T'))
            s.response = 20;
        else if (c == QLatin1Char('L'))
            s.response = -1;
        rows.push_back(s);
    }
    return rows;
}

// Each item as "O 2-4 2" (outage from minute 2 to minute 4, two lost
// polls), "O 5- 3" (still going on), "N 7-19" (no data).
QString describe(const OutageReport& report) {
    QStringList out;
    const auto minute = [](double t) { return QString::number(qRound((t - Begin) / Minute)); };
    for (const OutageItem& i : report.items) {
        QString text = (i.kind == OutageItem::Outage ? QStringLiteral("O ") : QStringLiteral("N ")) +
                       minute(i.start) + QLatin1Char('-') + (i.end ? minute(*i.end) : QString());
        if (i.kind == OutageItem::Outage)
            text += QLatin1Char(' ') + QString::number(i.lostPolls);
        out << text;
    }
    return out.join(QStringLiteral("; "));
}

class FromMemory : public SampleReader {
public:
    explicit FromMemory(std::vector<Sample> rows) : m_rows(std::move(rows)) {}
    bool next(Sample& s) override {
        if (m_at >= m_rows.size())
            return false;
        s = m_rows[m_at++];
        return true;
    }

private:
    std::vector<Sample> m_rows;
    std::size_t m_at = 0;
};

} // namespace

class TestOutages : public QObject {
    Q_OBJECT

private slots:
    void findsOutagesAndNoDataStretches_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("minimumLost");
        QTest::addColumn<QString>("items");
        QTest::addColumn<QString>("availability");

        QTest::newRow("no rows") << "" << 2 << "" << "no polls";
        QTest::newRow("only unreadable responses") << "???" << 2 << "" << "no polls";
        QTest::newRow("all replied") << "RRRR" << 2 << "" << "100.000 %";
        QTest::newRow("run of exactly M") << "RLLR" << 2 << "O 1-3 2" << "50.000 %";
        QTest::newRow("run of M - 1") << "RLRR" << 2 << "" << "75.000 %";
        QTest::newRow("one lost poll with M = 1") << "RLRR" << 1 << "O 1-2 1" << "75.000 %";
        QTest::newRow("at the span's start") << "LLLRR" << 2 << "O 0-3 3" << "40.000 %";
        QTest::newRow("still going on at the end") << "RRLLL" << 2 << "O 2- 3" << "40.000 %";
        QTest::newRow("unreadable response inside a run") << "RL?LR" << 3 << "" << "50.000 %";
        QTest::newRow("unreadable response passed over") << "RL?LR" << 2 << "O 1-4 2" << "50.000 %";
        QTest::newRow("unreadable time passed over") << "RLTLR" << 2 << "O 1-4 2" << "50.000 %";
        QTest::newRow("two outages") << "LLRLLLR" << 2 << "O 0-2 2; O 3-6 3" << "28.571 %";
        QTest::newRow("no data next to an outage")
            << "RRRRRRLL.........LRRRRR" << 2 << "O 6-18 3; N 7-17" << "78.571 %";
        QTest::newRow("gap under five minutes is not a stretch")
            << "RRRRRRRR...RRRRRR" << 2 << "" << "100.000 %";
        QTest::newRow("gap of three intervals is not a stretch")
            << QString(QStringLiteral("R....")).repeated(6) << 2 << "" << "100.000 %";
        QTest::newRow("availability rounds to three decimals")
            << QString(QStringLiteral("R")).repeated(2082) + QStringLiteral("L") << 2 << ""
            << "99.952 %";
    }

    void findsOutagesAndNoDataStretches() {
        QFETCH(QString, pattern);
        QFETCH(int, minimumLost);
        QFETCH(QString, items);
        QFETCH(QString, availability);

        OutageScan scan(minimumLost);
        // Through the tap, as the chart's fold reads them: the rows pass on unchanged.
        FromMemory source(polls(pattern));
        OutageTap tap(source, scan);
        Sample row;
        int passed = 0;
        while (tap.next(row))
            ++passed;
        QCOMPARE(passed, static_cast<int>(polls(pattern).size()));

        const OutageReport report = scan.finish();
        QCOMPARE(describe(report), items);
        QCOMPARE(availabilityText(report), availability);
    }

    void writesDurationsAndTheListForScripts() {
        QCOMPARE(durationText(3870), QStringLiteral("1 h 04 min 30 s"));
        QCOMPARE(durationText(270), QStringLiteral("4 min 30 s"));
        QCOMPARE(durationText(12), QStringLiteral("12 s"));
        QCOMPARE(durationText(2 * 86400 + 3 * 3600 + 5), QStringLiteral("2 d 03 h 00 min 05 s"));

        OutageScan scan;
        for (const Sample& s : polls(QStringLiteral("RLLR.......RRLL")))
            scan.add(s);
        const OutageReport report = scan.finish();
        QCOMPARE(report.outageCount(), 2);
        QCOMPARE(report.downtimeSeconds(), 120 + 60);
        QCOMPARE(outagesCsv(report),
                 QStringLiteral("Kind,Start,End,Duration (s),Lost polls\r\n"
                                "outage,2025-12-09 00:01:00,2025-12-09 00:03:00,120,2\r\n"
                                "no data,2025-12-09 00:03:00,2025-12-09 00:11:00,480,\r\n"
                                "outage,2025-12-09 00:13:00,,60,2\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestOutages)
#include "test_outages.moc"
