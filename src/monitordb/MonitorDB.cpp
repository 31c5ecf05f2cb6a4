#include "MonitorDB.h"

#include "DatabaseFormat.h"
#include "JetBackend.h"
#include "SampleStore.h"
#include "PostgresBackend.h"
#include "PostgresConnection.h"
#include "SqliteBackend.h"
#include "core/Error.h"
#include "core/OutputFile.h"
#include "core/ProgramDir.h"
#include "core/UserSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>

namespace tarnvue {

namespace {

std::unique_ptr<MonitorDB>& sharedInstance() {
    static std::unique_ptr<MonitorDB> instance;
    return instance;
}

} // namespace

MonitorDB::~MonitorDB() {
    close();
}

MonitorDB& MonitorDB::shared() {
    auto& instance = sharedInstance();
    if (!instance)
        instance = std::make_unique<MonitorDB>();
    return *instance;
}

void MonitorDB::release() {
    auto& instance = sharedInstance();
    if (instance)
        instance->close();
    instance.reset();
}

MonitorDB* MonitorDB::sharedIfCreated() {
    return sharedInstance().get();
}

void MonitorDB::setScanProgress(ScanProgress progress) {
    setJetScanProgress(std::move(progress));
}

QString MonitorDB::databasePath() {
    return programFile(QStringLiteral("Pollwatch.cfg"));
}

QString MonitorDB::templatePath() {
    return programFile(QStringLiteral("Pollwatch.Template"));
}

void MonitorDB::open() {
    const DatabaseSearch found = findMonitorDatabase();
    if (found.path.isEmpty())
        throw DatabaseNotFound(found.tried);
    open(found.path);
}

void MonitorDB::open(const QString& path) {
    close();
    if (isPostgresUri(path)) {
        open(std::make_unique<PostgresBackend>(path), path);
        return;
    }
    const DatabaseFormat format = detectDatabaseFormat(path);
    switch (format) {
    case DatabaseFormat::SQLite:
        open(std::make_unique<SqliteBackend>(path), path);
        break;
    case DatabaseFormat::Missing:
        throw Error(QStringLiteral("Could not find file '%1'.").arg(path));
    case DatabaseFormat::Unreadable:
        throw Error(QStringLiteral("Cannot read the monitor database '%1'.").arg(path));
    case DatabaseFormat::Jet4:
        open(std::make_unique<JetBackend>(path), path);
        break;
    case DatabaseFormat::Jet3:
    case DatabaseFormat::Ace:
        throw Error(QStringLiteral("The monitor database '%1' is %2, which is not supported; "
                                   "Tarnvue reads SQLite and Access (Jet 4) monitor databases.")
                        .arg(path, describeDatabaseFormat(format)));
    case DatabaseFormat::Empty:
    case DatabaseFormat::Unknown:
        throw Error(QStringLiteral("The monitor database '%1' is %2, not a monitor database.")
                        .arg(path, describeDatabaseFormat(format)));
    }
    // Whatever is written later in this run, it is never this file.
    protectFromOutput(path);
}

void MonitorDB::open(std::unique_ptr<MonitorBackend> backend, const QString& path) {
    close();
    static std::atomic<quint64> openings{0};
    m_backend = std::move(backend);
    m_path = path;
    m_serial = ++openings;
}

void MonitorDB::close() noexcept {
    if (m_serial != 0)
        SampleStore::shared().dropDatabase(m_serial);
    m_backend.reset();
    m_path.clear();
    m_serial = 0;
}

MonitorBackend& MonitorDB::backend() {
    if (!m_backend)
        throw Error(QStringLiteral("The monitor database is not open."));
    return *m_backend;
}

std::unique_ptr<RecordSet> MonitorDB::nodeByAddress(const QString& address) {
    return backend().nodeByAddress(address);
}

std::unique_ptr<RecordSet> MonitorDB::nodeById(std::int32_t nodeId) {
    return backend().nodeById(nodeId);
}

std::unique_ptr<RecordSet> MonitorDB::allNodes() {
    return backend().allNodes();
}

std::unique_ptr<SampleReader> MonitorDB::samples(std::int32_t nodeId, double begin, double end) {
    return backend().samples(nodeId, begin, end);
}

DatabaseSearch findMonitorDatabase(const QString& programDatabase, const QString& environment,
                                   const QString& chosen) {
    DatabaseSearch search;
    const auto tryPlace = [&search](const QString& path, const QString& where) {
        if (path.isEmpty()) {
            search.tried << where;
            return false;
        }
        search.tried << QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(path), where);
        if (!isPostgresUri(path) && !QFileInfo(path).isFile())
            return false;
        search.path = path;
        return true;
    };
    tryPlace(programDatabase, QStringLiteral("the program's folder")) ||
        tryPlace(environment, environment.isEmpty() ? QStringLiteral("TARNVUE_DATABASE: not set")
                                                    : QStringLiteral("TARNVUE_DATABASE")) ||
        tryPlace(chosen, chosen.isEmpty() ? QStringLiteral("Open Database: none chosen")
                                          : QStringLiteral("chosen with Open Database"));
    return search;
}

DatabaseSearch findMonitorDatabase() {
    return findMonitorDatabase(MonitorDB::databasePath(), qEnvironmentVariable("TARNVUE_DATABASE"),
                               UserSettings().chosenDatabase());
}

DatabaseNotFound::DatabaseNotFound(const QStringList& tried)
    : Error(QStringLiteral("No monitor database was found. Tarnvue looked in these places:\r\n") +
            tried.join(QStringLiteral("\r\n"))) {}

std::unique_ptr<SampleConnection> MonitorDB::sampleConnection() {
    return backend().sampleConnection();
}

bool MonitorDB::scansWholeTable() {
    return backend().scansWholeTable();
}

NodeTitles readNodeTitles(MonitorDB& db, std::int32_t nodeId) {
    const auto node = db.nodeById(nodeId);
    if (node->atEnd())
        throw Error(QStringLiteral("The monitor database has no node %1.").arg(nodeId));
    return {node->text(QStringLiteral("Node Name")), node->text(QStringLiteral("IP Address"))};
}

void EnsureMonitorDatabase() {
    if (!findMonitorDatabase().path.isEmpty())
        return;
    // A failed copy (a folder the user cannot write) is left for the open to
    // report.
    QFile::copy(MonitorDB::templatePath(), MonitorDB::databasePath());
}

std::int32_t FindNodeByAddress(const QString& address) {
    MonitorDB& db = MonitorDB::shared();
    if (!db.isOpen())
        db.open();
    const auto nodes = db.nodeByAddress(address);
    if (nodes->atEnd())
        return 0;
    return nodes->int32(QStringLiteral("Node ID"));
}

} // namespace tarnvue
