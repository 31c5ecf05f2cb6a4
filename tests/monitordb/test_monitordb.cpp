#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/UserSettings.h"
#include "monitordb/DatabaseFormat.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/MonitorQueries.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <unistd.h>

using namespace tarnvue;

namespace {

const double Day = 46327.0; // 2026-11-01
const double Minute = 1.0 / 1440.0;

// Nodes as the poller stores them, with a shared address, a null name and a
// null address among them.
void addNodes(test::TestDatabase& db) {
    db.addNode(1, QStringLiteral("router1"), QStringLiteral("10.0.0.1"));
    db.addNode(2, QStringLiteral("core-switch"), QStringLiteral("10.0.0.2"));
    db.addNode(3, QVariant(), QStringLiteral("10.0.0.3"));
    db.addNode(4, QStringLiteral("no-address"), QVariant());
    db.addNode(6, QStringLiteral("twin-b"), QStringLiteral("10.0.0.9"));
    db.addNode(5, QStringLiteral("twin-a"), QStringLiteral("10.0.0.9"));
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.description();
    }
    return QString();
}

} // namespace

class TestMonitorDB : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::release(); }

    void queryTexts() {
        QCOMPARE(MonitorQueries::nodeById(12),
                 QStringLiteral("Select * From Nodes Where [Node ID] = 12"));
        QCOMPARE(MonitorQueries::allNodes(), QStringLiteral("Select * From Nodes"));
        QCOMPARE(MonitorQueries::samples(5, 46000.25, 46001),
                 QStringLiteral("Select * From ResponseTime Where [Node ID] = 5 AND Time >= "
                                "46000.25 AND Time <= 46001 Order By Time"));
        QCOMPARE(MonitorQueries::nodeByAddress(),
                 QStringLiteral("Select [Node ID] from Nodes Where [IP Address] = ?"));
        // PostgreSQL folds bare names to lower case: every table and column
        // name is quoted, and the parameter numbered.
        QCOMPARE(MonitorQueries::postgresText(MonitorQueries::nodeByAddress()),
                 QStringLiteral("Select \"Node ID\" from \"Nodes\" Where \"IP Address\" = $1"));
        QCOMPARE(MonitorQueries::postgresText(MonitorQueries::samples(5, 46000.25, 1e+300)),
                 QStringLiteral("Select * From \"ResponseTime\" Where \"Node ID\" = 5 AND \"Time\" "
                                ">= 46000.25 AND \"Time\" <= 1e+300 Order By \"Time\""));
    }

    void findNodeByAddress() {
        const test::ProgramDirScope dir;
        {
            test::TestDatabase db(MonitorDB::databasePath());
            addNodes(db);
        }
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.2")), 2);
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.77")), 0);
        // Exact text: no trimming or prefix matching happens here.
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.2 ")), 0);
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0")), 0);
        // The first stored record wins when two nodes share an address.
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.9")), 6);
    }

    void addressWithQuotesFindsNoNode_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("always-true condition") << QStringLiteral("1\" OR \"1\"=\"1");
        QTest::newRow("single quotes") << QStringLiteral("1' OR '1'='1");
        QTest::newRow("statement break") << QStringLiteral("x\"; DROP TABLE Nodes; --");
        QTest::newRow("lone quote") << QStringLiteral("\"");
    }
    void addressWithQuotesFindsNoNode() {
        QFETCH(QString, address);
        const test::ProgramDirScope dir;
        {
            test::TestDatabase db(MonitorDB::databasePath());
            addNodes(db);
        }
        QCOMPARE(FindNodeByAddress(address), 0);
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.1")), 1);
    }

    void nodeRecords() {
        const test::ProgramDirScope dir;
        {
            test::TestDatabase db(MonitorDB::databasePath());
            addNodes(db);
        }
        MonitorDB& db = MonitorDB::shared();
        db.open();

        auto node = db.nodeById(3);
        QVERIFY(!node->atEnd());
        QCOMPARE(node->text(QStringLiteral("Node Name")), QString());
        QCOMPARE(node->text(QStringLiteral("IP Address")), QStringLiteral("10.0.0.3"));
        node = db.nodeById(4);
        QCOMPARE(node->text(QStringLiteral("IP Address")), QString());

        // A missing node has no first record: reading it fails.
        const auto missing = db.nodeById(99);
        QVERIFY(missing->atEnd());
        QVERIFY(!errorOf([&] { missing->text(QStringLiteral("Node Name")); }).isEmpty());

        QStringList names;
        QList<int> ids;
        for (auto all = db.allNodes(); !all->atEnd(); all->moveNext()) {
            names << all->text(QStringLiteral("Node Name"));
            ids << all->int32(QStringLiteral("Node ID"));
        }
        QCOMPARE(ids, (QList<int>{1, 2, 3, 4, 6, 5}));
        QCOMPARE(names.at(2), QString());
        QCOMPARE(names.at(5), QStringLiteral("twin-a"));
    }

    void samplesAreInclusiveAndInTimeOrder() {
        const test::ProgramDirScope dir;
        {
            test::TestDatabase db(MonitorDB::databasePath());
            addNodes(db);
            // Stored out of order, with two polls at the same time, a poll of
            // another node, and polls just outside the span.
            db.addSample(1, Day + 10 * Minute, 30, 28, 35, 0);
            db.addSample(1, Day - Minute, 99, 99, 99, 0);
            db.addSample(1, Day, 10, 9, 12, 0);
            db.addSample(2, Day + 5 * Minute, 50, 50, 50, 0);
            db.addSample(1, Day + 5 * Minute, 21, 20, 22, 25);
            db.addSample(1, Day + 5 * Minute, 22, 20, 22, 50);
            db.addSample(1, Day + 60 * Minute, 40, 40, 40, 0);
            db.addSample(1, Day + 61 * Minute, 98, 98, 98, 0);
            db.addSample(1, Day + 20 * Minute, QVariant(), QVariant(), 7, QVariant());
        }
        MonitorDB& db = MonitorDB::shared();
        db.open();
        auto samples = db.samples(1, Day, Day + 60 * Minute);
        QList<double> times;
        QList<double> responses;
        Sample s;
        while (samples->next(s)) {
            times << qRound((*s.time - Day) * 1440);
            responses << s.response.value_or(-999);
            if (qRound((*s.time - Day) * 1440) == 20) {
                QVERIFY(!s.min.has_value());
                QCOMPARE(s.max.value_or(0), 7.0);
                QVERIFY(!s.loss.has_value());
            }
        }
        QCOMPARE(times, (QList<double>{0, 5, 5, 10, 20, 60}));

        // A span that begins and ends on polls' own times takes those polls,
        // although the time is no short decimal.
        auto exact = db.samples(1, Day + 5 * Minute, Day + 5 * Minute);
        int count = 0;
        while (exact->next(s))
            ++count;
        QCOMPARE(count, 2);
        // Equal times keep the order they were stored in.
        QCOMPARE(responses, (QList<double>{10, 21, 22, 30, -999, 40}));
    }

    void templateIsCopiedWhenTheDatabaseIsMissing() {
        const test::ProgramDirScope dir;
        dir.installTemplate();
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
        EnsureMonitorDatabase();
        QVERIFY(QFile::exists(MonitorDB::databasePath()));
        MonitorDB::shared().open();
        QVERIFY(MonitorDB::shared().allNodes()->atEnd());

        // An existing database is never replaced by the template.
        MonitorDB::release();
        QFile::remove(MonitorDB::databasePath());
        {
            test::TestDatabase db(MonitorDB::databasePath());
            addNodes(db);
        }
        EnsureMonitorDatabase();
        MonitorDB::shared().open();
        QVERIFY(!MonitorDB::shared().allNodes()->atEnd());
    }

    void missingDatabaseAndTemplate() {
        const test::ProgramDirScope dir;
        EnsureMonitorDatabase(); // nothing to copy: quietly does nothing
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
        QVERIFY(
            errorOf([] { MonitorDB::shared().open(); }).contains(QStringLiteral("Pollwatch.cfg")));
        // Looking a node up never creates the database.
        QVERIFY(!errorOf([] { FindNodeByAddress(QStringLiteral("10.0.0.1")); }).isEmpty());
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
    }

    // Which database is taken when several places hold one, and that the
    // template is copied only when none does.
    void databaseSearchOrder_data() {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QString>("found");
        const QStringList all{"program", "variable", "chosen"};
        QTest::newRow("the program folder wins") << all << all << QStringLiteral("program");
        QTest::newRow("the variable before the chosen database")
            << QStringList{"variable", "chosen"} << all << QStringLiteral("variable");
        QTest::newRow("chosen when the variable names no file")
            << QStringList{"chosen"} << all << QStringLiteral("chosen");
        QTest::newRow("chosen when the variable is unset")
            << QStringList{"chosen"} << QStringList{"chosen"} << QStringLiteral("chosen");
        QTest::newRow("none: the template is copied") << QStringList{} << all << QString();
    }

    void databaseSearchOrder() {
        QFETCH(QStringList, present);
        QFETCH(QStringList, named);
        QFETCH(QString, found);
        const test::ProgramDirScope dir;
        dir.installTemplate();
        QTemporaryDir elsewhere;
        const QMap<QString, QString> paths{{"program", MonitorDB::databasePath()},
                                           {"variable", elsewhere.filePath("variable.cfg")},
                                           {"chosen", elsewhere.filePath("chosen.cfg")}};
        for (const QString& place : present)
            test::TestDatabase db(paths[place]);
        if (named.contains("variable"))
            qputenv("TARNVUE_DATABASE", QFile::encodeName(paths["variable"]));
        if (named.contains("chosen"))
            UserSettings().setChosenDatabase(paths["chosen"]);

        if (found.isEmpty()) {
            const QString error = errorOf([] { MonitorDB::shared().open(); });
            for (const QString& place : {paths["program"], paths["variable"], paths["chosen"]})
                QVERIFY2(error.contains(place), qPrintable(error));
        }
        EnsureMonitorDatabase();
        QCOMPARE(findMonitorDatabase().path, paths.value(found, paths["program"]));
        QCOMPARE(QFile::exists(paths["program"]), found.isEmpty() || found == "program");
    }

    void formatsByHeader() {
        const test::ProgramDirScope dir;
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile file(dir.file(name));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return dir.file(name);
        };
        QByteArray jet(64, '\0');
        jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
        QCOMPARE(detectDatabaseFormat(write(QStringLiteral("jet3"), jet)), DatabaseFormat::Jet3);
        jet[20] = 1;
        QCOMPARE(detectDatabaseFormat(write(QStringLiteral("jet4"), jet)), DatabaseFormat::Jet4);
        jet.replace(4, 15, "Standard ACE DB");
        jet[20] = 2;
        QCOMPARE(detectDatabaseFormat(write(QStringLiteral("ace"), jet)), DatabaseFormat::Ace);
        QCOMPARE(detectDatabaseFormat(write(QStringLiteral("empty"), {})), DatabaseFormat::Empty);
        QCOMPARE(detectDatabaseFormat(write(QStringLiteral("text"), "Node ID,Time\n1,2\n")),
                 DatabaseFormat::Unknown);
        QCOMPARE(detectDatabaseFormat(dir.file(QStringLiteral("none"))), DatabaseFormat::Missing);
        QCOMPARE(detectDatabaseFormat(test::fixturePath(QStringLiteral("jet/pollwatch-small.mdb"))),
                 DatabaseFormat::Jet4);
        { test::TestDatabase db(dir.file(QStringLiteral("real.db"))); }
        QCOMPARE(detectDatabaseFormat(dir.file(QStringLiteral("real.db"))), DatabaseFormat::SQLite);
    }

    void foreignFilesGetAClearError_data() {
        QTest::addColumn<QByteArray>("engine");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("named");
        QTest::newRow("Access 97")
            << QByteArray("Standard Jet DB") << 0 << QStringLiteral("Access (Jet 3) database");
        QTest::newRow("Access 2007")
            << QByteArray("Standard ACE DB") << 2 << QStringLiteral("Access (ACE) database");
    }
    void foreignFilesGetAClearError() {
        QFETCH(QByteArray, engine);
        QFETCH(int, version);
        QFETCH(QString, named);
        const test::ProgramDirScope dir;
        // Jet 4 files are read; the older and newer Access formats are not.
        QVERIFY(QFile::copy(test::fixturePath(QStringLiteral("jet/pollwatch-small.mdb")),
                            MonitorDB::databasePath()));
        QCOMPARE(errorOf([] { MonitorDB::shared().open(); }), QString());
        QVERIFY(MonitorDB::shared().isOpen());
        QCOMPARE(FindNodeByAddress(QStringLiteral("10.0.0.2")), 2);
        MonitorDB::release();

        QFile::remove(MonitorDB::databasePath());
        QByteArray header(4096 * 4, '\0');
        header.replace(0, 4, QByteArray("\x00\x01\x00\x00", 4));
        header.replace(4, 15, engine);
        header[20] = char(version);
        QFile access(MonitorDB::databasePath());
        QVERIFY(access.open(QIODevice::WriteOnly));
        access.write(header);
        access.close();
        const QString accessError = errorOf([] { MonitorDB::shared().open(); });
        QVERIFY2(accessError.contains(named), qPrintable(accessError));
        QVERIFY2(accessError.contains(QStringLiteral("not supported")), qPrintable(accessError));
        QVERIFY(!MonitorDB::shared().isOpen());

        QFile::remove(MonitorDB::databasePath());
        QFile text(MonitorDB::databasePath());
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("this is not a database");
        text.close();
        const QString unknown = errorOf([] { MonitorDB::shared().open(); });
        QVERIFY2(unknown.contains(QStringLiteral("not a monitor database")), qPrintable(unknown));
    }

    void longScansReportProgress() {
        const test::ProgramDirScope dir;
        QVERIFY(QFile::copy(test::fixturePath(QStringLiteral("jet/pollwatch-small.mdb")),
                            MonitorDB::databasePath()));
        MonitorDB& db = MonitorDB::shared();
        db.open();
        qint64 lastDone = -1;
        qint64 lastTotal = -1;
        MonitorDB::setScanProgress([&](qint64 done, qint64 total) {
            lastDone = done;
            lastTotal = total;
            return true;
        });
        Sample s;
        auto rows = db.samples(1, 0, 100000);
        QVERIFY(rows->next(s));
        QVERIFY(lastTotal > 0);
        QCOMPARE(lastDone, lastTotal);
        // Cancelled from the listener: the query fails instead of lying.
        MonitorDB::setScanProgress([](qint64, qint64) { return false; });
        QVERIFY(!errorOf([&] { db.samples(1, 0, 100000); }).isEmpty());
        MonitorDB::setScanProgress({});
        QVERIFY(db.samples(2, 0, 100000)->next(s));
    }

    // A database left as a writer left it is read without changing it, or
    // refused with a message saying what it is.
    void leftoverWritesGetAClearMessage_data() {
        QTest::addColumn<QString>("leftover");
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<QString>("message"); // empty: readable
        QTest::newRow("hot journal") << "journal" << true
                                     << "The monitor database has an unfinished write by the "
                                        "poller; it can be read once the poller has opened it "
                                        "again.";
        QTest::newRow("WAL without log, folder not writable") << "wal" << false << "";
        QTest::newRow("WAL with a log, folder not writable")
            << "wal log" << false
            << "The monitor database uses write-ahead logging and its folder cannot be written: ";
    }
    void leftoverWritesGetAClearMessage() {
        QFETCH(QString, leftover);
        QFETCH(bool, folderWritable);
        QFETCH(QString, message);
        if (!folderWritable && ::geteuid() == 0)
            QSKIP("root can write into any folder, so an unwritable folder cannot be provoked");
        QTemporaryDir work;
        QTemporaryDir copyDir;
        const QString path = work.filePath(QStringLiteral("Pollwatch.cfg"));
        {
            test::TestDatabase db(path);
            addNodes(db);
            for (int i = 0; i < 3000; ++i)
                db.addSample(1, Day + i * Minute, 10, 9, 12, 0);
        }
        // A writer caught in the middle: its files copied while it writes.
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &writer), SQLITE_OK);
        const auto exec = [&](const char* sql) {
            QCOMPARE(sqlite3_exec(writer, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        };
        if (leftover == QLatin1String("journal"))
            exec("PRAGMA cache_size=1; BEGIN; UPDATE ResponseTime SET Loss = 1;");
        else
            exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
        if (leftover == QLatin1String("wal log"))
            exec("UPDATE ResponseTime SET Loss = 1;");
        const QString copy = copyDir.filePath(QStringLiteral("Pollwatch.cfg"));
        for (const QString suffix : {"", "-journal", "-wal"}) {
            if (QFile::exists(path + suffix) && QFileInfo(path + suffix).size() > 0)
                QVERIFY(QFile::copy(path + suffix, copy + suffix));
        }
        sqlite3_close(writer);
        QVERIFY(QFile::exists(copy + (leftover == QLatin1String("journal") ? "-journal" : "")));
        if (!folderWritable)
            QVERIFY(QFile::setPermissions(copyDir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const auto files = [&] {
            QStringList state;
            for (const QFileInfo& f : QDir(copyDir.path()).entryInfoList(QDir::Files))
                state << f.fileName() + QString::number(f.size()) + f.lastModified().toString();
            return state;
        };
        const QStringList before = files();

        MonitorDB db;
        const QString error = errorOf([&] {
            db.open(copy);
            QVERIFY(!db.allNodes()->atEnd());
        });
        QFile::setPermissions(copyDir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(error.startsWith(message) && error.isEmpty() == message.isEmpty(),
                 qPrintable(error));
        db.close();
        QCOMPARE(files(), before);
    }

    void databaseIsOpenedReadOnly() {
        const test::ProgramDirScope dir;
        {
            test::TestDatabase db(MonitorDB::databasePath());
            addNodes(db);
        }
        const QByteArray before = [&] {
            QFile f(MonitorDB::databasePath());
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        MonitorDB::shared().open();
        for (auto all = MonitorDB::shared().allNodes(); !all->atEnd(); all->moveNext()) {
        }
        MonitorDB::release();
        QFile f(MonitorDB::databasePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(TestMonitorDB)
#include "test_monitordb.moc"
