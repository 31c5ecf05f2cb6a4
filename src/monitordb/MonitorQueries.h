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

// One of the texts above as PostgreSQL reads it: the bracketed names and the
// monitor tables' bare names become quoted names (PostgreSQL folds unquoted
// ones to lower case), and each "?" becomes a numbered parameter.
QString postgresText(const QString& text);

} // namespace tarnvue::MonitorQueries
