#include "net/ServerAddresses.h"

#include "platform/Environment.h"

namespace {

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

StationConnectionData FromEnvironment(const char* variable, const char* fallback) {
    if (std::optional<std::string> value = platform::GetEnv(variable)) {
        if (std::optional<StationConnectionData> parsed = ParseServerAddress(*value))
            return *parsed;
    }
    return *ParseServerAddress(fallback);
}

} // namespace

std::optional<StationConnectionData> ParseServerAddress(std::string_view text) {
    std::string_view host = text;
    std::uint16_t port = 80;
    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            std::optional<std::uint16_t> parsed = ParsePort(rest.substr(1));
            if (!parsed)
                return std::nullopt;
            port = *parsed;
        }
    } else {
        std::size_t colon = text.find(':');
        // More than one colon without brackets is a bare IPv6 address with no port.
        if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
            host = text.substr(0, colon);
            std::optional<std::uint16_t> parsed = ParsePort(text.substr(colon + 1));
            if (!parsed)
                return std::nullopt;
            port = *parsed;
        }
    }
    if (host.empty())
        return std::nullopt;
    for (char c : host) {
        // Host names go into the request's HOST: line; nothing that could end or split it.
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return std::nullopt;
    }
    StationConnectionData data{std::string(host)};
    data.port = port;
    return data;
}

StationConnectionData DirectoryServerConnectionData() {
    return FromEnvironment("VANTRI_DIRECTORY", kDefaultDirectoryServer);
}

StationConnectionData UpdateServerConnectionData() {
    return FromEnvironment("VANTRI_UPDATE_SERVER", kDefaultUpdateServer);
}

std::string WebLinkBase() {
    if (std::optional<std::string> value = platform::GetEnv("VANTRI_WEB_LINK_BASE");
        value && !value->empty()) {
        std::string base = *value;
        if (base.back() != '/')
            base += '/';
        return base;
    }
    const StationConnectionData directory = DirectoryServerConnectionData();
    const bool bareIpv6 = directory.host.find(':') != std::string::npos;
    std::string base = "http://" + (bareIpv6 ? "[" + directory.host + "]" : directory.host);
    if (directory.port != 80)
        base += ":" + std::to_string(directory.port);
    return base + "/";
}
