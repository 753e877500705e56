#include "ui/MyControlBase.h"

#include "platform/Window.h"
#include "ui/KeyboardFocus.h"

#include <algorithm>

MyControlBase::~MyControlBase() {
    if (context) {
        if (context->leftCapture == this)
            context->leftCapture = nullptr;
        if (context->rightCapture == this)
            context->rightCapture = nullptr;
        if (context->keyboardFocus == this)
            context->keyboardFocus = nullptr;
        auto& waiting = context->deferredRedraws;
        waiting.erase(std::remove(waiting.begin(), waiting.end(), this), waiting.end());
    }
    for (auto& child : children)
        child.reset();
    children.clear();
}

MyPalette PaletteOf(const MyControlBase& control) {
    for (const MyControlBase* c = &control; c; c = c->parent) {
        if (c->context)
            return c->context->palette;
    }
    return MyPalette{};
}

void SetKeyboardFocus(MyWindowContext* context, MyControlBase* control) {
    if (!context || context->keyboardFocus == control)
        return;
    MyControlBase* previous = context->keyboardFocus;
    context->keyboardFocus = control;
    if (previous)
        previous->OnFocusChanged(false);
    if (control && context->keyboardFocus == control)
        control->OnFocusChanged(true);
    // The ring leaves the one and comes to the other.
    if (context->focusVisible) {
        if (previous && previous->tabStop)
            previous->Redraw();
        if (control && control->tabStop && context->keyboardFocus == control)
            control->Redraw();
    }
}

void MyControlBase::CreateFromRect(MyWindowContext* newContext, std::int32_t left, std::int32_t top,
                                   std::int32_t right, std::int32_t bottom) {
    Create(newContext, left, top, right - left, bottom - top);
}

void MyControlBase::Create(MyWindowContext* newContext, std::int32_t newX, std::int32_t newY,
                           std::int32_t newWidth, std::int32_t newHeight) {
    context = newContext;
    if (context) {
        instance = context->instance;
        window = context->window;
        backBuffer = context->backBuffer;
    }
    StoreBounds({newX, newY, newX + newWidth, newY + newHeight});
    OnCreate();
}

void MyControlBase::StoreBounds(const RECT& rect) {
    bounds = rect;
    x = rect.left;
    y = rect.top;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
}

bool MyControlBase::IsShown() const {
    for (const MyControlBase* c = this; c; c = c->parent) {
        if (!c->visible)
            return false;
    }
    return true;
}

void MyControlBase::PaintAndInvalidate() {
    Paint();
    if (window)
        window->Invalidate(bounds);
    for (auto& child : children)
        child->Redraw();
    if (backBuffer && ShowsFocusRing() && !DrawsOwnFocusRing())
        DrawFocusRing(*backBuffer, bounds, context->palette);
}

void MyControlBase::Redraw() {
    if (IsRectEmpty(bounds) || !IsShown())
        return;
    PaintAndInvalidate();
}

MyControlBase* MyControlBase::HitTest(POINT point) {
    lastPoint = point;
    if (!enabled || !visible)
        return nullptr;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        MyControlBase* child = it->get();
        if (child->visible && PtInRect(child->bounds, point))
            return child->HitTest(point);
    }
    return this;
}

void MyControlBase::OnLButtonDown(POINT point) {
    LButtonDownCallback(callbackTarget, point, controlId);
}

void MyControlBase::OnLButtonUp(POINT point) {
    if (!enabled)
        return;
    LButtonReleasedCallback(callbackTarget, controlId);
    if (enabled && PtInRect(bounds, point))
        LClickCallback(callbackTarget, controlId);
}

void MyControlBase::OnRButtonDown(POINT point) {
    RButtonDownCallback(callbackTarget, point, controlId);
}

void MyControlBase::OnRButtonUp(POINT point) {
    if (!enabled)
        return;
    RButtonReleasedCallback(callbackTarget, controlId);
    if (enabled && PtInRect(bounds, point))
        RClickCallback(callbackTarget, controlId);
}

void MyControlBase::OnMouseDrag(POINT point) {
    lastPoint = point;
    if (enabled)
        DragCallback(callbackTarget, point, controlId);
}

void MyControlBase::OnMouseHover(POINT point) {
    lastPoint = point;
    if (enabled && visible)
        HoverCallback(callbackTarget, point, controlId);
}

void MyControlBase::OnMouseWheel(POINT point, std::uint32_t delta) {
    WheelCallback(callbackTarget, point, delta, controlId);
}

void MyControlBase::SetBounds(const RECT& requested) {
    if (requested == bounds)
        return;
    const RECT rect = IsRectEmpty(requested) ? RECT{} : requested;
    const RECT old = bounds;
    StoreBounds(rect);
    OnBoundsChanged(old);
    Redraw();
}

MyControlBase* MyControlBase::AddChild(std::unique_ptr<MyControlBase> child) {
    if (!child)
        return nullptr;
    child->Offset(bounds.left, bounds.top, false);
    child->parent = this;
    children.push_back(std::move(child));
    return children.back().get();
}

void MyControlBase::Offset(std::int32_t dx, std::int32_t dy, bool absolute) {
    if (absolute) {
        dx -= bounds.left;
        dy -= bounds.top;
    }
    bounds.left += dx;
    bounds.right += dx;
    bounds.top += dy;
    bounds.bottom += dy;
    x += dx;
    y += dy;
    for (auto& child : children)
        child->Offset(dx, dy, false);
}

void MyControlBase::RedrawBeforePaint() {
    if (!context)
        return;
    auto& waiting = context->deferredRedraws;
    if (std::find(waiting.begin(), waiting.end(), this) == waiting.end())
        waiting.push_back(this);
    if (window)
        window->Invalidate(bounds);
}
