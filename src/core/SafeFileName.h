#pragma once

#include <QString>

namespace tarnvue {

// A file-name stem from a chart title, the one rule of every name the
// program proposes: every character that is not an ASCII letter, a digit,
// "_", "-", "." or "@" becomes "_". The chart's "||" placement marker is
// dropped, a leading "." becomes "_" (no hidden files), and a stem is cut to
// 200 characters so that any extension still fits a file name. An empty
// title gives the fallback.
QString SafeFileName(const QString& text, const QString& fallback);

} // namespace tarnvue
