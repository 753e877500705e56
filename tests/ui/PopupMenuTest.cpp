// The program's menus and accelerator table as resources, and the popup menu on a headless window: its
// items, choosing by keyboard and mouse, closing without a command, and placement near the screen's edges.

#include "UiFixture.h"

#include "ui/MyPopupMenu.h"
#include "ui/MyResourceTables.h"

#include <string_view>

using namespace uitest;

namespace {

std::span<const unsigned char> Bytes(std::string_view text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

TEST(MenuResources, EveryMenuHoldsItsItemsInOrder) {
    const auto tray = LoadMenuResource(109);
    ASSERT_EQ(tray.size(), 2u);
    EXPECT_EQ(tray[0].command, 40001);
    EXPECT_EQ(tray[0].text, u"Show Vantri");
    EXPECT_EQ(tray[1].command, 40002);
    EXPECT_EQ(tray[1].text, u"Exit Vantri");

    const auto track = LoadMenuResource(113);
    ASSERT_EQ(track.size(), 5u);
    EXPECT_EQ(track[0].command, 40003);
    EXPECT_EQ(track[0].text, u"Copy track-URI to track (vantri:) to clipboard");
    EXPECT_EQ(track[1].command, 40004);
    EXPECT_EQ(track[1].text, u"Copy tracklink (http:) to clipboard");
    EXPECT_TRUE(track[2].separator());
    EXPECT_EQ(track[3].command, 40009);
    EXPECT_EQ(track[3].text, u"Copy stream-URI (vantri:) to clipboard");
    EXPECT_EQ(track[4].command, 40006);
    EXPECT_EQ(track[4].text, u"Copy streamlink (http:) to clipboard");

    const auto stream = LoadMenuResource(114);
    ASSERT_EQ(stream.size(), 5u);
    EXPECT_EQ(stream[0].command, 40007);
    EXPECT_EQ(stream[0].text, u"Copy stream-URI (vantri:) to clipboard");
    EXPECT_EQ(stream[1].command, 40008);
    EXPECT_EQ(stream[1].text, u"Copy streamlink (http:) to clipboard");
    EXPECT_TRUE(stream[2].separator());
    EXPECT_EQ(stream[3].command, 40037);
    EXPECT_EQ(stream[3].text, u"Keep for offline listening");
    EXPECT_EQ(stream[4].command, 40038);
    EXPECT_EQ(stream[4].text, u"Forget the offline copy");

    const auto chat = LoadMenuResource(116);
    ASSERT_EQ(chat.size(), 9u);
    EXPECT_EQ(chat[0].command, 40101);
    EXPECT_TRUE(chat[4].separator());
    EXPECT_EQ(chat[5].command, 40105);
    EXPECT_EQ(chat[5].text, u"Reset chat sync    \\");
    EXPECT_TRUE(chat[6].separator());
    EXPECT_EQ(chat[7].command, 40106);
    EXPECT_EQ(chat[7].text, u"Chat is in step here");
    EXPECT_EQ(chat[8].command, 40107);

    EXPECT_TRUE(LoadMenuResource(110).empty());
}

TEST(MenuResources, TheAcceleratorTableMapsEachKeyToItsCommand) {
    using namespace platform;
    const auto table = LoadAcceleratorResource(115);
    EXPECT_EQ(table.size(), 25u);
    EXPECT_EQ(FindAccelerator(table, 'V', true, false, false), 40013);
    EXPECT_EQ(FindAccelerator(table, 'C', true, false, false), 40022);
    EXPECT_EQ(FindAccelerator(table, 'X', true, false, false), 40023);
    EXPECT_EQ(FindAccelerator(table, VK_MEDIA_PLAY_PAUSE, false, false, false), 40014);
    EXPECT_EQ(FindAccelerator(table, VK_MEDIA_STOP, false, false, false), 40017);
    EXPECT_EQ(FindAccelerator(table, VK_MEDIA_NEXT_TRACK, false, false, false), 40015);
    EXPECT_EQ(FindAccelerator(table, VK_MEDIA_PREV_TRACK, false, false, false), 40016);
    EXPECT_EQ(FindAccelerator(table, VK_F1 + 6, false, false, false), 40018);
    EXPECT_EQ(FindAccelerator(table, VK_F1 + 7, false, false, false), 40019);
    EXPECT_EQ(FindAccelerator(table, VK_F1 + 8, false, false, false), 40020);
    // The chat sync offset keys: [ and ] by a second, with Shift by ten, \ back to none.
    EXPECT_EQ(FindAccelerator(table, VK_OEM_4, false, false, false), 40101);
    EXPECT_EQ(FindAccelerator(table, VK_OEM_6, false, false, false), 40102);
    EXPECT_EQ(FindAccelerator(table, VK_OEM_4, false, true, false), 40103);
    EXPECT_EQ(FindAccelerator(table, VK_OEM_6, false, true, false), 40104);
    EXPECT_EQ(FindAccelerator(table, VK_OEM_5, false, false, false), 40105);
    EXPECT_EQ(FindAccelerator(table, VK_OEM_5, true, false, false), 0);
    // Ctrl+B keeps the moment playing.
    EXPECT_EQ(FindAccelerator(table, 'B', true, false, false), 40300);
    EXPECT_EQ(FindAccelerator(table, 'B', false, false, false), 0);
    // Skips: Ctrl+Left and Ctrl+Right and the media keys that seek; plain arrows stay the lists'.
    EXPECT_EQ(FindAccelerator(table, VK_LEFT, true, false, false), 40024);
    EXPECT_EQ(FindAccelerator(table, VK_RIGHT, true, false, false), 40025);
    EXPECT_EQ(FindAccelerator(table, VK_MEDIA_REWIND, false, false, false), 40024);
    EXPECT_EQ(FindAccelerator(table, VK_MEDIA_FAST_FORWARD, false, false, false), 40025);
    EXPECT_EQ(FindAccelerator(table, VK_LEFT, false, false, false), 0);
    EXPECT_EQ(FindAccelerator(table, VK_RIGHT, false, false, false), 0);
    // The speed: - and = on the main keys and the keypad.
    EXPECT_EQ(FindAccelerator(table, VK_OEM_MINUS, false, false, false), 40026);
    EXPECT_EQ(FindAccelerator(table, VK_OEM_PLUS, false, false, false), 40027);
    EXPECT_EQ(FindAccelerator(table, VK_SUBTRACT, false, false, false), 40026);
    EXPECT_EQ(FindAccelerator(table, VK_ADD, false, false, false), 40027);
    // The sleep timer's next choice.
    EXPECT_EQ(FindAccelerator(table, 'T', true, false, false), 40035);
    // A plain V, or Ctrl+Shift+V, is no accelerator.
    EXPECT_EQ(FindAccelerator(table, 'V', false, false, false), 0);
    EXPECT_EQ(FindAccelerator(table, 'V', true, true, false), 0);
}

TEST(MenuResources, LinesThatDoNotParseAreLeftOut) {
    const auto items = ParseMenuText(Bytes("# comment\r\n\n  12 Spaced  \r\n-\nabc text\n0 zero\n70000 big\n"
                                           "5\n7 Gr\xC3\xBC\xC3\x9F"
                                           "e\n8\tTabbed"));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].command, 12);
    EXPECT_EQ(items[0].text, u"Spaced");
    EXPECT_TRUE(items[1].separator());
    EXPECT_EQ(items[2].text, u"Grüße");
    EXPECT_EQ(items[3].text, u"Tabbed");

