#include "platform/Paths.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(Paths, JoinPathPutsOneSeparatorBetween) {
    EXPECT_EQ(platform::PathSeparator(), u'/');
    EXPECT_EQ(platform::JoinPath(u"/home/u/.config", u"Vantri"), u"/home/u/.config/Vantri");
    EXPECT_EQ(platform::JoinPath(u"/home/u/.config/", u"Vantri"), u"/home/u/.config/Vantri");
    EXPECT_EQ(platform::JoinPath(u"/", u"tmp"), u"/tmp");
}

TEST(Paths, LocalAppDataFolderFollowsTheXdgRules) {
    {
        testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", std::string("/somewhere/config"));
        EXPECT_EQ(platform::LocalAppDataFolder(), u"/somewhere/config");
    }
    testsupport::ScopedEnvironment home("HOME", std::string("/home/listener"));
    {
        testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(platform::LocalAppDataFolder(), u"/home/listener/.config");
    }
    {
        testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", std::string("not/absolute"));
        EXPECT_EQ(platform::LocalAppDataFolder(), u"/home/listener/.config");
    }
    {
        testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", std::string("/h\xC3\xA9/cfg"));
        EXPECT_EQ(platform::LocalAppDataFolder(), u"/h\u00e9/cfg");
    }
}

TEST(Paths, CacheFolderFollowsTheXdgRules) {
    {
        testsupport::ScopedEnvironment xdg("XDG_CACHE_HOME", std::string("/somewhere/cache"));
        EXPECT_EQ(platform::CacheFolder(), u"/somewhere/cache");
    }
    testsupport::ScopedEnvironment home("HOME", std::string("/home/listener"));
    {
        testsupport::ScopedEnvironment xdg("XDG_CACHE_HOME", std::nullopt);
        EXPECT_EQ(platform::CacheFolder(), u"/home/listener/.cache");
    }
    {
        testsupport::ScopedEnvironment xdg("XDG_CACHE_HOME", std::string("relative/cache"));
        EXPECT_EQ(platform::CacheFolder(), u"/home/listener/.cache");
    }
}

TEST(Paths, WithoutHomeTheUserDatabaseNamesTheHomeFolder) {
    testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
    testsupport::ScopedEnvironment home("HOME", std::nullopt);
    const std::u16string folder = platform::LocalAppDataFolder();
    // Every account has a home folder entry, even when it does not exist.
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), u'/');
    EXPECT_TRUE(folder.ends_with(u"/.config"));
}

TEST(Paths, TempFolderHonoursTmpdir) {
    {
        testsupport::ScopedEnvironment tmp("TMPDIR", std::string("/var/scratch"));
        EXPECT_EQ(platform::TempFolder(), u"/var/scratch");
    }
    testsupport::ScopedEnvironment tmp("TMPDIR", std::nullopt);
    EXPECT_EQ(platform::TempFolder(), u"/tmp");
}

TEST(Paths, OwnExecutablePathNamesThisProgram) {
    const fs::path self = platform::OwnExecutablePath();
    EXPECT_TRUE(fs::is_regular_file(self));
    EXPECT_EQ(self.filename(), "test_platform");
}

TEST(Paths, MakeFolderMakesEveryMissingFolderOnTheWay) {
    testsupport::ScratchFolder scratch;
    const fs::path deep = scratch.path() / "a" / "b" / "c";
    EXPECT_FALSE(platform::FolderExists(deep.u16string()));
    ASSERT_TRUE(platform::MakeFolder(deep.u16string()));
    EXPECT_TRUE(platform::FolderExists(deep.u16string()));
    EXPECT_TRUE(fs::is_directory(deep));
    // The folders hold the user's own data: nobody else may look in.
    EXPECT_EQ(fs::status(deep).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
    EXPECT_TRUE(platform::MakeFolder(deep.u16string())); // already there
    EXPECT_TRUE(platform::MakeFolder((scratch.path() / "d/").u16string()));
}

TEST(Paths, AFileIsNotAFolderAndBlocksOne) {
    testsupport::ScratchFolder scratch;
    const fs::path file = scratch.path() / "file";
    std::ofstream(file) << "x";
    EXPECT_FALSE(platform::FolderExists(file.u16string()));
    EXPECT_FALSE(platform::MakeFolder(file.u16string()));
    EXPECT_FALSE(platform::MakeFolder((file / "below").u16string()));
    EXPECT_FALSE(platform::FolderExists(u""));
    EXPECT_FALSE(platform::MakeFolder(u""));
}
