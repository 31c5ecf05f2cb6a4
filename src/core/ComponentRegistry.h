#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace tarnvue {

// The outside components the program drives (the export engine, the About
// dialog, the browser) are created by identifier, such as
// "NorvaneExports7.Engine". An identifier nobody registered fails to create,
// exactly like a component that is not installed; tests register fakes.
class ComponentRegistry {
public:
    using Factory = std::function<std::unique_ptr<QObject>()>;

    static ComponentRegistry& instance();

    void add(const QString& identifier, Factory factory);
    void remove(const QString& identifier);
    bool contains(const QString& identifier) const;

    // A new instance, or nullptr when the identifier is not registered.
    std::unique_ptr<QObject> create(const QString& identifier) const;

private:
    std::map<QString, Factory> m_factories;
};

} // namespace tarnvue
