#pragma once

#include "MonitorBackend.h"

namespace tarnvue {

// The monitor database as an SQLite file, read through Qt SQL. The file is
// opened read-only with a 10-second busy time-out, since the poller may be
// writing to it; each instance has a connection name of its own.
class SqliteBackend : public MonitorBackend {
public:
    // Throws Error with the driver's text when the file cannot be opened.
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
    QString m_path;
};

} // namespace tarnvue
