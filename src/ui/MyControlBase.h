#pragma once
// The tree of owner-drawn controls. Every control draws itself into the window's back buffer and
// invalidates its own rectangle; children are owned by their parent, painted first to last and
// hit-tested last to first, so a child attached later lies on top. Coordinates are absolute client
// coordinates of the window. User-interface thread only.

#include "platform/Accessibility.h"
#include "ui/Gdi.h"
#include "ui/Palette.h"

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace platform {
class Window;
class WindowSystem;
} // namespace platform

class MyControlBase;
class MyPopupMenu;

// Any object that receives control callbacks derives from this (every control does).
class MyCallbackTarget {
public:
    virtual ~MyCallbackTarget() = default;
};

// A callback: a member function of the target's class, invoked on the control's `callbackTarget`. It
// runs only when both the function and the target are set. Assign `&Class::Member` directly.
template <typename... Args> class MyCallback {
public:
    using Function = void (MyCallbackTarget::*)(Args...);

    MyCallback() = default;
    MyCallback(std::nullptr_t) {}
    template <typename T>
    MyCallback(void (T::*function)(Args...)) : function_(static_cast<Function>(function)) {
        static_assert(std::is_base_of_v<MyCallbackTarget, T>,
                      "callback targets derive from MyCallbackTarget");
    }

    explicit operator bool() const { return function_ != nullptr; }
    void operator()(MyCallbackTarget* target, Args... args) const {
        if (function_ && target)
            (target->*function_)(args...);
    }

private:
    Function function_ = nullptr;
};

// One per window; every control of the window points to it.
struct MyWindowContext {
    platform::WindowSystem* instance = nullptr;
    platform::Window* window = nullptr;
    // The address of the back buffer's device context, which stays put when the buffer is re-created.
    Dc* backBuffer = nullptr;
    // The controls that received the current left and right press. A control clears the one that
    // points to it when it is destroyed.
    MyControlBase* leftCapture = nullptr;
    MyControlBase* rightCapture = nullptr;
    // Controls waiting for their one Redraw before the window next reaches the screen
    // (MyControlBase::RedrawBeforePaint). A control leaves the list when it is destroyed.
    std::vector<MyControlBase*> deferredRedraws;
    // The popup menu opened over this window, open or already closed (MyPopupMenu.h).
    std::shared_ptr<MyPopupMenu> popupMenu;
    // The control that receives the keyboard (a text input), or null. A left press on a control that
    // takes the focus gives it the focus; a press anywhere else takes it away. A control clears it when
    // it is destroyed.
    MyControlBase* keyboardFocus = nullptr;
    // The focus was moved by the keyboard (Tab): the focused control shows the focus ring, in the
    // palette's ring colour and width. Any mouse press hides it again, so nothing changes on screen for
    // mouse users.
    bool focusVisible = false;
    // The colours of text, rows, selection and the focus ring (the default keeps the skin's look).
    MyPalette palette;
    // While the keyboard presses a control (Space, Enter, the context-menu key), the point pressed, in
    // client coordinates: a menu opened by that press opens there rather than at the mouse pointer.
    bool keyboardPressing = false;
    POINT keyboardPressPoint{};
};

// Moves the keyboard focus to `control` (null: none), telling the control that loses it and the one that
// gains it.
void SetKeyboardFocus(MyWindowContext* context, MyControlBase* control);

// The palette of the window `control` is in: its own context's, else the nearest ancestor's (list rows
// have none of their own); the default palette when none is found.
MyPalette PaletteOf(const MyControlBase& control);

class MyControlBase : public MyCallbackTarget {
public:
    MyControlBase() = default;
    ~MyControlBase() override;
    MyControlBase(const MyControlBase&) = delete;
    MyControlBase& operator=(const MyControlBase&) = delete;

    virtual void CreateFromRect(MyWindowContext* context, std::int32_t left, std::int32_t top,
                                std::int32_t right, std::int32_t bottom);
    virtual void Create(MyWindowContext* context, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height);
    virtual void Redraw();
    virtual MyControlBase* HitTest(POINT point);
    virtual void OnLButtonDown(POINT point);
    virtual void OnLButtonUp(POINT point);
    virtual void OnRButtonDown(POINT point);
    virtual void OnRButtonUp(POINT point);
    virtual void OnMouseDrag(POINT point);
    virtual void OnMouseHover(POINT point);
    // `delta` is the wheel message's high word zero-extended: 120 per notch up, 65416 per notch down.
    virtual void OnMouseWheel(POINT point, std::uint32_t delta);
    virtual void SetBounds(const RECT& rect);
    virtual void OnCreate() {}
    virtual void Paint() {}
    virtual void OnBoundsChanged(const RECT& oldRect) { (void)oldRect; }

