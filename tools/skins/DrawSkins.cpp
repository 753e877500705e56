// Draws the skin bitmaps 104 (play controls), 106 (info panels), 107 (scrollbar) and the program icon
// 108 into a folder, normally res/: light greys, one blue accent, soft bevels. Every piece lies exactly
// where the controls read it.
//
//   skins_draw <folder>

#include "Canvas.h"
#include "Png.h"
#include "panels/PlayControlSkin.h"
#include "ui/BitmapFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

using namespace skins;

namespace {

constexpr Colour kAccent = 0x2F7FD8;
constexpr Colour kAccentDark = 0x1F5FAF;
constexpr Colour kAccentLight = 0xDCE9F9;
constexpr Colour kIcon = 0x464646;
constexpr Colour kUnused = 0xE5E5E5;

// The lower strip of the play panel, 48 rows; row 0 is the rule under the text bars.
Colour StripColour(int r) {
    return r == 0 ? 0xCBCBCB : Mix(0xF4F4F4, 0xE3E3E3, (r - 1) / 46.0);
}
// A sunken 24-row field (text bars, the volume area).
Colour FieldColour(int r) {
    if (r == 0)
        return 0xC3C3C3;
    if (r == 23)
        return 0xDCDCDC;
    return Mix(0xFFFFFF, 0xF5F5F5, (r - 1) / 21.0);
}
// The 48-row tab bar and the station chooser's header; the last row is the bottom rule.
Colour BarColour(int r) {
    return r >= 47 ? 0xBDBDBD : Mix(0xF7F7F7, 0xE6E6E6, r / 46.0);
}

void RowBackground(Canvas& c, int x0, int y0, int x1, int rows, Colour (*colour)(int), int firstRow) {
    for (int r = 0; r < rows; ++r)
        c.Fill(x0, y0 + r, x1, y0 + r + 1, colour(firstRow + r));
}

bool Save(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// ---- Bitmap 104: play control panel ---------------------------------------------------------------

void DrawSpeaker(Canvas& c, double x, double y, bool muted) {
    const Colour body = muted ? 0x8A8A8A : kIcon;
    c.RoundRect(x + 1, y + 9.5, x + 4, y + 14.5, 0.5, body);
    c.Triangle(x + 3.5, y + 9.5, x + 8, y + 5.5, x + 8, y + 18.5, body);
    c.Triangle(x + 3.5, y + 9.5, x + 8, y + 18.5, x + 3.5, y + 14.5, body);
    if (muted) {
        c.Line(x + 9.5, y + 9.5, x + 13, y + 14.5, 1.4, kAccent);
        c.Line(x + 13, y + 9.5, x + 9.5, y + 14.5, 1.4, kAccent);
    } else {
        c.Ring(x + 8, y + 12, 2.8, 1.2, -50, 50, body);
        c.Ring(x + 8, y + 12, 5.2, 1.2, -50, 50, body);
    }
}

void DrawPlayIcon(Canvas& c, int kind, double cx, double cy, Colour colour) {
    switch (kind) {
    case 0: // previous track
        c.RoundRect(cx - 6, cy - 5, cx - 4.4, cy + 5, 0.6, colour);
        c.Triangle(cx + 0.6, cy - 5, cx + 0.6, cy + 5, cx - 4, cy, colour);
        c.Triangle(cx + 5.6, cy - 5, cx + 5.6, cy + 5, cx + 1, cy, colour);
        break;
    case 1: // pause
        c.RoundRect(cx - 4.5, cy - 5.5, cx - 1.5, cy + 5.5, 0.8, colour);
        c.RoundRect(cx + 1.5, cy - 5.5, cx + 4.5, cy + 5.5, 0.8, colour);
        break;
    case 2: // play
        c.Triangle(cx - 3.5, cy - 6, cx - 3.5, cy + 6, cx + 6, cy, colour);
        break;
    default: // next track
        c.RoundRect(cx + 4.4, cy - 5, cx + 6, cy + 5, 0.6, colour);
        c.Triangle(cx - 0.6, cy - 5, cx - 0.6, cy + 5, cx + 4, cy, colour);
        c.Triangle(cx - 5.6, cy - 5, cx - 5.6, cy + 5, cx - 1, cy, colour);
        break;
    }
}

Canvas Draw104() {
    using namespace playskin;
    Canvas c(157, 176, kUnused);
    // Corner image behind the buttons: the strip's rows all the way across.
    RowBackground(c, 0, 0, kCornerWidth, kCornerHeight, StripColour, 0);

    // Volume slider: a field with a rounded groove; the right end is the left end mirrored.
    {
        Canvas t(40, 24, 0);
        RowBackground(t, 0, 0, 40, 24, FieldColour, 0);
        t.RoundRect(3, 9.5, 37, 14.5, 2.5, 0xA9A9A9);
        t.RoundRect(4, 10.5, 36, 13.5, 1.5, 0xD8D8D8);
        c.Copy(t, 0, 0, kVolumeEndWidth, kVolumeHeight, kVolumeEndX, kVolumeTop);
        c.Copy(t, 20, 0, 1, kVolumeHeight, kVolumeMiddleColumn, kVolumeTop);
        // The knob, with the field behind its corners.
        Canvas k(6, 18, 0);
        k.Copy(t, 20, 3, 1, 18, 0, 0);
        for (int x = 1; x < 6; ++x)
            k.Copy(k, 0, 0, 1, 18, x, 0);
        k.Button(0, 0, 6, 18, 3, kAccentDark, 0x5A9BE6, kAccent);
        c.Copy(k, 0, 0, kVolumeKnobWidth, kVolumeKnobHeight, kVolumeKnobX, kVolumeKnobY);
    }
    // Mute button, not muted and muted.
    for (int muted = 0; muted < 2; ++muted) {
        Canvas t(14, 24, 0);
        RowBackground(t, 0, 0, 14, 24, FieldColour, 0);
        DrawSpeaker(t, 0, 0, muted != 0);
        c.Copy(t, 0, 0, kMuteWidth, kMuteHeight, muted ? kMutedX : kMuteX, kMuteY);
    }
    // Position bar, styles 0 and 1: fixed left end, left zone, middle, right zone, right end (25 columns).
    for (int s = 0; s < 2; ++s) {
        Canvas t(25, 32, 0);
        RowBackground(
            t, 0, 0, 25, 32, [](int r) { return StripColour(r + 8); }, 0);
        const Colour border = s == 0 ? 0xA8A8A8 : 0x98A3AF;
        t.RoundRect(2, 10.5, 23, 21.5, 5.5, border);
        for (int y = 11; y < 21; ++y) {
            const double f = (y - 11) / 9.0;
            const Colour face = s == 0 ? Mix(0xEDEDED, 0xD4D4D4, f) : Mix(0xD9E1EA, 0xBAC6D3, f);
            t.Shape(
                3, y, 22, y + 1,
                [](double x, double yy) { return InRoundRect(x, yy, 3, 11.5, 22, 20.5, 4.5); }, face);
        }
        // Style 0 starts with the fixed left end at column 51; style 1 follows 25 columns on, without one.
        const int first = kBarPlainLeftX + kBarStyleStep * s;
        c.Copy(t, s == 0 ? 0 : kBarFixedLeftWidth, 0, s == 0 ? 25 : 19, kBarHeight,
               s == 0 ? first : first + kBarFixedLeftWidth, kBarTop);
    }
    // Position knob: image (black outside) and mask (black inside, white outside) for SRCAND + SRCPAINT.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = Canvas::Coverage(x, y, [](double px, double py) {
                                    return InRoundRect(px, py, 0, 3, 8, 29, 3);
                                }) >= 0.5;
            const bool edge = inside && (x == 0 || x == 7 || Canvas::Coverage(x, y, [](double px, double py) {
                                                                 return InRoundRect(px, py, 1, 4, 7, 28, 2);
                                                             }) < 0.5);
            const Colour face = Mix(0x6AA6EA, kAccent, y / 31.0);
            c.Set(kKnobImageX + x, kKnobY + y, inside ? (edge ? kAccentDark : face) : 0x000000);
            c.Set(kKnobMaskX + x, kKnobY + y, inside ? 0x000000 : 0xFFFFFF);
        }
    // Play buttons, a segmented group of four: normal and pressed, plain and lit.
    for (int lit = 0; lit < 2; ++lit)
        for (int pressed = 0; pressed < 2; ++pressed) {
            Canvas t(141, 32, 0);
            RowBackground(
                t, 0, 0, 141, 32, [](int r) { return StripColour(r + 8); }, 0);
            const Colour border = lit ? 0x8DB0DD : 0xAEAEAE;
            Colour top = pressed ? 0xD3D3D3 : 0xFEFEFE;
            Colour bottom = pressed ? 0xE3E3E3 : 0xE6E6E6;
            if (lit) {
                top = pressed ? 0xC9DCF4 : 0xF2F7FD;
                bottom = pressed ? 0xD9E6F7 : 0xD8E6F8;
            }
            t.Button(0, 1, 141, 31, 5, border, top, bottom);
            for (int k = 1; k < 4; ++k)
                t.Fill(35 * k + 1, 2, 35 * k + 2, 30, border);
            for (int k = 0; k < 4; ++k) {
                const double x0 = k == 0 ? 0 : 35 * k + 1;
                const double w = k == 0 ? 36 : 35;
                DrawPlayIcon(t, k, x0 + w / 2 + (k == 0 ? 0.5 : 0.5), 16 + (pressed ? 0.5 : 0),
                             lit ? kAccent : kIcon);
            }
            c.Copy(t, 0, 0, 141, kButtonHeight, 0,
                   (pressed ? kButtonPressedY : kButtonNormalY) + kButtonLitStep * lit);
        }
    // 48-row frame of the lower strip and 24-row frame of the fields (columns left, middle, right).
    RowBackground(c, kFrameLeftColumn, kFrame48Top, kFrameRightColumn + 1, 48, StripColour, 0);
    RowBackground(c, kFrameLeftColumn, kFrame24Top, kFrameRightColumn + 1, 24, FieldColour, 0);
    for (int r = 1; r < 23; ++r) {
        c.Set(kFrameLeftColumn, kFrame24Top + r, 0xC8C8C8);
        c.Set(kFrameRightColumn, kFrame24Top + r, 0xD4D4D4);
    }
    return c;
}

