#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QTextStream;

namespace tarnvue {

// What tarnvue-collect was asked for.
struct CollectOptions {
    QString from;   // the poller's database file (SQLite or Access)
    QString to;     // libpq connection URI of the PostgreSQL database
    QString schema; // the schema that holds this poller's tables
    int every = 0;  // seconds between copies; 0 copies once
    // Polls copied in one transaction.
    int batchRows = 100000;
};

struct CollectArguments {
    std::optional<CollectOptions> options;
    bool help = false;
    QString error;
};

CollectArguments parseCollectArguments(const QStringList& arguments);
QString collectUsage();

// What one copy did.
struct CollectReport {
    qint64 nodesAdded = 0;
    qint64 nodesChanged = 0;
    qint64 polls = 0;
    qint64 batches = 0;
};

// "copied 7 nodes (5 new, 2 changed) and 3552 polls in 2 batches"
QString describeCollect(const CollectReport& report);

// Copies the poller's database into its schema: creates the schema and the
// tables when missing, inserts or updates the nodes by "Node ID", and for each
// node copies the polls newer than the newest one already there, a batch per
// transaction. Polls that share a node and a time are told apart by "Seq",
// their position among them in the poller's file, so a copy resumed after an
// interruption neither loses nor repeats one. The source is opened read-only
// as the program opens it. `afterBatch` hears each committed batch; returning
// false stops the copy there (what is committed stays). Throws Error.
CollectReport collectOnce(const CollectOptions& options,
                          const std::function<bool(const CollectReport&)>& afterBatch = {});

// Exit statuses.
inline constexpr int CollectOk = 0;
inline constexpr int CollectFailed = 1;
inline constexpr int CollectBadUsage = 2;

// The program: one copy, or one every `every` seconds until stopped, each
// reported on `out`; failures go to `errors`.
int runCollect(const CollectOptions& options, QTextStream& out, QTextStream& errors);

} // namespace tarnvue
