#include "TestDatabase.h"

#include "MonitorSchema.h"
#include "core/Error.h"
#include "monitordb/RecordSet.h"

#include <QFile>
#include <QtTest>
#include <sqlite3.h>
#include <stdexcept>

namespace tarnvue::test {

using namespace Qt::StringLiterals;

TestDatabase::TestDatabase(const QString& path) {
    QFile::remove(path);
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK)
        throw std::runtime_error("cannot create test database");
    exec(MonitorSchemaSql);
    exec("BEGIN");
}

TestDatabase::~TestDatabase() {
    exec("COMMIT");
    sqlite3_close(m_db);
}

void TestDatabase::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "error";
        sqlite3_free(message);
        throw std::runtime_error(text);
    }
}

void TestDatabase::insert(const char* sql, const QVariantList& values) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
    // A value left unbound is a null; the columns' affinity keeps whole
    // numbers whole.
    for (int i = 0; i < values.size(); ++i) {
        if (values.at(i).typeId() == QMetaType::QString)
            sqlite3_bind_text(statement, i + 1, values.at(i).toString().toUtf8().constData(), -1,
                              SQLITE_TRANSIENT);
        else if (values.at(i).typeId() == QMetaType::QByteArray)
            sqlite3_bind_blob(statement, i + 1, values.at(i).toByteArray().constData(),
                              int(values.at(i).toByteArray().size()), SQLITE_TRANSIENT);
        else if (!values.at(i).isNull())
            sqlite3_bind_double(statement, i + 1, values.at(i).toDouble());
    }
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(m_db));
}

void TestDatabase::addNode(const QVariant& id, const QVariant& name, const QVariant& address) {
    insert("INSERT INTO Nodes VALUES (?, ?, ?)", {id, name, address});
}

void TestDatabase::addSample(std::int32_t nodeId, const QVariant& time, const QVariant& response,
                             const QVariant& min, const QVariant& max, const QVariant& loss) {
    insert("INSERT INTO ResponseTime VALUES (?, ?, ?, ?, ?, ?)",
           {nodeId, time, response, min, max, loss});
}

void writeDatabase(const QString& path, const Rows& nodes, const Rows& samples) {
    TestDatabase db(path);
    for (const QVariantList& row : nodes)
        db.addNode(row.value(0), row.value(1), row.value(2));
    for (const QVariantList& row : samples)
        db.addSample(row.value(0).toInt(), row.value(1), row.value(2), row.value(3), row.value(4),
                     row.value(5));
}

Rows fixtureNodes() {
    return {{1, u"router1"_s, u"10.0.0.1"_s},    {2, u"core-switch"_s, u"10.0.0.2"_s},
            {3, QVariant(), u"10.0.0.3"_s},      {4, u"no-address"_s, QVariant()},
            {5, u"twin-a"_s, u"10.0.0.9"_s},     {6, u"twin-b"_s, u"10.0.0.9"_s},
            {7, u"Büro PC"_s, u"192.168.1.20"_s}};
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.description().isEmpty() ? u"(no description)"_s : e.description();
    }
    return QString();
}

QStringList sampleTexts(SampleReader& reader) {
    const auto text = [](const std::optional<double>& v) {
        return v ? QString::number(*v, 'g', 17) : u"-"_s;
    };
    QStringList rows;
    for (Sample s; reader.next(s);)
        rows << QStringList{text(s.time), text(s.response), text(s.min), text(s.max), text(s.loss)}
                    .join(QLatin1Char(' '));
    return rows;
}

void execSql(const QString& path, const QByteArray& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE_EQ(rc, SQLITE_OK);
}

} // namespace tarnvue::test
