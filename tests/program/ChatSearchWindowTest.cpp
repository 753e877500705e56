// Search in the chat from the main window: Ctrl+F opens it over any page, the input takes the keys the
// accelerators would otherwise take ("[" and Ctrl+C), and Enter plays from the match with the chat's
// offset taken back out.

#include "ProgramFixture.h"

#include "panels/MyChatSearchBar.h"
#include "panels/MyInfoTabPanel.h"

#include <string>

using namespace programtest;

namespace {

class ChatSearchWindow : public ProgramFixture {
protected:
    void Press(int key, bool control = false, bool shift = false) {
        system.SetKeyDown(platform::VK_CONTROL, control);
        system.SetKeyDown(platform::VK_SHIFT, shift);
        window().InjectKey(key, true);
        window().InjectKey(key, false);
        Pump();
        system.SetKeyDown(platform::VK_CONTROL, false);
        system.SetKeyDown(platform::VK_SHIFT, false);
    }
    // A key that types a character: its key message, then the character, as the desktop sends them.
    void Type(char16_t c, int key) {
        window().InjectKey(key, true);
        window().InjectText(std::u16string(1, c));
        window().InjectKey(key, false);
        Pump();
    }
    MyChatPanel& chat() { return *main().infoTabPanel->chatPage; }
};

TEST_F(ChatSearchWindow, CtrlFSearchesTheChatAndEnterPlaysFromTheMatch) {
    Start();
    PlayStream7();
    At(150);
    Pump();
    // The chat runs 3 seconds late: "]" three times.
    for (int i = 0; i < 3; ++i)
        Press(platform::VK_OEM_6);
    ASSERT_EQ(main().ChatOffset(), 3);
    // Over the station chooser, Ctrl+F brings the chat back with the bar open.
    Press(platform::VK_F1 + 6);
    ASSERT_NE(main().infoView, MainWindow::InfoView_Chat);
    Press('F', true);
    EXPECT_EQ(main().infoView, MainWindow::InfoView_Chat);
    ASSERT_TRUE(chat().searchOpen());
    MyTextInput& input = *chat().searchBar->input;
    EXPECT_TRUE(input.hasFocus());

    // "[" goes into the input, not to the chat offset.
    Type(u'[', platform::VK_OEM_4);
    EXPECT_EQ(input.text(), u"[");
    EXPECT_EQ(main().ChatOffset(), 3);
    Press(platform::VK_BACK);
    for (char16_t c : std::u16string(u"HELLO"))
        Type(c, c);
    EXPECT_EQ(input.text(), u"HELLO");
    EXPECT_EQ(chat().searchMatches(), (std::vector<std::int32_t>{0}));

    // Ctrl+A and Ctrl+C copy the query, not a link to the position.
    Press('A', true);
    Press('C', true);
    std::u16string clip;
    ASSERT_TRUE(system.GetClipboardText(clip));
    EXPECT_EQ(clip, u"HELLO");

    // Enter: the row at chat second 5 is heard at play second 8.
    media.Clear();
    Press(platform::VK_RETURN);
    const auto lines = media.WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].rfind("SetPlayPos ", 0), 0u) << lines[0];
    EXPECT_NEAR(std::stof(lines[0].substr(11)), 8.0f / 300.0f, 1e-6f);

    // F3 and Shift+F3 step, also while the input has the focus.
    Press('A', true);
    Type(u'n', 'N');
    ASSERT_EQ(chat().searchMatches(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(chat().shownMatch(), 1) << "the newest row reached";
    Press(platform::VK_F1 + 2);
    EXPECT_EQ(chat().shownMatch(), 0);
    Press(platform::VK_F1 + 2, false, true);
    EXPECT_EQ(chat().shownMatch(), 1);
    EXPECT_TRUE(chat().searchOpen());
    // Escape in the input closes the bar.
    Press(platform::VK_ESCAPE);
    EXPECT_FALSE(chat().searchOpen());
    // With the bar closed the keys are the accelerators' again.
    Press(platform::VK_OEM_4);
    EXPECT_EQ(main().ChatOffset(), 2);
}

} // namespace
