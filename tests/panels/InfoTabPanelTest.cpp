// The info tab panel with its tabs and pages, the settings check boxes and the about page, headless;
// and one real window under the desktop's display showing chat in several scripts.

#include "InfoPagesFixture.h"

#include "net/ServerAddresses.h"
#include "panels/MyInfoTabPanel.h"
#include "platform/Utf.h"
#include "platform/Window.h"

#include <algorithm>
#include <chrono>

using namespace infotest;

namespace {

class InfoTabs : public InfoPagesFixture {
protected:
    void SetUp() override {
        Open(1000, 700);
        auto made = std::make_unique<MyInfoTabPanel>(&owner.context, &app);
        made->Create(&owner.context, 0, 0, 1000, 628);
        tabs = Attach(std::move(made));
        root->Redraw();
    }
    std::uint32_t SkinPixel(int sx, int sy) { return ColourToPixel(GetPixel(tabs->skin.dc, sx, sy)); }

    MyInfoTabPanel* tabs = nullptr;
};

TEST_F(InfoTabs, TabsAndPagesAfterCreation) {
    EXPECT_EQ(tabs->stationsTab->bounds, (RECT{5, 5, 75, 43}));
    EXPECT_EQ(tabs->settingsTab->bounds, (RECT{880, 5, 950, 43}));
    EXPECT_EQ(tabs->aboutTab->bounds, (RECT{957, 5, 995, 43}));
    EXPECT_EQ(Utf16ToUtf8(tabs->stationsTab->text), "Stations");
    EXPECT_EQ(Utf16ToUtf8(tabs->settingsTab->text), "Settings");
    EXPECT_EQ(Utf16ToUtf8(tabs->aboutTab->text), "?");
    EXPECT_TRUE(tabs->aboutTab->centred);
    EXPECT_EQ(tabs->chatPage->bounds, (RECT{0, 48, 1000, 628}));
    EXPECT_EQ(tabs->stationPage->bounds, (RECT{0, 48, 600, 588}));
    EXPECT_EQ(tabs->settingsPage->bounds, (RECT{450, 48, 950, 244}));
    EXPECT_EQ(tabs->tracksPage->bounds, (RECT{0, 88, 600, 628}));
    EXPECT_EQ(tabs->aboutPage->bounds, (RECT{200, 48, 800, 348}));
    EXPECT_TRUE(tabs->chatPage->visible);
    EXPECT_FALSE(tabs->stationPage->visible);
    EXPECT_FALSE(tabs->settingsPage->visible);
    EXPECT_FALSE(tabs->tracksPage->visible);
    EXPECT_FALSE(tabs->aboutPage->visible);
    // Attachment order: later children lie on top.
    const std::vector<MyControlBase*> order = {tabs->stationsTab, tabs->settingsTab, tabs->aboutTab,
                                               tabs->chatPage,    tabs->stationPage, tabs->settingsPage,
                                               tabs->tracksPage,  tabs->aboutPage};
    ASSERT_EQ(tabs->children.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(tabs->children[i].get(), order[i]) << i;
    EXPECT_EQ(tabs->stationPage->listBox->backgroundColour, 0xE5E5E5u);
    EXPECT_EQ(tabs->tracksPage->listBox->backgroundColour, 0xCECECEu);
    // The tab bar from the skin's three columns, and the empty chat in black below it.
    EXPECT_EQ(BackPixel(0, 20), SkinPixel(0, 20));
    EXPECT_EQ(BackPixel(500, 45), SkinPixel(1, 45));
    EXPECT_EQ(BackPixel(999, 20), SkinPixel(2, 20));
    EXPECT_EQ(BackPixel(500, 300), 0x000000u);
}

TEST_F(InfoTabs, LayoutAfterABoundsChange) {
    tabs->SetBounds(RECT{0, 0, 1101, 600});
    EXPECT_EQ(tabs->stationsTab->bounds, (RECT{5, 5, 75, 43}));
    EXPECT_EQ(tabs->settingsTab->bounds, (RECT{983, 5, 1053, 43})) << "right - 118 from now on";
    EXPECT_EQ(tabs->aboutTab->bounds, (RECT{1058, 5, 1096, 43}));
    EXPECT_EQ(tabs->chatPage->bounds, (RECT{0, 48, 1101, 600}));
    EXPECT_EQ(tabs->chatPage->listBox->bounds, (RECT{0, 48, 1101, 600}));
    EXPECT_EQ(tabs->stationPage->bounds, (RECT{0, 48, 600, 560}));
    EXPECT_EQ(tabs->settingsPage->bounds, (RECT{551, 48, 1051, 244}));
    EXPECT_EQ(tabs->tracksPage->bounds, (RECT{0, 88, 600, 600}));
    EXPECT_EQ(tabs->tracksPage->listBox->bounds, (RECT{1, 89, 599, 599}));
    EXPECT_EQ(tabs->aboutPage->bounds, (RECT{250, 48, 850, 348}));
    // The pages' own children followed their left edges.
    EXPECT_EQ(tabs->settingsPage->buttons[0]->bounds, (RECT{559, 56, 1051, 76}));
    EXPECT_EQ(tabs->aboutPage->linkBoxes[2]->bounds, (RECT{260, 318, 830, 333}));
}

TEST_F(InfoTabs, SettingsBoxesInOrderAndTheyStayWhenTheLeftEdgeStays) {
    MySettingsPanel* page = tabs->settingsPage;
    const char* texts[] = {"Show chat beyond current play position",
                           "Minimize Vantri to notification area on close",
                           "Hide conversations in tracklist",
                           "Check if Vantri is default application for open vantri: links at start",
                           "Resume playing from last position on application start",
                           "Check for updates on application start"};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(Utf16ToUtf8(page->buttons[k]->text), texts[k]);
        EXPECT_EQ(page->buttons[k]->bounds, (RECT{458, 56 + 20 * k, 950, 76 + 20 * k})) << k;
    }
    page->SetBounds(RECT{450, 48, 900, 300});
    EXPECT_EQ(page->buttons[5]->bounds, (RECT{458, 156, 950, 176})) << "only a new left edge moves the boxes";
}

TEST_F(InfoTabs, PressingACheckBoxRedrawsOnlyItsBox) {
    MySettingsPanel* page = tabs->settingsPage;
    page->visible = true;
    page->Redraw();
    MySettingsPanelButton* box = page->buttons[2];
    recorder.Wire(*box, 3);
    EXPECT_EQ(BackPixel(box->x + 10, box->y + 10), SkinPixel(76, 10));
    EXPECT_EQ(BackPixel(500, 8 + 48 + 1), 0xDDDDDDu) << "the page below its strip";
    // A mark over the label shows whether the label is drawn again.
    FillRect(owner.backBuffer.dc, RECT{box->x + 25, box->y, box->x + 200, box->y + 20},
             CreateSolidBrush(0x123456));
    native->InjectButton(0, true, box->x + 10, box->y + 10);
    Pump();
    EXPECT_EQ(BackPixel(box->x + 10, box->y + 10), SkinPixel(76, 30)) << "the pressed picture";
    EXPECT_EQ(BackPixel(box->x + 100, box->y + 10), ColourToPixel(0x123456)) << "the label stays as it was";
    native->InjectButton(0, false, box->x + 10, box->y + 10);
    Pump();
    EXPECT_EQ(BackPixel(box->x + 10, box->y + 10), SkinPixel(76, 10));
    int marked = 0;
    for (int px = box->x + 30; px < box->x + 100; ++px)
        marked += BackPixel(px, box->y + 10) == ColourToPixel(0x123456);
    EXPECT_EQ(marked, 0) << "the label is drawn again on release";
    EXPECT_FALSE(box->ticked) << "the box leaves its state to the main window";
    EXPECT_NE(std::find(recorder.log.begin(), recorder.log.end(), "click 3"), recorder.log.end());
    // Ticked by its owner, it shows the ticked picture.
    box->ticked = true;
    box->Redraw();
    EXPECT_EQ(BackPixel(box->x + 10, box->y + 10), SkinPixel(76, 50));
}

TEST_F(InfoTabs, OverlappingLinksGoToTheLastAttachedBoxUntilTheFirstMove) {
    MyAboutPanel* page = tabs->aboutPage;
    page->visible = true;
    page->Redraw();
    EXPECT_EQ(page->linkBoxes[0]->bounds, (RECT{210, 288, 790, 338}));
    EXPECT_EQ(page->creditsBox->bounds, (RECT{210, 98, 790, 318}));
    Click(300, 290); // the top of the first link: only the first box is there
    Click(300, 325); // its lower part lies under the third box too
    ASSERT_EQ(system.openedLinks.size(), 2u);
    EXPECT_EQ(system.openedLinks[0], MyAboutPanel::LinkAddress(0));
    EXPECT_EQ(system.openedLinks[1], MyAboutPanel::LinkAddress(2));
    tabs->SetBounds(RECT{0, 0, 1101, 628});
    const RECT first = page->linkBoxes[0]->bounds;
    Click(first.left + 50, first.bottom - 2);
    ASSERT_EQ(system.openedLinks.size(), 3u);
    EXPECT_EQ(system.openedLinks[2], MyAboutPanel::LinkAddress(0));
}

TEST_F(InfoTabs, AboutPageShowsTitleAndCreditsAndLinksUnderTheWebLinkBase) {
    const std::string credits = Utf16ToUtf8(MyAboutPanel::kCreditsText);
    EXPECT_NE(credits.find("Vantri is a replayer for re-experience liveshows from the past.\r\n"),
              std::string::npos);
    EXPECT_NE(credits.find("\r\nShortcuts:\r\nCtrl+V - Start playing link from clipboard\r\n"),
              std::string::npos);
    EXPECT_TRUE(credits.ends_with("F9 - Show settings\r\n"));
    const std::string base = WebLinkBase();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Utf16ToUtf8(MyAboutPanel::LinkAddress(i)).starts_with(base));
    EXPECT_NE(MyAboutPanel::LinkAddress(1), MyAboutPanel::LinkAddress(2));
    MyAboutPanel* page = tabs->aboutPage;
    page->visible = true;
    page->Redraw();
    // The big black title in its band, blue link text, and the light page behind.
    int black = 0;
    for (int py = page->y + 10; py < page->y + 60; ++py)
        for (int px = page->x + 13; px < page->x + 200; ++px)
            black += BackPixel(px, py) == 0;
    EXPECT_GT(black, 200);
    bool blue = false;
    for (int px = page->x + 10; px < page->x + 300; ++px)
        blue |= BackPixel(px, page->linkBoxes[0]->y + 7) == 0x0000FF;
    EXPECT_TRUE(blue);
}

