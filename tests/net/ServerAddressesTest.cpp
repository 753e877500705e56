#include "net/ServerAddresses.h"
#include "platform/Environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(ServerAddresses, ParsesHostAndOptionalPort) {
    auto plain = ParseServerAddress("stations.example");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "stations.example");
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(plain->basePath, "/");
    EXPECT_EQ(plain->stationId, 0);
    EXPECT_TRUE(plain->name.empty());

    auto withPort = ParseServerAddress("127.0.0.1:8081");
    ASSERT_TRUE(withPort);
    EXPECT_EQ(withPort->host, "127.0.0.1");
    EXPECT_EQ(withPort->port, 8081);

    auto bracketed = ParseServerAddress("[::1]:9000");
    ASSERT_TRUE(bracketed);
    EXPECT_EQ(bracketed->host, "::1");
    EXPECT_EQ(bracketed->port, 9000);

    auto bareIpv6 = ParseServerAddress("::1");
    ASSERT_TRUE(bareIpv6);
    EXPECT_EQ(bareIpv6->host, "::1");
    EXPECT_EQ(bareIpv6->port, 80);
}

TEST(ServerAddresses, RefusesMalformedValues) {
    for (const char* bad :
         {"", ":80", "host:", "host:0", "host:65536", "host:8x", "[::1", "[::1]x", "a b", "host\r\nX: y"})
        EXPECT_FALSE(ParseServerAddress(bad)) << bad;
}

TEST(ServerAddresses, TheEnvironmentOverridesTheDefaultUnlessMalformed) {
    ASSERT_TRUE(platform::SetEnv("VANTRI_DIRECTORY", "directory.test:7001"));
    ASSERT_TRUE(platform::SetEnv("VANTRI_UPDATE_SERVER", "update.test"));
    EXPECT_EQ(DirectoryServerConnectionData().host, "directory.test");
    EXPECT_EQ(DirectoryServerConnectionData().port, 7001);
    EXPECT_EQ(UpdateServerConnectionData().host, "update.test");
    EXPECT_EQ(UpdateServerConnectionData().port, 80);

    ASSERT_TRUE(platform::SetEnv("VANTRI_DIRECTORY", "bad:port"));
    platform::UnsetEnv("VANTRI_UPDATE_SERVER");
    auto fallback = ParseServerAddress(kDefaultDirectoryServer);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(DirectoryServerConnectionData().host, fallback->host);
    EXPECT_EQ(DirectoryServerConnectionData().port, fallback->port);
    EXPECT_EQ(UpdateServerConnectionData().host, ParseServerAddress(kDefaultUpdateServer)->host);
    platform::UnsetEnv("VANTRI_DIRECTORY");
}

} // namespace
