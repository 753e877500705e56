#include "RequestTarget.h"

#include <gtest/gtest.h>

using station::Endpoint;
using station::ParseRequestTarget;

namespace {

// Every request the player writes, as it writes it, normal and debug forms.
TEST(RequestTarget, AcceptsEveryPlayerRequestInBothForms) {
    struct Case {
        const char* target;
        Endpoint endpoint;
        const char* prefix;
        bool debug;
    };
    const Case cases[] = {
        {"/getstations/", Endpoint::Directory, "/", false},
        {"/getstations/?debug", Endpoint::Directory, "/", true},
        {"/station/7/getstationinfo/", Endpoint::StationInfo, "/station/7/", false},
        {"/station/7/getstationinfo/?debug", Endpoint::StationInfo, "/station/7/", true},
        {"/station/7/getstreamdata/?streamid=3&start=524288&length=524288", Endpoint::StreamData,
         "/station/7/", false},
        {"/station/7/getstreamdata/?streamid=3&start=0&length=524288&debug", Endpoint::StreamData,
         "/station/7/", true},
        {"/night/getstreaminfo/?streamid=12", Endpoint::TrackList, "/night/", false},
        {"/night/getstreaminfo/?streamid=12&debug", Endpoint::TrackList, "/night/", true},
        {"/a/b/getstreamchat/?streamid=0", Endpoint::Chat, "/a/b/", false},
        {"/a/b/getstreamchat/?streamid=0&debug", Endpoint::Chat, "/a/b/", true},
        {"/getvantriversioninfo/version19", Endpoint::UpdateInfo, "/", false},
        {"/getvantriversioninfo/version19&debug", Endpoint::UpdateInfo, "/", true},
        {"/getvantriupdatedownload/version19", Endpoint::UpdateDownload, "/", false},
        {"/getvantriupdatedownload/version19&debug", Endpoint::UpdateDownload, "/", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const auto parse = ParseRequestTarget(c.target);
        ASSERT_TRUE(parse.ok) << parse.reason;
        EXPECT_EQ(parse.request.endpoint, c.endpoint);
        EXPECT_EQ(parse.request.prefix, c.prefix);
        EXPECT_EQ(parse.request.debug, c.debug);
    }
}

TEST(RequestTarget, ReadsNumbersAtTheLimitsOfTheirTypes) {
    auto parse = ParseRequestTarget(
        "/s/getstreamdata/?streamid=4294967295&start=18446744073709551615&length=4294967295");
    ASSERT_TRUE(parse.ok) << parse.reason;
    EXPECT_EQ(parse.request.streamId, 4294967295u);
    EXPECT_EQ(parse.request.start, 18446744073709551615ull);
    EXPECT_EQ(parse.request.length, 4294967295u);

    // Parameters may come in any order.
    parse = ParseRequestTarget("/s/getstreamdata/?length=10&streamid=2&start=5");
    ASSERT_TRUE(parse.ok);
    EXPECT_EQ(parse.request.streamId, 2u);
    EXPECT_EQ(parse.request.start, 5u);
    EXPECT_EQ(parse.request.length, 10u);

    parse = ParseRequestTarget("/getvantriversioninfo/version2147483647");
    ASSERT_TRUE(parse.ok);
    EXPECT_EQ(parse.request.version, 2147483647);
}

TEST(RequestTarget, RefusesBadParametersWith400) {
    const char* targets[] = {
        "/s/getstreamdata/?streamid=1&start=0",                             // length missing
        "/s/getstreamdata/?start=0&length=1",                               // stream missing
        "/s/getstreamdata/?streamid=x&start=0&length=1",                    // not a number
        "/s/getstreamdata/?streamid=-1&start=0&length=1",                   // signed
        "/s/getstreamdata/?streamid=+1&start=0&length=1",                   // sign
        "/s/getstreamdata/?streamid=1&start=0&length=4294967296",           // length beyond 32 bits
        "/s/getstreamdata/?streamid=4294967296&start=0&length=1",           // stream id beyond 32 bits
        "/s/getstreamdata/?streamid=1&start=18446744073709551616&length=1", // start beyond 64 bits
        "/s/getstreamdata/?streamid=1&start=0&length=",                     // empty
        "/s/getstreamdata/?streamid=1&streamid=2&start=0&length=1",         // twice
        "/s/getstreamdata/?streamid=1&start=0&length=1&debug&debug",        // debug twice
        "/s/getstreamdata/?streamid=1&start=0&length=1&extra=1",            // unknown
        "/s/getstreaminfo/?streamid=1&start=0",                             // not a track list parameter
        "/s/getstationinfo/?streamid=1",
        "/getstations/?debug=1",
        "/getvantriversioninfo/version", // no number
        "/getvantriversioninfo/version19x",
        "/getvantriversioninfo/version2147483648",
        "/getvantriversioninfo/version19&debug&debug",
        "/s/getstreamchat/?streamid=1%00", // escapes are never sent
        "getstations/",                    // not absolute
    };
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        const auto parse = ParseRequestTarget(target);
        EXPECT_FALSE(parse.ok);
        EXPECT_EQ(parse.status, 400);
        EXPECT_FALSE(parse.reason.empty());
    }
}

TEST(RequestTarget, UnknownPathsAre404AndOverlongTargets414) {
    for (const char* target : {"/", "/getstation/", "/station/1/getstreamdata", "/station//getstationinfo/",
                               "/station/1/../getstationinfo/x", "/favicon.ico"}) {
        SCOPED_TRACE(target);
        const auto parse = ParseRequestTarget(target);
        EXPECT_FALSE(parse.ok);
        EXPECT_EQ(parse.status, 404);
    }
    const std::string longTarget = "/getstations/?" + std::string(station::kMaxRequestTarget, 'a');
    EXPECT_EQ(ParseRequestTarget(longTarget).status, 414);
}

} // namespace
