#pragma once
// The numeric window messages the program's windows receive, their wParam/lParam packing, and the
// small value types the window layer speaks in. The numbers and packings are those of Win32, so the
// user-interface code keeps one handler table for every platform.

#include <cstdint>

namespace platform {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// Left and top inclusive, right and bottom exclusive, in pixels.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const Rect&) const = default;
};

// Smallest rectangle holding both; an empty operand does not count.
inline Rect UnionRect(const Rect& a, const Rect& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
            a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

inline Rect IntersectRect(const Rect& a, const Rect& b) {
    Rect r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
           a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    return r.empty() ? Rect{} : r;
}

// A view of 32-bit pixels (0xAARRGGBB, as a 32-bit DIB stores them). `stride` counts pixels from one
// row to the row below it and may be negative for bottom-up memory; `pixels` points at the top row.
struct PixelView {
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;

    std::uint32_t* row(std::int32_t y) const { return pixels + static_cast<std::intptr_t>(y) * stride; }
};

// Message numbers.
enum : std::uint32_t {
    WM_NULL = 0x0000,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_KILLFOCUS = 0x0008, // the window lost the keyboard focus (a popup: the user went elsewhere)
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_COPYDATA = 0x004A,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102, // wParam: one UTF-16 unit of typed text
    WM_IME_STARTCOMPOSITION = 0x010D,
    WM_IME_ENDCOMPOSITION = 0x010E,
    WM_IME_COMPOSITION = 0x010F, // lParam: GCS_COMPSTR
    WM_COMMAND = 0x0111,
    WM_TIMER = 0x0113,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MOUSEWHEEL = 0x020A,
    WM_SIZING = 0x0214,
    WM_MOVING = 0x0216,
    WM_USER = 0x0400,
};

// WM_SIZE wParam.
inline constexpr std::uintptr_t SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;

// WM_SIZING wParam: the edge being dragged.
inline constexpr std::uintptr_t WMSZ_LEFT = 1, WMSZ_RIGHT = 2, WMSZ_TOP = 3, WMSZ_TOPLEFT = 4,
                                WMSZ_TOPRIGHT = 5, WMSZ_BOTTOM = 6, WMSZ_BOTTOMLEFT = 7, WMSZ_BOTTOMRIGHT = 8;

// WM_IME_COMPOSITION lParam: the text being composed changed.
inline constexpr std::intptr_t GCS_COMPSTR = 0x0008;

// Mouse-message wParam key flags.
inline constexpr std::uintptr_t MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08,
                                MK_MBUTTON = 0x10;

// One notch of the mouse wheel.
constexpr int WHEEL_DELTA = 120;

// Virtual-key codes delivered as the wParam of WM_KEYDOWN and WM_KEYUP.
enum : int {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
    VK_APPS = 0x5D,     // the context-menu key
    VK_ADD = 0x6B,      // the keypad's "+"
    VK_SUBTRACT = 0x6D, // the keypad's "-"
    VK_F1 = 0x70,       // VK_F1 + n - 1 is Fn, up to F12
    // The media keys that seek. Windows gives these no key code (they come as application commands
    // there), so they take two codes it leaves unassigned.
    VK_MEDIA_REWIND = 0x97,
    VK_MEDIA_FAST_FORWARD = 0x98,
    VK_MEDIA_NEXT_TRACK = 0xB0,
    VK_MEDIA_PREV_TRACK = 0xB1,
    VK_MEDIA_STOP = 0xB2,
    VK_MEDIA_PLAY_PAUSE = 0xB3,
    VK_OEM_PLUS = 0xBB,  // the "=+" key
    VK_OEM_MINUS = 0xBD, // the "-_" key
    VK_OEM_4 = 0xDB,     // the "[{" key
    VK_OEM_5 = 0xDC,     // the "\|" key
    VK_OEM_6 = 0xDD,     // the "]}" key
    // Letters and digits are their upper-case ASCII codes ('A' is 0x41, '0' is 0x30).
};

// lParam of a mouse-button or move message: x in the low 16 bits, y in the high 16 bits, each the low
// 16 bits of a two's-complement number, so a point left of or above the client area packs as large
// unsigned halves.
inline std::intptr_t MakePointLParam(std::int32_t x, std::int32_t y) {
    const std::uint32_t packed =
        (static_cast<std::uint32_t>(x) & 0xFFFFu) | ((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16);
    return static_cast<std::intptr_t>(packed);
}
inline std::intptr_t MakeSizeLParam(std::int32_t width, std::int32_t height) {
    return MakePointLParam(width, height);
}

inline std::uint32_t LowWord(std::uintptr_t value) {
    return static_cast<std::uint32_t>(value) & 0xFFFFu;
}
inline std::uint32_t HighWord(std::uintptr_t value) {
    return (static_cast<std::uint32_t>(value) >> 16) & 0xFFFFu;
}
// The halves read as signed 16-bit numbers (GET_X_LPARAM, GET_Y_LPARAM).
inline std::int32_t SignedLowWord(std::uintptr_t value) {
    return static_cast<std::int16_t>(LowWord(value));
}
inline std::int32_t SignedHighWord(std::uintptr_t value) {
    return static_cast<std::int16_t>(HighWord(value));
}

// wParam of WM_MOUSEWHEEL: key flags in the low word, the signed delta's 16 bits in the high word.
inline std::uintptr_t MakeWheelWParam(std::int32_t delta, std::uintptr_t keyFlags) {
    return static_cast<std::uintptr_t>(((static_cast<std::uint32_t>(delta) & 0xFFFFu) << 16) |
                                       (static_cast<std::uint32_t>(keyFlags) & 0xFFFFu));
}

} // namespace platform
