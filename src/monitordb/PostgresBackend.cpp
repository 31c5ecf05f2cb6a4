#include "PostgresBackend.h"

#include "MonitorQueries.h"
#include "PostgresConnection.h"
#include "core/Error.h"

#include <QtEndian>
#include <array>
#include <bit>
#include <cstdlib>
#include <libpq-fe.h>

namespace tarnvue {

namespace {

// Type identifiers of the built-in types (pg_type.oid), fixed since forever.
constexpr Oid BoolOid = 16;
constexpr Oid Int8Oid = 20;
constexpr Oid Int2Oid = 21;
constexpr Oid Int4Oid = 23;
constexpr Oid Float4Oid = 700;
constexpr Oid Float8Oid = 701;
constexpr Oid NumericOid = 1700;

// Rows fetched per round trip to the server.
constexpr int ChunkRows = 10000;

const QString NoCurrentRecord =
    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted.");

// A column's name as PQfnumber wants it: quoted, or it folds it to lower case.
QByteArray quotedColumn(const QString& name) {
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

// A binary numeric value: digit count, weight of the first base-10000 digit,
// sign and display scale, then the digits.
std::optional<double> numericValue(const char* data, int length) {
    if (length < 8)
        return std::nullopt;
    const int count = qFromBigEndian<qint16>(data);
    const int weight = qFromBigEndian<qint16>(data + 2);
    const quint16 sign = qFromBigEndian<quint16>(data + 4);
    if (sign != 0x0000 && sign != 0x4000) // NaN and the infinities
        return std::nullopt;
    if (count < 0 || length < 8 + 2 * count)
        return std::nullopt;
    // "0.dddd...e<exponent>", so that strtod rounds it correctly.
    QByteArray text = sign == 0x4000 ? "-0." : "0.";
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(qFromBigEndian<qint16>(data + 8 + 2 * i)).rightJustified(4, '0');
    text += 'e' + QByteArray::number(4 * (weight + 1));
    return std::strtod(text.constData(), nullptr);
}

// One field of a binary result as a number; a null, or a value of a type
// that holds no number, is empty.
std::optional<double> binaryNumber(const PGresult* result, int row, int column, Oid type) {
    if (column < 0 || PQgetisnull(result, row, column))
        return std::nullopt;
    const char* data = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    switch (type) {
    case Int2Oid:
        return length == 2 ? std::optional<double>(qFromBigEndian<qint16>(data)) : std::nullopt;
    case Int4Oid:
        return length == 4 ? std::optional<double>(qFromBigEndian<qint32>(data)) : std::nullopt;
    case Int8Oid:
        return length == 8
                   ? std::optional<double>(static_cast<double>(qFromBigEndian<qint64>(data)))
                   : std::nullopt;
    case Float4Oid:
        if (length != 4)
            return std::nullopt;
        return static_cast<double>(std::bit_cast<float>(qFromBigEndian<quint32>(data)));
    case Float8Oid:
        if (length != 8)
            return std::nullopt;
        return std::bit_cast<double>(qFromBigEndian<quint64>(data));
    case NumericOid:
        return numericValue(data, length);
    case BoolOid:
        // Yes reads as -1, as the poller's own files store it.
        return length == 1 ? std::optional<double>(data[0] ? -1.0 : 0.0) : std::nullopt;
    default: {
        // Text and its kin arrive as their text: a number in it counts.
        bool ok = false;
        const double value = QByteArray(data, length).trimmed().toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }
    }
}

// The nodes queries' rows, held whole (a few thousand nodes at most), in
// text form.
class PostgresRecordSet : public RecordSet {
public:
    explicit PostgresRecordSet(PGresult* result) : m_result(result) {}
    ~PostgresRecordSet() override { PQclear(m_result); }
    PostgresRecordSet(const PostgresRecordSet&) = delete;
    PostgresRecordSet& operator=(const PostgresRecordSet&) = delete;

    bool atEnd() const override { return m_row >= PQntuples(m_result); }

    void moveNext() override {
        if (atEnd())
            throw Error(NoCurrentRecord);
        ++m_row;
    }

    QVariant value(const QString& column) const override {
        if (atEnd())
            throw Error(NoCurrentRecord);
        const int index = PQfnumber(m_result, quotedColumn(column).constData());
        if (index < 0)
            throw Error(QStringLiteral("Item cannot be found in the collection corresponding "
                                       "to the requested name or ordinal."));
        const Oid type = PQftype(m_result, index);
        const bool isNull = PQgetisnull(m_result, m_row, index);
        const QByteArray text(PQgetvalue(m_result, m_row, index),
                              PQgetlength(m_result, m_row, index));
        switch (type) {
        case Int2Oid:
        case Int4Oid:
        case Int8Oid:
            return isNull ? QVariant(QMetaType(QMetaType::LongLong)) : QVariant(text.toLongLong());
        case Float4Oid:
        case Float8Oid:
        case NumericOid:
            return isNull ? QVariant(QMetaType(QMetaType::Double)) : QVariant(text.toDouble());
        default:
            return isNull ? QVariant(QMetaType(QMetaType::QString))
                          : QVariant(QString::fromUtf8(text));
        }
    }

private:
    PGresult* m_result;
    int m_row = 0;
};

} // namespace

// One samples query as a cursor with binary results, fetched a chunk at a
// time. The cursors of one connection share a read-only transaction that the
// first opens and the last closes.
class PostgresBackend::Cursor : public SampleReader {
public:
    Cursor(PostgresBackend& backend, const QString& query)
        : m_backend(backend),
          m_name("tarnvue_samples_" + QByteArray::number(++backend.m_cursorCounter)) {
        PostgresConnection& connection = *m_backend.m_connection;
        if (m_backend.m_openCursors == 0)
            connection.run("BEGIN READ ONLY");
        ++m_backend.m_openCursors;
        try {
            connection.run("DECLARE " + m_name + " BINARY NO SCROLL CURSOR FOR " + query.toUtf8());
        } catch (...) {
            finish();
            throw;
        }
        m_fetch = "FETCH FORWARD " + QByteArray::number(ChunkRows) + " FROM " + m_name;
    }

