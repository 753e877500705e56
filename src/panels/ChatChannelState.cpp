#include "panels/ChatChannelState.h"

#include <algorithm>
#include <unordered_map>

namespace {

char16_t FoldCase(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string Folded(std::u16string_view nick) {
    std::u16string folded(nick);
    for (char16_t& c : folded)
        c = FoldCase(c);
    return folded;
}

bool LessFolded(const std::u16string& a, const std::u16string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return FoldCase(x) < FoldCase(y); });
}

bool IsPersonOrListMode(char16_t c) {
    return std::u16string_view(u"ovhaqbeI").find(c) != std::u16string_view::npos;
}

} // namespace

void ApplyChannelModes(std::u16string& modes, std::u16string_view change) {
    bool setting = true;
    for (char16_t c : change) {
        if (c == u'+' || c == u'-') {
            setting = c == u'+';
            continue;
        }
        if (c == u' ')
            break; // the arguments follow; they are consumed by the letters, not read here
        if (IsPersonOrListMode(c) || !((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            continue;
        const std::size_t at = modes.find(c);
        if (setting && at == std::u16string::npos)
            modes += c;
        else if (!setting && at != std::u16string::npos)
            modes.erase(at, 1);
    }
}

std::u16string FormatChannelStateLine(const ChatChannelState& state) {
    std::u16string line;
    auto add = [&line](std::u16string_view part) {
        if (!line.empty())
            line += u" \u00B7 ";
        line += part;
    };
    if (!state.topic.empty())
        add(u"Topic: " + state.topic);
    if (!state.names.empty()) {
        const std::string count = std::to_string(state.names.size());
        add(std::u16string(count.begin(), count.end()) + u" here");
    }
    if (!state.modes.empty())
        add(u"+" + state.modes);
    return line;
}

void ChatChannelIndex::Build(const StreamChatRowList* rows) {
    rows_ = rows;
    ops_.clear();
    nickCount_ = 0;
    checkpoints_.clear();
    if (!rows)
        return;
    std::unordered_map<std::u16string, std::int32_t> numbers;
    auto number = [&](std::u16string_view nick) {
        const auto [it, added] = numbers.try_emplace(Folded(nick), nickCount_);
        if (added)
            ++nickCount_;
        return it->second;
    };
    ops_.resize(rows->size());
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const StreamChatRow& row = (*rows)[i];
        RowOp& op = ops_[i];
        switch (row.kind) {
        case StreamChatRowKind_Message:
        case StreamChatRowKind_Action:
        case StreamChatRowKind_Join:
            if (row.argCount >= 1 && !row.arg(0).empty())
                op = {Op_Present, number(row.arg(0))};
            break;
        case StreamChatRowKind_Leave:
        case StreamChatRowKind_Quit:
            if (row.argCount >= 1 && !row.arg(0).empty())
                op = {Op_Leave, number(row.arg(0))};
            break;
        case StreamChatRowKind_Kick:
            if (row.argCount >= 2 && !row.arg(1).empty())
                op = {Op_Leave, number(row.arg(1))};
            break;
        case StreamChatRowKind_NickChange:
            if (row.argCount == 2 && !row.arg(0).empty() && !row.arg(1).empty()) {
                const std::int32_t from = number(row.arg(0));
                op = {Op_Rename, from, number(row.arg(1))};
            }
            break;
        case StreamChatRowKind_TopicChange:
            if (row.argCount == 2)
                op = {Op_Topic};
            break;
        case StreamChatRowKind_ModeChange:
            if (row.argCount >= 2)
                op = {Op_Mode};
            break;
        default:
            break;
        }
    }
    Working state;
    state.present.assign(static_cast<std::size_t>(nickCount_), 0);
    state.spelledAt.assign(static_cast<std::size_t>(nickCount_), -1);
    for (std::int32_t i = 0; i < rowCount(); ++i) {
        if (i % kCheckpointRows == 0)
            checkpoints_.push_back(state);
        Apply(state, i);
    }
}

void ChatChannelIndex::Apply(Working& state, std::int32_t row) const {
    const RowOp& op = ops_[static_cast<std::size_t>(row)];
    auto set = [&state](std::int32_t nick, bool on) {
        std::uint8_t& p = state.present[static_cast<std::size_t>(nick)];
        if (p != on) {
            p = on;
            state.count += on ? 1 : -1;
        }
    };
    auto spell = [&state, row](std::int32_t nick, std::int32_t arg) {
        state.spelledAt[static_cast<std::size_t>(nick)] = row * 2 + arg;
    };
    switch (op.op) {
    case Op_Present:
        set(op.a, true);
        spell(op.a, 0);
        break;
    case Op_Leave:
        set(op.a, false);
        break;
    case Op_Rename:
        // A change of case only ("bob" to "Bob") keeps the same number.
        if (op.a != op.b)
            set(op.a, false);
        set(op.b, true);
        spell(op.b, 1);
        break;
    case Op_Topic:
        state.topicRow = row;
        break;
    case Op_Mode: {
        const StreamChatRow& r = (*rows_)[static_cast<std::size_t>(row)];
        ApplyChannelModes(state.modes, r.arg(1));
        break;
    }
    default:
        break;
    }
}

ChatChannelState ChatChannelIndex::Describe(const Working& state) const {
    ChatChannelState out;
    if (state.topicRow >= 0)
        out.topic = std::u16string((*rows_)[static_cast<std::size_t>(state.topicRow)].arg(1));
    out.names.reserve(static_cast<std::size_t>(state.count));
    for (std::size_t n = 0; n < state.present.size(); ++n) {
        if (state.present[n]) {
            const std::int32_t at = state.spelledAt[n];
            out.names.emplace_back(at < 0 ? std::u16string_view()
                                          : (*rows_)[static_cast<std::size_t>(at / 2)].arg(at % 2));
        }
    }
    std::sort(out.names.begin(), out.names.end(), LessFolded);
    out.modes = state.modes;
    return out;
}

ChatChannelState ChatChannelIndex::StateAfter(std::int32_t lastRow) const {
    if (lastRow < 0 || ops_.empty())
        return {};
    const std::int32_t end = std::min(lastRow, rowCount() - 1) + 1; // rows [0, end) apply
    const std::int32_t k = (end - 1) / kCheckpointRows;
    Working state = checkpoints_[static_cast<std::size_t>(k)];
    for (std::int32_t i = k * kCheckpointRows; i < end; ++i)
        Apply(state, i);
    return Describe(state);
}
