#pragma once
// The desktop's side of the session bus, played by tests: a notification area's watcher (with a host
// that shows items), a notification server that records what it is asked to show, and a client that
// calls the program's bus objects and records their PropertiesChanged signals. It serves from a thread
// of its own; every method may be called from any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class DesktopBusProbe {
public:
    struct Notification {
        std::string appName;
        std::string icon;
        std::string summary;
        std::string body;
        std::int32_t timeoutMilliseconds = 0;
    };

    virtual ~DesktopBusProbe() = default;

    // Takes org.kde.StatusNotifierWatcher and records the items that register.
    virtual bool ServeStatusNotifierWatcher() = 0;
    // Gives the watcher's name up and forgets its items, as a panel that ends.
    virtual void StopServingStatusNotifierWatcher() = 0;
    virtual std::vector<std::string> RegisteredItems() = 0;
    // Takes org.freedesktop.Notifications and records every Notify call.
    virtual bool ServeNotifications() = 0;
    virtual std::vector<Notification> Notifications() = 0;

    // One key the settings portal serves: a uint32 (`number`) or a boolean (`flag`).
    struct PortalSetting {
        std::string space;
        std::string key;
        std::optional<std::uint32_t> number;
        std::optional<bool> flag;
    };
    // Takes org.freedesktop.portal.Desktop and serves org.freedesktop.portal.Settings' Read (each value
    // wrapped in one more variant, as version 1 has it) and, when `readOne`, version 2's ReadOne. A key
    // not in `settings` is answered with org.freedesktop.portal.Error.NotFound. Answers each call after
    // `delayMilliseconds` (a slow portal). Counts the calls.
    virtual bool ServeSettingsPortal(std::vector<PortalSetting> settings, bool readOne,
                                     int delayMilliseconds = 0) = 0;
    virtual int PortalCalls() = 0;
    // Serves `setting` from now on (replacing one of the same key) and emits the portal's SettingChanged.
    virtual bool ChangePortalSetting(const PortalSetting& setting) = 0;

    // Calls `method` of `interface` on object `path` of `service`, with the two int32 arguments 0, 0
    // when `withPoint` (the item's click methods) or none. False when the call failed.
    virtual bool Call(const std::string& service, const std::string& path, const std::string& interface,
                      const std::string& method, bool withPoint = false) = 0;
    // A string property's value; empty when it cannot be read.
    virtual std::string StringProperty(const std::string& service, const std::string& path,
                                       const std::string& interface, const std::string& name) = 0;
    // Records the names of the properties each PropertiesChanged signal of `path` on `service` carries.
    virtual bool WatchProperties(const std::string& service, const std::string& path) = 0;
    virtual std::vector<std::vector<std::string>> PropertyChanges() = 0;
};

// Null when there is no session bus.
std::unique_ptr<DesktopBusProbe> CreateDesktopBusProbe();

} // namespace platform
