#include "UiFixture.h"

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "support/Deadline.h"
#include "ui/MyPressable.h"
#include "ui/MyTabButton.h"

#include <thread>

using namespace uitest;
using platform::WM_PAINT;

namespace {

class ControlTree : public UiFixture {
protected:
    void SetUp() override {
        Open();
        auto a = std::make_unique<SolidControl>(0x0000FF);
        a->Create(&owner.context, 10, 10, 100, 100);
        recorder.Wire(*a, 1);
        first = Attach(std::move(a));
        auto b = std::make_unique<SolidControl>(0x00FF00);
        b->Create(&owner.context, 200, 10, 100, 100);
        recorder.Wire(*b, 2);
        second = Attach(std::move(b));
        root->Redraw();
        Pump();
    }
    SolidControl* first = nullptr;
    SolidControl* second = nullptr;
};

TEST_F(ControlTree, ClickIsPressAndReleaseInside) {
    native->InjectButton(0, true, 20, 20);
    native->InjectButton(0, false, 30, 30);
    Pump();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 20,20", "released 1", "click 1"}));
    EXPECT_FALSE(native->hasCapture());
}

TEST_F(ControlTree, ReleaseOutsideThePressedControlGivesNoClick) {
    native->InjectButton(0, true, 20, 20);
    native->InjectMouseMove(250, 20); // over the other control, still dragging the first
    native->InjectButton(0, false, 250, 20);
    Pump();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 20,20", "drag 1 at 250,20", "released 1"}));
}

TEST_F(ControlTree, ReleaseLeftOfTheWindowArrivesFarOutside) {
    native->InjectButton(0, true, 20, 20);
    Pump();
    ASSERT_TRUE(native->hasCapture());
    // Captured, a release left of the client area still reaches the window, with the x half unsigned.
    native->InjectButton(0, false, -5, 20);
    Pump();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 20,20", "released 1"}));
    // Without capture a press outside the window never arrives.
    native->InjectButton(0, true, -5, 20);
    Pump();
    EXPECT_EQ(recorder.log.size(), 2u);
}

TEST_F(ControlTree, DisabledControlsSwallowPresses) {
    first->enabled = false;
    native->InjectButton(0, true, 20, 20);
    native->InjectButton(0, false, 20, 20);
    Pump();
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_FALSE(native->hasCapture());

    // An enabled child inside a disabled parent gets nothing either, and neither does the parent's parent.
    first->enabled = true;
    auto inner = std::make_unique<SolidControl>();
    inner->Create(&owner.context, 10, 10, 20, 20);
    recorder.Wire(*inner, 3);
    Recorder rootRecorder;
    rootRecorder.Wire(*root, 9);
    first->AddChild(std::move(inner));
    first->enabled = false;
    native->InjectButton(0, true, 25, 25);
    native->InjectButton(0, false, 25, 25);
    Pump();
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_TRUE(rootRecorder.log.empty());
}

TEST_F(ControlTree, RightPressWhileLeftHeldKeepsCaptureUntilBothAreUp) {
    native->InjectButton(0, true, 20, 20);
    native->InjectButton(1, true, 250, 20);
    Pump();
    EXPECT_TRUE(native->hasCapture());
    native->InjectButton(0, false, 250, 20);
    Pump();
    EXPECT_TRUE(native->hasCapture()) << "the right button still holds a control";
    native->InjectButton(1, false, 20, 20);
    Pump();
    EXPECT_FALSE(native->hasCapture());
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 20,20", "rdown 2 at 250,20", "released 1",
                                                      "rreleased 2"}));
}

TEST_F(ControlTree, DestroyingACapturedControlClearsTheCapture) {
    native->InjectButton(0, true, 20, 20);
    Pump();
    EXPECT_EQ(owner.context.leftCapture, first);
    root->children.erase(root->children.begin());
    EXPECT_EQ(owner.context.leftCapture, nullptr);
    native->InjectButton(0, false, 20, 20);
    Pump(); // the release is dropped; nothing touches the deleted control
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 20,20"}));
}

TEST_F(ControlTree, HoverReachesOnlyTheRoot) {
    Recorder rootRecorder;
    rootRecorder.Wire(*root, 9);
    native->InjectMouseMove(20, 20);
    Pump();
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ(rootRecorder.log, (std::vector<std::string>{"hover 9 at 20,20"}));
    EXPECT_EQ(first->lastPoint, (POINT{0, 0}));
}

