// A real window on the desktop (under Xvfb in CI): a list box is presented and read back from the
// display server, and the skinned scrollbar's pixels are checked on the screen itself.

#include "UiFixture.h"

#include "platform/Resources.h"
#include "ui/BitmapFile.h"

#include <chrono>

using namespace uitest;

namespace {

TEST(DesktopSmoke, ListBoxWithSkinnedScrollbarReachesTheScreen) {
    auto system = platform::OpenDesktopWindowSystem();
    if (!system)
        GTEST_SKIP() << "no display";
    TestOwner owner;
    ASSERT_TRUE(owner.Create(system.get(), u"VantriSmoke", u"Vantri smoke test", nullptr, 40, 40, 320, 240));
    auto base = std::make_unique<MyWindowBase>();
    base->backgroundColour = 0xFFFFFF;
    MyWindowBase* root = base.get();
    owner.root = std::move(base);
    root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    auto made = std::make_unique<MyListBoxV2>();
    made->Create(&owner.context, 10, 10, 300, 220);
    MyListBoxV2* list = root->AddChild(std::move(made));
    for (int i = 0; i < 100; ++i) {
        auto row = std::make_unique<TestRow>(static_cast<std::uint16_t>(16 + i % 3 * 8),
                                             i % 2 ? 0x00C000 : 0xC00000);
        row->Create(&owner.context, 0, 0, 0, 0);
        list->AddRow(std::move(row));
    }
    root->Redraw();

    DecodedImage skin;
    ASSERT_TRUE(DecodeBmp(platform::FindResource(107), skin));
    auto skinPixel = [&](int x, int y) {
        return skin.pixels[static_cast<std::size_t>(y) * 64 + x] & 0xFFFFFF;
    };
    const int barLeft = list->scrollbar->x;
    const std::uint32_t track = skinPixel(1, 17);       // the stretched track row
    const std::uint32_t thumb = skinPixel(24 + 10, 17); // the thumb body
    const std::uint32_t firstRow = 0x0000C0;            // row 0: COLORREF 0xC00000 is blue

    std::vector<std::uint32_t> screen;
    std::int32_t w = 0, h = 0;
    bool matched = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!matched && std::chrono::steady_clock::now() < deadline) {
        platform::Message m;
        while (system->PeekMessage(m) && m.message != platform::WM_QUIT)
            system->DispatchMessage(m);
        if (!owner.window->ReadScreen(screen, w, h) || w != 320 || h != 240)
            continue;
        auto at = [&](int x, int y) { return screen[static_cast<std::size_t>(y) * w + x]; };
        matched = at(barLeft + 1, 150) == track && at(barLeft + 12, 10 + 2 + 20) == thumb &&
                  at(15, 12) == firstRow && at(5, 5) == 0xFFFFFFu;
    }
    EXPECT_TRUE(matched) << "the screen never showed the list box and its scrollbar";
}

} // namespace
