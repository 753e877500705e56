#include "RequestTarget.h"

#include "Text.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace station {
namespace {

RequestParse Refuse(int status, std::string reason) {
    RequestParse parse;
    parse.status = status;
    parse.reason = std::move(reason);
    return parse;
}

bool AllowedByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '?' || c == '&' || c == '=' || c == '.' || c == '_' || c == '-';
}

struct EndpointName {
    std::string_view name;
    Endpoint endpoint;
};

constexpr std::array<EndpointName, 5> kPlainEndpoints = {{
    {"getstations/", Endpoint::Directory},
    {"getstationinfo/", Endpoint::StationInfo},
    {"getstreamdata/", Endpoint::StreamData},
    {"getstreaminfo/", Endpoint::TrackList},
    {"getstreamchat/", Endpoint::Chat},
}};

constexpr std::array<EndpointName, 2> kVersionEndpoints = {{
    {"getvantriversioninfo/version", Endpoint::UpdateInfo},
    {"getvantriupdatedownload/version", Endpoint::UpdateDownload},
}};

// The query parameters one endpoint takes; each may appear once.
struct Parameters {
    std::optional<std::string_view> streamId;
    std::optional<std::string_view> start;
    std::optional<std::string_view> length;
    bool debug = false;
};

// Parses "a=1&b=2&debug" into `parameters`; answers a refusal reason or an empty string.
std::string ParseQuery(std::string_view query, Endpoint endpoint, Parameters& parameters) {
    if (query.empty())
        return {};
    const bool takesStream =
        endpoint == Endpoint::StreamData || endpoint == Endpoint::TrackList || endpoint == Endpoint::Chat;
    const bool takesWindow = endpoint == Endpoint::StreamData;
    for (std::string_view item : Split(query, '&')) {
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        if (equals == std::string_view::npos) {
            if (key != "debug")
                return "unknown parameter '" + std::string(key) + "'";
            if (parameters.debug)
                return "parameter 'debug' given twice";
            parameters.debug = true;
            continue;
        }
        const std::string_view value = item.substr(equals + 1);
        std::optional<std::string_view>* slot = nullptr;
        if (key == "streamid" && takesStream)
            slot = &parameters.streamId;
        else if (key == "start" && takesWindow)
            slot = &parameters.start;
        else if (key == "length" && takesWindow)
            slot = &parameters.length;
        else
            return "unknown parameter '" + std::string(key) + "'";
        if (slot->has_value())
            return "parameter '" + std::string(key) + "' given twice";
        *slot = value;
    }
    return {};
}

// Reads a required number into `value`; answers a refusal reason or an empty string.
std::string RequiredNumber(const std::optional<std::string_view>& text, const char* name, std::uint64_t max,
                           std::uint64_t& value) {
    if (!text)
        return std::string("missing parameter '") + name + "'";
    if (!ParseUnsigned(*text, max, value))
        return std::string("parameter '") + name + "' is not a number from 0 to " + std::to_string(max);
    return {};
}

} // namespace

RequestParse ParseRequestTarget(std::string_view target) {
    if (target.size() > kMaxRequestTarget)
        return Refuse(414, "request target longer than " + std::to_string(kMaxRequestTarget) + " bytes");
    if (!StartsWith(target, "/"))
        return Refuse(400, "request target must start with '/'");
    for (char c : target)
        if (!AllowedByte(c))
            return Refuse(400, "request target holds a byte this server never serves");

    // The two update endpoints carry their "&debug" without a "?", so they are matched on the whole
    // target first.
    RequestParse parse;
    for (const auto& [name, endpoint] : kVersionEndpoints) {
        const std::size_t at = target.find(name);
        if (at == std::string_view::npos || target[at - 1] != '/' ||
            target.substr(0, at).find('?') != std::string_view::npos)
            continue;
        if (target.substr(0, at).find("//") != std::string_view::npos)
            return Refuse(404, "no such resource");
        std::string_view rest = target.substr(at + name.size());
        const std::size_t end = rest.find_first_of("&?");
        const std::string_view digits = rest.substr(0, end);
        const std::string_view tail = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        std::uint64_t version = 0;
        if (!ParseUnsigned(digits, std::numeric_limits<std::int32_t>::max(), version))
            return Refuse(400, "the version must be a number from 0 to 2147483647");
        if (!tail.empty() && tail != "&debug" && tail != "?debug")
            return Refuse(400, "unexpected text after the version");
        parse.request.endpoint = endpoint;
        parse.request.prefix = target.substr(0, at);
        parse.request.version = static_cast<std::int32_t>(version);
        parse.request.debug = !tail.empty();
        parse.ok = true;
        return parse;
    }

    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    const std::size_t pathSlash = path.rfind('/', path.size() >= 2 ? path.size() - 2 : 0);
    if (path.size() < 2 || path.back() != '/' || pathSlash == std::string_view::npos)
        return Refuse(404, "no such resource");
    const std::string_view endpointName = path.substr(pathSlash + 1);
    parse.request.prefix = path.substr(0, pathSlash + 1);
    bool known = false;
    for (const auto& [name, endpoint] : kPlainEndpoints) {
        if (endpointName == name) {
            parse.request.endpoint = endpoint;
            known = true;
        }
    }
    if (!known)
        return Refuse(404, "no such resource");
    if (parse.request.prefix.find("//") != std::string_view::npos)
        return Refuse(404, "no such resource");

    Parameters parameters;
    if (std::string reason = ParseQuery(query, parse.request.endpoint, parameters); !reason.empty())
        return Refuse(400, reason);
    parse.request.debug = parameters.debug;
    const Endpoint endpoint = parse.request.endpoint;
    if (endpoint == Endpoint::StreamData || endpoint == Endpoint::TrackList || endpoint == Endpoint::Chat) {
        std::uint64_t streamId = 0;
        if (std::string reason = RequiredNumber(parameters.streamId, "streamid",
                                                std::numeric_limits<std::uint32_t>::max(), streamId);
            !reason.empty())
            return Refuse(400, reason);
        parse.request.streamId = static_cast<std::uint32_t>(streamId);
    }
    if (endpoint == Endpoint::StreamData) {
        std::uint64_t start = 0;
        std::uint64_t length = 0;
        if (std::string reason =
                RequiredNumber(parameters.start, "start", std::numeric_limits<std::uint64_t>::max(), start);
            !reason.empty())
            return Refuse(400, reason);
        if (std::string reason = RequiredNumber(parameters.length, "length",
                                                std::numeric_limits<std::uint32_t>::max(), length);
            !reason.empty())
            return Refuse(400, reason);
        parse.request.start = start;
        parse.request.length = static_cast<std::uint32_t>(length);
    }
    parse.ok = true;
    return parse;
}

} // namespace station
