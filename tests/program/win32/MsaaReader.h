#pragma once
// A screen reader's view of a program window through MSAA, for tests whose own headers cannot meet the
// system's (the program's layers declare RECT and POINT of their own): the window's client object and
// the objects under it found by name, read whole, pressed and focused, and the focus events the window
// raises, heard through an out-of-context WinEvent hook.

#include "platform/PostTarget.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace msaareader {

// oleacc's numbers (MsaaReader.cpp checks them against the system's).
enum : long {
    kRoleClient = 0x0A,
    kRolePushButton = 0x2B,
    kRoleCheckButton = 0x2C,
    kRoleSlider = 0x33,
};
enum : long {
    kStateFocused = 0x4,
    kStateChecked = 0x10,
    kStateFocusable = 0x100000,
};

struct Object {
    bool found = false;
    std::u16string name;
    std::u16string value;
    std::u16string defaultAction;
    long role = -1;
    long state = -1;
    // Screen pixels.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

class Reader {
public:
    // Asks `window` (a window of the desktop window system) for its client object.
    explicit Reader(platform::PostTarget* window);
    ~Reader();

    bool connected() const;
    std::u16string WindowTitle() const;
    // The window's client area on the screen.
    Object ClientArea() const;
    Object Client() const;
    long ChildCount() const;
    // The first object under the client object named `name` (depth first).
    Object Find(const std::u16string& name) const;
    // The name of what lies under the screen point, as accHitTest answers it.
    std::u16string NameAt(std::int32_t x, std::int32_t y) const;
    // The name of the object that has the focus, as accFocus answers it; empty for none.
    std::u16string Focused() const;
    // accDoDefaultAction and accSelect(SELFLAG_TAKEFOCUS) on the object named `name`: their HRESULT.
    long DoDefaultAction(const std::u16string& name) const;
    long TakeFocus(const std::u16string& name) const;

    // A key pressed and let go, as the system queues it for the window.
    void PressKey(int virtualKey) const;

    // Hooks EVENT_OBJECT_FOCUS for this process; the names of the objects heard since, in order, read as
    // each event came (AccessibleObjectFromEvent).
    bool ListenForFocus();
    const std::vector<std::u16string>& focusEvents() const;
    void ClearFocusEvents();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace msaareader
