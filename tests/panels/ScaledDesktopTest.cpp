// The whole window at a device scale on the desktop (under Xvfb in CI), chosen with VANTRI_SCALE: the
// window is its logical size times the scale, skin pieces reach the screen as the skin scaled (pixel
// for pixel at 2x), text is drawn sharp where the 1x text lies, and a click at device pixels reaches the
// control under them.

#include "PlayPanelsSupport.h"
#include "support/DesktopSupport.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyPlayControls.h"
#include "panels/PlayControlSkin.h"
#include "platform/ChildProcess.h"
#include "support/Deadline.h"
#include "support/ScopedEnvironment.h"

#include <chrono>
#include <cstdlib>
#include <optional>

using namespace uitest;
using paneltest::SkinImage;
using namespace desktoptest;

namespace {

constexpr std::int32_t kWidth = 320;
constexpr std::int32_t kHeight = 200;
constexpr std::int32_t kPanelTop = kHeight - 72;
constexpr RECT kTextArea{10, 10, 190, 40};
constexpr RECT kTarget{200, 20, 260, 60};
constexpr char16_t kText[] = u"Sharp text at 0:12:34";

// Black text on white in a rectangle of its own.
class TextControl : public MyControlBase {
public:
    void Paint() override {
        if (!backBuffer)
            return;
        if (!font)
            font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS,
                               0, 0, 0, u"Arial");
        FillRect(*backBuffer, bounds, CreateSolidBrush(0xFFFFFF));
        SavedDcState saved(*backBuffer);
        SelectObject(*backBuffer, font.get());
        SetBkMode(*backBuffer, TRANSPARENT);
        SetTextColor(*backBuffer, 0);
        RECT r = bounds;
        DrawTextW(*backBuffer, kText, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    std::unique_ptr<Font> font;
};

// What the screen showed of the window: device pixels.
struct Screenshot {
    std::vector<std::uint32_t> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0xFF000000u;
        return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF;
    }
};

// A window of kWidth x kHeight logical pixels at the scale VANTRI_SCALE names: a text, a target that
// records clicks, and the play controls with the play button lit.
class ScaledWindow {
public:
    explicit ScaledWindow(const char* scale, const char16_t* title)
        : environment_("VANTRI_SCALE", std::string(scale)) {
        system = OpenDisplay();
        if (!system)
            return;
        if (!owner.Create(system.get(), u"VantriScaled", title, nullptr, 40, 40, kWidth, kHeight)) {
            system.reset();
            return;
        }
        auto base = std::make_unique<MyWindowBase>();
        base->backgroundColour = 0xFFFFFF;
        MyWindowBase* root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
        auto text = std::make_unique<TextControl>();
        text->Create(&owner.context, kTextArea.left, kTextArea.top, kTextArea.width(), kTextArea.height());
        root->AddChild(std::move(text));
        auto target = std::make_unique<SolidControl>(RGB(0, 0x80, 0));
        target->Create(&owner.context, kTarget.left, kTarget.top, kTarget.width(), kTarget.height());
        recorder.Wire(*target, 7);
        root->AddChild(std::move(target));
        auto controls = std::make_unique<MyPlayControlPanel>(&owner.context, &app);
        controls->Create(&owner.context, 0, kPanelTop, kWidth, 72);
        play = root->AddChild(std::move(controls));
        play->playButtons[2]->lit = true;
        root->Redraw();
    }

    // Pumps the loop until the screen shows the whole window drawn (the target's green and the white
    // text area), or 15 seconds pass; answers that screenshot.
    std::optional<Screenshot> Shown() {
        const platform::DeviceScale scale = owner.window->scale();
        Screenshot shot;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            Pump();
            if (!owner.window->ReadScreen(shot.pixels, shot.width, shot.height) || shot.pixels.empty())
                continue;
            if (shot.at(scale.ToDevice(kTarget.left + 5), scale.ToDevice(kTarget.top + 5)) == 0x008000 &&
                shot.at(scale.ToDevice(kTextArea.left + 1), scale.ToDevice(kTextArea.top + 1)) == 0xFFFFFF &&
                shot.at(shot.width - 1, shot.height - 1) != 0xFF000000u)
                return shot;
        }
        return std::nullopt;
    }
    void Pump() {
        platform::Message m;
        while (system->PeekMessage(m) && m.message != platform::WM_QUIT)
            system->DispatchMessage(m);
    }

