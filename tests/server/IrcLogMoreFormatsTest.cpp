// The ZNC, HexChat, Quassel and The Lounge logs that import reads, from samples written the way each of
// them writes its logs: every chat event kind, the times, and telling the format from the first lines.

#include "IrcLog.h"

#include <gtest/gtest.h>

using namespace station;

namespace {

struct Expected {
    std::uint8_t kind;
    std::vector<std::string> args;
};

// 2024-03-03 20:00:00 UTC.
constexpr std::int64_t kStart = 1709496000;

std::vector<IrcEvent> Parse(const std::string& text, IrcFormat format = IrcFormat::Auto,
                            std::int64_t offset = 0) {
    IrcLogOptions options;
    options.format = format;
    options.utcOffset = offset;
    options.reference = kStart;
    auto events = ParseIrcLog(text, "chat.log", options);
    EXPECT_TRUE(events.ok()) << (events.ok() ? "" : events.failure().Text());
    return events.ok() ? *events : std::vector<IrcEvent>{};
}

void ExpectEvents(const std::vector<IrcEvent>& events, const std::vector<Expected>& expected) {
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(events[i].kind, expected[i].kind);
        EXPECT_EQ(events[i].args, expected[i].args);
        EXPECT_EQ(events[i].time, kStart + 1 + static_cast<std::int64_t>(i));
    }
}

// Every event kind, in the order each sample writes them, one a second from 20:00:01.
const std::vector<Expected> kEveryKind = {
    {1, {"alice", "hello there"}},
    {2, {"alice", "waves"}},
    {3, {"bob"}},
    {4, {"bob", "see you"}},
    {5, {"carol", "Quit: bye"}},
    {6, {"alice", "alicia"}},
    {7, {"op", "Friday Mix live"}},
    {8, {"op", "+o", "alicia"}},
    {9, {"op", "dave", "spam"}},
    {0, {"server", "maintenance at 22:00"}},
    {1, {"erin", "caf\xc3\xa9"}},
};

TEST(IrcLogMoreFormats, Znc) {
    const std::string log = "[20:00:01] <alice> hello there\n"
                            "[20:00:02] * alice waves\n"
                            "[20:00:03] *** Joins: bob (~bob@example.org)\n"
                            "[20:00:04] *** Parts: bob (~bob@example.org) (see you)\n"
                            "[20:00:05] *** Quits: carol (c@h) (Quit: bye)\n"
                            "[20:00:06] *** alice is now known as alicia\n"
                            "[20:00:07] *** op changes topic to 'Friday Mix live'\n"
                            "[20:00:08] *** op sets mode: +o alicia\n"
                            "[20:00:09] *** dave was kicked by op (spam)\n"
                            "[20:00:10] -server- maintenance at 22:00\n"
                            "[20:00:11] <erin> caf\xe9\n"; // Latin-1
    ExpectEvents(Parse(log), kEveryKind);
    ExpectEvents(Parse(log, IrcFormat::Znc), kEveryKind);
    // Told from mIRC by a "***" line further down, too.
    const auto late =
        Parse("[20:00:01] <alice> hello\n[20:00:02] <bob> hi\n[20:00:03] *** Joins: carol (c@h)\n");
    ASSERT_EQ(late.size(), 3u);
    EXPECT_EQ(late[2].kind, 3);
    EXPECT_EQ(late[2].args, std::vector<std::string>{"carol"});
}

TEST(IrcLogMoreFormats, HexChat) {
    const std::string log = "**** BEGIN LOGGING AT Sun Mar  3 19:59:00 2024\n"
                            "\n"
                            "Mar 03 20:00:01 <@alice>\thello there\n"
                            "Mar 03 20:00:02 *\talice waves\n"
                            "Mar 03 20:00:03 -->\tbob (~bob@example.org) has joined #radio\n"
                            "Mar 03 20:00:04 <--\tbob (~bob@example.org) has left #radio (see you)\n"
                            "Mar 03 20:00:05 <--\tcarol has quit (Quit: bye)\n"
                            "Mar 03 20:00:06 ---\talice is now known as alicia\n"
                            "Mar 03 20:00:07 ---\top has changed the topic to: Friday Mix live\n"
                            "Mar 03 20:00:08 ---\top gives channel operator status to alicia\n"
                            "Mar 03 20:00:09 <--\top has kicked dave from #radio (spam)\n"
                            "Mar 03 20:00:10 -server-\tmaintenance at 22:00\n"
                            "Mar 03 20:00:11 <erin>\tcaf\xe9\n"
                            "**** ENDING LOGGING AT Sun Mar  3 23:00:00 2024\n";
    ExpectEvents(Parse(log), kEveryKind);
    // Without a logging line the year is the start's; times follow the log's clock.
    const auto bare = Parse("Mar 03 21:00:01 <alice>\thi\nMar 03 21:00:02 ---\top sets mode +m #radio\n",
                            IrcFormat::Auto, 3600);
    ASSERT_EQ(bare.size(), 2u);
    EXPECT_EQ(bare[0].time, kStart + 1);
    EXPECT_EQ(bare[1].kind, 8);
    EXPECT_EQ(bare[1].args, (std::vector<std::string>{"op", "+m", "#radio"}));
}