// ---- Bitmap 106: info panels ------------------------------------------------------------------------

void DrawViewIcon(Canvas& c, int kind, double cx, double cy, Colour colour) {
    if (kind == 0) { // stations: a list with bullets
        for (int i = -1; i <= 1; ++i) {
            c.Disc(cx - 5.5, cy + 4.5 * i, 1.4, colour);
            c.RoundRect(cx - 2.5, cy + 4.5 * i - 0.8, cx + 7, cy + 4.5 * i + 0.8, 0.8, colour);
        }
    } else { // streams by time: a clock
        c.Ring(cx, cy, 6, 1.6, -180, 180, colour);
        c.Line(cx, cy, cx, cy - 3.8, 1.5, colour);
        c.Line(cx, cy, cx + 3, cy + 1.2, 1.5, colour);
    }
}

Canvas Draw106() {
    Canvas c(87, 250, kUnused);
    RowBackground(c, 0, 0, 3, 48, BarColour, 0);

    // Tabs: normal, pressed, selected; 8 left columns, 1 middle, 6 right.
    for (int state = 0; state < 3; ++state) {
        Canvas t(40, 38, 0);
        RowBackground(
            t, 0, 0, 40, 38, [](int r) { return BarColour(r + 5); }, 0);
        if (state == 0)
            t.Button(0, 0, 40, 38, 6, 0xC2C2C2, 0xFFFFFF, 0xF0F0F0);
        else if (state == 1)
            t.Button(0, 0, 40, 38, 6, 0xA9A9A9, 0xDADADA, 0xE7E7E7);
        else {
            t.Button(0, 0, 40, 38, 6, 0x9DBDE6, 0xFFFFFF, 0xEEF4FC);
            t.RoundRect(6, 32, 34, 35, 1.5, kAccent);
        }
        const int at = 3 + 15 * state;
        c.Copy(t, 0, 0, 8, 38, at, 0);
        c.Copy(t, 20, 0, 1, 38, at + 8, 0);
        c.Copy(t, 34, 0, 6, 38, at + 9, 0);
    }
    // Track row shades: even, odd, pressed, highlighted.
    for (int r = 0; r < 16; ++r) {
        c.Set(48, r, 0xF7F7F7);
        c.Set(49, r, 0xEBEBEB);
        c.Set(50, r, 0xD2D2D2);
        c.Set(51, r, r == 0 || r == 15 ? 0xB3CFF2 : Mix(0xE3EEFC, 0xD0E2F8, r / 15.0));
    }
    // Stream row plates, normal and pressed, on the row background.
    for (int pressed = 0; pressed < 2; ++pressed) {
        Canvas t(40, 32, 0xE5E5E5);
        if (pressed)
            t.Button(0, 1, 40, 31, 4, 0x86ACDF, 0xE8F1FC, 0xD5E4F8);
        else
            t.Button(0, 1, 40, 31, 4, 0xCACACA, 0xFFFFFF, 0xF3F3F3);
        const int y = 32 * pressed;
        c.Copy(t, 0, 0, 6, 32, 52, y);
        c.Copy(t, 20, 0, 1, 32, 58, y);
        c.Copy(t, 34, 0, 6, 32, 59, y);
    }
    // Station row: a light bar with an accent mark on the left.
    {
        Canvas t(60, 32, 0);
        t.VerticalGradient(0, 0, 60, 32, 0xF8F8F8, 0xE4E4E4);
        t.Fill(0, 0, 60, 1, 0xFFFFFF);
        t.Fill(0, 31, 60, 32, 0xC7C7C7);
        t.RoundRect(3, 8, 6, 24, 1.5, kAccent);
        c.Copy(t, 0, 0, 13, 32, 38, 64);
        c.Copy(t, 30, 0, 1, 32, 51, 64);
        c.Copy(t, 47, 0, 13, 32, 52, 64);
    }
    // Top strip of the settings and about pages: a soft shadow into the page colour.
    for (int r = 0; r < 8; ++r)
        c.Set(65, r, Mix(0xC0C0C0, 0xDDDDDD, r / 7.0));
    // Check boxes: off, off pressed, on, on pressed.
    for (int state = 0; state < 4; ++state) {
        Canvas t(20, 20, 0xDDDDDD);
        const bool on = state >= 2;
        const bool pressed = state % 2 == 1;
        if (!on)
            t.Button(2, 2, 18, 18, 3.5, pressed ? kAccent : 0x8E8E8E, pressed ? 0xE2E2E2 : 0xFFFFFF,
                     pressed ? 0xEDEDED : 0xF1F1F1);
        else
            t.Button(2, 2, 18, 18, 3.5, kAccentDark, pressed ? kAccentDark : 0x5597E4,
                     pressed ? 0x2A6EC0 : kAccent);
        if (on) {
            t.Line(5.8, 10.2, 8.6, 13.2, 2.0, 0xFFFFFF);
            t.Line(8.6, 13.2, 14.2, 6.8, 2.0, 0xFFFFFF);
        }
        c.Copy(t, 0, 0, 20, 20, 66, 20 * state);
    }
    // Station chooser header, with the two view buttons drawn plain at (8, 8) and (43, 8).
    RowBackground(c, 0, 106, 87, 48, BarColour, 0);
    for (int r = 0; r < 48; ++r)
        c.Set(86, 106 + r, 0xB4B4B4);
    // View buttons: plain, pressed, active, active and pressed (a segmented pair, 35 + 36 columns).
    const int rowsFor[4] = {114, 154, 186, 218};
    for (int state = 0; state < 4; ++state) {
        const bool active = state >= 2;
        const bool pressed = state == 1 || state == 3;
        Canvas t(71, 32, 0);
        RowBackground(
            t, 0, 0, 71, 32, [](int r) { return BarColour(r + 8); }, 0);
        Colour top = pressed ? 0xD6D6D6 : 0xFEFEFE;
        Colour bottom = pressed ? 0xE4E4E4 : 0xE8E8E8;
        if (active) {
            top = pressed ? 0xC6DAF3 : 0xF0F6FD;
            bottom = pressed ? 0xD6E4F6 : kAccentLight;
        }
        t.Button(0, 1, 71, 31, 5, active ? 0x8DB0DD : 0xB0B0B0, top, bottom);
        t.Fill(35, 2, 36, 30, active ? 0x8DB0DD : 0xB0B0B0);
        const Colour icon = active ? kAccent : kIcon;
        DrawViewIcon(t, 0, 17.5, 16 + (pressed ? 0.5 : 0), icon);
        DrawViewIcon(t, 1, 53, 16 + (pressed ? 0.5 : 0), icon);
        if (state == 0)
            c.Copy(t, 0, 0, 71, 32, 8, 114);
        else
            c.Copy(t, 0, 0, 71, 32, 0, rowsFor[state]);
    }
    return c;
}

