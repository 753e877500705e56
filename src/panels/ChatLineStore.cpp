#include "panels/ChatLineStore.h"

#include "panels/ChatLine.h"
#include "panels/MyStreamChatListBoxRow.h"

#include <algorithm>

void ChatLineStore::Clear() {
    // The memory goes too: the next show's chat may be much smaller.
    std::vector<Line>().swap(lines_);
    rows_ = nullptr;
    std::u16string().swap(composed_);
    text_.Clear();
    widths_.Clear();
}

void ChatLineStore::Reserve(std::size_t lines) {
    lines_.reserve(lines);
}

void ChatLineStore::Add(std::int32_t time, std::u16string_view text, COLORREF colour) {
    if (text.size() > kMaxLength) {
        std::size_t cut = kMaxLength;
        if (text[cut - 1] >= 0xD800 && text[cut - 1] < 0xDC00)
            --cut; // never half a surrogate pair
        text = text.substr(0, cut);
    }
    Line line;
    line.textStart = text_.Allocate(text.size());
    line.textLength = static_cast<std::uint16_t>(text.size());
    line.time = time;
    line.colour = colour;
    std::copy(text.begin(), text.end(), text_.At(line.textStart));
    lines_.push_back(line);
}

void ChatLineStore::SetRows(const StreamChatRowList* rows, std::size_t maxLength) {
    rows_ = rows;
    rowTextLength_ = std::min(maxLength, kMaxLength);
}

void ChatLineStore::AddRowLine(std::size_t row, std::int32_t time, COLORREF colour) {
    Line line;
    line.textStart = static_cast<std::uint32_t>(row);
    line.time = time;
    line.colour = colour;
    line.fromRow = true;
    lines_.push_back(line);
}

void ChatLineStore::Compact() {
    if (lines_.capacity() > lines_.size())
        lines_.shrink_to_fit();
    text_.Compact();
    widths_.Compact();
}

std::u16string_view ChatLineStore::Text(std::size_t i) const {
    const Line& line = lines_[i];
    if (line.fromRow) {
        if (!rows_ || line.textStart >= rows_->size())
            return {};
        composed_ = CleanChatText(ComposeChatLine((*rows_)[line.textStart]).text, rowTextLength_);
        return composed_;
    }
    return std::u16string_view(text_.At(line.textStart), line.textLength);
}

const std::uint16_t* ChatLineStore::Widths(std::size_t i) const {
    const Line& line = lines_[i];
    return line.measured ? widths_.At(line.widthsStart) : nullptr;
}

bool ChatLineStore::SetHidden(std::size_t i, bool hidden) {
    Line& line = lines_[i];
    if (line.hidden == hidden)
        return false;
    line.hidden = hidden;
    return true;
}

std::uint16_t ChatLineStore::Height(std::size_t i, std::int32_t width, Font* font) {
    Line& line = lines_[i];
    if (line.hidden)
        return 0;
    if (!line.measured && font) {
        const std::u16string_view text = Text(i);
        const std::vector<ChatToken> tokens = SplitChatTokens(text);
        line.widthsStart = widths_.Allocate(tokens.size());
        MeasureChatTokens(font, text, tokens, widths_.At(line.widthsStart));
        line.tokenCount = static_cast<std::uint16_t>(tokens.size());
        line.measured = true;
    }
    return WrapChatTokens(Widths(i), line.tokenCount, width);
}