    ~Cursor() override {
        PQclear(m_result);
        try {
            finish();
        } catch (const Error&) {
            // A broken connection fails the next query with its own message.
        }
    }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    bool next(Sample& sample) override {
        if (m_row >= m_rows) {
            if (m_done)
                return false;
            fetch();
            if (m_rows == 0)
                return false;
        }
        sample.time = binaryNumber(m_result, m_row, m_columns[0], m_types[0]);
        sample.response = binaryNumber(m_result, m_row, m_columns[1], m_types[1]);
        sample.min = binaryNumber(m_result, m_row, m_columns[2], m_types[2]);
        sample.max = binaryNumber(m_result, m_row, m_columns[3], m_types[3]);
        sample.loss = binaryNumber(m_result, m_row, m_columns[4], m_types[4]);
        ++m_row;
        return true;
    }

private:
    void fetch() {
        PQclear(m_result);
        m_result = nullptr;
        m_result = m_backend.m_connection->exec(m_fetch, {}, 1);
        m_rows = PQntuples(m_result);
        m_row = 0;
        if (m_rows < ChunkRows) {
            m_done = true;
            finish();
        }
        if (!m_columnsKnown) {
            static const std::array<const char*, 5> names{"\"Time\"", "\"Response\"", "\"Min\"",
                                                          "\"Max\"", "\"Loss\""};
            for (std::size_t i = 0; i < names.size(); ++i) {
                m_columns[i] = PQfnumber(m_result, names[i]);
                if (m_columns[i] < 0)
                    throw Error(QStringLiteral("The ResponseTime table has no column ") +
                                QString::fromLatin1(names[i]).remove(QLatin1Char('"')));
                m_types[i] = PQftype(m_result, m_columns[i]);
            }
            m_columnsKnown = true;
        }
    }

