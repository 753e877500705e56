#pragma once
// The AT-SPI objects of the program on the accessibility bus: the application root, one object for each
// node of the published tree with the interfaces its role has (Accessible, Component, Action, Value,
// Text), and the events that tell a reader what changed between two trees. Linux backend only.

#include "platform/linux/AtspiSnapshot.h"
#include "platform/linux/DesktopBus.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform::atspi {

using Reference = sdbus::Struct<std::string, sdbus::ObjectPath>;

// The object path of node `id`; the application root for 0.
std::string NodePath(std::uint32_t id);

constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kRegistryName = "org.a11y.atspi.Registry";
constexpr const char* kEventObject = "org.a11y.atspi.Event.Object";
constexpr const char* kNullPath = "/org/a11y/atspi/null";

// Everything the backend keeps. The setup thread and the bus thread hold it too, so that neither uses
// freed memory when the backend goes while they still run.
struct State {
    std::mutex lock;
    // Guarded by `lock`.
    PostTarget* window = nullptr;
    std::uint32_t actionMessage = 0;
    bool stopping = false;
    bool handedOver = false; // the setup gave `bus` to the backend
    bool registered = false; // the registry took the application
    bool pending = false;
    AccessibleTree next;

    std::unique_ptr<DesktopBus> bus;
    std::string uniqueName;

    // Bus thread only.
    Snapshot snapshot;
    std::int32_t applicationId = 0;
    Reference desktop{std::string(kRegistryName), sdbus::ObjectPath(kRootPath)};
    std::unique_ptr<sdbus::IObject> root;
    std::unique_ptr<sdbus::IObject> cache;
    std::unique_ptr<sdbus::IProxy> registry;
    std::map<std::uint32_t, std::unique_ptr<sdbus::IObject>> objects;
    std::map<std::uint32_t, AccessibleRole> objectRoles;

    Reference Ref(std::uint32_t id) const { return {uniqueName, sdbus::ObjectPath(NodePath(id))}; }
    Reference NullRef() const { return {uniqueName, sdbus::ObjectPath(kNullPath)}; }

    const AccessibleNode& Node(std::uint32_t id) const {
        const AccessibleNode* node = snapshot.Find(id);
        if (!node)
            throw sdbus::Error("org.freedesktop.DBus.Error.UnknownObject", "The control is gone");
        return *node;
    }

    void Post(std::uint32_t id, AccessibleAction action) {
        std::lock_guard guard(lock);
        if (window)
            window->Post({actionMessage, id, static_cast<std::intptr_t>(action)});
    }

    void RegisterRoot();
    void RegisterNode(std::uint32_t id, AccessibleRole role);
    void RegisterAccessible(sdbus::IObject& o, std::uint32_t id);
    void Embed();
    void TakeTree();
    void Emit(std::uint32_t id, const char* interface, const char* member, const std::string& kind,
              std::int32_t detail1, std::int32_t detail2, const sdbus::Variant& data);
    void Teardown() {
        objects.clear();
        objectRoles.clear();
        root.reset();
        cache.reset();
        registry.reset();
    }
};

} // namespace platform::atspi
