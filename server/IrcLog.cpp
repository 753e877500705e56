#include "IrcLog.h"

#include "Text.h"
#include "TimeText.h"

#include <cstdlib>

namespace station {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "HH:MM:SS" or "HH:MM" at the start of `text`: its length, or 0.
std::size_t ClockLength(std::string_view text) {
    if (text.size() >= 8 && IsDigit(text[0]) && IsDigit(text[1]) && text[2] == ':' && IsDigit(text[3]) &&
        IsDigit(text[4]) && text[5] == ':' && IsDigit(text[6]) && IsDigit(text[7]))
        return 8;
    if (text.size() >= 5 && IsDigit(text[0]) && IsDigit(text[1]) && text[2] == ':' && IsDigit(text[3]) &&
        IsDigit(text[4]))
        return 5;
    return 0;
}

bool StartsWithWeeChatStamp(std::string_view line) {
    return line.size() >= 20 && IsDigit(line[0]) && line[4] == '-' && line[7] == '-' && line[10] == ' ' &&
           ClockLength(line.substr(11)) == 8 && line[19] == '\t';
}

// A date as irssi and mIRC write it: "Sun Mar 03 20:00:00 2024" or "Mon Mar 04 2024": days since 1970.
std::optional<std::int64_t> ParseWrittenDate(std::string_view text) {
    std::vector<std::string_view> words;
    for (std::string_view word : Split(Trim(text), ' '))
        if (!word.empty())
            words.push_back(word);
    // Weekday, month, day, [time], year.
    if (words.size() < 4)
        return std::nullopt;
    const int month = MonthFromName(words[1]);
    std::uint64_t day = 0;
    std::uint64_t year = 0;
    const std::string_view yearWord = words.size() >= 5 ? words[4] : words[3];
    if (month == 0 || !ParseUnsigned(words[2], 31, day) || !ParseUnsigned(yearWord, 9999, year))
        return std::nullopt;
    return DaysFromCivil(static_cast<int>(year), month, static_cast<int>(day));
}

// Places times of day on dates: from a date line when the log gives one, else near the reference, and
// on the next day when the clock runs backwards by more than an hour (midnight passed).
class LogClock {
public:
    LogClock(std::int64_t utcOffset, std::int64_t reference) : utcOffset_(utcOffset), reference_(reference) {}

    void SetDate(std::int64_t days) {
        day_ = days;
        haveDay_ = true;
        lastTimeOfDay_ = -1;
    }

    std::int64_t Place(int timeOfDay) {
        if (!haveDay_) {
            const std::int64_t localReference = reference_ + utcOffset_;
            std::int64_t day = localReference / 86400 - (localReference % 86400 < 0 ? 1 : 0);
            const std::int64_t candidate = day * 86400 + timeOfDay - localReference;
            if (candidate > 43200)
                --day;
            else if (candidate < -43200)
                ++day;
            day_ = day;
            haveDay_ = true;
        } else if (lastTimeOfDay_ >= 0 && timeOfDay + 3600 < lastTimeOfDay_) {
            ++day_;
        }
        lastTimeOfDay_ = timeOfDay;
        return day_ * 86400 + timeOfDay - utcOffset_;
    }

private:
    std::int64_t utcOffset_;
    std::int64_t reference_;
    std::int64_t day_ = 0;
    bool haveDay_ = false;
    int lastTimeOfDay_ = -1;
};

// "[YYYY-MM-DD HH:MM:SS]" (Quassel) or "[YYYY-MM-DDTHH:MM:SS...]" (The Lounge, ISO 8601): the length of
// the bracketed stamp with its closing bracket, or 0.
std::size_t BracketedDateLength(std::string_view line) {
    if (line.size() < 21 || line[0] != '[' || !IsDigit(line[1]) || line[5] != '-' || line[8] != '-' ||
        (line[11] != ' ' && line[11] != 'T') || ClockLength(line.substr(12)) != 8)
        return 0;
    const std::size_t close = line.find(']');
    return close == std::string_view::npos || close > 40 ? 0 : close + 1;
}

// HexChat's "Mar 03 20:00:01 ": month, day and time of day.
bool StartsWithHexChatStamp(std::string_view line) {
    return line.size() >= 16 && MonthFromName(line.substr(0, 3)) != 0 && line[3] == ' ' && IsDigit(line[5]) &&
           line[6] == ' ' && ClockLength(line.substr(7)) == 8 && line[15] == ' ';
}

std::optional<IrcFormat> Detect(std::string_view line) {
    if (StartsWithWeeChatStamp(line))
        return IrcFormat::WeeChat;
    if (const std::size_t length = BracketedDateLength(line); length != 0)
        return line[11] == 'T' ? IrcFormat::Lounge : IrcFormat::Quassel;
    if (StartsWithHexChatStamp(line) || StartsWith(line, "**** BEGIN LOGGING AT") ||
        StartsWith(line, "**** ENDING LOGGING AT"))
        return IrcFormat::HexChat;
    if (StartsWith(line, "[") && ClockLength(line.substr(1)) != 0)
        return IrcFormat::Mirc;
    if (StartsWith(line, "Session Start:") || StartsWith(line, "Session Time:"))
        return IrcFormat::Mirc;
    if (ClockLength(line) != 0 || StartsWith(line, "--- Log opened") || StartsWith(line, "--- Day changed"))
        return IrcFormat::Irssi;
    return std::nullopt;
}

} // namespace

