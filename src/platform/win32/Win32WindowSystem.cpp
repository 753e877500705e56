// The desktop window system on Win32: real windows of the program's registered classes (so FindWindowW
// finds them), whose native messages already carry the numbers and packing the program speaks; they are
// queued as input behind the posted messages of the shared loop. Posts from other threads set an event
// that the loop's MsgWaitForMultipleObjectsEx also waits on.
#include "platform/WindowCore.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Icons.h"
#include "platform/win32/Win32NativeWindow.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace platform {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
// A menu: borderless, above the others, no task-bar button.
constexpr DWORD kPopupStyle = WS_POPUP;
constexpr DWORD kPopupExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
// The timer that keeps the program's messages flowing while a native menu runs its own loop. Its id is
// far above the program's own timer ids.
constexpr UINT_PTR kMenuPumpTimer = 0x7A11;
constexpr UINT kMenuPumpMilliseconds = 15;

class Win32WindowSystem;

class Win32Window : public WindowCore {
public:
    Win32Window(Win32WindowSystem& system, HWND hwnd);
    ~Win32Window() override;

    HWND hwnd() const { return hwnd_; }

    Point ClientSize() const override {
        RECT r{};
        if (!hwnd_ || !GetClientRect(hwnd_, &r))
            return {0, 0};
        return {r.right - r.left, r.bottom - r.top};
    }
    Rect WindowRect() const override {
        POINT origin{0, 0};
        if (hwnd_)
            ClientToScreen(hwnd_, &origin);
        const Point size = ClientSize();
        return {origin.x, origin.y, origin.x + size.x, origin.y + size.y};
    }
    Point ScreenToClient(Point screen) const override {
        POINT p{screen.x, screen.y};
        if (hwnd_)
            ::ScreenToClient(hwnd_, &p);
        return {p.x, p.y};
    }
    void SetTitle(const std::u16string& title) override {
        if (hwnd_)
            SetWindowTextW(hwnd_, Wide(title));
    }
    std::u16string Title() const override {
        const int length = hwnd_ ? GetWindowTextLengthW(hwnd_) : 0;
        if (length <= 0)
            return {};
        std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
        title.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, title.data(), length + 1)));
        return FromWide(title);
    }
    void Show(bool show) override {
        if (hwnd_)
            ShowWindow(hwnd_, show ? SW_SHOW : SW_HIDE);
    }
    bool visible() const override { return hwnd_ && IsWindowVisible(hwnd_); }
    bool maximized() const override { return hwnd_ && IsZoomed(hwnd_); }
    void Minimize() override {
        if (hwnd_)
            ShowWindow(hwnd_, SW_MINIMIZE);
    }
    void BringToFront() override {
        // A hidden window stays hidden.
        if (!hwnd_ || !IsWindowVisible(hwnd_))
            return;
        if (IsIconic(hwnd_))
            ShowWindow(hwnd_, SW_RESTORE);
        SetForegroundWindow(hwnd_);
    }
    void SetMinimumSize(std::int32_t width, std::int32_t height) override {
        minWidth_ = width;
        minHeight_ = height;
    }
    void SetCapture() override {
        WindowCore::SetCapture();
        if (hwnd_)
            ::SetCapture(hwnd_);
    }
    void ReleaseCapture() override {
        WindowCore::ReleaseCapture();
        if (hwnd_ && GetCapture() == hwnd_)
            ::ReleaseCapture();
    }

    void Present(const PixelView& source, const Rect& rect) override {
        if (!hwnd_)
            return;
        const Point size = ClientSize();
        const Rect area = IntersectRect(IntersectRect(rect, Rect{0, 0, size.x, size.y}),
                                        Rect{0, 0, source.width, source.height});
        if (area.empty())
            return;
        // The rectangle's rows, top-down, as one DIB.
        rows_.resize(static_cast<std::size_t>(area.width()) * static_cast<std::size_t>(area.height()));
        for (std::int32_t y = 0; y < area.height(); ++y)
            std::memcpy(rows_.data() + static_cast<std::size_t>(y) * area.width(),
                        source.row(area.top + y) + area.left, static_cast<std::size_t>(area.width()) * 4);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = area.width();
        info.bmiHeader.biHeight = -area.height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC dc = GetDC(hwnd_);
        SetDIBitsToDevice(dc, area.left, area.top, static_cast<DWORD>(area.width()),
                          static_cast<DWORD>(area.height()), 0, 0, 0, static_cast<UINT>(area.height()),
                          rows_.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(hwnd_, dc);
    }

    bool ReadScreen(std::vector<std::uint32_t>& pixels, std::int32_t& width, std::int32_t& height) override {
        const Point size = ClientSize();
        width = size.x;
        height = size.y;
        if (!hwnd_ || width <= 0 || height <= 0)
            return false;
        HDC dc = GetDC(hwnd_);
        HDC memory = CreateCompatibleDC(dc);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bool ok = false;
        if (bitmap) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            ok = BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY) != FALSE;
            GdiFlush();
            if (ok) {
                pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
                const auto* from = static_cast<const std::uint32_t*>(bits);
                for (std::size_t i = 0; i < pixels.size(); ++i)
                    pixels[i] = from[i] & 0x00FFFFFFu;
            }
            SelectObject(memory, previous);
            DeleteObject(bitmap);
        }
        DeleteDC(memory);
        ReleaseDC(hwnd_, dc);
        return ok;
    }

    // The native window procedure's work for this window; answers true with `result` when handled.
    bool HandleNative(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    void CloseNative() override {
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            if (GetCapture() == hwnd_)
                ::ReleaseCapture();
            DestroyWindow(hwnd_);
            hwnd_ = nullptr;
        }
    }

