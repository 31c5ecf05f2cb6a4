#include "StandardComponents.h"

#include "AboutDialogComponent.h"
#include "BrowserComponent.h"
#include "ComponentIds.h"
#include "core/ComponentRegistry.h"

namespace tarnvue {

void registerStandardComponents() {
    auto& registry = ComponentRegistry::instance();
    registry.add(ComponentIds::browser(), [] { return std::make_unique<BrowserComponent>(); });
    registry.add(ComponentIds::aboutDialog(),
                 [] { return std::make_unique<AboutDialogComponent>(); });
}

} // namespace tarnvue
