#pragma once
// Whether the window is drawn in high contrast. The environment variable VANTRI_HIGH_CONTRAST decides
// when it is "1" (on) or "0" (off); otherwise the desktop's setting does, taken from the first source
// that can be read: Windows' own high-contrast switch, the settings portal's "contrast", GNOME's
// "high-contrast" (through the portal), a GTK_THEME naming a high-contrast theme. When the desktop
// says nothing, or says off, the settings option (SettingsFlag_HighContrast, off by default) turns it on.

#include "platform/DesktopContrast.h"

#include <optional>
#include <string>
#include <string_view>

enum class ContrastSource {
    None,        // nothing asked for it: the skin's own look
    Environment, // VANTRI_HIGH_CONTRAST
    System,      // Windows' high-contrast switch
    Portal,      // org.freedesktop.appearance contrast
    Gnome,       // org.gnome.desktop.a11y.interface high-contrast
    ThemeName,   // GTK_THEME
    Option,      // the settings option
};

struct ContrastChoice {
    bool high = false;
    // Where the answer came from: for "off", the source that said so (None when none was readable).
    ContrastSource source = ContrastSource::None;
};

constexpr std::string_view kHighContrastVariable = "VANTRI_HIGH_CONTRAST";

// The environment's forced answer: "1" on, "0" off, anything else (or unset) no answer.
std::optional<bool> ForcedContrast(const std::optional<std::string>& variable);

// The desktop's answer alone, from the first readable source in the order above.
ContrastChoice DesktopContrastChoice(const platform::DesktopContrast& desktop);

// The whole choice: the environment, then the desktop, then the option.
ContrastChoice ChooseContrast(const std::optional<std::string>& variable,
                              const platform::DesktopContrast& desktop, bool option);
