#pragma once

#include "ScanTap.h"
#include "components/chart/ChartModel.h"
#include "core/DateValue.h" // durationText
#include "monitordb/RecordSet.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarnvue {

// A stretch of a node's history that a user looks for first: an outage (the
// node did not answer) or a stretch without data (the poller did not poll).
struct OutageItem {
    enum Kind { Outage, NoData };
    Kind kind = Outage;
    double start = 0;           // date value
    std::optional<double> end;  // none: the outage is still going on
    std::int64_t seconds = 0;   // duration in whole seconds
    std::int32_t lostPolls = 0; // outages only
};

// What a scan of a node's polls found: the stretches in time order and the
// counts behind the availability.
struct OutageReport {
    std::vector<OutageItem> items;
    std::int64_t replied = 0;
    std::int64_t lost = 0;

    int outageCount() const;
    // The summed duration of the outages (not of the stretches without data).
    std::int64_t downtimeSeconds() const;
    // Replied polls of all answered-or-lost polls in percent, or none
    // without polls.
    std::optional<double> availability() const;
};

// Walks a node's polls once, in ascending time, and finds:
//  - outages: maximal runs of at least `minimumLost` consecutive lost polls
//    (Response negative). A row whose Response cannot be read is neither
//    lost nor replied and is passed over; a row whose Time cannot be read is
//    passed over whole. An outage starts at its first lost poll and ends at
//    the first replied poll after it; a run that reaches the last row has no
//    end and lasts until its last lost poll;
//  - stretches without data: two consecutive rows more than three times the
//    median poll interval apart, and at least five minutes apart.
class OutageScan {
public:
    static constexpr int DefaultMinimumLost = 2;
    static constexpr int MaximumMinimumLost = 1000;

    explicit OutageScan(int minimumLost = DefaultMinimumLost);

    void add(const Sample& row);
    // The report over every row added; the scan starts afresh afterwards.
    OutageReport finish();

private:
    void closeRun(std::optional<double> end);

    int m_minimumLost;
    OutageReport m_report;
    // Milliseconds between rows, as runs of equal gaps (gap, how many in a
    // row): a steady poller leaves a handful of runs, however many rows.
    std::vector<std::pair<std::int64_t, std::int64_t>> m_intervals;
    std::vector<std::pair<double, double>> m_longIntervals; // candidates
    std::optional<double> m_lastTime;
    // The run of lost polls being walked.
    std::int32_t m_runLength = 0;
    double m_runStart = 0;
    double m_runLast = 0;
};

// Outages are found in the same pass as the fold.
using OutageTap = ScanTap<OutageScan>;

// The buckets to show for a stretch: the buckets it touches and one more on
// either side, within the chart's pointCount buckets of `width` from
// `plotBegin`; first counted from 1.
struct PointRange {
    int first = 1;
    int count = 0;
};
PointRange stretchPoints(double plotBegin, double width, int pointCount, double start, double end);
// "99.952 %" with three decimals, or "no polls".
QString availabilityText(const OutageReport& report);
// "outage" or "no data".
QString outageKindText(OutageItem::Kind kind);
// The report's stretches as the chart shades them and its report lists them.
std::vector<ShadedStretch> shadedStretches(const OutageReport& report);
// The list for scripts: a header line, then one line per item in time order,
// every line ending in CR LF.
QString outagesCsv(const OutageReport& report);

} // namespace tarnvue
