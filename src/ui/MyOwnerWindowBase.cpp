#include "ui/MyOwnerWindowBase.h"

#include "ui/KeyboardFocus.h"
#include "ui/MyPopupMenu.h"

#include "app/MyCallbacks.h"

using namespace platform;

namespace {
// Button messages carry their coordinates as unsigned halves; moves and the wheel as signed ones.
POINT UnsignedPoint(std::intptr_t lParam) {
    return {static_cast<std::int32_t>(LowWord(lParam)), static_cast<std::int32_t>(HighWord(lParam))};
}
POINT SignedPoint(std::intptr_t lParam) {
    return {SignedLowWord(lParam), SignedHighWord(lParam)};
}
} // namespace

MyOwnerWindowBase::MyOwnerWindowBase() {
    context.leftCapture = nullptr;
    context.rightCapture = nullptr;
    handlers[WM_DESTROY] = &MyOwnerWindowBase::HandleDestroy;
    handlers[WM_PAINT] = &MyOwnerWindowBase::HandlePaint;
    handlers[WM_MOVING] = &MyOwnerWindowBase::HandleMoving;
    handlers[WM_MOVE] = &MyOwnerWindowBase::HandleMove;
    handlers[WM_SIZING] = &MyOwnerWindowBase::HandleSizing;
    handlers[WM_SIZE] = &MyOwnerWindowBase::HandleSize;
    handlers[WM_LBUTTONDOWN] = &MyOwnerWindowBase::HandleLButtonDown;
    handlers[WM_LBUTTONUP] = &MyOwnerWindowBase::HandleLButtonUp;
    handlers[WM_RBUTTONDOWN] = &MyOwnerWindowBase::HandleRButtonDown;
    handlers[WM_RBUTTONUP] = &MyOwnerWindowBase::HandleRButtonUp;
    handlers[WM_MOUSEMOVE] = &MyOwnerWindowBase::HandleMouseMove;
    handlers[WM_MOUSEWHEEL] = &MyOwnerWindowBase::HandleMouseWheel;
    handlers[WM_TIMER] = &MyOwnerWindowBase::HandleTimer;
    handlers[WM_USER] = &MyOwnerWindowBase::HandleUser;
    handlers[WM_KEYDOWN] = &MyOwnerWindowBase::HandleKeyDown;
    handlers[WM_CHAR] = &MyOwnerWindowBase::HandleChar;
    handlers[WM_IME_STARTCOMPOSITION] = &MyOwnerWindowBase::HandleStartComposition;
    handlers[WM_IME_COMPOSITION] = &MyOwnerWindowBase::HandleComposition;
    handlers[WM_IME_ENDCOMPOSITION] = &MyOwnerWindowBase::HandleEndComposition;
}

MyOwnerWindowBase::~MyOwnerWindowBase() {
    // The reader's backend goes first: it posts nothing once destroyed.
    accessibility.reset();
    root.reset();
    // Handlers may belong to a derived class, which is already gone.
    handlers.clear();
    if (window) {
        // Closing the native window hands back (and so frees) callback messages still queued for it.
        window->Destroy();
        window->SetProcedure(nullptr);
    }
    backBuffer.Release();
}

bool MyOwnerWindowBase::Create(WindowSystem* instance, const std::u16string& className,
                               const std::u16string& title, const IconImage* icon, std::int32_t x,
                               std::int32_t y, std::int32_t width, std::int32_t height) {
    if (!instance)
        return false;
    if (!instance->IsClassRegistered(className) && !instance->RegisterWindowClass(className, icon))
        return false;
    WindowParams params;
    params.className = className;
    params.title = title;
    params.icon = icon;
    params.x = x;
    params.y = y;
    params.width = width;
    params.height = height;
    window = instance->CreateNativeWindow(params);
    if (!window)
        return false;
    window->SetProcedure(this);
    const Point size = window->ClientSize();
    clientWidth = size.x;
    clientHeight = size.y;
    clientRect = {0, 0, clientWidth, clientHeight};
    backBuffer.ResizeSurface(window->scale(), clientWidth, clientHeight);
    context.instance = instance;
    context.window = window.get();
    context.backBuffer = &backBuffer.dc;
    return true;
}

std::intptr_t MyOwnerWindowBase::WindowProc(Window& native, std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    // While a popup menu is open it takes the keys, and a press in this window only closes it.
    if (context.popupMenu && context.popupMenu->IsOpen()) {
        if (message == WM_KEYDOWN) {
            context.popupMenu->HandleKey(static_cast<int>(wParam));
            return 0;
        }
        if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
            context.popupMenu->Close();
            return 0;
        }
    }
    auto found = handlers.find(message);
    if (found == handlers.end())
        return native.DefWindowProc(message, wParam, lParam);
    bool handled = true;
    // The handler may replace entries of the table, so it is copied before the call.
    const MyMessageHandler handler = found->second;
    const std::intptr_t result = handler(this, wParam, lParam, handled);
    return handled ? result : native.DefWindowProc(message, wParam, lParam);
}

