// The one-line text input: its editing model (cleaning, the 256-unit cut, caret moves over surrogate
// pairs and words, selections) and the control in a headless window (focus from a press, typing, keys,
// the clipboard, an input method's composition, the mouse, and what it paints).

#include "UiFixture.h"

#include "ui/MyTextInput.h"

using namespace uitest;
using platform::VK_BACK;
using platform::VK_CONTROL;
using platform::VK_DELETE;
using platform::VK_END;
using platform::VK_ESCAPE;
using platform::VK_HOME;
using platform::VK_LEFT;
using platform::VK_RETURN;
using platform::VK_RIGHT;
using platform::VK_SHIFT;

namespace {

TEST(TextEditState, CleansControlCharactersAndLoneSurrogates) {
    EXPECT_EQ(MyTextEditState::Clean(u"a\x01"
                                     u"b\x7F"
                                     u"c\x85"
                                     u"d"),
              u"abcd");
    EXPECT_EQ(MyTextEditState::Clean(u"one\r\ntwo\nthree\tfour\rfive"), u"one two three four five");
    const std::u16string emoji = u"\U0001F600";
    EXPECT_EQ(MyTextEditState::Clean(emoji), emoji);
    EXPECT_EQ(MyTextEditState::Clean(std::u16string(u"x") + char16_t(0xD83D) + u"y" + char16_t(0xDE00)),
              u"xy");
    // Any script stays as it is.
    EXPECT_EQ(MyTextEditState::Clean(u"日本語 Ωmega العربية"), u"日本語 Ωmega العربية");
}

TEST(TextEditState, TypingReplacesTheSelectionAndStopsAt256Units) {
    MyTextEditState s;
    EXPECT_TRUE(s.Insert(u"hello world"));
    s.SetCaret(6, false);
    s.SetCaret(11, true);
    EXPECT_EQ(s.selectedText(), u"world");
    EXPECT_TRUE(s.Insert(u"there"));
    EXPECT_EQ(s.text(), u"hello there");
    EXPECT_EQ(s.caret(), 11u);

    s.SetText(std::u16string(300, u'a'));
    EXPECT_EQ(s.text().size(), MyTextEditState::kMaxLength);
    EXPECT_FALSE(s.Insert(u"b")) << "a full input takes nothing more";
    // With one unit of room, a character of two units does not fit and is not split.
    s.DeleteBackward(false);
    EXPECT_FALSE(s.Insert(u"\U0001F600"));
    EXPECT_EQ(s.text().size(), MyTextEditState::kMaxLength - 1);
    EXPECT_TRUE(s.Insert(u"xyz"));
    EXPECT_EQ(s.text().size(), MyTextEditState::kMaxLength);
    EXPECT_EQ(s.text().back(), u'x');
    // Replacing a selection makes room.
    s.SelectAll();
    EXPECT_TRUE(s.Insert(u"new"));
    EXPECT_EQ(s.text(), u"new");
}

TEST(TextEditState, CaretMovesNeverSplitASurrogatePair) {
    MyTextEditState s;
    s.SetText(u"a\U0001F600b");
    ASSERT_EQ(s.text().size(), 4u);
    s.MoveLeft(false, false);
    EXPECT_EQ(s.caret(), 3u);
    s.MoveLeft(false, false);
    EXPECT_EQ(s.caret(), 1u) << "over both halves at once";
    s.MoveRight(true, false);
    EXPECT_EQ(s.caret(), 3u);
    EXPECT_EQ(s.selectedText(), u"\U0001F600");
    s.SetCaret(2, false);
    EXPECT_EQ(s.caret(), 1u) << "a place inside a pair moves to its start";
    s.SetCaret(3, false);
    EXPECT_TRUE(s.DeleteBackward(false));
    EXPECT_EQ(s.text(), u"ab");
}

TEST(TextEditState, WordMovesDeletesAndDoubleClickSelection) {
    MyTextEditState s;
    s.SetText(u"alice asked, about it");
    s.MoveLeft(false, true);
    EXPECT_EQ(s.caret(), 19u);
    s.MoveLeft(false, true);
    EXPECT_EQ(s.caret(), 13u);
    s.MoveLeft(false, true);
    EXPECT_EQ(s.caret(), 11u) << "the comma is a word of its own";
    s.MoveHome(false);
    s.MoveRight(false, true);
    EXPECT_EQ(s.caret(), 6u) << "over the word and the blank after it";
    s.MoveEnd(false);
    EXPECT_TRUE(s.DeleteBackward(true));
    EXPECT_EQ(s.text(), u"alice asked, about ");
    s.MoveHome(false);
    EXPECT_TRUE(s.DeleteForward(true));
    EXPECT_EQ(s.text(), u"asked, about ");

    s.SelectWordAt(2);
    EXPECT_EQ(s.selectedText(), u"asked");
    s.SelectWordAt(5);
    EXPECT_EQ(s.selectedText(), u",");
    s.SetText(u"日本語 テキスト");
    s.SelectWordAt(1);
    EXPECT_EQ(s.selectedText(), u"日本語");
    // A plain move with a selection lands on its edge.
    s.MoveRight(false, false);
    EXPECT_EQ(s.caret(), 3u);
    EXPECT_FALSE(s.hasSelection());
}

TEST(TextEditState, CompositionShowsAtTheCaretWithoutChangingTheText) {
    MyTextEditState s;
    s.SetText(u"ab");
    s.SetCaret(1, false);
    s.SetComposition(u"にほ", 1);
    EXPECT_EQ(s.text(), u"ab");
    EXPECT_EQ(s.DisplayText(), u"aにほb");
    EXPECT_EQ(s.DisplayCaret(), 2u);
    s.EndComposition();
    EXPECT_EQ(s.DisplayText(), u"ab");
}

// A text input in a headless window, with a recorder for its callbacks.
class TextInputTest : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 100);
        auto made = std::make_unique<MyTextInput>();
        made->Create(&owner.context, 20, 30, 200, 22);
        input = Attach(std::move(made));
        input->callbackTarget = &events;
        input->TextChangedCallback = &Events::Changed;
        input->SubmitCallback = &Events::Submit;
        input->CancelCallback = &Events::Cancel;
        root->Redraw();
        Pump();
    }
    void Click(std::int32_t atX, std::int32_t atY = 40) {
        native->InjectButton(0, true, atX, atY);
        native->InjectButton(0, false, atX, atY);
        Pump();
    }
    void Key(int key, bool control = false, bool shift = false) {
        system.SetKeyDown(VK_CONTROL, control);
        system.SetKeyDown(VK_SHIFT, shift);
        native->InjectKey(key, true);
        native->InjectKey(key, false);
        Pump();
        system.SetKeyDown(VK_CONTROL, false);
        system.SetKeyDown(VK_SHIFT, false);
    }
    void Type(std::u16string_view text) {
        native->InjectText(text);
        Pump();
    }
    // Pixels of colour `colour` in the input's text area, column by column.
    int ColumnsWith(std::uint32_t colour) {
        int columns = 0;
        for (std::int32_t x = input->bounds.left + 1; x < input->bounds.right - 1; ++x)
            for (std::int32_t y = input->bounds.top + 1; y < input->bounds.bottom - 1; ++y)
                if (BackPixel(x, y) == colour) {
                    ++columns;
                    break;
                }
        return columns;
    }

    // Columns of the text area with anything but the background.
    int ColumnsInked() {
        int columns = 0;
        for (std::int32_t x = input->bounds.left + 1; x < input->bounds.right - 1; ++x)
            for (std::int32_t y = input->bounds.top + 1; y < input->bounds.bottom - 1; ++y)
                if (BackPixel(x, y) != ColourToPixel(input->style.background)) {
                    ++columns;
                    break;
                }
        return columns;
    }

    struct Events : MyCallbackTarget {
        void Changed(std::int32_t) { log.push_back("changed"); }
        void Submit(std::int32_t) { log.push_back("submit"); }
        void Cancel(std::int32_t) { log.push_back("cancel"); }
        std::vector<std::string> log;
    } events;
    MyTextInput* input = nullptr;
};

