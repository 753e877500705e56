// The owner window: start rectangle, minimum size, saved rectangle, a second instance's command line,
// the handle the workers post to, and message boxes that leave the window working.
#include "ProgramFixture.h"

#include "app/MyCallbacks.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "program/Commands.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace programtest {
namespace {

using Lines = std::vector<std::string>;
using platform::WMSZ_BOTTOM;
using platform::WMSZ_BOTTOMLEFT;
using platform::WMSZ_LEFT;
using platform::WMSZ_RIGHT;
using platform::WMSZ_TOP;

class OwnerWindowTest : public ProgramFixture {};

TEST(StartRectangle, TooSmallSavedRectanglesGiveTheDefault) {
    MySettings settings(u"");
    settings.windowRect = {10, 20, 809, 620}; // 799 by 600
    EXPECT_EQ(MainWindowBase::StartRectangle(settings), (RECT{50, 50, 850, 650}));
    settings.windowRect = {10, 20, 810, 620}; // 800 by 600
    EXPECT_EQ(MainWindowBase::StartRectangle(settings), (RECT{10, 20, 810, 620}));
    settings.windowRect = {10, 20, 810, 619};
    EXPECT_EQ(MainWindowBase::StartRectangle(settings), (RECT{50, 50, 850, 650}));
    settings.windowRect = {-2147483647, 0, 2147483647, 1000}; // a width that does not fit 32 bits
    EXPECT_EQ(MainWindowBase::StartRectangle(settings).left, -2147483647);
}

TEST(MinimumSize, TheEdgeOppositeTheDraggedOneStays) {
    RECT rect{100, 100, 700, 600};
    MainWindowBase::ApplyMinimumSize(rect, WMSZ_LEFT);
    EXPECT_EQ(rect, (RECT{-50, 50, 700, 600})); // right edge kept; not a bottom edge, so the top moves
    rect = {100, 100, 700, 600};
    MainWindowBase::ApplyMinimumSize(rect, WMSZ_RIGHT);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.right, 850);
    rect = {100, 100, 900, 500};
    MainWindowBase::ApplyMinimumSize(rect, WMSZ_TOP);
    EXPECT_EQ(rect, (RECT{100, -50, 900, 500})); // bottom kept
    rect = {100, 100, 900, 500};
    MainWindowBase::ApplyMinimumSize(rect, WMSZ_BOTTOM);
    EXPECT_EQ(rect, (RECT{100, 100, 900, 650})); // top kept
    rect = {100, 100, 700, 500};
    MainWindowBase::ApplyMinimumSize(rect, WMSZ_BOTTOMLEFT);
    EXPECT_EQ(rect, (RECT{-50, 100, 700, 650}));
    rect = {0, 0, 800, 600};
    MainWindowBase::ApplyMinimumSize(rect, WMSZ_LEFT);
    EXPECT_EQ(rect, (RECT{0, 0, 800, 600}));
}

TEST_F(OwnerWindowTest, TheWindowStartsAtTheSavedRectangleWithThePlatformsMinimumSize) {
    settings = std::make_unique<MySettings>(folder.text());
    settings->windowRect = {30, 40, 930, 740};
    ASSERT_TRUE(settings->Save());
    Start();
    EXPECT_EQ(owner->window->WindowRect(), (platform::Rect{30, 40, 930, 740}));
    window().InjectResize(100, 100);
    Pump();
    EXPECT_EQ(owner->window->ClientSize(), (platform::Point{750, 550}));
}

TEST_F(OwnerWindowTest, MovesAndResizesAreSavedButAMaximisedWindowIsNot) {
    Start();
    window().InjectMoveTo(70, 80);
    Pump();
    EXPECT_EQ(Saved().windowRect, (MySettings::Rect{70, 80, 870, 680}));
    window().InjectResize(900, 700);
    Pump();
    EXPECT_EQ(Saved().windowRect, (MySettings::Rect{70, 80, 970, 780}));
    window().InjectMaximize(1280, 1000);
    Pump();
    EXPECT_EQ(Saved().windowRect, (MySettings::Rect{70, 80, 970, 780}));
    EXPECT_EQ(main().width, 1280); // the layout follows all the same
    EXPECT_EQ(main().playControlPanel->bounds.top, 1000 - 72);
}

TEST_F(OwnerWindowTest, ASecondInstancesCommandLine) {
    Start();
    MakeRecords();
    window().Show(false);
    owner->HandleInstanceMessage(""); // no command line: to the front, nothing else
    EXPECT_TRUE(window().visible());
    EXPECT_GE(window().raised(), 1);
    for (const char* ignored : {"debug", "Kill", "kill now", "vantri:nothing", "track-1-7-5"})
        owner->HandleInstanceMessage(ignored);
    owner->HandleInstanceMessage("VANTRI:track-1-8-10");
    EXPECT_EQ(media.WaitForLines(1), (Lines{"StartPlayStream 1 8 62"})); // "10" in base 62
    EXPECT_EQ(main().streamId, 8);
    EXPECT_FALSE(window().destroyed());
    owner->HandleInstanceMessage("kill");
    EXPECT_TRUE(window().destroyed());
}

TEST_F(OwnerWindowTest, CopyDataIsReadOnlyUpToItsByteCount) {
    Start();
    const char data[] = "vantri:track-1-7-5extra";
    MainWindowBase::CopyData copy{1, 18, data}; // the count stops before "extra"
    owner->window->Send(platform::WM_COPYDATA, 0, reinterpret_cast<std::intptr_t>(&copy));
    EXPECT_EQ(media.WaitForLines(1), (Lines{"StartPlayStream 1 7 5"}));
}

TEST_F(OwnerWindowTest, CallbacksReachTheWindowUntilItIsGoneAndAreReleasedAfter) {
    Start();
    MakeRecords();
    MyCallbacks callbacks(&context);
    callbacks.StationInfo(station.get());
    Pump();
    EXPECT_EQ(main().infoTabPanel->stationPage->stationsById.count(1), 1u);
    owner.reset();
    EXPECT_EQ(context.mainWindowHandle.load(), nullptr);
    callbacks.PlayEvent(0); // no window: released by the sender (the leak checker sees the rest)
}

TEST_F(OwnerWindowTest, AModalBoxLeavesTheWindowPaintingAndTheCallbacksFlowing) {
    Start();
    system.HoldBoxes(true);
    MyCallbacks callbacks(&context);
    main().Redraw();
    const std::size_t presentedBefore = window().presentedCount();
    // A worker's callback arrives while the box is open; the box is answered after it was handled and
    // the window has painted (a posted message is handled before a paint, so answering on the callback
    // alone could end the box before any paint).
    std::thread worker([&] {
        testsupport::WaitFor([&] { return system.heldBoxes() == 1; });
        callbacks.PlayEvent(0);
        testsupport::WaitFor([&] { return main().playState == 1; }); // read only: the answer waits for it
        testsupport::WaitFor([&] { return window().presentedCount() > presentedBefore; });
        system.AnswerBox(platform::MessageBoxResult::Yes);
    });
    const auto answer =
        system.ShowModalMessageBox(u"Question?", u"Caption", platform::MessageBoxButtons::YesNo);
    worker.join();
    EXPECT_EQ(answer, platform::MessageBoxResult::Yes);
    EXPECT_EQ(main().playState, 1);
    EXPECT_GT(window().presentedCount(), presentedBefore);
    EXPECT_EQ(system.shownBoxes(), (std::vector<std::u16string>{u"Question?"}));
}

} // namespace
} // namespace programtest
