#include "SafeFileName.h"

namespace tarnvue {

namespace {

constexpr qsizetype MaximumStemLength = 200;

} // namespace

QString SafeFileName(const QString& text, const QString& fallback) {
    QString result = text.startsWith(QStringLiteral("||")) ? text.mid(2) : text;
    if (result.isEmpty())
        return fallback;
    result.truncate(MaximumStemLength);
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        const bool keep = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                          (u >= u'0' && u <= u'9') || u == u'_' || u == u'-' || u == u'.' ||
                          u == u'@';
        if (!keep)
            c = QLatin1Char('_');
    }
    if (result.startsWith(QLatin1Char('.')))
        result[0] = QLatin1Char('_');
    return result;
}

} // namespace tarnvue
