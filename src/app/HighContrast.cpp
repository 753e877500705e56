#include "app/HighContrast.h"

std::optional<bool> ForcedContrast(const std::optional<std::string>& variable) {
    if (variable == "1")
        return true;
    if (variable == "0")
        return false;
    return std::nullopt;
}

ContrastChoice DesktopContrastChoice(const platform::DesktopContrast& desktop) {
    const std::pair<const std::optional<bool>*, ContrastSource> sources[] = {
        {&desktop.system, ContrastSource::System},
        {&desktop.portal, ContrastSource::Portal},
        {&desktop.gnome, ContrastSource::Gnome},
        {&desktop.themeName, ContrastSource::ThemeName},
    };
    for (const auto& [value, source] : sources) {
        if (*value)
            return ContrastChoice{**value, source};
    }
    return ContrastChoice{};
}

ContrastChoice ChooseContrast(const std::optional<std::string>& variable,
                              const platform::DesktopContrast& desktop, bool option) {
    if (const std::optional<bool> forced = ForcedContrast(variable))
        return ContrastChoice{*forced, ContrastSource::Environment};
    const ContrastChoice fromDesktop = DesktopContrastChoice(desktop);
    if (fromDesktop.high)
        return fromDesktop;
    if (option)
        return ContrastChoice{true, ContrastSource::Option};
    return fromDesktop;
}