void MyOwnerWindowBase::DiscardPostedMessage(const WindowMessage& message) {
    if (message.message == WM_USER && message.wParam != 0)
        MyCallbacks::Receive(message.wParam).reset();
}

void MyOwnerWindowBase::OnSize(std::uintptr_t) {
    if (root)
        root->SetBounds(clientRect);
}

void MyOwnerWindowBase::OnLButtonDown(POINT point) {
    if (!root)
        return;
    HideFocusRing(context);
    context.leftCapture = root->HitTest(point);
    // A press on a control that takes the keyboard gives it the focus; a press elsewhere takes it away.
    SetKeyboardFocus(&context, context.leftCapture && context.leftCapture->acceptsFocus ? context.leftCapture
                                                                                        : nullptr);
    if (context.leftCapture) {
        if (window)
            window->SetCapture();
        context.leftCapture->OnLButtonDown(point);
    }
}

void MyOwnerWindowBase::OnLButtonUp(POINT point) {
    MyControlBase* capture = context.leftCapture;
    if (!capture)
        return;
    if (!context.rightCapture && window)
        window->ReleaseCapture();
    capture->OnLButtonUp(point);
    context.leftCapture = nullptr;
}

void MyOwnerWindowBase::OnRButtonDown(POINT point) {
    if (!root)
        return;
    HideFocusRing(context);
    context.rightCapture = root->HitTest(point);
    if (context.rightCapture) {
        if (window)
            window->SetCapture();
        context.rightCapture->OnRButtonDown(point);
    }
}

void MyOwnerWindowBase::OnRButtonUp(POINT point) {
    MyControlBase* capture = context.rightCapture;
    if (!capture)
        return;
    if (!context.leftCapture && window)
        window->ReleaseCapture();
    capture->OnRButtonUp(point);
    context.rightCapture = nullptr;
}

void MyOwnerWindowBase::OnMouseMove(POINT point) {
    if (context.leftCapture)
        context.leftCapture->OnMouseDrag(point);
    else if (root)
        root->OnMouseHover(point);
}

void MyOwnerWindowBase::OnMouseWheel(POINT point, std::uint32_t delta) {
    if (context.leftCapture) {
        context.leftCapture->OnMouseWheel(point, delta);
        return;
    }
    if (!root)
        return;
    if (MyControlBase* target = root->HitTest(point))
        target->OnMouseWheel(point, delta);
}

MyControlBase* MyOwnerWindowBase::FocusedControl() const {
    MyControlBase* focus = context.keyboardFocus;
    return focus && focus->enabled && focus->IsShown() ? focus : nullptr;
}

