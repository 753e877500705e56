// The version an update installer's signed trusted comment names: written and read back for every form a
// version takes, and anything else named no version.

#include "records/UpdateInstaller.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateTrustedComment, NamesTheVersionAndReadsBack) {
    EXPECT_EQ(UpdateTrustedComment(20), "Vantri 0.20 installer");
    EXPECT_EQ(UpdateTrustedComment(123), "Vantri 1.23 installer");
    for (std::uint32_t version : {1u, 19u, 20u, 99u, 100u, 123u, 1005u, 99999u})
        EXPECT_EQ(UpdateVersionFromTrustedComment(UpdateTrustedComment(version)), version) << version;
    // What follows a tab is the makers' own (a date, a note).
    EXPECT_EQ(UpdateVersionFromTrustedComment("Vantri 0.21 installer\tsigned 2024-05-01"), 21u);
}

TEST(UpdateTrustedComment, AnythingElseNamesNoVersion) {
    for (const char* comment :
         {"", "timestamp:1714000000\tfile:VantriUpdate.exe\thashed", "Vantri 0.20", "Vantri 0.20 installer ",
          "vantri 0.20 installer", "Vantri 0.2 installer", "Vantri 0.200 installer", "Vantri .20 installer",
          "Vantri 00.20 installer", "Vantri 0,20 installer", "Vantri -0.20 installer",
          "Vantri 0.2a installer", "Vantri 12345678.20 installer", "Vantri 0.20 installer for Windows",
          " Vantri 0.20 installer"})
        EXPECT_FALSE(UpdateVersionFromTrustedComment(comment).has_value()) << comment;
}

} // namespace
