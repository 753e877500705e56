#include "ui/Palette.h"

#include <algorithm>
#include <cmath>

MyPalette HighContrastPalette() {
    MyPalette palette;
    palette.highContrast = true;
    palette.focusRing = RGB(0x00, 0xFF, 0xFF);
    palette.focusRingWidth = 3;
    return palette;
}

MyPalette SystemHighContrastPalette(const platform::DesktopContrast::Colours& colours) {
    MyPalette palette = HighContrastPalette();
    palette.background = colours.window;
    palette.text = colours.windowText;
    palette.dimText = colours.windowText;
    palette.selectionBackground = colours.highlight;
    palette.selectionText = colours.highlightText;
    palette.link =
        ContrastRatio(colours.hotLight, colours.window) >= 7.0 ? colours.hotLight : colours.windowText;
    palette.border = colours.windowText;
    palette.focusRing = colours.highlight;
    return palette;
}

MyPalette PaletteFor(const ContrastChoice& choice, const platform::DesktopContrast& desktop) {
    if (!choice.high)
        return MyPalette{};
    if (choice.source == ContrastSource::System && desktop.systemColours)
        return SystemHighContrastPalette(*desktop.systemColours);
    return HighContrastPalette();
}

namespace {

double Linear(unsigned channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(COLORREF colour) {
    return 0.2126 * Linear(colour & 0xFF) + 0.7152 * Linear((colour >> 8) & 0xFF) +
           0.0722 * Linear((colour >> 16) & 0xFF);
}

} // namespace

double ContrastRatio(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
