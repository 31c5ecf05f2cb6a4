#pragma once

#include <QByteArray>
#include <QImage>

namespace tarnvue {

// A picture as a PNG file's bytes, lossless as any PNG: the rows are cut
// into stripes that are filtered and compressed on several threads at once
// (at most `threads`), and joined into the one compressed stream the format
// wants. Each row takes the filter that libpng would take by default (the
// smallest sum of its filtered bytes), at zlib's default level. Empty when
// the picture is null; throws std::bad_alloc when memory runs out.
QByteArray pngBytes(const QImage& image, int threads);

} // namespace tarnvue
