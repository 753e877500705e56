#pragma once
// The owner of one native top-level window: its back buffer (the size of the client area), the tree of
// controls rooted in `root`, and the table that maps window messages to handlers. It routes the mouse
// to controls with the two capture pointers of its context, copies only invalid parts of the back
// buffer to the screen, and hands WM_USER messages from worker threads to HandleCallbackMessage.
//
// The native window handle is the PostTarget worker threads post to; it stays valid until the owner is
// deleted. Whoever published it (MyAppContext) must withdraw it before deleting the owner.

#include "app/MyMessageBase.h"
#include "platform/Accessibility.h"
#include "platform/Window.h"
#include "ui/MyAccessibleTree.h"
#include "ui/MyControlBase.h"
#include "ui/MySurface.h"

#include <map>
#include <memory>
#include <string>
#include <type_traits>

class MyOwnerWindowBase;

// A message handler: a member function of the owner window's class taking wParam, lParam and the
// "handled" flag, answering the message result. Assign `&Class::Member` directly.
class MyMessageHandler {
public:
    using Function = std::intptr_t (MyOwnerWindowBase::*)(std::uintptr_t, std::intptr_t, bool&);

    MyMessageHandler() = default;
    template <typename T>
    MyMessageHandler(std::intptr_t (T::*function)(std::uintptr_t, std::intptr_t, bool&))
        : function_(static_cast<Function>(function)) {
        static_assert(std::is_base_of_v<MyOwnerWindowBase, T>, "handlers are members of an owner window");
    }
    std::intptr_t operator()(MyOwnerWindowBase* owner, std::uintptr_t wParam, std::intptr_t lParam,
                             bool& handled) const {
        return function_ ? (owner->*function_)(wParam, lParam, handled) : 0;
    }

private:
    Function function_ = nullptr;
};

class MyOwnerWindowBase : public platform::WindowProcedure {
public:
    MyOwnerWindowBase();
    ~MyOwnerWindowBase() override;
    MyOwnerWindowBase(const MyOwnerWindowBase&) = delete;
    MyOwnerWindowBase& operator=(const MyOwnerWindowBase&) = delete;

    // Registers the class if needed, creates the visible window and its back buffer and fills `context`.
    // It does not make the root: the caller creates it, stores it in `root` and calls
    // root->Create(&context, 0, 0, clientWidth, clientHeight).
    virtual bool Create(platform::WindowSystem* instance, const std::u16string& className,
                        const std::u16string& title, const platform::IconImage* icon, std::int32_t x,
                        std::int32_t y, std::int32_t width, std::int32_t height);
    virtual void OnDestroy() {}
    virtual void OnMoving(RECT& rect) { (void)rect; }
    virtual void OnMove(POINT point) { (void)point; }
    virtual void OnSizing(RECT& rect, std::uintptr_t edge) { (void)rect, (void)edge; }
    virtual void OnSize(std::uintptr_t sizeType);
    virtual void OnLButtonDown(POINT point);
    virtual void OnLButtonUp(POINT point);
    virtual void OnRButtonDown(POINT point);
    virtual void OnRButtonUp(POINT point);
    virtual void OnMouseMove(POINT point);
    virtual void OnMouseWheel(POINT point, std::uint32_t delta);
    virtual void OnTimer(std::uintptr_t id) { (void)id; }
    // Receives a worker thread's message; the base only lets it go.
    virtual void HandleCallbackMessage(std::unique_ptr<MyOwnerWindowMessageBase> message) { (void)message; }

    // The window procedure shared by all owner windows.
    std::intptr_t WindowProc(platform::Window& native, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
    void DiscardPostedMessage(const platform::WindowMessage& message) override;

    std::unique_ptr<platform::Window> window;
    MySurface backBuffer;
    std::int32_t clientWidth = 0;
    std::int32_t clientHeight = 0;
    RECT clientRect;
    MyWindowContext context;
    std::unique_ptr<MyControlBase> root;
    std::map<std::uint32_t, MyMessageHandler> handlers;

    // The control holding the keyboard focus while it is enabled and shown, or null.
    MyControlBase* FocusedControl() const;

    // Assistive technology (a screen reader). Once given a backend, the window publishes a description of
    // its controls (the application `name`, the window by its title) after each paint (when what it shows may
    // have changed) and performs what the reader asks, which the backend posts as this message (wParam the
    // node, lParam a platform::AccessibleAction). Without a backend nothing of this runs.
    static constexpr std::uint32_t kAccessibilityMessage = 1028; // WM_USER + 4
    void EnableAccessibility(std::unique_ptr<platform::Accessibility> backend, std::u16string name);
    void PublishAccessibleTree();
    std::unique_ptr<platform::Accessibility> accessibility;
    MyAccessibleTree accessibleTree;
    std::u16string accessibleName;

private:
    bool PassComposition(std::uint32_t message);
    std::intptr_t HandleKeyDown(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleChar(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleStartComposition(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleComposition(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleEndComposition(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleDestroy(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandlePaint(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleMoving(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleMove(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleSizing(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleSize(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleLButtonDown(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleLButtonUp(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleRButtonDown(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleRButtonUp(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleMouseMove(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleMouseWheel(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleTimer(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleUser(std::uintptr_t, std::intptr_t, bool&);
    std::intptr_t HandleAccessibility(std::uintptr_t, std::intptr_t, bool&);
};
