#include "Numeric.h"

#include "Error.h"

#include <cmath>
#include <limits>

namespace tarnvue {

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest,
    // ties-to-even unless someone changed it; do it explicitly instead.
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5)
        return floor;
    if (diff > 0.5)
        return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

namespace {

template <typename T> T toWhole(double value) {
    if (std::isnan(value))
        throw Error(QStringLiteral("Overflow"));
    const double rounded = roundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<T>::max()))
        throw Error(QStringLiteral("Overflow"));
    return static_cast<T>(rounded);
}

} // namespace

std::int16_t toInt16(double value) {
    return toWhole<std::int16_t>(value);
}

std::int32_t toInt32(double value) {
    return toWhole<std::int32_t>(value);
}

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

std::int32_t parseInt32(const QString& text) {
    const QString t = trimSpaces(text);
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    if (i == t.size())
        throw Error(QStringLiteral("Type mismatch"));
    for (qsizetype j = i; j < t.size(); ++j) {
        if (t.at(j) < QLatin1Char('0') || t.at(j) > QLatin1Char('9'))
            throw Error(QStringLiteral("Type mismatch"));
    }
    bool ok = false;
    const qlonglong value = t.toLongLong(&ok);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        throw Error(QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(value);
}

} // namespace tarnvue