private:
    // The frame around the client area, for turning window rectangles into client ones and back.
    RECT Frame() const {
        RECT frame{0, 0, 0, 0};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
        return frame;
    }

    HWND hwnd_;
    std::int32_t minWidth_ = 0;
    std::int32_t minHeight_ = 0;
    std::vector<std::uint32_t> rows_;
};

class Win32WindowSystem : public WindowSystemCore {
public:
    Win32WindowSystem() = default;
    ~Win32WindowSystem() override {
        UninstallMessageBoxSink();
        for (auto& [name, icon] : icons_)
            DestroyIcon(icon);
        if (wake_)
            CloseHandle(wake_);
    }

    bool Open() {
        wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return wake_ != nullptr;
    }

    bool RegisterWindowClass(const std::u16string& className, const IconImage* icon) override {
        if (!WindowSystemCore::RegisterWindowClass(className, icon))
            return false;
        HICON native = icon ? CreateIconFromImage(*icon) : nullptr;
        if (native)
            icons_[className] = native;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32WindowSystem::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        // The program's own icon from its resources when the class brings none.
        wc.hIcon = native ? native : LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(108));
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = Wide(className);
        // No CS_DBLCLKS: every press arrives as a button-down message.
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    std::unique_ptr<Window> CreateNativeWindow(const WindowParams& params) override {
        if (!IsClassRegistered(params.className))
            return nullptr;
        RECT frame{0, 0, std::max(params.width, 1), std::max(params.height, 1)};
        AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
        HWND hwnd =
            CreateWindowExW(0, Wide(params.className), Wide(params.title), kStyle, params.x + frame.left,
                            params.y + frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!hwnd)
            return nullptr;
        if (params.icon) {
            if (HICON icon = CreateIconFromImage(*params.icon)) {
                SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
                SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
                icons_[params.className + u"#" + params.title] = icon;
            }
        }
        auto window = std::make_unique<Win32Window>(*this, hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
        ShowWindow(hwnd, SW_SHOW);
        if (params.popup)
            SetForegroundWindow(hwnd); // a menu takes the keys while it is open
        UpdateWindow(hwnd);
        if (!mainWindow_ && !params.popup)
            mainWindow_ = hwnd;
        return window;
    }

    void Forget(HWND hwnd) {
        if (mainWindow_ == hwnd)
            mainWindow_ = nullptr;
    }

    bool SetClipboardText(const std::u16string& text) override {
        if (!OpenClipboard(mainWindow_))
            return false;
        bool ok = false;
        EmptyClipboard();
        const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            if (void* to = GlobalLock(memory)) {
                std::memcpy(to, text.c_str(), bytes);
                GlobalUnlock(memory);
                ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            }
            if (!ok)
                GlobalFree(memory); // the clipboard owns it only once SetClipboardData succeeded
        }
        CloseClipboard();
        return ok;
    }

