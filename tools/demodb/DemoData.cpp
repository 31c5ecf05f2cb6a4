#include "DemoData.h"

#include "MonitorSchema.h"
#include "core/DateValue.h"
#include "core/Error.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace tarnvue {

namespace {

const char* const NodeNames[] = {
    "router1",     "core-switch", "fw-edge",    "mail",       "www",        "dns1",
    "dns2",        "fileserver",  "printer-2f", "ap-lobby",   "ap-floor1",  "ap-floor2",
    "voip-gw",     "backup",      "db-primary", "db-replica", "ldap",       "proxy",
    "vpn",         "nas",         "branch-rtr", "branch-sw",  "camera-nvr", "ups-mgmt",
    "build-agent", "monitoring",  "wiki",       "crm",        "erp",        "hr-portal",
    "lab-switch",  "kiosk",       "badge-ctrl", "hvac",       "guest-ap",   "isp-gateway",
};

struct Db {
    sqlite3* handle = nullptr;
    ~Db() {
        if (handle)
            sqlite3_close(handle);
    }
    void exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(handle, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            const QString text = QString::fromUtf8(message ? message : "unknown error");
            sqlite3_free(message);
            throw Error(text);
        }
    }
    [[noreturn]] void fail() const { throw Error(QString::fromUtf8(sqlite3_errmsg(handle))); }
};

struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

struct Poll {
    int node;
    double time;
    int response;
    int min;
    int max;
    int loss;
};

// Inserts polls a batch at a time: one statement of many rows costs much less
// per row than a statement per row.
class PollWriter {
public:
    static constexpr int Batch = 64;

    explicit PollWriter(Db& db) : m_db(db) {
        prepare(m_batch, Batch);
        prepare(m_single, 1);
        m_pending.reserve(Batch);
    }

    void add(const Poll& poll) {
        m_pending.push_back(poll);
        if (m_pending.size() == Batch) {
            write(m_batch);
            m_pending.clear();
        }
    }

    void finish() {
        for (const Poll& poll : m_pending) {
            bind(m_single, 0, poll);
            step(m_single);
        }
        m_pending.clear();
    }

private:
    void prepare(Statement& statement, int rows) {
        QByteArray sql("INSERT INTO ResponseTime VALUES (?, ?, ?, ?, ?, ?)");
        for (int i = 1; i < rows; ++i)
            sql += ", (?, ?, ?, ?, ?, ?)";
        if (sqlite3_prepare_v2(m_db.handle, sql.constData(), -1, &statement.handle, nullptr) !=
            SQLITE_OK)
            m_db.fail();
    }

    static void bind(Statement& statement, int row, const Poll& poll) {
        const int at = row * 6;
        sqlite3_bind_int(statement.handle, at + 1, poll.node);
        sqlite3_bind_double(statement.handle, at + 2, poll.time);
        sqlite3_bind_int(statement.handle, at + 3, poll.response);
        sqlite3_bind_int(statement.handle, at + 4, poll.min);
        sqlite3_bind_int(statement.handle, at + 5, poll.max);
        sqlite3_bind_int(statement.handle, at + 6, poll.loss);
    }

    void write(Statement& statement) {
        for (int row = 0; row < Batch; ++row)
            bind(statement, row, m_pending[static_cast<std::size_t>(row)]);
        step(statement);
    }

    void step(Statement& statement) {
        if (sqlite3_step(statement.handle) != SQLITE_DONE)
            m_db.fail();
        sqlite3_reset(statement.handle);
    }

    Db& m_db;
    Statement m_batch;
    Statement m_single;
    std::vector<Poll> m_pending;
};

// How one node behaves: its usual response time, how much it swings over the
// day and from poll to poll, and how often it drops polls.
struct Profile {
    double base;
    double dailySwing;
    double jitter;
    double dropRate;
    double burstRate;  // loss bursts per day
    double outageRate; // outages per day
};

// A stretch of polls with partial loss or no reply at all.
struct Trouble {
    std::int64_t from;
    std::int64_t to;
    int loss;
    bool outage;
};

struct NodeState {
    int id;
    Profile profile;
    std::int64_t firstPoll;
    std::mt19937_64 rng;
    std::vector<Trouble> troubles;
    std::size_t nextTrouble = 0;
};