TEST_F(TextInputTest, APressGivesTheFocusAndTypedTextArrives) {
    Type(u"lost");
    EXPECT_TRUE(input->text().empty()) << "without the focus no text arrives";
    Click(30);
    EXPECT_TRUE(input->hasFocus());
    Type(u"héllo \U0001F600 日本");
    EXPECT_EQ(input->text(), u"héllo \U0001F600 日本");
    EXPECT_EQ(events.log.size(), 10u) << "one change a character, the pair counted once";
    // A press elsewhere takes the focus away.
    Click(300);
    EXPECT_FALSE(input->hasFocus());
    Type(u"x");
    EXPECT_EQ(input->text(), u"héllo \U0001F600 日本");
}

TEST_F(TextInputTest, KeysMoveTheCaretSelectAndDelete) {
    Click(30);
    Type(u"hello world");
    Key(VK_LEFT, false, true);
    Key(VK_LEFT, false, true);
    EXPECT_EQ(input->state.selectedText(), u"ld");
    Key(VK_LEFT, true, true);
    EXPECT_EQ(input->state.selectedText(), u"world");
    Key(VK_BACK);
    EXPECT_EQ(input->text(), u"hello ");
    Key(VK_HOME);
    Key(VK_DELETE);
    EXPECT_EQ(input->text(), u"ello ");
    Key(VK_END, false, true);
    EXPECT_EQ(input->state.selectedText(), u"ello ");
    Key(VK_LEFT);
    EXPECT_EQ(input->state.caret(), 0u) << "a plain move lands on the selection's start";
    Key('A', true);
    EXPECT_EQ(input->state.selectedText(), u"ello ");
    Key(VK_RIGHT);
    EXPECT_EQ(input->state.caret(), 5u);
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(events.log.back(), "cancel");
    EXPECT_EQ(events.log[events.log.size() - 2], "submit");
}

