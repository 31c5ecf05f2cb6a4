#include "WebArchive.h"

#include <QUuid>
#include <algorithm>

namespace tarnvue {

namespace {

// Base64 in lines of 76 characters, as MIME asks.
QByteArray base64Lines(const QByteArray& bytes) {
    const QByteArray encoded = bytes.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / 38 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += 76) {
        lines += encoded.mid(i, 76);
        lines += "\r\n";
    }
    return lines;
}

// A header's text after its name ("Subject: "): plain when it is printable
// ASCII that fits the line and that no reader could take for an encoded
// word; otherwise RFC 2047 encoded words, each of whole UTF-8 characters and
// at most 75 characters long, one a line, so that no line of the header
// passes 78 characters.
QByteArray headerText(const QString& text, qsizetype nameLength) {
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    bool plain = nameLength + flat.size() <= 78 && !flat.contains(QLatin1String("=?"));
    for (QChar c : flat) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) {
            plain = false;
            break;
        }
    }
    if (plain)
        return flat.toLatin1();
    // 42 bytes make 56 base64 characters, a word of 68.
    constexpr qsizetype WordBytes = 42;
    const QByteArray utf8 = flat.toUtf8();
    QByteArray words;
    for (qsizetype at = 0; at < utf8.size();) {
        qsizetype end = std::min(at + WordBytes, utf8.size());
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end; // a character's continuation bytes stay with it
        if (!words.isEmpty())
            words += "\r\n ";
        words += "=?utf-8?B?" + utf8.mid(at, end - at).toBase64() + "?=";
        at = end;
    }
    return words;
}

} // namespace

QByteArray WebArchive::toBytes() const {
    // Base64 lines never begin with "--", so this boundary cannot occur in
    // the parts.
    const QByteArray boundary = "----=_NextPart_" + QUuid::createUuid().toByteArray(QUuid::Id128);
    const QByteArray crlf = "\r\n";
    QByteArray out;
    out += "From: <Saved by Tarnvue>" + crlf;
    out += "Subject: " + headerText(subject, 9) + crlf;
    out += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + crlf;
    out += "MIME-Version: 1.0" + crlf;
    out += "Content-Type: multipart/related;" + crlf + "\ttype=\"text/html\";" + crlf +
           "\tboundary=\"" + boundary + "\"" + crlf;
    out += crlf + "This is a multi-part message in MIME format." + crlf + crlf;

    out += "--" + boundary + crlf;
    out += "Content-Type: text/html; charset=\"utf-8\"" + crlf;
    out += "Content-Transfer-Encoding: base64" + crlf;
    out += "Content-Location: index.html" + crlf + crlf;
    out += base64Lines(html.toUtf8()) + crlf;

    out += "--" + boundary + crlf;
    out += "Content-Type: image/png" + crlf;
    out += "Content-Transfer-Encoding: base64" + crlf;
    out += "Content-ID: <" + imageContentId().toLatin1() + ">" + crlf;
    out += "Content-Location: chart.png" + crlf + crlf;
    out += base64Lines(png) + crlf;

    out += "--" + boundary + "--" + crlf;
    return out;
}

} // namespace tarnvue
