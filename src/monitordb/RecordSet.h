#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>

namespace tarnvue {

// A forward-only view of a query's rows whose fields are read by column name.
// Backends (SQLite today, others later) hand these out; callers never see the
// driver behind them.
class RecordSet {
public:
    virtual ~RecordSet() = default;

    // True when there is no current row (an empty result, or past the end).
    virtual bool atEnd() const = 0;
    virtual void moveNext() = 0;
    // The current row's value of a column; a null value is a null QVariant.
    // Throws Error when there is no current row or no such column.
    virtual QVariant value(const QString& column) const = 0;

    // A text field; null reads as empty text, a huge one is cut (see
    // limitedText).
    QString text(const QString& column) const;
    // A whole-number field, rounded half to even; null or a value outside the
    // range throws Error.
    std::int32_t int32(const QString& column) const;
};

// One row of the samples query, read by the chart's fold. A field that is null
// in the database is empty here, so the fold can tell it from a zero.
struct Sample {
    std::optional<double> time;
    std::optional<double> response;
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> loss;
};

// The samples of one node, in ascending time, read once from first to last.
class SampleReader {
public:
    virtual ~SampleReader() = default;
    // Fills the next row and returns true, or returns false at the end.
    virtual bool next(Sample& sample) = 0;
};

} // namespace tarnvue
