#include "Collect.h"

#include "core/DateValue.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/PostgresConnection.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <charconv>
#include <cstdlib>
#include <libpq-fe.h>
#include <map>
#include <set>

namespace tarnvue {

namespace {

// Beyond any day count a poller writes: the whole history.
constexpr double EarliestTime = -1.0e9;
constexpr double LatestTime = 1.0e9;

const char* const CreateTables = R"sql(
CREATE TABLE IF NOT EXISTS "Nodes" (
    "Node ID"    integer PRIMARY KEY,
    "Node Name"  text,
    "IP Address" text
);
CREATE TABLE IF NOT EXISTS "ResponseTime" (
    "Node ID"  integer NOT NULL,
    "Time"     double precision NOT NULL,
    "Response" double precision,
    "Min"      double precision,
    "Max"      double precision,
    "Loss"     double precision,
    "Seq"      integer NOT NULL DEFAULT 0,
    CONSTRAINT "ResponseTimeNodeTime" UNIQUE ("Node ID", "Time", "Seq")
) PARTITION BY RANGE ("Time");
)sql";

// Whether the polls' table is split into months (a table made before, or by
// hand, may not be).
const char* const IsPartitioned =
    R"sql(SELECT relkind = 'p' FROM pg_class WHERE oid = '"ResponseTime"'::regclass)sql";

// Inserts new nodes and updates changed ones; tells which was which.
const char* const UpsertNode = R"sql(
INSERT INTO "Nodes" AS n ("Node ID", "Node Name", "IP Address") VALUES ($1, $2, $3)
ON CONFLICT ("Node ID") DO UPDATE
    SET "Node Name" = EXCLUDED."Node Name", "IP Address" = EXCLUDED."IP Address"
    WHERE (n."Node Name", n."IP Address") IS DISTINCT FROM (EXCLUDED."Node Name", EXCLUDED."IP Address")
RETURNING (xmax = 0)
)sql";

// The node's newest poll already copied, and the highest Seq at that time.
const char* const NewestPoll = R"sql(
SELECT "Time", max("Seq") FROM "ResponseTime"
WHERE "Node ID" = $1
  AND "Time" = (SELECT max("Time") FROM "ResponseTime" WHERE "Node ID" = $1)
GROUP BY "Time"
)sql";

void appendNumber(QByteArray& line, const std::optional<double>& value) {
    if (!value) {
        line += "\\N";
        return;
    }
    // The shortest text that reads back to the same double.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, *value);
    line.append(text, result.ptr - text);
}

QByteArray numberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QByteArray(text, result.ptr - text);
}

// One calendar month of polls: its partition's name and bounds.
struct Month {
    QDate first;
    double begin = 0;
    double end = 0;

    static Month of(double time) {
        const QDate day = DateValue::dateOf(time);
        Month m;
        m.first = QDate(day.year(), day.month(), 1);
        m.begin = DateValue::fromDateTime(m.first);
        m.end = DateValue::fromDateTime(m.first.addMonths(1));
        return m;
    }
    bool contains(double time) const { return time >= begin && time < end; }
};

// Polls waiting for their transaction, as COPY text rows, and the months
// they fall in when the table is split by month.
class Batch {
public:
    Batch(PostgresConnection& target, int limit, bool partitioned)
        : m_target(target), m_limit(limit), m_partitioned(partitioned) {}

    void add(std::int32_t node, const Sample& s, int seq) {
        if (m_partitioned && !m_month.contains(*s.time)) {
            m_month = Month::of(*s.time);
            m_months.emplace(m_month.first, m_month);
        }
        m_rows += QByteArray::number(node);
        m_rows += '\t';
        appendNumber(m_rows, s.time);
        for (const auto* value : {&s.response, &s.min, &s.max, &s.loss}) {
            m_rows += '\t';
            appendNumber(m_rows, *value);
        }
        m_rows += '\t';
        m_rows += QByteArray::number(seq);
        m_rows += '\n';
        ++m_count;
    }

    bool full() const { return m_count >= m_limit; }
    bool empty() const { return m_count == 0; }

