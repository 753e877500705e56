#include "platform/Accessibility.h"

#include "platform/win32/MsaaObjects.h"
#include "platform/win32/Win32NativeWindow.h"

#include <wrl/client.h>

#include <utility>
#include <vector>

// The window's controls through MSAA: the window answers WM_GETOBJECT for its client area with an
// IAccessible of the published tree (each node an object of its own), and each published tree raises
// the WinEvents a reader follows (focus, state, name, value, children). Windows' UI Automation reaches
// the same objects through its MSAA proxy, which is how Narrator reads them.
//
// The window's thread enters a single-threaded apartment here, so that a reader in another process,
// whose calls LresultFromObject's marshalling routes to this apartment, is answered on that thread
// between its messages. Announcements are the text of a live label under the window node, which takes
// a name change and EVENT_OBJECT_LIVEREGIONCHANGED for each one.

namespace platform {

namespace {

using Microsoft::WRL::ComPtr;
using namespace msaa;

// The window properties that keep the backend and the procedure it took over.
constexpr wchar_t kBackendProperty[] = L"Vantri.Accessibility";
constexpr wchar_t kPreviousProperty[] = L"Vantri.Accessibility.Previous";
// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers offer from Windows 8 on; Windows 7 ignores it.
constexpr DWORD kLiveRegionChanged = 0x8019;

class NoAccessibility final : public Accessibility {
public:
    bool available() const override { return false; }
    void Publish(AccessibleTree) override {}
    void Announce(std::uint32_t, const std::u16string&) override {}
};

struct WinEvent {
    DWORD event = 0;
    std::uint32_t id = 0; // the node; the window node is raised as the client object itself
};

class MsaaAccessibility final : public Accessibility {
public:
    MsaaAccessibility(PostTarget* window, std::uint32_t actionMessage, HWND hwnd)
        : shared_(std::make_shared<Shared>()), hwnd_(hwnd) {
        // A thread already in an apartment keeps it (RPC_E_CHANGED_MODE); one this call entered leaves it
        // with the backend.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        leaveApartment_ = SUCCEEDED(com);
        shared_->hwnd = hwnd;
        shared_->window = window;
        shared_->actionMessage = actionMessage;
        root_.Attach(NewNodeObject(shared_, 0));
        const auto previous = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
        SetPropW(hwnd, kBackendProperty, this);
        SetPropW(hwnd, kPreviousProperty, reinterpret_cast<HANDLE>(previous));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
    }

    ~MsaaAccessibility() override {
        {
            std::lock_guard guard(shared_->lock);
            shared_->connected = false;
            shared_->window = nullptr;
        }
        Unhook();
        // Readers in other processes lose their proxies; objects held in this one answer that they are
        // disconnected.
        CoDisconnectObject(root_.Get(), 0);
        root_.Reset();
        if (leaveApartment_)
            CoUninitialize();
    }

    bool available() const override { return hwnd_ != nullptr; }

    void Publish(AccessibleTree tree) override {
        std::vector<WinEvent> events;
        {
            std::lock_guard guard(shared_->lock);
            Tree before = std::move(shared_->tree);
            shared_->tree = Tree();
            shared_->tree.KeepLiveLabel(before);
            shared_->tree.Assign(std::move(tree));
            Compare(before, shared_->tree, events);
        }
        // Raised without the lock: a hook in this process may ask the objects at once.
        Raise(events);
    }