TEST_F(TextInputTest, CopyCutAndPasteGoThroughTheClipboard) {
    Click(30);
    Type(u"alpha beta");
    Key(VK_LEFT, true, true);
    Key('C', true);
    std::u16string clip;
    ASSERT_TRUE(system.GetClipboardText(clip));
    EXPECT_EQ(clip, u"beta");
    Key('X', true);
    EXPECT_EQ(input->text(), u"alpha ");
    system.SetClipboardText(u"one\r\ntwo\x07three");
    Key('V', true);
    EXPECT_EQ(input->text(), u"alpha one twothree");
    // A paste longer than the room left is cut at 256 units.
    system.SetClipboardText(std::u16string(400, u'z'));
    Key('V', true);
    EXPECT_EQ(input->text().size(), MyTextEditState::kMaxLength);
}

TEST_F(TextInputTest, CompositionIsShownUnderlinedUntilCommitted) {
#ifdef _WIN32
    GTEST_SKIP() << "the pixel counts are Pango's; GDI lays the composed text out narrower";
#endif
    Click(30);
    Type(u"ab");
    Key(VK_LEFT);
    const int textColumns = ColumnsWith(0x000000);
    native->InjectComposition(u"にほん", 3);
    Pump();
    EXPECT_EQ(input->text(), u"ab") << "the composition is not part of the text";
    EXPECT_EQ(input->state.DisplayText(), u"aにほんb");
    EXPECT_GT(ColumnsWith(0x000000), textColumns + 20) << "the composed text and its underline show";
    // The underline: one black row under the composed text, longer than any glyph's foot.
    const std::int32_t from = input->bounds.left + 1 + MyTextInput::kPadding;
    int longestRun = 0;
    for (std::int32_t y = input->bounds.top + 1; y < input->bounds.bottom - 1; ++y) {
        int run = 0;
        for (std::int32_t x = from; x < input->bounds.right - 1; ++x) {
            run = BackPixel(x, y) == 0x000000 ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    }
    EXPECT_GE(longestRun, 30);
    // Keys belong to the input method meanwhile.
    Key(VK_BACK);
    EXPECT_EQ(input->text(), u"ab");
    const std::size_t changes = events.log.size();
    native->InjectCompositionEnd();
    Type(u"日本");
    EXPECT_EQ(input->text(), u"a日本b");
    EXPECT_EQ(input->state.caret(), 3u);
    EXPECT_EQ(events.log.size(), changes + 2);
    // The input method was told where the caret is.
    EXPECT_EQ(native->textInputArea().top, input->bounds.top);
    EXPECT_EQ(native->textInputArea().left, input->CaretX());
}

TEST_F(TextInputTest, TheMouseSetsTheCaretSelectsByDragAndByDoubleClick) {
    Click(30);
    Type(u"first second");
    const std::int32_t start = input->bounds.left + 1 + MyTextInput::kPadding;
    Click(start);
    EXPECT_EQ(input->state.caret(), 0u);
    // Far right of the text: the end.
    input->doubleClickTime = std::chrono::milliseconds(0);
    Click(input->bounds.right - 3);
    EXPECT_EQ(input->state.caret(), input->text().size());
    // A drag from the start to the end selects everything.
    native->InjectButton(0, true, start, 40);
    native->InjectMouseMove(input->bounds.right - 3, 40);
    native->InjectButton(0, false, input->bounds.right - 3, 40);
    Pump();
    EXPECT_EQ(input->state.selectedText(), u"first second");
    // Two quick presses on the second word select it.
    input->doubleClickTime = MyTextInput::kDoubleClickTime;
    const std::int32_t onSecond = input->CaretX() - 10;
    Click(onSecond);
    Click(onSecond);
    EXPECT_EQ(input->state.selectedText(), u"second");
    // Shift and a press extend from the anchor.
    system.SetKeyDown(VK_SHIFT, true);
    input->doubleClickTime = std::chrono::milliseconds(0);
    Click(start);
    system.SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(input->state.selectedText(), u"first ");
}

TEST_F(TextInputTest, PaintsFrameTextSelectionAndCaretInItsStyle) {
    input->placeholder = u"Search";
    input->Redraw();
    EXPECT_EQ(BackPixel(input->bounds.left, input->bounds.top), ColourToPixel(input->style.border));
    // The placeholder in grey: many columns inked, none of them black.
    EXPECT_GT(ColumnsInked(), 10) << "the placeholder shows";
    EXPECT_EQ(ColumnsWith(0x000000), 0);
    Click(30);
    EXPECT_EQ(BackPixel(input->bounds.left, input->bounds.top), ColourToPixel(input->style.focusedBorder));
    // Only the caret: one column of text colour, and the placeholder gone.
    EXPECT_EQ(ColumnsInked(), 1);
    EXPECT_EQ(ColumnsWith(0x000000), 1);
    const std::int32_t caretX = input->CaretX();
    EXPECT_EQ(BackPixel(caretX, input->bounds.top + input->height / 2), 0x000000u);
    Type(u"mmmm");
    Key('A', true);
    EXPECT_GT(ColumnsWith(ColourToPixel(input->style.selectionBackground)), 20);
    // Text too long for the box scrolls so that the caret stays inside.
    Type(std::u16string(100, u'w'));
    EXPECT_LT(input->CaretX(), input->bounds.right - 1);
    EXPECT_GE(input->CaretX(), input->bounds.left + 1);
}

TEST_F(TextInputTest, InHighContrastThePalettesColoursStandInForItsStyle) {
    owner.context.palette = HighContrastPalette();
    input->placeholder = u"Search";
    input->Redraw();
    const MyPalette& palette = owner.context.palette;
    EXPECT_EQ(BackPixel(input->bounds.left, input->bounds.top), ColourToPixel(palette.border));
    EXPECT_EQ(BackPixel(input->bounds.left + 1, input->bounds.top + 1), ColourToPixel(palette.background));
    // The placeholder in the palette's white: columns with pixels far brighter than the style's grey.
    int bright = 0;
    for (std::int32_t x = input->bounds.left + 1; x < input->bounds.right - 1; ++x)
        for (std::int32_t y = input->bounds.top + 1; y < input->bounds.bottom - 1; ++y)
            if ((BackPixel(x, y) & 0xFF) >= 0xC0 && ((BackPixel(x, y) >> 8) & 0xFF) >= 0xC0) {
                ++bright;
                break;
            }
    EXPECT_GT(bright, 10);
    Click(30);
    Type(u"mmmm");
    Key('A', true);
    EXPECT_GT(ColumnsWith(ColourToPixel(palette.selectionBackground)), 20);
    EXPECT_EQ(ColumnsWith(ColourToPixel(input->style.selectionBackground)), 0) << "not the panel's blue";
}

TEST_F(TextInputTest, WantsTheTypingKeysButLeavesFunctionKeysToTheAccelerators) {
    EXPECT_TRUE(input->WantsKey('V', true, false, false));
    EXPECT_TRUE(input->WantsKey('C', true, false, false));
    EXPECT_TRUE(input->WantsKey(platform::VK_OEM_6, false, false, false));
    EXPECT_FALSE(input->WantsKey(platform::VK_F1 + 6, false, false, false));
    EXPECT_FALSE(input->WantsKey('Q', true, false, false));
    EXPECT_FALSE(input->WantsKey('V', false, false, true));
    EXPECT_FALSE(input->WantsKey(platform::VK_MEDIA_PLAY_PAUSE, false, false, false));
}

TEST_F(TextInputTest, ADestroyedInputLeavesNoFocusBehind) {
    Click(30);
    ASSERT_EQ(owner.context.keyboardFocus, input);
    root->children.pop_back();
    EXPECT_EQ(owner.context.keyboardFocus, nullptr);
    Type(u"x");
    Key(VK_BACK);
}

} // namespace
