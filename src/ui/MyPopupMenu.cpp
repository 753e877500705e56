#include "ui/MyPopupMenu.h"

#include <algorithm>

using namespace platform;

namespace {

constexpr char16_t kClassName[] = u"VantriPopupMenu";

// The skin's greys with its blue accent for the highlighted item.
constexpr COLORREF kBackground = RGB(0xFA, 0xFA, 0xFA);
constexpr COLORREF kBorder = RGB(0xB4, 0xB4, 0xB4);
constexpr COLORREF kHotFill = RGB(0xDC, 0xE9, 0xF9);
constexpr COLORREF kHotBorder = RGB(0x8C, 0xB0, 0xE0);
constexpr COLORREF kSeparator = RGB(0xD8, 0xD8, 0xD8);
constexpr COLORREF kText = RGB(0x00, 0x00, 0x00);

} // namespace

POINT PopupMenuPoint(const MyWindowContext* context) {
    if (!context || !context->window || !context->instance)
        return {};
    if (context->keyboardPressing)
        return context->keyboardPressPoint;
    return context->window->ScreenToClient(context->instance->CursorPosition());
}

bool OpenPopupMenu(MyWindowContext* context, std::int32_t menuId, POINT point, MyPopupMenuAlign align,
                   std::span<const std::uint32_t> hidden) {
    if (!context || !context->instance || !context->window)
        return false;
    std::vector<MyMenuItem> items = LoadMenuResource(menuId);
    std::erase_if(items, [&](const MyMenuItem& item) {
        return !item.separator() && std::find(hidden.begin(), hidden.end(), item.command) != hidden.end();
    });
    if (items.empty())
        return false;
    if (context->popupMenu)
        context->popupMenu->Close();
    // Where the system has menus of its own (Windows), the program's resources hold this one.
    const Rect client = context->window->WindowRect();
    if (context->instance->TrackNativePopupMenu(*context->window, menuId,
                                                Point{client.left + point.x, client.top + point.y},
                                                align == MyPopupMenuAlign_Bottom, hidden))
        return true;
    auto menu = std::make_shared<MyPopupMenu>(context, std::move(items));
    // The menu replaced here is closed; it is not running any of its own code now, because menus open
    // from the owner window's handlers, never from a menu's.
    context->popupMenu = menu;
    if (!menu->Show(point, align)) {
        context->popupMenu.reset();
        return false;
    }
    return true;
}

MyPopupMenu::MyPopupMenu(MyWindowContext* owner, std::vector<MyMenuItem> items)
    : owner(owner), items(std::move(items)) {}

MyPopupMenu::~MyPopupMenu() {
    if (window) {
        window->SetProcedure(nullptr);
        window.reset();
    }
}

RECT MyPopupMenu::ItemRect(std::int32_t index) const {
    std::int32_t top = kPadding;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(items.size()); ++i) {
        const std::int32_t h =
            items[static_cast<std::size_t>(i)].separator() ? kSeparatorHeight : kItemHeight;
        if (i == index)
            return RECT{1, top, menuWidth - 1, top + h};
        top += h;
    }
    return RECT{};
}

std::int32_t MyPopupMenu::ItemAt(POINT point) const {
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(items.size()); ++i) {
        if (PtInRect(ItemRect(i), point))
            return i;
    }
    return -1;
}

