#pragma once
// How a chat row reads in the chat panel: "[H:MM:SS] " and the event in words, with a colour per kind.

#include <cstdint>
#include <string>

class StreamChatRow;

// A colour as 0x00BBGGRR.
using ColourRef = std::uint32_t;

constexpr ColourRef kChatYellow = 0x00FFFF;
constexpr ColourRef kChatWhite = 0xFFFFFF;
constexpr ColourRef kChatGreen = 0x00FF00;
constexpr ColourRef kChatRed = 0x0000FF;
constexpr ColourRef kChatCyan = 0xFFFF00;
constexpr ColourRef kChatOrange = 0x0080FF;
constexpr ColourRef kChatPink = 0x8000FF;
constexpr ColourRef kChatSilver = 0xC0C0C0;
constexpr ColourRef kChatMagenta = 0xFF00FF;
constexpr ColourRef kChatNotReached = 0x404040; // rows beyond the play position, when shown

struct ChatLine {
    std::u16string text;
    ColourRef colour = kChatMagenta;
};

// A row whose kind and argument count match no event reads "[UNKNOWN TYPE]" in magenta.
ChatLine ComposeChatLine(const StreamChatRow& row);

// Chat text made safe to lay out: tabs become blanks; IRC formatting codes (colour with its numbers,
// bold, italic, underline, reverse, reset) and every other control character are dropped; a lone
// surrogate becomes U+FFFD; the text is cut to at most `maxLength` UTF-16 units, never inside a pair.
std::u16string CleanChatText(std::u16string text, std::size_t maxLength);
