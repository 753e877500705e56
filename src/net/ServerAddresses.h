#pragma once
// Where the station directory and the update server are. Each has a compiled-in default, overridden by an
// environment variable of the form host[:port] (port 80 when omitted; an IPv6 address in brackets,
// "[::1]:8080"). A value that does not parse is ignored and the default used.

#include "net/StationConnectionData.h"

#include <optional>
#include <string>
#include <string_view>

// Defaults: the station server of a local demo archive.
constexpr const char* kDefaultDirectoryServer = "localhost:8080";
constexpr const char* kDefaultUpdateServer = "localhost:8080";

// Parses host[:port] into a record with no name, station 0 and base path "/"; nothing when malformed
// (empty host, a port that is not a decimal number from 1 to 65535).
std::optional<StationConnectionData> ParseServerAddress(std::string_view text);

// The station directory server: VANTRI_DIRECTORY, else the default.
StationConnectionData DirectoryServerConnectionData();
// The update server: VANTRI_UPDATE_SERVER, else the default.
StationConnectionData UpdateServerConnectionData();

// The web link base: the address, ending in "/", to which web links and the program's web pages are
// appended. VANTRI_WEB_LINK_BASE when set (a "/" is added when it lacks one), else the directory
// server's own address over http.
std::string WebLinkBase();
