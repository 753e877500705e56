// Where web links and the program's web pages point.

#include "net/ServerAddresses.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ScopedEnvironment;

TEST(WebLinkBase, ComesFromTheEnvironmentEndingInASlash) {
    ScopedEnvironment base("VANTRI_WEB_LINK_BASE", "https://vantri.example/listen");
    EXPECT_EQ(WebLinkBase(), "https://vantri.example/listen/");
    ScopedEnvironment withSlash("VANTRI_WEB_LINK_BASE", "http://h/");
    EXPECT_EQ(WebLinkBase(), "http://h/");
}

TEST(WebLinkBase, OtherwiseTheDirectoryServerOverHttp) {
    ScopedEnvironment base("VANTRI_WEB_LINK_BASE", std::nullopt);
    {
        ScopedEnvironment directory("VANTRI_DIRECTORY", "radio.example:8081");
        EXPECT_EQ(WebLinkBase(), "http://radio.example:8081/");
    }
    {
        ScopedEnvironment directory("VANTRI_DIRECTORY", "radio.example");
        EXPECT_EQ(WebLinkBase(), "http://radio.example/");
    }
    {
        ScopedEnvironment directory("VANTRI_DIRECTORY", "[::1]:9000");
        EXPECT_EQ(WebLinkBase(), "http://[::1]:9000/");
    }
    ScopedEnvironment empty("VANTRI_WEB_LINK_BASE", "");
    ScopedEnvironment directory("VANTRI_DIRECTORY", "radio.example");
    EXPECT_EQ(WebLinkBase(), "http://radio.example/") << "an empty value is no value";
}

} // namespace
