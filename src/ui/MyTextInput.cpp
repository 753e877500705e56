#include "ui/MyTextInput.h"

#include "platform/Window.h"

#include <algorithm>
#include <cstdlib>

using namespace platform;

MyTextInput::MyTextInput() {
    acceptsFocus = true;
    tabStop = true;
}

platform::Font* MyTextInput::TextFont() {
    if (!font)
        font = CreateFontW(style.fontHeight, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET,
                           OUT_DEVICE_PRECIS, 0, 0, 0, u"Arial");
    return font ? font->get() : nullptr;
}

std::int32_t MyTextInput::OffsetOf(const std::u16string& shown, std::size_t index) {
    platform::Font* f = TextFont();
    if (!f || index == 0)
        return 0;
    return f->MeasureWidth(std::u16string_view(shown).substr(0, std::min(index, shown.size())), nullptr);
}

RECT MyTextInput::TextArea() const {
    return RECT{bounds.left + 1 + kPadding, bounds.top + 1, bounds.right - 1 - kPadding, bounds.bottom - 1};
}

void MyTextInput::SetText(std::u16string_view text) {
    state.EndComposition();
    state.SetText(text);
    scrollX_ = 0;
    Changed(false);
}

void MyTextInput::Focus() {
    SetKeyboardFocus(context, this);
}

std::int32_t MyTextInput::CaretX() {
    const std::u16string shown = state.DisplayText();
    return TextArea().left - scrollX_ + OffsetOf(shown, state.DisplayCaret());
}

std::size_t MyTextInput::IndexAt(std::int32_t atX) {
    const std::u16string& text = state.text();
    const std::int32_t wanted = atX - TextArea().left + scrollX_;
    std::size_t best = 0;
    std::int32_t bestDistance = std::abs(wanted);
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (MyTextEditState::Boundary(text, i) != i)
            continue;
        const std::int32_t offset = OffsetOf(text, i);
        const std::int32_t distance = std::abs(wanted - offset);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
        if (offset > wanted)
            break;
    }
    return best;
}

void MyTextInput::Paint() {
    if (!backBuffer || !backBuffer->bitmap)
        return;
    Dc& dc = *backBuffer;
    // In high contrast the palette's colours stand in for the panel's.
    const MyPalette palette = PaletteOf(*this);
    MyTextInputStyle look = style;
    if (palette.highContrast) {
        look.background = palette.background;
        look.border = look.focusedBorder = palette.border;
        look.text = look.placeholder = palette.text;
        look.selectionBackground = palette.selectionBackground;
        look.selectionText = palette.selectionText;
    }
    FillRect(dc, bounds, CreateSolidBrush(hasFocus() ? look.focusedBorder : look.border));
    FillRect(dc, RECT{bounds.left + 1, bounds.top + 1, bounds.right - 1, bounds.bottom - 1},
             CreateSolidBrush(look.background));
    platform::Font* f = TextFont();
    const RECT area = TextArea();
    if (!f || area.empty())
        return;
    const Bitmap& bitmap = *dc.bitmap;
    const platform::DeviceScale scale = bitmap.scale();
    const RECT clip = IntersectRect(
        area, RECT{0, 0, scale.ToLogicalEdge(bitmap.width()), scale.ToLogicalEdge(bitmap.height())});
    const std::int32_t cell = f->cellHeight();
    const std::int32_t top = bounds.top + (height - cell) / 2;
    const std::int32_t originX = area.left - scrollX_;
    const std::u16string shown = state.DisplayText();

    if (shown.empty() && !hasFocus()) {
        if (!placeholder.empty()) {
            f->Layout(placeholder, -1, -1, nullptr);
            DrawLaidOutLine(dc, *f, clip, area.left, top, ColourToPixel(look.placeholder));
        }
        return;
    }
    RECT selection;
    if (state.hasSelection() && !state.composing() && hasFocus()) {
        const std::int32_t from = originX + OffsetOf(shown, state.selectionStart());
        const std::int32_t to = originX + OffsetOf(shown, state.selectionEnd());
        selection = IntersectRect(RECT{from, top, to, top + cell}, clip);
        FillRect(dc, selection, CreateSolidBrush(look.selectionBackground));
    }
    if (!shown.empty()) {
        f->Layout(shown, -1, -1, nullptr);
        DrawLaidOutLine(dc, *f, clip, originX, top, ColourToPixel(look.text));
        if (!selection.empty()) {
            f->Layout(shown, -1, -1, nullptr);
            DrawLaidOutLine(dc, *f, selection, originX, top, ColourToPixel(look.selectionText));
        }
    }
    if (state.composing()) {
        // The text being composed is underlined from end to end.
        const std::int32_t from = originX + OffsetOf(shown, state.caret());
        const std::int32_t to = originX + OffsetOf(shown, state.caret() + state.composition().size());
        const std::int32_t line = std::min(top + f->ascent() + 1, clip.bottom - 1);
        FillRect(dc, IntersectRect(RECT{from, line, to, line + 1}, clip), CreateSolidBrush(look.text));
    }
    if (hasFocus()) {
        const std::int32_t caretX = originX + OffsetOf(shown, state.DisplayCaret());
        FillRect(dc, IntersectRect(RECT{caretX, top, caretX + 1, top + cell}, clip),
                 CreateSolidBrush(look.text));
    }
}