std::optional<IrcFormat> IrcFormatFromName(std::string_view name) {
    const std::string lower = ToLower(name);
    if (lower == "auto")
        return IrcFormat::Auto;
    if (lower == "irssi")
        return IrcFormat::Irssi;
    if (lower == "weechat")
        return IrcFormat::WeeChat;
    if (lower == "mirc")
        return IrcFormat::Mirc;
    if (lower == "znc")
        return IrcFormat::Znc;
    if (lower == "hexchat")
        return IrcFormat::HexChat;
    if (lower == "quassel")
        return IrcFormat::Quassel;
    if (lower == "thelounge" || lower == "lounge")
        return IrcFormat::Lounge;
    return std::nullopt;
}

Result<std::vector<IrcEvent>> ParseIrcLog(std::string_view text, const std::string& file,
                                          const IrcLogOptions& options) {
    std::vector<IrcEvent> events;
    const auto lines = SplitLines(text);
    IrcFormat format = options.format;
    LogClock clock(options.utcOffset, options.reference);
    std::optional<std::int64_t> hexChatDay; // days since 1970 of HexChat's last "BEGIN LOGGING" line
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (lines[i].find('\0') != std::string_view::npos)
            return Failure{file, number, "the line holds a zero byte: is this a text file?"};
        const std::string line = RepairUtf8(lines[i]);
        if (Trim(line).empty())
            continue;
        if (format == IrcFormat::Auto) {
            const auto detected = Detect(line);
            if (!detected)
                return Failure{
                    file, number,
                    "cannot tell the log format (irssi, WeeChat, mIRC, ZNC, HexChat, Quassel or The "
                    "Lounge) from this line"};
            format = *detected;
            // ZNC writes its lines as mIRC does, but its joins, parts and the like start with "***".
            if (format == IrcFormat::Mirc && StartsWith(line, "["))
                for (std::size_t k = i; k < lines.size() && k < i + 200; ++k)
                    if (const std::size_t close = lines[k].find("] *** ");
                        StartsWith(lines[k], "[") && close != std::string_view::npos && close <= 9) {
                        format = IrcFormat::Znc;
                        break;
                    }
        }
        IrcEvent event;
        event.line = number;
        std::string_view rest;
        if (format == IrcFormat::WeeChat) {
            if (!StartsWithWeeChatStamp(line))
                return Failure{file, number,
                               "expected 'YYYY-MM-DD HH:MM:SS', a tab, a prefix, a tab and a message"};
            const auto time = ParseDateTime(std::string_view(line).substr(0, 19), options.utcOffset);
            if (!time)
                return Failure{file, number, "not a valid date and time"};
            const std::string_view after = std::string_view(line).substr(20);
            const std::size_t tab = after.find('\t');
            if (tab == std::string_view::npos)
                return Failure{file, number, "expected a tab between the prefix and the message"};
            event.time = *time;
            ParseWeeChatBody(after.substr(0, tab), after.substr(tab + 1), event);
            events.push_back(std::move(event));
            continue;
        }
        if (format == IrcFormat::Quassel || format == IrcFormat::Lounge) {
            const std::size_t length = BracketedDateLength(line);
            if (length == 0)
                return Failure{file, number,
                               format == IrcFormat::Lounge
                                   ? "expected a line starting with '[YYYY-MM-DDTHH:MM:SS.mmmZ]'"
                                   : "expected a line starting with '[YYYY-MM-DD HH:MM:SS]'"};
            // Fractions of a second are dropped; a stamp without a zone is in the log's clock.
            std::string stamp(std::string_view(line).substr(1, length - 2));
            if (const std::size_t dot = stamp.find('.', 19); dot != std::string::npos) {
                std::size_t end = dot + 1;
                while (end < stamp.size() && IsDigit(stamp[end]))
                    ++end;
                stamp.erase(dot, end - dot);
            }
            const auto time = ParseDateTime(stamp, options.utcOffset);
            if (!time)
                return Failure{file, number, "not a valid date and time"};
            event.time = *time;
            std::string_view body = std::string_view(line).substr(length);
            if (format == IrcFormat::Lounge)
                ParseLoungeBody(body, event);
            else
                ParseQuasselBody(body, event);
            events.push_back(std::move(event));
            continue;
        }
        if (format == IrcFormat::HexChat) {
            if (StartsWith(line, "**** BEGIN LOGGING AT ") || StartsWith(line, "**** ENDING LOGGING AT ")) {
                const auto days = ParseWrittenDate(std::string_view(line).substr(line.find(" AT ") + 4));
                if (!days)
                    return Failure{file, number, "cannot read the date of this line"};
                hexChatDay = *days;
                continue;
            }
            if (!StartsWithHexChatStamp(line))
                return Failure{file, number, "expected a HexChat line starting with 'Mon DD HH:MM:SS'"};
            std::uint64_t day = 0;
            const auto timeOfDay = ParseTimeOfDay(std::string_view(line).substr(7, 8));
            if (!ParseUnsigned(Trim(std::string_view(line).substr(4, 2)), 31, day) || !timeOfDay)
                return Failure{file, number, "not a valid date and time"};
            // The line names month and day; the year is the logging start's, or the reference's, whichever
            // puts the line nearest to it.
            const std::int64_t near =
                hexChatDay ? *hexChatDay * 86400 : options.reference + options.utcOffset;
            int year = 1970;
            int month = 1;
            int unusedDay = 1;
            CivilFromDays(near / 86400 - (near % 86400 < 0 ? 1 : 0), year, month, unusedDay);
            std::optional<std::int64_t> best;
            for (int candidate = year - 1; candidate <= year + 1; ++candidate) {
                const auto days = DaysFromCivil(candidate, MonthFromName(std::string_view(line).substr(0, 3)),
                                                static_cast<int>(day));
                if (days && (!best || std::llabs(*days * 86400 - near) < std::llabs(*best * 86400 - near)))
                    best = days;
            }
            if (!best)
                return Failure{file, number, "not a valid date"};
            event.time = *best * 86400 + *timeOfDay - options.utcOffset;
            const std::string_view rest = std::string_view(line).substr(16);
            const std::size_t tab = rest.find('\t');
            if (tab == std::string_view::npos)
                ParseHexChatBody("", rest, event);
            else
                ParseHexChatBody(rest.substr(0, tab), rest.substr(tab + 1), event);
            events.push_back(std::move(event));
            continue;
        }
        if (format == IrcFormat::Irssi) {
            if (StartsWith(line, "--- Log opened ") || StartsWith(line, "--- Day changed ")) {
                const auto days = ParseWrittenDate(std::string_view(line).substr(15));
                if (!days)
                    return Failure{file, number, "cannot read the date of this line"};
                clock.SetDate(*days);
                continue;
            }
            if (StartsWith(line, "--- Log closed"))
                continue;
            const std::size_t length = ClockLength(line);
            if (length == 0 || line.size() <= length || line[length] != ' ')
                return Failure{file, number, "expected an irssi line starting with 'HH:MM' or 'HH:MM:SS'"};
            const auto timeOfDay = ParseTimeOfDay(std::string_view(line).substr(0, length));
            if (!timeOfDay)
                return Failure{file, number, "not a valid time of day"};
            event.time = clock.Place(*timeOfDay);
            ParseIrssiBody(std::string_view(line).substr(length + 1), event);
            events.push_back(std::move(event));
            continue;
        }
        // mIRC and ZNC.
        if (StartsWith(line, "Session Start:") || StartsWith(line, "Session Time:")) {
            const auto days = ParseWrittenDate(std::string_view(line).substr(line.find(':') + 1));
            if (!days)
                return Failure{file, number, "cannot read the date of this line"};
            clock.SetDate(*days);
            continue;
        }
        if (StartsWith(line, "Session Close:") || StartsWith(line, "Session Ident:"))
            continue;
        const std::size_t length = StartsWith(line, "[") ? ClockLength(std::string_view(line).substr(1)) : 0;
        if (length == 0 || line.size() < length + 3 || line[length + 1] != ']')
            return Failure{file, number, "expected a mIRC line starting with '[HH:MM]' or '[HH:MM:SS]'"};
        const auto timeOfDay = ParseTimeOfDay(std::string_view(line).substr(1, length));
        if (!timeOfDay)
            return Failure{file, number, "not a valid time of day"};
        event.time = clock.Place(*timeOfDay);
        rest = std::string_view(line).substr(length + 2);
        if (StartsWith(rest, " "))
            rest.remove_prefix(1);
        if (format == IrcFormat::Znc)
            ParseZncBody(rest, event);
        else
            ParseMircBody(rest, event);
        events.push_back(std::move(event));
    }
    return events;
}

} // namespace station
