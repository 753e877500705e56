// The link scheme's registration in the registry of the current user (HKEY_CURRENT_USER\Software\classes
// \vantri; under Wine in CI, in the test prefix's registry): first start, the exact command, a moved
// program, another program's handler with and without asking.
#include "platform/LinkSchemeRegistry.h"
#include "app/LinkScheme.h"
#include "app/MySettings.h"
#include "platform/ChildProcess.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

using testsupport::RecordingMessageBoxes;

constexpr std::u16string_view kHere = u"C:\\Program Files\\Vantri\\vantri.exe";
constexpr std::u16string_view kEarlier = u"C:\\Old place\\vantri.exe";

class WindowsLinkScheme : public ::testing::Test {
protected:
    void SetUp() override { Forget(); }
    void TearDown() override { Forget(); }

    // Removes the whole registration with the system's own tool.
    static void Forget() {
        platform::RunChildProcess({"reg", "delete", "HKCU\\Software\\classes\\vantri", "/f"}, {}, "NUL");
    }
    static std::u16string Command(std::u16string_view path) {
        return platform::MakeLinkSchemeCommand(path, kLinkSchemeMarker);
    }
    static std::optional<std::u16string> Registered() { return platform::ReadLinkSchemeCommand(kLinkScheme); }
    // Another player that owns the scheme.
    static void RegisterOther() {
        ASSERT_TRUE(platform::WriteLinkSchemeRegistration(kLinkScheme, u"\"C:\\Other\\other.exe\" \"%1\"",
                                                          u"Other", u"", u"other"));
    }

    testsupport::ScratchFolder scratch;
    MySettings settings{scratch.text()};
    RecordingMessageBoxes boxes;
};

TEST_F(WindowsLinkScheme, TheCommandQuotesTheProgramAndEndsWithTheMarker) {
    EXPECT_EQ(Command(kHere), u"\"C:\\Program Files\\Vantri\\vantri.exe\" %1 kpwx318");
    EXPECT_EQ(Command(u"C:\\a\"b.exe"), u"") << "a quote cannot be written in the command";
}

TEST_F(WindowsLinkScheme, AFirstStartRegistersWithoutAskingWhateverTheFlagSays) {
    settings.SetFlag(SettingsFlag_CheckLinkScheme, false);
    EXPECT_FALSE(Registered());
    CheckLinkScheme(settings, kHere);
    EXPECT_EQ(Registered(), Command(kHere));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(WindowsLinkScheme, TheExactCommandIsLeftAlone) {
    RegisterLinkScheme(kHere);
    settings.SetFlag(SettingsFlag_CheckLinkScheme, true);
    CheckLinkScheme(settings, kHere);
    EXPECT_EQ(Registered(), Command(kHere));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(WindowsLinkScheme, AMovedProgramIsRegisteredAgainSilently) {
    RegisterLinkScheme(kEarlier);
    settings.SetFlag(SettingsFlag_CheckLinkScheme, true);
    CheckLinkScheme(settings, kHere);
    EXPECT_EQ(Registered(), Command(kHere));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(WindowsLinkScheme, AnotherProgramKeepsTheSchemeWhenTheFlagIsClear) {
    RegisterOther();
    settings.SetFlag(SettingsFlag_CheckLinkScheme, false);
    CheckLinkScheme(settings, kHere);
    EXPECT_EQ(Registered(), u"\"C:\\Other\\other.exe\" \"%1\"");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(WindowsLinkScheme, AnotherProgramsSchemeIsTakenOverOnlyOnYes) {
    RegisterOther();
    settings.SetFlag(SettingsFlag_CheckLinkScheme, true);
    boxes.setYesNoAnswer(platform::MessageBoxResult::No);
    CheckLinkScheme(settings, kHere);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.captions()[0], u"Assign URI scheme");
    EXPECT_EQ(Registered(), u"\"C:\\Other\\other.exe\" \"%1\"");
    boxes.setYesNoAnswer(platform::MessageBoxResult::Yes);
    CheckLinkScheme(settings, kHere);
    EXPECT_EQ(boxes.count(), 2u);
    EXPECT_EQ(Registered(), Command(kHere));
}

} // namespace
