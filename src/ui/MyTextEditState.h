#pragma once
// The editing model of a one-line text input: the text in UTF-16, the caret and the selection anchor, and
// the text an input method is composing at the caret. Positions are UTF-16 indexes and never fall
// between the two halves of a surrogate pair. The text holds no control characters and at most
// kMaxLength units: typed and pasted text is cleaned and cut to fit.

#include <cstddef>
#include <string>
#include <string_view>

class MyTextEditState {
public:
    static constexpr std::size_t kMaxLength = 256; // UTF-16 units

    const std::u16string& text() const { return text_; }
    std::size_t caret() const { return caret_; }
    std::size_t anchor() const { return anchor_; }
    bool hasSelection() const { return caret_ != anchor_; }
    std::size_t selectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
    std::size_t selectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
    std::u16string_view selectedText() const {
        return std::u16string_view(text_).substr(selectionStart(), selectionEnd() - selectionStart());
    }

    // Replaces the whole text (cleaned and cut); the caret goes to its end, with nothing selected.
    void SetText(std::u16string_view text);
    // Types or pastes `typed` over the selection, cleaned and cut to the room left. Answers whether the
    // text changed.
    bool Insert(std::u16string_view typed);
    // Backspace and Delete: the selection if there is one, else the character (or with `word` the
    // word) before or after the caret.
    bool DeleteBackward(bool word);
    bool DeleteForward(bool word);
    bool DeleteSelection();

    // Caret moves; `extend` keeps the anchor (Shift held), otherwise the selection collapses. A plain
    // move left or right with a selection lands on the selection's edge.
    void MoveLeft(bool extend, bool word);
    void MoveRight(bool extend, bool word);
    void MoveHome(bool extend);
    void MoveEnd(bool extend);
    void SetCaret(std::size_t index, bool extend);
    void SelectAll();
    // Selects the word (or the run of blanks, or the one mark) at `index`, as a double click does.
    void SelectWordAt(std::size_t index);

    // The input method's text being composed at the caret, with its own caret. It is not part of the
    // text until committed (typed).
    void SetComposition(std::u16string_view text, std::size_t caret);
    void EndComposition();
    bool composing() const { return !composition_.empty(); }
    const std::u16string& composition() const { return composition_; }
    std::size_t compositionCaret() const { return compositionCaret_; }

    // What the text shows: the text with the composition at the caret.
    std::u16string DisplayText() const;
    // The caret's place in DisplayText.
    std::size_t DisplayCaret() const { return caret_ + (composing() ? compositionCaret_ : 0); }

    // Cleans text for a one-line input: line breaks and tabs become one blank each (CR LF one blank),
    // other control characters (C0, DEL, C1) and lone surrogate halves are dropped.
    static std::u16string Clean(std::u16string_view text);
    // `index` moved back to the start of a surrogate pair it would split.
    static std::size_t Boundary(std::u16string_view text, std::size_t index);

private:
    std::size_t PreviousPosition(std::size_t index, bool word) const;
    std::size_t NextPosition(std::size_t index, bool word) const;

    std::u16string text_;
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
    std::u16string composition_;
    std::size_t compositionCaret_ = 0;
};
