#pragma once
// The "vantri:" link scheme's registration for the current user: checked once per start, right after
// the main window is built, repaired silently when it is missing or points at an earlier place of this
// program, and taken over from another program only after asking. User-interface thread only.

#include <string>
#include <string_view>

class MySettings;

// The word after the link in the registered command; it marks a registration made by this program,
// wherever the program file was.
constexpr std::u16string_view kLinkSchemeMarker = u"kpwx318";
constexpr std::u16string_view kLinkScheme = u"vantri";

// Checks the registration against `programPath` (this program's file when empty) and registers when it
// is missing, when it holds the marker but another command, or when the user agrees to take it over
// from another program (asked only with SettingsFlag_CheckLinkScheme set).
void CheckLinkScheme(const MySettings& settings, std::u16string_view programPath = {});

// Writes the registration for `programPath` (this program's file when empty). Failures are not
// reported: the next start tries again.
void RegisterLinkScheme(std::u16string_view programPath = {});
