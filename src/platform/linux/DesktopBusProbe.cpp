#include "platform/DesktopBusProbe.h"

#include "platform/linux/DesktopBus.h"

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace platform {

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kNotifications = "org.freedesktop.Notifications";

class SessionBusProbe final : public DesktopBusProbe {
public:
    explicit SessionBusProbe(std::unique_ptr<DesktopBus> bus) : bus_(std::move(bus)) { bus_->Start(); }
    ~SessionBusProbe() override {
        bus_->Run([this] {
            proxies_.clear();
            watcher_.reset();
            notifications_.reset();
            portal_.reset();
        });
        bus_.reset();
    }

    bool ServeStatusNotifierWatcher() override {
        bool ok = false;
        bus_->Run([&] {
            bus_->connection().requestName(kWatcher);
            watcher_ = sdbus::createObject(bus_->connection(), "/StatusNotifierWatcher");
            watcher_->registerMethod("RegisterStatusNotifierItem")
                .onInterface(kWatcher)
                .withInputParamNames("service")
                .implementedAs([this](std::string service) {
                    std::lock_guard guard(lock_);
                    items_.push_back(service);
                });
            watcher_->registerMethod("RegisterStatusNotifierHost")
                .onInterface(kWatcher)
                .withInputParamNames("service")
                .implementedAs([](std::string) {});
            watcher_->registerProperty("RegisteredStatusNotifierItems")
                .onInterface(kWatcher)
                .withGetter([this] {
                    std::lock_guard guard(lock_);
                    return items_;
                });
            watcher_->registerProperty("IsStatusNotifierHostRegistered").onInterface(kWatcher).withGetter([] {
                return true;
            });
            watcher_->registerProperty("ProtocolVersion").onInterface(kWatcher).withGetter([] {
                return std::int32_t{0};
            });
            watcher_->finishRegistration();
            ok = true;
        });
        return ok;
    }

    void StopServingStatusNotifierWatcher() override {
        bus_->Run([this] {
            watcher_.reset();
            bus_->connection().releaseName(kWatcher);
        });
        std::lock_guard guard(lock_);
        items_.clear();
    }

    std::vector<std::string> RegisteredItems() override {
        std::lock_guard guard(lock_);
        return items_;
    }

    bool ServeNotifications() override {
        bool ok = false;
        bus_->Run([&] {
            bus_->connection().requestName(kNotifications);
            notifications_ = sdbus::createObject(bus_->connection(), "/org/freedesktop/Notifications");
            notifications_->registerMethod("Notify")
                .onInterface(kNotifications)
                .implementedAs([this](std::string app, std::uint32_t, std::string icon, std::string summary,
                                      std::string body, std::vector<std::string>,
                                      std::map<std::string, sdbus::Variant>, std::int32_t timeout) {
                    std::lock_guard guard(lock_);
                    shown_.push_back({app, icon, summary, body, timeout});
                    return static_cast<std::uint32_t>(shown_.size());
                });
            notifications_->registerMethod("GetCapabilities").onInterface(kNotifications).implementedAs([] {
                return std::vector<std::string>{"body"};
            });
            notifications_->finishRegistration();
            ok = true;
        });
        return ok;
    }

    bool ServeSettingsPortal(std::vector<PortalSetting> settings, bool readOne,
                             int delayMilliseconds) override {
        bool ok = false;
        bus_->Run([&] {
            bus_->connection().requestName("org.freedesktop.portal.Desktop");
            portal_ = sdbus::createObject(bus_->connection(), "/org/freedesktop/portal/desktop");
            {
                std::lock_guard guard(lock_);
                portalSettings_ = std::move(settings);
            }
            auto answer = [this, delayMilliseconds](sdbus::MethodCall call, bool wrapped) {
                std::vector<PortalSetting> served;
                {
                    std::lock_guard guard(lock_);
                    ++portalCalls_;
                    served = portalSettings_;
                }
                if (delayMilliseconds > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMilliseconds));
                std::string space, key;
                call >> space >> key;
                for (const PortalSetting& setting : served) {
                    if (setting.space != space || setting.key != key)
                        continue;
                    auto reply = call.createReply();
                    const char* type = setting.number ? "u" : "b";
                    if (wrapped)
                        reply.openVariant(std::string("v"));
                    reply.openVariant(type);
                    if (setting.number)
                        reply << *setting.number;
                    else
                        reply << setting.flag.value_or(false);
                    reply.closeVariant();
                    if (wrapped)
                        reply.closeVariant();
                    reply.send();
                    return;
                }
                throw sdbus::Error("org.freedesktop.portal.Error.NotFound", "Requested setting not found");
            };
            constexpr const char* kSettings = "org.freedesktop.portal.Settings";
            portal_->registerMethod(kSettings, "Read", "ss", "v",
                                    [answer](sdbus::MethodCall call) { answer(std::move(call), true); });
            if (readOne)
                portal_->registerMethod(kSettings, "ReadOne", "ss", "v",
                                        [answer](sdbus::MethodCall call) { answer(std::move(call), false); });
            portal_->finishRegistration();
            ok = true;
        });
        return ok;
    }

    bool ChangePortalSetting(const PortalSetting& setting) override {
        {
            std::lock_guard guard(lock_);
            bool replaced = false;
            for (PortalSetting& served : portalSettings_) {
                if (served.space == setting.space && served.key == setting.key)
                    served = setting, replaced = true;
            }
            if (!replaced)
                portalSettings_.push_back(setting);
        }
        bool ok = false;
        bus_->Run([&] {
            if (!portal_)
                return;
            const sdbus::Variant value = setting.number ? sdbus::Variant(*setting.number)
                                                        : sdbus::Variant(setting.flag.value_or(false));
            portal_->emitSignal("SettingChanged")
                .onInterface("org.freedesktop.portal.Settings")
                .withArguments(setting.space, setting.key, value);
            ok = true;
        });
        return ok;
    }

    int PortalCalls() override {
        std::lock_guard guard(lock_);
        return portalCalls_;
    }

    std::vector<Notification> Notifications() override {
        std::lock_guard guard(lock_);
        return shown_;
    }

    bool Call(const std::string& service, const std::string& path, const std::string& interface,
              const std::string& method, bool withPoint) override {
        // Called from the test's thread with a connection of its own, so that the bus thread stays free to
        // serve whatever the call sets off.
        try {
            auto proxy = sdbus::createProxy(sdbus::createSessionBusConnection(), service, path);
            // The call is made when the invoker goes, at the end of each statement.
            if (withPoint)
                proxy->callMethod(method).onInterface(interface).withArguments(std::int32_t{0},
                                                                               std::int32_t{0});
            else
                proxy->callMethod(method).onInterface(interface);
            return true;
        } catch (const sdbus::Error&) {
            return false;
        }
    }

    std::string StringProperty(const std::string& service, const std::string& path,
                               const std::string& interface, const std::string& name) override {
        try {
            auto proxy = sdbus::createProxy(sdbus::createSessionBusConnection(), service, path);
            return proxy->getProperty(name).onInterface(interface).get<std::string>();
        } catch (const sdbus::Error&) {
            return {};
        }
    }

    bool WatchProperties(const std::string& service, const std::string& path) override {
        bool ok = false;
        bus_->Run([&] {
            auto proxy = sdbus::createProxy(bus_->connection(), service, path);
            proxy->uponSignal("PropertiesChanged")
                .onInterface("org.freedesktop.DBus.Properties")
                .call([this](std::string, std::map<std::string, sdbus::Variant> changed,
                             std::vector<std::string> invalidated) {
                    std::vector<std::string> names = invalidated;
                    for (const auto& [name, value] : changed)
                        names.push_back(name);
                    std::lock_guard guard(lock_);
                    changes_.push_back(names);
                });
            proxy->finishRegistration();
            proxies_.push_back(std::move(proxy));
            ok = true;
        });
        return ok;
    }

    std::vector<std::vector<std::string>> PropertyChanges() override {
        std::lock_guard guard(lock_);
        return changes_;
    }

private:
    std::unique_ptr<DesktopBus> bus_;
    std::unique_ptr<sdbus::IObject> watcher_;
    std::unique_ptr<sdbus::IObject> notifications_;
    std::unique_ptr<sdbus::IObject> portal_;
    int portalCalls_ = 0;
    std::vector<PortalSetting> portalSettings_;
    std::vector<std::unique_ptr<sdbus::IProxy>> proxies_;
    std::mutex lock_;
    std::vector<std::string> items_;
    std::vector<Notification> shown_;
    std::vector<std::vector<std::string>> changes_;
};

} // namespace

std::unique_ptr<DesktopBusProbe> CreateDesktopBusProbe() {
    auto bus = DesktopBus::Connect("");
    if (!bus)
        return nullptr;
    return std::make_unique<SessionBusProbe>(std::move(bus));
}

} // namespace platform
