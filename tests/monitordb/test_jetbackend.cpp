#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "chart/SampleFold.h"
#include "core/Error.h"
#include "monitordb/JetBackend.h"
#include "monitordb/MonitorDB.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <vector>

using namespace tarnvue;

namespace {

const double Day = 46327.0; // 2026-11-01 00:00

QString fixture(const QString& name) {
    return test::fixturePath(QStringLiteral("jet/") + name);
}

// The time of minute m after 2026-11-01 00:00, computed as the poller does.
double minuteTime(int m) {
    return Day + (m * 60) / 86400.0;
}

struct CsvRow {
    int node = 0;
    double time = 0;
    double response = 0;
    double min = 0;
    double max = 0;
    double loss = 0;
};

// Every ResponseTime row of the small fixture, as stored.
const std::vector<CsvRow>& csvRows() {
    static const std::vector<CsvRow> rows = [] {
        std::vector<CsvRow> result;
        QFile file(fixture(QStringLiteral("pollwatch-small.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return result;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines[i].split(',');
            if (f.size() != 6)
                continue;
            result.push_back({f[0].toInt(), std::strtod(f[1].constData(), nullptr), f[2].toDouble(),
                              f[3].toDouble(), f[4].toDouble(), f[5].toDouble()});
        }
        return result;
    }();
    return rows;
}

std::vector<Sample> readAll(SampleReader& reader) {
    std::vector<Sample> result;
    Sample s;
    while (reader.next(s))
        result.push_back(s);
    return result;
}

// Exact equality of two optional doubles, bit for bit.
bool same(const std::optional<double>& a, const std::optional<double>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || std::bit_cast<quint64>(*a) == std::bit_cast<quint64>(*b);
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.description().isEmpty() ? QStringLiteral("(empty description)") : e.description();
    }
    return QString();
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Writes an SQLite monitor database with the same Nodes and ResponseTime
// rows as the small fixture, in the same stored order.
void writeSqliteTwin(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(2, QStringLiteral("core-switch"), QStringLiteral("10.0.0.2"));
    db.addNode(3, QVariant(), QStringLiteral("10.0.0.3"));
    db.addNode(4, QStringLiteral("no-address"), QVariant());
    db.addNode(5, QStringLiteral("twin-a"), QStringLiteral("10.0.0.9"));
    db.addNode(6, QStringLiteral("twin-b"), QStringLiteral("10.0.0.9"));
    db.addNode(7, QStringLiteral("Büro PC"), QStringLiteral("192.168.1.20"));
    for (const CsvRow& r : csvRows())
        db.addSample(r.node, r.time, r.response, r.min, r.max, r.loss);
    db.close();
}

struct FoldResult {
    std::vector<std::tuple<int, int, float>> points;
    FoldTotals totals;
};

FoldResult fold(MonitorDB& db, int node, double begin, double width, int points) {
    FoldResult result;
    const auto rows = db.samples(node, begin, begin + width * points);
    SampleFold f(begin, width, points);
    result.totals = f.run(*rows, [&](int series, int point, float value) {
        result.points.emplace_back(series, point, value);
    });
    return result;
}

} // namespace

class TestJetBackend : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY2(csvRows().size() == 3552, "the fixture CSV cannot be read"); }
    void cleanup() {
        MonitorDB::release();
        setJetScanProgress({});
    }

