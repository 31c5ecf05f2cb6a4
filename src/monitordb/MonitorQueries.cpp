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

QString postgresText(const QString& text) {
    static const QStringList bareNames{QStringLiteral("Nodes"), QStringLiteral("ResponseTime"),
                                       QStringLiteral("Time"),  QStringLiteral("Response"),
                                       QStringLiteral("Min"),   QStringLiteral("Max"),
                                       QStringLiteral("Loss")};
    QString result;
    result.reserve(text.size() + 16);
    int parameter = 0;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('[')) {
            const qsizetype close = text.indexOf(QLatin1Char(']'), i);
            const qsizetype end = close < 0 ? text.size() : close;
            result += QLatin1Char('"') + text.mid(i + 1, end - i - 1) + QLatin1Char('"');
            i = end + 1;
        } else if (c == QLatin1Char('?')) {
            result += QLatin1Char('$') + QString::number(++parameter);
            ++i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype end = i;
            while (end < text.size() &&
                   (text.at(end).isLetterOrNumber() || text.at(end) == QLatin1Char('_')))
                ++end;
            const QString word = text.mid(i, end - i);
            result += bareNames.contains(word) ? QLatin1Char('"') + word + QLatin1Char('"') : word;
            i = end;
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

} // namespace tarnvue::MonitorQueries
