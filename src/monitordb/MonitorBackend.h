#pragma once

#include "RecordSet.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace tarnvue {

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
};

} // namespace tarnvue
