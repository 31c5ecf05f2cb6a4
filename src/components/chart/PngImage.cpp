#include "PngImage.h"

#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>
#include <vector>
#include <zlib.h>

namespace tarnvue {

namespace {

// Stripes smaller than this compress worse than they gain from a thread.
constexpr int MinimumStripeBytes = 64 * 1024;

enum Filter : unsigned char { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

unsigned char paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft)
        return static_cast<unsigned char>(left);
    return static_cast<unsigned char>(toUp <= toUpLeft ? up : upLeft);
}

// The row's bytes less what the filter predicts from the bytes to the left,
// above and above left (zero left of the first pixel); returns the sum of
// the differences read as signed. The first pixel apart, the loop has no
// branch, so that the compiler can work on many bytes at once.
template <typename Predict>
unsigned long filterWith(const unsigned char* row, const unsigned char* above, int length,
                         int pixelBytes, unsigned char* out, Predict predict) {
    unsigned long sum = 0;
    const int first = std::min(pixelBytes, length);
    for (int i = 0; i < first; ++i) {
        out[i] = static_cast<unsigned char>(row[i] - predict(0, above[i], 0));
        sum += static_cast<unsigned long>(std::abs(static_cast<signed char>(out[i])));
    }
    for (int i = first; i < length; ++i) {
        out[i] = static_cast<unsigned char>(
            row[i] - predict(row[i - pixelBytes], above[i], above[i - pixelBytes]));
        sum += static_cast<unsigned long>(std::abs(static_cast<signed char>(out[i])));
    }
    return sum;
}

// Filters the row with each filter in turn and keeps the one whose bytes add
// up to the least, as libpng chooses by default: a row of small differences
// compresses best. `out` takes the filter byte and the row; `above` is the
// row above, zeros for the first.
void filterRow(const unsigned char* row, const unsigned char* above, int length, int pixelBytes,
               unsigned char* out, std::vector<unsigned char>& trial) {
    trial.resize(static_cast<std::size_t>(length));
    out[0] = None;
    unsigned long best = 0;
    for (int i = 0; i < length; ++i) {
        out[i + 1] = row[i];
        best += static_cast<unsigned long>(std::abs(static_cast<signed char>(row[i])));
    }
    const auto consider = [&](Filter filter, unsigned long sum) {
        if (sum < best) {
            best = sum;
            out[0] = filter;
            std::copy(trial.begin(), trial.end(), out + 1);
        }
    };
    unsigned char* t = trial.data();
    consider(Sub, filterWith(row, above, length, pixelBytes, t, [](int l, int, int) { return l; }));
    consider(Up, filterWith(row, above, length, pixelBytes, t, [](int, int u, int) { return u; }));
    consider(Average, filterWith(row, above, length, pixelBytes, t,
                                 [](int l, int u, int) { return (l + u) / 2; }));
    consider(Paeth, filterWith(row, above, length, pixelBytes, t,
                               [](int l, int u, int ul) { return paeth(l, u, ul); }));
}

struct Stripe {
    int firstRow = 0;
    int endRow = 0;
    QByteArray compressed;
    uLong adler = 0;
    uLong length = 0;
    bool failed = false;
    bool outOfMemory = false;
};

// Filters and compresses rows [firstRow, endRow) as raw deflate data. A
// stripe that is not the last ends on a byte boundary with the stream still
// open, so that the next stripe's data can follow it.
void compressRows(const QImage& image, int pixelBytes, Stripe& stripe, bool last) {
    const int length = image.width() * pixelBytes;
    std::vector<unsigned char> filtered(static_cast<std::size_t>(stripe.endRow - stripe.firstRow) *
                                        (length + 1));
    std::vector<unsigned char> trial;
    const std::vector<unsigned char> zeros(static_cast<std::size_t>(length), 0);
    for (int y = stripe.firstRow; y < stripe.endRow; ++y) {
        filterRow(image.constScanLine(y), y > 0 ? image.constScanLine(y - 1) : zeros.data(), length,
                  pixelBytes, filtered.data() + std::size_t(y - stripe.firstRow) * (length + 1),
                  trial);
    }
    stripe.length = static_cast<uLong>(filtered.size());
    stripe.adler =
        adler32(adler32(0, nullptr, 0), filtered.data(), static_cast<uInt>(filtered.size()));

    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK) {
        stripe.failed = true;
        return;
    }
    stripe.compressed.resize(static_cast<qsizetype>(deflateBound(&stream, stripe.length) + 16));
    stream.next_in = filtered.data();
    stream.avail_in = static_cast<uInt>(filtered.size());
    stream.next_out = reinterpret_cast<Bytef*>(stripe.compressed.data());
    stream.avail_out = static_cast<uInt>(stripe.compressed.size());
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    stripe.failed = last ? result != Z_STREAM_END : (result != Z_OK || stream.avail_in != 0);
    stripe.compressed.resize(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
}

// The same on a thread of its own, where nothing may be thrown: a picture
// too large for the memory left is said so by the stripe.
void compressStripe(const QImage& image, int pixelBytes, Stripe& stripe, bool last) noexcept {
    try {
        compressRows(image, pixelBytes, stripe, last);
    } catch (const std::bad_alloc&) {
        stripe.failed = true;
        stripe.outOfMemory = true;
    }
}

void appendChunk(QByteArray& out, const char* type, const QByteArray& data) {
    char length[4];
    qToBigEndian(static_cast<quint32>(data.size()), length);
    out.append(length, 4);
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    const uLong crc =
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(out.constData() + start),
              static_cast<uInt>(out.size() - start));
    char crcBytes[4];
    qToBigEndian(static_cast<quint32>(crc), crcBytes);
    out.append(crcBytes, 4);
}

