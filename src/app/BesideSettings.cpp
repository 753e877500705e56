#include "app/BesideSettings.h"

#include "platform/Files.h"

#include <charconv>
#include <span>

std::u16string PathBesideSettings(std::u16string_view settingsPath, std::u16string_view fileName) {
    if (settingsPath.empty())
        return {};
    const std::size_t slash = settingsPath.find_last_of(u"/\\");
    std::u16string path = slash == std::u16string_view::npos
                              ? std::u16string()
                              : std::u16string(settingsPath.substr(0, slash + 1));
    path += fileName;
    return path;
}

bool WriteTextAtomically(std::u16string_view path, std::string_view text) {
    if (path.empty())
        return false;
    return platform::WriteFileAtomically(
        path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool TakeLine(std::string_view& text, std::string_view& line, bool trimBlanks) {
    if (text.empty())
        return false;
    const std::size_t end = text.find('\n');
    line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    while (trimBlanks && !line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return true;
}

bool TakeNumber(std::string_view& text, std::int64_t& value, bool plusAllowed) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (plusAllowed && begin != end && *begin == '+')
        ++begin;
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || next == begin || (next != end && *next != ' ' && *next != '\t'))
        return false;
    text.remove_prefix(static_cast<std::size_t>(next - text.data()));
    return true;
}
