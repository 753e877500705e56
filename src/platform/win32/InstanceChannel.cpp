// The single-instance rule with the Win32 calls it was made for: the first instance owns a hidden window
// of class `name` (a message-only window on a thread of its own); a later one finds it with FindWindowW
// and hands its command line over with WM_COPYDATA, which the system delivers across processes only
// between processes of the same desktop session. A named mutex decides who is first without a race; the
// system releases it when its holder dies, so a crashed instance never blocks the next start.
#include "platform/InstanceChannel.h"
#include "platform/Utf.h"
#include "platform/win32/Win32Handles.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

namespace {

constexpr ULONG_PTR kCommandLineData = 0x5654; // dwData of the copied command line ("VT")

std::u16string MutexName(const std::string& name) {
    return u"Local\\VantriInstance-" + Utf8ToUtf16(name);
}
// The window's class: a name of its own, so that it never meets the program's window classes.
std::u16string ClassName(const std::string& name) {
    return u"VantriInstance:" + Utf8ToUtf16(name);
}

} // namespace

struct InstanceChannel::State {
    std::string name;
    Receiver receiver;
    HANDLE mutex = nullptr;
    std::thread thread;
    std::mutex lock;
    std::condition_variable ready;
    bool started = false;
    DWORD threadId = 0;
    HWND window = nullptr;

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COPYDATA) {
            auto* self = reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!self || !data || data->dwData != kCommandLineData)
                return FALSE;
            // A message longer than the most taken arrives empty: a part of it could be a different link.
            const std::size_t bytes = data->cbData <= kMaxMessageBytes ? data->cbData : 0;
            std::string text(static_cast<const char*>(data->lpData), data->lpData ? bytes : 0);
            self->receiver(std::move(text));
            return TRUE;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void Run() {
        const std::u16string className = ClassName(name);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &State::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = Wide(className);
        RegisterClassExW(&wc);
        HWND hwnd = CreateWindowExW(0, Wide(className), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        if (hwnd)
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::lock_guard guard(lock);
            window = hwnd;
            threadId = GetCurrentThreadId();
            started = true;
        }
        ready.notify_all();
        if (!hwnd)
            return;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DestroyWindow(hwnd);
        UnregisterClassW(Wide(className), GetModuleHandleW(nullptr));
    }
};

InstanceChannel::Claim InstanceChannel::Open(const std::string& name, Receiver receiver,
                                             std::unique_ptr<InstanceChannel>& channel) {
    auto state = std::make_unique<State>();
    state->name = name;
    state->receiver = std::move(receiver);
    state->mutex = CreateMutexW(nullptr, TRUE, Wide(MutexName(name)));
    if (!state->mutex)
        return Claim::Unavailable;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(state->mutex);
        return Claim::Second;
    }
    State* raw = state.get();
    state->thread = std::thread([raw] { raw->Run(); });
    {
        std::unique_lock guard(raw->lock);
        raw->ready.wait(guard, [&] { return raw->started; });
    }
    if (!raw->window) {
        raw->thread.join();
        ReleaseMutex(raw->mutex);
        CloseHandle(raw->mutex);
        return Claim::Unavailable;
    }
    channel.reset(new InstanceChannel(std::move(state)));
    return Claim::First;
}

InstanceChannel::Delivery InstanceChannel::Deliver(const std::string& name, std::string_view message,
                                                   int milliseconds) {
    // Message-only windows are found by FindWindowExW under HWND_MESSAGE (FindWindowW skips them). No
    // window: no first instance listens now (the caller decides whether to wait and try again).
    const HWND target = FindWindowExW(HWND_MESSAGE, nullptr, Wide(ClassName(name)), nullptr);
    if (!target)
        return Delivery::NotDelivered;
    // A message too long to be whole goes as one byte more than the first instance takes, which then
    // takes none of it.
    const std::string_view cut = message.substr(0, kMaxMessageBytes + 1);
    COPYDATASTRUCT data{kCommandLineData, static_cast<DWORD>(cut.size()), const_cast<char*>(cut.data())};
    DWORD_PTR answer = 0;
    const bool taken =
        SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                            static_cast<UINT>(std::max(milliseconds, 1)), &answer) != 0 &&
        answer == TRUE;
    return taken ? Delivery::Delivered : Delivery::NotDelivered;
}

std::string InstanceChannel::Folder() {
    return {};
}

InstanceChannel::InstanceChannel(std::unique_ptr<State> state) : state_(std::move(state)) {}

InstanceChannel::~InstanceChannel() {
    if (state_->threadId)
        PostThreadMessageW(state_->threadId, WM_QUIT, 0, 0);
    if (state_->thread.joinable())
        state_->thread.join();
    if (state_->mutex) {
        ReleaseMutex(state_->mutex);
        CloseHandle(state_->mutex);
    }
}

const std::string& InstanceChannel::path() const {
    return state_->name;
}

} // namespace platform
