#pragma once

#include <QString>

namespace tarnvue {

// The longest text the chart takes from a file or the database (titles,
// labels, node names): more cannot be read on a chart anyway, and a huge one
// would take seconds to lay out on every redraw.
inline constexpr qsizetype MaximumTextLength = 4096;

// The text, or its first characters ending in "…" when it is longer than
// `maximum` characters; a character is never split in half.
QString limitedText(const QString& text, qsizetype maximum = MaximumTextLength);

} // namespace tarnvue
