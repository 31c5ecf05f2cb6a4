#include "DemoData.h"
#include "TestEnvironment.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QFile>
#include <QtTest>

using namespace tarnvue;

namespace {

// Two nodes over the last 3 days, two over the last day, up to 12:00.
DemoOptions smallRun(const QString& path) {
    DemoOptions options;
    options.path = path;
    options.days = 3;
    options.recentDays = 1;
    options.coreNodes = 2;
    options.nodes = 4;
    options.seed = 7;
    options.end = QDateTime(QDate(2026, 11, 2), QTime(12, 0));
    return options;
}

QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDemoData : public QObject {
    Q_OBJECT

    test::ProgramDirScope m_dir;

private slots:
    void cleanup() { MonitorDB::release(); }

    void pollsLookLikeAPollersPolls() {
        const DemoSummary summary = writeDemoDatabase(smallRun(MonitorDB::databasePath()));
        // One poll a minute; both ends count.
        const qint64 core = 3 * 1440 + 1;
        QCOMPARE(summary.rows, 2 * core + 2 * (1440 + 1));
        MonitorDB& db = MonitorDB::shared();
        db.open();

        const double end = DateValue::fromDateTime(QDate(2026, 11, 2), QTime(12, 0));
        auto samples = db.samples(1, 0, end + 1);
        double previous = end - 3 - 1.0 / 1440; // a minute before the first poll
        int rows = 0;
        int dropped = 0;
        for (Sample s; samples->next(s); ++rows, previous = *s.time) {
            QCOMPARE(qRound((*s.time - previous) * 86400), 60);
            QVERIFY(*s.loss >= 0 && *s.loss <= 100);
            if (*s.response < 0) {
                ++dropped;
                QCOMPARE(*s.loss, 100.0);
            } else {
                QVERIFY(*s.min <= *s.response && *s.response <= *s.max);
            }
        }
        QCOMPARE(rows, core);
        QCOMPARE(previous, end);
        QVERIFY(dropped < rows / 10);
    }

    // Without --force an existing file is kept; a failed run leaves nothing.
    void existingFileIsKeptWithoutForce() {
        const QString path = m_dir.file(QStringLiteral("keep.cfg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("precious"));
        file.close();
        QVERIFY_THROWS_EXCEPTION(Error, writeDemoDatabase(smallRun(path)));
        QCOMPARE(bytes(path), QByteArray("precious"));
        DemoOptions bad = smallRun(m_dir.file(QStringLiteral("bad.cfg")));
        bad.nodes = 0;
        QVERIFY_THROWS_EXCEPTION(Error, writeDemoDatabase(bad));
        QCOMPARE(QDir(m_dir.path()).entryList({"keep*", "bad*"}), QStringList{"keep.cfg"});
    }

    void templateHasTheSchemaAndNoRows() {
        const test::ProgramDirScope dir;
        DemoOptions options;
        options.path = MonitorDB::databasePath();
        options.empty = true;
        QCOMPARE(writeDemoDatabase(options).rows, 0);
        MonitorDB::shared().open();
        QVERIFY(MonitorDB::shared().allNodes()->atEnd());
        Sample s;
        QVERIFY(!MonitorDB::shared().samples(1, 0, 100000)->next(s));
    }
};

QTEST_GUILESS_MAIN(TestDemoData)
#include "test_demodata.moc"
