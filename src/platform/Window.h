#pragma once
// Top-level windows and the user-interface thread's message loop.
//
// A WindowSystem is opened once on the user-interface thread and outlives every window, every worker
// thread that posts to a window, and every message box it shows. All of its operations and all window
// operations except Window::Post belong to that thread.
//
// Messages reach a window's procedure with Win32's numbers and packing (WindowMessages.h): the system
// translates native input into WM_LBUTTONDOWN, WM_MOUSEWHEEL, WM_SIZE and so on, and synthesises
// WM_PAINT when part of a window is invalid and nothing else is waiting. Every press is delivered as a
// button-down message (there are no double-click messages). Posted messages keep their order and come
// before input; WM_QUIT ends the loop as soon as it has been posted.
//
// Window geometry is the client area: a window's rectangle is its client area in screen coordinates,
// and sizes given at creation are client sizes. Every coordinate and size a window takes or reports
// (positions, sizes, mouse input, invalid and painted rectangles, the work area, the cursor) is in
// logical pixels; the window's device scale (scale()) says how many screen pixels each covers, and only
// the pixels handed to Present and answered by ReadScreen are device pixels.

#include "platform/DeviceScale.h"
#include "platform/MessageBox.h"
#include "platform/PostTarget.h"
#include "platform/WindowMessages.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {

class Window;

// Receives a window's messages; what Win32 reaches through the window procedure and GWL_USERDATA.
class WindowProcedure {
public:
    virtual ~WindowProcedure() = default;
    virtual std::intptr_t WindowProc(Window& window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;
    // A message that was posted but will never be dispatched because the window is gone. The receiver
    // frees whatever wParam or lParam owns (WM_USER messages carry a heap object).
    virtual void DiscardPostedMessage(const WindowMessage& message) { (void)message; }
};

struct Message {
    Window* window = nullptr; // null for WM_QUIT
    std::uint32_t message = WM_NULL;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // For keyboard input: the modifier keys held when the key went down or up (MK_SHIFT, MK_CONTROL and
    // kModifierAlt), so that IsKeyDown answers for the message being handled, as GetKeyState does,
    // however much input is waiting behind it. -1 for other messages.
    std::int32_t keyModifiers = -1;
};
inline constexpr std::int32_t kModifierAlt = 0x20;

// 32-bit ARGB pixels, top row first, for window icons.
struct IconImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

struct WindowParams {
    std::u16string className;
    std::u16string title;
    const IconImage* icon = nullptr; // may be null
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // A popup (a menu): borderless, above other windows, without a task-bar entry and not resizable. It
    // takes the keyboard focus when shown and receives WM_KILLFOCUS when the user turns elsewhere.
    bool popup = false;
};

class Window : public PostTarget {
public:
    ~Window() override = default;

    // Any thread. Queues a message for the procedure; false once the window has been destroyed (the
    // sender keeps what the message owns).
    bool Post(const WindowMessage& message) override = 0;

    // Calls the procedure at once, on the calling (user-interface) thread, and answers its result.
    virtual std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // Installs the procedure (null: none). Until one is installed, messages get DefWindowProc.
    virtual void SetProcedure(WindowProcedure* procedure) = 0;
    // The default processing: WM_CLOSE destroys the window, WM_PAINT validates it, the rest answer 0.
    virtual std::intptr_t DefWindowProc(std::uint32_t message, std::uintptr_t wParam,
                                        std::intptr_t lParam) = 0;

    // Sends WM_DESTROY, closes the native window and discards messages still queued for it. The object
    // stays valid (Post answers false) until it is deleted. Harmless when already destroyed.
    virtual void Destroy() = 0;
    virtual bool destroyed() const = 0;

    // Device pixels per logical pixel; 1x unless the window system chose another scale.
    virtual DeviceScale scale() const { return {}; }
    virtual Point ClientSize() const = 0;
    // The client area in screen coordinates.
    virtual Rect WindowRect() const = 0;
    virtual Point ScreenToClient(Point screen) const = 0;

    virtual void SetTitle(const std::u16string& title) = 0;
    // The title last set (what a screen reader reads as the window's name); empty where not kept.
    virtual std::u16string Title() const { return {}; }
    virtual void Show(bool show) = 0; // SW_SHOW / SW_HIDE
    virtual bool visible() const = 0;
    virtual void Minimize() = 0;
    // Whether the window manager has made the window fill the screen or its work area (maximised or full
    // screen): a size the user did not give it.
    virtual bool maximized() const = 0;
    // SetForegroundWindow: raises the window and gives it the focus if it is shown; a hidden window stays
    // hidden.
    virtual void BringToFront() = 0;
    // The smallest client size the user can drag the window to.
    virtual void SetMinimumSize(std::int32_t width, std::int32_t height) = 0;

    // Mouse capture: while set, mouse messages keep coming to this window wherever the pointer is.
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual bool hasCapture() const = 0;

    // Marks part of the client area for repainting (InvalidateRect, never erasing).
    virtual void Invalidate(const Rect& rect) = 0;
    // BeginPaint: answers the bounding rectangle of the invalid area (rcPaint) and validates it.
    virtual Rect BeginPaint() = 0;
    // Copies `rect` (logical client coordinates) of `source` (device pixels: the client area times the
    // scale) to the same place on the screen. Only the device pixels under the rectangle are transferred.
    virtual void Present(const PixelView& source, const Rect& rect) = 0;
    virtual void EndPaint() = 0;

