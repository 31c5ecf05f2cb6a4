#include "TextLimit.h"

namespace tarnvue {

QString limitedText(const QString& text, qsizetype maximum) {
    if (text.size() <= maximum || maximum < 1)
        return text;
    qsizetype keep = maximum - 1;
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

} // namespace tarnvue
