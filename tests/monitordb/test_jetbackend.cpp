#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <bit>
#include <cmath>
#include <fcntl.h>

using namespace tarnvue;
using namespace Qt::StringLiterals;
using test::errorOf;

namespace {

const double Day = 46327.0; // 2026-11-01 00:00
const qsizetype Page = 4096;

// The time of minute m after 2026-11-01 00:00, computed as the poller does.
double minuteTime(int m) {
    return Day + (m * 60) / 86400.0;
}

QByteArray fixture(const QString& name) {
    QFile file(test::fixturePath(u"jet/"_s + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeCopy(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(u"copy.mdb"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A poll as test::sampleTexts writes it, with its node in front.
QString pollText(int node, const QList<double>& values) {
    QString text = QString::number(node);
    for (const double v : values)
        text += QLatin1Char(' ') + QString::number(v, 'g', 17);
    return text;
}

QStringList polls(MonitorDB& db, int node, double begin = 0, double end = 1e6) {
    return test::sampleTexts(*db.samples(node, begin, end));
}

// Every ResponseTime row of the small fixture, as stored.
QStringList csvPolls() {
    QStringList rows;
    QFile file(test::fixturePath(u"jet/pollwatch-small.csv"_s));
    file.open(QIODevice::ReadOnly);
    for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
        const QList<QByteArray> f = line.split(',');
        if (f.size() == 6)
            rows << pollText(f[0].toInt(), {std::strtod(f[1].constData(), nullptr), f[2].toDouble(),
                                            f[3].toDouble(), f[4].toDouble(), f[5].toDouble()});
    }
    return rows;
}

using Span = QPair<double, double>;

// Every node's polls in the span, bounds included, and the nodes, as the file
// gives them.
void compareWhole(MonitorDB& db, QStringList expected, const QList<int>& nodes, Span span) {
    expected.removeIf([&](const QString& poll) {
        const double time = poll.section(QLatin1Char(' '), 1, 1).toDouble();
        return time < span.first || time > span.second;
    });
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.section(QLatin1Char(' '), 0, 0).toInt() <
               b.section(QLatin1Char(' '), 0, 0).toInt();
    });
    QStringList got;
    for (const int node : {1, 2, 3, 4, 5, 6, 7, 99}) {
        for (const QString& poll : polls(db, node, span.first, span.second))
            got << QString::number(node) + QLatin1Char(' ') + poll;
        QCOMPARE(db.nodeById(node)->atEnd(), !nodes.contains(node));
    }
    QCOMPARE(got, expected);
    QList<int> ids;
    for (auto all = db.allNodes(); !all->atEnd(); all->moveNext())
        ids << all->int32(u"Node ID"_s);
    QCOMPARE(ids, nodes);
}

// Where a table lies in a Jet file: its definition page (the one that names
// the given column) and its data pages, in file order.
struct TablePages {
    qsizetype definition = -1;
    QList<qsizetype> data;
};
TablePages tablePages(const QByteArray& bytes, const char16_t* column) {
    const QByteArray name(reinterpret_cast<const char*>(column),
                          qsizetype(std::char_traits<char16_t>::length(column) * 2));
    TablePages table;
    for (qsizetype at = 0; at < bytes.size() && table.definition < 0; at += Page) {
        if (bytes.at(at) == 0x02 && bytes.mid(at, Page).contains(name))
            table.definition = at / Page;
    }
    for (qsizetype at = 0; at < bytes.size(); at += Page) {
        if (bytes.at(at) == 0x01 &&
            qFromLittleEndian<quint32>(bytes.constData() + at + 4) == quint32(table.definition))
            table.data << at / Page;
    }
    return table;
}

// The entry of a row in a data page's offset table, and the row itself.
qsizetype rowEntry(qsizetype page, int row) {
    return page * Page + 14 + 2 * row;
}
qsizetype rowStart(const QByteArray& bytes, qsizetype page, int row) {
    return page * Page +
           (qFromLittleEndian<quint16>(bytes.constData() + rowEntry(page, row)) & 0x1fff);
}
int rowCount(const QByteArray& bytes, qsizetype page) {
    return qFromLittleEndian<quint16>(bytes.constData() + page * Page + 12);
}

// A ResponseTime row read straight from the page, as pollText writes it.
QString storedPoll(const QByteArray& bytes, qsizetype page, int row) {
    const char* p = bytes.constData() + rowStart(bytes, page, row) + 2;
    return pollText(
        qFromLittleEndian<qint32>(p),
        {std::bit_cast<double>(qFromLittleEndian<quint64>(p + 4)),
         double(qFromLittleEndian<qint32>(p + 12)), double(qFromLittleEndian<qint32>(p + 16)),
         double(qFromLittleEndian<qint32>(p + 20)), double(qFromLittleEndian<qint32>(p + 24))});
}

// How this process has the file open: one letter ("r", "w", "b" for both)
// for each of its descriptors that names the file.
QString openModes(const QString& path) {
    QString modes;
    const QDir fds(u"/proc/self/fd"_s);
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) == QFileInfo(path).canonicalFilePath())
            modes += u"rwb"_s.at(::fcntl(fd.toInt(), F_GETFL) & O_ACCMODE);
    }
    return modes;
}

} // namespace

