#pragma once
// The window's controls as assistive technology (a screen reader) sees them (Linux: AT-SPI 2 on the
// accessibility bus; Windows: MSAA through the window's WM_GETOBJECT). The program describes its control
// tree as a snapshot of nodes and publishes it; the backend answers the screen reader from the last
// snapshot (on Linux on a thread of its own, so the reader never waits for the user-interface thread; on
// Windows on the window's thread between its messages, as COM hands it the reader's calls), and no
// control is touched by it. What the reader asks the program to do (press a control) comes back as a
// window message.
//
// Threads: Publish and Announce are called on the user-interface thread only. Actions are posted to the
// window given to CreateAccessibility as message `actionMessage`, wParam the node's id and lParam an
// AccessibleAction; the window performs them like the keyboard would. Nothing is posted after the
// object is destroyed.

#include "platform/PostTarget.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class AccessibleRole : std::uint8_t {
    Frame,        // the window
    Panel,        // a group of controls
    Label,        // a text to read (which may also be clicked)
    PushButton,   // a button that acts when pressed
    ToggleButton, // a button that stays in or out (`checked`)
    CheckBox,     // an option with a label (`checked`)
    Slider,       // a value between a minimum and a maximum
    List,         // a list whose rows follow it as ListItem nodes
    ListItem,     // one row of a list
    Entry,        // a one-line text input
    PageTab,      // a tab that switches the page shown
};

// A node's states, as bits.
enum AccessibleState : std::uint32_t {
    kAccessibleEnabled = 1u << 0,   // enabled and sensitive
    kAccessibleShowing = 1u << 1,   // on screen now (the control and all its parents shown)
    kAccessibleVisible = 1u << 2,   // not hidden itself
    kAccessibleFocusable = 1u << 3, // can take the keyboard focus
    kAccessibleFocused = 1u << 4,   // holds the keyboard focus
    kAccessibleCheckable = 1u << 5,
    kAccessibleChecked = 1u << 6,
    kAccessibleSelectable = 1u << 7,
    kAccessibleSelected = 1u << 8,
    kAccessibleEditable = 1u << 9,
};

// What the reader asks for: the lParam of each action message.
enum class AccessibleAction : std::intptr_t {
    Click = 0, // press the control (a list's row: as Enter on that row)
    Focus = 1, // give the control the keyboard focus
};

struct AccessibleNode {
    // Unique among the nodes of one snapshot and kept by a control (or a list's row) from one snapshot
    // to the next while it exists. Never 0.
    std::uint32_t id = 0;
    // The index of the parent node in the snapshot's `nodes`; -1 for the first node (the window).
    // Parents come before their children, and children of one parent in their order.
    std::int32_t parent = -1;
    AccessibleRole role = AccessibleRole::Panel;
    std::u16string name;
    std::u16string description;
    std::uint32_t states = 0; // AccessibleState bits
    // Client coordinates of the window, pixels.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // The node can be pressed (the action "click").
    bool clickable = false;
    // Sliders: the value, its range and its step, and the value as a text ("45 %").
    bool hasValue = false;
    double value = 0;
    double minimum = 0;
    double maximum = 0;
    double step = 0;
    std::u16string valueText;
    // Entries: the text typed.
    std::u16string text;

    bool operator==(const AccessibleNode&) const = default;
};

struct AccessibleTree {
    std::u16string applicationName;
    // Where the client area's top-left corner lies on the screen, pixels.
    std::int32_t clientLeft = 0;
    std::int32_t clientTop = 0;
    // The window first; empty while there is no window to describe.
    std::vector<AccessibleNode> nodes;
};

class Accessibility {
public:
    virtual ~Accessibility() = default;
    // Whether a reader can see the program (an accessibility bus was found and the program registered
    // with it). It may turn true some time after creation, as registering goes on in the background.
    virtual bool available() const = 0;
    // Publishes `tree`; the reader is told of what changed since the last one (focus, states, names,
    // children).
    virtual void Publish(AccessibleTree tree) = 0;
    // Has the reader say `text` politely (after what it is saying), as from the node `id`.
    virtual void Announce(std::uint32_t id, const std::u16string& text) = 0;
};

// The backend for `window`: registers with the desktop's accessibility bus when there is one (and the
// environment has not turned assistive technology off with NO_AT_BRIDGE=1). Without a bus it does
// nothing at all. On Windows it answers for `window` when that is a window of the desktop window system
// (and does nothing for any other), entering the calling thread into a single-threaded COM apartment.
std::unique_ptr<Accessibility> CreateAccessibility(PostTarget* window, std::uint32_t actionMessage);

} // namespace platform