    // Closes the cursor, and the transaction with the last one.
    void finish() {
        if (m_finished)
            return;
        m_finished = true;
        PostgresConnection& connection = *m_backend.m_connection;
        const bool last = --m_backend.m_openCursors == 0;
        if (last) {
            connection.run("COMMIT");
        } else if (PQtransactionStatus(connection.handle()) == PQTRANS_INTRANS) {
            connection.run("CLOSE " + m_name);
        }
    }

    PostgresBackend& m_backend;
    QByteArray m_name;
    QByteArray m_fetch;
    PGresult* m_result = nullptr;
    int m_rows = 0;
    int m_row = 0;
    bool m_done = false;
    bool m_finished = false;
    bool m_columnsKnown = false;
    std::array<int, 5> m_columns{};
    std::array<Oid, 5> m_types{};
};

PostgresBackend::PostgresBackend(const QString& uri)
    : m_connection(
          std::make_unique<PostgresConnection>(uri, PostgresConnection::Access::ReadOnly)) {
    // Compiling a plan costs a long chart about a quarter of its time and an
    // index range scan gains nothing from it. Servers before 11 have no such
    // setting, which is fine.
    try {
        m_connection->session("SET jit = off");
    } catch (const Error&) {
    }
    // Say what is missing now, rather than with the first chart.
    PGresult* check = m_connection->exec(
        "SELECT current_schema(), current_setting('search_path'), "
        "to_regclass('\"Nodes\"') IS NOT NULL, to_regclass('\"ResponseTime\"') IS NOT NULL");
    const bool hasSchema = !PQgetisnull(check, 0, 0);
    const QString schema = QString::fromUtf8(PQgetvalue(check, 0, 0));
    const QString searchPath = QString::fromUtf8(PQgetvalue(check, 0, 1));
    const bool hasNodes = *PQgetvalue(check, 0, 2) == 't';
    const bool hasSamples = *PQgetvalue(check, 0, 3) == 't';
    PQclear(check);
    const QString server = m_connection->server();
    if (!hasSchema) {
        const QString named = m_connection->schema().isEmpty()
                                  ? searchPath
                                  : QLatin1Char('"') + m_connection->schema() + QLatin1Char('"');
        throw Error(QStringLiteral("The PostgreSQL server %1 has no schema %2: the monitor "
                                   "database is not there.")
                        .arg(server, named));
    }
    for (const auto& [present, table] :
         {std::pair{hasNodes, "Nodes"}, std::pair{hasSamples, "ResponseTime"}}) {
        if (!present)
            throw Error(QStringLiteral("The PostgreSQL server %1 has no table \"%2\" in schema "
                                       "\"%3\": it holds no monitor database.")
                            .arg(server, QLatin1String(table), schema));
    }
}

PostgresBackend::~PostgresBackend() = default;

std::unique_ptr<RecordSet> PostgresBackend::nodes(const QString& query,
                                                  const QList<QByteArray>& parameters) {
    return std::make_unique<PostgresRecordSet>(
        m_connection->exec(MonitorQueries::postgresText(query).toUtf8(), parameters));
}

std::unique_ptr<RecordSet> PostgresBackend::nodeByAddress(const QString& address) {
    return nodes(MonitorQueries::nodeByAddress(), {address.toUtf8()});
}

std::unique_ptr<RecordSet> PostgresBackend::nodeById(std::int32_t nodeId) {
    return nodes(MonitorQueries::nodeById(nodeId), {});
}

std::unique_ptr<RecordSet> PostgresBackend::allNodes() {
    return nodes(MonitorQueries::allNodes(), {});
}

std::unique_ptr<SampleReader> PostgresBackend::samples(std::int32_t nodeId, double begin,
                                                       double end) {
    return std::make_unique<Cursor>(
        *this, MonitorQueries::postgresText(MonitorQueries::samples(nodeId, begin, end)));
}

} // namespace tarnvue
