#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tarnvue {

// A single-file web archive (MHTML, RFC 2557): one multipart/related message
// whose first part is the HTML page and whose second part is the PNG image
// the page shows. The page refers to the image as "cid:" + imageContentId,
// which browsers and mail programs resolve inside the archive.
struct WebArchive {
    QString subject; // the message's Subject header (the page title)
    QString html;    // the page, sent as UTF-8
    QByteArray png;  // the image's bytes
    QDateTime date = QDateTime::currentDateTime();

    static QString imageContentId() { return QStringLiteral("chart.png@tarnvue"); }
    static QString imageSource() { return QStringLiteral("cid:") + imageContentId(); }

    // The archive's bytes, lines ending in CR LF, both parts in base64.
    QByteArray toBytes() const;
};

} // namespace tarnvue
