// The program's main window on the Windows desktop as a screen reader reads it through MSAA: the play
// buttons, mute and volume by name and role, the mute's checked state and the volume's value as the
// window has them, actions that change what the window does, and the focus events a reader follows.
#include "panels/MyPlayControlPanel.h"
#include "program/Program.h"
#include "program/ProgramFixture.h"
#include "program/win32/MsaaReader.h"
#include "support/DesktopSupport.h"

#include <cmath>

using namespace programtest;
using namespace msaareader;

namespace {

using Lines = std::vector<std::string>;

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

class MsaaMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        system = desktoptest::OpenDisplay();
        ASSERT_TRUE(system) << "no display";
        settings = std::make_unique<MySettings>(folder.text());
        context.settings = settings.get();
        context.instance = system.get();
        context.mediaHandler = &media;
        ASSERT_TRUE(media.Start());
        owner = std::make_unique<MainWindowBase>();
        ASSERT_TRUE(
            owner->StartApplication(system.get(), &context, std::make_unique<FakeTray>(false, &trayCalls)));
        ASSERT_TRUE(owner->accessibility && owner->accessibility->available());
        Pump();
        media.WaitForLines(2); // mute and volume
        media.Clear();
        reader = std::make_unique<Reader>(owner->window.get());
        ASSERT_TRUE(reader->connected()) << "the window answered no client object";
    }
    void TearDown() override {
        reader.reset();
        owner.reset();
    }

    void Pump() {
        platform::Message message;
        while (system->PeekMessage(message) && message.message != platform::WM_QUIT)
            DispatchWithAccelerators(*system, *owner, message);
    }
    template <typename Done> bool PumpUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            Pump();
        return done();
    }
    MyPlayControlPanel& controls() { return *owner->mainWindow->playControlPanel; }

    testsupport::ScratchFolder folder;
    std::unique_ptr<platform::WindowSystem> system;
    MyAppContext context;
    std::unique_ptr<MySettings> settings;
    RecordingMedia media{&context};
    std::vector<std::string> trayCalls;
    std::unique_ptr<MainWindowBase> owner;
    std::unique_ptr<Reader> reader;
};

TEST_F(MsaaMainWindow, ThePlayButtonsMuteAndVolumeReadWithTheirRolesStatesAndValue) {
    const Object client = reader->Client();
    EXPECT_EQ(client.role, kRoleClient);
    EXPECT_EQ(client.name, reader->WindowTitle());
    EXPECT_GT(reader->ChildCount(), 0);

    const Object area = reader->ClientArea();
    for (const std::u16string name : {u"Previous", u"Pause", u"Play", u"Next"}) {
        const Object button = reader->Find(name);
        ASSERT_TRUE(button.found) << "no button " << Narrow(name);
        EXPECT_EQ(button.role, kRolePushButton);
        EXPECT_EQ(button.defaultAction, u"Press");
        EXPECT_NE(button.state & kStateFocusable, 0);
        // On the screen, inside the window's client area, and what lies under its middle.
        EXPECT_GT(button.right, button.left);
        EXPECT_GE(button.left, area.left);
        EXPECT_LE(button.right, area.right);
        EXPECT_GE(button.top, area.top);
        EXPECT_LE(button.bottom, area.bottom);
        EXPECT_EQ(reader->NameAt((button.left + button.right) / 2, (button.top + button.bottom) / 2), name);
    }

    const Object mute = reader->Find(u"Mute");
    ASSERT_TRUE(mute.found);
    EXPECT_EQ(mute.role, kRoleCheckButton);
    EXPECT_EQ((mute.state & kStateChecked) != 0, controls().muteButton->muted);

    const Object volume = reader->Find(u"Volume");
    ASSERT_TRUE(volume.found);
    EXPECT_EQ(volume.role, kRoleSlider);
    const std::string percent =
        std::to_string(static_cast<int>(std::round(controls().volumeBar->value * 100.0f))) + " %";
    EXPECT_EQ(Narrow(volume.value), percent);
}

TEST_F(MsaaMainWindow, PressingPauseAndMuteActsOnTheWindowsThread) {
    const bool mutedBefore = controls().muteButton->muted;
    ASSERT_EQ(reader->DoDefaultAction(u"Pause"), 0);
    EXPECT_TRUE(media.lines().empty()) << "nothing is done inside the reader's call";
    ASSERT_TRUE(PumpUntil([&] { return !media.lines().empty(); }));
    EXPECT_EQ(media.lines(), (Lines{"Pause"}));

    media.Clear();
    ASSERT_EQ(reader->DoDefaultAction(u"Mute"), 0);
    ASSERT_TRUE(PumpUntil([&] { return !media.lines().empty(); }));
    EXPECT_EQ(media.lines(), (Lines{std::string("SetMute ") + (mutedBefore ? "0" : "1")}));
    EXPECT_NE(controls().muteButton->muted, mutedBefore);
    // The reader sees the new state once the window has painted it.
    EXPECT_TRUE(
        PumpUntil([&] { return ((reader->Find(u"Mute").state & kStateChecked) != 0) != mutedBefore; }));
}

TEST_F(MsaaMainWindow, AFocusChangeRaisesTheFocusEventOfTheControlThatTookIt) {
    ASSERT_TRUE(reader->ListenForFocus());
    ASSERT_EQ(reader->TakeFocus(u"Play"), 0);
    auto heard = [&](const std::u16string& name) {
        for (const std::u16string& h : reader->focusEvents())
            if (h == name)
                return true;
        return false;
    };
    ASSERT_TRUE(PumpUntil([&] { return heard(u"Play"); }))
        << reader->focusEvents().size() << " focus events heard";
    EXPECT_NE(reader->Find(u"Play").state & kStateFocused, 0);
    EXPECT_EQ(reader->Focused(), u"Play");

    // The keyboard moves it on, to the last play button: its event follows.
    reader->ClearFocusEvents();
    reader->PressKey(platform::VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return !reader->focusEvents().empty(); }));
    EXPECT_EQ(reader->Focused(), u"Next");
    EXPECT_EQ(reader->focusEvents().back(), u"Next");
}

} // namespace