    testsupport::ScopedEnvironment environment_;
    std::unique_ptr<platform::WindowSystem> system;
    TestOwner owner;
    MyAppContext app;
    Recorder recorder;
    MyPlayControlPanel* play = nullptr;
};

// The ink of the text area (pixels that are not white), in device pixels relative to the area's corner.
RECT InkBox(const Screenshot& shot, platform::DeviceScale scale) {
    RECT box{1 << 20, 1 << 20, -1, -1};
    const std::int32_t left = scale.ToDevice(kTextArea.left), top = scale.ToDevice(kTextArea.top);
    for (std::int32_t y = top; y < scale.ToDevice(kTextArea.bottom); ++y)
        for (std::int32_t x = left; x < scale.ToDevice(kTextArea.right); ++x)
            if (shot.at(x, y) != 0xFFFFFF) {
                box.left = std::min(box.left, x - left);
                box.top = std::min(box.top, y - top);
                box.right = std::max(box.right, x - left + 1);
                box.bottom = std::max(box.bottom, y - top + 1);
            }
    return box;
}

TEST(ScaledDesktop, AtTwiceTheScaleSkinsAreTheSkinScaledAndTextIsSharpWhereItWas) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows windows stay at scale 1";
#endif
    std::optional<Screenshot> once, twice;
    {
        ScaledWindow window("1", u"Vantri scaled 1");
        if (!window.system)
            GTEST_SKIP() << "no display";
        once = window.Shown();
        ASSERT_TRUE(once) << "the window never reached the screen at 1x";
        EXPECT_EQ(once->width, kWidth);
        EXPECT_EQ(once->height, kHeight);
    }
    ScaledWindow window("2", u"Vantri scaled 2");
    ASSERT_TRUE(window.system);
    EXPECT_EQ(window.owner.window->scale().quarters(), 8);
    // The program keeps its logical size; the screen has twice as many pixels each way.
    EXPECT_EQ(window.owner.clientWidth, kWidth);
    EXPECT_EQ(window.owner.window->ClientSize(), (platform::Point{kWidth, kHeight}));
    twice = window.Shown();
    ASSERT_TRUE(twice) << "the window never reached the screen at 2x";
    EXPECT_EQ(twice->width, 2 * kWidth);
    EXPECT_EQ(twice->height, 2 * kHeight);

    // The lit play button and the panel's corner, as the skin with each pixel repeated 2 x 2.
    const SkinImage panel(104);
    ASSERT_TRUE(panel.loaded);
    const std::int32_t buttonX = kWidth - 78, buttonY = kPanelTop + 32;
    int compared = 0;
    for (std::int32_t j = 0; j < playskin::kButtonHeight; ++j) {
        for (std::int32_t i = 0; i < playskin::ButtonWidth(2); ++i) {
            const std::uint32_t skin =
                panel.at(playskin::ButtonX(2) + i, playskin::kButtonNormalY + playskin::kButtonLitStep + j);
            // 1x shows the skin itself, 2x each of its pixels four times.
            ASSERT_EQ(once->at(buttonX + i, buttonY + j), skin) << i << "," << j;
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(twice->at(2 * (buttonX + i) + d % 2, 2 * (buttonY + j) + d / 2), skin)
                    << i << "," << j;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 35 * 32);
    EXPECT_EQ(twice->at(2 * kWidth - 1, 2 * kHeight - 1), panel.at(156, 47));

    // The text: the same ink position at twice the size, but not the 1x text stretched.
    const RECT ink1 = InkBox(*once, platform::DeviceScale{});
    const RECT ink2 = InkBox(*twice, platform::DeviceScale::FromQuarters(8));
    ASSERT_GT(ink1.right, ink1.left) << "no text at 1x";
    EXPECT_NEAR(ink2.left, 2 * ink1.left, 2);
    EXPECT_NEAR(ink2.top, 2 * ink1.top, 2);
    EXPECT_NEAR(ink2.right, 2 * ink1.right, 2);
    EXPECT_NEAR(ink2.bottom, 2 * ink1.bottom, 2);
    int differing = 0, mixedBlocks = 0;
    for (std::int32_t y = 2 * kTextArea.top; y < 2 * kTextArea.bottom; ++y)
        for (std::int32_t x = 2 * kTextArea.left; x < 2 * kTextArea.right; ++x)
            differing += twice->at(x, y) != once->at(x / 2, y / 2);
    for (std::int32_t y = 2 * kTextArea.top; y < 2 * kTextArea.bottom; y += 2)
        for (std::int32_t x = 2 * kTextArea.left; x < 2 * kTextArea.right; x += 2) {
            const std::uint32_t a = twice->at(x, y);
            mixedBlocks +=
                a != twice->at(x + 1, y) || a != twice->at(x, y + 1) || a != twice->at(x + 1, y + 1);
        }
    EXPECT_GT(differing, 200) << "the 2x text is the 1x text stretched";
    EXPECT_GT(mixedBlocks, 50) << "the 2x text has no edges finer than a logical pixel";
}