    // The keyboard, for the control that holds the focus (and OnKeyDown also for the root, with each key
    // the focused control leaves or when none has the focus). OnKeyDown answers whether it used the key;
    // OnChar takes one UTF-16 unit of typed text; OnComposition takes WM_IME_STARTCOMPOSITION,
    // WM_IME_COMPOSITION or WM_IME_ENDCOMPOSITION. WantsKey tells the message loop which keys the
    // control takes before the accelerator table sees them (a text input keeps Ctrl+C for its own
    // selection).
    virtual bool OnKeyDown(int virtualKey) {
        (void)virtualKey;
        return false;
    }
    virtual void OnChar(char16_t unit) { (void)unit; }
    virtual void OnComposition(std::uint32_t message) { (void)message; }
    virtual void OnFocusChanged(bool focused) { (void)focused; }
    virtual bool WantsKey(int virtualKey, bool control, bool shift, bool alt) const {
        (void)virtualKey, (void)control, (void)shift, (void)alt;
        return false;
    }
    bool hasFocus() const { return context && context->keyboardFocus == this; }
    // True when this control holds the focus and the focus ring is to be drawn.
    bool ShowsFocusRing() const { return hasFocus() && context->focusVisible; }
    // Controls that draw their focus ring themselves (a list rings its current row) answer true; for the
    // others the base draws it along the bounds after the control and its children painted.
    virtual bool DrawsOwnFocusRing() const { return false; }

    // Describes the control to assistive technology: fills the role, the name and description, the
    // states only the control knows (checkable, checked, selected, editable), whether it can be clicked,
    // its value and its text, and answers true. The default answers false: a reader does not see the
    // control itself, but its children are described still (MyAccessibleTree.h).
    virtual bool Describe(platform::AccessibleNode& node) {
        (void)node;
        return false;
    }

    // Shifts `child` and its subtree by this control's top-left corner (children are created relative to
    // their parent), makes this its parent and appends it. Answers the child, which this control now owns.
    MyControlBase* AddChild(std::unique_ptr<MyControlBase> child);
    template <typename T> T* AddChild(std::unique_ptr<T> child) {
        T* raw = child.get();
        AddChild(std::unique_ptr<MyControlBase>(std::move(child)));
        return raw;
    }
    // Moves the control and its subtree by (dx, dy), or to (dx, dy) when `absolute`.
    void Offset(std::int32_t dx, std::int32_t dy, bool absolute);
    // True when this control and every ancestor is visible.
    bool IsShown() const;
    // Asks for one Redraw just before the window's next paint reaches the screen, however often it is
    // asked until then, and invalidates the control so that the paint comes. For controls whose contents
    // change many times between two paints (a list filled item by item).
    void RedrawBeforePaint();

    MyWindowContext* context = nullptr;
    platform::WindowSystem* instance = nullptr;
    platform::Window* window = nullptr;
    Dc* backBuffer = nullptr;
    RECT bounds;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::unique_ptr<MyControlBase>> children;
    MyControlBase* parent = nullptr;
    bool enabled = true;
    bool visible = true;
    POINT lastPoint;
    MyCallbackTarget* callbackTarget = nullptr;
    std::int32_t controlId = 0;
    // A left press gives this control the keyboard focus.
    bool acceptsFocus = false;
    // Tab and Shift+Tab stop at this control. Keys it leaves then press it as the mouse would: Space and
    // Enter a left click at its middle, the context-menu key and Shift+F10 a right click.
    bool tabStop = false;
    // Siblings are walked by Tab in ascending order of this, and in tree order where it is the same.
    std::int32_t tabOrder = 0;
    // The id a screen reader knows this control by, given on its first description (MyAccessibleTree);
    // 0 until then. Kept by the control, so that no later control at the same address takes it.
    std::uint32_t accessibleId = 0;

    MyCallback<POINT, std::int32_t> LButtonDownCallback;
    MyCallback<std::int32_t> LButtonReleasedCallback;
    MyCallback<std::int32_t> LClickCallback;
    MyCallback<POINT, std::int32_t> DragCallback;
    MyCallback<POINT, std::int32_t> RButtonDownCallback;
    MyCallback<std::int32_t> RButtonReleasedCallback;
    MyCallback<std::int32_t> RClickCallback;
    MyCallback<POINT, std::int32_t> HoverCallback;
    MyCallback<POINT, std::uint32_t, std::int32_t> WheelCallback;

protected:
    // Stores `rect` in `bounds` and the four geometry fields, without any other effect.
    void StoreBounds(const RECT& rect);
    // Paint, invalidate, then redraw the children: the part of Redraw after its visibility tests.
    void PaintAndInvalidate();
};
