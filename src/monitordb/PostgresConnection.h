#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct pg_conn;
struct pg_result;

namespace tarnvue {

// True for a libpq connection URI ("postgresql://..." or "postgres://...").
bool isPostgresUri(const QString& text);

// One libpq connection to a PostgreSQL server, opened from a connection URI.
// Passwords come only from where libpq itself looks (the URI, ~/.pgpass or
// the passfile parameter, the service file, PGPASSWORD); this class never
// stores or prints one. Every failure is thrown as Error whose description
// names the server ("host:port/database") and the cause.
//
// Besides libpq's own parameters the URI may carry "schema=NAME": the schema
// that holds the monitor tables, made the connection's search path.
class PostgresConnection {
public:
    enum class Access { ReadOnly, ReadWrite };

    // Connects; a read-only connection runs every transaction read-only.
    PostgresConnection(const QString& uri, Access access);
    ~PostgresConnection();
    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    pg_conn* handle() const { return m_conn; }
    // "host:port/database", for messages.
    const QString& server() const { return m_server; }
    // The schema named in the URI, or empty.
    const QString& schema() const { return m_schema; }

    // Makes `schema` the only schema of the search path.
    void setSearchPath(const QString& schema);
    // Runs a setting that holds for the session, again after a reconnection.
    void session(const QByteArray& sql);
    // `name` quoted as an identifier.
    QByteArray identifier(const QString& name) const;

    // Runs one statement with text parameters and returns its result, which
    // the caller frees with PQclear. Throws Error when the statement fails.
    // A read-only connection that was lost is made again once, outside a
    // transaction.
    pg_result* exec(const QByteArray& sql, const QList<QByteArray>& parameters = {},
                    int resultFormat = 0);
    // Runs statements whose results are not needed.
    void run(const QByteArray& sql, const QList<QByteArray>& parameters = {});

    // Throws the server's error for a failed result (freeing it) or, without
    // one, the connection's last error.
    [[noreturn]] void fail(pg_result* result = nullptr) const;

private:
    pg_result* send(const QByteArray& sql, const QList<QByteArray>& parameters, int resultFormat);

    pg_conn* m_conn = nullptr;
    Access m_access = Access::ReadOnly;
    QList<QByteArray> m_session;
    QString m_server;
    QString m_schema;
};

} // namespace tarnvue
