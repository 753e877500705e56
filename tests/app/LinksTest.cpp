#include "app/Links.h"
#include "platform/Utf.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

ParsedLink Link(std::int32_t station, std::int32_t stream, std::int32_t seconds) {
    return ParsedLink{station, stream, seconds};
}

} // namespace

TEST(Base62, EncodesAtTheDigitBoundaries) {
    EXPECT_EQ(EncodeBase62(0), u"0");
    EXPECT_EQ(EncodeBase62(9), u"9");
    EXPECT_EQ(EncodeBase62(10), u"A");
    EXPECT_EQ(EncodeBase62(35), u"Z");
    EXPECT_EQ(EncodeBase62(36), u"a");
    EXPECT_EQ(EncodeBase62(61), u"z");
    EXPECT_EQ(EncodeBase62(62), u"10");
    EXPECT_EQ(EncodeBase62(3600), u"w4");
    EXPECT_EQ(EncodeBase62(916132831), u"zzzzz");
    EXPECT_EQ(EncodeBase62(916132832), u"100000");
    EXPECT_EQ(EncodeBase62(std::numeric_limits<std::uint32_t>::max()), u"4gfFC3");
}

TEST(Base62, DecodesOneToFiveDigitsAndNothingLonger) {
    EXPECT_EQ(DecodeBase62(u""), 0);
    EXPECT_EQ(DecodeBase62(u"0"), 0);
    EXPECT_EQ(DecodeBase62(u"z"), 61);
    EXPECT_EQ(DecodeBase62(u"10"), 62);
    EXPECT_EQ(DecodeBase62(u"w4"), 3600);
    EXPECT_EQ(DecodeBase62(u"zzzzz"), 916132831);
    EXPECT_EQ(DecodeBase62(u"00zzz"), DecodeBase62(u"zzz")); // leading zeros count as digits, not as value
    // The sixth digit is refused whatever its value, even a leading zero.
    EXPECT_EQ(DecodeBase62(u"100000"), 0);
    EXPECT_EQ(DecodeBase62(u"000001"), 0);
    EXPECT_EQ(DecodeBase62(u"4gfFC3"), 0);
}

TEST(Base62, AnyCharacterOutsideTheDigitsSpoilsTheWholeNumber) {
    EXPECT_EQ(DecodeBase62(u"1-2"), 0);
    EXPECT_EQ(DecodeBase62(u"12 "), 0);
    EXPECT_EQ(DecodeBase62(u" 12"), 0);
    EXPECT_EQ(DecodeBase62(u"1\u00e9"), 0); // é is a letter, but not a base-62 digit
    EXPECT_EQ(DecodeBase62(u"\uff11"), 0);  // a full-width digit one
    EXPECT_EQ(DecodeBase62(std::u16string(1, u'\0')), 0);
}

TEST(ParseLink, ReadsTheTrackFormWithEitherSeparator) {
    EXPECT_EQ(ParseLink(u"vantri:track-1-2-w4"), Link(1, 2, 3600));
    EXPECT_EQ(ParseLink(u"vantri:track:1:2:w4"), Link(1, 2, 3600));
    EXPECT_EQ(ParseLink(u"vantri:track-1:2-w4"),
              Link(1, 2, 3600));                           // separators may be mixed after the keyword
    EXPECT_EQ(ParseLink(u"track-a-B-0"), Link(36, 11, 0)); // no prefix needed
}

TEST(ParseLink, ReadsStreamAndStationForms) {
    EXPECT_EQ(ParseLink(u"vantri:stream-1-2"), Link(1, 2, 0));
    EXPECT_EQ(ParseLink(u"vantri:stream:Z:z"), Link(35, 61, 0));
    EXPECT_EQ(ParseLink(u"vantri:station-5"), Link(5, 0, 0));
    EXPECT_EQ(ParseLink(u"vantri:station:zz"), Link(3843, 0, 0));
}

TEST(ParseLink, FindsTheFormInsideWebLinksAndOtherText) {
    EXPECT_EQ(ParseLink(u"http://links.example/track-1-2-3"), Link(1, 2, 3));
    EXPECT_EQ(ParseLink(u"listen to this: vantri:stream-7-8 now"), Link(7, 8, 0));
    EXPECT_EQ(ParseLink(u"xstation-9"), Link(9, 0, 0)); // whatever stands before the keyword
}