class TestJetBackend : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::setScanProgress({}); }

    // Every poll as stored, bit for bit, in stored order (equal times too);
    // every node. Rows the table no longer holds are left out: deleted rows
    // (still on their pages, flagged in the offset table), and pages that its
    // page map lists but that hold another table's rows (freed and reused). The poller keeps
    // writing the file: it is opened for reading only, and no lock file is made beside it.
    void everyPollAsStored_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QList<int>>("nodes");
        QTest::addColumn<Span>("span");
        const QByteArray whole = fixture(u"pollwatch-small.mdb"_s);
        const QStringList csv = csvPolls();
        const QList<int> seven{1, 2, 3, 4, 5, 6, 7};
        const Span all(0, 1e6);
        QTest::newRow("small") << whole << csv << seven << all;
        // The bounds are compared as the query text writes them, exactly: a
        // span that begins on a poll's own time takes that poll (a text cut to
        // 15 digits would have passed over the poll at 00:15), and an end a
        // hair below a poll leaves it out.
        const auto bounded = [&](const char* name, double begin, double end) {
            QTest::newRow(name) << whole << csv << seven << Span(begin, end);
        };
        bounded("both bounds on polls", minuteTime(10), minuteTime(20));
        bounded("bounds between polls", minuteTime(10) + 1e-5, minuteTime(20) - 1e-5);
        bounded("last poll", minuteTime(2879) - 1e-5, minuteTime(2879));
        bounded("before the first poll", Day - 1, Day - 1e-5);
        bounded("begin exactly on a poll", minuteTime(15), minuteTime(15));
        bounded("end a hair below a poll", minuteTime(10), std::nextafter(minuteTime(20), 0.0));
        QStringList sixteen;
        for (int m = 0; m < 1440; ++m) {
            const double response = m % 97 == 0 ? -1 : 10 + m % 50 + 3;
            sixteen << pollText(1, {minuteTime(m), response, m % 97 ? response - 2 : -1,
                                    m % 97 ? response + 5 : -1,
                                    m % 97 == 0 ? 100.0 : (m % 13 == 0 ? 20 : 0)});
        }
        QTest::newRow("16-bit Node ID")
            << fixture(u"pollwatch-int16-id.mdb"_s) << sixteen << seven << all;
        QTest::newRow("empty template")
            << fixture(u"pollwatch-template.mdb"_s) << QStringList() << QList<int>() << all;

        const TablePages polls = tablePages(whole, u"Response");
        const TablePages nodes = tablePages(whole, u"IP Address");
        QVERIFY(polls.data.size() > 3 && nodes.definition > 0);
        QByteArray bytes = whole;
        QStringList kept = csv;
        const qsizetype first = polls.data.first();
        const qsizetype last = polls.data.last();
        for (const auto& [page, row] :
             {std::pair{first, 0}, {first, 2}, {last, rowCount(whole, last) - 1}}) {
            QVERIFY(kept.removeOne(storedPoll(whole, page, row)));
            bytes[rowEntry(page, row) + 1] = char(bytes.at(rowEntry(page, row) + 1) | 0x40);
        }
        QTest::newRow("deleted polls, first and last") << bytes << kept << seven << all;

        bytes = whole;
        const qsizetype reused = polls.data.at(2);
        qToLittleEndian<quint32>(quint32(nodes.definition), bytes.data() + reused * Page + 4);
        kept = csv;
        for (int row = 0; row < rowCount(whole, reused); ++row)
            QVERIFY(kept.removeOne(storedPoll(whole, reused, row)));
        QTest::newRow("a listed page now of another table") << bytes << kept << seven << all;

        // Node 1's poll of minute 3 moved to minute 1 (an equal time, stored
        // after it), that of minute 7 to minute 0 (out of order).
        bytes = whole;
        kept = csv;
        for (const auto& [from, to] : {std::pair{3, 1}, std::pair{7, 0}}) {
            const auto bits = [](int m) {
                const quint64 value = qToLittleEndian(std::bit_cast<quint64>(minuteTime(m)));
                return QByteArray(reinterpret_cast<const char*>(&value), 8);
            };
            QCOMPARE(bytes.count(bits(from)), 1);
            bytes.replace(bits(from), bits(to));
            const auto row = [&](int m) {
                const QString poll = QRegularExpression::escape(pollText(1, {minuteTime(m)}));
                return kept.indexOf(QRegularExpression(poll + u" .*"_s)); // whole rows match
            };
            const qsizetype at = row(from);
            kept[at] = pollText(1, {minuteTime(to)}) +
                       kept[at].mid(pollText(1, {minuteTime(from)}).size());
            kept.move(at, row(to) + 1);
        }
        QTest::newRow("equal times keep their stored order") << bytes << kept << seven << all;
    }
    void everyPollAsStored() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(QList<int>, nodes);
        QFETCH(Span, span);
        QTemporaryDir dir;
        const QString path = writeCopy(dir, bytes);
        MonitorDB db;
        db.open(path);
        compareWhole(db, expected, nodes, span);
        const QString modes = openModes(path);
        QVERIFY2(!modes.isEmpty() && modes == QString(modes.size(), QLatin1Char('r')),
                 qPrintable(modes));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"copy.mdb"_s});
    }

    // The scan reports rising progress up to every row of the file (a report
    // that falls back is declined here); declining it fails the query.
    void scanReportsProgress() {
        MonitorDB db;
        db.open(test::fixturePath(u"jet/pollwatch-small.mdb"_s));
        QList<QPair<qint64, qint64>> calls{{0, 0}};
        MonitorDB::setScanProgress([&](qint64 done, qint64 total) {
            calls.append({done, total});
            return done <= total && calls.at(calls.size() - 2) <= calls.last();
        });
        QCOMPARE(errorOf([&] { QCOMPARE(polls(db, 2).size(), 576); }), QString());
        QVERIFY(calls.size() >= 3 && calls.at(1).first == 0);
        QCOMPARE(calls.last(), (QPair<qint64, qint64>(3552, 3552)));
        MonitorDB::setScanProgress([](qint64, qint64) { return false; });
        QVERIFY(!errorOf([&] { db.samples(2, 0, 1e6); }).isEmpty());
    }

    // What opening a file and reading it tells the user: what the file is
    // when it is no Jet 4 database, and damaged copies of the small fixture
    // made from its bytes, which must be refused, never read as a chart of
    // some other data. The copies are cut at every page boundary from the
    // end back to the first data page of ResponseTime, or have one of that
    // table's column descriptors changed in type or place.
    void openingTellsWhatIsWrong_data() {
        QTest::addColumn<QByteArray>("bytes"); // "-": no file
        QTest::addColumn<QString>("message");  // a part of it; empty: read
        const QByteArray whole = fixture(u"pollwatch-small.mdb"_s);
        const auto access = [](const char* engine, char version) {
            QByteArray header(Page * 4, '\0');
            header.replace(0, 19, QByteArray("\x00\x01\x00\x00", 4) + engine);
            header[20] = version;
            return header;
        };
        const QString notSupported = u"database, which is not supported"_s;
        QTest::newRow("Jet 4") << whole << "";
        QTest::newRow("Jet 3") << access("Standard Jet DB", 0)
                               << "is an Access (Jet 3) " + notSupported;
        QTest::newRow("ACE, Jet header")
            << access("Standard Jet DB", 2) << "is an Access (ACE) " + notSupported;
        QTest::newRow("ACE") << access("Standard ACE DB", 2)
                             << "is an Access (ACE) " + notSupported;
        QTest::newRow("empty") << QByteArray() << "is an empty file, not a monitor database";
        QTest::newRow("text") << QByteArray("Node ID,Time\n1,2\n")
                              << "is a file of unknown format, not a monitor database";
        QTest::newRow("missing") << QByteArray("-") << "Could not find file";

        const QString damaged = u"The monitor database is damaged: "_s;
        const TablePages polls = tablePages(whole, u"Response");
        QVERIFY(polls.definition > 0 && !polls.data.isEmpty());
        for (qsizetype keep = whole.size() - Page; keep >= polls.data.first() * Page; keep -= Page)
            QTest::addRow("cut to %lld pages", keep / Page) << whole.left(keep) << damaged;
        const QString notWhole = u"is damaged or incomplete: its size"_s;
        QTest::newRow("half a page more") << whole.left(whole.size() / 2 + 100) << notWhole;
        QTest::newRow("a few bytes") << whole.left(100) << notWhole;

        // Column descriptors of 25 bytes after the 63-byte header (no
        // indexes): the type at byte 0, the place in the row at byte 21.
        const qsizetype definition = polls.definition * Page;
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
            QTest::addRow("column %d one byte on", c)
                << changed(descriptor + 21, char(whole.at(descriptor + 21) + 1)) << damaged;
        }
    }
    void openingTellsWhatIsWrong() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QTemporaryDir dir;
        MonitorDB db;
        const QString error = errorOf([&] {
            db.open(bytes == "-" ? dir.filePath(u"missing.mdb"_s) : writeCopy(dir, bytes));
            polls(db, 1);
            polls(db, 2);
            db.allNodes();
        });
        QVERIFY2(message.isEmpty() ? error.isEmpty() : error.contains(message), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestJetBackend)
#include "test_jetbackend.moc"