    const auto keys =
        ParseAcceleratorText(Bytes("1 Ctrl+Shift+Alt+q\n2 F13\n3 Ctrl+\n4 Hyper+A\n5 F12\n6 7"));
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].virtualKey, 'Q');
    EXPECT_TRUE(keys[0].control && keys[0].shift && keys[0].alt);
    EXPECT_EQ(keys[1].virtualKey, platform::VK_F1 + 11);
    EXPECT_EQ(keys[2].virtualKey, '7');
}

// An owner window that records the commands posted to it.
class CommandOwner : public TestOwner {
public:
    CommandOwner() { handlers[platform::WM_COMMAND] = &CommandOwner::OnCommand; }
    std::intptr_t OnCommand(std::uintptr_t wParam, std::intptr_t, bool&) {
        commands.push_back(static_cast<std::int32_t>(platform::LowWord(wParam)));
        return 0;
    }
    std::vector<std::int32_t> commands;
};

class PopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.Create(&system, u"VantriTest", u"Test", nullptr, 100, 50, 400, 300));
        native = static_cast<platform::HeadlessWindow*>(owner.window.get());
        auto base = std::make_unique<MyWindowBase>();
        base->backgroundColour = 0xFFFFFF;
        root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
        auto made = std::make_unique<SolidControl>();
        made->Create(&owner.context, 0, 0, 400, 300);
        control = root->AddChild(std::move(made));
        recorder.Wire(*control, 1);
        root->Redraw();
        Pump();
    }
    void Pump() {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
    }
    platform::HeadlessWindow* Open(std::int32_t menu, POINT at,
                                   MyPopupMenuAlign align = MyPopupMenuAlign_Top) {
        EXPECT_TRUE(OpenPopupMenu(&owner.context, menu, at, align));
        Pump();
        return system.OpenPopup();
    }
    void Key(int vk) {
        native->InjectKey(vk, true);
        native->InjectKey(vk, false);
        Pump();
    }
    POINT Middle(std::int32_t item) const {
        const RECT r = owner.context.popupMenu->ItemRect(item);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    platform::HeadlessWindowSystem system;
    CommandOwner owner;
    platform::HeadlessWindow* native = nullptr;
    MyWindowBase* root = nullptr;
    SolidControl* control = nullptr;
    Recorder recorder;
};

