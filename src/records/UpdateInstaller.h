#pragma once
// What the update server offers and the player accepts of an update installer, shared by both.
//
// The makers sign each installer with minisign; the signature's trusted comment, which the signature
// covers together with the file, names the version the installer installs: "Vantri 0.20 installer",
// optionally followed by a tab and more text. The player runs only an installer whose signed version is
// newer than its own, so an old installer, however well signed, never takes a player back.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The largest installer the server sends and the player downloads (bytes).
inline constexpr std::size_t kMaxUpdateInstallerBytes = std::size_t(256) << 20;

// The trusted comment that names `version` (a program version number such as 20).
std::string UpdateTrustedComment(std::uint32_t version);

// The version a trusted comment names; nothing when it is not of the form above.
std::optional<std::uint32_t> UpdateVersionFromTrustedComment(std::string_view comment);
