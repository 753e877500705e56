#pragma once
// What the desktop says about high contrast, read once at start. Each source is empty when it cannot be
// read (no session bus, no settings portal, no such key, no theme named in the environment); the program
// decides from the first one that answers (app/HighContrast.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

struct DesktopContrast {
    // The settings portal's org.freedesktop.appearance "contrast": true for 1 (higher contrast).
    std::optional<bool> portal;
    // GNOME's org.gnome.desktop.a11y.interface "high-contrast", as the settings portal hands it on.
    std::optional<bool> gnome;
    // GTK_THEME names a high-contrast theme ("HighContrast", "HighContrastInverse"); empty when unset.
    std::optional<bool> themeName;
    // Windows: SPI_GETHIGHCONTRAST with HCF_HIGHCONTRASTON.
    std::optional<bool> system;

    // The system's colours (0x00BBGGRR, as GDI's COLORREF) while Windows says high contrast is on.
    struct Colours {
        std::uint32_t window = 0;        // COLOR_WINDOW
        std::uint32_t windowText = 0;    // COLOR_WINDOWTEXT
        std::uint32_t highlight = 0;     // COLOR_HIGHLIGHT
        std::uint32_t highlightText = 0; // COLOR_HIGHLIGHTTEXT
        std::uint32_t grayText = 0;      // COLOR_GRAYTEXT
        std::uint32_t hotLight = 0;      // COLOR_HOTLIGHT (links)
    };
    std::optional<Colours> systemColours;
};

// How long reading the portal may take at most, in milliseconds (a portal started on demand is slow
// the first time; the window opens without it rather than waiting).
constexpr int kDesktopContrastTimeoutMilliseconds = 1000;

// Reads every source this system has. Blocks for at most kDesktopContrastTimeoutMilliseconds per bus
// call. Any thread.
DesktopContrast ReadDesktopContrast();

// Follows the desktop's setting while it lives: `changed` runs, on a thread of the watch's own, each time
// the settings portal says that one of the two keys above changed (the caller reads them again). It may
// not block; posting to a window is what it is for.
class DesktopContrastWatch {
public:
    virtual ~DesktopContrastWatch() = default;
};

// Null where no change can be followed: no session bus; Windows (whose switch is read at start only).
std::unique_ptr<DesktopContrastWatch> WatchDesktopContrast(std::function<void()> changed);

} // namespace platform
