#include "SqliteBackend.h"

#include "MonitorQueries.h"
#include "core/Error.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>

namespace tarnvue {

namespace {

QString errorText(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

QSqlQuery runQuery(const QString& connectionName, const QString& text,
                   const QVariantList& bound = {}) {
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    if (!query.prepare(text))
        throw Error(errorText(query.lastError()));
    for (const QVariant& value : bound)
        query.addBindValue(value);
    if (!query.exec())
        throw Error(errorText(query.lastError()));
    return query;
}

class SqlRecordSet : public RecordSet {
public:
    explicit SqlRecordSet(QSqlQuery query) : m_query(std::move(query)) {
        m_atEnd = !m_query.next();
    }

    bool atEnd() const override { return m_atEnd; }

    void moveNext() override {
        if (m_atEnd)
            throw Error(QStringLiteral("Either BOF or EOF is True, or the current record has "
                                       "been deleted."));
        m_atEnd = !m_query.next();
        if (m_atEnd && m_query.lastError().isValid())
            throw Error(errorText(m_query.lastError()));
    }

    QVariant value(const QString& column) const override {
        if (m_atEnd)
            throw Error(QStringLiteral("Either BOF or EOF is True, or the current record has "
                                       "been deleted."));
        const int index = m_query.record().indexOf(column);
        if (index < 0)
            throw Error(QStringLiteral("Item cannot be found in the collection corresponding "
                                       "to the requested name or ordinal."));
        return m_query.value(index);
    }

private:
    QSqlQuery m_query;
    bool m_atEnd = true;
};

class SqlSampleReader : public SampleReader {
public:
    explicit SqlSampleReader(QSqlQuery query) : m_query(std::move(query)) {
        const QSqlRecord record = m_query.record();
        m_time = column(record, QStringLiteral("Time"));
        m_response = column(record, QStringLiteral("Response"));
        m_min = column(record, QStringLiteral("Min"));
        m_max = column(record, QStringLiteral("Max"));
        m_loss = column(record, QStringLiteral("Loss"));
    }

    bool next(Sample& sample) override {
        if (!m_query.next()) {
            if (m_query.lastError().isValid())
                throw Error(errorText(m_query.lastError()));
            return false;
        }
        sample.time = number(m_time);
        sample.response = number(m_response);
        sample.min = number(m_min);
        sample.max = number(m_max);
        sample.loss = number(m_loss);
        return true;
    }

private:
    static int column(const QSqlRecord& record, const QString& name) {
        const int index = record.indexOf(name);
        if (index < 0)
            throw Error(QStringLiteral("The ResponseTime table has no column ") + name);
        return index;
    }

    std::optional<double> number(int index) const {
        const QVariant v = m_query.value(index);
        if (v.isNull())
            return std::nullopt;
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return d;
    }

    QSqlQuery m_query;
    int m_time = -1;
    int m_response = -1;
    int m_min = -1;
    int m_max = -1;
    int m_loss = -1;
};

// The samples straight from SQLite's own interface on the connection's
// handle: a chart of a year of one-minute polls reads half a million rows,
// and skipping Qt's per-value variants makes that read much cheaper. Runs the
// same query text.
class NativeSampleReader : public SampleReader {
public:
    NativeSampleReader(sqlite3* db, const QString& text) : m_db(db) {
        const QByteArray sql = text.toUtf8();
        if (sqlite3_prepare_v2(m_db, sql.constData(), static_cast<int>(sql.size()), &m_statement,
                               nullptr) != SQLITE_OK)
            fail();
        for (int i = 0; i < sqlite3_column_count(m_statement); ++i) {
            const QLatin1String name(sqlite3_column_name(m_statement, i));
            if (name == QLatin1String("Time"))
                m_time = i;
            else if (name == QLatin1String("Response"))
                m_response = i;
            else if (name == QLatin1String("Min"))
                m_min = i;
            else if (name == QLatin1String("Max"))
                m_max = i;
            else if (name == QLatin1String("Loss"))
                m_loss = i;
        }
        for (const auto& [index, name] : {std::pair{m_time, "Time"},
                                          {m_response, "Response"},
                                          {m_min, "Min"},
                                          {m_max, "Max"},
                                          {m_loss, "Loss"}}) {
            if (index < 0) {
                sqlite3_finalize(m_statement);
                throw Error(QStringLiteral("The ResponseTime table has no column ") +
                            QLatin1String(name));
            }
        }
    }
    ~NativeSampleReader() override { sqlite3_finalize(m_statement); }
    NativeSampleReader(const NativeSampleReader&) = delete;
    NativeSampleReader& operator=(const NativeSampleReader&) = delete;

    bool next(Sample& sample) override {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_DONE)
            return false;
        if (rc != SQLITE_ROW)
            fail();
        sample.time = number(m_time);
        sample.response = number(m_response);
        sample.min = number(m_min);
        sample.max = number(m_max);
        sample.loss = number(m_loss);
        return true;
    }

private:
    [[noreturn]] void fail() const { throw Error(QString::fromUtf8(sqlite3_errmsg(m_db))); }

    std::optional<double> number(int column) const {
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_NULL:
            return std::nullopt;
        case SQLITE_INTEGER:
            return static_cast<double>(sqlite3_column_int64(m_statement, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_statement, column);
        default: {
            // Text that holds a number reads as that number, as it would
            // through the driver; anything else is no number.
            const QByteArray text(
                reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
                sqlite3_column_bytes(m_statement, column));
            bool ok = false;
            const double value = text.trimmed().toDouble(&ok);
            return ok ? std::optional<double>(value) : std::nullopt;
        }
        }
    }

    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    int m_time = -1;
    int m_response = -1;
    int m_min = -1;
    int m_max = -1;
    int m_loss = -1;
};

// A connection of its own for reads on another thread: SQLite's interface
// straight on a read-only handle, with the same busy time-out as the
// program's connection. The handle is opened by the first query, on the
// thread that reads.
class NativeSampleConnection : public SampleConnection {
public:
    explicit NativeSampleConnection(QString path) : m_path(std::move(path)) {}
    // Closes once the last statement of a reader still alive is finished.
    ~NativeSampleConnection() override { sqlite3_close_v2(m_db); }
    NativeSampleConnection(const NativeSampleConnection&) = delete;
    NativeSampleConnection& operator=(const NativeSampleConnection&) = delete;

    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end) override {
        if (!m_db)
            open();
        return std::make_unique<NativeSampleReader>(m_db,
                                                    MonitorQueries::samples(nodeId, begin, end));
    }

private:
    void open() {
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            const QString text =
                db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close(db);
            throw Error(text);
        }
        sqlite3_busy_timeout(db, 10000);
        m_db = db;
    }

