#pragma once
// Keyboard use of the control tree: Tab and Shift+Tab walk the controls marked `tabStop` in tree order
// (siblings by `tabOrder`, shown and enabled ones only, round the ends), and a focused control can be pressed
// from the keyboard as the mouse would press it. The focus ring is a frame just inside a control's bounds,
// two pixels wide by default.

#include "ui/MyControlBase.h"

#include <optional>
#include <vector>

// The tab stops under `root` that can take the focus now, in tree order.
std::vector<MyControlBase*> CollectTabStops(MyControlBase& root);

// Moves the focus to the next (or previous) tab stop after the focused control and shows the ring.
// With no control focused it goes to the first (or last). Answers the control now focused, or null.
MyControlBase* MoveKeyboardFocus(MyWindowContext& context, MyControlBase& root, bool forward);

// Hides the ring, as a mouse press does, redrawing the control that showed it.
void HideFocusRing(MyWindowContext& context);

// Presses `control` at `point` (client coordinates) as a left or right click would, with the window's
// context marking the press as the keyboard's so that a menu it opens opens there. The press may
// delete the control: nothing here touches it after that.
void PressByKeyboard(MyControlBase& control, POINT point, bool right);

// The keys that press a focused tab stop which did not use them itself: Space and Enter a left click at
// its middle, the context-menu key and Shift+F10 a right click. Answers whether `virtualKey` was one.
bool PressForKey(MyControlBase& control, int virtualKey, bool shift);

// True for the keys that open a control's menu: the context-menu key, and Shift+F10.
bool IsMenuKey(int virtualKey, bool shift);

// Draws the focus ring along the inside of `rect`: `width` pixels of `colour`. A ring of more than two
// pixels (high contrast) gets a line of `inner` inside it, so that it shows on a fill of any colour.
void DrawFocusRing(Dc& dc, const RECT& rect, COLORREF colour, std::int32_t width = 2,
                   std::optional<COLORREF> inner = std::nullopt);
// The ring in the palette's colour and width.
void DrawFocusRing(Dc& dc, const RECT& rect, const MyPalette& palette);
