#pragma once

#include "MonitorBackend.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace tarnvue {

// The program's one connection to the poller's database. It is created on
// first use, opened by whichever command needs it first, and closed and
// released when the main window unloads. It picks the backend by the file's
// format and offers the four queries; nobody above it reaches the driver.
class MonitorDB {
public:
    // The shared instance, created (not opened) on first call.
    static MonitorDB& shared();
    // Closes and destroys the shared instance; never throws.
    static void release();
    // The shared instance if one exists, without creating it.
    static MonitorDB* sharedIfCreated();

    // Where the monitor database lives: "Pollwatch.cfg" in the program
    // directory, and its empty template "Pollwatch.Template" beside it.
    static QString databasePath();
    static QString templatePath();

    // Opens the database in the program directory, or the given file, or the
    // PostgreSQL database a libpq connection URI names ("postgresql://...").
    // Throws Error when the file is missing, of a format this program cannot
    // read, or refused by the driver, or when the server cannot be reached or
    // holds no monitor database.
    void open();
    void open(const QString& path);
    bool isOpen() const { return m_backend != nullptr; }
    // Never throws.
    void close() noexcept;
    QString path() const { return m_path; }

    // Hears how far a long scan of the samples has come (rows done of all
    // rows); returning false cancels the query. Backends that read through
    // an index answer at once and never call it. Empty to stop listening.
    using ScanProgress = std::function<bool(qint64 done, qint64 total)>;
    static void setScanProgress(ScanProgress progress);

    // The four queries; each throws Error when the database is not open or
    // the query fails.
    std::unique_ptr<RecordSet> nodeByAddress(const QString& address);
    std::unique_ptr<RecordSet> nodeById(std::int32_t nodeId);
    std::unique_ptr<RecordSet> allNodes();
    std::unique_ptr<SampleReader> samples(std::int32_t nodeId, double begin, double end);

private:
    MonitorBackend& backend();

    std::unique_ptr<MonitorBackend> m_backend;
    QString m_path;
};

// A node's name and address as the charts show them; a null name or address
// reads as empty text.
struct NodeTitles {
    QString name;
    QString address;
};

// Reads a node's titles. Throws Error when the query fails or no node has
// the identifier.
NodeTitles readNodeTitles(MonitorDB& db, std::int32_t nodeId);

// Makes sure the monitor database exists: when it is missing, copies the
// template to it. Every failure is ignored here; opening reports it later.
void EnsureMonitorDatabase();

// The identifier of the first node whose address is exactly Address, or 0
// when none has it. Opens the shared database if needed (without creating a
// missing file); failures reach the caller as Error.
std::int32_t FindNodeByAddress(const QString& address);

} // namespace tarnvue
