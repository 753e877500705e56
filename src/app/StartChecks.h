#pragma once
// The two questions the program may ask at start: whether to take over the "vantri:" link scheme, and
// whether to install a newer version the update server offers. User-interface thread only.
//
// They are reached only through these two calls, so that the desktop integration can answer them.

#include <cstdint>

struct MyAppContext;

// Checks the link-scheme registration after the main window is built. Does nothing yet.
void CheckLinkSchemeAtStart(MyAppContext* context);

// The update server offers `version` (newer than this program's). Does nothing yet.
void AskForApplicationUpdate(MyAppContext* context, std::uint32_t version);
