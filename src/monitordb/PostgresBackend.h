#pragma once

#include "MonitorBackend.h"

namespace tarnvue {

class PostgresConnection;

// The monitor database in a PostgreSQL schema, read through libpq on a
// connection of its own: the same four queries, with the program's bracketed
// names written as PostgreSQL's quoted ones. Every transaction is read-only.
// Samples come as binary results through a cursor, a chunk of rows at a time,
// so a long span streams without holding it all. One object is one
// connection: several readers at once use one object each.
class PostgresBackend : public MonitorBackend {
public:
    // Connects and checks that the schema and both tables are there; throws
    // Error naming the server and the cause.
    explicit PostgresBackend(const QString& uri);
    ~PostgresBackend() override;

    std::unique_ptr<RecordSet> nodeByAddress(const QString& address) override;
    std::unique_ptr<RecordSet> nodeById(std::int32_t nodeId) override;
    std::unique_ptr<RecordSet> allNodes() override;
    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end) override;

private:
    class Cursor;
    std::unique_ptr<RecordSet> nodes(const QString& query, const QList<QByteArray>& parameters);

    std::unique_ptr<PostgresConnection> m_connection;
    // Open sample cursors; they share one read-only transaction.
    int m_openCursors = 0;
    int m_cursorCounter = 0;
};

} // namespace tarnvue
