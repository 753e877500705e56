// Windows folders and files: backslash paths, the user's local application-data folder, folders made
// level by level, and whole-file replacement that leaves nothing behind.
#include "platform/Files.h"
#include "platform/Paths.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

bool IsAbsolute(const std::u16string& path) {
    return path.size() >= 3 && path[1] == u':' && path[2] == u'\\';
}

TEST(WindowsPaths, JoinPathPutsOneBackslashBetween) {
    EXPECT_EQ(platform::PathSeparator(), u'\\');
    EXPECT_EQ(platform::JoinPath(u"C:\\Users\\u\\AppData\\Local", u"Vantri"),
              u"C:\\Users\\u\\AppData\\Local\\Vantri");
    EXPECT_EQ(platform::JoinPath(u"C:\\Temp\\", u"x"), u"C:\\Temp\\x");
    EXPECT_EQ(platform::JoinPath(u"C:/Temp/", u"x"), u"C:/Temp/x");
}

TEST(WindowsPaths, SystemFoldersAreAbsoluteAndExist) {
    const std::u16string appData = platform::LocalAppDataFolder();
    ASSERT_TRUE(IsAbsolute(appData)) << fs::path(appData).string();
    EXPECT_NE(appData.back(), u'\\');
    EXPECT_TRUE(platform::FolderExists(appData));
    const std::u16string temp = platform::TempFolder();
    ASSERT_TRUE(IsAbsolute(temp));
    EXPECT_NE(temp.back(), u'\\');
    EXPECT_TRUE(platform::FolderExists(temp));
    const fs::path self(platform::OwnExecutablePath());
    EXPECT_TRUE(fs::is_regular_file(self));
    EXPECT_EQ(self.filename(), "test_platform.exe");
}

TEST(WindowsPaths, MakeFolderMakesEveryLevelAndAFileBlocksIt) {
    testsupport::ScratchFolder scratch;
    const std::u16string deep =
        platform::JoinPath(platform::JoinPath(scratch.text(), u"a"), u"b\u00e9\u6f22");
    EXPECT_FALSE(platform::FolderExists(deep));
    ASSERT_TRUE(platform::MakeFolder(deep));
    EXPECT_TRUE(platform::FolderExists(deep));
    EXPECT_TRUE(platform::MakeFolder(deep + u"\\")); // already there
    const fs::path file = scratch.path() / "file";
    std::ofstream(file) << "x";
    EXPECT_FALSE(platform::FolderExists(file.u16string()));
    EXPECT_FALSE(platform::MakeFolder(file.u16string()));
    EXPECT_FALSE(platform::MakeFolder(file.u16string() + u"\\below"));
    EXPECT_FALSE(platform::MakeFolder(u""));
}

TEST(WindowsFiles, WholeFilesAreReplacedAndReadBack) {
    testsupport::ScratchFolder scratch;
    const std::u16string file = platform::JoinPath(scratch.text(), u"settings \u0416.vts");
    ASSERT_TRUE(platform::WriteFileAtomically(file, Bytes(1000, 0xAB)));
    ASSERT_TRUE(platform::WriteFileAtomically(file, Bytes{1, 2, 3}));
    Bytes read;
    ASSERT_TRUE(platform::ReadFileStart(file, 100, read));
    EXPECT_EQ(read, (Bytes{1, 2, 3}));
    ASSERT_TRUE(platform::ReadFileStart(file, 2, read));
    EXPECT_EQ(read, (Bytes{1, 2}));
    EXPECT_FALSE(fs::exists(fs::path(file + u".new")));
    EXPECT_FALSE(platform::ReadFileStart(platform::JoinPath(scratch.text(), u"missing"), 10, read));
    EXPECT_TRUE(read.empty());
}

TEST(WindowsFiles, AWriteThatCannotHappenLeavesNothingBehind) {
    testsupport::ScratchFolder scratch;
    EXPECT_FALSE(platform::WriteFileAtomically(u"", Bytes{1}));
    EXPECT_FALSE(platform::WriteFileAtomically(platform::JoinPath(scratch.text(), u"missing\\f"), Bytes{1}));
    const fs::path folder = scratch.path() / "folder";
    fs::create_directory(folder);
    EXPECT_FALSE(platform::WriteFileAtomically(folder.u16string(), Bytes{1}));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(fs::exists(scratch.path() / "folder.new"));
    Bytes read;
    EXPECT_FALSE(platform::ReadFileStart(folder.u16string(), 10, read)) << "a folder is not a file";
}

} // namespace
