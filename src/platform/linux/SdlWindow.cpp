#include "platform/linux/SdlWindow.h"

#include "platform/Utf.h"

#include <algorithm>
#include <cstring>

namespace platform::linux_backend {

namespace {

std::uintptr_t ModifierFlags() {
    const SDL_Keymod mod = SDL_GetModState();
    return ((mod & KMOD_SHIFT) ? MK_SHIFT : 0) | ((mod & KMOD_CTRL) ? MK_CONTROL : 0);
}

std::uintptr_t ButtonFlags(Uint32 state) {
    return ((state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0) | ((state & SDL_BUTTON_RMASK) ? MK_RBUTTON : 0) |
           ((state & SDL_BUTTON_MMASK) ? MK_MBUTTON : 0) | ModifierFlags();
}

// The largest shift of a new window's client area that is taken for the window manager's frame, pixels.
constexpr std::int32_t kMaxFrameShift = 64;

} // namespace

int VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + (key - SDLK_F1);
    switch (key) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_APPLICATION:
    case SDLK_MENU:
        return VK_APPS;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_LEFTBRACKET:
        return VK_OEM_4;
    case SDLK_BACKSLASH:
        return VK_OEM_5;
    case SDLK_RIGHTBRACKET:
        return VK_OEM_6;
    case SDLK_AUDIOPLAY:
        return VK_MEDIA_PLAY_PAUSE;
    case SDLK_AUDIOSTOP:
        return VK_MEDIA_STOP;
    case SDLK_AUDIONEXT:
        return VK_MEDIA_NEXT_TRACK;
    case SDLK_AUDIOPREV:
        return VK_MEDIA_PREV_TRACK;
    case SDLK_AUDIOREWIND:
        return VK_MEDIA_REWIND;
    case SDLK_AUDIOFASTFORWARD:
        return VK_MEDIA_FAST_FORWARD;
    case SDLK_MINUS:
        return VK_OEM_MINUS;
    case SDLK_EQUALS:
        return VK_OEM_PLUS;
    case SDLK_KP_MINUS:
        return VK_SUBTRACT;
    case SDLK_KP_PLUS:
        return VK_ADD;
    default:
        return 0;
    }
}

SdlWindow::~SdlWindow() {
    Destroy();
    ForgetSdlWindow(system_, this);
}

SdlWindow::SdlWindow(WindowSystemCore& system, SDL_Window* window, DeviceScale scale, bool wayland)
    : WindowCore(system), window_(window), id_(SDL_GetWindowID(window)), scale_(scale), wayland_(wayland) {
    lastSize_ = ClientSize();
}

void SdlWindow::HandleWindowEvent(const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        Invalidate(ClientRect());
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        const Point size = ClientSize();
        if (size == lastSize_)
            break;
        Rect proposed = WindowRect();
        Send(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<std::intptr_t>(&proposed));
        if (proposed.width() != size.x || proposed.height() != size.y)
            SDL_SetWindowSize(window_, std::max(ToUnits(scale_.ToDevice(std::max(proposed.width(), 1))), 1),
                              std::max(ToUnits(scale_.ToDevice(std::max(proposed.height(), 1))), 1));
        lastSize_ = ClientSize();
        const bool maximized = (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) != 0;
        QueueInput(WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                   MakeSizeLParam(lastSize_.x, lastSize_.y));
        Invalidate(ClientRect());
        break;
    }
    case SDL_WINDOWEVENT_MOVED: {
        if (expecting_) {
            expecting_ = false;
            // A shift right and down by at most a frame's size is the window manager's frame.
            const std::int32_t dx = e.data1 - expected_.x, dy = e.data2 - expected_.y;
            if ((dx != 0 || dy != 0) && dx >= 0 && dy >= 0 && dx <= kMaxFrameShift && dy <= kMaxFrameShift) {
                SDL_SetWindowPosition(window_, expected_.x, expected_.y);
                break;
            }
        }
        Rect proposed = WindowRect();
        Send(WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&proposed));
        QueueInput(WM_MOVE, 0, MakePointLParam(proposed.left, proposed.top));
        break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        QueueInput(WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED: {
        lastSize_ = ClientSize();
        const bool maximized = e.event == SDL_WINDOWEVENT_MAXIMIZED;
        QueueInput(WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                   MakeSizeLParam(lastSize_.x, lastSize_.y));
        Invalidate(ClientRect());
        break;
    }
    case SDL_WINDOWEVENT_CLOSE:
        QueueInput(WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        QueueInput(WM_KILLFOCUS, 0, 0);
        break;
    default:
        break;
    }
}

void SdlWindow::HandleMouse(const SDL_Event& e) {
    const Point size = DeviceSize();
    const int unit = Unit();
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x * unit < size.x && y * unit < size.y; };
    // The logical pixel under a point of SDL's.
    auto logical = [&](int x, int y) {
        return MakePointLParam(scale_.ToLogical(x * unit), scale_.ToLogical(y * unit));
    };
    switch (e.type) {
    case SDL_MOUSEMOTION:
        if (hasCapture() || inside(e.motion.x, e.motion.y))
            QueueInput(WM_MOUSEMOVE, ButtonFlags(e.motion.state), logical(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        std::uint32_t message;
        if (e.button.button == SDL_BUTTON_LEFT)
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e.button.button == SDL_BUTTON_RIGHT)
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        else
            break;
        QueueInput(message, ButtonFlags(SDL_GetMouseState(nullptr, nullptr)),
                   logical(e.button.x, e.button.y));
        break;
    }
    case SDL_MOUSEWHEEL: {
        float notches = e.wheel.preciseY;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        wheelRest_ += notches * WHEEL_DELTA;
        const auto delta = static_cast<std::int32_t>(wheelRest_);
        if (delta == 0)
            break;
        wheelRest_ -= static_cast<float>(delta);
        const Rect r = WindowRect();
        QueueInput(WM_MOUSEWHEEL, MakeWheelWParam(delta, ButtonFlags(SDL_GetMouseState(nullptr, nullptr))),
                   MakePointLParam(r.left + scale_.ToLogical(e.wheel.mouseX * unit),
                                   r.top + scale_.ToLogical(e.wheel.mouseY * unit)));
        break;
    }
    default:
        break;
    }
}

void SdlWindow::HandleText(const SDL_Event& e) {
    if (e.type == SDL_TEXTINPUT) {
        // The input method commits: the composition (if any) ends and its result is typed.
        EndComposition();
        QueueText(Utf8ToUtf16(e.text.text));
        return;
    }
    const std::u16string text = Utf8ToUtf16(e.edit.text);
    if (text.empty()) {
        EndComposition();
        return;
    }
    // SDL counts the caret in characters; the program counts UTF-16 units.
    std::int32_t caret = 0;
    for (std::int32_t characters = 0;
         caret < static_cast<std::int32_t>(text.size()) && characters < e.edit.start; ++characters) {
        const char16_t unit = text[static_cast<std::size_t>(caret)];
        caret +=
            (unit >= 0xD800 && unit < 0xDC00 && caret + 1 < static_cast<std::int32_t>(text.size())) ? 2 : 1;
    }
    UpdateComposition(text, caret);
}

} // namespace platform::linux_backend
