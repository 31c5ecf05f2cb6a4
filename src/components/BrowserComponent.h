#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

namespace tarnvue {

// The browser component ("Norvane.Browser"): shows one page, a local file://
// address (a query part included) or a web address, in the desktop's
// browser. Callers drive it by name: invokeMethod(obj, "Browse", address).
class BrowserComponent : public QObject {
    Q_OBJECT

public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit BrowserComponent(QObject* parent = nullptr);

    // Shows the page; false when the address is unusable (empty, not
    // absolute, or of a scheme other than file, http and https) or the
    // desktop could not show it.
    Q_INVOKABLE bool Browse(const QString& address);

    // Hands a page to the desktop (QDesktopServices::openUrl), or to the
    // opener installed for tests. The help viewer uses this too.
    static bool openUrl(const QUrl& url);

    // Replaces the desktop while set, so tests never start a real browser;
    // an empty function restores the desktop.
    static void setUrlOpener(UrlOpener opener);
};

} // namespace tarnvue