    bool GetClipboardText(std::u16string& text) override {
        if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(mainWindow_))
            return false;
        bool ok = false;
        if (HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* from = static_cast<const char16_t*>(GlobalLock(memory))) {
                const std::size_t limit = GlobalSize(memory) / sizeof(char16_t);
                std::size_t length = 0;
                while (length < limit && from[length] != 0)
                    ++length;
                text.assign(from, length);
                GlobalUnlock(memory);
                ok = true;
            }
        }
        CloseClipboard();
        return ok;
    }

    Rect WorkArea(Point screenPoint) const override {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        HMONITOR monitor = MonitorFromPoint(POINT{screenPoint.x, screenPoint.y}, MONITOR_DEFAULTTONEAREST);
        if (!monitor || !GetMonitorInfoW(monitor, &info))
            return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    }

    Point CursorPosition() const override {
        POINT p{0, 0};
        GetCursorPos(&p);
        return {p.x, p.y};
    }

    bool IsKeyDown(int virtualKey) const override { return (GetKeyState(virtualKey) & 0x8000) != 0; }

    bool OpenWebLink(const std::u16string& address) override {
        auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(mainWindow_, L"open", Wide(address), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }

    bool TrackNativePopupMenu(Window& owner, int menuId, Point screenPoint, bool bottomAlign,
                              std::span<const std::uint32_t> hidden) override {
        HWND hwnd = static_cast<Win32Window&>(owner).hwnd();
        HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
        if (!menu)
            return false;
        bool shown = false;
        if (HMENU popup = GetSubMenu(menu, 0); popup && hwnd) {
            for (std::uint32_t command : hidden)
                DeleteMenu(popup, command, MF_BYCOMMAND);
            // The menu only closes on a click elsewhere when its owner is the foreground window.
            SetForegroundWindow(hwnd);
            // The menu's loop dispatches native messages only; a timer on the owner hands out the
            // program's posted messages and paints meanwhile (Win32Window::HandleNative).
            SetTimer(hwnd, kMenuPumpTimer, kMenuPumpMilliseconds, nullptr);
            shown = TrackPopupMenu(popup, bottomAlign ? TPM_BOTTOMALIGN : 0, screenPoint.x, screenPoint.y, 0,
                                   hwnd, nullptr) != FALSE;
            KillTimer(hwnd, kMenuPumpTimer);
            // Without a message after it, a menu opened from the notification icon can swallow the next
            // click.
            PostMessageW(hwnd, WM_NULL, 0, 0);
        }
        DestroyMenu(menu);
        return shown;
    }

    void Wake() override { SetEvent(wake_); }

protected:
    void PumpNative(bool wait) override {
        if (wait) {
            // MWMO_INPUTAVAILABLE: messages already seen by an earlier peek still count.
            MsgWaitForMultipleObjectsEx(1, &wake_, INFINITE, QS_ALLINPUT,
                                        MWMO_INPUTAVAILABLE | MWMO_ALERTABLE);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue; // the loop's own PostQuitMessage decides when it ends
            // No TranslateAcceleratorW: the program looks its accelerator table up itself on WM_KEYDOWN.
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // The box runs on a helper thread while this thread goes on with its messages; MessageBoxW with an
    // owner of another thread still keeps the box above its owner.
    BoxRunner PrepareMessageBox(const std::u16string& text, const std::u16string& caption,
                                MessageBoxButtons buttons, Window* owner) override {
        HWND ownerWindow = owner ? static_cast<Win32Window*>(owner)->hwnd() : mainWindow_;
        return [ownerWindow, text, caption, buttons] {
            const bool yesNo = buttons == MessageBoxButtons::YesNo;
            const int chosen = MessageBoxW(ownerWindow, Wide(text), Wide(caption),
                                           yesNo ? (MB_YESNO | MB_ICONQUESTION) : (MB_OK | MB_ICONERROR));
            if (yesNo)
                return chosen == IDYES ? MessageBoxResult::Yes : MessageBoxResult::No;
            return MessageBoxResult::Ok;
        };
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        LRESULT result = 0;
        if (window && window->HandleNative(message, wParam, lParam, result))
            return result;
        if (message == WM_ERASEBKGND)
            return 1; // the program paints every pixel itself
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HANDLE wake_ = nullptr;
    HWND mainWindow_ = nullptr;
    std::map<std::u16string, HICON> icons_;
};

Win32Window::Win32Window(Win32WindowSystem& system, HWND hwnd) : WindowCore(system), hwnd_(hwnd) {}

Win32Window::~Win32Window() {
    HWND hwnd = hwnd_;
    Destroy();
    static_cast<Win32WindowSystem&>(system_).Forget(hwnd);
}

bool Win32Window::HandleNative(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT: {
        RECT r{};
        if (GetUpdateRect(hwnd_, &r, FALSE))
            Invalidate({r.left, r.top, r.right, r.bottom});
        ValidateRect(hwnd_, nullptr);
        result = 0;
        return true;
    }
    case WM_SIZE:
        QueueInput(WM_SIZE, wParam, lParam);
        if (wParam != SIZE_MINIMIZED)
            Invalidate(ClientRect());
        result = 0;
        return true;
    case WM_MOVE:
        QueueInput(WM_MOVE, wParam, lParam);
        result = 0;
        return true;
    case WM_SIZING:
    case WM_MOVING: {
        // The handler sees and may correct the client rectangle; the system gets the frame back.
        auto* native = reinterpret_cast<RECT*>(lParam);
        const RECT frame = Frame();
        Rect client{native->left - frame.left, native->top - frame.top, native->right - frame.right,
                    native->bottom - frame.bottom};
        Send(message, wParam, reinterpret_cast<std::intptr_t>(&client));
        *native = {client.left + frame.left, client.top + frame.top, client.right + frame.right,
                   client.bottom + frame.bottom};
        result = TRUE;
        return true;
    }
    case WM_GETMINMAXINFO: {
        if (minWidth_ > 0 || minHeight_ > 0) {
            const RECT frame = Frame();
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = minWidth_ + frame.right - frame.left;
            info->ptMinTrackSize.y = minHeight_ + frame.bottom - frame.top;
        }
        result = 0;
        return true;
    }
    case WM_KILLFOCUS:
        QueueInput(WM_KILLFOCUS, 0, 0);
        return false;
    case WM_CLOSE:
        QueueInput(WM_CLOSE, 0, 0);
        result = 0;
        return true;
    case WM_COPYDATA:
        // The data lives only while the sender waits: handled at once.
        result = Send(WM_COPYDATA, wParam, lParam);
        return true;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd_)
            WindowCore::ReleaseCapture();
        return false;
    case WM_TIMER:
        if (wParam == kMenuPumpTimer) {
            system_.DispatchPostedAndPaint();
            result = 0;
            return true;
        }
        QueueInput(message, wParam, lParam);
        result = 0;
        return true;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: // typed text, one UTF-16 unit, as TranslateMessage makes it
    case WM_COMMAND:
        QueueInput(message, wParam, lParam);
        result = 0;
        return true;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        // F10 and Alt combinations reach the program as plain keys; the system menu still works.
        QueueInput(message == WM_SYSKEYDOWN ? WM_KEYDOWN : WM_KEYUP, wParam, lParam);
        return false;
    default:
        if (message >= WM_USER && message < 0xC000) {
            // Private messages from outside (the notification icon's callback) join the input.
            QueueInput(message, wParam, lParam);
            result = 0;
            return true;
        }
        return false;
    }
}

} // namespace

HWND NativeWindowOf(PostTarget* target) {
    auto* window = dynamic_cast<Win32Window*>(target);
    return window ? window->hwnd() : nullptr;
}

std::unique_ptr<WindowSystem> OpenDesktopWindowSystem() {
    auto system = std::make_unique<Win32WindowSystem>();
    if (!system->Open())
        return nullptr;
    return system;
}

} // namespace platform
