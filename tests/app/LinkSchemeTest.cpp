// The link scheme's registration in the user's desktop files: first start, repairs, another program's
// handler with and without asking, other programs' lines kept, awkward paths, and what the desktop's own
// tools (xdg-mime, xdg-open, desktop-file-validate) make of it.

#include "app/LinkScheme.h"
#include "app/MySettings.h"
#include "platform/ChildProcess.h"
#include "platform/LinkSchemeRegistry.h"
#include "platform/Utf.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

bool ToolExists(const std::string& name) {
    return platform::RunChildProcess({"sh", "-c", "command -v " + name}, {}, "/dev/null").exitCode == 0;
}

class LinkSchemeTest : public ::testing::Test {
protected:
    LinkSchemeTest()
        : home("HOME", scratch.path().string()),
          dataHome("XDG_DATA_HOME", (scratch.path() / "data").string()),
          configHome("XDG_CONFIG_HOME", (scratch.path() / "config").string()),
          dataDirs("XDG_DATA_DIRS", (scratch.path() / "system").string()),
          configDirs("XDG_CONFIG_DIRS", (scratch.path() / "system-config").string()),
          desktop("XDG_CURRENT_DESKTOP", std::nullopt), settings((scratch.path() / "appdata").u16string()) {}

    fs::path List() const { return scratch.path() / "config" / "mimeapps.list"; }
    fs::path Entry() const { return scratch.path() / "data" / "applications" / "vantri.desktop"; }
    static std::u16string Command(std::u16string_view path) {
        return platform::MakeLinkSchemeCommand(path, kLinkSchemeMarker);
    }
    // Another player that owns the scheme.
    void RegisterOther() {
        WriteAll(scratch.path() / "data" / "applications" / "other.desktop",
                 "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other %u\n"
                 "MimeType=x-scheme-handler/vantri;\n");
        WriteAll(List(), "[Default Applications]\nx-scheme-handler/vantri=other.desktop;\n");
    }
    // Sets the files' times far back, so that any write shows.
    void AgeFiles() {
        const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
        fs::last_write_time(List(), old);
        fs::last_write_time(Entry(), old);
        listTime = fs::last_write_time(List());
        entryTime = fs::last_write_time(Entry());
    }
    bool FilesUntouched() const {
        return fs::last_write_time(List()) == listTime && fs::last_write_time(Entry()) == entryTime;
    }
    platform::ChildProcessResult Run(const std::vector<std::string>& arguments, const std::string& output) {
        return platform::RunChildProcess(arguments, {}, output);
    }

    ScratchFolder scratch;
    ScopedEnvironment home, dataHome, configHome, dataDirs, configDirs, desktop;
    RecordingMessageBoxes boxes;
    MySettings settings;
    fs::file_time_type listTime, entryTime;
};

