#include "WebArchive.h"

#include <QUuid>

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

// A header text: plain when it is printable ASCII, else an RFC 2047 word.
QByteArray headerText(const QString& text) {
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    bool plain = true;
    for (QChar c : flat) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) {
            plain = false;
            break;
        }
    }
    if (plain)
        return flat.toLatin1();
    return "=?utf-8?B?" + flat.toUtf8().toBase64() + "?=";
}

} // namespace

QByteArray WebArchive::toBytes() const {
    // Base64 lines never begin with "--", so this boundary cannot occur in
    // the parts.
    const QByteArray boundary = "----=_NextPart_" + QUuid::createUuid().toByteArray(QUuid::Id128);
    const QByteArray crlf = "\r\n";
    QByteArray out;
    out += "From: <Saved by Tarnvue>" + crlf;
    out += "Subject: " + headerText(subject) + crlf;
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
