#include "ui/KeyboardFocus.h"

#include "platform/WindowMessages.h"

#include <algorithm>

using namespace platform;

namespace {

void Collect(MyControlBase& control, std::vector<MyControlBase*>& stops) {
    if (!control.visible || !control.enabled)
        return;
    if (control.tabStop && !IsRectEmpty(control.bounds))
        stops.push_back(&control);
    std::vector<MyControlBase*> children;
    for (auto& child : control.children)
        children.push_back(child.get());
    std::stable_sort(children.begin(), children.end(), [](const MyControlBase* a, const MyControlBase* b) {
        return a->tabOrder < b->tabOrder;
    });
    for (MyControlBase* child : children)
        Collect(*child, stops);
}

POINT Middle(const RECT& rect) {
    return {rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

} // namespace

std::vector<MyControlBase*> CollectTabStops(MyControlBase& root) {
    std::vector<MyControlBase*> stops;
    Collect(root, stops);
    return stops;
}

MyControlBase* MoveKeyboardFocus(MyWindowContext& context, MyControlBase& root, bool forward) {
    const std::vector<MyControlBase*> stops = CollectTabStops(root);
    if (stops.empty())
        return nullptr;
    const auto at = std::find(stops.begin(), stops.end(), context.keyboardFocus);
    const auto count = static_cast<std::ptrdiff_t>(stops.size());
    std::ptrdiff_t next = 0;
    if (at == stops.end())
        next = forward ? 0 : count - 1;
    else
        next = ((at - stops.begin()) + (forward ? 1 : count - 1)) % count;
    MyControlBase* target = stops[static_cast<std::size_t>(next)];
    const bool wasVisible = context.focusVisible;
    context.focusVisible = true;
    if (target == context.keyboardFocus) {
        if (!wasVisible)
            target->Redraw();
    } else {
        SetKeyboardFocus(&context, target);
    }
    return context.keyboardFocus;
}

void HideFocusRing(MyWindowContext& context) {
    if (!context.focusVisible)
        return;
    context.focusVisible = false;
    if (context.keyboardFocus && context.keyboardFocus->tabStop)
        context.keyboardFocus->Redraw();
}

void PressByKeyboard(MyControlBase& control, POINT point, bool right) {
    MyWindowContext* context = control.context;
    if (!context)
        return;
    MyControlBase*& capture = right ? context->rightCapture : context->leftCapture;
    capture = &control;
    context->keyboardPressing = true;
    context->keyboardPressPoint = point;
    if (right)
        control.OnRButtonDown(point);
    else
        control.OnLButtonDown(point);
    // A control deleted by its press has cleared the capture that pointed to it.
    if (MyControlBase* still = capture) {
        if (right)
            still->OnRButtonUp(point);
        else
            still->OnLButtonUp(point);
    }
    capture = nullptr;
    context->keyboardPressing = false;
}

bool IsMenuKey(int virtualKey, bool shift) {
    return virtualKey == VK_APPS || (virtualKey == VK_F1 + 9 && shift);
}

bool PressForKey(MyControlBase& control, int virtualKey, bool shift) {
    const bool menu = IsMenuKey(virtualKey, shift);
    if (!menu && virtualKey != VK_SPACE && virtualKey != VK_RETURN)
        return false;
    PressByKeyboard(control, Middle(control.bounds), menu);
    return true;
}

namespace {

void FillFrame(Dc& dc, const RECT& rect, COLORREF colour, std::int32_t w) {
    const Brush brush = CreateSolidBrush(colour);
    FillRect(dc, RECT{rect.left, rect.top, rect.right, rect.top + w}, brush);
    FillRect(dc, RECT{rect.left, rect.bottom - w, rect.right, rect.bottom}, brush);
    FillRect(dc, RECT{rect.left, rect.top + w, rect.left + w, rect.bottom - w}, brush);
    FillRect(dc, RECT{rect.right - w, rect.top + w, rect.right, rect.bottom - w}, brush);
}

} // namespace

void DrawFocusRing(Dc& dc, const RECT& rect, COLORREF colour, std::int32_t width,
                   std::optional<COLORREF> inner) {
    const std::int32_t total = width + (inner ? 1 : 0);
    if (rect.right - rect.left < 2 * total || rect.bottom - rect.top < 2 * total)
        return;
    FillFrame(dc, rect, colour, width);
    if (inner)
        FillFrame(dc, RECT{rect.left + width, rect.top + width, rect.right - width, rect.bottom - width},
                  *inner, 1);
}

void DrawFocusRing(Dc& dc, const RECT& rect, const MyPalette& palette) {
    if (!palette.highContrast) {
        DrawFocusRing(dc, rect, palette.focusRing, palette.focusRingWidth);
        return;
    }
    DrawFocusRing(dc, rect, palette.focusRing, palette.focusRingWidth, palette.background);
}