// ---- Bitmap 107: scrollbar --------------------------------------------------------------------------

Canvas Draw107() {
    Canvas c(64, 33, 0x000000);
    // Track: a light gutter with a left rule and a rounded groove.
    Canvas t(24, 60, 0xF2F2F2);
    t.Fill(0, 0, 1, 60, 0xD5D5D5);
    t.RoundRect(8, 3, 16, 57, 4, 0xD9D9D9);
    t.RoundRect(9, 4, 15, 56, 3, 0xE6E6E6);
    c.Copy(t, 0, 0, 24, 16, 0, 0);
    for (int r = 16; r <= 18; ++r)
        c.Copy(t, 0, 30, 24, 1, 0, r);
    c.Copy(t, 0, 48, 24, 12, 0, 19);
    c.Copy(t, 0, 30, 24, 2, 0, 31);
    // Thumb: a grey pill; image premultiplied by its coverage (black outside), mask the coverage.
    Canvas thumb(20, 60, 0x000000, true);
    thumb.RoundRect(4, 0, 16, 60, 6, 0x8A9097);
    // Shaded across, not along, so the caps and the stretched middle row match.
    for (int x = 5; x < 15; ++x)
        thumb.Shape(
            x, 1, x + 1, 59, [](double px, double py) { return InRoundRect(px, py, 5, 1, 15, 59, 5); },
            Mix(0xBFC4CA, 0xA2A8AF, (x - 5) / 9.0));
    auto put = [&](int fromRow, int toRow) {
        for (int x = 0; x < 20; ++x) {
            const double a = std::clamp(thumb.alpha[static_cast<std::size_t>(fromRow) * 20 + x], 0.0, 1.0);
            const Colour colour = Mix(0x000000, thumb.Get(x, fromRow), a);
            const auto grey = static_cast<Colour>(std::lround(a * 255));
            c.Set(24 + x, toRow, colour);
            c.Set(44 + x, toRow, grey << 16 | grey << 8 | grey);
        }
    };
    for (int r = 0; r < 18; ++r)
        put(r, r); // top cap; row 17 is also the stretched middle
    put(30, 18);
    for (int r = 0; r < 14; ++r)
        put(46 + r, 19 + r); // bottom cap
    return c;
}

