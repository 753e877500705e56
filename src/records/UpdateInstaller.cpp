#include "records/UpdateInstaller.h"

#include "records/ProgramVersion.h"

namespace {

constexpr std::string_view kPrefix = "Vantri ";
constexpr std::string_view kSuffix = " installer";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string UpdateTrustedComment(std::uint32_t version) {
    return std::string(kPrefix) + FormatProgramVersion(version) + std::string(kSuffix);
}

std::optional<std::uint32_t> UpdateVersionFromTrustedComment(std::string_view comment) {
    if (const std::size_t tab = comment.find('\t'); tab != std::string_view::npos)
        comment = comment.substr(0, tab);
    if (!comment.starts_with(kPrefix) || !comment.ends_with(kSuffix))
        return std::nullopt;
    const std::string_view version =
        comment.substr(kPrefix.size(), comment.size() - kPrefix.size() - kSuffix.size());
    // MAJOR.MINOR: a major without leading zeros, a minor of exactly two digits.
    const std::size_t dot = version.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 7 || version.size() != dot + 3 ||
        (version[0] == '0' && dot > 1))
        return std::nullopt;
    std::uint32_t major = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (!IsDigit(version[i]))
            return std::nullopt;
        major = major * 10 + static_cast<std::uint32_t>(version[i] - '0');
    }
    if (!IsDigit(version[dot + 1]) || !IsDigit(version[dot + 2]))
        return std::nullopt;
    return major * 100 + static_cast<std::uint32_t>((version[dot + 1] - '0') * 10 + (version[dot + 2] - '0'));
}
