#pragma once
// The chat's search bar: a strip over the chat with the search input on the left and, on the right, where
// the shown match stands ("3 of 12", "No match") and, for a match the play position has not reached while
// the chat beyond it is not shown, its time ("later, at 1:23:45") without its text.

#include "ui/MyTextInput.h"

#include <memory>
#include <string>

class MyChatSearchBar : public MyControlBase {
public:
    static constexpr std::int32_t kHeight = 28;       // pixels
    static constexpr std::int32_t kInputHeight = 22;  // pixels
    static constexpr std::int32_t kMargin = 4;        // pixels around the input
    static constexpr std::int32_t kStatusWidth = 190; // pixels for the status on the right
    static constexpr COLORREF kBackColour = 0x202020;
    static constexpr COLORREF kRuleColour = 0x404040; // as the state line's rule
    static constexpr COLORREF kStatusColour = 0xC0C0C0;
    static constexpr std::int32_t kFontHeight = 14; // pixels

    void OnCreate() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    void Paint() override;
    // A panel described by where the shown match stands; the input is its child.
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::Panel;
        node.name = u"Search the chat";
        node.description = status;
        return true;
    }

    // Shows `text` on the right; redraws the bar when it changed.
    void SetStatus(const std::u16string& text);
    // The input's look over the black chat.
    static MyTextInputStyle InputStyle();

    MyTextInput* input = nullptr;
    std::u16string status;
    std::unique_ptr<Font> font;

private:
    RECT InputRect() const;
};
