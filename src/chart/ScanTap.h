#pragma once

#include "monitordb/RecordSet.h"

namespace tarnvue {

// Hands the rows of another reader on unchanged and shows each to a scan
// (anything with `add(const Sample&)`), so that the scan sees exactly the rows
// the fold reads, in the same pass.
template <typename Scan> class ScanTap : public SampleReader {
public:
    ScanTap(SampleReader& rows, Scan& scan) : m_rows(rows), m_scan(scan) {}

    bool next(Sample& sample) override {
        // Some readers start over when asked again after their last row.
        if (m_done || !m_rows.next(sample)) {
            m_done = true;
            return false;
        }
        m_scan.add(sample);
        return true;
    }

private:
    SampleReader& m_rows;
    Scan& m_scan;
    bool m_done = false;
};

} // namespace tarnvue
