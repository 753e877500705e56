#include "RequestHead.h"

#include <cstdint>
#include <cstring>

namespace station {
namespace {

std::uintptr_t At(const char* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

// The line-end zero bytes (one for a bare line feed, two for a carriage return and line feed) between
// the end of one line's last part and the next line: anything else hid behind a zero byte. A zero byte
// sent just before a bare line feed cannot be told from a carriage return, but it hides nothing.
bool OnlyLineEnds(const char* from, const char* to, std::size_t most) {
    if (At(to) < At(from) || At(to) - At(from) > most)
        return false;
    for (const char* p = from; p < to; ++p)
        if (*p != '\0')
            return false;
    return true;
}

} // namespace

bool HeadHadZeroByte(const HeadLayout& head) {
    if (!head.method || !head.target || !head.version || !head.end)
        return true;
    // The request line: method, blank (now a zero byte), optional further blanks, the target, one blank
    // (now a zero byte), the version.
    if (!(At(head.method) < At(head.target) && At(head.target) < At(head.version) &&
          At(head.version) < At(head.end)))
        return true;
    const char* methodEnd = head.method + std::strlen(head.method);
    if (At(methodEnd) >= At(head.target) || *methodEnd != '\0')
        return true;
    for (const char* p = methodEnd + 1; p < head.target; ++p)
        if (*p != ' ')
            return true;
    if (head.target + head.targetSize + 1 != head.version)
        return true;
    // The version's own length is checked by libmicrohttpd. Each field: name, colon (now a zero byte),
    // blanks, value, line end. A field folded over several lines is kept elsewhere; its neighbours are
    // then not checked against it.
    const char* lineEnd = head.version + std::strlen(head.version);
    for (const HeadField& field : head.fields) {
        const bool inPlace = field.name && field.value && At(field.name) > At(lineEnd) &&
                             At(field.name) + field.nameSize < At(field.value) &&
                             At(field.value) + field.valueSize < At(head.end);
        if (!inPlace) {
            lineEnd = nullptr;
            continue;
        }
        if (lineEnd && !OnlyLineEnds(lineEnd, field.name, 2))
            return true;
        const char* colon = field.name + field.nameSize;
        if (*colon != '\0')
            return true;
        for (const char* p = colon + 1; p < field.value; ++p)
            if (*p != ' ' && *p != '\t')
                return true;
        lineEnd = field.value + field.valueSize;
    }
    // The last line's end and the blank line's.
    return lineEnd && !OnlyLineEnds(lineEnd, head.end, 4);
}

} // namespace station
