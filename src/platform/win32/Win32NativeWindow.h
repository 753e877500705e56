#pragma once
// The native window behind a window of the desktop window system, for the Windows backends that talk to
// the system about that window (assistive technology).

#include "platform/PostTarget.h"

#include <windows.h>

namespace platform {

// The HWND of `target` when it is a window of the Win32 window system; null for anything else (a window
// of the headless window system, a thread).
HWND NativeWindowOf(PostTarget* target);

} // namespace platform
