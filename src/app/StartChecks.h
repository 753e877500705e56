#pragma once
// The check the program makes once the main window is built: whether the "vantri:" link scheme still
// reaches this program (repaired silently, or taken over after asking). User-interface thread only.
// The update question lives with the update exchanges (net/UpdatePrompt.h).

struct MyAppContext;

// Checks the link-scheme registration with the context's settings (nothing without settings).
void CheckLinkSchemeAtStart(MyAppContext* context);
