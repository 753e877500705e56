#pragma once
// A window system without a display, for tests. Its windows keep a screen of their own that Present
// writes into and record every presented rectangle; input is injected in client coordinates and becomes
// the same window messages the desktop backend produces, with the same capture rules: a button or
// move outside the client area reaches the window only while it holds the capture. The clipboard,
// cursor, keys and opened links are in memory.

#include "platform/WindowCore.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class HeadlessWindowSystem;

class HeadlessWindow : public WindowCore {
public:
    HeadlessWindow(HeadlessWindowSystem& system, const WindowParams& params);
    ~HeadlessWindow() override;

    Point ClientSize() const override { return {width_, height_}; }
    Rect WindowRect() const override { return {left_, top_, left_ + width_, top_ + height_}; }
    Point ScreenToClient(Point screen) const override { return {screen.x - left_, screen.y - top_}; }
    void SetTitle(const std::u16string& title) override { title_ = title; }
    std::u16string Title() const override { return title_; }
    void Show(bool show) override { visible_ = show; }
    bool visible() const override { return visible_; }
    void Minimize() override;
    bool maximized() const override { return maximized_; }
    void BringToFront() override {
        if (visible_)
            ++raised_;
    }
    void SetMinimumSize(std::int32_t width, std::int32_t height) override;
    void Present(const PixelView& source, const Rect& rect) override;
    bool ReadScreen(std::vector<std::uint32_t>& pixels, std::int32_t& width, std::int32_t& height) override;

    // Injected input. `button` 0 is the left button, 1 the right one.
    void InjectButton(int button, bool down, std::int32_t x, std::int32_t y);
    void InjectMouseMove(std::int32_t x, std::int32_t y);
    // `delta` in wheel units (120 per notch, positive away from the user), at a client point.
    void InjectWheel(std::int32_t x, std::int32_t y, std::int32_t delta);
    void InjectKey(int virtualKey, bool down);
    // Typed text: one WM_CHAR a UTF-16 unit.
    void InjectText(std::u16string_view text) { QueueText(text); }
    // An input method composing `text` with its caret at `caret` (UTF-16 units), and ending it.
    void InjectComposition(std::u16string text, std::int32_t caret) {
        UpdateComposition(std::move(text), caret);
    }
    void InjectCompositionEnd() { EndComposition(); }
    // The area the text input last named for the input method.
    void SetTextInputArea(const Rect& area) override { textInputArea_ = area; }
    Rect textInputArea() const { return textInputArea_; }
    // The user resizes the client area: WM_SIZING with the proposed rectangle, then WM_SIZE with the
    // size the handler left (held at the minimum size).
    void InjectResize(std::int32_t width, std::int32_t height);
    void InjectRestore();
    // The window manager maximises the window to `width` by `height`.
    void InjectMaximize(std::int32_t width, std::int32_t height);
    void InjectMoveTo(std::int32_t left, std::int32_t top);
    void InjectClose();
    // The user turned to another window: WM_KILLFOCUS.
    void InjectFocusLost();

    const std::vector<Rect>& presented() const { return presented_; }
    // How many presents there were; unlike presented(), may be read from any thread.
    std::size_t presentedCount() const { return presentedCount_; }
    const std::u16string& title() const { return title_; }
    int raised() const { return raised_; }
    bool minimized() const { return minimized_; }
    bool popup() const { return popup_; }
    std::uint32_t ScreenPixel(std::int32_t x, std::int32_t y) const;

protected:
    void CloseNative() override { visible_ = false; }

private:
    bool Reaches(std::int32_t x, std::int32_t y) const;
    std::uintptr_t KeyFlags() const;

    std::int32_t left_;
    std::int32_t top_;
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t minWidth_ = 0;
    std::int32_t minHeight_ = 0;
    std::u16string title_;
    bool visible_ = true;
    bool popup_ = false;
    bool minimized_ = false;
    bool maximized_ = false;
    int raised_ = 0;
    bool leftHeld_ = false;
    bool rightHeld_ = false;
    Rect textInputArea_;
    std::vector<std::uint32_t> screen_;
    std::vector<Rect> presented_;
    std::atomic<std::size_t> presentedCount_{0};
};

class HeadlessWindowSystem : public WindowSystemCore {
public:
    HeadlessWindowSystem() = default;
    ~HeadlessWindowSystem() override = default;

    std::unique_ptr<Window> CreateNativeWindow(const WindowParams& params) override;
    // The concrete window, for tests that inject input.
    std::unique_ptr<HeadlessWindow> CreateHeadlessWindow(const WindowParams& params);

    bool SetClipboardText(const std::u16string& text) override {
        clipboard_ = text;
        hasClipboard_ = true;
        return true;
    }
    bool GetClipboardText(std::u16string& text) override {
        text = clipboard_;
        return hasClipboard_;
    }
    Point CursorPosition() const override { return cursor_; }
    bool IsKeyDown(int virtualKey) const override;
    bool OpenWebLink(const std::u16string& address) override {
        openedLinks.push_back(address);
        return true;
    }
    void Wake() override;

    Rect WorkArea(Point) const override { return workArea_; }
    void SetWorkArea(const Rect& area) { workArea_ = area; }

    // The newest popup window that is still open, or null.
    HeadlessWindow* OpenPopup() const;
    void Track(HeadlessWindow* window, bool add);

    void SetCursorPosition(Point screen) { cursor_ = screen; }
    void SetKeyDown(int virtualKey, bool down);

    std::vector<std::u16string> openedLinks;

    // Message boxes. Unless boxes are held, each is answered at once: OK, or No for a Yes/No box (a test
    // never agrees to anything it did not ask for). Held boxes stay open until AnswerBox. Any thread.
    void HoldBoxes(bool hold);
    // Answers the oldest open held box; false when none is open.
    bool AnswerBox(MessageBoxResult result);
    std::vector<std::u16string> shownBoxes() const;
    std::size_t heldBoxes() const;

protected:
    void PumpNative(bool wait) override;
    BoxRunner PrepareMessageBox(const std::u16string& text, const std::u16string& caption,
                                MessageBoxButtons buttons, Window* owner) override;

private:
    std::mutex wakeLock_;
    std::condition_variable woken_;
    bool wakePending_ = false;
    std::u16string clipboard_;
    bool hasClipboard_ = false;
    Point cursor_;
    std::vector<int> keysDown_;

    struct HeldBox {
        bool answered = false;
        MessageBoxResult result = MessageBoxResult::Ok;
    };
    mutable std::mutex boxLock_;
    std::condition_variable boxAnswered_;
    bool holdBoxes_ = false;
    std::vector<std::u16string> shownBoxes_;
    std::deque<std::shared_ptr<HeldBox>> held_;
    Rect workArea_{0, 0, 1280, 1024};
    std::vector<HeadlessWindow*> headlessWindows_;
};

} // namespace platform
