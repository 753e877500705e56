#pragma once
// What the small per-show files beside the settings file share (chat offsets, play speeds, moments):
// where they lie, how they are written, and how their lines' numbers read.

#include <cstdint>
#include <string>
#include <string_view>

// The file `fileName` in the folder of the settings file `settingsPath`; empty when that is empty.
std::u16string PathBesideSettings(std::u16string_view settingsPath, std::u16string_view fileName);

// Writes `text` whole and atomically to `path`; false when `path` is empty or the write failed.
bool WriteTextAtomically(std::u16string_view path, std::string_view text);

// Takes the next line off `text` (false once it is empty), its line feed left out and, when
// `trimBlanks`, carriage returns, blanks and tabs at its end too.
bool TakeLine(std::string_view& text, std::string_view& line, bool trimBlanks);

// Parses a decimal number at the start of `text` after blanks, ending at a blank or the line's end
// ("12x" is not 12), a leading "+" taken when `plusAllowed`; advances `text` past it.
bool TakeNumber(std::string_view& text, std::int64_t& value, bool plusAllowed);

inline bool FitsInt32(std::int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}
