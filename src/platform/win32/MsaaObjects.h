#pragma once
// The IAccessible objects a client of the window reads: one for each node of the published tree, made on
// demand for the node's id, and answering from the tree published last. Windows backend only.
//
// Child ids: CHILDID_SELF is the object itself, a positive id the object's child of that (1-based)
// index, and a negative id -N the node N anywhere in the tree, which is how the window's events name
// their node (AccessibleObjectFromEvent asks the window's object for that child).
//
// Threads: the window's thread is a single-threaded apartment, so calls from other processes arrive
// through its message loop; the state is still guarded by a lock, so that a call on another thread (a
// client that unmarshalled into a thread of its own process) reads a whole tree. Nothing here touches a
// control: actions are posted to the window.

#include "platform/PostTarget.h"
#include "platform/win32/MsaaTree.h"

#include <windows.h>

#include <oleacc.h>

#include <cstdint>
#include <memory>
#include <mutex>

namespace platform::msaa {

// What the backend and its objects share; objects outlive the backend while clients hold them, and then
// answer that they are disconnected.
struct Shared {
    std::mutex lock;
    // Guarded by `lock`.
    HWND hwnd = nullptr;
    PostTarget* window = nullptr;
    std::uint32_t actionMessage = 0;
    bool connected = true;
    Tree tree;

    void Post(std::uint32_t id, AccessibleAction action) {
        if (window)
            window->Post({actionMessage, id, static_cast<std::intptr_t>(action)});
    }
};

// IAccessible's interface id is taken with __uuidof: MinGW's oleacc import library links IID_IAccessible
// to a jump into oleacc.dll rather than to the GUID itself.

// A new object for node `id` (0: the window node) with one reference, which the caller owns.
IAccessible* NewNodeObject(std::shared_ptr<Shared> shared, std::uint32_t id);

} // namespace platform::msaa
