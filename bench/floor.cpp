// tarnvue-bench-floor: the least any program could do for a chart, as a
// whole process: open the database read-only, run the samples query on one
// connection and fold its rows into per-bucket minimum, maximum, sum and
// loss. tarnvue-bench times it against a whole tarnvue-render process.
//
//   tarnvue-bench-floor FILE QUERY BEGIN WIDTH POINTS

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: tarnvue-bench-floor FILE QUERY BEGIN WIDTH POINTS\n");
        return 2;
    }
    const double begin = std::strtod(argv[3], nullptr);
    const double width = std::strtod(argv[4], nullptr);
    const auto points = static_cast<std::size_t>(std::strtol(argv[5], nullptr, 10));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, argv[2], -1, &statement, nullptr) != SQLITE_OK)
        return 1;
    std::vector<double> sums(points), mins(points, -1), maxs(points, -1), losses(points);
    // Columns of "Select *": Node ID, Time, Response, Min, Max, Loss.
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto bucket =
            static_cast<std::size_t>((sqlite3_column_double(statement, 1) - begin) / width);
        if (bucket >= points)
            break;
        const int response = sqlite3_column_int(statement, 2);
        if (response >= 0) {
            const double low = sqlite3_column_int(statement, 3);
            const double high = sqlite3_column_int(statement, 4);
            mins[bucket] = mins[bucket] < 0 ? low : std::min(mins[bucket], low);
            maxs[bucket] = std::max(maxs[bucket], high);
            sums[bucket] += response;
        }
        losses[bucket] += sqlite3_column_int(statement, 5);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    double checksum = 0;
    for (std::size_t i = 0; i < points; ++i)
        checksum += sums[i] + mins[i] + maxs[i] + losses[i];
    std::printf("%.0f\n", checksum);
    return 0;
}