TEST_F(InfoTabs, HiddenPagesPaintNothing) {
    FillRect(owner.backBuffer.dc, RECT{0, 48, 1000, 628}, CreateSolidBrush(0x123456));
    tabs->settingsPage->Redraw();
    tabs->aboutPage->Redraw();
    tabs->tracksPage->SetTracks(nullptr, nullptr);
    EXPECT_EQ(BackPixel(500, 100), ColourToPixel(0x123456));
    EXPECT_EQ(BackPixel(100, 100), ColourToPixel(0x123456));
}

// Chat in several scripts on a real window, read back from the display: glyphs, not boxes.
TEST(InfoTabsOnScreen, ChatInSeveralScriptsShowsRealGlyphs) {
    auto desktop = platform::OpenDesktopWindowSystem();
    if (!desktop)
        GTEST_SKIP() << "no display";
    uitest::TestOwner owner;
    ASSERT_TRUE(
        owner.Create(desktop.get(), u"VantriInfoTabs", u"Vantri info tabs", nullptr, 30, 30, 640, 400));
    auto base = std::make_unique<MyWindowBase>();
    MyWindowBase* root = base.get();
    owner.root = std::move(base);
    root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    MyAppContext app;
    auto made = std::make_unique<MyInfoTabPanel>(&owner.context, &app);
    made->Create(&owner.context, 0, 0, 640, 400);
    MyInfoTabPanel* tabs = root->AddChild(std::move(made));
    StreamChatRowList rows;
    rows.push_back(Message(1, u"latin", u"Hello there, everyone"));
    rows.push_back(Message(2, u"кириллица", u"шшшшш"));
    rows.push_back(Message(3, u"кириллица", u"щщщщщ"));
    rows.push_back(Message(4, u"漢字", u"一一一一一"));
    rows.push_back(StreamChatRow(5, StreamChatRowKind_Join, {u"😀😀😀"}));
    tabs->chatPage->SetChatRows(&rows);
    tabs->chatPage->listBox->SetCurrentRow(4);
    root->Redraw();

    std::vector<std::uint32_t> screen;
    std::int32_t w = 0, h = 0;
    auto same = [&] {
        for (int y = 48; y < 48 + 80; ++y)
            for (int x = 0; x < 300; ++x)
                if (screen[static_cast<std::size_t>(y) * w + x] !=
                    (owner.backBuffer.bitmap->row(y)[x] & 0xFFFFFF))
                    return false;
        return true;
    };
    bool shown = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        platform::Message m;
        while (desktop->PeekMessage(m) && m.message != platform::WM_QUIT)
            desktop->DispatchMessage(m);
        shown = owner.window->ReadScreen(screen, w, h) && w == 640 && h == 400 && same();
    }
    ASSERT_TRUE(shown) << "the screen never showed the chat";
    const MyChatListBox* list = tabs->chatPage->listBox;
    // Ink of the message part of a row (right of its nick), as the rows' top, bottom and any red.
    struct Extent {
        int top = 1000, bottom = -1, pixels = 0;
        bool red = false;
    };
    auto extent = [&](int row, int fromX) {
        Extent e;
        const int top = 48 + list->RowAt(row)->top;
        for (int y = top; y < top + 16; ++y)
            for (int x = fromX; x < 616; ++x) {
                const std::uint32_t p = screen[static_cast<std::size_t>(y) * w + x];
                if (!p)
                    continue;
                ++e.pixels;
                e.top = std::min(e.top, y - top);
                e.bottom = std::max(e.bottom, y - top);
                e.red |= ((p >> 16) & 0xFF) > 128;
            }
        return e;
    };
    auto messageStart = [&](int row) {
        const auto* r = static_cast<const MyStreamChatListBoxRow*>(list->RowAt(row));
        return 3 + r->tokenWidth(0) + r->tokenWidth(1);
    };
    EXPECT_GT(extent(0, 3).pixels, 100);
    // "щ" has a descender that "ш" lacks; boxes would be alike.
    const Extent sha = extent(1, messageStart(1));
    const Extent shcha = extent(2, messageStart(2));
    EXPECT_GT(sha.pixels, 30);
    EXPECT_GT(shcha.bottom, sha.bottom);
    // "一" is one horizontal stroke: wide ink, one or two pixel rows high; a box would be tall.
    const Extent one = extent(3, messageStart(3));
    EXPECT_GT(one.pixels, 20);
    EXPECT_LE(one.bottom - one.top, 3);
    // Colour emoji in a green line: red only comes from the emoji's own colours.
    const Extent smile =
        extent(4, 3 + static_cast<const MyStreamChatListBoxRow*>(list->RowAt(4))->tokenWidth(0));
    EXPECT_TRUE(smile.red);
}

} // namespace

namespace {

TEST_F(InfoTabs, TheChatUnfoldingUnderneathLeavesTheShownPageOnTop) {
    StreamChatRowList rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back(Message(i, u"someone",
                               u"a line that runs across the whole width of the chat view, under the page"));
    tabs->chatPage->SetChatRows(&rows);
    tabs->settingsPage->visible = true;
    tabs->settingsPage->Redraw();
    const std::uint32_t page = BackPixel(700, 230);
    EXPECT_EQ(page, 0xDDDDDDu);
    for (int i = 0; i < 40; ++i)
        tabs->chatPage->listBox->SetCurrentRow(i);
    EXPECT_EQ(BackPixel(700, 230), page);
    EXPECT_EQ(BackPixel(700, 250 + 16), 0u) << "below the page the chat shows";
    bool chat = false;
    for (int px = 0; px < 440; ++px)
        chat |= BackPixel(px, 620) != 0;
    EXPECT_TRUE(chat) << "the newest line at the bottom, beside the page";
}

} // namespace
