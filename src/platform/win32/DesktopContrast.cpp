#include "platform/DesktopContrast.h"

#include <windows.h>

namespace platform {

DesktopContrast ReadDesktopContrast() {
    DesktopContrast result;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0))
        return result;
    result.system = (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    if (*result.system) {
        DesktopContrast::Colours colours;
        colours.window = GetSysColor(COLOR_WINDOW);
        colours.windowText = GetSysColor(COLOR_WINDOWTEXT);
        colours.highlight = GetSysColor(COLOR_HIGHLIGHT);
        colours.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
        colours.grayText = GetSysColor(COLOR_GRAYTEXT);
        colours.hotLight = GetSysColor(COLOR_HOTLIGHT);
        result.systemColours = colours;
    }
    return result;
}

std::unique_ptr<DesktopContrastWatch> WatchDesktopContrast(std::function<void()>) {
    return nullptr;
}

} // namespace platform
