#include "SampleStore.h"

#include "MonitorDB.h"
#include "core/DateValue.h"
#include "core/Error.h"

#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

namespace tarnvue {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
// Bounds that take in every row a node has, as numbers the query text can
// write.
constexpr double AllTimeBegin = -1e300;
constexpr double AllTimeEnd = 1e300;
// How often the progress is reported while ranges are read, and how many
// rows a range reader reads between two looks at the cancel switch.
constexpr auto ProgressInterval = std::chrono::milliseconds(40);
constexpr qint64 RowsPerCheck = 256;

double valueOf(const std::optional<double>& field) {
    return field ? *field : NaN;
}

std::optional<double> fieldOf(double value) {
    return std::isnan(value) ? std::nullopt : std::optional<double>(value);
}

bool hasUnreadableTime(const SampleColumns& rows) {
    return std::any_of(rows.time.begin(), rows.time.end(), [](double t) { return std::isnan(t); });
}

// The rows of [begin, end], both inclusive, of columns in ascending time.
SampleRows within(std::shared_ptr<const SampleColumns> columns, double begin, double end) {
    const auto& time = columns->time;
    const auto first = std::lower_bound(time.begin(), time.end(), begin);
    const auto last = std::upper_bound(first, time.end(), end);
    SampleRows rows;
    rows.first = static_cast<std::size_t>(first - time.begin());
    rows.last = static_cast<std::size_t>(last - time.begin());
    rows.columns = std::move(columns);
    return rows;
}

SampleRows whole(std::shared_ptr<const SampleColumns> columns) {
    SampleRows rows;
    rows.last = columns->size();
    rows.columns = std::move(columns);
    return rows;
}

// Size and time of change of a file that is scanned whole, to tell whether
// it was written since.
QByteArray fileMark(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return QByteArray::number(info.size()) + ':' +
           QByteArray::number(info.lastModified().toMSecsSinceEpoch());
}

// One range read on a thread of its own.
struct RangeRead {
    double begin = 0;
    double end = 0;
    bool endInclusive = true;
    std::unique_ptr<SampleConnection> connection;
    SampleColumns rows;
    std::atomic<double> reached{0}; // the time of the last row read
    std::atomic<qint64> count{0};
    bool failed = false;
    QString error;
};

// Reads a range's rows into its columns. A range that is not the last one
// leaves out the rows on its end bound: they belong to the next range.
void readRange(SampleReader& reader, RangeRead& range, const std::atomic<bool>& cancel) {
    Sample sample;
    qint64 count = 0;
    while (reader.next(sample)) {
        const double time = valueOf(sample.time);
        if (!range.endInclusive && time >= range.end)
            continue;
        range.rows.append(sample);
        if (++count % RowsPerCheck == 0) {
            range.count = count;
            if (!std::isnan(time))
                range.reached = time;
            if (cancel)
                break;
        }
    }
    range.count = count;
}

const QString Cancelled = QStringLiteral("The read of the monitor database was cancelled.");

// Room for the rows of a span at one poll a minute, the usual pace, and at
// most for as many rows as a node may keep. Room that stays unused costs
// address space only: no memory is touched until a row is written to it.
std::size_t roomFor(double begin, double end) {
    constexpr double MostRows = double(std::size_t(64) << 20) / (5 * sizeof(double));
    return static_cast<std::size_t>(
        std::clamp((end - begin) * DateValue::MinutesPerDay + 1, 0.0, MostRows));
}

} // namespace

void SampleColumns::reserve(std::size_t rows) {
    for (auto* column : {&time, &response, &min, &max, &loss})
        column->reserve(rows);
}

void SampleColumns::reserveToGrow(std::size_t rows) {
    // New polls are added at the end a few at a time: leave room for them,
    // so that the arrays are not moved for every few rows.
    const std::size_t need = size() + rows;
    if (need > time.capacity())
        reserve(need + need / 32 + 1024);
}