bool MyPopupMenu::Show(POINT point, MyPopupMenuAlign align) {
    WindowSystem* system = owner->instance;
    font = CreateFontW(14, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0, 0,
                       0, u"Arial");
    // Measure the texts.
    MySurface scratch;
    scratch.ResizeSurface(nullptr, 1, 1);
    SelectObject(scratch.dc, font.get());
    std::int32_t textWidth = 0;
    menuHeight = 2 * kPadding;
    for (const MyMenuItem& item : items) {
        menuHeight += item.separator() ? kSeparatorHeight : kItemHeight;
        if (item.separator())
            continue;
        RECT r{0, 0, 0, 0};
        DrawTextW(scratch.dc, item.text, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        textWidth = std::max(textWidth, r.right - r.left);
    }

    // Place it inside the work area of the display under the point: to the left of or above the point
    // when it would cross the right or bottom edge.
    const Rect ownerRect = owner->window->WindowRect();
    const Point screen{ownerRect.left + point.x, ownerRect.top + point.y};
    const Rect work = system->WorkArea(screen);
    menuWidth =
        std::min(std::max(kMinimumWidth, kTextLeft + textWidth + kTextRight), std::max(work.width(), 1));
    menuHeight = std::min(menuHeight, std::max(work.height(), 1));
    std::int32_t left = screen.x;
    std::int32_t top = align == MyPopupMenuAlign_Bottom ? screen.y - menuHeight : screen.y;
    if (left + menuWidth > work.right)
        left = screen.x - menuWidth;
    if (align == MyPopupMenuAlign_Bottom) {
        if (top < work.top)
            top = screen.y;
    } else if (top + menuHeight > work.bottom) {
        top = screen.y - menuHeight;
    }
    left = std::max(work.left, std::min(left, work.right - menuWidth));
    top = std::max(work.top, std::min(top, work.bottom - menuHeight));

    if (!system->IsClassRegistered(kClassName))
        system->RegisterWindowClass(kClassName, nullptr);
    WindowParams params;
    params.className = kClassName;
    params.title = u"Vantri menu";
    params.x = left;
    params.y = top;
    params.width = menuWidth;
    params.height = menuHeight;
    params.popup = true;
    // The menu's window has the owner's scale, as every window of the system has.
    if (!surface.ResizeSurface(owner->window->scale(), menuWidth, menuHeight))
        return false;
    window = system->CreateNativeWindow(params);
    if (!window)
        return false;
    window->SetProcedure(this);
    Render();
    window->Invalidate(Rect{0, 0, menuWidth, menuHeight});
    return true;
}

void MyPopupMenu::Render() {
    Dc& dc = surface.dc;
    // The owner window's high-contrast palette, when it has one, stands in for the skin's greys.
    const MyPalette palette = owner ? owner->palette : MyPalette{};
    const bool high = palette.highContrast;
    SelectObject(dc, CreatePen(PS_SOLID, 1, high ? palette.border : kBorder));
    SelectObject(dc, CreateSolidBrush(high ? palette.background : kBackground));
    Rectangle(dc, 0, 0, menuWidth, menuHeight);
    const SavedDcState saved(dc);
    SelectObject(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(items.size()); ++i) {
        const MyMenuItem& item = items[static_cast<std::size_t>(i)];
        const RECT r = ItemRect(i);
        if (item.separator()) {
            const std::int32_t mid = (r.top + r.bottom) / 2;
            FillRect(dc, RECT{r.left + 4, mid, r.right - 4, mid + 1},
                     CreateSolidBrush(high ? palette.border : kSeparator));
            continue;
        }
        if (i == hotItem) {
            SelectObject(dc, CreatePen(PS_SOLID, 1, high ? palette.selectionBackground : kHotBorder));
            SelectObject(dc, CreateSolidBrush(high ? palette.selectionBackground : kHotFill));
            Rectangle(dc, r.left + 2, r.top, r.right - 2, r.bottom);
        }
        SetTextColor(dc, !high ? kText : (i == hotItem ? palette.selectionText : palette.text));
        RECT text{r.left + kTextLeft - 1, r.top, r.right - kTextRight / 2, r.bottom};
        DrawTextW(dc, item.text, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

void MyPopupMenu::SetHot(std::int32_t index) {
    if (index == hotItem)
        return;
    hotItem = index;
    if (!IsOpen())
        return;
    Render();
    window->Invalidate(Rect{0, 0, menuWidth, menuHeight});
}

void MyPopupMenu::MoveHot(std::int32_t step) {
    const auto count = static_cast<std::int32_t>(items.size());
    std::int32_t index = hotItem;
    for (std::int32_t tried = 0; tried < count; ++tried) {
        if (index < 0)
            index = step > 0 ? 0 : count - 1;
        else
            index = (index + step + count) % count;
        if (!items[static_cast<std::size_t>(index)].separator()) {
            SetHot(index);
            return;
        }
    }
}

void MyPopupMenu::HandleKey(int virtualKey) {
    if (!IsOpen())
        return;
    switch (virtualKey) {
    case VK_DOWN:
        MoveHot(1);
        break;
    case VK_UP:
        MoveHot(-1);
        break;
    case VK_HOME:
        hotItem = -1;
        MoveHot(1);
        break;
    case VK_END:
        hotItem = -1;
        MoveHot(-1);
        break;
    case VK_RETURN:
    case VK_SPACE:
        if (hotItem >= 0)
            Choose(hotItem);
        break;
    case VK_ESCAPE:
        Close();
        GiveBackFocus();
        break;
    default:
        break;
    }
}

void MyPopupMenu::Choose(std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(items.size()))
        return;
    const std::uint16_t command = items[static_cast<std::size_t>(index)].command;
    if (command == 0)
        return;
    Close();
    GiveBackFocus();
    if (owner && owner->window)
        owner->window->Post(WindowMessage{WM_COMMAND, command, 0});
}

void MyPopupMenu::GiveBackFocus() {
    // The menu had the keys; closed by the user's choice they go back to the window it was opened over.
    // (Closed because the user went elsewhere, they stay where the user went.)
    if (owner && owner->window)
        owner->window->BringToFront();
}

void MyPopupMenu::Close() {
    hotItem = -1;
    if (IsOpen())
        window->Destroy();
}

std::intptr_t MyPopupMenu::WindowProc(Window& native, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    switch (message) {
    case WM_PAINT: {
        const Rect area = native.BeginPaint();
        if (surface.bitmap && !area.empty())
            native.Present(surface.bitmap->view(), area);
        native.EndPaint();
        return 0;
    }
    case WM_MOUSEMOVE: {
        const std::int32_t index = ItemAt(POINT{SignedLowWord(static_cast<std::uintptr_t>(lParam)),
                                                SignedHighWord(static_cast<std::uintptr_t>(lParam))});
        SetHot(index >= 0 && !items[static_cast<std::size_t>(index)].separator() ? index : -1);
        return 0;
    }
    case WM_LBUTTONUP:
        // Items are chosen with the left button, as the program's menus have always been opened.
        Choose(ItemAt(POINT{SignedLowWord(static_cast<std::uintptr_t>(lParam)),
                            SignedHighWord(static_cast<std::uintptr_t>(lParam))}));
        return 0;
    case WM_KEYDOWN:
        HandleKey(static_cast<int>(wParam));
        return 0;
    case WM_KILLFOCUS:
    case WM_CLOSE:
        Close();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_DESTROY:
        return 0;
    default:
        return native.DefWindowProc(message, wParam, lParam);
    }
}
