#pragma once

#include "MonitorBackend.h"

namespace tarnvue {

// The monitor database as an SQLite file, read through Qt SQL. The file is
// opened read-only with a 10-second busy time-out, since the poller may be
// writing to it; each instance has a connection name of its own. Opening
// never changes the database: a file the poller left with an unfinished
// write (a hot journal) is refused with a message saying so, and a
// write-ahead-log database in a folder where SQLite cannot make its
// shared-memory file is read as an immutable file when nothing is being
// written to it, else refused with a message saying why.
class SqliteBackend : public MonitorBackend {
public:
    // Throws Error with a message, or the driver's text, when the file cannot
    // be read.
    explicit SqliteBackend(const QString& path);
    ~SqliteBackend() override;

    std::unique_ptr<RecordSet> nodeByAddress(const QString& address) override;
    std::unique_ptr<RecordSet> nodeById(std::int32_t nodeId) override;
    std::unique_ptr<RecordSet> allNodes() override;
    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end) override;
    // A raw read-only SQLite connection to the same file, opened on first
    // use by the thread that reads through it.
    std::unique_ptr<SampleConnection> sampleConnection() override;

private:
    QString m_connectionName;
    QString m_name; // what the driver opens: the path, or an immutable URI
    bool m_uri = false;
};

} // namespace tarnvue