void MyTextInput::KeepCaretInView() {
    const std::u16string shown = state.DisplayText();
    const RECT area = TextArea();
    const std::int32_t room = std::max<std::int32_t>(area.width() - 1, 0);
    const std::int32_t caret = OffsetOf(shown, state.DisplayCaret());
    const std::int32_t total = OffsetOf(shown, shown.size());
    if (caret - scrollX_ > room)
        scrollX_ = caret - room;
    if (caret < scrollX_)
        scrollX_ = caret;
    // No room is left empty at the right while text lies hidden at the left.
    if (total - scrollX_ < room)
        scrollX_ = std::max(0, total - room);
    if (hasFocus() && window) {
        const std::int32_t x = area.left - scrollX_ + caret;
        window->SetTextInputArea(Rect{x, bounds.top, x + 1, bounds.bottom});
    }
}

void MyTextInput::Changed(bool textChanged) {
    KeepCaretInView();
    Redraw();
    if (textChanged)
        TextChangedCallback(callbackTarget, controlId);
}

void MyTextInput::OnBoundsChanged(const RECT&) {
    KeepCaretInView();
}

void MyTextInput::OnLButtonDown(POINT point) {
    if (!hasFocus())
        Focus();
    const auto now = std::chrono::steady_clock::now();
    const bool doubleClick = pressedBefore_ && now - lastPress_ < doubleClickTime &&
                             std::abs(point.x - lastPressPoint_.x) <= kDoubleClickDistance &&
                             std::abs(point.y - lastPressPoint_.y) <= kDoubleClickDistance;
    // A third press starts over rather than making another double click.
    pressedBefore_ = !doubleClick;
    lastPress_ = now;
    lastPressPoint_ = point;
    if (!state.composing()) {
        const std::size_t index = IndexAt(point.x);
        if (doubleClick) {
            state.SelectWordAt(index < state.text().size() || index == 0 ? index : index - 1);
            selecting_ = false;
        } else {
            state.SetCaret(index, instance && instance->IsKeyDown(VK_SHIFT));
            selecting_ = true;
        }
        Changed(false);
    }
    MyControlBase::OnLButtonDown(point);
}

void MyTextInput::OnMouseDrag(POINT point) {
    if (selecting_) {
        state.SetCaret(IndexAt(point.x), true);
        Changed(false);
    }
    MyControlBase::OnMouseDrag(point);
}

void MyTextInput::OnLButtonUp(POINT point) {
    selecting_ = false;
    MyControlBase::OnLButtonUp(point);
}