void validate(const DemoOptions& o) {
    if (o.path.isEmpty())
        throw Error(QStringLiteral("No output file given."));
    if (o.days < 1 || o.days > 20000)
        throw Error(QStringLiteral("Days must be between 1 and 20000."));
    if (o.recentDays < 1)
        throw Error(QStringLiteral("Recent days must be at least 1."));
    if (o.nodes < 1 || o.nodes > 1000)
        throw Error(QStringLiteral("Nodes must be between 1 and 1000."));
    if (o.intervalSeconds < 1 || o.intervalSeconds > 86400)
        throw Error(QStringLiteral("The poll interval must be between 1 and 86400 seconds."));
    if (QFileInfo::exists(o.path) && !o.force)
        throw Error(QStringLiteral("%1 exists already; use --force to replace it.").arg(o.path));
}

std::vector<Trouble> planTroubles(std::mt19937_64& rng, const Profile& p, std::int64_t first,
                                  std::int64_t polls, int interval) {
    std::vector<Trouble> troubles;
    const double pollsPerDay = 86400.0 / interval;
    const double days = static_cast<double>(polls - first) / pollsPerDay;
    std::poisson_distribution<int> outages(std::max(0.0, p.outageRate * days));
    std::poisson_distribution<int> bursts(std::max(0.0, p.burstRate * days));
    std::uniform_int_distribution<std::int64_t> start(first, std::max(first, polls - 1));
    std::uniform_int_distribution<int> outageMinutes(5, 180);
    std::uniform_int_distribution<int> burstMinutes(2, 45);
    std::uniform_int_distribution<int> burstLoss(10, 60);
    const auto span = [&](int minutes) {
        return std::max<std::int64_t>(1, std::llround(minutes * 60.0 / interval));
    };
    for (int i = outages(rng); i > 0; --i) {
        const std::int64_t from = start(rng);
        troubles.push_back({from, from + span(outageMinutes(rng)), 100, true});
    }
    for (int i = bursts(rng); i > 0; --i) {
        const std::int64_t from = start(rng);
        troubles.push_back({from, from + span(burstMinutes(rng)), burstLoss(rng), false});
    }
    std::sort(troubles.begin(), troubles.end(),
              [](const Trouble& a, const Trouble& b) { return a.from < b.from; });
    return troubles;
}

} // namespace

