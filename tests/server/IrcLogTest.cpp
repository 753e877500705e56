#include "IrcLog.h"
#include "TimeText.h"

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
    }
}

// Every event kind, in the order each log below writes them.
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
    {4, {"erin"}},
};

TEST(IrcLog, Irssi) {
    const auto events = Parse("--- Log opened Sun Mar 03 19:59:00 2024\n"
                              "20:00:01 <@alice> hello there\n"
                              "20:00:02  * alice waves\n"
                              "20:00:03 -!- bob [~bob@example.org] has joined #radio\n"
                              "20:00:04 -!- bob [~bob@example.org] has left #radio [see you]\n"
                              "20:00:05 -!- carol [c@h] has quit [Quit: bye]\n"
                              "20:00:06 -!- alice is now known as alicia\n"
                              "20:00:07 -!- op changed the topic of #radio to: Friday Mix live\n"
                              "20:00:08 -!- mode/#radio [+o alicia] by op\n"
                              "20:00:09 -!- dave was kicked from #radio by op [spam]\n"
                              "20:00:10 -server- maintenance at 22:00\n"
                              "20:00:11 -!- erin [e@h] has left #radio []\n"
                              "--- Log closed Sun Mar 03 23:00:00 2024\n");
    ExpectEvents(events, kEveryKind);
    EXPECT_EQ(events[0].time, kStart + 1);
    EXPECT_EQ(events[0].line, 2);
}

TEST(IrcLog, WeeChat) {
    const auto events =
        Parse("2024-03-03 20:00:01\t@alice\thello there\n"
              "2024-03-03 20:00:02\t *\talice waves\n"
              "2024-03-03 20:00:03\t-->\tbob (~bob@example.org) has joined #radio\n"
              "2024-03-03 20:00:04\t<--\tbob (~bob@example.org) has left #radio (see you)\n"
              "2024-03-03 20:00:05\t<--\tcarol (c@h) has quit (Quit: bye)\n"
              "2024-03-03 20:00:06\t--\talice is now known as alicia\n"
              "2024-03-03 20:00:07\t--\top has changed topic for #radio from \"old\" to \"Friday Mix live\"\n"
              "2024-03-03 20:00:08\t--\tMode #radio [+o alicia] by op\n"
              "2024-03-03 20:00:09\t<--\top has kicked dave (spam)\n"
              "2024-03-03 20:00:10\tserver\tmaintenance at 22:00\n"
              "2024-03-03 20:00:11\t<--\terin (e@h) has left #radio\n");
    ASSERT_EQ(events.size(), kEveryKind.size());
    std::vector<Expected> expected = kEveryKind;
    expected[9] = {1, {"server", "maintenance at 22:00"}}; // WeeChat shows a notice's sender like a nick
    ExpectEvents(events, expected);
    EXPECT_EQ(events[10].time, kStart + 11);
}

TEST(IrcLog, Mirc) {
    const auto events = Parse("Session Start: Sun Mar 03 19:59:00 2024\n"
                              "Session Ident: #radio\n"
                              "[20:00:01] <alice> hello there\n"
                              "[20:00:02] * alice waves\n"
                              "[20:00:03] * Joins: bob (~bob@example.org)\n"
                              "[20:00:04] * Parts: bob (~bob@example.org) (see you)\n"
                              "[20:00:05] * Quits: carol (c@h) (Quit: bye)\n"
                              "[20:00:06] * alice is now known as alicia\n"
                              "[20:00:07] * op changes topic to 'Friday Mix live'\n"
                              "[20:00:08] * op sets mode: +o alicia\n"
                              "[20:00:09] * dave was kicked by op (spam)\n"
                              "[20:00:10] -server- maintenance at 22:00\n"
                              "[20:00:11] * erin (e@h) has left #radio\n"
                              "Session Close: Sun Mar 03 23:00:00 2024\n");
    ExpectEvents(events, kEveryKind);
}

