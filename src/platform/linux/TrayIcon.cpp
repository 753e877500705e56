#include "platform/TrayIcon.h"

#include "platform/Utf.h"
#include "platform/linux/DesktopBus.h"

#include <atomic>
#include <chrono>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr std::uint32_t kPrimaryClick = 513;   // WM_LBUTTONDOWN
constexpr std::uint32_t kSecondaryClick = 516; // WM_RBUTTONDOWN
constexpr auto kCallTimeout = std::chrono::milliseconds(2000);

using Pixmap = sdbus::Struct<std::int32_t, std::int32_t, std::vector<std::uint8_t>>;
using ToolTip = sdbus::Struct<std::string, std::vector<Pixmap>, std::string, std::string>;

// The icon in the item's form: ARGB, 32 bits a pixel, in network byte order.
std::vector<Pixmap> Pixmaps(const IconImage& icon) {
    if (icon.width <= 0 || icon.height <= 0 ||
        icon.pixels.size() != static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height))
        return {};
    std::vector<std::uint8_t> bytes;
    bytes.reserve(icon.pixels.size() * 4);
    for (std::uint32_t pixel : icon.pixels)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(pixel >> shift));
    return {Pixmap(icon.width, icon.height, std::move(bytes))};
}

// A StatusNotifierItem registered with the desktop's watcher, and the balloon as a desktop notification.
class StatusNotifierTrayIcon final : public TrayIcon {
public:
    StatusNotifierTrayIcon() {
        static std::atomic<int> counter{0};
        name_ = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        bus_ = DesktopBus::Connect(name_);
        // A panel may start after the program (both at login), or restart: the watcher is followed
        // from the start, and the item registers whenever one is there.
        if (bus_ && !FollowWatcher())
            bus_.reset();
        if (bus_) {
            watcherPresent_ = WatcherWithHost();
            bus_->Start();
        }
    }

    ~StatusNotifierTrayIcon() override {
        Remove();
        // A bus thread stuck in a call keeps what it may still be using.
        if (bus_ && !bus_->Run([this] { busDaemon_.reset(); })) {
            (void)busDaemon_.release();
            (void)object_.release();
        }
        bus_.reset();
    }

    // The watcher can come late, go and come back (a panel that restarts); without it nothing is shown.
    bool available() const override { return bus_ != nullptr && watcherPresent_; }

    // With a session bus the item is always published; a watcher there now registers it at once, one
    // that comes later when it takes its name.

    bool Add(const IconImage& icon, const std::u16string& tip, PostTarget* window,
             std::uint32_t callbackMessage) override {
        if (!bus_ || added_)
            return false;
        window_ = window;
        callbackMessage_ = callbackMessage;
        pixmaps_ = Pixmaps(icon);
        tip_ = Utf16ToUtf8(tip);
        bool ok = false;
        bus_->Run([&] {
            if (!nameHeld_)
                bus_->connection().requestName(name_);
            nameHeld_ = true;
            Register();
            ok = true;
        });
        if (!ok) {
            bus_->Run([&] { object_.reset(); });
            return false;
        }
        added_ = true;
        if (watcherPresent_)
            bus_->Run([&] { RegisterWithWatcher(); });
        return true;
    }

    bool Balloon(const std::u16string& title, const std::u16string& text,
                 std::uint32_t timeoutMilliseconds) override {
        if (!bus_ || !added_)
            return false;
        const std::string summary = Utf16ToUtf8(title);
        const std::string body = Utf16ToUtf8(text);
        const auto timeout = static_cast<std::int32_t>(timeoutMilliseconds);
        // Sent without waiting for the reply: a slow notification server never holds up the window.
        bus_->Post([this, summary, body, timeout] {
            auto server = sdbus::createProxy(bus_->connection(), kNotificationsName, kNotificationsPath);
            server->callMethod("Notify")
                .onInterface(kNotificationsName)
                .withArguments(std::string("Vantri"), std::uint32_t{0}, std::string("vantri"), summary, body,
                               std::vector<std::string>{}, std::map<std::string, sdbus::Variant>{}, timeout)
                .dontExpectReply();
        });
        return true;
    }

    void Remove() override {
        if (!bus_ || !added_)
            return;
        // Dropping the object and the name takes the item off the desktop: the watcher follows the name.
        bus_->Run([&] {
            object_.reset();
            bus_->connection().releaseName(name_);
            nameHeld_ = false;
        });
        added_ = false;
    }

private:
    // Follows the watcher's name: when a new watcher takes it, the item registers again; while nobody
    // holds it, there is no notification area.
    bool FollowWatcher() {
        try {
            busDaemon_ =
                sdbus::createProxy(bus_->connection(), "org.freedesktop.DBus", "/org/freedesktop/DBus");
            busDaemon_->uponSignal("NameOwnerChanged")
                .onInterface("org.freedesktop.DBus")
                .call([this](const std::string& name, const std::string&, const std::string& owner) {
                    if (name != kWatcherName)
                        return;
                    watcherPresent_ = !owner.empty();
                    if (!owner.empty() && added_)
                        RegisterWithWatcher();
                });
            busDaemon_->finishRegistration();
            return true;
        } catch (const sdbus::Error&) {
            return false;
        }
    }

