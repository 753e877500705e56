// The keyboard's media keys on Windows, wherever the focus is: a thread of its own registers them as hot
// keys (RegisterHotKey on its own queue) and turns each press into a command for the window. A plain
// Win32 program has no desktop media-player interface to serve, so Publish and Seeked keep nothing.
// While the program runs it takes the media keys from other players, as a Win32 player does; when
// another program holds them already, the keys reach the window only with the focus, through its
// accelerator table.
#include "platform/MediaControls.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace platform {

namespace {

struct HotKey {
    UINT virtualKey;
    MediaCommand command;
};

constexpr HotKey kHotKeys[] = {
    {VK_MEDIA_PLAY_PAUSE, MediaCommand::PlayPause},
    {VK_MEDIA_STOP, MediaCommand::Stop},
    {VK_MEDIA_NEXT_TRACK, MediaCommand::Next},
    {VK_MEDIA_PREV_TRACK, MediaCommand::Previous},
};

class HotKeyMediaControls final : public MediaControls {
public:
    HotKeyMediaControls(PostTarget* window, std::uint32_t commandMessage)
        : window_(window), commandMessage_(commandMessage) {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] { Run(ready); });
        // The keys are registered before the constructor returns, so available() answers at once.
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }

    ~HotKeyMediaControls() override {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    bool available() const override { return registered_ > 0; }
    void Publish(const MediaState&) override {}
    void Seeked(std::int64_t) override {}

private:
    void Run(HANDLE ready) {
        threadId_ = GetCurrentThreadId();
        MSG msg;
        // Makes this thread's queue, so that the WM_QUIT of the destructor finds it.
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        for (int id = 0; id < static_cast<int>(std::size(kHotKeys)); ++id) {
            if (RegisterHotKey(nullptr, id + 1, MOD_NOREPEAT, kHotKeys[id].virtualKey))
                ++registered_;
        }
        SetEvent(ready);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            const auto index = static_cast<std::size_t>(msg.wParam) - 1;
            if (msg.message == WM_HOTKEY && msg.hwnd == nullptr && index < std::size(kHotKeys) && window_)
                window_->Post({commandMessage_, static_cast<std::uintptr_t>(kHotKeys[index].command), 0});
        }
        for (int id = 0; id < static_cast<int>(std::size(kHotKeys)); ++id)
            UnregisterHotKey(nullptr, id + 1);
    }

    PostTarget* window_;
    std::uint32_t commandMessage_;
    std::thread thread_;
    DWORD threadId_ = 0;
    std::atomic<int> registered_{0};
};

} // namespace

std::unique_ptr<MediaControls> CreateMediaControls(PostTarget* window, std::uint32_t commandMessage) {
    return std::make_unique<HotKeyMediaControls>(window, commandMessage);
}

} // namespace platform
