#include "RecordSet.h"

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/TextLimit.h"

namespace tarnvue {

QString RecordSet::text(const QString& column) const {
    const QVariant v = value(column);
    return v.isNull() ? QString() : limitedText(v.toString());
}

std::int32_t RecordSet::int32(const QString& column) const {
    const QVariant v = value(column);
    if (v.isNull())
        throw Error(QStringLiteral("Invalid use of Null"));
    bool ok = false;
    const double number = v.toDouble(&ok);
    if (!ok)
        throw Error(QStringLiteral("Type mismatch"));
    return toInt32(number);
}

} // namespace tarnvue
