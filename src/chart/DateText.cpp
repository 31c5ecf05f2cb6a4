#include "DateText.h"

#include "core/DateValue.h"

#include <QRegularExpression>

namespace tarnvue {

namespace {

// The locale's short date format with four-digit years.
QString dateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

// The locale's short time format without seconds.
QString timeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?"));
    format.remove(seconds);
    return format;
}

QString withSeconds(const QString& format) {
    QString result = format;
    const qsizetype minutes = result.indexOf(QStringLiteral("mm"));
    if (minutes >= 0)
        result.insert(minutes + 2, QStringLiteral(":ss"));
    return result;
}

std::optional<QDate> readDate(const QString& text, const QLocale& locale) {
    for (const QString& format : {dateFormat(locale), locale.dateFormat(QLocale::ShortFormat),
                                  QStringLiteral("yyyy-MM-dd")}) {
        QDate date = locale.toDate(text, format);
        if (!date.isValid())
            continue;
        // A two-digit year means this century or the end of the last one.
        if (!format.contains(QStringLiteral("yyyy")) && date.year() < 1950)
            date = date.addYears(100);
        return date;
    }
    return std::nullopt;
}

std::optional<QTime> readTime(const QString& text, const QLocale& locale) {
    for (const QString& format :
         {timeFormat(locale), withSeconds(timeFormat(locale)), QStringLiteral("HH:mm"),
          QStringLiteral("H:mm"), QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm:ss")}) {
        const QTime time = locale.toTime(text, format);
        if (time.isValid())
            return QTime(time.hour(), time.minute());
    }
    return std::nullopt;
}

} // namespace

QString dateTimeFormat(const QLocale& locale) {
    return dateFormat(locale) + QLatin1Char(' ') + timeFormat(locale);
}

QString formatDateTime(double value, const QLocale& locale) {
    return locale.toString(DateValue::dateOf(value), dateFormat(locale)) + QLatin1Char(' ') +
           locale.toString(DateValue::timeOf(value), timeFormat(locale));
}

std::optional<double> parseDateTime(const QString& text, const QLocale& locale,
                                    const QDate& today) {
    const QString t = text.simplified();
    if (t.isEmpty())
        return std::nullopt;
    // A date and a time: split where the date part ends. Time formats may
    // hold a space themselves ("h:mm AP"), so try every split point.
    for (qsizetype at = t.indexOf(QLatin1Char(' ')); at > 0;
         at = t.indexOf(QLatin1Char(' '), at + 1)) {
        const auto date = readDate(t.left(at), locale);
        const auto time = date ? readTime(t.mid(at + 1), locale) : std::nullopt;
        if (date && time)
            return DateValue::fromDateTime(*date, DateValue::firstValidLocalTime(*date, *time));
    }
    if (const auto date = readDate(t, locale))
        return DateValue::fromDateTime(*date);
    if (const auto time = readTime(t, locale))
        return DateValue::fromDateTime(today, DateValue::firstValidLocalTime(today, *time));
    return std::nullopt;
}

} // namespace tarnvue
