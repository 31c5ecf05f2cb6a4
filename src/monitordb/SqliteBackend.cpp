#include "SqliteBackend.h"

#include "MonitorQueries.h"
#include "core/Error.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tarnvue {

namespace {

QString errorText(const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

QSqlQuery runQuery(const QString& connectionName, const QString& text,
                   const QVariantList& bound = {})
{
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
    explicit SqlRecordSet(QSqlQuery query) : m_query(std::move(query))
    {
        m_atEnd = !m_query.next();
    }

    bool atEnd() const override { return m_atEnd; }

    void moveNext() override
    {
        if (m_atEnd)
            throw Error(QStringLiteral("Either BOF or EOF is True, or the current record has "
                                       "been deleted."));
        m_atEnd = !m_query.next();
        if (m_atEnd && m_query.lastError().isValid())
            throw Error(errorText(m_query.lastError()));
    }

    QVariant value(const QString& column) const override
    {
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
    explicit SqlSampleReader(QSqlQuery query) : m_query(std::move(query))
    {
        const QSqlRecord record = m_query.record();
        m_time = column(record, QStringLiteral("Time"));
        m_response = column(record, QStringLiteral("Response"));
        m_min = column(record, QStringLiteral("Min"));
        m_max = column(record, QStringLiteral("Max"));
        m_loss = column(record, QStringLiteral("Loss"));
    }

    bool next(Sample& sample) override
    {
        if (!m_query.next()) {
            if (m_query.lastError().isValid())
                throw Error(errorText(m_query.lastError()));
            return false;
        }
        const QVariant time = m_query.value(m_time);
        if (time.isNull())
            throw Error(QStringLiteral("Invalid use of Null"));
        sample.time = time.toDouble();
        sample.response = number(m_response);
        sample.min = number(m_min);
        sample.max = number(m_max);
        sample.loss = number(m_loss);
        return true;
    }

private:
    static int column(const QSqlRecord& record, const QString& name)
    {
        const int index = record.indexOf(name);
        if (index < 0)
            throw Error(QStringLiteral("The ResponseTime table has no column ") + name);
        return index;
    }

    std::optional<double> number(int index) const
    {
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

QString newConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("tarnvue-monitordb-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

SqliteBackend::SqliteBackend(const QString& path) : m_connectionName(newConnectionName())
{
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

SqliteBackend::~SqliteBackend()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<RecordSet> SqliteBackend::nodeByAddress(const QString& address)
{
    return std::make_unique<SqlRecordSet>(
        runQuery(m_connectionName, MonitorQueries::nodeByAddress(), {address}));
}

std::unique_ptr<RecordSet> SqliteBackend::nodeById(std::int32_t nodeId)
{
    return std::make_unique<SqlRecordSet>(
        runQuery(m_connectionName, MonitorQueries::nodeById(nodeId)));
}

std::unique_ptr<RecordSet> SqliteBackend::allNodes()
{
    return std::make_unique<SqlRecordSet>(runQuery(m_connectionName, MonitorQueries::allNodes()));
}

std::unique_ptr<SampleReader> SqliteBackend::samples(std::int32_t nodeId, double begin,
                                                     double end)
{
    return std::make_unique<SqlSampleReader>(
        runQuery(m_connectionName, MonitorQueries::samples(nodeId, begin, end)));
}

} // namespace tarnvue
