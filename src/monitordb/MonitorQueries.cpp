#include "MonitorQueries.h"

#include "core/DateValue.h"

namespace tarnvue::MonitorQueries {

QString nodeByAddress() {
    return QStringLiteral("Select [Node ID] from Nodes Where [IP Address] = ?");
}

QString nodeById(std::int32_t nodeId) {
    return QStringLiteral("Select * From Nodes Where [Node ID] = ") + QString::number(nodeId);
}

QString allNodes() {
    return QStringLiteral("Select * From Nodes");
}

QString samples(std::int32_t nodeId, double begin, double end) {
    return QStringLiteral("Select * From ResponseTime Where [Node ID] = ") +
           QString::number(nodeId) + QStringLiteral(" AND Time >= ") + DateValue::queryText(begin) +
           QStringLiteral(" AND Time <= ") + DateValue::queryText(end) +
           QStringLiteral(" Order By Time");
}

} // namespace tarnvue::MonitorQueries
