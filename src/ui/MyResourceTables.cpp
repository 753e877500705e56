#include "ui/MyResourceTables.h"

#include "platform/Resources.h"
#include "platform/Utf.h"
#include "platform/WindowMessages.h"

#include <charconv>

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Calls `line` for every line that is not blank and not a comment, trimmed.
template <typename F> void ForEachLine(std::span<const unsigned char> bytes, F line) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!raw.empty() && raw.front() != '#')
            line(raw);
    }
}

// Splits "<number> <rest>"; false when the number is missing or outside 1..65535 or the rest is empty.
bool SplitCommand(std::string_view line, std::uint16_t& command, std::string_view& rest) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (error != std::errc() || value == 0 || value > 0xFFFF || end == line.data() + line.size() ||
        (*end != ' ' && *end != '\t'))
        return false;
    rest = Trim(std::string_view(end, static_cast<std::size_t>(line.data() + line.size() - end)));
    command = static_cast<std::uint16_t>(value);
    return !rest.empty();
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

int KeyFromName(std::string_view name) {
    using namespace platform;
    if (name.size() == 1) {
        const char c = name.front();
        if (c >= 'A' && c <= 'Z')
            return c;
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 'A';
        if (c >= '0' && c <= '9')
            return c;
        if (c == '[')
            return VK_OEM_4;
        if (c == '\\')
            return VK_OEM_5;
        if (c == ']')
            return VK_OEM_6;
        if (c == '-')
            return VK_OEM_MINUS;
        if (c == '=')
            return VK_OEM_PLUS;
        return 0;
    }
    if (name == "MediaPlayPause")
        return VK_MEDIA_PLAY_PAUSE;
    if (name == "MediaStop")
        return VK_MEDIA_STOP;
    if (name == "MediaNext")
        return VK_MEDIA_NEXT_TRACK;
    if (name == "MediaPrev")
        return VK_MEDIA_PREV_TRACK;
    if (name == "MediaRewind")
        return VK_MEDIA_REWIND;
    if (name == "MediaForward")
        return VK_MEDIA_FAST_FORWARD;
    if (name == "Left")
        return VK_LEFT;
    if (name == "Right")
        return VK_RIGHT;
    if (name == "NumMinus")
        return VK_SUBTRACT;
    if (name == "NumPlus")
        return VK_ADD;
    if (name.size() >= 2 && name.front() == 'F') {
        int n = 0;
        const auto [end, error] = std::from_chars(name.data() + 1, name.data() + name.size(), n);
        if (error == std::errc() && end == name.data() + name.size() && n >= 1 && n <= 12)
            return VK_F1 + n - 1;
    }
    return 0;
}

} // namespace

std::vector<MyMenuItem> ParseMenuText(std::span<const unsigned char> bytes) {
    std::vector<MyMenuItem> items;
    ForEachLine(bytes, [&](std::string_view line) {
        if (line == "-") {
            items.push_back(MyMenuItem{});
            return;
        }
        std::uint16_t command = 0;
        std::string_view text;
        if (SplitCommand(line, command, text))
            items.push_back(MyMenuItem{command, Utf8ToUtf16(std::string(text))});
    });
    return items;
}

std::vector<MyAccelerator> ParseAcceleratorText(std::span<const unsigned char> bytes) {
    std::vector<MyAccelerator> table;
    ForEachLine(bytes, [&](std::string_view line) {
        MyAccelerator entry;
        std::string_view key;
        if (!SplitCommand(line, entry.command, key))
            return;
        for (;;) {
            if (StartsWith(key, "Ctrl+"))
                entry.control = true, key.remove_prefix(5);
            else if (StartsWith(key, "Shift+"))
                entry.shift = true, key.remove_prefix(6);
            else if (StartsWith(key, "Alt+"))
                entry.alt = true, key.remove_prefix(4);
            else
                break;
        }
        entry.virtualKey = KeyFromName(key);
        if (entry.virtualKey != 0)
            table.push_back(entry);
    });
    return table;
}

std::vector<MyMenuItem> LoadMenuResource(int resourceId) {
    return ParseMenuText(platform::FindResource(resourceId));
}

std::vector<MyAccelerator> LoadAcceleratorResource(int resourceId) {
    return ParseAcceleratorText(platform::FindResource(resourceId));
}

std::uint16_t FindAccelerator(const std::vector<MyAccelerator>& table, int virtualKey, bool control,
                              bool shift, bool alt) {
    for (const MyAccelerator& entry : table) {
        if (entry.virtualKey == virtualKey && entry.control == control && entry.shift == shift &&
            entry.alt == alt)
            return entry.command;
    }
    return 0;
}
