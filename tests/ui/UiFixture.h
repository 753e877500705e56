#pragma once
// A headless owner window with a plain root, and controls and rows that record what reaches them.

#include "platform/HeadlessWindowSystem.h"
#include "platform/WindowMessages.h"
#include "ui/MyListBoxV2.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace uitest {

// Records every callback as a line such as "click 3" or "down 3 at 10,20".
class Recorder : public MyCallbackTarget {
public:
    void Down(POINT p, std::int32_t id) { log.push_back("down " + std::to_string(id) + " at " + Point(p)); }
    void Released(std::int32_t id) { log.push_back("released " + std::to_string(id)); }
    void Click(std::int32_t id) { log.push_back("click " + std::to_string(id)); }
    void RDown(POINT p, std::int32_t id) { log.push_back("rdown " + std::to_string(id) + " at " + Point(p)); }
    void RReleased(std::int32_t id) { log.push_back("rreleased " + std::to_string(id)); }
    void RClick(std::int32_t id) { log.push_back("rclick " + std::to_string(id)); }
    void Drag(POINT p, std::int32_t id) { log.push_back("drag " + std::to_string(id) + " at " + Point(p)); }
    void Hover(POINT p, std::int32_t id) { log.push_back("hover " + std::to_string(id) + " at " + Point(p)); }
    void Wheel(POINT p, std::uint32_t delta, std::int32_t id) {
        log.push_back("wheel " + std::to_string(id) + " " + std::to_string(delta) + " at " + Point(p));
    }
    static std::string Point(POINT p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

    void Wire(MyControlBase& c, std::int32_t id) {
        c.callbackTarget = this;
        c.controlId = id;
        c.LButtonDownCallback = &Recorder::Down;
        c.LButtonReleasedCallback = &Recorder::Released;
        c.LClickCallback = &Recorder::Click;
        c.RButtonDownCallback = &Recorder::RDown;
        c.RButtonReleasedCallback = &Recorder::RReleased;
        c.RClickCallback = &Recorder::RClick;
        c.DragCallback = &Recorder::Drag;
        c.HoverCallback = &Recorder::Hover;
        c.WheelCallback = &Recorder::Wheel;
    }

    std::vector<std::string> log;
};

// A control that fills its rectangle with one colour and counts its paints and layouts.
class SolidControl : public MyControlBase {
public:
    explicit SolidControl(COLORREF colour = 0x0000FF) : colour(colour) {}
    void Paint() override {
        ++paints;
        if (backBuffer)
            FillRect(*backBuffer, bounds, CreateSolidBrush(colour));
    }
    void OnBoundsChanged(const RECT&) override { ++layouts; }
    COLORREF colour;
    int paints = 0;
    int layouts = 0;
};

// A row of a fixed height (or `perWidth` pixels per 100 pixels of width) that paints a solid colour.
class TestRow : public MyListBoxV2ItemBase {
public:
    explicit TestRow(std::uint16_t rowHeight, COLORREF colour = 0x00FF00, int perWidth = 0)
        : rowHeight(rowHeight), colour(colour), perWidth(perWidth) {}
    std::uint16_t MeasureHeight(std::int32_t listWidth) override {
        height = perWidth ? static_cast<std::uint16_t>(rowHeight + perWidth * 100 / std::max(listWidth, 1))
                          : rowHeight;
        return height;
    }
    void Paint() override {
        ++paints;
        if (surface)
            FillRect(surface->dc, bounds, CreateSolidBrush(selected ? 0x000000 : colour));
    }
    std::uint16_t rowHeight;
    COLORREF colour;
    int perWidth;
    int paints = 0;
};

class TestOwner : public MyOwnerWindowBase {
public:
    void OnSize(std::uintptr_t sizeType) override {
        ++sizes;
        MyOwnerWindowBase::OnSize(sizeType);
    }
    void HandleCallbackMessage(std::unique_ptr<MyOwnerWindowMessageBase> message) override {
        received.push_back(message ? message->type : -1);
    }
    int sizes = 0;
    std::vector<std::int32_t> received;
};

// An owner window of `width` x `height` at screen (100, 50) with a white MyWindowBase root.
class UiFixture : public ::testing::Test {
protected:
    void Open(std::int32_t width = 400, std::int32_t height = 300) {
        ASSERT_TRUE(owner.Create(&system, u"VantriTest", u"Test", nullptr, 100, 50, width, height));
        native = static_cast<platform::HeadlessWindow*>(owner.window.get());
        auto base = std::make_unique<MyWindowBase>();
        base->backgroundColour = 0xFFFFFF;
        root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    }
    // Dispatches every message that is ready, paints included.
    void Pump() {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
    }
    // A key pressed and let go, with Shift held or not.
    void PressKey(int key, bool shift = false) {
        system.SetKeyDown(platform::VK_SHIFT, shift);
        native->InjectKey(key, true);
        native->InjectKey(key, false);
        Pump();
        system.SetKeyDown(platform::VK_SHIFT, false);
    }
    template <typename T> T* Attach(std::unique_ptr<T> child, MyControlBase* parent = nullptr) {
        return (parent ? parent : root)->AddChild(std::move(child));
    }
    std::uint32_t BackPixel(std::int32_t x, std::int32_t y) {
        return owner.backBuffer.bitmap->row(y)[x] & 0xFFFFFF;
    }

    platform::HeadlessWindowSystem system;
    TestOwner owner;
    platform::HeadlessWindow* native = nullptr;
    MyWindowBase* root = nullptr;
    Recorder recorder;
};

} // namespace uitest
