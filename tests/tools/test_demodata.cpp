#include "DemoData.h"
#include "TestEnvironment.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtTest>

using namespace tarnvue;

namespace {

DemoOptions smallRun(const QString& path, std::uint64_t seed) {
    DemoOptions options;
    options.path = path;
    options.days = 3;
    options.recentDays = 1;
    options.coreNodes = 2;
    options.nodes = 4;
    options.seed = seed;
    options.end = QDateTime(QDate(2026, 11, 2), QTime(12, 0));
    return options;
}

QByteArray digest(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestDemoData : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::release(); }

    void pollsLookLikeAPollersPolls() {
        const test::ProgramDirScope dir;
        const DemoSummary summary = writeDemoDatabase(smallRun(MonitorDB::databasePath(), 7));
        // Two nodes over the last 3 days, two over the last day; both ends count.
        const qint64 core = 3 * 1440 + 1;
        QCOMPARE(summary.rows, 2 * core + 2 * (1440 + 1));

        MonitorDB& db = MonitorDB::shared();
        db.open();
        int nodes = 0;
        for (auto all = db.allNodes(); !all->atEnd(); all->moveNext()) {
            ++nodes;
            QVERIFY(!all->text(QStringLiteral("Node Name")).isEmpty());
            QVERIFY(all->text(QStringLiteral("IP Address")).startsWith(QStringLiteral("10.0.")));
        }
        QCOMPARE(nodes, 4);

        const double end = DateValue::fromDateTime(QDate(2026, 11, 2), QTime(12, 0));
        auto samples = db.samples(1, 0, end + 1);
        Sample s;
        double previous = -1;
        int rows = 0;
        int dropped = 0;
        while (samples->next(s)) {
            ++rows;
            if (previous >= 0)
                QCOMPARE(qRound((*s.time - previous) * 1440 * 60), 60);
            previous = *s.time;
            const double loss = *s.loss;
            QVERIFY(loss >= 0 && loss <= 100);
            if (*s.response < 0) {
                ++dropped;
                QCOMPARE(loss, 100.0);
            } else {
                QVERIFY(*s.min <= *s.response);
                QVERIFY(*s.response <= *s.max);
            }
        }
        QCOMPARE(rows, core);
        QCOMPARE(previous, end);
        QVERIFY(dropped < rows / 10);
    }

    void sameSeedSameDatabase() {
        const test::ProgramDirScope dir;
        writeDemoDatabase(smallRun(dir.file(QStringLiteral("a.cfg")), 7));
        writeDemoDatabase(smallRun(dir.file(QStringLiteral("b.cfg")), 7));
        writeDemoDatabase(smallRun(dir.file(QStringLiteral("c.cfg")), 8));
        QCOMPARE(digest(dir.file(QStringLiteral("a.cfg"))),
                 digest(dir.file(QStringLiteral("b.cfg"))));
        QVERIFY(digest(dir.file(QStringLiteral("a.cfg"))) !=
                digest(dir.file(QStringLiteral("c.cfg"))));
    }

    void existingFileIsKeptWithoutForce() {
        const test::ProgramDirScope dir;
        const QString path = dir.file(QStringLiteral("keep.cfg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("precious");
        file.close();
        QVERIFY_THROWS_EXCEPTION(Error, writeDemoDatabase(smallRun(path, 1)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("precious"));
        QVERIFY(!QFile::exists(path + QStringLiteral(".partial")));

        DemoOptions bad = smallRun(dir.file(QStringLiteral("bad.cfg")), 1);
        bad.nodes = 0;
        QVERIFY_THROWS_EXCEPTION(Error, writeDemoDatabase(bad));
        QVERIFY(!QFile::exists(bad.path));
    }

    void templateHasTheSchemaAndNoRows() {
        const test::ProgramDirScope dir;
        DemoOptions options;
        options.path = MonitorDB::databasePath();
        options.empty = true;
        QCOMPARE(writeDemoDatabase(options).rows, 0);
        MonitorDB& db = MonitorDB::shared();
        db.open();
        QVERIFY(db.allNodes()->atEnd());
        Sample s;
        QVERIFY(!db.samples(1, 0, 100000)->next(s));
    }
};

QTEST_GUILESS_MAIN(TestDemoData)
#include "test_demodata.moc"
