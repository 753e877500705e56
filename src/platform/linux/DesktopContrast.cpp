#include "platform/DesktopContrast.h"

#include "platform/Environment.h"
#include "platform/linux/DesktopBus.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>

namespace platform {

namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";

// What is known of the portal while its settings are read.
struct PortalState {
    bool readOneMissing = false; // a version 1 portal: only Read
    bool unreachable = false;    // no portal on the bus, or it did not answer in time
};

// Anything but the portal's own answer that it lacks the key (or a method) means the portal cannot be
// reached: not on the bus, not answering in time, or the bus itself gone.
bool Unreachable(const sdbus::Error& error) {
    const std::string& name = error.getName();
    return name.rfind("org.freedesktop.portal.Error.", 0) != 0 &&
           name != "org.freedesktop.DBus.Error.UnknownMethod";
}

// One setting from the portal: ReadOne (version 2) answers the value itself; Read (version 1) answers it
// wrapped in one more variant. Empty when the portal has no such key or does not answer.
std::optional<sdbus::Variant> ReadSetting(sdbus::IProxy& portal, const std::string& space,
                                          const std::string& key, PortalState& state) {
    if (state.unreachable)
        return std::nullopt;
    const auto timeout = std::chrono::milliseconds(kDesktopContrastTimeoutMilliseconds);
    if (!state.readOneMissing) {
        try {
            sdbus::Variant value;
            portal.callMethod("ReadOne")
                .onInterface(kSettingsInterface)
                .withTimeout(timeout)
                .withArguments(space, key)
                .storeResultsTo(value);
            return value;
        } catch (const sdbus::Error& error) {
            state.unreachable = Unreachable(error);
            if (error.getName() != "org.freedesktop.DBus.Error.UnknownMethod")
                return std::nullopt;
            state.readOneMissing = true;
        }
    }
    try {
        sdbus::Variant value;
        portal.callMethod("Read")
            .onInterface(kSettingsInterface)
            .withTimeout(timeout)
            .withArguments(space, key)
            .storeResultsTo(value);
        if (value.containsValueOfType<sdbus::Variant>())
            return value.get<sdbus::Variant>();
        return value;
    } catch (const sdbus::Error& error) {
        state.unreachable = Unreachable(error);
        return std::nullopt;
    }
}

std::optional<bool> ContrastValue(const std::optional<sdbus::Variant>& value) {
    if (!value)
        return std::nullopt;
    if (value->containsValueOfType<std::uint32_t>())
        return value->get<std::uint32_t>() == 1;
    if (value->containsValueOfType<std::int32_t>())
        return value->get<std::int32_t>() == 1;
    return std::nullopt;
}

std::optional<bool> BooleanValue(const std::optional<sdbus::Variant>& value) {
    if (!value || !value->containsValueOfType<bool>())
        return std::nullopt;
    return value->get<bool>();
}

void ReadPortal(DesktopContrast& result) {
    try {
        auto connection = sdbus::createSessionBusConnection();
        auto portal = sdbus::createProxy(*connection, kPortalService, kPortalPath);
        // A portal that is not there, or did not answer, is not asked a second time.
        PortalState state;
        result.portal = ContrastValue(ReadSetting(*portal, "org.freedesktop.appearance", "contrast", state));
        result.gnome =
            BooleanValue(ReadSetting(*portal, "org.gnome.desktop.a11y.interface", "high-contrast", state));
    } catch (const sdbus::Error&) {
        // No session bus: nothing is readable there.
    }
}

bool IsContrastKey(const std::string& space, const std::string& key) {
    return (space == "org.freedesktop.appearance" && key == "contrast") ||
           (space == "org.gnome.desktop.a11y.interface" && key == "high-contrast");
}

// The portal's SettingChanged signal, heard on a bus connection with a thread of its own.
class PortalContrastWatch final : public DesktopContrastWatch {
public:
    PortalContrastWatch(std::unique_ptr<DesktopBus> bus, std::function<void()> changed)
        : bus_(std::move(bus)), changed_(std::move(changed)) {}
    ~PortalContrastWatch() override {
        bus_->Run([this] { proxy_.reset(); });
        bus_.reset();
    }

    bool Start() {
        bool ok = false;
        bus_->Run([&] {
            proxy_ = sdbus::createProxy(bus_->connection(), kPortalService, kPortalPath);
            proxy_->uponSignal("SettingChanged")
                .onInterface(kSettingsInterface)
                .call([this](std::string space, std::string key, sdbus::Variant) {
                    if (IsContrastKey(space, key))
                        changed_();
                });
            proxy_->finishRegistration();
            ok = true;
        });
        bus_->Start();
        return ok;
    }

private:
    std::unique_ptr<DesktopBus> bus_;
    std::function<void()> changed_;
    std::unique_ptr<sdbus::IProxy> proxy_;
};

} // namespace

std::unique_ptr<DesktopContrastWatch> WatchDesktopContrast(std::function<void()> changed) {
    auto bus = DesktopBus::Connect("");
    if (!bus)
        return nullptr;
    auto watch = std::make_unique<PortalContrastWatch>(std::move(bus), std::move(changed));
    if (!watch->Start())
        return nullptr;
    return watch;
}

DesktopContrast ReadDesktopContrast() {
    DesktopContrast result;
    ReadPortal(result);
    if (const auto theme = GetEnv("GTK_THEME"); theme && !theme->empty()) {
        std::string lower = *theme;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        result.themeName = lower.find("highcontrast") != std::string::npos;
    }
    return result;
}

} // namespace platform
