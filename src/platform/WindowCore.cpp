#include "platform/WindowCore.h"

#include <algorithm>
#include <utility>

namespace platform {

std::intptr_t WindowSystem::DispatchMessage(const Message& message) {
    if (!message.window)
        return 0;
    return message.window->Send(message.message, message.wParam, message.lParam);
}

WindowCore::WindowCore(WindowSystemCore& system) : system_(system) {
    queue_.SetWakeUp(&WindowCore::WakeSystem, &system_);
    system_.Register(this);
}

WindowCore::~WindowCore() {
    // A backend closes its native window in its own destructor; here only the queue is settled.
    {
        std::lock_guard guard(postLock_);
        closed_ = true;
        queue_.SetWakeUp(nullptr, nullptr);
    }
    WindowMessage message;
    while (queue_.Take(message, 0)) {
        if (procedure_)
            procedure_->DiscardPostedMessage(message);
    }
    system_.Unregister(this);
}

void WindowCore::WakeSystem(void* system) {
    static_cast<WindowSystemCore*>(system)->Wake();
}

bool WindowCore::Post(const WindowMessage& message) {
    std::lock_guard guard(postLock_);
    if (closed_)
        return false;
    return queue_.Post(message);
}

std::intptr_t WindowCore::Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (procedure_)
        return procedure_->WindowProc(*this, message, wParam, lParam);
    return DefWindowProc(message, wParam, lParam);
}

std::intptr_t WindowCore::DefWindowProc(std::uint32_t message, std::uintptr_t, std::intptr_t) {
    switch (message) {
    case WM_CLOSE:
        Destroy();
        return 0;
    case WM_PAINT:
        BeginPaint();
        EndPaint();
        return 0;
    default:
        return 0;
    }
}

void WindowCore::Destroy() {
    if (destroyed_)
        return;
    {
        std::lock_guard guard(postLock_);
        closed_ = true;
        queue_.SetWakeUp(nullptr, nullptr);
    }
    destroyed_ = true;
    Send(WM_DESTROY, 0, 0);
    capture_ = false;
    invalid_ = {};
    CloseNative();
    WindowMessage message;
    while (queue_.Take(message, 0)) {
        if (procedure_)
            procedure_->DiscardPostedMessage(message);
    }
    system_.DropInputFor(this);
}

void WindowCore::Invalidate(const Rect& rect) {
    if (destroyed_)
        return;
    invalid_ = UnionRect(invalid_, IntersectRect(rect, ClientRect()));
}

Rect WindowCore::BeginPaint() {
    return std::exchange(invalid_, Rect{});
}

void WindowCore::QueueInput(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!destroyed_)
        system_.QueueInput({this, message, wParam, lParam});
}

void WindowCore::UpdateComposition(std::u16string text, std::int32_t caret) {
    if (!composing_) {
        composing_ = true;
        QueueInput(WM_IME_STARTCOMPOSITION, 0, 0);
    }
    composition_ = std::move(text);
    compositionCaret_ = std::clamp<std::int32_t>(caret, 0, static_cast<std::int32_t>(composition_.size()));
    QueueInput(WM_IME_COMPOSITION, 0, GCS_COMPSTR);
}

void WindowCore::EndComposition() {
    if (!composing_)
        return;
    composing_ = false;
    composition_.clear();
    compositionCaret_ = 0;
    QueueInput(WM_IME_ENDCOMPOSITION, 0, 0);
}

void WindowCore::QueueText(std::u16string_view text) {
    for (const char16_t unit : text)
        QueueInput(WM_CHAR, unit, 1);
}

WindowSystemCore::~WindowSystemCore() {
    UninstallMessageBoxSink();
    // A box still open when the program ends stays with its helper thread, which is told not to report.
    // Its thread is detached under the box's lock, which its last step takes, so it cannot end meanwhile
    // (see Thread.cpp); one that has ended is joined.
    for (OpenBox& box : boxes_) {
        std::unique_lock guard(box.state->lock);
        box.state->orphaned = true;
        if (!box.thread.joinable())
            continue;
        if (box.state->done) {
            guard.unlock();
            box.thread.join();
        } else {
            box.thread.detach();
        }
    }
}

void WindowSystemCore::UninstallMessageBoxSink() {
    if (!sink_)
        return;
    SetMessageBoxSink(previousSink_);
    sink_.reset();
}

bool WindowSystemCore::InstallMessageBoxSink() {
    if (sink_)
        return true;
    sink_ = std::make_unique<UiThreadMessageBoxes>(
        [this](const std::u16string& text, const std::u16string& caption, MessageBoxButtons buttons) {
            return ShowModalMessageBox(text, caption, buttons);
        },
        [this] { Wake(); },
        [this](const std::u16string& text, const std::u16string& caption, MessageBoxButtons buttons) {
            OpenMessageBox(text, caption, buttons);
            return MessageBoxResult::Ok;
        });
    previousSink_ = SetMessageBoxSink(sink_.get());
    return true;
}

void WindowSystemCore::DoPendingWork() {
    if (sink_ && sink_->pending() > 0)
        sink_->ShowPending();
    CollectFinishedBoxes();
}

std::shared_ptr<WindowSystemCore::BoxState> WindowSystemCore::StartBox(const std::u16string& text,
                                                                       const std::u16string& caption,
                                                                       MessageBoxButtons buttons) {
    Window* owner = nullptr;
    for (WindowCore* window : windows_) {
        if (!window->destroyed()) {
            owner = window;
            break;
        }
    }
    auto state = std::make_shared<BoxState>();
    BoxRunner run = PrepareMessageBox(text, caption, buttons, owner);
    OpenBox box;
    box.state = state;
    box.thread = std::thread([this, state, run = std::move(run)] {
        const MessageBoxResult result = run();
        std::lock_guard guard(state->lock);
        state->result = result;
        state->done = true;
        if (!state->orphaned)
            Wake();
    });
    boxes_.push_back(std::move(box));
    return state;
}

