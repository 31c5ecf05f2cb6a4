#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarnvue {

// One chart on the File menu's recent list: a node of the monitor database
// (kept by identifier, shown by name, reopened for the last period) or a
// chart file (kept and shown by its path).
struct RecentChart {
    enum class Kind { Node, File };
    Kind kind = Kind::Node;
    std::int32_t nodeId = 0;
    QString text; // the node's name, or the file's path

    // The entry as the settings keep it: "node:12:router1", "file:/srv/a.nvc".
    QString stored() const;
    // Nothing for text that is no entry (a damaged settings file).
    static std::optional<RecentChart> fromStored(const QString& stored);
    // The same chart: the same node identifier, or the same file path.
    bool sameChart(const RecentChart& other) const;
};

// The recent charts, most recent first, at most Limit of them.
class RecentCharts {
public:
    static constexpr int Limit = 8;

    RecentCharts() = default;
    explicit RecentCharts(const QStringList& stored);

    // Puts the chart first; an entry for the same chart moves rather than
    // doubling, and the oldest falls off past the limit.
    void add(const RecentChart& chart);
    void remove(int index);
    const std::vector<RecentChart>& entries() const { return m_entries; }
    QStringList stored() const;

private:
    std::vector<RecentChart> m_entries;
};

// The menu caption of the entry at a 0-based position: "&1 router1", with
// the access keys 1 to 8 and any "&" of the text shown as itself.
QString recentChartCaption(int position, const RecentChart& chart);

} // namespace tarnvue
