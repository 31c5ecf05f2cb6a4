#pragma once

#include <QString>

namespace tarnvue {

// A file-name stem from a chart title: every character that is not an ASCII
// letter, a digit, "_", "-", "." or "@" becomes "_" (so the length never
// changes); an empty title gives the fallback.
QString SafeFileName(const QString& text, const QString& fallback);

} // namespace tarnvue