void SampleColumns::append(const Sample& sample) {
    time.push_back(valueOf(sample.time));
    response.push_back(valueOf(sample.response));
    min.push_back(valueOf(sample.min));
    max.push_back(valueOf(sample.max));
    loss.push_back(valueOf(sample.loss));
}

void SampleColumns::append(const SampleColumns& from, std::size_t first, std::size_t last) {
    const auto add = [&](std::vector<double>& to, const std::vector<double>& source) {
        to.insert(to.end(), source.begin() + static_cast<std::ptrdiff_t>(first),
                  source.begin() + static_cast<std::ptrdiff_t>(last));
    };
    add(time, from.time);
    add(response, from.response);
    add(min, from.min);
    add(max, from.max);
    add(loss, from.loss);
}

void SampleColumns::truncate(std::size_t rows) {
    for (auto* column : {&time, &response, &min, &max, &loss})
        column->resize(std::min(rows, column->size()));
}

SampleRowsReader::SampleRowsReader(SampleRows rows)
    : m_rows(std::move(rows)), m_next(m_rows.first) {}

bool SampleRowsReader::next(Sample& sample) {
    if (m_next >= m_rows.last)
        return false;
    const SampleColumns& c = *m_rows.columns;
    sample.time = fieldOf(c.time[m_next]);
    sample.response = fieldOf(c.response[m_next]);
    sample.min = fieldOf(c.min[m_next]);
    sample.max = fieldOf(c.max[m_next]);
    sample.loss = fieldOf(c.loss[m_next]);
    ++m_next;
    return true;
}

std::vector<double> splitSpan(double begin, double end, double origin, double width, int ranges) {
    std::vector<double> bounds{begin};
    if (ranges > 1 && width > 0 && std::isfinite(width) && std::isfinite(origin) && end > begin) {
        // The bucket boundaries strictly inside the span, k = first to last,
        // computed as the fold computes them.
        const auto boundary = [&](qint64 k) {
            return origin + static_cast<double>(k) * width;
        };
        auto first = static_cast<qint64>(std::floor((begin - origin) / width));
        while (boundary(first) <= begin)
            ++first;
        while (first > 0 && boundary(first - 1) > begin)
            --first;
        auto last = static_cast<qint64>(std::ceil((end - origin) / width));
        while (boundary(last) >= end)
            --last;
        while (boundary(last + 1) < end)
            ++last;
        const qint64 inside = last - first + 1;
        const qint64 count = std::min<qint64>(ranges, std::max<qint64>(inside + 1, 1));
        for (qint64 j = 1; j < count; ++j)
            bounds.push_back(boundary(first + j * (inside + 1) / count - 1));
    }
    bounds.push_back(end);
    return bounds;
}

// What is kept of one node of one opening of a database.
struct SampleStore::Entry {
    quint64 serial = 0;
    std::int32_t nodeId = 0;
    std::shared_ptr<SampleColumns> columns;
    double begin = 0; // the bounds read (inclusive)
    double end = 0;
    double settled = 0;      // rows before this time are final: the newest row's
    bool wholeTable = false; // every row of the node, from one scan
    QByteArray fileMark;     // the scanned file as it was before the scan
    quint64 lastUse = 0;
};

// A stretch to read: from begin to end, the end bound left out unless
// endInclusive; ranges are cut on the buckets from origin.
struct SampleStore::Part {
    double begin;
    double end;
    bool endInclusive;
    double origin;
    double width;
};

SampleStore& SampleStore::shared() {
    static SampleStore store;
    return store;
}

void SampleStore::setMemoryLimit(std::size_t bytes) {
    m_memoryLimit = bytes;
}

void SampleStore::setRangeCount(int ranges) {
    m_rangeCount = std::max(ranges, 0);
}

int SampleStore::rangeCount() const {
    if (m_rangeCount > 0)
        return m_rangeCount;
    return std::clamp(QThread::idealThreadCount(), 2, 8);
}