TEST(ParseLink, TheTrackKeywordWinsAndIsNotAbandoned) {
    // A text holding both forms is read as the track form, wherever each stands.
    EXPECT_EQ(ParseLink(u"stream-1-2 track-3-4-5"), Link(3, 4, 5));
    // A track keyword without three numbers is not a link; the stream form is not looked for then.
    EXPECT_EQ(ParseLink(u"vantri:track-1-2"), std::nullopt);
    EXPECT_EQ(ParseLink(u"track-1-2 stream-3-4"), std::nullopt);
    // "track-" is looked for before "track:", even when "track:" comes first in the text.
    EXPECT_EQ(ParseLink(u"track:1:2:3 track-4"), std::nullopt);
    EXPECT_EQ(ParseLink(u"track:1:2:3 track-4-5-6"), Link(4, 5, 6));
    // Only the first occurrence of the chosen keyword is tried.
    EXPECT_EQ(ParseLink(u"track-1 track-2-3-4"), std::nullopt);
    // Stream before station.
    EXPECT_EQ(ParseLink(u"station-1 stream-2-3"), Link(2, 3, 0));
}

TEST(ParseLink, TheShellsFormEndsAtTheSpace) {
    EXPECT_EQ(ParseLink(u"vantri:stream-1-2 kpwx318"), Link(1, 2, 0));
    EXPECT_EQ(ParseLink(u"vantri:track-1-2-3 kpwx318"), Link(1, 2, 3));
}

