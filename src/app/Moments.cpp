#include "app/Moments.h"

#include "app/BesideSettings.h"

#include "platform/Files.h"
#include "platform/Utf.h"

#include <charconv>
#include <optional>

namespace {

std::u16string Cut(std::u16string_view text) {
    std::u16string cut(text.substr(0, MyMoments::kMaxTextLength));
    // Never end on the first half of a surrogate pair.
    if (!cut.empty() && cut.back() >= 0xD800 && cut.back() <= 0xDBFF)
        cut.pop_back();
    return cut;
}

void AppendEscaped(std::string& out, std::u16string_view text) {
    for (const char c : Utf16ToUtf8(text)) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
}

std::optional<std::u16string> Unescape(std::string_view field) {
    std::string utf8;
    utf8.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            utf8 += field[i];
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i]) {
        case 't':
            utf8 += '\t';
            break;
        case 'n':
            utf8 += '\n';
            break;
        case 'r':
            utf8 += '\r';
            break;
        case '\\':
            utf8 += '\\';
            break;
        default:
            return std::nullopt;
        }
    }
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    std::u16string text = Utf8ToUtf16(utf8);
    if (text.size() > MyMoments::kMaxTextLength)
        return std::nullopt;
    return text;
}

template <typename T> bool ReadNumber(std::string_view field, T low, T high, T& value) {
    const auto [next, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && next == field.data() + field.size() && !field.empty() && value >= low &&
           value <= high;
}

std::optional<MyMoment> ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            break;
        line.remove_prefix(tab + 1);
    }
    if (fields.size() < 6 || fields.size() > 6 + MyMoments::kMaxChatLines)
        return std::nullopt;
    MyMoment moment;
    constexpr std::int64_t kMaxSavedAt = 253402300799; // the last second of the year 9999
    if (!ReadNumber<std::int32_t>(fields[0], 0, INT32_MAX, moment.stationId) ||
        !ReadNumber<std::int32_t>(fields[1], 0, INT32_MAX, moment.streamId) ||
        !ReadNumber<std::int32_t>(fields[2], 0, INT32_MAX, moment.second) ||
        !ReadNumber<std::int64_t>(fields[3], 0, kMaxSavedAt, moment.savedAt))
        return std::nullopt;
    std::optional<std::u16string> track = Unescape(fields[4]);
    std::optional<std::u16string> note = Unescape(fields[5]);
    if (!track || !note)
        return std::nullopt;
    moment.track = std::move(*track);
    moment.note = std::move(*note);
    for (std::size_t i = 6; i < fields.size(); ++i) {
        std::optional<std::u16string> chat = Unescape(fields[i]);
        if (!chat)
            return std::nullopt;
        moment.chat.push_back(std::move(*chat));
    }
    return moment;
}

} // namespace

MyMoments::MyMoments(std::u16string_view settingsPath) {
    path = PathBesideSettings(settingsPath, kFileName);
    if (path.empty())
        return;
    std::vector<std::uint8_t> bytes;
    if (platform::ReadFileStart(path, kMaxFileSize, bytes))
        moments = Parse(bytes);
}

std::size_t MyMoments::Add(MyMoment moment) {
    moment.track = Cut(moment.track);
    moment.note = Cut(moment.note);
    if (moment.chat.size() > kMaxChatLines)
        moment.chat.erase(moment.chat.begin(), moment.chat.end() - kMaxChatLines);
    for (std::u16string& line : moment.chat)
        line = Cut(line);
    if (moments.size() >= kMaxMoments)
        moments.erase(moments.begin(), moments.end() - (kMaxMoments - 1));
    moments.push_back(std::move(moment));
    Save();
    return moments.size() - 1;
}

bool MyMoments::SetNote(std::size_t index, std::u16string_view note) {
    if (index >= moments.size())
        return false;
    moments[index].note = Cut(note);
    Save();
    return true;
}

bool MyMoments::Remove(std::size_t index) {
    if (index >= moments.size())
        return false;
    moments.erase(moments.begin() + static_cast<std::ptrdiff_t>(index));
    Save();
    return true;
}

bool MyMoments::Save() const {
    return WriteTextAtomically(path, Format(moments));
}

std::vector<MyMoment> MyMoments::Parse(std::span<const std::uint8_t> bytes) {
    std::vector<MyMoment> result;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::string_view line; TakeLine(text, line, false);) {
        if (std::optional<MyMoment> moment = ParseLine(line)) {
            if (result.size() == kMaxMoments)
                result.erase(result.begin());
            result.push_back(std::move(*moment));
        }
    }
    return result;
}

std::string MyMoments::Format(const std::vector<MyMoment>& moments) {
    std::string out;
    for (const MyMoment& moment : moments) {
        out += std::to_string(moment.stationId) + '\t' + std::to_string(moment.streamId) + '\t' +
               std::to_string(moment.second) + '\t' + std::to_string(moment.savedAt) + '\t';
        AppendEscaped(out, moment.track);
        out += '\t';
        AppendEscaped(out, moment.note);
        for (const std::u16string& line : moment.chat) {
            out += '\t';
            AppendEscaped(out, line);
        }
        out += '\n';
    }
    return out;
}
