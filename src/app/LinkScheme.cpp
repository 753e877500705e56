#include "app/LinkScheme.h"

#include "app/MySettings.h"
#include "platform/LinkSchemeRegistry.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

#include <optional>

namespace {

std::u16string ProgramPath(std::u16string_view given) {
    return given.empty() ? platform::OwnExecutablePath() : std::u16string(given);
}

} // namespace

void CheckLinkScheme(const MySettings& settings, std::u16string_view programPath) {
    const std::u16string path = ProgramPath(programPath);
    const std::u16string command = platform::MakeLinkSchemeCommand(path, kLinkSchemeMarker);
    if (command.empty())
        return;
    const std::optional<std::u16string> registered = platform::ReadLinkSchemeCommand(kLinkScheme);
    if (!registered) {
        RegisterLinkScheme(path);
        return;
    }
    if (*registered == command)
        return;
    // The program was moved or copied: the registration is ours, only its path is old.
    if (registered->find(kLinkSchemeMarker) != std::u16string::npos) {
        RegisterLinkScheme(path);
        return;
    }
    if (!settings.HasFlag(SettingsFlag_CheckLinkScheme))
        return;
    const platform::MessageBoxResult answer =
        platform::ShowMessageBox(u"Vantri is not the default application for opening vantri: links.\n\r"
                                 u"Do you want to register Vantri as default?",
                                 u"Assign URI scheme", platform::MessageBoxButtons::YesNo);
    if (answer == platform::MessageBoxResult::Yes)
        RegisterLinkScheme(path);
}

void RegisterLinkScheme(std::u16string_view programPath) {
    const std::u16string path = ProgramPath(programPath);
    const std::u16string command = platform::MakeLinkSchemeCommand(path, kLinkSchemeMarker);
    if (command.empty())
        return;
    platform::WriteLinkSchemeRegistration(kLinkScheme, command, u"Vantri",
                                          u"Replay archived radio shows with their track list and chat",
                                          u"vantri");
}
