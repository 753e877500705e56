#pragma once
// Finds zero bytes a client hid in a request head that libmicrohttpd has already split in place.
// libmicrohttpd ends each part of the head with a zero byte where a separator was (the blank after the
// method, the blank before the version, the colon of a field, each line end) and hands the parts on as
// C strings, so a zero byte sent inside a part silently cuts it there: "/getstations/" then a zero byte
// would be served as "/getstations/". Knowing where each part begins and how long it is as seen, the
// bytes between the end of one part and the start of the next show whether anything but the
// separators lay there.

#include <cstddef>
#include <vector>

namespace station {

struct HeadField {
    const char* name = nullptr;
    std::size_t nameSize = 0;
    const char* value = nullptr;
    std::size_t valueSize = 0;
};

// The parts of one request head as they lie in libmicrohttpd's read buffer, in the order received.
struct HeadLayout {
    const char* method = nullptr;  // start of the request line
    const char* target = nullptr;  // the target as the line held it, before any unescaping
    std::size_t targetSize = 0;    // its length as seen (up to its first zero byte)
    const char* version = nullptr; // "HTTP/1.1"
    const char* end = nullptr;     // just past the blank line that ends the head
    std::vector<HeadField> fields;
};

// True when a zero byte lay inside the method, the target, the version or a field of the head, or the
// parts do not lie where a request line puts them.
bool HeadHadZeroByte(const HeadLayout& head);

} // namespace station