// ---- Icon 108 -----------------------------------------------------------------------------------------

DecodedImage DrawIcon(int size) {
    Canvas c(size, size, 0x000000, true);
    const double s = size;
    const double m = s * 0.06;
    const double r = s * 0.22;
    for (int y = 0; y < size; ++y)
        c.Shape(
            m, y, s - m, y + 1,
            [=](double x, double yy) { return InRoundRect(x, yy, m, m, s - m, s - m, r); },
            Mix(0x4C9BEE, kAccentDark, y / std::max(1.0, s - 1)));
    c.Triangle(s * 0.36, s * 0.27, s * 0.36, s * 0.73, s * 0.72, s * 0.5, 0xFFFFFF);
    if (size >= 24) {
        c.Ring(s * 0.5, s * 0.5, s * 0.33, std::max(1.2, s * 0.055), -48, 48, 0xFFFFFF);
        c.Ring(s * 0.5, s * 0.5, s * 0.33, std::max(1.2, s * 0.055), 132, 228, 0xFFFFFF);
    }
    return c.Image(true);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = Save(folder + "/104-panel.bmp", EncodeBmp24(Draw104().Image(false)));
    ok = Save(folder + "/106-infopanel.bmp", EncodeBmp24(Draw106().Image(false))) && ok;
    ok = Save(folder + "/107-scrollbar.bmp", EncodeBmp24(Draw107().Image(false))) && ok;
    std::vector<DecodedImage> icons;
    for (int size : {16, 24, 32, 48, 64, 128})
        icons.push_back(DrawIcon(size));
    ok = Save(folder + "/108-vantri.ico", EncodeIco(icons)) && ok;
    // The same icon for the desktop's icon theme, at the sizes menus and software centres ask for.
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        ok = Save(folder + "/icons/vantri-" + name + ".png", EncodePng(DrawIcon(size))) && ok;
    }
    if (!ok)
        std::fprintf(stderr, "could not write the skins into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