TEST_F(ControlTree, WheelDeltaArrivesAsUnsigned16Bits) {
    native->InjectWheel(30, 40, 120);
    native->InjectWheel(30, 40, -120);
    Pump();
    // The wheel message carries screen coordinates; the window converts them back to (30, 40).
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"wheel 1 120 at 30,40", "wheel 1 65416 at 30,40"}));
}

TEST_F(ControlTree, LaterChildLiesOnTop) {
    auto overlap = std::make_unique<SolidControl>(0xFF0000);
    overlap->Create(&owner.context, 50, 50, 100, 100);
    recorder.Wire(*overlap, 3);
    Attach(std::move(overlap))->Redraw();
    native->InjectButton(0, true, 60, 60);
    native->InjectButton(0, false, 60, 60);
    Pump();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 3 at 60,60", "released 3", "click 3"}));
    EXPECT_EQ(BackPixel(60, 60), 0x0000FFu); // painted last: 0xFF0000 as a COLORREF is blue
}

TEST_F(ControlTree, AddChildMakesCoordinatesAbsolute) {
    auto panel = std::make_unique<SolidControl>();
    panel->Create(&owner.context, 0, 0, 50, 50);
    auto child = std::make_unique<SolidControl>();
    child->Create(&owner.context, 5, 6, 10, 10);
    auto grandchild = std::make_unique<SolidControl>();
    grandchild->Create(&owner.context, 1, 1, 2, 2);
    SolidControl* g = child->AddChild(std::move(grandchild));
    SolidControl* c = panel->AddChild(std::move(child));
    SolidControl* p = second->AddChild(std::move(panel)); // second lies at (200, 10)
    EXPECT_EQ(p->bounds, (RECT{200, 10, 250, 60}));
    EXPECT_EQ(c->bounds, (RECT{205, 16, 215, 26}));
    EXPECT_EQ(g->bounds, (RECT{206, 17, 208, 19}));
    EXPECT_EQ(g->x, 206);
    p->Offset(0, 0, true);
    EXPECT_EQ(g->bounds, (RECT{6, 7, 8, 9}));
    EXPECT_EQ(c->parent, p);
}

TEST_F(ControlTree, SetBoundsWithTheSameRectangleDoesNothing) {
    const int paints = first->paints;
    first->SetBounds(first->bounds);
    EXPECT_EQ(first->layouts, 0);
    EXPECT_EQ(first->paints, paints);
    first->SetBounds(RECT{10, 10, 60, 60});
    EXPECT_EQ(first->layouts, 1);
    EXPECT_EQ(first->paints, paints + 1);
    first->SetBounds(RECT{30, 30, 20, 40}); // empty: stored as all zero
    EXPECT_EQ(first->bounds, (RECT{0, 0, 0, 0}));
}

TEST_F(ControlTree, HiddenAncestorStopsRedraw) {
    auto inner = std::make_unique<SolidControl>();
    inner->Create(&owner.context, 0, 0, 10, 10);
    SolidControl* child = first->AddChild(std::move(inner));
    first->visible = false;
    const int paints = child->paints;
    child->Redraw();
    EXPECT_EQ(child->paints, paints);
    // The root paints regardless of visibility.
    root->visible = false;
    root->Redraw();
    EXPECT_EQ(BackPixel(150, 150), 0xFFFFFFu);
}

TEST_F(ControlTree, RepeatedSizeAndMinimiseDoNothing) {
    native->InjectResize(400, 300); // the current size
    native->Minimize();
    native->InjectRestore();
    Pump();
    EXPECT_EQ(owner.sizes, 0);
    EXPECT_EQ(owner.clientWidth, 400);
    native->InjectResize(500, 320);
    Pump();
    EXPECT_EQ(owner.sizes, 1);
    EXPECT_EQ(owner.backBuffer.width, 500);
    EXPECT_EQ(root->bounds, (RECT{0, 0, 500, 320}));
}

TEST_F(ControlTree, PaintCopiesOnlyTheInvalidPart) {
    const std::size_t before = native->presented().size();
    first->Redraw();
    Pump();
    ASSERT_EQ(native->presented().size(), before + 1);
    EXPECT_EQ(native->presented().back(), (RECT{10, 10, 110, 110}));
    EXPECT_EQ(native->ScreenPixel(50, 50) & 0xFFFFFF, 0xFF0000u);
    // A change in the back buffer that nobody invalidated does not reach the screen.
    FillRect(*owner.context.backBuffer, RECT{150, 150, 160, 160}, CreateSolidBrush(0x000000));
    first->Redraw();
    Pump();
    EXPECT_EQ(native->ScreenPixel(155, 155), 0xFFFFFFu);
}

