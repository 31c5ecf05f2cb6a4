#include "Error.h"

namespace tarnvue {

const char* Error::what() const noexcept {
    if (m_what.isEmpty())
        m_what = m_description.toUtf8();
    return m_what.constData();
}

QString failureText(const QString& sentence, const QString& description) {
    return sentence + QStringLiteral("\r\n") + description;
}

} // namespace tarnvue
