#pragma once
// The colours owner-drawn controls use for text, list rows, selection and the keyboard focus ring. The
// default palette changes nothing: every control keeps its skin's colours. In high contrast, text and
// rows are drawn in strong colours on a plain background (at least 7:1), selection is marked by a fill of
// its own, and the focus ring is wider; skin bitmaps stay for the buttons.

#include "app/HighContrast.h"
#include "ui/Gdi.h"

struct MyPalette {
    bool highContrast = false;
    COLORREF background = RGB(0x00, 0x00, 0x00);
    COLORREF text = RGB(0xFF, 0xFF, 0xFF);
    // Rows not reached yet (chat beyond the play position).
    COLORREF dimText = RGB(0xC0, 0xC0, 0xC0);
    COLORREF selectionBackground = RGB(0xFF, 0xFF, 0x00);
    COLORREF selectionText = RGB(0x00, 0x00, 0x00);
    COLORREF link = RGB(0x00, 0xFF, 0xFF);
    COLORREF border = RGB(0xFF, 0xFF, 0xFF);
    // The skin's blue, two pixels wide, by default.
    COLORREF focusRing = RGB(0x33, 0x66, 0xCC);
    std::int32_t focusRingWidth = 2;

    bool operator==(const MyPalette&) const = default;
};

// White and yellow on black, a cyan focus ring three pixels wide.
MyPalette HighContrastPalette();
// The system's own high-contrast colours (Windows), the ring in its highlight colour.
MyPalette SystemHighContrastPalette(const platform::DesktopContrast::Colours& colours);
// The palette for a choice: the default when it is off; the system's colours when the system said so and
// gave them; the built-in high-contrast colours otherwise.
MyPalette PaletteFor(const ContrastChoice& choice, const platform::DesktopContrast& desktop);

// The WCAG contrast ratio of two colours, 1 to 21.
double ContrastRatio(COLORREF a, COLORREF b);