void WindowSystemCore::OpenMessageBox(const std::u16string& text, const std::u16string& caption,
                                      MessageBoxButtons buttons) {
    StartBox(text, caption, buttons);
    boxes_.back().reportClosed = true;
    boxes_.back().text = text;
    boxes_.back().caption = caption;
}

std::size_t WindowSystemCore::openMessageBoxes() const {
    std::size_t open = 0;
    for (const OpenBox& box : boxes_) {
        std::lock_guard guard(box.state->lock);
        open += box.state->done ? 0 : 1;
    }
    return open;
}

void WindowSystemCore::CollectFinishedBoxes() {
    for (auto it = boxes_.begin(); it != boxes_.end();) {
        bool done;
        {
            std::lock_guard guard(it->state->lock);
            done = it->state->done;
        }
        if (!done) {
            ++it;
            continue;
        }
        it->thread.join();
        if (it->reportClosed && sink_)
            sink_->Closed(it->text, it->caption);
        it = boxes_.erase(it);
    }
}

bool WindowSystemCore::IsUserInput(std::uint32_t message) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_CLOSE:
        return true;
    default:
        return false;
    }
}

MessageBoxResult WindowSystemCore::ShowModalMessageBox(const std::u16string& text,
                                                       const std::u16string& caption,
                                                       MessageBoxButtons buttons) {
    const std::shared_ptr<BoxState> state = StartBox(text, caption, buttons);
    for (;;) {
        {
            std::lock_guard guard(state->lock);
            if (state->done)
                break;
        }
        // The loop goes on as the outer one would, except that the user's input waits for the answer (it
        // is dropped, as for a disabled owner) and a quit is left for the outer loop to see.
        Message message;
        if (!quit_ && TakeReady(message)) {
            if (!IsUserInput(message.message))
                DispatchMessage(message);
            continue;
        }
        PumpNative(true);
    }
    CollectFinishedBoxes();
    std::lock_guard guard(state->lock);
    return state->result;
}

bool WindowSystemCore::IsClassRegistered(const std::u16string& className) const {
    return classes_.count(className) != 0;
}

bool WindowSystemCore::RegisterWindowClass(const std::u16string& className, const IconImage* icon) {
    if (className.empty() || !classes_.insert(className).second)
        return false;
    if (icon)
        classIcons_.emplace_back(className, *icon);
    return true;
}

const IconImage* WindowSystemCore::ClassIcon(const std::u16string& className) const {
    for (const auto& entry : classIcons_) {
        if (entry.first == className)
            return &entry.second;
    }
    return nullptr;
}

void WindowSystemCore::Register(WindowCore* window) {
    windows_.push_back(window);
}

void WindowSystemCore::Unregister(WindowCore* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    DropInputFor(window);
}

void WindowSystemCore::DropInputFor(const Window* window) {
    input_.erase(
        std::remove_if(input_.begin(), input_.end(), [&](const Message& m) { return m.window == window; }),
        input_.end());
}

void WindowSystemCore::PostQuitMessage(int exitCode) {
    quit_ = true;
    exitCode_ = exitCode;
}

bool WindowSystemCore::TakeReady(Message& out) {
    DoPendingWork();
    if (quit_) {
        out = Message{nullptr, WM_QUIT, static_cast<std::uintptr_t>(exitCode_), 0};
        return true;
    }
    for (WindowCore* window : windows_) {
        WindowMessage posted;
        if (window->TakePosted(posted)) {
            out = Message{window, posted.message, posted.wParam, posted.lParam};
            return true;
        }
    }
    if (!input_.empty()) {
        out = input_.front();
        input_.pop_front();
        if (out.keyModifiers >= 0)
            retrievedModifiers_ = out.keyModifiers;
        return true;
    }
    for (WindowCore* window : windows_) {
        if (window->invalid()) {
            out = Message{window, WM_PAINT, 0, 0};
            return true;
        }
    }
    return false;
}

void WindowSystemCore::DispatchPostedAndPaint() {
    DoPendingWork();
    // Bounded, so that a handler that posts to itself cannot keep the system's loop from running.
    constexpr int kMostMessages = 1000;
    bool any = true;
    for (int handed = 0; any && !quit_ && handed < kMostMessages; ++handed) {
        any = false;
        // A handler may destroy windows: the list is walked afresh after each message.
        for (WindowCore* window : windows_) {
            WindowMessage posted;
            if (window->TakePosted(posted)) {
                DispatchMessage(Message{window, posted.message, posted.wParam, posted.lParam});
                any = true;
                break;
            }
        }
    }
    Message paint;
    for (int handed = 0; !quit_ && handed < kMostMessages && PeekPaintMessage(paint); ++handed)
        DispatchMessage(paint);
}

bool WindowSystemCore::GetMessage(Message& out) {
    while (!TakeReady(out))
        PumpNative(true);
    return out.message != WM_QUIT;
}

bool WindowSystemCore::PeekMessage(Message& out) {
    if (TakeReady(out))
        return true;
    PumpNative(false);
    return TakeReady(out);
}

bool WindowSystemCore::PeekPaintMessage(Message& out) {
    if (quit_) {
        out = Message{nullptr, WM_QUIT, static_cast<std::uintptr_t>(exitCode_), 0};
        return true;
    }
    for (WindowCore* window : windows_) {
        if (window->invalid()) {
            out = Message{window, WM_PAINT, 0, 0};
            return true;
        }
    }
    return false;
}

} // namespace platform
