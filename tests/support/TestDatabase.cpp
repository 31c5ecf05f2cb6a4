#include "TestDatabase.h"

#include "MonitorSchema.h"

#include <QFile>
#include <QtTest>
#include <sqlite3.h>
#include <stdexcept>

namespace tarnvue::test {

TestDatabase::TestDatabase(const QString& path, Mode mode) {
    if (mode == Mode::Create)
        QFile::remove(path);
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK)
        throw std::runtime_error("cannot create test database");
    if (mode == Mode::Create)
        exec(MonitorSchemaSql);
    exec("BEGIN");
}

TestDatabase::~TestDatabase() {
    close();
}

void TestDatabase::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "error";
        sqlite3_free(message);
        throw std::runtime_error(text);
    }
}

void TestDatabase::bind(int index, const QVariant& value) {
    if (value.isNull())
        sqlite3_bind_null(m_statement, index);
    else if (value.typeId() == QMetaType::QString)
        sqlite3_bind_text(m_statement, index, value.toString().toUtf8().constData(), -1,
                          SQLITE_TRANSIENT);
    else if (value.typeId() == QMetaType::QByteArray)
        sqlite3_bind_blob(m_statement, index, value.toByteArray().constData(),
                          static_cast<int>(value.toByteArray().size()), SQLITE_TRANSIENT);
    else if (value.typeId() == QMetaType::Double)
        sqlite3_bind_double(m_statement, index, value.toDouble());
    else
        sqlite3_bind_int64(m_statement, index, value.toLongLong());
}

void TestDatabase::addNode(const QVariant& id, const QVariant& name, const QVariant& address) {
    sqlite3_prepare_v2(m_db, "INSERT INTO Nodes VALUES (?, ?, ?)", -1, &m_statement, nullptr);
    bind(1, id);
    bind(2, name);
    bind(3, address);
    const int rc = sqlite3_step(m_statement);
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(m_db));
}

void TestDatabase::addSample(std::int32_t nodeId, const QVariant& time, const QVariant& response,
                             const QVariant& min, const QVariant& max, const QVariant& loss) {
    sqlite3_prepare_v2(m_db, "INSERT INTO ResponseTime VALUES (?, ?, ?, ?, ?, ?)", -1, &m_statement,
                       nullptr);
    bind(1, nodeId);
    bind(2, time);
    bind(3, response);
    bind(4, min);
    bind(5, max);
    bind(6, loss);
    const int rc = sqlite3_step(m_statement);
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(m_db));
}

void TestDatabase::close() {
    if (!m_db)
        return;
    exec("COMMIT");
    sqlite3_close(m_db);
    m_db = nullptr;
}

void execSql(const QString& path, const QByteArray& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE_EQ(rc, SQLITE_OK);
}

} // namespace tarnvue::test