    // What the screen shows in the client area now, read back from the display (a screenshot), in device
    // pixels.
    virtual bool ReadScreen(std::vector<std::uint32_t>& pixels, std::int32_t& width,
                            std::int32_t& height) = 0;

    // Text input. Typed text arrives as WM_CHAR messages, one UTF-16 unit each (a character outside the
    // basic plane as two, the high surrogate first). An input method that composes text first sends
    // WM_IME_STARTCOMPOSITION, then WM_IME_COMPOSITION whenever the text being composed changes, then
    // WM_IME_ENDCOMPOSITION; what it commits follows as WM_CHAR. CompositionText answers the text being
    // composed now (empty outside a composition) and, in `caret`, the caret's place in it in UTF-16 units.
    virtual std::u16string CompositionText(std::int32_t* caret) const {
        if (caret)
            *caret = 0;
        return {};
    }
    // Where the text being edited lies, in client coordinates, so that the input method opens its list
    // of candidates beside it.
    virtual void SetTextInputArea(const Rect& area) { (void)area; }
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // RegisterClassExW / GetClassInfoExW: a window class is its name and default icon.
    virtual bool IsClassRegistered(const std::u16string& className) const = 0;
    virtual bool RegisterWindowClass(const std::u16string& className, const IconImage* icon) = 0;

    // Creates a visible window of a registered class; null on failure.
    virtual std::unique_ptr<Window> CreateNativeWindow(const WindowParams& params) = 0;

    // Waits for the next message; false when it is WM_QUIT (GetMessageW).
    virtual bool GetMessage(Message& out) = 0;
    // Takes the next message without waiting; false when none is ready (PeekMessageW with PM_REMOVE).
    virtual bool PeekMessage(Message& out) = 0;
    // Takes a pending WM_PAINT, or WM_QUIT when one was posted (PeekMessageW filtered to WM_PAINT).
    virtual bool PeekPaintMessage(Message& out) = 0;
    // Hands the message to its window's procedure (DispatchMessageW).
    std::intptr_t DispatchMessage(const Message& message);
    virtual void PostQuitMessage(int exitCode) = 0;
    virtual int exitCode() const = 0;

    // The clipboard as UTF-16 text.
    virtual bool SetClipboardText(const std::u16string& text) = 0;
    virtual bool GetClipboardText(std::u16string& text) = 0;

    // The part of the display holding `screenPoint` that windows may cover, task bars and panels left out
    // (the monitor's work area), in screen coordinates. The nearest display's when no display holds it.
    virtual Rect WorkArea(Point screenPoint) const = 0;

    // The pointer position in screen coordinates (GetCursorPos).
    virtual Point CursorPosition() const = 0;
    // Whether a key is held (GetKeyState's high bit); VK_CONTROL, VK_SHIFT and VK_MENU at least. For
    // those three the answer is as of the last keyboard message taken from the queue, when there was one.
    virtual bool IsKeyDown(int virtualKey) const = 0;

    // Opens an address in the user's web browser (ShellExecuteW "open"); false when that failed.
    virtual bool OpenWebLink(const std::u16string& address) = 0;

    // Shows the system's own popup menu `menuId` from the program's resources (TrackPopupMenu on its
    // first submenu), owned by `owner`, its top-left corner or (`bottomAlign`) its bottom-left corner at
    // `screenPoint`. The menu runs a loop of its own and this returns when it closes; the program's posted
    // messages and paints are still handed out meanwhile. The chosen item reaches the owner as WM_COMMAND.
    // Items whose command numbers `hidden` holds are left out. False where the system has no such menus
    // or the resource is missing: the program draws its own.
    virtual bool TrackNativePopupMenu(Window& owner, int menuId, Point screenPoint, bool bottomAlign,
                                      std::span<const std::uint32_t> hidden = {}) {
        (void)owner, (void)menuId, (void)screenPoint, (void)bottomAlign, (void)hidden;
        return false;
    }

    // Shows a message box owned by the program's first window and returns the user's answer. Like a
    // Win32 modal box it keeps the program alive meanwhile: the calling (user-interface) thread goes on
    // dispatching posted messages, painting, moves and resizes; only mouse, keyboard and close input to
    // the windows is dropped until the box is answered. A Yes/No box answers Yes to Enter (its first
    // button is the default) and No to Escape; an OK box answers OK to either.
    virtual MessageBoxResult ShowModalMessageBox(const std::u16string& text, const std::u16string& caption,
                                                 MessageBoxButtons buttons) = 0;

    // Makes every message box of the process go through this system: boxes asked for on the
    // user-interface thread are shown there modally; boxes asked for on another thread are handed to
    // the user-interface thread, which opens them without waiting for their answer, and the asking
    // thread does not wait either. The installation ends with the system. False when the system cannot
    // show boxes.
    virtual bool InstallMessageBoxSink() = 0;
};

// The desktop's window system (SDL2 with its x11 driver on Linux); null when there is no display. On
// Linux its windows take the desktop's scale (DesktopDeviceScale).
std::unique_ptr<WindowSystem> OpenDesktopWindowSystem();

} // namespace platform
