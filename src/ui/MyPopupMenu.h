#pragma once
// The program's own popup menus (resources 109, 113 and 114), drawn in the skin's style in a small
// borderless popup window. Opening returns at once; the item the user chooses reaches the owner window
// later as a posted WM_COMMAND whose wParam's low word is the item's command number. Escape, a click
// elsewhere or the focus going elsewhere closes the menu and posts nothing. User-interface thread only.
//
// The open menu belongs to its owner window's context (MyWindowContext::popupMenu) and lives until the
// next menu opens over that window or the window goes; while it is open the owner window hands it its
// keys, and a press in the owner window closes it.

#include "platform/Window.h"
#include "ui/MyControlBase.h"
#include "ui/MyResourceTables.h"
#include "ui/MySurface.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// How the menu stands against `point`: its top-left corner there, or (the tray menu) its bottom edge.
enum MyPopupMenuAlign : std::uint32_t {
    MyPopupMenuAlign_Top = 0,
    MyPopupMenuAlign_Bottom = 1,
};

// Opens menu `menuId` at `point`, in client coordinates of the context's window; near the screen's right
// or bottom edge it opens inward. A menu already open over that window closes first. Where the system has
// menus of its own (Windows) it shows that one instead, which returns only when it closes; its command
// arrives the same way. Items whose command numbers `hidden` holds are left out. Answers false when the
// menu is unknown or cannot be shown.
bool OpenPopupMenu(MyWindowContext* context, std::int32_t menuId, POINT point,
                   MyPopupMenuAlign align = MyPopupMenuAlign_Top, std::span<const std::uint32_t> hidden = {});

// Where a menu opened by the current press opens: the point the keyboard pressed (the context-menu key on
// a focused control), else the mouse pointer, in client coordinates of the context's window.
POINT PopupMenuPoint(const MyWindowContext* context);

class MyPopupMenu : public platform::WindowProcedure {
public:
    static constexpr std::int32_t kItemHeight = 22;     // pixels
    static constexpr std::int32_t kSeparatorHeight = 7; // pixels
    static constexpr std::int32_t kPadding = 3;         // pixels above the first and below the last item
    static constexpr std::int32_t kTextLeft = 24;       // pixels from the left edge to an item's text
    static constexpr std::int32_t kTextRight = 20;      // pixels right of the longest text
    static constexpr std::int32_t kMinimumWidth = 140;  // pixels

    MyPopupMenu(MyWindowContext* owner, std::vector<MyMenuItem> items);
    ~MyPopupMenu() override;
    MyPopupMenu(const MyPopupMenu&) = delete;
    MyPopupMenu& operator=(const MyPopupMenu&) = delete;

    // Measures the items, places the menu against `point` (owner client coordinates) inside the work area
    // and shows it. False when no window could be made.
    bool Show(POINT point, MyPopupMenuAlign align);
    // Closes the menu without a command. Harmless when closed.
    void Close();
    bool IsOpen() const { return window && !window->destroyed(); }
    // A key pressed while the menu is open: arrows move the highlight, Enter chooses, Escape closes.
    void HandleKey(int virtualKey);

    // The item under a point of the menu's client area, or -1.
    std::int32_t ItemAt(POINT point) const;
    // An item's rectangle in the menu's client area.
    RECT ItemRect(std::int32_t index) const;

    std::intptr_t WindowProc(platform::Window& native, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;

    MyWindowContext* owner;
    std::vector<MyMenuItem> items;
    std::unique_ptr<platform::Window> window;
    MySurface surface;
    std::unique_ptr<Font> font;
    std::int32_t hotItem = -1; // the highlighted item, -1 for none
    std::int32_t menuWidth = 0;
    std::int32_t menuHeight = 0;

private:
    void Choose(std::int32_t index);
    void GiveBackFocus();
    void SetHot(std::int32_t index);
    void MoveHot(std::int32_t step);
    void Render();
};
