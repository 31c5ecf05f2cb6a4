#pragma once

#include "MonitorBackend.h"
#include "core/Error.h"

#include <QString>
#include <QStringList>
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
    MonitorDB() = default;
    ~MonitorDB();
    MonitorDB(const MonitorDB&) = delete;
    MonitorDB& operator=(const MonitorDB&) = delete;

    // The shared instance, created (not opened) on first call.
    static MonitorDB& shared();
    // Closes and destroys the shared instance; never throws.
    static void release();
    // The shared instance if one exists, without creating it.
    static MonitorDB* sharedIfCreated();

    // The program directory's monitor database "Pollwatch.cfg", and its empty
    // template "Pollwatch.Template" beside it.
    static QString databasePath();
    static QString templatePath();

    // Opens the database findMonitorDatabase() finds (DatabaseNotFound when
    // there is none), or the given file, or the PostgreSQL database a libpq
    // connection URI names ("postgresql://..."). Throws Error when the file is
    // missing, of a format this program cannot read, or refused by the driver,
    // or when the server cannot be reached or holds no monitor database.
    // Opening or closing is the one place the database changes: whatever is
    // kept from the previous database must be dropped here.
    void open();
    void open(const QString& path);
    // Opens on a backend made elsewhere (tests stand storage in this way).
    void open(std::unique_ptr<MonitorBackend> backend, const QString& path);
    bool isOpen() const { return m_backend != nullptr; }
    // Never throws. Rows kept in memory from this database are dropped.
    void close() noexcept;
    QString path() const { return m_path; }
    // Tells one opening of a database from every other in this process (0
    // while closed), so that rows kept from one never answer for another.
    quint64 serial() const { return m_serial; }

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
    // Another connection for reading samples on another thread, or none
    // when the storage reads best on one; whether every samples query reads
    // the whole table. Both throw Error when the database is not open.
    std::unique_ptr<SampleConnection> sampleConnection();
    bool scansWholeTable();

private:
    MonitorBackend& backend();

    std::unique_ptr<MonitorBackend> m_backend;
    QString m_path;
    quint64 m_serial = 0;
};

// Where the monitor database was looked for, and what was found: the
// program directory's "Pollwatch.cfg" wins, then the file named by the
// environment variable TARNVUE_DATABASE, then the database the user chose
// with Open Database. Each place is listed in `tried` as the user should read
// it; `path` is empty when none of them holds a file.
struct DatabaseSearch {
    QString path;
    QStringList tried;
};
DatabaseSearch findMonitorDatabase(const QString& programDatabase, const QString& environment,
                                   const QString& chosen);
// The same with the program directory, the environment and the user's settings.
DatabaseSearch findMonitorDatabase();

// No monitor database in any of the places looked at. The description names
// them, so the user knows where to put one.
class DatabaseNotFound : public Error {
public:
    explicit DatabaseNotFound(const QStringList& tried);
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

// Makes sure a monitor database exists: when findMonitorDatabase() finds
// none, copies the template to the program directory's "Pollwatch.cfg". Every
// failure (a folder the user cannot write) is ignored here; opening reports it
// later.
void EnsureMonitorDatabase();

// The identifier of the first node whose address is exactly Address, or 0
// when none has it. Opens the shared database if needed (without creating a
// missing file); failures reach the caller as Error.
std::int32_t FindNodeByAddress(const QString& address);

} // namespace tarnvue
