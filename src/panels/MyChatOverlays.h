#pragma once
// Two small controls that lie over the chat replay and are hidden until they have something to say: the
// pinned line of the channel's state at the top of the chat, and the badge of the chat sync offset in its
// top-right corner.

#include "ui/MyControlBase.h"

#include <cstdint>
#include <memory>
#include <string>

// One line in silver on black with a dark rule below it, cut with an ellipsis when too long.
class MyChatStateLine : public MyControlBase {
public:
    static constexpr std::int32_t kHeight = 18;       // pixels
    static constexpr COLORREF kTextColour = 0xC0C0C0; // silver
    static constexpr COLORREF kRuleColour = 0x404040; // dark grey
    static constexpr std::int32_t kFontHeight = 16;   // pixels, as the chat's own lines

    void Paint() override;
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::Label;
        node.name = text;
        return true;
    }

    std::u16string text;
    std::unique_ptr<Font> font;
};

// "chat +3 s" in white on dark grey.
class MyChatOffsetBadge : public MyControlBase {
public:
    static constexpr std::int32_t kHeight = 18; // pixels
    static constexpr std::int32_t kPadding = 6; // pixels either side of the text
    static constexpr std::int32_t kMargin = 4;  // pixels from the chat's top and right edges
    static constexpr COLORREF kBackColour = 0x505050;
    static constexpr COLORREF kTextColour = 0xFFFFFF;
    static constexpr std::int32_t kFontHeight = 13; // pixels

    void Paint() override;
    bool Describe(platform::AccessibleNode& node) override {
        node.role = platform::AccessibleRole::Label;
        node.name = text;
        return true;
    }
    // The badge text for an offset: "chat +3 s", "chat -10 s".
    static std::u16string TextFor(std::int32_t seconds);
    // The width the text needs, padding included; measured in the back buffer with the badge's font.
    std::int32_t MeasureWidth();

    std::u16string text;
    std::unique_ptr<Font> font;

private:
    void MakeFont();
};
