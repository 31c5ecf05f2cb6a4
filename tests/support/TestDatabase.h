#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>

struct sqlite3;
namespace tarnvue {
class SampleReader;
}

namespace tarnvue::test {

// Rows of a table, each a list of its columns' values: nulls, text (QString),
// blobs (QByteArray) and numbers.
using Rows = QList<QVariantList>;

// Builds a small monitor database with the program's schema, row by row, for
// one test. It replaces the file; the file is complete once the builder goes.
class TestDatabase {
public:
    explicit TestDatabase(const QString& path);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    void addNode(const QVariant& id, const QVariant& name, const QVariant& address);
    void addSample(std::int32_t nodeId, const QVariant& time, const QVariant& response,
                   const QVariant& min, const QVariant& max, const QVariant& loss);

private:
    void exec(const char* sql);
    void insert(const char* sql, const QVariantList& values);

    sqlite3* m_db = nullptr;
};

// Writes a fresh monitor database holding these Nodes rows (identifier, name,
// address) and ResponseTime rows (node, time, response, min, max, loss), in
// this stored order.
void writeDatabase(const QString& path, const Rows& nodes, const Rows& samples = {});

// The Nodes rows of the Access fixtures, in their stored order: a null name, a
// null address, two nodes that share an address and a name that is not ASCII.
Rows fixtureNodes();

// The description of the Error the action throws ("(no description)" for an
// empty one); empty when it throws none.
QString errorOf(const std::function<void()>& action);

// Every row the reader gives, each as "time response min max loss" with every
// number exact ("-" for a null).
QStringList sampleTexts(SampleReader& reader);

// Runs one statement on an existing database file, as the poller writing
// beside a running program would; fails the test when it fails.
void execSql(const QString& path, const QByteArray& sql);

} // namespace tarnvue::test