    // Tells the watcher of the item; sent without waiting, on the bus thread.
    void RegisterWithWatcher() {
        try {
            auto watcher = sdbus::createProxy(bus_->connection(), kWatcherName, kWatcherPath);
            watcher->callMethod("RegisterStatusNotifierItem")
                .onInterface(kWatcherName)
                .withArguments(name_)
                .dontExpectReply();
        } catch (const sdbus::Error&) {
            // The watcher went again; the next one to come is told.
        }
    }

    // Whether a notification area is there: a watcher on the bus with a host that shows the items.
    bool WatcherWithHost() {
        try {
            auto watcher = sdbus::createProxy(bus_->connection(), kWatcherName, kWatcherPath);
            sdbus::Variant hosted;
            watcher->callMethod("Get")
                .onInterface("org.freedesktop.DBus.Properties")
                .withTimeout(kCallTimeout)
                .withArguments(std::string(kWatcherName), std::string("IsStatusNotifierHostRegistered"))
                .storeResultsTo(hosted);
            return hosted.get<bool>();
        } catch (const sdbus::Error&) {
            return false;
        }
    }

    void Click(std::uint32_t kind) {
        if (window_)
            window_->Post({callbackMessage_, 0, static_cast<std::intptr_t>(kind)});
    }

    void Register() {
        object_ = sdbus::createObject(bus_->connection(), kItemPath);
        auto& o = *object_;
        const char* item = kItemInterface;
        o.registerMethod("Activate")
            .onInterface(item)
            .withInputParamNames("x", "y")
            .implementedAs([this](std::int32_t, std::int32_t) { Click(kPrimaryClick); });
        o.registerMethod("SecondaryActivate")
            .onInterface(item)
            .withInputParamNames("x", "y")
            .implementedAs([this](std::int32_t, std::int32_t) { Click(kSecondaryClick); });
        o.registerMethod("ContextMenu")
            .onInterface(item)
            .withInputParamNames("x", "y")
            .implementedAs([this](std::int32_t, std::int32_t) { Click(kSecondaryClick); });
        o.registerMethod("Scroll")
            .onInterface(item)
            .withInputParamNames("delta", "orientation")
            .implementedAs([](std::int32_t, std::string) {});
        o.registerSignal("NewTitle").onInterface(item);
        o.registerSignal("NewIcon").onInterface(item);
        o.registerSignal("NewToolTip").onInterface(item);
        o.registerSignal("NewStatus").onInterface(item).withParameters<std::string>("status");
        o.registerProperty("Category").onInterface(item).withGetter([] {
            return std::string("ApplicationStatus");
        });
        o.registerProperty("Id").onInterface(item).withGetter([] { return std::string("vantri"); });
        o.registerProperty("Title").onInterface(item).withGetter([] { return std::string("Vantri"); });
        o.registerProperty("Status").onInterface(item).withGetter([] { return std::string("Active"); });
        o.registerProperty("WindowId").onInterface(item).withGetter([] { return std::int32_t{0}; });
        o.registerProperty("IconName").onInterface(item).withGetter([] { return std::string("vantri"); });
        o.registerProperty("IconPixmap").onInterface(item).withGetter([this] { return pixmaps_; });
        o.registerProperty("OverlayIconName").onInterface(item).withGetter([] { return std::string(); });
        o.registerProperty("OverlayIconPixmap").onInterface(item).withGetter([] {
            return std::vector<Pixmap>{};
        });
        o.registerProperty("AttentionIconName").onInterface(item).withGetter([] { return std::string(); });
        o.registerProperty("AttentionIconPixmap").onInterface(item).withGetter([] {
            return std::vector<Pixmap>{};
        });
        o.registerProperty("AttentionMovieName").onInterface(item).withGetter([] { return std::string(); });
        o.registerProperty("ToolTip").onInterface(item).withGetter(
            [this] { return ToolTip(std::string(), std::vector<Pixmap>{}, tip_, std::string()); });
        // Not a menu itself: hosts call Activate for the primary click and ContextMenu for the menu.
        o.registerProperty("ItemIsMenu").onInterface(item).withGetter([] { return false; });
        o.registerProperty("Menu").onInterface(item).withGetter(
            [] { return sdbus::ObjectPath("/NO_DBUSMENU"); });
        o.finishRegistration();
    }

    std::string name_;
    std::unique_ptr<DesktopBus> bus_;
    std::unique_ptr<sdbus::IObject> object_;
    std::unique_ptr<sdbus::IProxy> busDaemon_;
    std::atomic<bool> watcherPresent_{false};
    PostTarget* window_ = nullptr;
    std::uint32_t callbackMessage_ = 0;
    std::vector<Pixmap> pixmaps_;
    std::string tip_;
    std::atomic<bool> added_{false};
    bool nameHeld_ = true;
};

} // namespace

std::unique_ptr<TrayIcon> CreateTrayIcon() {
    return std::make_unique<StatusNotifierTrayIcon>();
}

} // namespace platform
