#pragma once
// The program's menus (109, 113, 114) and accelerator table (115), kept as text resources in res/ and
// read here. A menu holds the items of the popup it shows, in order; an accelerator table maps keys to
// command numbers.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct MyMenuItem {
    std::uint16_t command = 0; // 0 for a separator
    std::u16string text;
    bool separator() const { return command == 0; }
};

struct MyAccelerator {
    std::uint16_t command = 0;
    int virtualKey = 0;
    bool control = false;
    bool shift = false;
    bool alt = false;
};

// Parses a menu text: one item a line, "<command> <text>", or "-" for a separator; "#" starts a comment
// line; blank lines are skipped. A line that is neither (no number, a number outside 1..65535, no text) is
// left out. The text is UTF-8.
std::vector<MyMenuItem> ParseMenuText(std::span<const unsigned char> bytes);
// Parses an accelerator text: one key a line, "<command> <key>"; lines that do not parse are left out.
std::vector<MyAccelerator> ParseAcceleratorText(std::span<const unsigned char> bytes);

// The built-in menu or table with that resource id; empty when there is none.
std::vector<MyMenuItem> LoadMenuResource(int resourceId);
std::vector<MyAccelerator> LoadAcceleratorResource(int resourceId);

// The command of the first accelerator that matches a key press with these modifiers, or 0 (the part of
// TranslateAccelerator that finds the command).
std::uint16_t FindAccelerator(const std::vector<MyAccelerator>& table, int virtualKey, bool control,
                              bool shift, bool alt);
