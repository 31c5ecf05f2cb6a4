#include "SafeFileName.h"

namespace tarnvue {

QString SafeFileName(const QString& text, const QString& fallback) {
    if (text.isEmpty())
        return fallback;
    QString result = text;
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        const bool keep = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                          (u >= u'0' && u <= u'9') || u == u'_' || u == u'-' || u == u'.' ||
                          u == u'@';
        if (!keep)
            c = QLatin1Char('_');
    }
    return result;
}

} // namespace tarnvue
