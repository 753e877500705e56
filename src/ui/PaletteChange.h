#pragma once
// Giving a window a new palette while it is shown.

#include "ui/MyControlBase.h"

// Makes `palette` the window's and, when it differs from the one before, redraws `root` and everything
// under it (lists render their rows anew).
void ChangePalette(MyWindowContext& context, MyControlBase& root, const MyPalette& palette);