std::intptr_t MyOwnerWindowBase::HandleKeyDown(std::uintptr_t wParam, std::intptr_t, bool& handled) {
    // Tab walks the tab stops. Other keys go to the focused control first; a tab stop that leaves Space,
    // Enter or its menu key is pressed by them; what is left goes to the root, which keeps the window's
    // own keys.
    const int key = static_cast<int>(wParam);
    const bool shift = context.instance && context.instance->IsKeyDown(VK_SHIFT);
    const bool modified =
        context.instance && (context.instance->IsKeyDown(VK_CONTROL) || context.instance->IsKeyDown(VK_MENU));
    if (key == VK_TAB && !modified && root) {
        MoveKeyboardFocus(context, *root, !shift);
        handled = true;
        return 0;
    }
    MyControlBase* focus = FocusedControl();
    handled =
        (focus && focus->OnKeyDown(key)) ||
        (focus && focus->tabStop && !focus->acceptsFocus && !modified && PressForKey(*focus, key, shift)) ||
        (root && root->OnKeyDown(key));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleChar(std::uintptr_t wParam, std::intptr_t, bool& handled) {
    MyControlBase* focus = FocusedControl();
    handled = focus != nullptr;
    if (focus)
        focus->OnChar(static_cast<char16_t>(wParam));
    return 0;
}

bool MyOwnerWindowBase::PassComposition(std::uint32_t message) {
    MyControlBase* focus = FocusedControl();
    if (focus)
        focus->OnComposition(message);
    return focus != nullptr;
}

std::intptr_t MyOwnerWindowBase::HandleStartComposition(std::uintptr_t, std::intptr_t, bool& handled) {
    handled = PassComposition(WM_IME_STARTCOMPOSITION);
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleComposition(std::uintptr_t, std::intptr_t, bool& handled) {
    handled = PassComposition(WM_IME_COMPOSITION);
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleEndComposition(std::uintptr_t, std::intptr_t, bool& handled) {
    handled = PassComposition(WM_IME_ENDCOMPOSITION);
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleDestroy(std::uintptr_t, std::intptr_t, bool&) {
    OnDestroy();
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandlePaint(std::uintptr_t, std::intptr_t, bool&) {
    if (!window)
        return 0;
    // Controls that asked for a redraw before this paint get it now; one may destroy another, which then
    // leaves the list, so the list is read afresh each time.
    while (!context.deferredRedraws.empty()) {
        MyControlBase* control = context.deferredRedraws.front();
        context.deferredRedraws.erase(context.deferredRedraws.begin());
        control->Redraw();
    }
    const Rect paint = window->BeginPaint();
    if (backBuffer.bitmap && !paint.empty())
        window->Present(backBuffer.bitmap->view(), paint);
    window->EndPaint();
    if (accessibility)
        PublishAccessibleTree();
    return 0;
}

void MyOwnerWindowBase::EnableAccessibility(std::unique_ptr<Accessibility> backend, std::u16string name) {
    accessibility = std::move(backend);
    accessibleName = std::move(name);
    if (!accessibility)
        return;
    handlers[kAccessibilityMessage] = &MyOwnerWindowBase::HandleAccessibility;
    PublishAccessibleTree();
}

void MyOwnerWindowBase::PublishAccessibleTree() {
    if (!accessibility || !root)
        return;
    AccessibleTree tree = accessibleTree.Describe(*root, window ? window->Title() : accessibleName,
                                                  MyAccessibleTree::Clock::now());
    tree.applicationName = accessibleName;
    if (window) {
        const Point origin = window->ScreenToClient(Point{0, 0});
        tree.clientLeft = -origin.x;
        tree.clientTop = -origin.y;
    }
    accessibility->Publish(std::move(tree));
    if (auto [id, text] = accessibleTree.TakeAnnouncement(); !text.empty())
        accessibility->Announce(id, text);
}

std::intptr_t MyOwnerWindowBase::HandleAccessibility(std::uintptr_t wParam, std::intptr_t lParam, bool&) {
    if (!root)
        return 0;
    // The action may open a menu or a box; the description follows with the next paint as well.
    accessibleTree.Perform(*root, static_cast<std::uint32_t>(wParam), static_cast<AccessibleAction>(lParam));
    PublishAccessibleTree();
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleMoving(std::uintptr_t, std::intptr_t lParam, bool&) {
    if (lParam)
        OnMoving(*reinterpret_cast<RECT*>(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleMove(std::uintptr_t, std::intptr_t lParam, bool&) {
    OnMove(UnsignedPoint(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleSizing(std::uintptr_t wParam, std::intptr_t lParam, bool&) {
    if (lParam)
        OnSizing(*reinterpret_cast<RECT*>(lParam), wParam);
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleSize(std::uintptr_t wParam, std::intptr_t lParam, bool&) {
    const auto newWidth = static_cast<std::int32_t>(LowWord(lParam));
    const auto newHeight = static_cast<std::int32_t>(HighWord(lParam));
    if (wParam == SIZE_MINIMIZED || (newWidth == clientWidth && newHeight == clientHeight))
        return 0;
    clientWidth = newWidth;
    clientHeight = newHeight;
    clientRect = {0, 0, clientWidth, clientHeight};
    backBuffer.ResizeSurface(window->scale(), clientWidth, clientHeight);
    OnSize(wParam);
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleLButtonDown(std::uintptr_t, std::intptr_t lParam, bool&) {
    OnLButtonDown(UnsignedPoint(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleLButtonUp(std::uintptr_t, std::intptr_t lParam, bool&) {
    OnLButtonUp(UnsignedPoint(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleRButtonDown(std::uintptr_t, std::intptr_t lParam, bool&) {
    OnRButtonDown(UnsignedPoint(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleRButtonUp(std::uintptr_t, std::intptr_t lParam, bool&) {
    OnRButtonUp(UnsignedPoint(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleMouseMove(std::uintptr_t, std::intptr_t lParam, bool&) {
    OnMouseMove(SignedPoint(lParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleMouseWheel(std::uintptr_t wParam, std::intptr_t lParam, bool&) {
    POINT point = SignedPoint(lParam);
    if (window)
        point = window->ScreenToClient(point);
    OnMouseWheel(point, HighWord(wParam));
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleTimer(std::uintptr_t wParam, std::intptr_t, bool&) {
    OnTimer(wParam);
    return 0;
}

std::intptr_t MyOwnerWindowBase::HandleUser(std::uintptr_t wParam, std::intptr_t, bool&) {
    if (wParam != 0)
        HandleCallbackMessage(MyCallbacks::Receive(wParam));
    return 0;
}
