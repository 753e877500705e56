#pragma once
// The one rule for text typed or sent as one line (the text input's text, a search query): line breaks
// and tabs become one blank each (CR LF one blank), other control characters go, and so does half of a
// surrogate pair; at most `maxUnits` UTF-16 units are kept, never ending inside a pair.

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

std::u16string CleanOneLineText(std::u16string_view text,
                                std::size_t maxUnits = std::numeric_limits<std::size_t>::max());