    QString m_path;
    sqlite3* m_db = nullptr;
};

// The connection's sqlite3 handle, when the driver is the system SQLite one.
sqlite3* nativeHandle(const QString& connectionName) {
    const QVariant handle = QSqlDatabase::database(connectionName, false).driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QString newConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("tarnvue-monitordb-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

SqliteBackend::SqliteBackend(const QString& path)
    : m_connectionName(newConnectionName()), m_path(path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        const QString text = errorText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw Error(text);
    }
}

SqliteBackend::~SqliteBackend() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<RecordSet> SqliteBackend::nodeByAddress(const QString& address) {
    return std::make_unique<SqlRecordSet>(
        runQuery(m_connectionName, MonitorQueries::nodeByAddress(), {address}));
}

std::unique_ptr<RecordSet> SqliteBackend::nodeById(std::int32_t nodeId) {
    return std::make_unique<SqlRecordSet>(
        runQuery(m_connectionName, MonitorQueries::nodeById(nodeId)));
}

std::unique_ptr<RecordSet> SqliteBackend::allNodes() {
    return std::make_unique<SqlRecordSet>(runQuery(m_connectionName, MonitorQueries::allNodes()));
}

std::unique_ptr<SampleReader> SqliteBackend::samples(std::int32_t nodeId, double begin,
                                                     double end) {
    const QString text = MonitorQueries::samples(nodeId, begin, end);
    if (sqlite3* handle = nativeHandle(m_connectionName))
        return std::make_unique<NativeSampleReader>(handle, text);
    return std::make_unique<SqlSampleReader>(runQuery(m_connectionName, text));
}

std::unique_ptr<SampleConnection> SqliteBackend::sampleConnection() {
    return std::make_unique<NativeSampleConnection>(m_path);
}

} // namespace tarnvue
