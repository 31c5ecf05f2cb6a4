#pragma once

#include "RecordSet.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace tarnvue {

// A read-only connection of its own to the monitor database, for reading
// samples on another thread while the program's connection stays where it
// is. One thread uses it at a time.
class SampleConnection {
public:
    virtual ~SampleConnection() = default;
    // As MonitorBackend::samples. Throws Error with the storage's own text.
    virtual std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin,
                                                  double end) = 0;
};

// One storage format of the monitor database. Each backend answers the
// program's four queries with the same rows in the same order; errors are
// thrown as Error carrying the storage's own text.
class MonitorBackend {
public:
    virtual ~MonitorBackend() = default;

    // First stored record wins when several nodes share the address.
    virtual std::unique_ptr<RecordSet> nodeByAddress(const QString& address) = 0;
    virtual std::unique_ptr<RecordSet> nodeById(std::int32_t nodeId) = 0;
    // All nodes in stored order.
    virtual std::unique_ptr<RecordSet> allNodes() = 0;
    // Both bounds inclusive, ascending Time; equal times keep stored order.
    virtual std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin,
                                                  double end) = 0;

    // Another connection for reading samples on another thread; none when
    // this storage reads best on its one connection.
    virtual std::unique_ptr<SampleConnection> sampleConnection() { return nullptr; }
    // True when every samples query reads the whole table whatever the span
    // (the storage has no index to find a node's rows by time).
    virtual bool scansWholeTable() const { return false; }
};

} // namespace tarnvue