TEST_F(PopupMenuTest, OpensAtThePointShowingItsItems) {
    platform::HeadlessWindow* popup = Open(113, {20, 30});
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->WindowRect().left, 120);
    EXPECT_EQ(popup->WindowRect().top, 80);
    const MyPopupMenu& menu = *owner.context.popupMenu;
    EXPECT_EQ(popup->ClientSize().y,
              2 * MyPopupMenu::kPadding + 4 * MyPopupMenu::kItemHeight + MyPopupMenu::kSeparatorHeight);
    EXPECT_GE(popup->ClientSize().x, MyPopupMenu::kMinimumWidth);
    // Drawn: the border, and dark text pixels inside the first item.
    EXPECT_EQ(popup->ScreenPixel(0, 10), ColourToPixel(RGB(0xB4, 0xB4, 0xB4)));
    const RECT first = menu.ItemRect(0);
    bool text = false;
    for (std::int32_t x = first.left + MyPopupMenu::kTextLeft; x < first.right && !text; ++x) {
        for (std::int32_t y = first.top; y < first.bottom && !text; ++y)
            text = (popup->ScreenPixel(x, y) & 0xFF) < 0x60;
    }
    EXPECT_TRUE(text);
    EXPECT_EQ(menu.ItemAt(Middle(2)), 2); // the separator
}