TEST_F(ControlTree, TabButtonClicksOnReleaseInsideAndShowsItsState) {
    MySurface skin;
    ASSERT_TRUE(skin.LoadSkin(nullptr, 106, nullptr));
    auto tab = std::make_unique<MyTabButton>(&skin);
    tab->Create(&owner.context, 120, 150, 70, 38);
    recorder.Wire(*tab, 7);
    MyTabButton* t = Attach(std::move(tab));
    t->SetText(u"Stations");
    EXPECT_TRUE(t->centred);
    const std::uint32_t normal = BackPixel(155, 152);
    native->InjectButton(0, true, 130, 160);
    Pump();
    EXPECT_TRUE(t->pressed);
    EXPECT_NE(BackPixel(155, 152), normal) << "the pressed picture differs";
    native->InjectButton(0, false, 140, 170);
    Pump();
    EXPECT_FALSE(t->pressed);
    EXPECT_EQ(recorder.log.back(), "click 7");
}

TEST_F(ControlTree, WorkerCallbacksArriveThroughTheWindowAndLateOnesAreFreed) {
    MyAppContext app;
    MyCallbacks callbacks(&app);
    app.mainWindowHandle = owner.window.get();
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            callbacks.PlayPos(i / 50.0f);
        callbacks.PlayEvent(1);
    });
    worker.join();
    platform::Message m;
    ASSERT_TRUE(testsupport::WaitFor([&] {
        while (system.PeekMessage(m))
            system.DispatchMessage(m);
        return owner.received.size() == 51;
    }));
    EXPECT_EQ(owner.received.front(), MyCallbacks::MessageType_PlayPos);
    EXPECT_EQ(owner.received.back(), MyCallbacks::MessageType_PlayEvent);
    // Messages still queued when the window closes are freed (the leak checker watches), and later
    // posts are refused and freed by the sender.
    callbacks.PlayEvent(2);
    owner.window->Destroy();
    callbacks.PlayEvent(0);
    EXPECT_EQ(owner.received.size(), 51u);
    app.mainWindowHandle = nullptr;
}

TEST_F(ControlTree, HandlersAddedByADerivedWindowRunAndCanDecline) {
    struct Derived : TestOwner {
        std::intptr_t OnClose(std::uintptr_t, std::intptr_t, bool& handled) {
            ++closes;
            handled = declines == 0;
            return 0;
        }
        int closes = 0;
        int declines = 0;
    };
    Derived d;
    ASSERT_TRUE(d.Create(&system, u"VantriTest", u"Two", nullptr, 0, 0, 50, 50));
    d.handlers[platform::WM_CLOSE] = &Derived::OnClose;
    d.window->Send(platform::WM_CLOSE, 0, 0);
    EXPECT_FALSE(d.window->destroyed());
    d.declines = 1;
    d.window->Send(platform::WM_CLOSE, 0, 0); // declined: the default processing closes the window
    EXPECT_TRUE(d.window->destroyed());
    EXPECT_EQ(d.closes, 2);
}

} // namespace

namespace {

// The one pressed-button behaviour: shown pressed while the button is down, the click only after a press
// that began on the control, and the right button too only where the control asks for it.
TEST(MyPressable, ShowsThePressAndClicksOnlyAfterItsOwnPress) {
    uitest::Recorder recorder;
    MyPressable<SolidControl> button;
    button.bounds = RECT{0, 0, 10, 10};
    recorder.Wire(button, 7);
    button.OnLButtonUp(POINT{5, 5}); // a release without a press here
    EXPECT_TRUE(recorder.log.empty());
    button.OnLButtonDown(POINT{5, 5});
    EXPECT_TRUE(button.pressed);
    button.OnLButtonUp(POINT{5, 5});
    EXPECT_FALSE(button.pressed);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"released 7", "click 7"}));

    // Left-only: the right button goes to the control as before and shows no press.
    recorder.log.clear();
    button.OnRButtonDown(POINT{2, 2});
    EXPECT_FALSE(button.pressed);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"rdown 7 at 2,2"}));

    MyPressable<SolidControl, PressButtons::LeftAndRight> row;
    row.bounds = RECT{0, 0, 10, 10};
    recorder.Wire(row, 8);
    recorder.log.clear();
    row.OnRButtonUp(POINT{1, 1});
    EXPECT_TRUE(recorder.log.empty());
    row.OnRButtonDown(POINT{1, 1});
    EXPECT_TRUE(row.pressed);
    row.OnRButtonUp(POINT{1, 1});
    EXPECT_FALSE(row.pressed);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"rreleased 8", "rclick 8"}));
}

} // namespace
