#include "BrowserComponent.h"

#include <QDesktopServices>

namespace tarnvue {

namespace {

BrowserComponent::UrlOpener& urlOpener() {
    static BrowserComponent::UrlOpener opener;
    return opener;
}

} // namespace

BrowserComponent::BrowserComponent(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("Norvane.Browser"));
}

bool BrowserComponent::Browse(const QString& address) {
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative())
        return false;
    // Nothing but pages: other schemes would start whatever handler the
    // desktop has for them.
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("file") && scheme != QLatin1String("http") &&
        scheme != QLatin1String("https"))
        return false;
    if (scheme != QLatin1String("file") && url.host().isEmpty())
        return false;
    return openUrl(url);
}

bool BrowserComponent::openUrl(const QUrl& url) {
    if (urlOpener())
        return urlOpener()(url);
    return QDesktopServices::openUrl(url);
}

void BrowserComponent::setUrlOpener(UrlOpener opener) {
    urlOpener() = std::move(opener);
}

} // namespace tarnvue