bool MyTextInput::CopySelection() {
    if (!state.hasSelection() || !instance)
        return false;
    return instance->SetClipboardText(std::u16string(state.selectedText()));
}

bool MyTextInput::Paste() {
    std::u16string pasted;
    if (!instance || !instance->GetClipboardText(pasted))
        return false;
    return state.Insert(pasted);
}

bool MyTextInput::WantsKey(int virtualKey, bool control, bool, bool alt) const {
    if (alt || (virtualKey >= VK_F1 && virtualKey < VK_F1 + 12) ||
        (virtualKey >= VK_MEDIA_NEXT_TRACK && virtualKey <= VK_MEDIA_PLAY_PAUSE))
        return false;
    if (!control)
        return true;
    switch (virtualKey) {
    case 'A':
    case 'C':
    case 'V':
    case 'X':
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
    case VK_BACK:
    case VK_DELETE:
        return true;
    default:
        return false;
    }
}

bool MyTextInput::OnKeyDown(int virtualKey) {
    // While an input method composes, the keys are its own.
    if (state.composing())
        return true;
    const bool control = instance && instance->IsKeyDown(VK_CONTROL);
    const bool shift = instance && instance->IsKeyDown(VK_SHIFT);
    switch (virtualKey) {
    case VK_LEFT:
        state.MoveLeft(shift, control);
        Changed(false);
        return true;
    case VK_RIGHT:
        state.MoveRight(shift, control);
        Changed(false);
        return true;
    case VK_HOME:
        state.MoveHome(shift);
        Changed(false);
        return true;
    case VK_END:
        state.MoveEnd(shift);
        Changed(false);
        return true;
    case VK_BACK:
        Changed(state.DeleteBackward(control));
        return true;
    case VK_DELETE:
        if (shift) {
            Changed(CopySelection() && state.DeleteSelection());
            return true;
        }
        Changed(state.DeleteForward(control));
        return true;
    case VK_RETURN:
        SubmitCallback(callbackTarget, controlId);
        return true;
    case VK_ESCAPE:
        CancelCallback(callbackTarget, controlId);
        return true;
    default:
        break;
    }
    if (!control)
        return WantsKey(virtualKey, false, shift, false);
    switch (virtualKey) {
    case 'A':
        state.SelectAll();
        Changed(false);
        return true;
    case 'C':
        CopySelection();
        return true;
    case 'X':
        Changed(CopySelection() && state.DeleteSelection());
        return true;
    case 'V':
        Changed(Paste());
        return true;
    default:
        return false;
    }
}

void MyTextInput::OnChar(char16_t unit) {
    if (unit >= 0xD800 && unit < 0xDC00) {
        pendingHigh_ = unit;
        return;
    }
    const char16_t high = pendingHigh_;
    pendingHigh_ = 0;
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (high) {
            const char16_t pair[2] = {high, unit};
            Changed(state.Insert(std::u16string_view(pair, 2)));
        }
        return;
    }
    // Enter, Backspace, Escape and Ctrl combinations arrive as control characters too; the keys
    // themselves were handled.
    if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F))
        return;
    Changed(state.Insert(std::u16string_view(&unit, 1)));
}

void MyTextInput::OnComposition(std::uint32_t message) {
    bool textChanged = false;
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        // The composed text takes the selection's place.
        textChanged = state.DeleteSelection();
        break;
    case WM_IME_COMPOSITION: {
        std::int32_t caret = 0;
        const std::u16string composed = window ? window->CompositionText(&caret) : std::u16string();
        if (!state.composing())
            textChanged = state.DeleteSelection();
        state.SetComposition(composed, static_cast<std::size_t>(std::max(caret, 0)));
        break;
    }
    case WM_IME_ENDCOMPOSITION:
        state.EndComposition();
        break;
    default:
        return;
    }
    Changed(textChanged);
}

void MyTextInput::OnFocusChanged(bool focused) {
    if (!focused) {
        selecting_ = false;
        pendingHigh_ = 0;
    }
    Changed(false);
}
