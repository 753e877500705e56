#include "panels/ChatJoinFilter.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

std::u16string Folded(std::u16string_view nick) {
    std::u16string folded(nick);
    for (char16_t& c : folded)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return folded;
}

} // namespace

std::vector<bool> FindQuietJoinsAndParts(const StreamChatRowList& rows, std::int32_t window) {
    // First pass: give every stretch of presence a person number (a join starts a new one; a nick change
    // carries it to the new nick), and note when each person talked.
    std::unordered_map<std::u16string, std::int32_t> personOfNick;
    std::vector<std::vector<std::int32_t>> talkTimes; // by person, in row order (so in time order)
    std::vector<std::int32_t> personOfRow(rows.size(), -1);
    auto newPerson = [&](const std::u16string& folded) {
        const auto person = static_cast<std::int32_t>(talkTimes.size());
        talkTimes.emplace_back();
        personOfNick[folded] = person;
        return person;
    };
    auto personOf = [&](std::u16string_view nick) {
        std::u16string folded = Folded(nick);
        const auto it = personOfNick.find(folded);
        return it != personOfNick.end() ? it->second : newPerson(folded);
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const StreamChatRow& row = rows[i];
        if (row.argCount < 1)
            continue;
        switch (row.kind) {
        case StreamChatRowKind_Join:
            personOfRow[i] = newPerson(Folded(row.arg(0)));
            break;
        case StreamChatRowKind_Leave:
        case StreamChatRowKind_Quit:
            personOfRow[i] = personOf(row.arg(0));
            break;
        case StreamChatRowKind_Message:
        case StreamChatRowKind_Action: {
            const std::int32_t person = personOf(row.arg(0));
            talkTimes[static_cast<std::size_t>(person)].push_back(row.time);
            break;
        }
        case StreamChatRowKind_NickChange:
            if (row.argCount == 2) {
                const std::int32_t person = personOf(row.arg(0));
                personOfNick.erase(Folded(row.arg(0)));
                personOfNick[Folded(row.arg(1))] = person;
            }
            break;
        default:
            break;
        }
    }
    // Second pass: a join is quiet without talk in [t, t + window], a part or quit without talk in
    // [t - window, t].
    std::vector<bool> quiet(rows.size(), false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (personOfRow[i] < 0)
            continue;
        const std::vector<std::int32_t>& talk = talkTimes[static_cast<std::size_t>(personOfRow[i])];
        const std::int64_t t = rows[i].time;
        const bool join = rows[i].kind == StreamChatRowKind_Join;
        const std::int64_t from = join ? t : t - window;
        const std::int64_t to = join ? t + window : t;
        const auto it = std::lower_bound(talk.begin(), talk.end(), from,
                                         [](std::int32_t a, std::int64_t b) { return a < b; });
        quiet[i] = it == talk.end() || *it > to;
    }
    return quiet;
}
