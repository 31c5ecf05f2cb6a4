#include "SqliteBackend.h"

#include "MonitorQueries.h"
#include "core/Error.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <sqlite3.h>

namespace tarnvue {

namespace {

const QString UnfinishedWrite =
    QStringLiteral("The monitor database has an unfinished write by the poller; it can be read "
                   "once the poller has opened it again.");

// What went wrong, in words for the user where SQLite's own are unclear.
QString sqliteErrorText(int code, const QString& text) {
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        return QStringLiteral("The monitor database is busy: the poller is writing to it. "
                              "Try again in a moment.");
    // A write the poller left unfinished (a hot journal) would have to be
    // rolled back, which a read-only connection may not do: SQLite says so
    // with its extended code, or through the Qt driver with the plain
    // "read-only" code, which a connection that never writes meets for no
    // other reason.
    if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY)
        return UnfinishedWrite;
    return text;
}

QString errorText(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return sqliteErrorText(error.nativeErrorCode().toInt(), text);
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
        // A blob is no number, whatever bytes it holds.
        if (v.isNull() || v.typeId() == QMetaType::QByteArray)
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
    [[noreturn]] void fail() const {
        throw Error(sqliteErrorText(sqlite3_extended_errcode(m_db),
                                    QString::fromUtf8(sqlite3_errmsg(m_db))));
    }

    // The field's value is looked up once; its type and number are then read
    // from it directly (each column call looks the row up again). The value
    // is unprotected, which is safe here: a connection is used by one thread.
    std::optional<double> number(int column) const {
        sqlite3_value* value = sqlite3_column_value(m_statement, column);
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return std::nullopt;
        case SQLITE_INTEGER:
            return static_cast<double>(sqlite3_value_int64(value));
        case SQLITE_FLOAT:
            return sqlite3_value_double(value);
        case SQLITE_BLOB: // no number, whatever bytes it holds
            return std::nullopt;
        default: {
            // Text that holds a number reads as that number, as it would
            // through the driver; anything else is no number.
            const QByteArray text(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                  sqlite3_value_bytes(value));
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

// Opens the file read-only and reads its schema, the way the real
// connection will; returns SQLite's extended result code and its text.
int probe(const QByteArray& name, bool uri, QString* text) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(name.constData(), &db,
                             SQLITE_OPEN_READONLY | (uri ? SQLITE_OPEN_URI : 0), nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 10000);
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        if (db)
            rc = sqlite3_extended_errcode(db);
        *text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_close(db);
    return rc;
}

// A database in write-ahead-log mode says so in its header (format
// versions 2 at offsets 18 and 19).
bool isWalDatabase(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.at(18) == 2 && header.at(19) == 2;
}

// The name the driver opens: the path itself, or an immutable URI for a
// write-ahead-log database that cannot be read the usual way.
QString openName(const QString& path) {
    QString text;
    const int rc = probe(QFile::encodeName(path), false, &text);
    if (rc == SQLITE_OK)
        return path;
    if (rc == SQLITE_READONLY_ROLLBACK)
        throw Error(UnfinishedWrite);
    if ((rc == SQLITE_READONLY_DIRECTORY || (rc & 0xff) == SQLITE_CANTOPEN) &&
        isWalDatabase(path)) {
        // Without the shared-memory file SQLite cannot read the log; when
        // there is no log (nothing is being written) the file alone is the
        // whole database, and an immutable open reads it without any lock
        // or extra file.
        const QFileInfo log(path + QStringLiteral("-wal"));
        const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
        if (!log.exists() || log.size() == 0) {
            const QString uri =
                QString::fromLatin1(
                    QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()) +
                QStringLiteral("?immutable=1");
            if (probe(uri.toUtf8(), true, &text) == SQLITE_OK)
                return uri;
        }
        throw Error(
            QStringLiteral("The monitor database uses write-ahead logging and its "
                           "folder cannot be written: %1. Recent polls are kept in %2, "
                           "which can be read only where SQLite may create %3 beside "
                           "it.")
                .arg(folder, log.fileName(), QFileInfo(path).fileName() + QStringLiteral("-shm")));
    }
    // Anything else is left for the driver to report as it is.
    return path;
}

// A connection of its own for reads on another thread: SQLite's interface
// straight on a read-only handle, with the same busy time-out as the
// program's connection. The handle is opened by the first query, on the
// thread that reads.
class NativeSampleConnection : public SampleConnection {
public:
    NativeSampleConnection(QString name, bool uri) : m_name(std::move(name)), m_uri(uri) {}
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
        // The name is the file's, or an immutable URI (see openName).
        const QByteArray name = m_uri ? m_name.toUtf8() : QFile::encodeName(m_name);
        const int rc = sqlite3_open_v2(
            name.constData(), &db,
            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | (m_uri ? SQLITE_OPEN_URI : 0), nullptr);
        if (rc != SQLITE_OK) {
            const QString text =
                db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close(db);
            throw Error(text);
        }
        sqlite3_busy_timeout(db, 10000);
        m_db = db;
    }

    QString m_name;
    bool m_uri;
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

SqliteBackend::SqliteBackend(const QString& path) : m_connectionName(newConnectionName()) {
    const QString name = openName(path);
    // Connections for parallel reads open the same way as this one.
    m_name = name;
    m_uri = name != path;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(name);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000") +
                         (name == path ? QString() : QStringLiteral(";QSQLITE_OPEN_URI")));
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
    return std::make_unique<NativeSampleConnection>(m_name, m_uri);
}

} // namespace tarnvue
