#include "panels/ChatLine.h"

#include "app/Links.h"
#include "records/CatalogueRecords.h"

namespace {

// The event in words and its colour; false when the row is not well formed (its kind and argument count
// match no event).
bool ComposeEvent(const StreamChatRow& row, std::u16string& text, ColourRef& colour) {
    if (!row.IsWellFormed())
        return false;
    const int count = row.argCount;
    auto a = [&](int index) { return std::u16string(row.arg(index)); };
    switch (row.kind) {
    case StreamChatRowKind_Message:
        text = u"<" + a(0) + u"> " + a(1);
        colour = kChatYellow;
        return true;
    case StreamChatRowKind_Action:
        text = a(0) + u" " + a(1);
        colour = kChatWhite;
        return true;
    case StreamChatRowKind_Join:
        text = a(0) + u" has joined";
        colour = kChatGreen;
        return true;
    case StreamChatRowKind_Leave:
    case StreamChatRowKind_Quit:
        text = a(0) + (row.kind == StreamChatRowKind_Leave ? u" has left" : u" has quit");
        if (count == 2)
            text += u" (" + a(1) + u")";
        colour = kChatRed;
        return true;
    case StreamChatRowKind_NickChange:
        text = a(0) + u" is now known as " + a(1);
        colour = kChatGreen;
        return true;
    case StreamChatRowKind_TopicChange:
        text = a(0) + u" changes topic to '" + a(1) + u"'";
        colour = kChatCyan;
        return true;
    case StreamChatRowKind_ModeChange:
        text = a(0) + u" sets mode to: ";
        for (int i = 1; i < count; ++i)
            text += u" " + a(i);
        colour = kChatOrange;
        return true;
    case StreamChatRowKind_Kick:
        text = a(1) + u" was kicked by " + a(0);
        if (count == 3)
            text += u" (" + a(2) + u")";
        colour = kChatPink;
        return true;
    default: // StreamChatRowKind_Plain
        text = count == 2 ? u"<" + a(0) + u"> " + a(1) : a(0);
        colour = kChatSilver;
        return true;
    }
}

} // namespace

ChatLine ComposeChatLine(const StreamChatRow& row) {
    ChatLine line;
    line.text = u"[" + FormatDuration(row.time) + u"] ";
    std::u16string event;
    if (!ComposeEvent(row, event, line.colour)) {
        event = u"[UNKNOWN TYPE]";
        line.colour = kChatMagenta;
    }
    line.text += event;
    return line;
}

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Skips up to two digits at `i`; answers the new position.
std::size_t SkipDigits(const std::u16string& text, std::size_t i) {
    for (int n = 0; n < 2 && i < text.size() && IsDigit(text[i]); ++n)
        ++i;
    return i;
}

} // namespace

std::u16string CleanChatText(std::u16string text, std::size_t maxLength) {
    constexpr char16_t kIrcColour = 0x03;
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char16_t c = text[i];
        if (c == kIrcColour) {
            // "\x03" then an optional foreground of one or two digits and ",background".
            std::size_t j = SkipDigits(text, i + 1);
            if (j > i + 1 && j + 1 < text.size() && text[j] == u',' && IsDigit(text[j + 1]))
                j = SkipDigits(text, j + 1);
            i = j;
            continue;
        }
        if (c == u'\t') {
            text[out++] = u' ';
            ++i;
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            ++i;
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            text[out++] = c;
            text[out++] = text[i + 1];
            i += 2;
            continue;
        }
        text[out++] = (c >= 0xD800 && c < 0xE000) ? char16_t{0xFFFD} : c;
        ++i;
    }
    text.resize(out);
    if (text.size() > maxLength) {
        std::size_t cut = maxLength;
        if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] < 0xDC00)
            --cut;
        text.resize(cut);
    }
    return text;
}
