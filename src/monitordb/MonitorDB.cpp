#include "MonitorDB.h"

#include "DatabaseFormat.h"
#include "JetBackend.h"
#include "PostgresBackend.h"
#include "PostgresConnection.h"
#include "SqliteBackend.h"
#include "core/Error.h"
#include "core/ProgramDir.h"

#include <QFile>
#include <QFileInfo>

namespace tarnvue {

namespace {

std::unique_ptr<MonitorDB>& sharedInstance() {
    static std::unique_ptr<MonitorDB> instance;
    return instance;
}

} // namespace

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
    open(databasePath());
}

void MonitorDB::open(const QString& path) {
    close();
    if (isPostgresUri(path)) {
        m_backend = std::make_unique<PostgresBackend>(path);
        m_path = path;
        return;
    }
    const DatabaseFormat format = detectDatabaseFormat(path);
    switch (format) {
    case DatabaseFormat::SQLite:
        m_backend = std::make_unique<SqliteBackend>(path);
        break;
    case DatabaseFormat::Missing:
        throw Error(QStringLiteral("Could not find file '%1'.").arg(path));
    case DatabaseFormat::Unreadable:
        throw Error(QStringLiteral("Cannot read the monitor database '%1'.").arg(path));
    case DatabaseFormat::Jet4:
        m_backend = std::make_unique<JetBackend>(path);
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
    m_path = path;
}

void MonitorDB::close() noexcept {
    m_backend.reset();
    m_path.clear();
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

NodeTitles readNodeTitles(MonitorDB& db, std::int32_t nodeId) {
    const auto node = db.nodeById(nodeId);
    if (node->atEnd())
        throw Error(QStringLiteral("The monitor database has no node %1.").arg(nodeId));
    return {node->text(QStringLiteral("Node Name")), node->text(QStringLiteral("IP Address"))};
}

void EnsureMonitorDatabase() {
    const QString database = MonitorDB::databasePath();
    if (QFileInfo::exists(database))
        return;
    // A failed copy is left for the open to report.
    QFile::copy(MonitorDB::templatePath(), database);
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
