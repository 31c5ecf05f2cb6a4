#pragma once

#include "monitordb/RecordSet.h"

#include <tuple>

namespace tarnvue {

// Hands the rows of another reader on unchanged and shows each to one or more
// scans (anything with `add(const Sample&)`), so that the scans see exactly
// the rows the fold reads, in the same pass.
template <typename... Scans> class ScanTap : public SampleReader {
public:
    ScanTap(SampleReader& rows, Scans&... scans) : m_rows(rows), m_scans(scans...) {}

    bool next(Sample& sample) override {
        // Some readers start over when asked again after their last row.
        if (m_done || !m_rows.next(sample)) {
            m_done = true;
            return false;
        }
        std::apply([&sample](Scans&... scans) { (scans.add(sample), ...); }, m_scans);
        return true;
    }

private:
    SampleReader& m_rows;
    std::tuple<Scans&...> m_scans;
    bool m_done = false;
};

} // namespace tarnvue
