#include "ComponentRegistry.h"

namespace tarnvue {

ComponentRegistry& ComponentRegistry::instance() {
    static ComponentRegistry registry;
    return registry;
}

void ComponentRegistry::add(const QString& identifier, Factory factory) {
    m_factories[identifier] = std::move(factory);
}

void ComponentRegistry::remove(const QString& identifier) {
    m_factories.erase(identifier);
}

bool ComponentRegistry::contains(const QString& identifier) const {
    return m_factories.count(identifier) != 0;
}

std::unique_ptr<QObject> ComponentRegistry::create(const QString& identifier) const {
    const auto it = m_factories.find(identifier);
    if (it == m_factories.end() || !it->second)
        return nullptr;
    return it->second();
}

} // namespace tarnvue
