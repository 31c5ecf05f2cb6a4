#include "ComponentIds.h"

namespace tarnvue::ComponentIds {

QString exportEngine() {
    return QStringLiteral("NorvaneExports7.Engine");
}
QString aboutDialog() {
    return QStringLiteral("NorvaneHelpAbout.AboutDialog");
}
QString browser() {
    return QStringLiteral("Norvane.Browser");
}

} // namespace tarnvue::ComponentIds
