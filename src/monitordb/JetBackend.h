#pragma once

#include "MonitorBackend.h"

#include <QString>
#include <QtGlobal>
#include <functional>

namespace tarnvue {

// Reports the progress of a sample scan of a Jet file: rows examined so far
// and the rows the table holds (done never exceeds total). Called on the
// scanning thread at the start, every few thousand rows, and once at the end
// with done == total. Returning false abandons the scan, and the samples
// query then fails with Error.
using ScanProgress = std::function<bool(qint64 done, qint64 total)>;

// Sets the progress report for every sample scan of a Jet file from now on
// (an empty function for none). The Jet file has no index this program can
// use, so each samples query reads the whole ResponseTime table; a window
// can hook a progress bar here.
void setJetScanProgress(ScanProgress progress);

// The monitor database as an Access (Jet 4) file, read through libmdb's
// page-level functions. The file is opened read-only and never locked, since
// the poller may be writing to it; every query reads the table's current
// pages afresh.
//
// Rows are found by their column names and decoded by their stored types;
// deleted rows are skipped. Samples are taken in stored order from the whole
// table, then ordered by Time (equal times keep their stored order), so
// memory grows with the rows of the one node and span only.
class JetBackend : public MonitorBackend {
public:
    // Throws Error when the file is not a readable Jet 4 database.
    explicit JetBackend(const QString& path);
    ~JetBackend() override;
    JetBackend(const JetBackend&) = delete;
    JetBackend& operator=(const JetBackend&) = delete;

    std::unique_ptr<RecordSet> nodeByAddress(const QString& address) override;
    std::unique_ptr<RecordSet> nodeById(std::int32_t nodeId) override;
    std::unique_ptr<RecordSet> allNodes() override;
    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end) override;
    bool scansWholeTable() const override { return true; }

private:
    struct File;
    std::unique_ptr<File> m_file;
};

} // namespace tarnvue
