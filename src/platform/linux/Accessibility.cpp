#include "platform/Accessibility.h"

#include "platform/Utf.h"
#include "platform/linux/AtspiObjects.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

namespace platform {

namespace {

using namespace atspi;

// How long the setup's calls to the session bus may take.
constexpr std::chrono::seconds kSetupTimeout{5};

class AtspiAccessibility final : public Accessibility {
public:
    AtspiAccessibility(PostTarget* window, std::uint32_t actionMessage) : state_(std::make_shared<State>()) {
        state_->window = window;
        state_->actionMessage = actionMessage;
        // Finding the bus may start its launcher: that goes on beside the window, which opens meanwhile.
        setup_ = std::thread([state = state_] { Setup(state); });
    }

    ~AtspiAccessibility() override {
        bool handedOver = false;
        {
            std::lock_guard guard(state_->lock);
            state_->stopping = true;
            state_->window = nullptr;
            handedOver = state_->handedOver;
        }
        // A setup still waiting for the session bus ends by itself and tidies up after itself.
        if (!handedOver) {
            setup_.detach();
            return;
        }
        setup_.join();
        State& s = *state_;
        if (!s.bus->Run([&s] { s.Teardown(); })) {
            // A bus thread stuck in a call keeps the objects: it may still be using them.
            for (auto& [id, object] : s.objects)
                (void)object.release();
            (void)s.root.release();
            (void)s.cache.release();
            (void)s.registry.release();
        }
        s.bus.reset();
    }

    bool available() const override {
        std::lock_guard guard(state_->lock);
        return state_->registered && state_->bus && state_->bus->connected();
    }

    void Publish(AccessibleTree tree) override {
        DesktopBus* bus = nullptr;
        {
            std::lock_guard guard(state_->lock);
            state_->next = std::move(tree);
            state_->pending = true;
            if (state_->handedOver)
                bus = state_->bus.get();
        }
        // Before the setup has handed the bus over, it takes the last tree itself once it has.
        if (bus)
            bus->Post(TakeTreeTask(state_));
    }

    void Announce(std::uint32_t id, const std::u16string& text) override {
        DesktopBus* bus = nullptr;
        {
            std::lock_guard guard(state_->lock);
            if (state_->handedOver)
                bus = state_->bus.get();
        }
        if (!bus)
            return;
        // After the tree published before it, so that the node exists. Politeness 1: polite.
        bus->Post([weak = std::weak_ptr<State>(state_), id, message = Utf16ToUtf8(text)] {
            if (auto held = weak.lock()) {
                held->TakeTree();
                held->Emit(id, kEventObject, "Announcement", "", 1, 0, sdbus::Variant(message));
            }
        });
    }

    // Runs TakeTree on the bus thread for as long as the state is there.
    static std::function<void()> TakeTreeTask(const std::shared_ptr<State>& state) {
        return [weak = std::weak_ptr<State>(state)] {
            if (auto held = weak.lock())
                held->TakeTree();
        };
    }

private:
    static void Setup(const std::shared_ptr<State>& state) {
        const char* off = std::getenv("NO_AT_BRIDGE");
        if (off && std::strcmp(off, "1") == 0)
            return;
        std::string address;
        try {
            auto session = sdbus::createSessionBusConnection();
            auto proxy = sdbus::createProxy(*session, "org.a11y.Bus", "/org/a11y/bus");
            proxy->callMethod("GetAddress")
                .onInterface("org.a11y.Bus")
                .withTimeout(kSetupTimeout)
                .storeResultsTo(address);
        } catch (const sdbus::Error&) {
            return; // no session bus, or no accessibility bus on it: nothing to do
        }
        std::unique_ptr<DesktopBus> bus = address.empty() ? nullptr : DesktopBus::ConnectTo(address);
        if (!bus)
            return;
        State& s = *state;
        {
            std::lock_guard guard(s.lock);
            if (s.stopping)
                return;
            s.bus = std::move(bus);
        }
        try {
            s.uniqueName = s.bus->connection().getUniqueName();
            s.RegisterRoot();
        } catch (const sdbus::Error&) {
            s.Teardown();
            std::lock_guard guard(s.lock);
            s.bus.reset();
            return;
        }
        s.bus->Start();
        s.bus->Post([weak = std::weak_ptr<State>(state)] {
            if (auto held = weak.lock())
                held->Embed();
        });
        bool stopping = false;
        {
            std::lock_guard guard(s.lock);
            stopping = s.stopping;
            s.handedOver = !stopping;
        }
        if (stopping) {
            // The backend went while this ran: its objects go with the bus, on the bus thread.
            s.bus->Run([&s] { s.Teardown(); });
            s.bus.reset();
            return;
        }
        // The tree published while this ran.
        s.bus->Post(TakeTreeTask(state));
    }

    std::shared_ptr<State> state_;
    std::thread setup_;
};

} // namespace

std::unique_ptr<Accessibility> CreateAccessibility(PostTarget* window, std::uint32_t actionMessage) {
    return std::make_unique<AtspiAccessibility>(window, actionMessage);
}

} // namespace platform