TEST_F(LinkSchemeTest, FirstStartRegistersWithoutAskingWhateverTheOption) {
    for (bool ask : {false, true}) {
        fs::remove_all(scratch.path() / "data");
        fs::remove_all(scratch.path() / "config");
        settings.SetFlag(SettingsFlag_CheckLinkScheme, ask);
        CheckLinkScheme(settings, u"/opt/vantri/vantri");
        EXPECT_EQ(platform::ReadLinkSchemeCommand(kLinkScheme), Command(u"/opt/vantri/vantri"));
        EXPECT_EQ(ReadAll(List()), "[Default Applications]\nx-scheme-handler/vantri=vantri.desktop;\n");
        const std::string entry = ReadAll(Entry());
        EXPECT_NE(entry.find("\nExec=/opt/vantri/vantri %u kpwx318\n"), std::string::npos) << entry;
        EXPECT_NE(entry.find("\nMimeType=x-scheme-handler/vantri;\n"), std::string::npos) << entry;
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(LinkSchemeTest, AnExactRegistrationWritesNothing) {
    RegisterLinkScheme(u"/opt/vantri/vantri");
    AgeFiles();
    CheckLinkScheme(settings, u"/opt/vantri/vantri");
    EXPECT_TRUE(FilesUntouched());
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(LinkSchemeTest, AMovedProgramIsRegisteredAgainSilently) {
    settings.SetFlag(SettingsFlag_CheckLinkScheme, true);
    RegisterLinkScheme(u"/old/place/vantri");
    CheckLinkScheme(settings, u"/new/place/vantri");
    EXPECT_EQ(platform::ReadLinkSchemeCommand(kLinkScheme), Command(u"/new/place/vantri"));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(LinkSchemeTest, AnotherProgramKeepsTheSchemeWithoutAQuestionWhenTheOptionIsOff) {
    RegisterOther();
    settings.SetFlag(SettingsFlag_CheckLinkScheme, false);
    CheckLinkScheme(settings, u"/opt/vantri/vantri");
    EXPECT_EQ(platform::ReadLinkSchemeCommand(kLinkScheme), u"/usr/bin/other %u");
    EXPECT_FALSE(fs::exists(Entry()));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(LinkSchemeTest, WithTheOptionOnTheUserIsAskedAndOnlyYesTakesTheScheme) {
    RegisterOther();
    settings.SetFlag(SettingsFlag_CheckLinkScheme, true);
    boxes.setYesNoAnswer(platform::MessageBoxResult::No);
    CheckLinkScheme(settings, u"/opt/vantri/vantri");
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.texts()[0], u"Vantri is not the default application for opening vantri: links.\n\r"
                                u"Do you want to register Vantri as default?");
    EXPECT_EQ(boxes.captions()[0], u"Assign URI scheme");
    EXPECT_EQ(platform::ReadLinkSchemeCommand(kLinkScheme), u"/usr/bin/other %u");

    boxes.setYesNoAnswer(platform::MessageBoxResult::Yes);
    CheckLinkScheme(settings, u"/opt/vantri/vantri");
    EXPECT_EQ(boxes.count(), 2u);
    EXPECT_EQ(platform::ReadLinkSchemeCommand(kLinkScheme), Command(u"/opt/vantri/vantri"));
}

TEST_F(LinkSchemeTest, EveryOtherLineOfTheUsersListStays) {
    const std::string before = "# chosen by hand\n"
                               "[Added Associations]\n"
                               "x-scheme-handler/vantri=other.desktop;\n"
                               "text/plain=gedit.desktop;\r\n"
                               "\n"
                               "[Default Applications]\n"
                               "text/html=firefox.desktop;\n"
                               "  x-scheme-handler/vantri = other.desktop;\n"
                               "; odd line kept as it is\n"
                               "[Removed Associations]\n"
                               "image/png=gimp.desktop;";
    WriteAll(List(), before);
    RegisterLinkScheme(u"/opt/vantri/vantri");
    std::string expected = before;
    expected.replace(expected.find("  x-scheme-handler/vantri = other.desktop;"),
                     std::string("  x-scheme-handler/vantri = other.desktop;").size(),
                     "x-scheme-handler/vantri=vantri.desktop;");
    EXPECT_EQ(ReadAll(List()), expected);

    // Without our key in it, the group gains one line right after its header.
    const std::string without = "[Default Applications]\r\ntext/html=firefox.desktop;\r\n";
    WriteAll(List(), without);
    RegisterLinkScheme(u"/opt/vantri/vantri");
    EXPECT_EQ(
        ReadAll(List()),
        "[Default Applications]\r\nx-scheme-handler/vantri=vantri.desktop;\ntext/html=firefox.desktop;\r\n");

    // Without the group, it is added at the end and nothing before it changes.
    const std::string noGroup = "[Added Associations]\ntext/plain=gedit.desktop;";
    WriteAll(List(), noGroup);
    RegisterLinkScheme(u"/opt/vantri/vantri");
    EXPECT_EQ(ReadAll(List()),
              noGroup + "\n\n[Default Applications]\nx-scheme-handler/vantri=vantri.desktop;\n");
}

TEST_F(LinkSchemeTest, AListKeptElsewhereBehindALinkIsUpdatedWhereItLies) {
    const fs::path shared = scratch.path() / "dotfiles" / "mimeapps.list";
    WriteAll(shared, "[Default Applications]\ntext/html=firefox.desktop;\n");
    fs::create_directories(List().parent_path());
    fs::create_symlink(shared, List());
    RegisterLinkScheme(u"/opt/vantri/vantri");
    EXPECT_TRUE(fs::is_symlink(List()));
    EXPECT_EQ(
        ReadAll(shared),
        "[Default Applications]\nx-scheme-handler/vantri=vantri.desktop;\ntext/html=firefox.desktop;\n");
}

TEST_F(LinkSchemeTest, TheListKeepsItsModeItsHardLinksAndItsByteOrderMark) {
    const std::string bom = "\xEF\xBB\xBF";
    WriteAll(List(), bom + "[Default Applications]\ntext/html=firefox.desktop;\n");
    fs::permissions(List(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                    fs::perm_options::replace);
    RegisterLinkScheme(u"/opt/vantri/vantri");
    // The mark stays in front and the group is the one there, not a second one.
    const std::string expected =
        bom + "[Default Applications]\nx-scheme-handler/vantri=vantri.desktop;\ntext/html=firefox.desktop;\n";
    EXPECT_EQ(ReadAll(List()), expected);
    EXPECT_EQ(fs::status(List()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(platform::ReadLinkSchemeCommand(u"vantri"));
    EXPECT_EQ(*platform::ReadLinkSchemeCommand(u"vantri"), Command(u"/opt/vantri/vantri"));

    // A second name of the same file (a hard link) shows the change: the file was rewritten in place.
    const fs::path second = scratch.path() / "dotfiles" / "mimeapps.list";
    fs::create_directories(second.parent_path());
    fs::create_hard_link(List(), second);
    RegisterLinkScheme(u"/opt/vantri/moved");
    EXPECT_TRUE(fs::equivalent(List(), second));
    EXPECT_EQ(fs::hard_link_count(List()), 2u);
    EXPECT_EQ(ReadAll(second), ReadAll(List()));
    EXPECT_EQ(*platform::ReadLinkSchemeCommand(u"vantri"), Command(u"/opt/vantri/moved"));
    // Nothing is left beside the files.
    for (const fs::path& folder : {List().parent_path(), Entry().parent_path()})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_TRUE(entry.path() == List() || entry.path() == Entry()) << entry.path();
}

TEST_F(LinkSchemeTest, AListWithAByteOrderMarkIsRead) {
    RegisterOther();
    WriteAll(List(), "\xEF\xBB\xBF[Default Applications]\nx-scheme-handler/vantri=other.desktop;\n");
    const auto registered = platform::ReadLinkSchemeCommand(u"vantri");
    ASSERT_TRUE(registered);
    EXPECT_EQ(*registered, u"/usr/bin/other %u");
}

TEST_F(LinkSchemeTest, AnEntryOfTheSameNameThatTheUserWroteIsNeverReplaced) {
    const std::string own =
        "[Desktop Entry]\nType=Application\nName=My Vantri\nExec=/home/me/vantri-wrapper %u\n";
    WriteAll(Entry(), own);
    RegisterLinkScheme(u"/opt/vantri/vantri");
    EXPECT_EQ(ReadAll(Entry()), own);
    EXPECT_FALSE(fs::exists(List()));
    // One of ours (with the marker) from an earlier place is replaced.
    WriteAll(Entry(), "[Desktop Entry]\nType=Application\nName=Vantri\nExec=" +
                          Utf16ToUtf8(Command(u"/old/vantri")) + "\n");
    RegisterLinkScheme(u"/opt/vantri/vantri");
    ASSERT_TRUE(platform::ReadLinkSchemeCommand(u"vantri"));
    EXPECT_EQ(*platform::ReadLinkSchemeCommand(u"vantri"), Command(u"/opt/vantri/vantri"));
}

TEST_F(LinkSchemeTest, NamesPlantedWhereANewFileCouldGoAreLeftAlone) {
    // Links and folders under the names a fixed temporary name would take.
    WriteAll(List(), "[Default Applications]\n");
    const fs::path elsewhere = scratch.path() / "elsewhere";
    WriteAll(elsewhere, "untouched");
    fs::create_symlink(elsewhere, List().string() + ".new");
    fs::create_directories(Entry().string() + ".new");
    RegisterLinkScheme(u"/opt/vantri/vantri");
    ASSERT_TRUE(platform::ReadLinkSchemeCommand(u"vantri"));
    EXPECT_EQ(*platform::ReadLinkSchemeCommand(u"vantri"), Command(u"/opt/vantri/vantri"));
    EXPECT_EQ(ReadAll(elsewhere), "untouched");
    EXPECT_TRUE(fs::is_symlink(List().string() + ".new"));
    EXPECT_TRUE(fs::is_directory(Entry().string() + ".new"));
}

TEST_F(LinkSchemeTest, PathsWithBlanksQuotesAndShellCharactersAreQuotedAsDesktopEntriesRequire) {
    const std::u16string path = u"/opt/My Apps/va\"n$t`ri\\x%y";
    RegisterLinkScheme(path);
    EXPECT_EQ(platform::ReadLinkSchemeCommand(kLinkScheme), Command(path));
    EXPECT_EQ(Command(path), u"\"/opt/My Apps/va\\\\\"n\\\\$t\\\\`ri\\\\\\\\x%%y\" %u kpwx318");
    // A path with a line break cannot be written into a command; nothing is registered.
    fs::remove_all(scratch.path() / "config");
    RegisterLinkScheme(u"/opt/bad\npath/vantri");
    EXPECT_FALSE(fs::exists(List()));
    if (!ToolExists("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    RegisterLinkScheme(path);
    const std::string log = (scratch.path() / "validate.log").string();
    EXPECT_EQ(Run({"desktop-file-validate", Entry().string()}, log).exitCode, 0) << ReadAll(log);
}

TEST_F(LinkSchemeTest, TheDesktopsToolsFindTheRegistrationAndHandTheLinkToTheProgram) {
    if (!ToolExists("xdg-mime") || !ToolExists("xdg-open"))
        GTEST_SKIP() << "xdg-utils are not installed";
    // A stand-in program that writes down its arguments one per line. (xdg-open without a desktop
    // environment splits the command at blanks, so its path has none.)
    const fs::path program = scratch.path() / "bin" / "vantri";
    const fs::path received = scratch.path() / "received";
    WriteAll(program, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + received.string() +
                          ".part'\nmv '" + received.string() + ".part' '" + received.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    RegisterLinkScheme(program.u16string());

    const std::string output = (scratch.path() / "xdg-mime.out").string();
    ASSERT_EQ(Run({"xdg-mime", "query", "default", "x-scheme-handler/vantri"}, output).exitCode, 0);
    EXPECT_EQ(ReadAll(output), "vantri.desktop\n");

    ASSERT_EQ(Run({"xdg-open", "vantri:track-1-2-3"}, (scratch.path() / "xdg-open.out").string()).exitCode, 0)
        << ReadAll(scratch.path() / "xdg-open.out");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(received); }));
    EXPECT_EQ(ReadAll(received), "vantri:track-1-2-3\nkpwx318\n");
}

} // namespace
