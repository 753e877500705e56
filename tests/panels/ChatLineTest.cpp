#include "panels/ChatLine.h"
#include "platform/Utf.h"
#include "records/CatalogueRecords.h"

#include <gtest/gtest.h>

namespace {

ChatLine Compose(std::int32_t time, std::uint8_t kind, std::vector<std::u16string_view> args) {
    return ComposeChatLine(StreamChatRow(time, kind, args));
}

std::string Text(const ChatLine& line) {
    return Utf16ToUtf8(line.text);
}

TEST(ChatLine, EachKindReadsAsItsEventInItsColour) {
    auto message = Compose(75, 1, {u"A", u"B"});
    EXPECT_EQ(Text(message), "[0:01:15] <A> B");
    EXPECT_EQ(message.colour, 0x00FFFFu);

    struct Case {
        std::uint8_t kind;
        std::vector<std::u16string_view> args;
        std::string text;
        ColourRef colour;
    };
    const Case cases[] = {
        {2, {u"N", u"waves"}, "N waves", 0xFFFFFF},
        {3, {u"N"}, "N has joined", 0x00FF00},
        {4, {u"N"}, "N has left", 0x0000FF},
        {4, {u"N", u"bye"}, "N has left (bye)", 0x0000FF},
        {5, {u"N"}, "N has quit", 0x0000FF},
        {5, {u"N", u"gone"}, "N has quit (gone)", 0x0000FF},
        {6, {u"old", u"new"}, "old is now known as new", 0x00FF00},
        {7, {u"N", u"news"}, "N changes topic to 'news'", 0xFFFF00},
        {8, {u"N", u"+o", u"X"}, "N sets mode to:  +o X", 0x0080FF},
        {8, {u"N", u"+m"}, "N sets mode to:  +m", 0x0080FF},
        {9, {u"K", u"N"}, "N was kicked by K", 0x8000FF},
        {9, {u"K", u"N", u"R"}, "N was kicked by K (R)", 0x8000FF},
        {0, {u"A", u"B"}, "<A> B", 0xC0C0C0},
        {0, {u"plain"}, "plain", 0xC0C0C0},
    };
    for (const Case& c : cases) {
        const ChatLine line = Compose(0, c.kind, c.args);
        EXPECT_EQ(Text(line), "[0:00:00] " + c.text) << int(c.kind);
        EXPECT_EQ(line.colour, c.colour) << c.text;
    }
}

TEST(ChatLine, MismatchedKindsAndCountsReadAsUnknown) {
    const std::vector<std::pair<std::uint8_t, std::vector<std::u16string_view>>> cases = {
        {1, {u"A"}}, {3, {u"A", u"B"}},  {4, {}},     {8, {u"N"}}, {9, {u"K"}},
        {0, {}},     {10, {u"A", u"B"}}, {6, {u"A"}},
    };
    for (const auto& [kind, args] : cases) {
        const ChatLine line = Compose(-59, kind, args);
        EXPECT_EQ(Text(line), "[-0:00:59] [UNKNOWN TYPE]") << int(kind);
        EXPECT_EQ(line.colour, 0xFF00FFu);
    }
}

TEST(ChatLine, LongTimesAndWideTextsArePreserved) {
    const ChatLine line = Compose(36000, 1, {u"Åsa", u"日本語 🎵"});
    EXPECT_EQ(Text(line), "[10:00:00] <Åsa> 日本語 🎵");
}

} // namespace