TEST(IrcLog, MircHasJoinedFormAndColourCodes) {
    const auto events = Parse("[20:00] * bob (~b@h) has joined #radio\n"
                              "[20:01] <\x03"
                              "04,01alice\x0f> \x02loud\x02 \x1funder\x1f\tline\n"
                              "[20:02] * carol (c@h) Quit (Ping timeout)\n");
    ExpectEvents(events, {{3, {"bob"}}, {1, {"alice", "loud under line"}}, {5, {"carol", "Ping timeout"}}});
    EXPECT_EQ(events[1].time, kStart + 60);
}

TEST(IrcLog, TimesOfDayArePlacedNearTheStartAndRollOverMidnight) {
    // A show starting 23:30 local time (UTC+2): lines carry only times of day and no date line.
    IrcLogOptions options;
    options.utcOffset = 7200;
    options.reference = *ParseDateTime("2024-03-03 23:30:00+02:00");
    auto events = ParseIrcLog("[23:20:00] <a> before\n[23:59:59] <a> late\n[00:00:30] <a> after midnight\n"
                              "[00:00:20] <a> clock went back a little\n",
                              "chat.log", options);
    ASSERT_TRUE(events.ok());
    ASSERT_EQ(events->size(), 4u);
    EXPECT_EQ((*events)[0].time - options.reference, -600);
    EXPECT_EQ((*events)[1].time - options.reference, 1799);
    EXPECT_EQ((*events)[2].time - options.reference, 1830);
    EXPECT_EQ((*events)[3].time - options.reference, 1820);

    // A first line just after midnight belongs to the day after a show that starts before it.
    events = ParseIrcLog("00:05 <a> hi\n", "chat.log", options);
    ASSERT_TRUE(events.ok());
    EXPECT_EQ((*events)[0].time - options.reference, 35 * 60);

    // irssi's "Day changed" moves on to the named date.
    options.utcOffset = 0;
    options.reference = kStart;
    events =
        ParseIrcLog("--- Log opened Sun Mar 03 20:00:00 2024\n23:00 <a> x\n--- Day changed Mon Mar 04 2024\n"
                    "00:10 <a> y\n",
                    "chat.log", options);
    ASSERT_TRUE(events.ok());
    EXPECT_EQ((*events)[1].time - kStart, 4 * 3600 + 600);
}

TEST(IrcLog, NonUtf8LinesAreReadAsWindows1252) {
    const auto events = Parse("[20:00:01] <j\xF6rg> gr\xFC\xDF"
                              "e \x80 5\n[20:00:02] <anna> ünïcode\n");
    ExpectEvents(events, {{1, {"jörg", "grüße € 5"}}, {1, {"anna", "ünïcode"}}});
}

TEST(IrcLog, UnknownTextAfterATimestampIsKeptAsAPlainLine) {
    const auto events = Parse("20:00 -!- Irssi: Join to #radio was synced in 0 secs\n20:01 just words\n");
    ExpectEvents(events, {{0, {"Irssi: Join to #radio was synced in 0 secs"}}, {0, {"just words"}}});
}

TEST(IrcLog, MalformedLinesNameFileAndLine) {
    struct Case {
        std::string text;
        IrcFormat format;
        int line;
    };
    const Case cases[] = {
        {"[20:00:01] <a> ok\nno timestamp here\n", IrcFormat::Auto, 2},
        {"[20:00:01] <a> ok\n[25:00:00] <a> bad hour\n", IrcFormat::Mirc, 2},
        {"20:00 <a> ok\n20:0 <a> short\n", IrcFormat::Irssi, 2},
        {"--- Log opened someday\n", IrcFormat::Irssi, 1},
        {"2024-03-03 20:00:01\ta\tok\n2024-03-03 20:00:02 a no tabs\n", IrcFormat::WeeChat, 2},
        {"2024-02-30 20:00:01\ta\tno such day\n", IrcFormat::WeeChat, 1},
        {"hello\n", IrcFormat::Auto, 1},
        {std::string("[20:00:01] <a> zero\0byte\n", 25), IrcFormat::Auto, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        IrcLogOptions options;
        options.format = c.format;
        options.reference = kStart;
        auto events = ParseIrcLog(c.text, "chat.log", options);
        ASSERT_FALSE(events.ok());
        EXPECT_EQ(events.failure().file, "chat.log");
        EXPECT_EQ(events.failure().line, c.line) << events.failure().Text();
    }
}

} // namespace
