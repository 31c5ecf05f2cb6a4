#pragma once

#include <QString>
#include <cstdint>

namespace tarnvue::MonitorQueries {

// The query texts the program runs against the monitor database. Every
// backend answers exactly these, with the same rows in the same order.

// The address is bound as the one parameter, never pasted into the text.
QString nodeByAddress();
QString nodeById(std::int32_t nodeId);
QString allNodes();
// Both bounds inclusive, rows in ascending Time.
QString samples(std::int32_t nodeId, double begin, double end);

} // namespace tarnvue::MonitorQueries