    // Copies the batch in one transaction; returns the rows copied.
    qint64 commit() {
        if (m_count == 0)
            return 0;
        m_target.run("BEGIN");
        try {
            // The months' partitions come and go with the batch.
            for (const auto& [first, month] : m_months) {
                const QString name =
                    QStringLiteral("ResponseTime_") + first.toString(QStringLiteral("yyyy_MM"));
                m_target.run("CREATE TABLE IF NOT EXISTS " + m_target.identifier(name) +
                             " PARTITION OF \"ResponseTime\" FOR VALUES FROM (" +
                             numberText(month.begin) + ") TO (" + numberText(month.end) + ")");
            }
            PGconn* conn = m_target.handle();
            PGresult* start = PQexec(conn, "COPY \"ResponseTime\" (\"Node ID\", \"Time\", "
                                           "\"Response\", \"Min\", \"Max\", \"Loss\", \"Seq\") "
                                           "FROM STDIN");
            if (PQresultStatus(start) != PGRES_COPY_IN)
                m_target.fail(start);
            PQclear(start);
            if (PQputCopyData(conn, m_rows.constData(), static_cast<int>(m_rows.size())) != 1 ||
                PQputCopyEnd(conn, nullptr) != 1)
                m_target.fail();
            PGresult* done = PQgetResult(conn);
            if (PQresultStatus(done) != PGRES_COMMAND_OK)
                m_target.fail(done);
            PQclear(done);
            while (PGresult* extra = PQgetResult(conn))
                PQclear(extra);
            m_target.run("COMMIT");
        } catch (...) {
            // The server rolls the batch back; the next run copies it again.
            PQclear(PQexec(m_target.handle(), "ROLLBACK"));
            throw;
        }
        const qint64 copied = m_count;
        m_rows.clear();
        m_count = 0;
        m_months.clear();
        m_month = {};
        return copied;
    }

private:
    PostgresConnection& m_target;
    int m_limit;
    bool m_partitioned;
    QByteArray m_rows;
    qint64 m_count = 0;
    Month m_month;
    std::map<QDate, Month> m_months;
};

} // namespace

CollectArguments parseCollectArguments(const QStringList& arguments) {
    CollectArguments result;
    CollectOptions o;
    bool once = false;
    bool every = false;
    const auto fail = [&](const QString& message) {
        result.error = message;
        return result;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        const auto value = [&](QString& target) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return false;
            target = arguments.at(++i);
            return true;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.help = true;
            return result;
        } else if (arg == QLatin1String("--from")) {
            if (!value(o.from))
                return fail(QStringLiteral("--from needs the poller's database file."));
        } else if (arg == QLatin1String("--to")) {
            if (!value(o.to))
                return fail(QStringLiteral("--to needs a connection URI."));
        } else if (arg == QLatin1String("--schema")) {
            if (!value(o.schema))
                return fail(QStringLiteral("--schema needs a name."));
        } else if (arg == QLatin1String("--once")) {
            once = true;
        } else if (arg == QLatin1String("--every")) {
            QString seconds;
            bool ok = false;
            if (value(seconds))
                o.every = seconds.toInt(&ok);
            if (!ok || o.every < 1)
                return fail(QStringLiteral("--every needs a whole number of seconds, 1 or more."));
            every = true;
        } else {
            return fail(QStringLiteral("Unknown argument \"%1\".").arg(arg));
        }
    }
    if (o.from.isEmpty() || o.to.isEmpty() || o.schema.isEmpty())
        return fail(QStringLiteral("Name the source with --from, the server with --to and the "
                                   "schema with --schema."));
    if (!isPostgresUri(o.to))
        return fail(
            QStringLiteral("--to needs a postgresql:// connection URI, not \"%1\".").arg(o.to));
    if (once && every)
        return fail(QStringLiteral("Give either --once or --every, not both."));
    result.options = o;
    return result;
}

QString collectUsage() {
    return QStringLiteral(
        "Usage: tarnvue-collect --from FILE --to URI --schema NAME [--once | --every SECONDS]\n"
        "Copies a poller's monitor database (SQLite or Access) into a schema of a PostgreSQL\n"
        "database, adding only what is new since the last copy.\n"
        "  --from FILE       the poller's database, opened read-only\n"
        "  --to URI          postgresql://[user@]host[:port]/database (passwords from\n"
        "                    ~/.pgpass or the service file)\n"
        "  --schema NAME     the schema of this poller; created when missing\n"
        "  --once            copy once and stop (the default)\n"
        "  --every SECONDS   copy again every SECONDS seconds until stopped\n");
}

