#include "ui/MyTextEditState.h"

#include "records/OneLineText.h"

#include <algorithm>

namespace {

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// Word classes for word moves and double clicks: blanks, marks (punctuation and symbols of ASCII and
// the general punctuation block) and everything else, which makes words in any script.
enum class CharClass { Blank, Mark, Word };

CharClass ClassOf(char16_t c) {
    if (c == u' ' || c == 0x00A0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B))
        return CharClass::Blank;
    if ((c >= u'!' && c <= u'/') || (c >= u':' && c <= u'@') || (c >= u'[' && c <= u'`') ||
        (c >= u'{' && c <= u'~') || (c >= 0x2010 && c <= 0x205E) || (c >= 0x3001 && c <= 0x3003))
        return CharClass::Mark;
    return CharClass::Word;
}

} // namespace

std::size_t MyTextEditState::Boundary(std::u16string_view text, std::size_t index) {
    index = std::min(index, text.size());
    if (index > 0 && index < text.size() && IsLow(text[index]) && IsHigh(text[index - 1]))
        --index;
    return index;
}

std::u16string MyTextEditState::Clean(std::u16string_view text) {
    return CleanOneLineText(text);
}

void MyTextEditState::SetText(std::u16string_view text) {
    std::u16string clean = Clean(text);
    clean.resize(Boundary(clean, std::min(clean.size(), kMaxLength)));
    text_ = std::move(clean);
    caret_ = anchor_ = text_.size();
}

bool MyTextEditState::Insert(std::u16string_view typed) {
    std::u16string clean = Clean(typed);
    const std::size_t kept = text_.size() - (selectionEnd() - selectionStart());
    const std::size_t room = kMaxLength > kept ? kMaxLength - kept : 0;
    if (clean.size() > room)
        clean.resize(Boundary(clean, room));
    if (clean.empty() && !hasSelection())
        return false;
    const std::size_t start = selectionStart();
    text_.replace(start, selectionEnd() - start, clean);
    caret_ = anchor_ = start + clean.size();
    return true;
}

bool MyTextEditState::DeleteSelection() {
    if (!hasSelection())
        return false;
    const std::size_t start = selectionStart();
    text_.erase(start, selectionEnd() - start);
    caret_ = anchor_ = start;
    return true;
}

bool MyTextEditState::DeleteBackward(bool word) {
    if (DeleteSelection())
        return true;
    if (caret_ == 0)
        return false;
    const std::size_t from = PreviousPosition(caret_, word);
    text_.erase(from, caret_ - from);
    caret_ = anchor_ = from;
    return true;
}

bool MyTextEditState::DeleteForward(bool word) {
    if (DeleteSelection())
        return true;
    if (caret_ >= text_.size())
        return false;
    const std::size_t to = NextPosition(caret_, word);
    text_.erase(caret_, to - caret_);
    anchor_ = caret_;
    return true;
}

std::size_t MyTextEditState::PreviousPosition(std::size_t index, bool word) const {
    if (index == 0)
        return 0;
    if (!word) {
        --index;
        if (index > 0 && IsLow(text_[index]) && IsHigh(text_[index - 1]))
            --index;
        return index;
    }
    // Back over blanks, then over the run of one class before them.
    while (index > 0 && ClassOf(text_[index - 1]) == CharClass::Blank)
        --index;
    if (index == 0)
        return 0;
    const CharClass run = ClassOf(text_[index - 1]);
    while (index > 0 && ClassOf(text_[index - 1]) == run)
        --index;
    return index;
}

std::size_t MyTextEditState::NextPosition(std::size_t index, bool word) const {
    const std::size_t end = text_.size();
    if (index >= end)
        return end;
    if (!word) {
        ++index;
        if (index < end && IsLow(text_[index]) && IsHigh(text_[index - 1]))
            ++index;
        return index;
    }
    // Over the run of one class at the caret, then over the blanks after it.
    const CharClass run = ClassOf(text_[index]);
    if (run != CharClass::Blank)
        while (index < end && ClassOf(text_[index]) == run)
            ++index;
    while (index < end && ClassOf(text_[index]) == CharClass::Blank)
        ++index;
    return index;
}

void MyTextEditState::MoveLeft(bool extend, bool word) {
    if (hasSelection() && !extend && !word) {
        caret_ = anchor_ = selectionStart();
        return;
    }
    SetCaret(PreviousPosition(caret_, word), extend);
}

void MyTextEditState::MoveRight(bool extend, bool word) {
    if (hasSelection() && !extend && !word) {
        caret_ = anchor_ = selectionEnd();
        return;
    }
    SetCaret(NextPosition(caret_, word), extend);
}

void MyTextEditState::MoveHome(bool extend) {
    SetCaret(0, extend);
}

void MyTextEditState::MoveEnd(bool extend) {
    SetCaret(text_.size(), extend);
}

void MyTextEditState::SetCaret(std::size_t index, bool extend) {
    caret_ = Boundary(text_, index);
    if (!extend)
        anchor_ = caret_;
}

void MyTextEditState::SelectAll() {
    anchor_ = 0;
    caret_ = text_.size();
}

void MyTextEditState::SelectWordAt(std::size_t index) {
    if (text_.empty()) {
        caret_ = anchor_ = 0;
        return;
    }
    index = std::min(Boundary(text_, index), text_.size() - 1);
    const CharClass run = ClassOf(text_[index]);
    std::size_t start = index, end = index + 1;
    if (run == CharClass::Mark) {
        end = NextPosition(index, false);
    } else {
        while (start > 0 && ClassOf(text_[start - 1]) == run)
            --start;
        while (end < text_.size() && ClassOf(text_[end]) == run)
            ++end;
    }
    anchor_ = Boundary(text_, start);
    caret_ = Boundary(text_, end);
}

void MyTextEditState::SetComposition(std::u16string_view text, std::size_t caret) {
    composition_ = Clean(text);
    compositionCaret_ = Boundary(composition_, std::min(caret, composition_.size()));
}

void MyTextEditState::EndComposition() {
    composition_.clear();
    compositionCaret_ = 0;
}

std::u16string MyTextEditState::DisplayText() const {
    if (!composing())
        return text_;
    std::u16string shown = text_;
    shown.insert(caret_, composition_);
    return shown;
}
