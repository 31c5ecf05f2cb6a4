#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

namespace tarnvue {

// A made-up monitor database that looks like a poller's: named nodes with
// addresses, one poll per interval per node, a daily rhythm in response
// time, jitter, polls without a reply, loss bursts and outages. The same
// options (seed and end included) always give the same rows.
struct DemoOptions {
    QString path;
    int days = 400;      // history of the first few "core" nodes
    int recentDays = 45; // history of the other nodes (at most days)
    int coreNodes = 3;   // nodes polled over the whole history
    int nodes = 30;
    int intervalSeconds = 60;
    std::uint64_t seed = 1;
    QDateTime end;      // last poll at or before this; now when invalid
    bool empty = false; // the schema alone: the database template
    bool force = false; // replace an existing file
};

struct DemoSummary {
    std::int64_t rows = 0;
    int nodes = 0;
};

// Writes the database to a temporary file beside options.path and moves it
// into place when complete. Throws Error on bad options or a failed write.
// progress, when given, hears the rows written so far now and then.
DemoSummary writeDemoDatabase(const DemoOptions& options,
                              const std::function<void(std::int64_t)>& progress = {});

} // namespace tarnvue
