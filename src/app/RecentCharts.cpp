#include "RecentCharts.h"

#include <QDir>
#include <algorithm>

namespace tarnvue {

QString RecentChart::stored() const {
    if (kind == Kind::File)
        return QStringLiteral("file:") + text;
    return QStringLiteral("node:%1:%2").arg(nodeId).arg(text);
}

std::optional<RecentChart> RecentChart::fromStored(const QString& stored) {
    RecentChart chart;
    if (stored.startsWith(QLatin1String("file:"))) {
        chart.kind = Kind::File;
        chart.text = stored.mid(5);
        if (chart.text.isEmpty())
            return std::nullopt;
        return chart;
    }
    if (!stored.startsWith(QLatin1String("node:")))
        return std::nullopt;
    const qsizetype colon = stored.indexOf(QLatin1Char(':'), 5);
    if (colon < 0)
        return std::nullopt;
    bool ok = false;
    chart.nodeId = stored.mid(5, colon - 5).toInt(&ok);
    if (!ok || chart.nodeId < 1)
        return std::nullopt;
    chart.text = stored.mid(colon + 1);
    return chart;
}

bool RecentChart::sameChart(const RecentChart& other) const {
    if (kind != other.kind)
        return false;
    return kind == Kind::Node ? nodeId == other.nodeId : text == other.text;
}

RecentCharts::RecentCharts(const QStringList& stored) {
    // Newest first: an earlier entry for the same chart wins.
    for (const QString& entry : stored) {
        const auto chart = RecentChart::fromStored(entry);
        if (!chart || std::ranges::any_of(m_entries, [&chart](const RecentChart& known) {
                return known.sameChart(*chart);
            }))
            continue;
        m_entries.push_back(*chart);
        if (m_entries.size() == static_cast<std::size_t>(Limit))
            break;
    }
}

void RecentCharts::add(const RecentChart& chart) {
    std::erase_if(m_entries, [&chart](const RecentChart& entry) { return entry.sameChart(chart); });
    m_entries.insert(m_entries.begin(), chart);
    if (m_entries.size() > static_cast<std::size_t>(Limit))
        m_entries.pop_back();
}

void RecentCharts::remove(int index) {
    if (index >= 0 && index < static_cast<int>(m_entries.size()))
        m_entries.erase(m_entries.begin() + index);
}

QStringList RecentCharts::stored() const {
    QStringList list;
    for (const RecentChart& entry : m_entries)
        list << entry.stored();
    return list;
}

QString recentChartCaption(int position, const RecentChart& chart) {
    QString text =
        chart.kind == RecentChart::Kind::File ? QDir::toNativeSeparators(chart.text) : chart.text;
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    return QStringLiteral("&%1 %2").arg(position + 1).arg(text);
}

} // namespace tarnvue