    void everySampleMatchesTheCsv_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<int>("expectedRows");
        QTest::newRow("node 1, every minute") << 1 << 2880;
        QTest::newRow("node 2, every 5 minutes") << 2 << 576;
        QTest::newRow("node 5, first day only") << 5 << 96;
        QTest::newRow("node 3, no samples") << 3 << 0;
        QTest::newRow("no such node") << 99 << 0;
    }
    void everySampleMatchesTheCsv() {
        QFETCH(int, node);
        QFETCH(int, expectedRows);
        MonitorDB db;
        db.open(fixture(QStringLiteral("pollwatch-small.mdb")));
        const std::vector<Sample> got = readAll(*db.samples(node, 0, 100000));
        std::vector<CsvRow> expected;
        for (const CsvRow& r : csvRows()) {
            if (r.node == node)
                expected.push_back(r);
        }
        QCOMPARE(int(expected.size()), expectedRows);
        QCOMPARE(int(got.size()), expectedRows);
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Sample& s = got[i];
            const CsvRow& r = expected[i];
            QVERIFY2(same(s.time, r.time) && same(s.response, r.response) && same(s.min, r.min) &&
                         same(s.max, r.max) && same(s.loss, r.loss),
                     qPrintable(QStringLiteral("row %1 of node %2").arg(i).arg(node)));
        }
        if (node == 1) {
            QCOMPARE(std::bit_cast<quint64>(*got.front().time), Q_UINT64_C(0x40E69EE000000000));
            QCOMPARE(std::bit_cast<quint64>(*got.back().time), Q_UINT64_C(0x40E69F1FFA4FA4FA));
        }
    }

    void nodeByAddress_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QList<int>>("ids");
        for (const QString& file :
             {QStringLiteral("pollwatch-small.mdb"), QStringLiteral("pollwatch-int16-id.mdb")}) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(file + QStringLiteral(": ") + name)) << file;
            };
            row("plain") << QStringLiteral("10.0.0.2") << QList<int>{2};
            row("twins, first stored first") << QStringLiteral("10.0.0.9") << QList<int>{5, 6};
            row("node with a null name") << QStringLiteral("10.0.0.3") << QList<int>{3};
            row("non-ASCII name") << QStringLiteral("192.168.1.20") << QList<int>{7};
            row("null address is not empty text") << QString() << QList<int>{};
            row("trailing space") << QStringLiteral("10.0.0.1 ") << QList<int>{};
            row("prefix only") << QStringLiteral("10.0.0") << QList<int>{};
            row("quotes") << QStringLiteral("1\" OR \"1\"=\"1") << QList<int>{};
        }
    }
    void nodeByAddress() {
        QFETCH(QString, file);
        QFETCH(QString, address);
        QFETCH(QList<int>, ids);
        MonitorDB db;
        db.open(fixture(file));
        QList<int> got;
        for (auto nodes = db.nodeByAddress(address); !nodes->atEnd(); nodes->moveNext())
            got << nodes->int32(QStringLiteral("Node ID"));
        QCOMPARE(got, ids);
    }

    void findNodeByAddressUsesTheJetFile() {
        const test::ProgramDirScope dir;
        QVERIFY(
            QFile::copy(fixture(QStringLiteral("pollwatch-small.mdb")), MonitorDB::databasePath()));
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.9")), 5);
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.77")), 0);
    }

    void nodeById_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        for (const QString& file :
             {QStringLiteral("pollwatch-small.mdb"), QStringLiteral("pollwatch-int16-id.mdb")}) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(file + QStringLiteral(": ") + name)) << file;
            };
            row("plain") << 1 << QStringLiteral("router1") << QStringLiteral("10.0.0.1");
            row("null name") << 3 << QString() << QStringLiteral("10.0.0.3");
            row("null address") << 4 << QStringLiteral("no-address") << QString();
            row("non-ASCII name") << 7 << QStringLiteral("Büro PC")
                                  << QStringLiteral("192.168.1.20");
        }
    }
    void nodeById() {
        QFETCH(QString, file);
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(QString, address);
        MonitorDB db;
        db.open(fixture(file));
        const NodeTitles titles = readNodeTitles(db, id);
        QCOMPARE(titles.name, name);
        QCOMPARE(titles.address, address);
        const auto node = db.nodeById(id);
        QVERIFY(!node->atEnd());
        // "Select *": every column of the table, read by name in any case.
        QCOMPARE(node->int32(QStringLiteral("node id")), id);
        QVERIFY(node->value(QStringLiteral("Node Name")).isNull() == name.isNull());
        node->moveNext();
        QVERIFY(node->atEnd());

        const auto missing = db.nodeById(99);
        QVERIFY(missing->atEnd());
        QVERIFY(!errorOf([&] { missing->text(QStringLiteral("Node Name")); }).isEmpty());
        QVERIFY(!errorOf([&] { readNodeTitles(db, 99); }).isEmpty());
    }

    void allNodesInStoredOrder_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("names");
        const QList<int> ids{1, 2, 3, 4, 5, 6, 7};
        const QStringList names{
            QStringLiteral("router1"),    QStringLiteral("core-switch"), QString(),
            QStringLiteral("no-address"), QStringLiteral("twin-a"),      QStringLiteral("twin-b"),
            QStringLiteral("Büro PC")};
        QTest::newRow("32-bit Node ID") << QStringLiteral("pollwatch-small.mdb") << ids << names;
        QTest::newRow("16-bit Node ID") << QStringLiteral("pollwatch-int16-id.mdb") << ids << names;
        QTest::newRow("empty template")
            << QStringLiteral("pollwatch-template.mdb") << QList<int>{} << QStringList{};
    }
    void allNodesInStoredOrder() {
        QFETCH(QString, file);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, names);
        MonitorDB db;
        db.open(fixture(file));
        QList<int> gotIds;
        QStringList gotNames;
        for (auto all = db.allNodes(); !all->atEnd(); all->moveNext()) {
            gotIds << all->int32(QStringLiteral("Node ID"));
            gotNames << all->text(QStringLiteral("Node Name"));
            QVERIFY(!errorOf([&] { all->value(QStringLiteral("No Such Column")); }).isEmpty());
        }
        QCOMPARE(gotIds, ids);
        QCOMPARE(gotNames, names);
    }

    void sixteenBitNodeIds() {
        MonitorDB db;
        db.open(fixture(QStringLiteral("pollwatch-int16-id.mdb")));
        const std::vector<Sample> got = readAll(*db.samples(1, 0, 100000));
        QCOMPARE(int(got.size()), 1440);
        for (int m = 0; m < 1440; ++m) {
            const Sample& s = got[std::size_t(m)];
            const bool lost = m % 97 == 0;
            const double response = lost ? -1 : 10 + m % 50 + 3;
            QVERIFY2(same(s.time, minuteTime(m)) && same(s.response, response) &&
                         same(s.min, lost ? -1 : response - 2) &&
                         same(s.max, lost ? -1 : response + 5) &&
                         same(s.loss, lost ? 100 : (m % 13 == 0 ? 20 : 0)),
                     qPrintable(QStringLiteral("minute %1").arg(m)));
        }
        QCOMPARE(std::bit_cast<quint64>(*got.back().time),
                 std::bit_cast<quint64>(46327.999305555553));
        QVERIFY(readAll(*db.samples(2, 0, 100000)).empty());
    }

    void emptyTemplate() {
        MonitorDB db;
        db.open(fixture(QStringLiteral("pollwatch-template.mdb")));
        QVERIFY(db.allNodes()->atEnd());
        QVERIFY(db.nodeById(1)->atEnd());
        QVERIFY(db.nodeByAddress(QStringLiteral("10.0.0.1"))->atEnd());
        QVERIFY(readAll(*db.samples(1, 0, 100000)).empty());
    }

    void boundsAreInclusive_data() {
        QTest::addColumn<double>("begin");
        QTest::addColumn<double>("end");
        QTest::addColumn<int>("firstMinute");
        QTest::addColumn<int>("lastMinute");
        QTest::newRow("both bounds on rows") << minuteTime(10) << minuteTime(20) << 10 << 20;
        QTest::newRow("one row at midnight") << Day << Day << 0 << 0;
        QTest::newRow("bounds between rows")
            << minuteTime(10) + 1e-5 << minuteTime(20) - 1e-5 << 11 << 19;
        QTest::newRow("whole file") << 0.0 << 100000.0 << 0 << 2879;
        QTest::newRow("last row") << minuteTime(2879) - 1e-5 << minuteTime(2879) << 2879 << 2879;
        QTest::newRow("before the first row") << Day - 1 << Day - 1e-5 << -1 << -1;
        // The bounds are compared as the query text writes them, exactly: a
        // span that begins on a poll's own time takes that poll (a text cut to
        // 15 digits would have passed over the poll at 00:15), and an end a
        // hair below a poll leaves it out.
        QTest::newRow("begin exactly on a row") << minuteTime(15) << minuteTime(15) << 15 << 15;
        QTest::newRow("end a hair below a row")
            << minuteTime(10) << std::nextafter(minuteTime(20), 0.0) << 10 << 19;
    }
    void boundsAreInclusive() {
        QFETCH(double, begin);
        QFETCH(double, end);
        QFETCH(int, firstMinute);
        QFETCH(int, lastMinute);
        MonitorDB db;
        db.open(fixture(QStringLiteral("pollwatch-small.mdb")));
        const std::vector<Sample> got = readAll(*db.samples(1, begin, end));
        if (firstMinute < 0) {
            QVERIFY(got.empty());
            return;
        }
        QCOMPARE(int(got.size()), lastMinute - firstMinute + 1);
        QVERIFY(same(got.front().time, minuteTime(firstMinute)));
        QVERIFY(same(got.back().time, minuteTime(lastMinute)));
    }

    void equalTimesKeepStoredOrder() {
        // A copy in which two of node 1's rows are moved in time: minute 3
        // to minute 1 (an equal time, stored after it) and minute 7 to
        // minute 0 (out of order).
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("moved.mdb"));
        QByteArray bytes;
        {
            QFile file(fixture(QStringLiteral("pollwatch-small.mdb")));
            QVERIFY(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
        }
        const auto moveTime = [&](int from, int to) {
            const auto pattern = [](int m) {
                const quint64 bits = qToLittleEndian(std::bit_cast<quint64>(minuteTime(m)));
                return QByteArray(reinterpret_cast<const char*>(&bits), 8);
            };
            const qsizetype at = bytes.indexOf(pattern(from));
            QVERIFY(at >= 0);
            QCOMPARE(bytes.indexOf(pattern(from), at + 1), qsizetype(-1));
            bytes.replace(at, 8, pattern(to));
        };
        moveTime(3, 1);
        moveTime(7, 0);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        MonitorDB db;
        db.open(path);
        const std::vector<Sample> got = readAll(*db.samples(1, Day, minuteTime(8)));
        QList<int> minutes;
        QList<double> responses;
        for (const Sample& s : got) {
            minutes << qRound((*s.time - Day) * 1440);
            responses << *s.response;
        }
        // Response is 13 + m for the stored minute m (minute 0 is a loss, -1).
        QCOMPARE(minutes, (QList<int>{0, 0, 1, 1, 2, 4, 5, 6, 8}));
        QCOMPARE(responses, (QList<double>{-1, 20, 14, 16, 15, 17, 18, 19, 21}));
    }

    void sameChartAsFromSqlite_data() {
        QTest::addColumn<int>("node");
        QTest::addColumn<double>("begin");
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("points");
        QTest::newRow("node 1, two days by the hour") << 1 << Day << 1.0 / 24 << 48;
        QTest::newRow("node 1, quarter hours from 06:07")
            << 1 << minuteTime(367) << 15.0 / 1440 << 100;
        QTest::newRow("node 2, six-hour buckets") << 2 << Day - 1 << 0.25 << 16;
        QTest::newRow("node 5, minute buckets") << 5 << Day << 1.0 / 1440 << 1500;
        QTest::newRow("node 6, nothing stored") << 6 << Day << 1.0 << 2;
    }
    void sameChartAsFromSqlite() {
        QFETCH(int, node);
        QFETCH(double, begin);
        QFETCH(double, width);
        QFETCH(int, points);
        QTemporaryDir dir;
        const QString sqlitePath = dir.filePath(QStringLiteral("twin.db"));
        writeSqliteTwin(sqlitePath);
        MonitorDB jet;
        jet.open(fixture(QStringLiteral("pollwatch-small.mdb")));
        MonitorDB sqlite;
        sqlite.open(sqlitePath);

        const FoldResult a = fold(jet, node, begin, width, points);
        const FoldResult b = fold(sqlite, node, begin, width, points);
        QVERIFY(!a.points.empty());
        QVERIFY(a.points == b.points);
        QCOMPARE(a.totals.records, b.totals.records);
        QCOMPARE(a.totals.valid, b.totals.valid);
        QCOMPARE(a.totals.averageResponse, b.totals.averageResponse);
        QCOMPARE(a.totals.loss, b.totals.loss);

        const std::vector<Sample> rowsA =
            readAll(*jet.samples(node, begin, begin + width * points));
        const std::vector<Sample> rowsB =
            readAll(*sqlite.samples(node, begin, begin + width * points));
        QCOMPARE(rowsA.size(), rowsB.size());
        for (std::size_t i = 0; i < rowsA.size(); ++i) {
            QVERIFY(same(rowsA[i].time, rowsB[i].time) &&
                    same(rowsA[i].response, rowsB[i].response) &&
                    same(rowsA[i].min, rowsB[i].min) && same(rowsA[i].max, rowsB[i].max) &&
                    same(rowsA[i].loss, rowsB[i].loss));
        }
        QCOMPARE(readNodeTitles(jet, node).name, readNodeTitles(sqlite, node).name);
    }

    void scanReportsProgress() {
        MonitorDB db;
        db.open(fixture(QStringLiteral("pollwatch-small.mdb")));
        QList<QPair<qint64, qint64>> calls;
        setJetScanProgress([&](qint64 done, qint64 total) {
            calls.append({done, total});
            return true;
        });
        QCOMPARE(readAll(*db.samples(2, 0, 100000)).size(), std::size_t(576));
        QVERIFY(calls.size() >= 2);
        QCOMPARE(calls.first().first, qint64(0));
        QCOMPARE(calls.last(), (QPair<qint64, qint64>(3552, 3552)));
        for (qsizetype i = 0; i < calls.size(); ++i) {
            QVERIFY(calls[i].first <= calls[i].second);
            QVERIFY(i == 0 || calls[i].first >= calls[i - 1].first);
        }

        // Declining goes back to the caller as a failed query.
        setJetScanProgress([](qint64, qint64) { return false; });
        QVERIFY(!errorOf([&] { db.samples(2, 0, 100000); }).isEmpty());
        setJetScanProgress({});
        QCOMPARE(readAll(*db.samples(2, 0, 100000)).size(), std::size_t(576));
    }

    void fileIsReadWithoutChange() {
        const QString path = fixture(QStringLiteral("pollwatch-small.mdb"));
        const QByteArray before = fileHash(path);
        QVERIFY(!before.isEmpty());
        {
            MonitorDB db;
            db.open(path);
            readAll(*db.samples(1, 0, 100000));
            db.allNodes();
            db.nodeByAddress(QStringLiteral("10.0.0.1"));
        }
        QCOMPARE(fileHash(path), before);
        QVERIFY(!QFile::exists(fixture(QStringLiteral("pollwatch-small.ldb"))));
    }

    // Damaged copies of the small fixture, made from its bytes: cut at every
    // page boundary from its end back to the first data page of
    // ResponseTime, and with each of that table's column descriptors
    // changed in type or place. Each must be refused as damaged, never read
    // as a chart of some other data.
    void damagedFileIsRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QFile file(fixture(QStringLiteral("pollwatch-small.mdb")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        const qsizetype page = 4096;
        const QString damaged = QStringLiteral("The monitor database is damaged: ");
        // The table definition of ResponseTime: the definition page that
        // names the Response column.
        const QByteArray response =
            QByteArray::fromRawData(reinterpret_cast<const char*>(u"Response"), 16);
        qsizetype definition = -1;
        for (qsizetype at = 0; at < whole.size() && definition < 0; at += page) {
            if (whole.at(at) == 0x02 && whole.mid(at, page).contains(response))
                definition = at;
        }
        QVERIFY(definition > 0);
        const auto owner = static_cast<quint32>(definition / page);
        qsizetype firstData = -1;
        for (qsizetype at = 0; at < whole.size() && firstData < 0; at += page) {
            if (whole.at(at) == 0x01 &&
                qFromLittleEndian<quint32>(whole.constData() + at + 4) == owner)
                firstData = at;
        }
        QVERIFY(firstData > 0);
        for (qsizetype keep = whole.size() - page; keep >= firstData; keep -= page)
            QTest::addRow("cut to %lld pages", keep / page) << whole.left(keep) << damaged;
        QTest::newRow("half a page more")
            << whole.left(whole.size() / 2 + 100) << "The monitor database '";
        QTest::newRow("a few bytes") << whole.left(100) << "";

        // Column descriptors of 25 bytes after the 63-byte header (no
        // indexes): the type at byte 0, the place in the row at byte 21.
        const int columns = qFromLittleEndian<quint16>(whole.constData() + definition + 45);
        QCOMPARE(columns, 6);
        for (int c = 0; c < columns; ++c) {
            const qsizetype descriptor = definition + 63 + c * 25;
            const auto changed = [&](qsizetype at, char value) {
                QByteArray bytes = whole;
                bytes[at] = value;
                return bytes;
            };
            QTest::addRow("column %d read as Yes/No", c) << changed(descriptor, 1) << damaged;
            QTest::addRow("column %d read as a single", c) << changed(descriptor, 6) << damaged;
            QTest::addRow("column %d one byte on", c)
                << changed(descriptor + 21, static_cast<char>(whole.at(descriptor + 21) + 1))
                << damaged;
        }
    }
    void damagedFileIsRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("damaged.mdb"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        MonitorDB db;
        const QString error = errorOf([&] {
            db.open(path);
            readAll(*db.samples(1, 0, 100000));
            readAll(*db.samples(2, 0, 100000));
            db.allNodes();
        });
        QVERIFY2(!error.isEmpty() && error.startsWith(message), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestJetBackend)
#include "test_jetbackend.moc"
