// A real window on the desktop (under Xvfb in CI) holding the station chooser above the play controls:
// what the display server shows is compared with the skins at the places the panels' layouts fix, and a
// copy-link menu opens as a popup window of its own and closes again.

#include "ChooserAndControlsWindow.h"
#include "PlayPanelsSupport.h"
#include "support/DesktopSupport.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyStationComboPanel.h"
#include "panels/PlayControlSkin.h"
#include "platform/ChildProcess.h"
#include "support/Deadline.h"
#include "ui/MyPopupMenu.h"

#include <chrono>
#include <cstdlib>

using namespace uitest;
using paneltest::ChooserAndControlsWindow;
using paneltest::SkinImage;
using namespace desktoptest;

namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;

TEST(PanelsDesktop, BothPanelsReachTheScreenInTheirSkins) {
    auto system = OpenDisplay();
    if (!system)
        GTEST_SKIP() << "no display";
    TestOwner owner;
    ASSERT_TRUE(
        owner.Create(system.get(), u"VantriPanels", u"Vantri panels", nullptr, 30, 30, kWidth, kHeight));
    ChooserAndControlsWindow panels;
    ASSERT_TRUE(panels.Build(owner, system.get(), kWidth, kHeight, 0xFFFFFF, u"Radio Ωmega — 日本語"));
    MyPlayControlPanel* play = panels.play;
    MyWindowBase* root = panels.root;
    play->playButtons[2]->lit = true;
    root->Redraw();

    const SkinImage info(106);
    const SkinImage panel(104);
    const std::int32_t top = kHeight - 72;
    const std::int32_t listY = 49;
    bool shown = ScreenShows(*system, *owner.window, [&](auto at) {
        return
            // Station chooser: header, the active stations button, a station bar, a stream plate.
            at(3, 3) == info.at(3, 106 + 3) && at(8 + 10, 8 + 10) == info.at(10, 186 + 10) &&
            at(1 + 3, listY + 16) == info.at(38 + 3, 64 + 16) &&
            at(1 + 30, listY + 32 + 2) == info.at(58, 2) &&
            // Play controls: corner, lit play button, the plain position bar, the time bar's frame.
            at(kWidth - 1, kHeight - 1) == panel.at(156, 47) &&
            at(kWidth - 78 + 5, top + 32 + 5) == panel.at(playskin::ButtonX(2) + 5, 48 + 64 + 5) &&
            at(8 + 100, top + 32 + 16) == panel.at(playskin::kBarPlainMiddleColumn, playskin::kBarTop + 16) &&
            at(0, top + 12) == panel.at(playskin::kFrameLeftColumn, playskin::kFrame24Top + 12);
    });
    EXPECT_TRUE(shown) << "the screen never showed both panels in their skins";

    // The copy-link menu of the stream row, as a popup window of its own. Another test on the same
    // display may take the keyboard focus, which closes the menu as it should; it is then opened again.
    bool drawn = false;
    for (int attempt = 0; attempt < 5 && !drawn; ++attempt) {
        ASSERT_TRUE(OpenPopupMenu(&owner.context, 114, POINT{100, listY + 40}));
        MyPopupMenu& menu = *owner.context.popupMenu;
        ASSERT_TRUE(menu.window);
        EXPECT_EQ(menu.window->WindowRect().left, owner.window->WindowRect().left + 100);
        const bool seen = ScreenShows(*system, *menu.window, [&](auto at) {
            return !menu.IsOpen() || (at(0, 5) == ColourToPixel(RGB(0xB4, 0xB4, 0xB4)) &&
                                      at(5, 5) == ColourToPixel(RGB(0xFA, 0xFA, 0xFA)));
        });
        drawn = seen && menu.IsOpen();
    }
    EXPECT_TRUE(drawn) << "the menu never reached the screen";
    MyPopupMenu& menu = *owner.context.popupMenu;
    menu.HandleKey(platform::VK_ESCAPE);
    EXPECT_FALSE(menu.IsOpen());
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

TEST(PanelsDesktop, TheKeyboardAndTheMouseOfTheDisplayDriveTheStreamMenu) {
    if (!Xdotool({"version"}))
        GTEST_SKIP() << "no xdotool";
    auto system = OpenDisplay();
    if (!system)
        GTEST_SKIP() << "no display";
    CommandOwner owner;
    ASSERT_TRUE(owner.Create(system.get(), u"VantriMenus", u"Vantri menus", nullptr, 860, 600, 400, 300));
    auto base = std::make_unique<MyWindowBase>();
    base->backgroundColour = 0xFFFFFF;
    owner.root = std::move(base);
    owner.root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    owner.root->Redraw();
    PumpUntil(*system, [&] { return !owner.window->destroyed() && owner.window->visible(); });

    // Opens the stream menu and waits until the display shows it. Another test on the same display may
    // take the keyboard focus, which closes an open menu as it should; each try then opens it again.
    MyPopupMenu* menu = nullptr;
    auto openShown = [&] {
        menu = nullptr;
        if (!OpenPopupMenu(&owner.context, 114, POINT{40, 40}))
            return;
        menu = owner.context.popupMenu.get();
        ScreenShows(*system, *menu->window,
                    [&](auto at) { return at(0, 5) == ColourToPixel(RGB(0xB4, 0xB4, 0xB4)); });
    };
    auto reopen = [&] {
        if (!menu || !menu->IsOpen())
            openShown();
        if (menu && menu->IsOpen())
            menu->window->BringToFront();
    };

    // Home, Down and Enter: the second item, as a command posted to the owner. The keys go one at a time,
    // each once the menu shows what the one before did, so that a key lost while another test holds the
    // focus can never let a later one choose another item: after a lost key, or a menu closed by a focus
    // change meanwhile (and opened again), the keys start over from Home. The pointer waits outside the
    // menu, where passing over it cannot move the highlight.
    const platform::Rect ownerRect = owner.window->WindowRect();
    ASSERT_TRUE(
        Xdotool({"mousemove", std::to_string(ownerRect.left + 350), std::to_string(ownerRect.top + 250)}));
    auto highlighted = [&](std::int32_t item) { return menu && menu->IsOpen() && menu->hotItem == item; };
    // Sends `key` once and waits until item `from` is no longer highlighted; answers whether item `to` is
    // then. Never sent twice: a slow key arriving after its repeat would move the highlight past `to`.
    auto press = [&](const char* key, std::int32_t from, std::int32_t to) {
        if (!Xdotool({"key", key}))
            return false;
        PumpUntil(*system, [&] { return !highlighted(from); });
        return highlighted(to);
    };
    bool chosen = false;
    for (int attempt = 0; attempt < 5 && !chosen; ++attempt) {
        // Home is the same from anywhere, so it may be sent again freely.
        if (!SendUntil(*system, {"key", "Home"}, reopen, [&] { return highlighted(0); }))
            continue;
        if (!press("Down", 0, 1))
            continue;
        press("Return", 1, -1);
        chosen = !owner.commands.empty();
    }
    EXPECT_TRUE(chosen) << "no command arrived";
    EXPECT_EQ(owner.commands, (std::vector<std::int32_t>{40008}));
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->IsOpen());

    // A click on the first item with the display's mouse.
    openShown();
    ASSERT_NE(menu, nullptr);
    const platform::Rect placed = menu->window->WindowRect();
    const RECT first = menu->ItemRect(0);
    EXPECT_TRUE(SendUntil(*system,
                          {"mousemove", std::to_string(placed.left + first.left + 30),
                           std::to_string(placed.top + (first.top + first.bottom) / 2), "click", "1"},
                          reopen, [&] { return owner.commands.size() == 2; }))
        << "the click chose nothing";
    EXPECT_EQ(owner.commands, (std::vector<std::int32_t>{40008, 40007}));

    // Escape, and a click outside the menu, close it with no command.
    openShown();
    EXPECT_TRUE(SendUntil(*system, {"key", "Escape"}, reopen, [&] { return menu && !menu->IsOpen(); }))
        << "Escape did not close the menu";
    openShown();
    EXPECT_TRUE(SendUntil(*system,
                          {"mousemove", std::to_string(ownerRect.left + 350),
                           std::to_string(ownerRect.top + 250), "click", "1"},
                          reopen, [&] { return menu && !menu->IsOpen(); }))
        << "a click outside left the menu open";
    platform::Message m; // whatever is still queued arrives before the count
    while (system->PeekMessage(m) && m.message != platform::WM_QUIT)
        system->DispatchMessage(m);
    EXPECT_EQ(owner.commands.size(), 2u);
}

} // namespace
