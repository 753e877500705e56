#pragma once
// What every window backend shares: the posted-message queue and its closing, the procedure and
// default processing, the invalid area and painting, the capture flag, and the message loop that
// orders WM_QUIT, posted messages, input and WM_PAINT. A backend adds the native window and turns its
// native events into input messages (QueueInput).

#include "platform/Window.h"

#include "platform/UiThreadMessageBoxes.h"

#include <atomic>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

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

    std::u16string CompositionText(std::int32_t* caret) const override {
        if (caret)
            *caret = compositionCaret_;
        return composition_;
    }

protected:
    // Closes the native window; called once by Destroy after WM_DESTROY.
    virtual void CloseNative() = 0;
    // Queues an input message for this window, behind earlier input.
    void QueueInput(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // An input method's composition: queues WM_IME_STARTCOMPOSITION when one begins and
    // WM_IME_COMPOSITION with the new text; EndComposition queues WM_IME_ENDCOMPOSITION if one was open.
    void UpdateComposition(std::u16string text, std::int32_t caret);
    void EndComposition();
    bool composing() const { return composing_; }
    // Queues typed text as WM_CHAR messages, one a UTF-16 unit.
    void QueueText(std::u16string_view text);
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
    bool composing_ = false;
    std::u16string composition_;
    std::int32_t compositionCaret_ = 0;
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

    // Hands out the posted messages and paints ready now, without looking at native events and leaving
    // input queued: for a loop of the system's own (a native menu) that runs while the program's loop
    // cannot. Stops at a quit, which stays for the program's loop.
    void DispatchPostedAndPaint();

    // A box is shown on a helper thread of its own while this thread goes on with its messages.
    MessageBoxResult ShowModalMessageBox(const std::u16string& text, const std::u16string& caption,
                                         MessageBoxButtons buttons) override;
    bool InstallMessageBoxSink() override;
    // Opens a box and returns at once; its answer is dropped (worker threads' reports).
    void OpenMessageBox(const std::u16string& text, const std::u16string& caption, MessageBoxButtons buttons);
    // Boxes open now.
    std::size_t openMessageBoxes() const;

    void Register(WindowCore* window);
    void Unregister(WindowCore* window);
    void QueueInput(const Message& message) { input_.push_back(message); }
    void DropInputFor(const Window* window);

protected:
    // Turns pending native events into input messages; with `wait`, first waits until a native event or
    // a Wake arrives.
    virtual void PumpNative(bool wait) = 0;
    // Work the loop does before handing out messages; the base opens boxes queued by other threads.
    virtual void DoPendingWork();
    const IconImage* ClassIcon(const std::u16string& className) const;
    // The modifiers of the last keyboard message taken from the queue, or -1 before any.
    std::int32_t retrievedModifiers() const { return retrievedModifiers_; }

    // Prepares a box on the user-interface thread (the owner is read here) and answers the call that
    // shows it and waits for the user, which then runs on a helper thread. The owner may be null.
    using BoxRunner = std::function<MessageBoxResult()>;
    virtual BoxRunner PrepareMessageBox(const std::u16string& text, const std::u16string& caption,
                                        MessageBoxButtons buttons, Window* owner) = 0;
    // Removes the installed sink; a backend's destructor calls it before it closes its display.
    void UninstallMessageBoxSink();

private:
    struct BoxState {
        std::mutex lock;
        bool done = false;
        bool orphaned = false; // the system is gone: nobody is to be woken
        MessageBoxResult result = MessageBoxResult::Ok;
    };
    struct OpenBox {
        std::shared_ptr<BoxState> state;
        std::thread thread;
        // Set for boxes opened for the message-box sink, which hears when they close.
        bool reportClosed = false;
        std::u16string text;
        std::u16string caption;
    };

    bool TakeReady(Message& out);
    std::shared_ptr<BoxState> StartBox(const std::u16string& text, const std::u16string& caption,
                                       MessageBoxButtons buttons);
    void CollectFinishedBoxes();
    static bool IsUserInput(std::uint32_t message);

    std::list<OpenBox> boxes_;
    std::unique_ptr<UiThreadMessageBoxes> sink_;
    MessageBoxSink* previousSink_ = nullptr;

    std::set<std::u16string> classes_;
    std::vector<std::pair<std::u16string, IconImage>> classIcons_;
    std::vector<WindowCore*> windows_;
    std::deque<Message> input_;
    std::int32_t retrievedModifiers_ = -1;
    bool quit_ = false;
    int exitCode_ = 0;
};

} // namespace platform
