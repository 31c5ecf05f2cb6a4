#include "Outages.h"

#include "core/DateValue.h"

#include <algorithm>
#include <cmath>

namespace tarnvue {

namespace {

constexpr std::int64_t NoDataMinimumMs = 5 * 60 * 1000;

std::int64_t wholeSeconds(double days) {
    // Half to even, as every conversion of the program rounds.
    return static_cast<std::int64_t>(std::nearbyint(days * DateValue::SecondsPerDay));
}

std::int64_t milliseconds(double days) {
    return static_cast<std::int64_t>(std::llround(days * DateValue::SecondsPerDay * 1000.0));
}

std::int64_t median(std::vector<std::int64_t>& values) {
    const std::size_t n = values.size();
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (n % 2 == 1)
        return *middle;
    const std::int64_t below = *std::max_element(values.begin(), middle);
    return (below + *middle) / 2;
}

// The same median from runs of equal values (value, count).
std::int64_t median(std::vector<std::pair<std::int64_t, std::int64_t>>& runs) {
    std::int64_t n = 0;
    for (const auto& run : runs)
        n += run.second;
    if (static_cast<std::int64_t>(runs.size()) * 8 > n) {
        // Few repeats (times with jitter): selecting among all the values is
        // cheaper than sorting the runs.
        std::vector<std::int64_t> values;
        values.reserve(static_cast<std::size_t>(n));
        for (const auto& [value, count] : runs)
            values.insert(values.end(), static_cast<std::size_t>(count), value);
        return median(values);
    }
    std::sort(runs.begin(), runs.end());
    const auto at = [&runs](std::int64_t k) {
        for (const auto& [value, count] : runs) {
            if (k < count)
                return value;
            k -= count;
        }
        return runs.back().first;
    };
    return n % 2 == 1 ? at(n / 2) : (at(n / 2 - 1) + at(n / 2)) / 2;
}

} // namespace

int OutageReport::outageCount() const {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const OutageItem& i) {
        return i.kind == OutageItem::Outage;
    }));
}

std::int64_t OutageReport::downtimeSeconds() const {
    std::int64_t total = 0;
    for (const OutageItem& i : items) {
        if (i.kind == OutageItem::Outage)
            total += i.seconds;
    }
    return total;
}

std::optional<double> OutageReport::availability() const {
    if (replied + lost == 0)
        return std::nullopt;
    return 100.0 * static_cast<double>(replied) / static_cast<double>(replied + lost);
}

OutageScan::OutageScan(int minimumLost)
    : m_minimumLost(std::clamp(minimumLost, 1, MaximumMinimumLost)) {}

void OutageScan::add(const Sample& row) {
    if (!row.time || !std::isfinite(*row.time))
        return;
    const double time = *row.time;
    if (m_lastTime) {
        const std::int64_t gap = milliseconds(time - *m_lastTime);
        if (!m_intervals.empty() && m_intervals.back().first == gap)
            ++m_intervals.back().second;
        else
            m_intervals.emplace_back(gap, 1);
        if (gap >= NoDataMinimumMs)
            m_longIntervals.emplace_back(*m_lastTime, time);
    }
    m_lastTime = time;

    if (!row.response || !std::isfinite(*row.response))
        return;
    if (*row.response < 0) {
        ++m_report.lost;
        if (m_runLength == 0)
            m_runStart = time;
        m_runLast = time;
        ++m_runLength;
    } else {
        ++m_report.replied;
        // Most replies follow a reply: nothing to close.
        if (m_runLength > 0)
            closeRun(time);
    }
}

void OutageScan::closeRun(std::optional<double> end) {
    if (m_runLength >= m_minimumLost) {
        OutageItem item;
        item.kind = OutageItem::Outage;
        item.start = m_runStart;
        item.end = end;
        item.seconds = wholeSeconds((end ? *end : m_runLast) - m_runStart);
        item.lostPolls = m_runLength;
        m_report.items.push_back(item);
    }
    m_runLength = 0;
}

OutageReport OutageScan::finish() {
    closeRun(std::nullopt);
    if (!m_intervals.empty()) {
        const std::int64_t typical = median(m_intervals);
        for (const auto& [from, to] : m_longIntervals) {
            if (milliseconds(to - from) > 3 * typical) {
                OutageItem item;
                item.kind = OutageItem::NoData;
                item.start = from;
                item.end = to;
                item.seconds = wholeSeconds(to - from);
                m_report.items.push_back(item);
            }
        }
    }
    std::stable_sort(m_report.items.begin(), m_report.items.end(),
                     [](const OutageItem& a, const OutageItem& b) { return a.start < b.start; });

    OutageReport report = std::move(m_report);
    *this = OutageScan(m_minimumLost);
    return report;
}

QString availabilityText(const OutageReport& report) {
    const std::optional<double> percent = report.availability();
    if (!percent)
        return QStringLiteral("no polls");
    return QString::number(*percent, 'f', 3) + QStringLiteral(" %");
}

QString outageKindText(OutageItem::Kind kind) {
    return shadedKindText(kind == OutageItem::Outage ? ShadedStretch::Outage
                                                     : ShadedStretch::NoData);
}

std::vector<ShadedStretch> shadedStretches(const OutageReport& report) {
    std::vector<ShadedStretch> stretches;
    stretches.reserve(report.items.size());
    for (const OutageItem& i : report.items) {
        ShadedStretch s;
        s.kind = i.kind == OutageItem::Outage ? ShadedStretch::Outage : ShadedStretch::NoData;
        s.begin = i.start;
        s.ongoing = !i.end;
        s.end = i.end ? *i.end : i.start + double(i.seconds) / DateValue::SecondsPerDay;
        s.seconds = i.seconds;
        s.lostPolls = i.lostPolls;
        stretches.push_back(s);
    }
    return stretches;
}

QString outagesCsv(const OutageReport& report) {
    const QString eol = QStringLiteral("\r\n");
    QString text = QStringLiteral("Kind,Start,End,Duration (s),Lost polls") + eol;
    for (const OutageItem& i : report.items) {
        text += outageKindText(i.kind) + QLatin1Char(',') + DateValue::stampText(i.start) +
                QLatin1Char(',') + (i.end ? DateValue::stampText(*i.end) : QString()) +
                QLatin1Char(',') + QString::number(i.seconds) + QLatin1Char(',') +
                (i.kind == OutageItem::Outage ? QString::number(i.lostPolls) : QString()) + eol;
    }
    return text;
}

PointRange stretchPoints(double plotBegin, double width, int pointCount, double start, double end) {
    if (pointCount <= 0 || width <= 0)
        return {};
    // Bucket positions are reckoned with a little tolerance: a time on a
    // bucket boundary comes out of the day arithmetic a hair either side.
    constexpr double Tolerance = 1e-6;
    const auto position = [&](double time) {
        return (time - plotBegin) / width;
    };
    const auto clampBucket = [&](double bucket) {
        return static_cast<int>(std::clamp(bucket, 0.0, static_cast<double>(pointCount - 1)));
    };
    const int firstTouched = clampBucket(std::floor(position(start) + Tolerance));
    // The end is the first moment after the stretch: the bucket it opens is
    // not part of it.
    const int lastTouched =
        std::max(firstTouched, clampBucket(std::ceil(position(end) - Tolerance) - 1));
    const int first = std::max(0, firstTouched - 1);
    const int last = std::min(pointCount - 1, lastTouched + 1);
    return {first + 1, last - first + 1};
}

} // namespace tarnvue
