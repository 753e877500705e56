#pragma once
// A one-line text input: a framed box with the text, a caret while it has the keyboard focus and the
// selection. A press gives it the focus and places the caret; dragging, Shift with the arrows, Home and
// End selects; a double click selects a word; Ctrl+A selects all. Ctrl+C, Ctrl+X and Ctrl+V copy, cut
// and paste through the clipboard. An input method's composition shows at the caret, underlined, until
// it is committed. Enter and Escape are reported to the creator. The text holds at most 256 UTF-16
// units and no control characters (MyTextEditState). User-interface thread only.

#include "ui/MyControlBase.h"
#include "ui/MyTextEditState.h"

#include <chrono>
#include <memory>
#include <string>

// Colours and font of an input, chosen by the panel that makes it to match its own skin.
struct MyTextInputStyle {
    COLORREF background = 0xFFFFFF;
    COLORREF border = 0xB4B4B4;        // the panels' grey edge
    COLORREF focusedBorder = 0x505050; // darker while the input has the focus
    COLORREF text = 0x000000;
    COLORREF placeholder = 0x8C8C8C;
    COLORREF selectionBackground = RGB(0x33, 0x66, 0xCC);
    COLORREF selectionText = 0xFFFFFF;
    std::int32_t fontHeight = 14; // pixels, Arial as the panels' texts
};

class MyTextInput : public MyControlBase {
public:
    static constexpr std::int32_t kPadding = 4; // pixels between the frame and the text
    // Two presses this close in time and place make a double click.
    static constexpr std::chrono::milliseconds kDoubleClickTime{500};
    static constexpr std::int32_t kDoubleClickDistance = 4; // pixels

    MyTextInput();

    void Paint() override;
    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    void OnMouseDrag(POINT point) override;
    void OnBoundsChanged(const RECT& oldRect) override;
    bool OnKeyDown(int virtualKey) override;
    void OnChar(char16_t unit) override;
    void OnComposition(std::uint32_t message) override;
    void OnFocusChanged(bool focused) override;
    bool WantsKey(int virtualKey, bool control, bool shift, bool alt) const override;
    // An entry named by its placeholder, with its text.
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::Entry;
        node.name = placeholder;
        node.text = text();
        node.states |= platform::kAccessibleEditable;
        return true;
    }

    const std::u16string& text() const { return state.text(); }
    // Replaces the text without reporting a change.
    void SetText(std::u16string_view text);
    // Gives this input the keyboard focus (as a press would).
    void Focus();

    // The caret's x in client coordinates, and the text index nearest to client x `atX`.
    std::int32_t CaretX();
    std::size_t IndexAt(std::int32_t atX);

    MyTextEditState state;
    MyTextInputStyle style;
    // Shown in the placeholder colour while the text is empty and the input has no focus.
    std::u16string placeholder;
    std::unique_ptr<Font> font;
    // The longest time between two presses of a double click.
    std::chrono::milliseconds doubleClickTime = kDoubleClickTime;

    // The text changed by the user's typing, deleting, cutting or pasting; Enter; Escape.
    MyCallback<std::int32_t> TextChangedCallback;
    MyCallback<std::int32_t> SubmitCallback;
    MyCallback<std::int32_t> CancelCallback;

private:
    platform::Font* TextFont();
    // Pixels from the text's start to display index `index`.
    std::int32_t OffsetOf(const std::u16string& shown, std::size_t index);
    RECT TextArea() const;
    // Scrolls so that the caret shows and tells the input method where it is.
    void KeepCaretInView();
    // KeepCaretInView, then Redraw, then TextChangedCallback when `textChanged`.
    void Changed(bool textChanged);
    bool CopySelection();
    bool Paste();

    std::int32_t scrollX_ = 0;
    bool selecting_ = false;
    char16_t pendingHigh_ = 0;
    std::chrono::steady_clock::time_point lastPress_{};
    POINT lastPressPoint_{-100, -100};
    bool pressedBefore_ = false;
};