    void Announce(std::uint32_t id, const std::u16string& text) override {
        std::vector<WinEvent> events;
        {
            std::lock_guard guard(shared_->lock);
            const AccessibleNode* root = shared_->tree.Root();
            if (!root)
                return;
            if (!shared_->tree.hasLiveLabel())
                events.push_back({EVENT_OBJECT_REORDER, root->id});
            shared_->tree.SetAnnouncement(text, id);
        }
        events.push_back({EVENT_OBJECT_NAMECHANGE, kLiveLabelId});
        events.push_back({kLiveRegionChanged, kLiveLabelId});
        Raise(events);
    }

private:
    // What changed from `before` to `after`, as the events a reader follows.
    static void Compare(const Tree& before, const Tree& after, std::vector<WinEvent>& events) {
        std::vector<std::uint32_t> reordered;
        auto reorder = [&](std::uint32_t parent) {
            for (std::uint32_t id : reordered)
                if (id == parent)
                    return;
            reordered.push_back(parent);
        };
        // Children that went, told to their parent while it stays.
        for (const AccessibleNode& old : before.tree().nodes) {
            if (after.Find(old.id))
                continue;
            const AccessibleNode* parent = before.Parent(old);
            if (parent && after.Find(parent->id))
                reorder(parent->id);
        }
        for (const AccessibleNode& node : after.tree().nodes) {
            const AccessibleNode* old = before.Find(node.id);
            if (!old) {
                // A new parent's own arrival covers its children.
                const AccessibleNode* parent = after.Parent(node);
                if (parent && before.Find(parent->id))
                    reorder(parent->id);
                continue;
            }
            if (old->name != node.name)
                events.push_back({EVENT_OBJECT_NAMECHANGE, node.id});
            const std::uint32_t changed = old->states ^ node.states;
            if (changed & (kAccessibleChecked | kAccessibleSelected | kAccessibleEnabled))
                events.push_back({EVENT_OBJECT_STATECHANGE, node.id});
            if (node.hasValue && old->value != node.value && (node.states & kAccessibleFocused))
                events.push_back({EVENT_OBJECT_VALUECHANGE, node.id});
        }
        for (std::uint32_t parent : reordered)
            events.push_back({EVENT_OBJECT_REORDER, parent});
        const std::uint32_t focus = after.Focused();
        if (focus != 0 && focus != before.Focused())
            events.push_back({EVENT_OBJECT_FOCUS, focus});
    }

    void Raise(const std::vector<WinEvent>& events) {
        if (!hwnd_)
            return;
        std::uint32_t rootId = 0;
        {
            std::lock_guard guard(shared_->lock);
            if (const AccessibleNode* root = shared_->tree.Root())
                rootId = root->id;
        }
        for (const WinEvent& e : events)
            NotifyWinEvent(e.event, hwnd_, OBJID_CLIENT,
                           e.id == rootId ? CHILDID_SELF : -static_cast<LONG>(e.id));
    }

    // The client object, for a WM_GETOBJECT that asks for it; 0 when there is no tree yet.
    LRESULT ClientObject(WPARAM wParam) {
        {
            std::lock_guard guard(shared_->lock);
            if (!shared_->tree.Root())
                return 0;
        }
        const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, root_.Get());
        return result > 0 ? result : 0;
    }

    // Gives the window its procedure back, when no one took it over after this backend.
    void Unhook() {
        if (!hwnd_)
            return;
        HWND hwnd = std::exchange(hwnd_, nullptr);
        if (!IsWindow(hwnd))
            return;
        if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure)) {
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(GetPropW(hwnd, kPreviousProperty)));
            RemovePropW(hwnd, kPreviousProperty);
        }
        // Otherwise Procedure stays in the chain and passes everything on.
        RemovePropW(hwnd, kBackendProperty);
    }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* backend = static_cast<MsaaAccessibility*>(GetPropW(hwnd, kBackendProperty));
        const auto previous = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kPreviousProperty));
        if (backend && message == WM_GETOBJECT &&
            static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
            if (const LRESULT object = backend->ClientObject(wParam))
                return object;
        }
        if (message == WM_NCDESTROY) {
            if (backend)
                backend->Unhook();
            RemovePropW(hwnd, kPreviousProperty);
        }
        return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam)
                        : DefWindowProcW(hwnd, message, wParam, lParam);
    }

    std::shared_ptr<Shared> shared_;
    HWND hwnd_;
    ComPtr<IAccessible> root_;
    bool leaveApartment_ = false;
};

} // namespace

std::unique_ptr<Accessibility> CreateAccessibility(PostTarget* window, std::uint32_t actionMessage) {
    HWND hwnd = NativeWindowOf(window);
    if (!hwnd)
        return std::make_unique<NoAccessibility>();
    return std::make_unique<MsaaAccessibility>(window, actionMessage, hwnd);
}

} // namespace platform