TEST_F(PopupMenuTest, InHighContrastTheMenuIsTheOwnersPaletteItsHotItemTheSelection) {
    owner.context.palette = HighContrastPalette();
    const MyPalette& palette = owner.context.palette;
    platform::HeadlessWindow* popup = Open(113, {20, 30});
    ASSERT_NE(popup, nullptr);
    const MyPopupMenu& menu = *owner.context.popupMenu;
    EXPECT_EQ(popup->ScreenPixel(0, 10), ColourToPixel(palette.border));
    EXPECT_EQ(popup->ScreenPixel(3, 10), ColourToPixel(palette.background));
    // White text in the first item (its smoothed edges darker).
    const RECT first = menu.ItemRect(0);
    int white = 0;
    for (std::int32_t x = first.left + MyPopupMenu::kTextLeft; x < first.right; ++x)
        for (std::int32_t y = first.top; y < first.bottom; ++y)
            white +=
                (popup->ScreenPixel(x, y) & 0xFF) >= 0xC0 && (popup->ScreenPixel(x, y) >> 16 & 0xFF) >= 0xC0;
    EXPECT_GT(white, 10);
    // The hot item: the selection's yellow, its text black on it.
    const POINT item = Middle(1);
    popup->InjectMouseMove(item.x, item.y);
    Pump();
    ASSERT_EQ(owner.context.popupMenu->hotItem, 1);
    EXPECT_EQ(popup->ScreenPixel(item.x, menu.ItemRect(1).top + 1),
              ColourToPixel(palette.selectionBackground));
    const RECT hot = menu.ItemRect(1);
    int black = 0;
    for (std::int32_t x = hot.left + MyPopupMenu::kTextLeft; x < hot.right; ++x)
        for (std::int32_t y = hot.top + 2; y < hot.bottom - 2; ++y)
            black += (popup->ScreenPixel(x, y) & 0xFFFFFF) < 0x404040 &&
                     (popup->ScreenPixel(x, y) >> 8 & 0xFF) < 0x40;
    EXPECT_GT(black, 10);
}

TEST_F(PopupMenuTest, ArrowsSkipTheSeparatorAndEnterChoosesTheHighlightedItem) {
    platform::HeadlessWindow* popup = Open(113, {20, 30});
    ASSERT_NE(popup, nullptr);
    MyPopupMenu& menu = *owner.context.popupMenu;
    Key(platform::VK_DOWN);
    EXPECT_EQ(menu.hotItem, 0);
    Key(platform::VK_DOWN);
    Key(platform::VK_DOWN);
    EXPECT_EQ(menu.hotItem, 3);
    Key(platform::VK_UP);
    EXPECT_EQ(menu.hotItem, 1);
    Key(platform::VK_UP);
    Key(platform::VK_UP); // wraps to the last item
    EXPECT_EQ(menu.hotItem, 4);
    // Keys reach the menu through the owner window (it kept the focus here) as well as directly.
    popup->InjectKey(platform::VK_RETURN, true);
    Pump();
    EXPECT_FALSE(menu.IsOpen());
    EXPECT_EQ(owner.commands, (std::vector<std::int32_t>{40006}));
}

TEST_F(PopupMenuTest, AClickOnAnItemChoosesItAndOnTheSeparatorDoesNothing) {
    platform::HeadlessWindow* popup = Open(113, {20, 30});
    ASSERT_NE(popup, nullptr);
    MyPopupMenu& menu = *owner.context.popupMenu;
    const POINT separator = Middle(2);
    popup->InjectMouseMove(separator.x, separator.y);
    popup->InjectButton(0, true, separator.x, separator.y);
    popup->InjectButton(0, false, separator.x, separator.y);
    Pump();
    EXPECT_TRUE(menu.IsOpen());
    EXPECT_EQ(menu.hotItem, -1);
    const POINT item = Middle(1);
    popup->InjectMouseMove(item.x, item.y);
    Pump();
    EXPECT_EQ(menu.hotItem, 1);
    // The highlight is drawn.
    EXPECT_EQ(popup->ScreenPixel(item.x, menu.ItemRect(1).top + 1), ColourToPixel(RGB(0xDC, 0xE9, 0xF9)));
    popup->InjectButton(1, true, item.x, item.y); // the right button chooses nothing
    popup->InjectButton(1, false, item.x, item.y);
    Pump();
    EXPECT_TRUE(menu.IsOpen());
    popup->InjectButton(0, true, item.x, item.y);
    popup->InjectButton(0, false, item.x, item.y);
    Pump();
    EXPECT_FALSE(menu.IsOpen());
    EXPECT_EQ(system.OpenPopup(), nullptr);
    EXPECT_EQ(owner.commands, (std::vector<std::int32_t>{40004}));
}

