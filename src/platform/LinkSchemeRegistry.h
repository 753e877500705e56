#pragma once
// The user's registration of a link scheme ("vantri:"): which command the desktop runs for a link of the
// scheme, and making this program that command. The check-and-repair logic lives above; this layer only
// reads and writes what the desktop keeps. User-interface thread only.
//
// Linux: a desktop entry "<scheme>.desktop" in $XDG_DATA_HOME/applications (default
// ~/.local/share/applications) with MimeType x-scheme-handler/<scheme>, made the default for that type in
// $XDG_CONFIG_HOME/mimeapps.list (default ~/.config/mimeapps.list). Both files are written atomically,
// through a new file of a unique name, keeping the old file's mode; a file with further names (hard links)
// is rewritten in place instead, so that the links hold. A mimeapps.list written by someone else keeps
// every other line as it was, and its byte-order mark. A "<scheme>.desktop" that this program did not
// write (its command lacks the program's marker) is never replaced: the registration is then not made.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The command of the handler the desktop would start for a link of `scheme` (Linux: the Exec value of
// the default desktop entry for x-scheme-handler/<scheme>, exactly as the entry holds it). Nothing when no
// handler is registered or its command cannot be read.
std::optional<std::u16string> ReadLinkSchemeCommand(std::u16string_view scheme);

// The command, in the form ReadLinkSchemeCommand answers, that starts `programPath` with the link and
// then `marker` as its arguments. Empty when the path cannot be written in a command (a control
// character in it).
std::u16string MakeLinkSchemeCommand(std::u16string_view programPath, std::u16string_view marker);

// Makes `command` (from MakeLinkSchemeCommand) the user's handler for `scheme`, replacing any other.
// `displayName` names the program in menus, `comment` says what it does and `iconName` is its icon.
// False when a file could not be written; what was already there then stays whole.
bool WriteLinkSchemeRegistration(std::u16string_view scheme, std::u16string_view command,
                                 std::u16string_view displayName, std::u16string_view comment,
                                 std::u16string_view iconName);

} // namespace platform
