// The main window's high contrast: the choice between the environment, the desktop and the option, and
// the palette it gives the window's controls.

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "platform/Environment.h"
#include "program/MainWindow.h"
#include "ui/PaletteChange.h"

void MainWindow::ApplyContrast() {
    const std::optional<std::string> variable = platform::GetEnv(std::string(kHighContrastVariable));
    // The desktop is asked once, and not at all while the environment decides.
    if (!ForcedContrast(variable) && !desktopContrast)
        desktopContrast = platform::ReadDesktopContrast();
    const platform::DesktopContrast desktop = desktopContrast.value_or(platform::DesktopContrast{});
    const MySettings* settings = appContext ? appContext->settings : nullptr;
    contrast = ChooseContrast(variable, desktop, settings && settings->HasFlag(SettingsFlag_HighContrast));
    if (context)
        ChangePalette(*context, *this, PaletteFor(contrast, desktop));
}

void MainWindow::OnDesktopContrastChanged() {
    desktopContrast.reset();
    ApplyContrast();
}

void MainWindow::ToggleHighContrast() {
    MySettings* settings = appContext ? appContext->settings : nullptr;
    if (!settings)
        return;
    settings->SetFlag(SettingsFlag_HighContrast, !settings->HasFlag(SettingsFlag_HighContrast));
    settings->Save();
    ApplyContrast();
}