TEST_F(PopupMenuTest, EscapeAClickOutsideOrLosingTheFocusCloseWithoutACommand) {
    Open(114, {20, 30});
    ASSERT_TRUE(owner.context.popupMenu->IsOpen());
    Key(platform::VK_DOWN);
    Key(platform::VK_ESCAPE);
    EXPECT_FALSE(owner.context.popupMenu->IsOpen());

    Open(114, {20, 30});
    ASSERT_TRUE(owner.context.popupMenu->IsOpen());
    native->InjectButton(0, true, 300, 250);
    native->InjectButton(0, false, 300, 250);
    Pump();
    EXPECT_FALSE(owner.context.popupMenu->IsOpen());
    // The click only closed the menu; the control under it saw nothing.
    EXPECT_TRUE(recorder.log.empty());

    platform::HeadlessWindow* popup = Open(114, {20, 30});
    ASSERT_NE(popup, nullptr);
    popup->InjectFocusLost();
    Pump();
    EXPECT_FALSE(owner.context.popupMenu->IsOpen());
    Pump();
    EXPECT_TRUE(owner.commands.empty());
    // With the menu gone, clicks reach the controls again.
    native->InjectButton(0, true, 300, 250);
    native->InjectButton(0, false, 300, 250);
    Pump();
    EXPECT_EQ(recorder.log.size(), 3u);
}

TEST_F(PopupMenuTest, NearTheRightAndBottomEdgesTheMenuOpensInward) {
    system.SetWorkArea({0, 0, 640, 480});
    // Screen point (100 + 520, 50 + 400) = (620, 450).
    platform::HeadlessWindow* popup = Open(113, {520, 400});
    ASSERT_NE(popup, nullptr);
    const platform::Rect r = popup->WindowRect();
    EXPECT_EQ(r.right, 620);
    EXPECT_EQ(r.bottom, 450);
    // At the top left of the work area it opens right and down, held inside.
    popup = Open(113, {-95, -45});
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->WindowRect().left, 5);
    EXPECT_EQ(popup->WindowRect().top, 5);
    // The tray menu stands on the point, or hangs from it when there is no room above.
    popup = Open(109, {20, 300}, MyPopupMenuAlign_Bottom);
    EXPECT_EQ(popup->WindowRect().bottom, 350);
    popup = Open(109, {20, -40}, MyPopupMenuAlign_Bottom);
    EXPECT_EQ(popup->WindowRect().top, 10);
    // Only one menu is open at a time.
    EXPECT_EQ(system.OpenPopup(), popup);
}

TEST_F(PopupMenuTest, ItemsAskedToBeHiddenAreLeftOut) {
    const std::uint32_t hidden[] = {40038};
    ASSERT_TRUE(OpenPopupMenu(&owner.context, 114, {20, 30}, MyPopupMenuAlign_Top, hidden));
    Pump();
    const auto& items = owner.context.popupMenu->items;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[3].command, 40037);
    EXPECT_EQ(system.OpenPopup()->ClientSize().y,
              2 * MyPopupMenu::kPadding + 3 * MyPopupMenu::kItemHeight + MyPopupMenu::kSeparatorHeight);
}

TEST_F(PopupMenuTest, AnUnknownMenuOpensNothing) {
    EXPECT_FALSE(OpenPopupMenu(&owner.context, 4242, {1, 1}));
    EXPECT_EQ(system.OpenPopup(), nullptr);
}

TEST_F(PopupMenuTest, RaisingAHiddenWindowDoesNotShowIt) {
    native->Show(false);
    native->BringToFront();
    EXPECT_FALSE(native->visible());
    EXPECT_EQ(native->raised(), 0);
    native->Show(true);
    native->BringToFront();
    EXPECT_EQ(native->raised(), 1);
}

} // namespace