void SampleStore::setCaching(bool on) {
    m_caching = on;
    if (!on)
        clear();
}

std::size_t SampleStore::bytesKept() const {
    std::size_t bytes = 0;
    for (const auto& entry : m_entries)
        bytes += entry->columns->bytes();
    return bytes;
}

SampleStore::Entry* SampleStore::find(quint64 serial, std::int32_t nodeId) {
    for (const auto& entry : m_entries) {
        if (entry->serial == serial && entry->nodeId == nodeId)
            return entry.get();
    }
    return nullptr;
}

void SampleStore::erase(const Entry* entry) {
    std::erase_if(m_entries, [entry](const auto& e) { return e.get() == entry; });
    ++m_changes;
}

void SampleStore::dropNode(const MonitorDB& db, std::int32_t nodeId) noexcept {
    std::erase_if(m_entries,
                  [&](const auto& e) { return e->serial == db.serial() && e->nodeId == nodeId; });
    ++m_changes;
}

void SampleStore::dropDatabase(quint64 serial) noexcept {
    std::erase_if(m_entries, [serial](const auto& e) { return e->serial == serial; });
    ++m_changes;
}

void SampleStore::clear() noexcept {
    m_entries.clear();
    ++m_changes;
}

void SampleStore::keep(quint64 serial, std::int32_t nodeId, std::shared_ptr<SampleColumns> columns,
                       double begin, double end, double settled, bool wholeTable,
                       const QByteArray& fileMark) {
    if (const Entry* old = find(serial, nodeId))
        erase(old);
    ++m_changes;
    if (columns->bytes() > m_memoryLimit)
        return;
    auto entry = std::make_unique<Entry>();
    entry->serial = serial;
    entry->nodeId = nodeId;
    entry->columns = std::move(columns);
    entry->begin = begin;
    entry->end = end;
    entry->settled = settled;
    entry->wholeTable = wholeTable;
    entry->fileMark = fileMark;
    entry->lastUse = ++m_clock;
    m_entries.push_back(std::move(entry));
    // The nodes charted longest ago make room.
    while (bytesKept() > m_memoryLimit) {
        const auto oldest =
            std::min_element(m_entries.begin(), m_entries.end(),
                             [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
        m_entries.erase(oldest);
    }
}

SampleRows SampleStore::rows(MonitorDB& db, std::int32_t nodeId, double begin, double end,
                             double width, const Progress& progress) {
    m_activity = {};
    const quint64 serial = db.serial();
    if (serial == 0)
        throw Error(QStringLiteral("The monitor database is not open."));
    if (!(end >= begin))
        return whole(std::make_shared<SampleColumns>());
    if (!m_caching) {
        auto read = std::make_shared<SampleColumns>(
            readPart(db, nodeId, {begin, end, true, begin, width}, progress, 1));
        return whole(std::move(read));
    }
    if (db.scansWholeTable())
        return wholeTableRows(db, nodeId, begin, end);

    Entry* entry = find(serial, nodeId);
    // A span that neither overlaps nor touches what was read is read alone
    // and kept in its place, rather than reading all that lies between.
    if (entry && !(begin <= entry->end && end >= entry->begin)) {
        erase(entry);
        entry = nullptr;
    }
    if (entry && begin >= entry->begin && end < entry->settled) {
        entry->lastUse = ++m_clock;
        m_activity.fromMemory = true;
        return within(entry->columns, begin, end);
    }

    // Read what is missing: all of it, or an older stretch and the polls
    // since the newest row kept (whose time is read again).
    const quint64 changes = m_changes;
    std::shared_ptr<const SampleColumns> kept = entry ? entry->columns : nullptr;
    const double keptBegin = entry ? entry->begin : begin;
    const double keptSettled = entry ? entry->settled : begin;
    const double keptEnd = entry ? entry->end : end;
    const int ranges = rangeCount();
    SampleColumns older;
    SampleColumns newer;
    if (!kept) {
        newer = readPart(db, nodeId, {begin, end, true, begin, width}, progress, ranges);
    } else {
        if (begin < keptBegin)
            older = readPart(db, nodeId, {begin, keptBegin, false, begin, width}, progress, ranges);
        if (end >= keptSettled)
            newer = readPart(db, nodeId, {keptSettled, end, true, begin, width}, progress, ranges);
    }
    if (hasUnreadableTime(older) || hasUnreadableTime(newer)) {
        // Rows without a readable time cannot be placed among kept ones:
        // read the span alone and keep nothing of the node.
        dropNode(db, nodeId);
        return whole(std::make_shared<SampleColumns>(
            readPart(db, nodeId, {begin, end, true, begin, width}, progress, ranges)));
    }

    // Join the kept rows with those read. Nothing changed the entries
    // during the read unless the window ran a command meanwhile; then the
    // rows are answered but not kept.
    const bool unchanged = m_changes == changes;
    std::shared_ptr<SampleColumns> joined;
    std::size_t keptRows = 0;
    if (kept) {
        keptRows = end >= keptSettled
                       ? static_cast<std::size_t>(
                             std::lower_bound(kept->time.begin(), kept->time.end(), keptSettled) -
                             kept->time.begin())
                       : kept->size();
    }
    if (kept && unchanged && older.size() == 0) {
        // Polls added at the end: grow the kept arrays in place when no
        // earlier answer still reads them.
        kept.reset();
        if (entry->columns.use_count() == 1) {
            joined = entry->columns;
            joined->truncate(keptRows);
            joined->reserveToGrow(newer.size());
            joined->append(newer, 0, newer.size());
        }
    }
    if (!joined) {
        if (kept) {
            joined = std::make_shared<SampleColumns>();
            joined->reserveToGrow(older.size() + keptRows + newer.size());
            joined->append(older, 0, older.size());
            joined->append(*kept, 0, keptRows);
            joined->append(newer, 0, newer.size());
        } else if (entry) {
            joined = std::make_shared<SampleColumns>();
            joined->reserveToGrow(keptRows + newer.size());
            joined->append(*entry->columns, 0, keptRows);
            joined->append(newer, 0, newer.size());
        } else {
            joined = std::make_shared<SampleColumns>(std::move(newer));
        }
    }
    if (unchanged) {
        const double keptFrom = std::min(begin, keptBegin);
        keep(serial, nodeId, joined, keptFrom, std::max(end, keptEnd),
             joined->size() ? joined->time.back() : keptFrom, false, {});
    }
    return within(std::move(joined), begin, end);
}

SampleRows SampleStore::wholeTableRows(MonitorDB& db, std::int32_t nodeId, double begin,
                                       double end) {
    const quint64 serial = db.serial();
    const QByteArray mark = fileMark(db.path());
    if (Entry* entry = find(serial, nodeId);
        entry && (end < entry->settled || (!mark.isEmpty() && mark == entry->fileMark))) {
        entry->lastUse = ++m_clock;
        m_activity.fromMemory = true;
        return within(entry->columns, begin, end);
    }
    // The scan reads the whole table whatever the span: keep all of the
    // node's rows. Its progress goes to the database's scan report.
    const quint64 changes = m_changes;
    auto all = std::make_shared<SampleColumns>(
        readPart(db, nodeId, {AllTimeBegin, AllTimeEnd, true, begin, 1}, {}, 1));
    if (m_changes == changes && !hasUnreadableTime(*all))
        keep(serial, nodeId, all, AllTimeBegin, AllTimeEnd,
             all->size() ? all->time.back() : AllTimeBegin, true, mark);
    return within(std::move(all), begin, end);
}

SampleColumns SampleStore::readPart(MonitorDB& db, std::int32_t nodeId, const Part& part,
                                    const Progress& progress, int ranges) {
    if (part.end < part.begin || (!part.endInclusive && part.end == part.begin))
        return {};
    const std::vector<double> bounds =
        splitSpan(part.begin, part.end, part.origin, part.width, ranges);
    std::vector<std::unique_ptr<RangeRead>> reads;
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        auto read = std::make_unique<RangeRead>();
        read->begin = bounds[i];
        read->end = bounds[i + 1];
        read->endInclusive = i + 2 < bounds.size() ? false : part.endInclusive;
        read->reached = read->begin;
        // The first range's columns become the part's: room for all of it,
        // so that the others are appended without moving them.
        read->rows.reserve(roomFor(read->begin, i == 0 ? part.end : read->end));
        reads.push_back(std::move(read));
    }
    if (reads.size() > 1) {
        for (auto& read : reads) {
            read->connection = db.sampleConnection();
            if (!read->connection) {
                // The storage reads on one connection: one range.
                reads.resize(1);
                reads.front()->end = part.end;
                reads.front()->endInclusive = part.endInclusive;
                break;
            }
        }
    }
    m_activity.queries += static_cast<int>(reads.size());

    std::atomic<bool> cancel{false};
    if (reads.size() == 1) {
        RangeRead& read = *reads.front();
        auto reader = db.samples(nodeId, read.begin, read.end);
        readRange(*reader, read, cancel);
        m_activity.rowsRead += read.count;
        return std::move(read.rows);
    }

    // One thread per range; this thread reports progress and waits.
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t running = reads.size();
    std::vector<std::thread> threads;
    const auto joinAll = [&] {
        cancel = true;
        for (auto& thread : threads) {
            if (thread.joinable())
                thread.join();
        }
    };
    try {
        for (auto& owned : reads) {
            RangeRead* read = owned.get();
            threads.emplace_back([read, nodeId, &cancel, &mutex, &finished, &running] {
                try {
                    auto reader = read->connection->samples(nodeId, read->begin, read->end);
                    readRange(*reader, *read, cancel);
                } catch (const Error& e) {
                    read->failed = true;
                    read->error = e.description();
                } catch (const std::exception& e) {
                    read->failed = true;
                    read->error = QString::fromLocal8Bit(e.what());
                }
                // The connection closes on the thread that used it.
                read->connection.reset();
                if (read->failed)
                    cancel = true;
                const std::lock_guard lock(mutex);
                --running;
                finished.notify_one();
            });
        }
        const double span = part.end - part.begin;
        bool cancelled = false;
        std::unique_lock lock(mutex);
        while (running > 0) {
            finished.wait_for(lock, ProgressInterval);
            if (running == 0 || !progress)
                continue;
            // Rows read so far, and the rows all ranges will have read at
            // the pace of the time they covered.
            qint64 done = 0;
            double covered = 0;
            for (const auto& read : reads) {
                done += read->count;
                covered += std::clamp(read->reached.load(), read->begin, read->end) - read->begin;
            }
            const qint64 total = covered > 0 && span > 0
                                     ? std::max(done, qint64(std::llround(done * span / covered)))
                                     : 0;
            lock.unlock();
            if (!cancelled && !progress(done, total)) {
                cancelled = true;
                cancel = true;
            }
            lock.lock();
        }
        lock.unlock();
        joinAll();
        for (const auto& read : reads) {
            if (read->failed)
                throw Error(read->error);
        }
        if (cancelled)
            throw Error(Cancelled);
    } catch (...) {
        joinAll();
        throw;
    }

    std::size_t total = 0;
    for (const auto& read : reads) {
        total += read->rows.size();
        m_activity.rowsRead += read->count;
    }
    SampleColumns rows = std::move(reads.front()->rows);
    rows.reserveToGrow(total - rows.size());
    for (std::size_t i = 1; i < reads.size(); ++i) {
        rows.append(reads[i]->rows, 0, reads[i]->rows.size());
        reads[i]->rows = {};
    }
    if (progress)
        progress(static_cast<qint64>(total), static_cast<qint64>(total));
    return rows;
}

} // namespace tarnvue
