// The desktop's scale on Linux: the environment first, then the X resource database's Xft.dpi.

#include "platform/DeviceScale.h"
#include "platform/Environment.h"

#include <X11/Xlib.h>

namespace platform {

namespace {

// The RESOURCE_MANAGER text of the display named by DISPLAY, when there is one.
std::optional<std::string> ReadResourceText() {
    if (!GetEnv("DISPLAY"))
        return std::nullopt;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    std::optional<std::string> text;
    if (const char* resources = XResourceManagerString(display))
        text = std::string(resources);
    XCloseDisplay(display);
    return text;
}

} // namespace

DeviceScale DesktopDeviceScale(std::optional<double> outputScale) {
    DesktopScaleSources sources;
    sources.vantriScale = GetEnv("VANTRI_SCALE");
    sources.outputScale = outputScale;
    sources.gdkScale = GetEnv("GDK_SCALE");
    // The display is asked only when nothing before it named a usable scale.
    const bool named = (sources.vantriScale && ParseDeviceScale(*sources.vantriScale)) ||
                       (outputScale && DeviceScale::FromFactor(*outputScale)) ||
                       (sources.gdkScale && ParseDeviceScale(*sources.gdkScale));
    if (!named)
        sources.resourceText = ReadResourceText();
    return ChooseDeviceScale(sources);
}

} // namespace platform
