// The text input in a real window on the desktop (under Xvfb in CI): the display's mouse gives it the
// focus, xdotool types into it, a text in other scripts that another program put on the clipboard
// (xclip) is pasted with Ctrl+V, and what Ctrl+C copies is what another program reads back. (xdotool
// types letters missing from the display's keyboard map by remapping a key for a moment, which races
// with the window's reading of the map; letters of other scripts therefore come by the clipboard.)

#include "UiFixture.h"

#include "platform/ChildProcess.h"
#include "platform/Utf.h"
#include "support/ScratchFolder.h"
#include "ui/MyTextInput.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using namespace uitest;

namespace {

bool RunTool(const std::vector<std::string>& command, const std::string& output = "/dev/null") {
    const auto result = platform::RunChildProcess(command, {}, output);
    return result.started && result.exitCode == 0;
}

// Pumps the loop until `done` holds or `seconds` pass.
template <typename Done> bool PumpUntil(platform::WindowSystem& system, Done done, int seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
    }
    return done();
}

TEST(TextInputDesktop, TypingPastingAndCopyingWithTheDisplaysOwnTools) {
    if (!RunTool({"xdotool", "version"}) || !RunTool({"which", "xclip"}))
        GTEST_SKIP() << "no xdotool or xclip";
    auto system = platform::OpenDesktopWindowSystem();
    if (!system)
        GTEST_SKIP() << "no display";
    TestOwner owner;
    ASSERT_TRUE(owner.Create(system.get(), u"VantriInput", u"Vantri input", nullptr, 420, 320, 400, 120));
    auto base = std::make_unique<MyWindowBase>();
    base->backgroundColour = 0xFFFFFF;
    MyWindowBase* root = base.get();
    owner.root = std::move(base);
    root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    auto made = std::make_unique<MyTextInput>();
    made->Create(&owner.context, 20, 40, 360, 24);
    MyTextInput* input = root->AddChild(std::move(made));
    root->Redraw();
    ASSERT_TRUE(PumpUntil(*system, [&] { return owner.window->visible(); }));

    // Another test on the same display may take the focus for a moment: each try clicks the input again
    // and starts from an empty text.
    auto clickInput = [&] {
        const platform::Rect r = owner.window->WindowRect();
        return RunTool({"xdotool", "mousemove", std::to_string(r.left + 60), std::to_string(r.top + 52),
                        "click", "1"}) &&
               PumpUntil(
                   *system, [&] { return input->hasFocus(); }, 5);
    };
    const std::u16string typed = u"hello world";
    bool typedArrived = false;
    for (int attempt = 0; attempt < 5 && !typedArrived; ++attempt) {
        input->SetText(u"");
        if (!clickInput())
            continue;
        RunTool({"xdotool", "type", "--delay", "30", "hello world"});
        typedArrived = PumpUntil(
            *system, [&] { return input->text() == typed; }, 5);
    }
    ASSERT_TRUE(typedArrived) << "typed text never arrived; the input shows \"" << Utf16ToUtf8(input->text())
                              << "\"";

    // Another program owns the clipboard; Ctrl+V pastes its text at the caret.
    testsupport::ScratchFolder folder;
    const std::filesystem::path source = folder.path() / "clip.txt";
    std::ofstream(source) << " + héllo ✓ 日本語";
    ASSERT_TRUE(RunTool({"xclip", "-selection", "clipboard", "-i", source.string()}));
    const std::u16string pasted = typed + u" + héllo ✓ 日本語";
    bool pastedArrived = false;
    for (int attempt = 0; attempt < 5 && !pastedArrived; ++attempt) {
        if (!input->hasFocus() && !clickInput())
            continue;
        input->state.MoveEnd(false);
        RunTool({"xdotool", "key", "ctrl+v"});
        pastedArrived = PumpUntil(
            *system, [&] { return input->text() == pasted; }, 5);
    }
    EXPECT_TRUE(pastedArrived) << "the input shows \"" << Utf16ToUtf8(input->text()) << "\"";

    // Ctrl+A, Ctrl+C: another program reads the whole text from the clipboard. The window answers its
    // request while the loop runs, so the reader runs beside it.
    const std::filesystem::path copied = folder.path() / "copied.txt";
    bool copiedOut = false;
    for (int attempt = 0; attempt < 5 && !copiedOut; ++attempt) {
        if (!input->hasFocus() && !clickInput())
            continue;
        RunTool({"xdotool", "key", "ctrl+a", "ctrl+c"});
        if (!PumpUntil(
                *system, [&] { return input->state.selectedText() == input->text(); }, 5))
            continue;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            // Bounded: a clipboard nobody answers for ends the reader after 10 seconds.
            RunTool({"timeout", "10", "xclip", "-selection", "clipboard", "-o"}, copied.string());
            done = true;
        });
        PumpUntil(
            *system, [&] { return done.load(); }, 15);
        reader.join();
        std::ifstream in(copied);
        std::stringstream text;
        text << in.rdbuf();
        copiedOut = text.str() == Utf16ToUtf8(input->text());
    }
    EXPECT_TRUE(copiedOut) << "the clipboard never held the input's text";
}

} // namespace