DemoSummary writeDemoDatabase(const DemoOptions& options,
                              const std::function<void(std::int64_t)>& progress) {
    validate(options);
    const QString temporary = options.path + QStringLiteral(".partial");
    QFile::remove(temporary);

    // The half-written file never outlives a failure.
    struct RemoveOnFailure {
        QString path;
        bool done = false;
        ~RemoveOnFailure() {
            if (!done)
                QFile::remove(path);
        }
    } cleanup{temporary};

    DemoSummary summary;
    {
        Db db;
        // One thread writes one connection: no locking and no memory statistics.
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        if (sqlite3_open_v2(QFile::encodeName(temporary).constData(), &db.handle,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK)
            db.fail();
        db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144; "
                "PRAGMA locking_mode=EXCLUSIVE; PRAGMA temp_store=MEMORY; PRAGMA page_size=8192;");
        // Rows go in first and the index is built afterwards: much faster.
        const QByteArray schema(MonitorSchemaSql);
        const qsizetype indexAt = schema.indexOf("CREATE INDEX");
        db.exec("BEGIN");
        db.exec(schema.left(indexAt).constData());

        if (!options.empty) {
            Statement nodeInsert;
            if (sqlite3_prepare_v2(db.handle, "INSERT INTO Nodes VALUES (?, ?, ?)", -1,
                                   &nodeInsert.handle, nullptr) != SQLITE_OK)
                db.fail();

            const QDateTime end =
                options.end.isValid() ? options.end : QDateTime::currentDateTime();
            const int interval = options.intervalSeconds;
            // The last poll falls on a whole interval of the day at or before
            // the end; the first is `days` days earlier.
            const std::int64_t endSecond =
                end.time().msecsSinceStartOfDay() / 1000 / interval * interval;
            const QDate startDate = end.date().addDays(-options.days);
            const std::int64_t pollsPerDay = 86400 / interval;
            const std::int64_t polls = static_cast<std::int64_t>(options.days) * pollsPerDay + 1;
            const double startDay = DateValue::fromDateTime(startDate);

            std::vector<NodeState> nodes;
            std::mt19937_64 master(options.seed);
            const int recent = std::min(options.recentDays, options.days);
            for (int n = 1; n <= options.nodes; ++n) {
                NodeState node{n, {}, 0, std::mt19937_64(options.seed * 7919 + n), {}, 0};
                std::uniform_real_distribution<double> u(0, 1);
                node.profile.base = 1 + std::pow(u(master), 2) * 80;
                node.profile.dailySwing = node.profile.base * (0.2 + 0.6 * u(master));
                node.profile.jitter = 0.5 + node.profile.base * 0.15 * u(master);
                node.profile.dropRate = 0.0005 + 0.004 * u(master);
                node.profile.burstRate = 0.1 + 0.6 * u(master);
                node.profile.outageRate = 0.01 + 0.06 * u(master);
                const int history = n <= options.coreNodes ? options.days : recent;
                node.firstPoll = std::max<std::int64_t>(
                    0, polls - 1 - static_cast<std::int64_t>(history) * pollsPerDay);
                node.troubles =
                    planTroubles(node.rng, node.profile, node.firstPoll, polls, interval);
                nodes.push_back(std::move(node));

                const int names = static_cast<int>(std::size(NodeNames));
                const QByteArray name =
                    n <= names ? QByteArray(NodeNames[n - 1])
                               : QByteArray(NodeNames[(n - 1) % names]) + QByteArray::number(n);
                // Node 1 is 10.0.0.1, node 251 is 10.0.1.1.
                const QByteArray address = QByteArray("10.0.") + QByteArray::number((n - 1) / 250) +
                                           '.' + QByteArray::number((n - 1) % 250 + 1);
                sqlite3_bind_int(nodeInsert.handle, 1, n);
                sqlite3_bind_text(nodeInsert.handle, 2, name.constData(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(nodeInsert.handle, 3, address.constData(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(nodeInsert.handle) != SQLITE_DONE)
                    db.fail();
                sqlite3_reset(nodeInsert.handle);
            }

            PollWriter writer(db);

            std::normal_distribution<double> noise(0.0, 1.0);
            std::uniform_real_distribution<double> unit(0.0, 1.0);
            for (std::int64_t k = 0; k < polls; ++k) {
                const std::int64_t second = endSecond + k * interval;
                const std::int64_t day = second / 86400;
                const std::int64_t secondOfDay = second % 86400;
                // As the poller stores it: day + seconds / 86400.
                const double time = startDay + static_cast<double>(day) +
                                    static_cast<double>(secondOfDay) / 86400.0;
                // Busiest in the early afternoon, quietest before dawn.
                const double rhythm =
                    0.5 -
                    0.5 * std::cos((static_cast<double>(secondOfDay) / 86400.0 - 0.1) * 2.0 * M_PI);
                for (NodeState& node : nodes) {
                    if (k < node.firstPoll)
                        continue;
                    while (node.nextTrouble < node.troubles.size() &&
                           node.troubles[node.nextTrouble].to <= k)
                        ++node.nextTrouble;
                    const Trouble* trouble = nullptr;
                    for (std::size_t t = node.nextTrouble;
                         t < node.troubles.size() && node.troubles[t].from <= k; ++t) {
                        if (node.troubles[t].to > k &&
                            (!trouble || node.troubles[t].outage)) // an outage wins
                            trouble = &node.troubles[t];
                    }

                    const Profile& p = node.profile;
                    int response = -1;
                    int low = -1;
                    int high = -1;
                    int loss = 0;
                    const bool dropped =
                        (trouble && trouble->outage) || unit(node.rng) < p.dropRate;
                    if (dropped) {
                        loss = 100;
                    } else {
                        const double value =
                            p.base + p.dailySwing * rhythm + std::fabs(noise(node.rng)) * p.jitter;
                        response = static_cast<int>(std::lround(value));
                        low = std::max(
                            0, response - static_cast<int>(std::lround(unit(node.rng) * p.jitter)));
                        high = response + static_cast<int>(std::lround(std::fabs(noise(node.rng)) *
                                                                       p.jitter * 2));
                        if (trouble) {
                            // Four-packet polls: loss comes in quarters.
                            const int quarters =
                                std::clamp(static_cast<int>(std::lround(trouble->loss / 25.0 +
                                                                        noise(node.rng) * 0.7)),
                                           0, 3);
                            loss = quarters * 25;
                            high += static_cast<int>(p.base * 2);
                        }
                    }
                    writer.add({node.id, time, response, low, high, loss});
                    ++summary.rows;
                }
                if (progress && k % 100000 == 0)
                    progress(summary.rows);
            }
            writer.finish();
            summary.nodes = options.nodes;
        }
        db.exec(schema.mid(indexAt).constData());
        db.exec("COMMIT");
    }

    if (QFileInfo::exists(options.path) && !QFile::remove(options.path))
        throw Error(QStringLiteral("Cannot replace %1.").arg(options.path));
    if (!QFile::rename(temporary, options.path))
        throw Error(QStringLiteral("Cannot write %1.").arg(options.path));
    cleanup.done = true;
    return summary;
}

} // namespace tarnvue