TEST(IrcLogMoreFormats, QuasselExport) {
    const std::string log =
        "[2024-03-03 20:00:01] <alice> hello there\n"
        "[2024-03-03 20:00:02] -*- alice waves\n"
        "[2024-03-03 20:00:03] --> bob (~bob@example.org) has joined #radio\n"
        "[2024-03-03 20:00:04] <-- bob (~bob@example.org) has left #radio (see you)\n"
        "[2024-03-03 20:00:05] <-- carol (c@h) has quit (Quit: bye)\n"
        "[2024-03-03 20:00:06] <-> alice is now known as alicia\n"
        "[2024-03-03 20:00:07] * op has changed topic for #radio to: \"Friday Mix live\"\n"
        "[2024-03-03 20:00:08] *** Mode #radio +o alicia by op\n"
        "[2024-03-03 20:00:09] <-* op has kicked dave from #radio (spam)\n"
        "[2024-03-03 20:00:10] [server] maintenance at 22:00\n"
        "[2024-03-03 20:00:11] <erin> caf\xe9\n";
    ExpectEvents(Parse(log), kEveryKind);
    // Its times are in the log's clock.
    const auto shifted = Parse("[2024-03-03 21:00:01] <alice> hi\n", IrcFormat::Quassel, 3600);
    ASSERT_EQ(shifted.size(), 1u);
    EXPECT_EQ(shifted[0].time, kStart + 1);
}

TEST(IrcLogMoreFormats, TheLounge) {
    const std::string log = "[2024-03-03T20:00:01.123Z] <@alice> hello there\n"
                            "[2024-03-03T20:00:02.000Z] * alice waves\n"
                            "[2024-03-03T20:00:03.000Z] *** bob (~bob@example.org) joined\n"
                            "[2024-03-03T20:00:04.000Z] *** bob (~bob@example.org) left (see you)\n"
                            "[2024-03-03T20:00:05.000Z] *** carol (c@h) quit (Quit: bye)\n"
                            "[2024-03-03T20:00:06.000Z] *** alice changed nick to alicia\n"
                            "[2024-03-03T20:00:07.000Z] *** op changed topic to 'Friday Mix live'\n"
                            "[2024-03-03T20:00:08.000Z] *** op set mode +o alicia\n"
                            "[2024-03-03T20:00:09.000Z] *** dave was kicked by op (spam)\n"
                            "[2024-03-03T20:00:10.000Z] -server- maintenance at 22:00\n"
                            "[2024-03-03T20:00:11.000Z] <erin> caf\xe9\n";
    // The stamps say UTC: the log's clock given for import does not move them.
    ExpectEvents(Parse(log, IrcFormat::Auto, 3600), kEveryKind);
    const auto empty = Parse("[2024-03-03T20:00:01.000Z] *** bob (~bob@example.org) left ()\n");
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].args, std::vector<std::string>{"bob"});
}

TEST(IrcLogMoreFormats, NamesAndFaults) {
    EXPECT_EQ(IrcFormatFromName("ZNC"), IrcFormat::Znc);
    EXPECT_EQ(IrcFormatFromName("hexchat"), IrcFormat::HexChat);
    EXPECT_EQ(IrcFormatFromName("quassel"), IrcFormat::Quassel);
    EXPECT_EQ(IrcFormatFromName("thelounge"), IrcFormat::Lounge);
    IrcLogOptions options;
    options.reference = kStart;
    // A line without the format's stamp is reported with its number.
    auto bad = ParseIrcLog("[2024-03-03 20:00:01] <a> hi\nno stamp here\n", "q.log", options);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.failure().line, 2);
    bad = ParseIrcLog("Mar 03 20:00:01 <a>\thi\nFeb 30 20:00:02 <a>\thi\n", "h.log", options);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.failure().line, 2);
}

} // namespace
