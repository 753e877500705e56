#pragma once
// Icons made from the program's 32-bit ARGB images, for window classes and the notification area.

#include "platform/Window.h"

#include <windows.h>

namespace platform {

// A new icon (the caller destroys it with DestroyIcon); null when the image is empty or malformed.
HICON CreateIconFromImage(const IconImage& image);

} // namespace platform