TEST(ParseLink, AnyOtherCharacterEndsTheScan) {
    EXPECT_EQ(ParseLink(u"vantri:track-1-2/3"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:track-1-2-3/extra"), Link(1, 2, 3));
    EXPECT_EQ(ParseLink(u"vantri:stream-1-2\n"), Link(1, 2, 0));
    EXPECT_EQ(ParseLink(u"vantri:stream-1-\u00e92"), std::nullopt); // é ends the scan with token 3 empty
    EXPECT_EQ(ParseLink(u"vantri:stream-1-2\u00e9"), Link(1, 2, 0));
}

TEST(ParseLink, TheTextEndsAtItsFirstZeroUnit) {
    std::u16string text = u"vantri:stream-1-2";
    text.insert(14, 1, u'\0');
    EXPECT_EQ(ParseLink(text), std::nullopt);
    std::u16string hidden = std::u16string(u"junk") + u'\0' + u"station-5";
    EXPECT_EQ(ParseLink(hidden), std::nullopt);
}

TEST(ParseLink, EmptyNumbersAreNotLinks) {
    EXPECT_EQ(ParseLink(u"vantri:station-"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:stream-1-"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:stream--2"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:track-1--3"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:track---"), std::nullopt);
}

TEST(ParseLink, KeywordsAreCaseSensitive) {
    EXPECT_EQ(ParseLink(u"Track-1-2-3"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:STREAM-1-2"), std::nullopt);
    EXPECT_EQ(ParseLink(u"vantri:Station-1"), std::nullopt);
    EXPECT_EQ(ParseLink(u"track 1 2 3"), std::nullopt);
    EXPECT_EQ(ParseLink(u""), std::nullopt);
}

TEST(ParseLink, AtMostFiveTokensAreRead) {
    EXPECT_EQ(ParseLink(u"track-1-2-3-4"), Link(1, 2, 3));
    // The fifth separator stops the scan; what follows it is not looked at.
    EXPECT_EQ(ParseLink(u"track-1-2-3-4-5-6-7"), Link(1, 2, 3));
    EXPECT_EQ(ParseLink(u"station-1-2-3-4-!"), Link(1, 0, 0));
}

TEST(ParseLink, NumbersThatCannotBeDecodedBecomeZero) {
    // Second -1 is written as 4294967295, six digits, and reads back as 0.
    EXPECT_EQ(MakeTrackLink(1, 2, -1), u"track-1-2-4gfFC3");
    EXPECT_EQ(ParseLink(u"vantri:" + MakeTrackLink(1, 2, -1)), Link(1, 2, 0));
    EXPECT_EQ(ParseLink(u"vantri:stream-100000-1"), Link(0, 1, 0));
}

TEST(ParseLink, ReadsBackWhatTheProgramWrites) {
    EXPECT_EQ(MakeTrackLink(1, 2, 3600), u"track-1-2-w4");
    EXPECT_EQ(MakeStreamLink(62, 61), u"stream-10-z");
    EXPECT_EQ(ParseLink(u"vantri:" + MakeTrackLink(123, 45678, 5025)), Link(123, 45678, 5025));
    EXPECT_EQ(ParseLink(u"http://host/" + MakeStreamLink(916132831, 7)), Link(916132831, 7, 0));
}

TEST(ParseNarrowLink, ConvertsUtf8First) {
    EXPECT_EQ(ParseNarrowLink("vantri:stream-1-2 kpwx318"), Link(1, 2, 0));
    EXPECT_EQ(ParseNarrowLink("\xC3\xA9track-1-2-3"), Link(1, 2, 3)); // é before the keyword
    EXPECT_EQ(ParseNarrowLink("\xFFtrack-1-2-3"), Link(1, 2, 3));     // ill-formed bytes before it too
    EXPECT_EQ(ParseNarrowLink(std::string("vantri:stream-1") + '\0' + "-2"), std::nullopt);
}

TEST(ParseNarrowLink, ATextThatDoesNotFitTheBufferIsNotALink) {
    const std::string link = "vantri:track-1-2-3";
    std::string fits = std::string(kLinkBufferUnits - 1 - link.size(), ' ') + link;
    EXPECT_EQ(ParseNarrowLink(fits), Link(1, 2, 3));
    EXPECT_EQ(ParseNarrowLink(" " + fits), std::nullopt);
    // The limit counts UTF-16 units, not bytes: three-byte characters take one unit each.
    std::string wide;
    for (std::size_t i = 0; i < 500; ++i)
        wide += "\xE6\x97\xA5"; // 日
    EXPECT_EQ(ParseNarrowLink(wide + link), Link(1, 2, 3));
}

TEST(StartsWithLinkScheme, ComparesSevenCharactersInAnyCase) {
    EXPECT_TRUE(StartsWithLinkScheme("vantri:stream-1-2"));
    EXPECT_TRUE(StartsWithLinkScheme("VANTRI:"));
    EXPECT_TRUE(StartsWithLinkScheme("Vantri:track-1-2-3"));
    EXPECT_FALSE(StartsWithLinkScheme("vantri"));
    EXPECT_FALSE(StartsWithLinkScheme("debug"));
    EXPECT_FALSE(StartsWithLinkScheme(" vantri:stream-1-2"));
    EXPECT_FALSE(StartsWithLinkScheme("vantri-stream-1-2"));
}

TEST(FormatDuration, WritesHoursMinutesAndSeconds) {
    EXPECT_EQ(FormatDuration(0), u"0:00:00");
    EXPECT_EQ(FormatDuration(9), u"0:00:09");
    EXPECT_EQ(FormatDuration(10), u"0:00:10");
    EXPECT_EQ(FormatDuration(600), u"0:10:00");
    EXPECT_EQ(FormatDuration(3599), u"0:59:59");
    EXPECT_EQ(FormatDuration(3725), u"1:02:05");
    EXPECT_EQ(FormatDuration(36000), u"10:00:00");
    EXPECT_EQ(FormatDuration(360000), u"100:00:00");
}

TEST(FormatDuration, NegativeValuesCarryAMinus) {
    EXPECT_EQ(FormatDuration(-59), u"-0:00:59");
    EXPECT_EQ(FormatDuration(-3600), u"-1:00:00");
    EXPECT_EQ(FormatDuration(-3725), u"-1:02:05");
    EXPECT_EQ(FormatDuration(std::numeric_limits<std::int32_t>::min()), u"-596523:14:08");
    EXPECT_EQ(FormatDuration(std::numeric_limits<std::int64_t>::min()), u"-2562047788015215:30:08");
}

TEST(FormatDateTime, ShowsLocalTimeInTheGivenZone) {
    {
        testsupport::ScopedTimeZone zone("UTC0");
        EXPECT_EQ(FormatDateTime(0), u"1970-01-01 00:00");
        EXPECT_EQ(FormatDateTime(1700000000), u"2023-11-14 22:13");
        EXPECT_EQ(FormatDateTime(59), u"1970-01-01 00:00"); // seconds are not shown, nor rounded
        EXPECT_EQ(FormatDateTime(std::numeric_limits<std::uint32_t>::max()), u"2106-02-07 06:28");
    }
    {
        // Central European time: one hour ahead in winter, two in summer.
        testsupport::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(FormatDateTime(1700000000), u"2023-11-14 23:13");
        EXPECT_EQ(FormatDateTime(1690000000), u"2023-07-22 06:26");
        EXPECT_EQ(FormatDateTime(1704067140), u"2024-01-01 00:59"); // the year changes with the zone
    }
    {
        testsupport::ScopedTimeZone zone("EST5");
        EXPECT_EQ(FormatDateTime(0), u"1969-12-31 19:00");
        EXPECT_EQ(FormatDateTime(3 * 86400 + 5 * 3600 + 7 * 60), u"1970-01-04 00:07");
    }
}

TEST(FormatDateTime, FollowsATimeZoneChangeWithoutBeingTold) {
    testsupport::ScopedTimeZone utc("UTC0");
    EXPECT_EQ(FormatDateTime(1700000000), u"2023-11-14 22:13");
    // Only the variable changes here; the zone is put back when `utc` goes.
    ASSERT_TRUE(platform::SetEnv("TZ", "JST-9"));
    EXPECT_EQ(FormatDateTime(1700000000), u"2023-11-15 07:13");
}
