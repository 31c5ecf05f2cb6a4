#pragma once

#include "RecordSet.h"

#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tarnvue {

class MonitorDB;

// Sample rows as column arrays, in the order the samples query returns
// them: the poll's time and its response, min, max and loss, each NaN where
// the field cannot be read as a number.
struct SampleColumns {
    std::vector<double> time;
    std::vector<double> response;
    std::vector<double> min;
    std::vector<double> max;
    std::vector<double> loss;

    std::size_t size() const { return time.size(); }
    std::size_t bytes() const { return size() * 5 * sizeof(double); }
    void reserve(std::size_t rows);
    // Room for `rows` more rows and some to spare.
    void reserveToGrow(std::size_t rows);
    void append(const Sample& sample);
    void append(const SampleColumns& from, std::size_t first, std::size_t last);
    // Keeps the first `rows` rows.
    void truncate(std::size_t rows);
};

// Rows first to last (exclusive) of column arrays that may be shared with
// the rows kept in memory; they stay valid as long as this value lives.
struct SampleRows {
    std::shared_ptr<const SampleColumns> columns;
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t size() const { return last - first; }
};

// Hands the rows out one by one as the samples query does: a NaN field is
// an empty one, so the fold treats it exactly as a field the database could
// not turn into a number.
class SampleRowsReader : public SampleReader {
public:
    explicit SampleRowsReader(SampleRows rows);
    bool next(Sample& sample) override;

private:
    SampleRows m_rows;
    std::size_t m_next;
};

// The bounds of at most `ranges` time ranges that together make up the span
// from `begin` to `end`: begin, the chosen bucket boundaries (origin + k x
// width) strictly inside the span, and end. A span with fewer buckets than
// ranges gets one range per bucket.
std::vector<double> splitSpan(double begin, double end, double origin, double width, int ranges);

// Answers "the rows of node N between A and B" for the chart, exactly as
// the samples query would (both bounds inclusive, ascending time, equal
// times in stored order), from memory where it can and from the database
// where it must:
//  - a span of an indexed database (SQLite) is cut into time ranges on
//    bucket boundaries, read at once on connections of their own (one per
//    core, 2 to 8), and joined in time order;
//  - the rows read are kept per node for the session, in a bounded amount
//    of memory (the nodes charted longest ago go first); a span inside them
//    is answered from memory, one reaching past them reads only what is
//    missing: the polls since the newest row kept (that row's time again,
//    as polls of the same time may have followed it), or an older stretch;
//    a span apart from what was read is read alone and kept instead;
//  - a database without an index (Access) is scanned once for all of a
//    node's rows; they answer every later span until the file changes.
// Rows are kept only from reads that finished: a failed or cancelled read
// leaves what was kept as it was. Everything here runs on the calling
// thread except the range reads themselves.
class SampleStore {
public:
    // Rows read so far and the rows expected in all (0 while unknown);
    // returning false cancels the read. Called on the calling thread.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    static SampleStore& shared();

    // Throws Error with the database's message when a read fails, or when
    // it is cancelled; `width` is the chart's bucket width from `begin`.
    SampleRows rows(MonitorDB& db, std::int32_t nodeId, double begin, double end, double width,
                    const Progress& progress = {});

    // Forgets the rows kept of a node, or of one opening of a database
    // (MonitorDB::serial()), or all.
    void dropNode(const MonitorDB& db, std::int32_t nodeId) noexcept;
    void dropDatabase(quint64 serial) noexcept;
    void clear() noexcept;

    // At most this much memory of rows is kept (64 MiB unless set).
    void setMemoryLimit(std::size_t bytes);
    // Ranges a span is cut into; 0 (the default) for one per core, 2 to 8.
    void setRangeCount(int ranges);
    int rangeCount() const;
    // Off: every span is one samples query on the program's connection and
    // nothing is kept (the benchmark compares against this).
    void setCaching(bool on);

    // What the last call did: rows that came from the database, queries
    // run, and whether the answer came from memory alone.
    struct Activity {
        qint64 rowsRead = 0;
        int queries = 0;
        bool fromMemory = false;
    };
    const Activity& lastActivity() const { return m_activity; }
    std::size_t bytesKept() const;

private:
    struct Entry;
    struct Part;

    Entry* find(quint64 serial, std::int32_t nodeId);
    void erase(const Entry* entry);
    void keep(quint64 serial, std::int32_t nodeId, std::shared_ptr<SampleColumns> columns,
              double begin, double end, double settled, bool wholeTable,
              const QByteArray& fileMark);
    SampleRows wholeTableRows(MonitorDB& db, std::int32_t nodeId, double begin, double end);
    SampleColumns readPart(MonitorDB& db, std::int32_t nodeId, const Part& part,
                           const Progress& progress, int ranges);

    std::vector<std::unique_ptr<Entry>> m_entries;
    std::size_t m_memoryLimit = std::size_t(64) << 20;
    int m_rangeCount = 0;
    bool m_caching = true;
    quint64 m_clock = 0;   // orders the entries by last use
    quint64 m_changes = 0; // counts every change to the entries
    Activity m_activity;
};

} // namespace tarnvue
