#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "core/Error.h"
#include "core/UserSettings.h"
#include "monitordb/MonitorDB.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace tarnvue;
using namespace Qt::StringLiterals;
using test::errorOf;

class TestMonitorDB : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { MonitorDB::release(); }

    // Every backend answers the node queries alike, from the nodes as they
    // are stored: null names and addresses, an address shared by two nodes
    // (the first stored wins), exact matches only, and quotes taken as text.
    void nodeQueries_data() {
        QTest::addColumn<QString>("fixture"); // empty: SQLite
        QTest::addColumn<QList<int>>("stored");
        const QList<int> fixtureOrder{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("SQLite") << QString() << QList<int>{7, 6, 5, 4, 3, 2, 1};
        QTest::newRow("Access") << u"pollwatch-small.mdb"_s << fixtureOrder;
        QTest::newRow("Access, 16-bit Node ID") << u"pollwatch-int16-id.mdb"_s << fixtureOrder;
    }
    void nodeQueries() {
        QFETCH(QString, fixture);
        QFETCH(QList<int>, stored);
        const test::ProgramDirScope dir;
        const test::Rows nodes = test::fixtureNodes();
        if (fixture.isEmpty()) {
            test::Rows rows;
            for (const int id : stored)
                rows << nodes.at(id - 1);
            test::writeDatabase(MonitorDB::databasePath(), rows);
        } else {
            QVERIFY(QFile::copy(test::fixturePath(u"jet/"_s + fixture), MonitorDB::databasePath()));
        }
        MonitorDB& db = MonitorDB::shared();
        db.open();
        // The program's connection can only read: a write through it fails.
        QCOMPARE(QSqlDatabase::connectionNames().size(), fixture.isEmpty() ? 1 : 0);
        for (const QString& name : QSqlDatabase::connectionNames()) {
            QSqlQuery write(QSqlDatabase::database(name));
            QVERIFY(!write.exec(u"DELETE FROM Nodes"_s));
            QVERIFY2(write.lastError().text().contains(u"readonly"_s), qPrintable(name));
        }

        // Columns are read by name in any letter case.
        QList<int> ids;
        for (auto all = db.allNodes(); !all->atEnd(); all->moveNext())
            ids << all->int32(u"node id"_s);
        QCOMPARE(ids, stored);
        for (const QVariantList& node : nodes) {
            const NodeTitles titles = readNodeTitles(db, node.at(0).toInt());
            QCOMPARE(titles.name + u'|' + titles.address,
                     node.at(1).toString() + u'|' + node.at(2).toString());
        }
        QVERIFY(!errorOf([&] { readNodeTitles(db, 99); }).isEmpty());
        QVERIFY(!errorOf([&] { db.allNodes()->value(u"No Such Column"_s); }).isEmpty());

        QList<int> twins;
        for (auto found = db.nodeByAddress(u"10.0.0.9"_s); !found->atEnd(); found->moveNext())
            twins << found->int32(u"Node ID"_s);
        QCOMPARE(twins,
                 stored.indexOf(5) < stored.indexOf(6) ? QList<int>({5, 6}) : QList<int>({6, 5}));
        MonitorDB::release();
        QCOMPARE(FindNodeByAddress(u"10.0.0.9"_s), twins.first());
        QCOMPARE(FindNodeByAddress(u"192.168.1.20"_s), 7);
        QCOMPARE(FindNodeByAddress(u"10.0.0.3"_s), 3);
        for (const QString& unknown : {u"10.0.0.77"_s, u"10.0.0.2 "_s, u"10.0.0"_s, QString(),
                                       u"1\" OR \"1\"=\"1"_s, u"1' OR '1'='1"_s})
            QVERIFY2(FindNodeByAddress(unknown) == 0, qPrintable(unknown));
    }

    // Which database is taken when several places hold one, that an existing
    // one is never replaced, and that the template is copied only when none
    // exists.
    void databaseSearchOrder_data() {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QString>("found"); // empty: the template
        const QStringList all{"program", "variable", "chosen"};
        QTest::newRow("the program folder wins") << all << all << "program";
        QTest::newRow("the variable before the chosen database")
            << QStringList{"variable", "chosen"} << all << "variable";
        QTest::newRow("chosen when the variable names no file")
            << QStringList{"chosen"} << all << "chosen";
        QTest::newRow("chosen when the variable is unset")
            << QStringList{"chosen"} << QStringList{"chosen"} << "chosen";
        QTest::newRow("none: the template is copied") << QStringList{} << all << "";
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
        // Each database holds one node named after its place.
        for (const QString& place : present)
            test::writeDatabase(paths[place], {{1, place, u"10.0.0.1"_s}});
        if (named.contains("variable"))
            qputenv("TARNVUE_DATABASE", QFile::encodeName(paths["variable"]));
        if (named.contains("chosen"))
            UserSettings().setChosenDatabase(paths["chosen"]);

        if (present.isEmpty()) {
            const QString error = errorOf([] { MonitorDB::shared().open(); });
            for (const QString& place : {paths["program"], paths["variable"], paths["chosen"]})
                QVERIFY2(error.contains(place), qPrintable(error));
            // Looking a node up never creates the database.
            QVERIFY(!errorOf([] { FindNodeByAddress(u"10.0.0.1"_s); }).isEmpty());
        }
        EnsureMonitorDatabase();
        QCOMPARE(QFile::exists(paths["program"]), found.isEmpty() || found == "program");
        MonitorDB::shared().open();
        QCOMPARE(MonitorDB::shared().path(), paths.value(found, paths["program"]));
        const auto nodes = MonitorDB::shared().allNodes();
        QCOMPARE(nodes->atEnd() ? QString() : nodes->text(u"Node Name"_s), found);
    }

    // A copy of the database taken in the middle of a poller's write (the
    // changed pages already in the file, the journal beside it) is refused
    // with a message saying so, and neither file is touched: a connection
    // that could write would roll the write back.
    void unfinishedWriteIsNeitherReadNorUndone() {
        QTemporaryDir work;
        const QString path = work.filePath(u"Pollwatch.cfg"_s);
        test::Rows samples;
        for (int i = 0; i < 3000; ++i)
            samples << QVariantList{1, 46327.0 + i / 1440.0, 10, 9, 12, 0};
        test::writeDatabase(path, test::fixtureNodes(), samples);
        sqlite3* writer = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &writer);
        QCOMPARE(sqlite3_exec(writer,
                              "PRAGMA cache_size=1; BEGIN; UPDATE ResponseTime SET Loss = 1",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QTemporaryDir copyDir;
        const QString copy = copyDir.filePath(u"Pollwatch.cfg"_s);
        QMap<QString, QByteArray> before;
        for (const QString& suffix : {u""_s, u"-journal"_s}) {
            QVERIFY(QFile::copy(path + suffix, copy + suffix));
            QFile file(copy + suffix);
            QVERIFY(file.open(QIODevice::ReadOnly) && file.size() > 0);
            before[suffix] = file.readAll();
        }
        sqlite3_close(writer);
        const QString unfinished = u"The monitor database has an unfinished write by the "
                                   "poller; it can be read once the poller has opened it again."_s;
        MonitorDB db;
        QCOMPARE(errorOf([&] { db.open(copy); }), unfinished);
        // The same write appearing while the database is open.
        QVERIFY(QFile::rename(copy + u"-journal"_s, copy + u".aside"_s));
        db.open(copy);
        const auto parallel = db.sampleConnection();
        QVERIFY(parallel && QFile::rename(copy + u".aside"_s, copy + u"-journal"_s));
        Sample row;
        QCOMPARE(errorOf([&] { db.allNodes(); }), unfinished);
        QCOMPARE(errorOf([&] { db.samples(1, 0, 1e6)->next(row); }), unfinished);
        QCOMPARE(errorOf([&] { parallel->samples(1, 0, 1e6)->next(row); }), unfinished);
        db.close();
        for (const QString& suffix : before.keys()) {
            QFile file(copy + suffix);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before[suffix]);
        }
    }
};

QTEST_GUILESS_MAIN(TestMonitorDB)
#include "test_monitordb.moc"
