#include "records/OneLineText.h"

#include <algorithm>

namespace {

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

} // namespace

std::u16string CleanOneLineText(std::u16string_view text, std::size_t maxUnits) {
    std::u16string out;
    out.reserve(std::min(text.size(), maxUnits));
    for (std::size_t i = 0; i < text.size() && out.size() < maxUnits; ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n' || c == u'\t') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out.push_back(u' ');
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            continue;
        } else if (IsHigh(c)) {
            if (i + 1 < text.size() && IsLow(text[i + 1])) {
                if (out.size() + 2 > maxUnits)
                    break;
                out.push_back(c);
                out.push_back(text[++i]);
            }
        } else if (!IsLow(c)) {
            out.push_back(c);
        }
    }
    return out;
}
