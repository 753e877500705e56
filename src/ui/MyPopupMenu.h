#pragma once
// The program's own popup menus (resources 109, 113 and 114), drawn in the skin's style. Opening returns
// at once; the item the user chooses reaches the owner window later as a posted WM_COMMAND whose
// wParam's low word is the item's command number. Escape or a click elsewhere closes the menu and posts
// nothing. User-interface thread only.

#include "ui/MyControlBase.h"

#include <cstdint>

// How the menu stands against `point`: its top-left corner there, or (the tray menu) its bottom edge.
enum MyPopupMenuAlign : std::uint32_t {
    MyPopupMenuAlign_Top = 0,
    MyPopupMenuAlign_Bottom = 1,
};

// Opens menu `menuId` at `point`, in client coordinates of the context's window; near the screen's right
// or bottom edge it opens inward. Answers false when the menu is unknown or cannot be shown.
bool OpenPopupMenu(MyWindowContext* context, std::int32_t menuId, POINT point,
                   MyPopupMenuAlign align = MyPopupMenuAlign_Top);
