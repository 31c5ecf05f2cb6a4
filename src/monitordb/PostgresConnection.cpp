#include "PostgresConnection.h"

#include "LibPq.h"
#include "core/Error.h"

#include <QRegularExpression>
#include <QUrl>
#include <libpq-fe.h>

namespace tarnvue {

namespace {

// libpq's messages span lines with tabs; a message box wants one paragraph.
QString oneLine(const char* message) {
    QString text = QString::fromUtf8(message).trimmed();
    text.replace(QRegularExpression(QStringLiteral("\\s*\\n\\s*")), QStringLiteral(" "));
    return text;
}

// Takes our own "schema" parameter out of the URI's query, which libpq
// would refuse as unknown.
QString takeSchema(QString& uri) {
    const qsizetype question = uri.indexOf(QLatin1Char('?'));
    if (question < 0)
        return {};
    QStringList kept;
    QString schema;
    for (const QString& item : uri.mid(question + 1).split(QLatin1Char('&'))) {
        if (item.startsWith(QLatin1String("schema=")))
            schema = QUrl::fromPercentEncoding(item.mid(7).toUtf8());
        else if (!item.isEmpty())
            kept << item;
    }
    uri.truncate(question);
    if (!kept.isEmpty())
        uri += QLatin1Char('?') + kept.join(QLatin1Char('&'));
    return schema;
}

QString serverName(PGconn* conn) {
    const char* host = PQhost(conn);
    const char* port = PQport(conn);
    const char* db = PQdb(conn);
    QString name = QString::fromUtf8(host && *host ? host : "localhost");
    if (port && *port)
        name += QLatin1Char(':') + QString::fromUtf8(port);
    if (db && *db)
        name += QLatin1Char('/') + QString::fromUtf8(db);
    return name;
}

} // namespace

bool isPostgresUri(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

PostgresConnection::PostgresConnection(const QString& uri, Access access) {
    QString target = uri;
    m_schema = takeSchema(target);
    const QByteArray dbname = target.toUtf8();
    // Defaults first, the URI next (it may override them), then what this
    // program relies on: UTF-8 text.
    const char* keywords[] = {"connect_timeout", "fallback_application_name", "dbname",
                              "client_encoding", nullptr};
    const char* values[] = {"10", "tarnvue", dbname.constData(), "UTF8", nullptr};
    if (const QString problem = postgresClientProblem(); !problem.isEmpty())
        throw Error(problem);
    m_conn = PQconnectdbParams(keywords, values, 1);
    if (!m_conn)
        throw Error(QStringLiteral("Cannot connect to the PostgreSQL server: out of memory."));
    m_server = serverName(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString message = oneLine(PQerrorMessage(m_conn));
        const QString user = QString::fromUtf8(PQuser(m_conn));
        const bool authentication = PQconnectionNeedsPassword(m_conn) ||
                                    message.contains(QLatin1String("authentication failed")) ||
                                    message.contains(QLatin1String("no password supplied"));
        PQfinish(m_conn);
        m_conn = nullptr;
        if (authentication)
            throw Error(QStringLiteral("Authentication failed on the PostgreSQL server %1 for "
                                       "user \"%2\": %3")
                            .arg(m_server, user, message));
        throw Error(QStringLiteral("Cannot connect to the PostgreSQL server %1: %2")
                        .arg(m_server, message));
    }
    // The server's notices ("already exists, skipping") are no concern of
    // the user's; its errors arrive with the results.
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    m_access = access;
    try {
        if (access == Access::ReadOnly)
            session("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
        if (!m_schema.isEmpty())
            setSearchPath(m_schema);
    } catch (...) {
        PQfinish(m_conn);
        throw;
    }
}

PostgresConnection::~PostgresConnection() {
    if (m_conn)
        PQfinish(m_conn);
}

QByteArray PostgresConnection::identifier(const QString& name) const {
    const QByteArray utf8 = name.toUtf8();
    char* quoted = PQescapeIdentifier(m_conn, utf8.constData(), static_cast<size_t>(utf8.size()));
    if (!quoted)
        fail();
    QByteArray result(quoted);
    PQfreemem(quoted);
    return result;
}

void PostgresConnection::setSearchPath(const QString& schema) {
    session("SET search_path = " + identifier(schema));
}

void PostgresConnection::session(const QByteArray& sql) {
    run(sql);
    m_session << sql;
}

PGresult* PostgresConnection::send(const QByteArray& sql, const QList<QByteArray>& parameters,
                                   int resultFormat) {
    std::vector<const char*> values;
    values.reserve(static_cast<std::size_t>(parameters.size()));
    for (const QByteArray& p : parameters)
        values.push_back(p.isNull() ? nullptr : p.constData());
    // Several statements in one text go only without parameters.
    return values.empty() && resultFormat == 0
               ? PQexec(m_conn, sql.constData())
               : PQexecParams(m_conn, sql.constData(), static_cast<int>(values.size()), nullptr,
                              values.data(), nullptr, nullptr, resultFormat);
}

PGresult* PostgresConnection::exec(const QByteArray& sql, const QList<QByteArray>& parameters,
                                   int resultFormat) {
    const bool idle = PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    PGresult* result = send(sql, parameters, resultFormat);
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    // A reader whose connection was dropped (the server restarted, an idle
    // connection cut) connects again and repeats the read, which is safe
    // outside a transaction; the window stays usable without a restart.
    if (status == PGRES_FATAL_ERROR && idle && m_access == Access::ReadOnly &&
        PQstatus(m_conn) == CONNECTION_BAD) {
        PQclear(result);
        PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK)
            throw Error(QStringLiteral("Cannot connect to the PostgreSQL server %1: %2")
                            .arg(m_server, oneLine(PQerrorMessage(m_conn))));
        for (const QByteArray& statement : std::as_const(m_session))
            run(statement);
        result = send(sql, parameters, resultFormat);
        status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    }
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        fail(result);
    return result;
}

void PostgresConnection::run(const QByteArray& sql, const QList<QByteArray>& parameters) {
    PQclear(exec(sql, parameters));
}

void PostgresConnection::fail(PGresult* result) const {
    QString message;
    if (result) {
        message = oneLine(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
        PQclear(result);
    }
    if (message.isEmpty())
        message = oneLine(PQerrorMessage(m_conn));
    if (message.isEmpty())
        message = QStringLiteral("unknown error");
    throw Error(message + QStringLiteral(" (PostgreSQL server %1)").arg(m_server));
}

} // namespace tarnvue
