#pragma once
// What every window backend shares: the posted-message queue and its closing, the procedure and
// default processing, the invalid area and painting, the capture flag, and the message loop that
// orders WM_QUIT, posted messages, input and WM_PAINT. A backend adds the native window and turns its
// native events into input messages (QueueInput).

#include "platform/Window.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <set>

namespace platform {

class WindowSystemCore;

class WindowCore : public Window {
public:
    explicit WindowCore(WindowSystemCore& system);
    ~WindowCore() override;

    bool Post(const WindowMessage& message) override;
    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void SetProcedure(WindowProcedure* procedure) override { procedure_ = procedure; }
    std::intptr_t DefWindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void Destroy() override;
    bool destroyed() const override { return destroyed_; }

    void SetCapture() override { capture_ = true; }
    void ReleaseCapture() override { capture_ = false; }
    bool hasCapture() const override { return capture_; }

    void Invalidate(const Rect& rect) override;
    Rect BeginPaint() override;
    void EndPaint() override {}
    bool invalid() const { return !invalid_.empty(); }
    Rect invalidRect() const { return invalid_; }

    // Takes the oldest posted message without waiting.
    bool TakePosted(WindowMessage& out) { return queue_.Take(out, 0); }

protected:
    // Closes the native window; called once by Destroy after WM_DESTROY.
    virtual void CloseNative() = 0;
    // Queues an input message for this window, behind earlier input.
    void QueueInput(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // The client area, for clipping the invalid area.
    Rect ClientRect() const {
        const Point size = ClientSize();
        return {0, 0, size.x, size.y};
    }

    WindowSystemCore& system_;

private:
    static void WakeSystem(void* system);

    std::mutex postLock_; // orders Post against Destroy
    MessageQueue queue_;
    bool closed_ = false;
    std::atomic<bool> destroyed_{false};
    WindowProcedure* procedure_ = nullptr;
    bool capture_ = false;
    Rect invalid_;
};

class WindowSystemCore : public WindowSystem {
public:
    WindowSystemCore() = default;
    ~WindowSystemCore() override;

    bool IsClassRegistered(const std::u16string& className) const override;
    bool RegisterWindowClass(const std::u16string& className, const IconImage* icon) override;

    bool GetMessage(Message& out) override;
    bool PeekMessage(Message& out) override;
    bool PeekPaintMessage(Message& out) override;
    void PostQuitMessage(int exitCode) override;
    int exitCode() const override { return exitCode_; }

    // Any thread: makes a waiting GetMessage look again.
    virtual void Wake() = 0;

    void Register(WindowCore* window);
    void Unregister(WindowCore* window);
    void QueueInput(const Message& message) { input_.push_back(message); }
    void DropInputFor(const Window* window);

protected:
    // Turns pending native events into input messages; with `wait`, first waits until a native event or
    // a Wake arrives.
    virtual void PumpNative(bool wait) = 0;
    // Work the loop does before handing out messages (showing queued message boxes).
    virtual void DoPendingWork() {}
    const IconImage* ClassIcon(const std::u16string& className) const;

private:
    bool TakeReady(Message& out);

    std::set<std::u16string> classes_;
    std::vector<std::pair<std::u16string, IconImage>> classIcons_;
    std::vector<WindowCore*> windows_;
    std::deque<Message> input_;
    bool quit_ = false;
    int exitCode_ = 0;
};

} // namespace platform
