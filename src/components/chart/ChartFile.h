#pragma once

#include "ChartModel.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarnvue {

// The chart file (".nvc"): the chart control's whole model, versioned and
// self-describing, restored exactly (configuration and every value).
//
// Loading refuses, with a description fit for a message box, anything that
// is not a complete chart file of a known version: truncated, corrupted, of
// another format, claiming absurd sizes (more points than a 16-bit count,
// more series than the chart can draw) or holding values that are not finite
// numbers. It never reads more than the file's size allows for.
//
// encodeChartFile writes the model as it is, also one that breaks the rules
// of chartFileProblem (tests build refused files with it); saveChartFile
// refuses such a model, so every file it writes opens again.
QByteArray encodeChartFile(const ChartModel& model);
std::optional<ChartModel> decodeChartFile(const QByteArray& bytes, QString* error);

// Why the model cannot be stored in a chart file ("the font size 5 is not 0,
// 1 or 2"), or an empty text when it can. Loading applies the same rules to
// the chart it reads.
QString chartFileProblem(const ChartModel& model);

// Writes through QSaveFile: a failed save leaves any existing file intact.
bool saveChartFile(const ChartModel& model, const QString& path, QString* error);
std::optional<ChartModel> loadChartFile(const QString& path, QString* error);

// Limits a chart file must keep.
inline constexpr int ChartFileMaxSeries = 16;
inline constexpr int ChartFileMaxPoints = 32767;
inline constexpr qint64 ChartFileMaxBytes = 64 * 1024 * 1024;
// The most shaded stretches (outages and gaps) a chart file holds.
inline constexpr int ChartFileMaxStretches = 100000;

} // namespace tarnvue
