#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

namespace tarnvue::test {

// Builds a small monitor database with the program's schema, row by row, for
// one test. Values are QVariants so that a test can store nulls, text
// (QString) and blobs (QByteArray).
class TestDatabase {
public:
    enum class Mode { Create, Append };
    // Create replaces the file with an empty database; Append adds rows to
    // one that exists, as the poller does.
    explicit TestDatabase(const QString& path, Mode mode = Mode::Create);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    void addNode(const QVariant& id, const QVariant& name, const QVariant& address);
    void addSample(std::int32_t nodeId, const QVariant& time, const QVariant& response,
                   const QVariant& min, const QVariant& max, const QVariant& loss);
    // Finishes writing; the file is complete afterwards.
    void close();

    // Runs a statement of the test's own (an update, say).
    void exec(const char* sql);

private:
    void bind(int index, const QVariant& value);

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};

// Runs one statement on an existing database file, as the poller writing
// beside a running program would; fails the test when it fails.
void execSql(const QString& path, const QByteArray& sql);

} // namespace tarnvue::test