TEST(ScaledDesktop, AtOneAndAHalfTheWindowAndItsSkinsScaleSmoothly) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows windows stay at scale 1";
#endif
    ScaledWindow window("1.5", u"Vantri scaled 1.5");
    if (!window.system)
        GTEST_SKIP() << "no display";
    EXPECT_EQ(window.owner.window->scale().quarters(), 6);
    const std::optional<Screenshot> shot = window.Shown();
    ASSERT_TRUE(shot) << "the window never reached the screen at 1.5x";
    EXPECT_EQ(shot->width, kWidth * 3 / 2);
    EXPECT_EQ(shot->height, kHeight * 3 / 2);
    const platform::DeviceScale scale = platform::DeviceScale::FromQuarters(6);
    const RECT ink = InkBox(*shot, scale);
    EXPECT_GT(ink.right - ink.left, 100) << "no text at 1.5x";
    // The lit play button, where smoothing keeps the skin's colours near what they are.
    const SkinImage panel(104);
    int matching = 0, total = 0;
    const std::int32_t buttonX = kWidth - 78, buttonY = kPanelTop + 32;
    for (std::int32_t j = 4; j < 28; ++j)
        for (std::int32_t i = 4; i < 31; ++i) {
            const std::uint32_t skin =
                panel.at(playskin::ButtonX(2) + i, playskin::kButtonNormalY + playskin::kButtonLitStep + j);
            const std::uint32_t shown = shot->at(scale.ToDevice(buttonX + i), scale.ToDevice(buttonY + j));
            // Smoothing mixes neighbours: a channel may move a little, never to another colour.
            bool near = true;
            for (int shift = 0; shift < 24; shift += 8)
                near = near && std::abs(static_cast<int>((skin >> shift) & 0xFF) -
                                        static_cast<int>((shown >> shift) & 0xFF)) <= 64;
            matching += near;
            ++total;
        }
    EXPECT_GE(matching * 10, total * 9) << matching << " of " << total;
}

TEST(ScaledDesktop, AClickAtDevicePixelsReachesTheControlUnderThem) {
    if (!Xdotool({"version"}))
        GTEST_SKIP() << "no xdotool";
    ScaledWindow window("2", u"Vantri scaled clicks");
    if (!window.system)
        GTEST_SKIP() << "no display";
    ASSERT_TRUE(window.Shown());
    // Device pixel 2 * left - 1 lies in the logical pixel left of the target, 2 * left in the target. A
    // click there first, then one inside: only the second reaches the target.
    auto click = [&](std::int32_t x, std::int32_t y) {
        return Xdotool({"search", "--name", "^Vantri scaled clicks$", "mousemove", "--window", "%1",
                        std::to_string(x), std::to_string(y), "click", "1"});
    };
    bool reached = false;
    for (int attempt = 0; attempt < 5 && !reached; ++attempt) {
        window.recorder.log.clear();
        window.owner.window->BringToFront();
        window.Pump();
        ASSERT_TRUE(click(2 * kTarget.left - 1, 2 * kTarget.top + 1));
        ASSERT_TRUE(click(2 * kTarget.left, 2 * kTarget.top + 1));
        reached = testsupport::WaitFor(
            [&] {
                window.Pump();
                return window.recorder.log.size() >= 3;
            },
            std::chrono::seconds(3));
    }
    ASSERT_TRUE(reached) << "no click reached the target";
    window.Pump();
    EXPECT_EQ(window.recorder.log, (std::vector<std::string>{"down 7 at 200,20", "released 7", "click 7"}));
}

} // namespace