QString describeCollect(const CollectReport& r) {
    return QStringLiteral("copied %1 nodes (%2 new, %3 changed) and %4 polls in %5 batches")
        .arg(r.nodesAdded + r.nodesChanged)
        .arg(r.nodesAdded)
        .arg(r.nodesChanged)
        .arg(r.polls)
        .arg(r.batches);
}

CollectReport collectOnce(const CollectOptions& options,
                          const std::function<bool(const CollectReport&)>& afterBatch) {
    MonitorDB source;
    source.open(options.from);
    PostgresConnection target(options.to, PostgresConnection::Access::ReadWrite);
    CollectReport report;

    target.run("CREATE SCHEMA IF NOT EXISTS " + target.identifier(options.schema));
    target.setSearchPath(options.schema);
    target.run(CreateTables);
    PGresult* kind = target.exec(IsPartitioned);
    const bool partitioned = *PQgetvalue(kind, 0, 0) == 't';
    PQclear(kind);

    // The nodes first, in one transaction; the first record of a Node ID
    // wins, as it does for the program.
    QList<std::int32_t> nodeIds;
    std::set<std::int32_t> seen;
    target.run("BEGIN");
    try {
        for (auto nodes = source.allNodes(); !nodes->atEnd(); nodes->moveNext()) {
            if (nodes->value(QStringLiteral("Node ID")).isNull())
                continue;
            const std::int32_t id = nodes->int32(QStringLiteral("Node ID"));
            if (!seen.insert(id).second)
                continue;
            nodeIds << id;
            const QVariant name = nodes->value(QStringLiteral("Node Name"));
            const QVariant address = nodes->value(QStringLiteral("IP Address"));
            PGresult* result = target.exec(
                UpsertNode,
                {QByteArray::number(id), name.isNull() ? QByteArray() : name.toString().toUtf8(),
                 address.isNull() ? QByteArray() : address.toString().toUtf8()});
            if (PQntuples(result) == 1)
                ++(*PQgetvalue(result, 0, 0) == 't' ? report.nodesAdded : report.nodesChanged);
            PQclear(result);
        }
        target.run("COMMIT");
    } catch (...) {
        PQclear(PQexec(target.handle(), "ROLLBACK"));
        throw;
    }

    Batch batch(target, options.batchRows, partitioned);
    const auto commit = [&] {
        report.polls += batch.commit();
        ++report.batches;
        return !afterBatch || afterBatch(report);
    };
    for (const std::int32_t id : std::as_const(nodeIds)) {
        const QByteArray idText = QByteArray::number(id);
        double newest = EarliestTime;
        int newestSeq = -1;
        PGresult* last = target.exec(NewestPoll, {idText});
        if (PQntuples(last) == 1) {
            newest = std::strtod(PQgetvalue(last, 0, 0), nullptr);
            newestSeq = std::atoi(PQgetvalue(last, 0, 1));
        }
        PQclear(last);

        auto rows = source.samples(id, newest, LatestTime);
        Sample s;
        double previous = 0;
        int seq = -1;
        while (rows->next(s)) {
            if (!s.time)
                continue;
            seq = (seq >= 0 && *s.time == previous) ? seq + 1 : 0;
            previous = *s.time;
            // Polls at the newest time copied before are already there.
            if (*s.time == newest && seq <= newestSeq)
                continue;
            batch.add(id, s, seq);
            if (batch.full() && !commit())
                return report;
        }
    }
    if (!batch.empty())
        commit();
    return report;
}

int runCollect(const CollectOptions& options, QTextStream& out, QTextStream& errors) {
    for (;;) {
        QElapsedTimer timer;
        timer.start();
        bool failed = false;
        try {
            // Long first copies say how far they have come.
            const CollectReport report = collectOnce(options, [&](const CollectReport& sofar) {
                out << "  " << sofar.polls << " polls so far" << Qt::endl;
                return true;
            });
            out << QDateTime::currentDateTime().toString(Qt::ISODate) << ' '
                << describeCollect(report) << " from " << options.from << " to schema "
                << options.schema << " in " << QString::number(timer.elapsed() / 1000.0, 'f', 1)
                << " s" << Qt::endl;
        } catch (const Error& e) {
            errors << "tarnvue-collect: " << e.description() << Qt::endl;
            failed = true;
        }
        if (options.every <= 0)
            return failed ? CollectFailed : CollectOk;
        // A failed round (the server restarting, the file being replaced) is
        // tried again with the next one.
        QThread::sleep(static_cast<unsigned long>(options.every));
    }
}

} // namespace tarnvue