QByteArray bigEndian(quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    return QByteArray(bytes, 4);
}

} // namespace

QByteArray pngBytes(const QImage& source, int threads) {
    if (source.isNull())
        return {};
    // PNG's own byte order: red, green, blue (and alpha, not premultiplied).
    const bool alpha = source.hasAlphaChannel();
    const QImage image =
        source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (image.isNull())
        throw std::bad_alloc();
    const int pixelBytes = alpha ? 4 : 3;
    const qint64 rowBytes = qint64(image.width()) * pixelBytes + 1;
    const int stripes = static_cast<int>(std::clamp<qint64>(
        rowBytes * image.height() / MinimumStripeBytes, 1, std::min(threads, image.height())));

    std::vector<Stripe> parts(static_cast<std::size_t>(std::max(1, stripes)));
    for (std::size_t k = 0; k < parts.size(); ++k) {
        parts[k].firstRow =
            static_cast<int>(qint64(image.height()) * qint64(k) / qint64(parts.size()));
        parts[k].endRow =
            static_cast<int>(qint64(image.height()) * qint64(k + 1) / qint64(parts.size()));
    }
    std::vector<std::thread> others;
    others.reserve(parts.size());
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const bool last = k + 1 == parts.size();
        try {
            others.emplace_back(compressStripe, std::cref(image), pixelBytes, std::ref(parts[k]),
                                last);
        } catch (const std::system_error&) {
            // No thread to be had: this one compresses the stripe too.
            compressStripe(image, pixelBytes, parts[k], last);
        }
    }
    compressStripe(image, pixelBytes, parts[0], parts.size() == 1);
    for (std::thread& other : others)
        other.join();

    QByteArray data("\x78\x9c", 2); // deflate, 32 KiB window, default level
    uLong adler = adler32(0, nullptr, 0);
    for (const Stripe& part : parts) {
        if (part.outOfMemory)
            throw std::bad_alloc();
        if (part.failed)
            return {};
        data.append(part.compressed);
        adler = adler32_combine(adler, part.adler, static_cast<z_off_t>(part.length));
    }
    data.append(bigEndian(static_cast<quint32>(adler)));

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header = bigEndian(static_cast<quint32>(image.width())) +
                        bigEndian(static_cast<quint32>(image.height()));
    header.append(char(8));                // bits a sample
    header.append(char(alpha ? 6 : 2));    // truecolour, with alpha or without
    header.append(QByteArray(3, char(0))); // deflate, adaptive filters, not interlaced
    appendChunk(png, "IHDR", header);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        QByteArray density = bigEndian(static_cast<quint32>(image.dotsPerMeterX())) +
                             bigEndian(static_cast<quint32>(image.dotsPerMeterY()));
        density.append(char(1)); // pixels a metre
        appendChunk(png, "pHYs", density);
    }
    // In chunks of a size every reader takes (libpng writes 8 KiB ones).
    constexpr qsizetype ChunkBytes = 64 * 1024;
    for (qsizetype at = 0; at < data.size(); at += ChunkBytes)
        appendChunk(png, "IDAT", data.mid(at, ChunkBytes));
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace tarnvue
