// The notification-area icon through Shell_NotifyIconW. The shell reports clicks to a hidden window of
// this object's own, which forwards them to the program's window as its callback message. The window is
// a hidden top-level one rather than message-only, so that it hears the "TaskbarCreated" broadcast of a
// restarted shell (Explorer) and puts the icon back.
#include "platform/TrayIcon.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Icons.h"

#include <shellapi.h>

#include <algorithm>

namespace platform {

namespace {

constexpr UINT kShellCallback = 0x0400 + 1; // what the shell sends to the hidden window
constexpr wchar_t kClassName[] = L"VantriNotifyIcon";

class ShellTrayIcon final : public TrayIcon {
public:
    ShellTrayIcon() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &ShellTrayIcon::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc); // fails harmlessly when a second icon registered it already
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
        if (window_)
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ShellTrayIcon() override {
        Remove();
        if (window_)
            DestroyWindow(window_);
    }

    bool available() const override { return window_ != nullptr && FindWindowW(L"Shell_TrayWnd", nullptr); }

    bool Add(const IconImage& icon, const std::u16string& tip, PostTarget* window,
             std::uint32_t callbackMessage) override {
        if (!window_ || added_)
            return false;
        icon_ = CreateIconFromImage(icon);
        tip_ = tip;
        target_ = window;
        callbackMessage_ = callbackMessage;
        added_ = AddToShell();
        return added_;
    }

    bool Balloon(const std::u16string& title, const std::u16string& text,
                 std::uint32_t timeoutMilliseconds) override {
        if (!added_)
            return false;
        NOTIFYICONDATAW data = Data();
        data.uFlags = NIF_INFO;
        data.uTimeout = timeoutMilliseconds;
        data.dwInfoFlags = NIIF_INFO;
        const std::size_t titleCount = std::min<std::size_t>(title.size(), std::size(data.szInfoTitle) - 1);
        std::copy_n(title.begin(), titleCount, data.szInfoTitle);
        data.szInfoTitle[titleCount] = 0;
        const std::size_t textCount = std::min<std::size_t>(text.size(), std::size(data.szInfo) - 1);
        std::copy_n(text.begin(), textCount, data.szInfo);
        data.szInfo[textCount] = 0;
        return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    }

    void Remove() override {
        if (added_) {
            NOTIFYICONDATAW data = Data();
            Shell_NotifyIconW(NIM_DELETE, &data);
            added_ = false;
        }
        if (icon_)
            DestroyIcon(icon_);
        icon_ = nullptr;
        target_ = nullptr;
    }

private:
    bool AddToShell() {
        NOTIFYICONDATAW data = Data();
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kShellCallback;
        data.hIcon = icon_;
        const std::size_t count = std::min<std::size_t>(tip_.size(), std::size(data.szTip) - 1);
        std::copy_n(tip_.begin(), count, data.szTip);
        data.szTip[count] = 0;
        return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    }

    NOTIFYICONDATAW Data() const {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = window_;
        data.uID = 1;
        return data;
    }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ShellTrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == kShellCallback && self->target_) {
            // The low word is the mouse message; only the two clicks the program acts on go on.
            const auto mouse = static_cast<std::intptr_t>(LOWORD(lParam));
            if (mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN || mouse == WM_CONTEXTMENU)
                self->target_->Post(
                    {self->callbackMessage_, 0,
                     mouse == WM_CONTEXTMENU ? static_cast<std::intptr_t>(WM_RBUTTONDOWN) : mouse});
            return 0;
        }
        if (self && message == self->taskbarCreated_ && self->taskbarCreated_ != 0) {
            // A new shell has an empty notification area: the icon goes back in.
            if (self->added_)
                self->AddToShell();
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    std::u16string tip_;
    UINT taskbarCreated_ = 0;
    PostTarget* target_ = nullptr;
    std::uint32_t callbackMessage_ = 0;
    bool added_ = false;
};

} // namespace

std::unique_ptr<TrayIcon> CreateTrayIcon() {
    return std::make_unique<ShellTrayIcon>();
}

} // namespace platform
