// Feeds arbitrary text to the link parser, as UTF-16 units and as narrow UTF-8 text, and checks that
// whatever it accepts holds decodable numbers that the program writes back the same way.

#include "app/Links.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void CheckLink(const std::optional<ParsedLink>& link) {
    if (!link)
        return;
    for (std::int32_t field : {link->stationId, link->streamId, link->seconds})
        Check(field >= 0 && field <= 916132831);
    // A link the program writes reads back as the same three fields.
    Check(ParseLink(u"vantri:" + MakeTrackLink(link->stationId, link->streamId, link->seconds)) == link);
    // A stream link is read as a track link when its station id's digits end in "track" (ids from
    // 812698480 on): the track keyword is looked for first, anywhere in the text.
    const std::u16string stream = MakeStreamLink(link->stationId, link->streamId);
    if (stream.find(u"track-") == std::u16string::npos)
        Check(ParseLink(stream) == ParsedLink{link->stationId, link->streamId, 0});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string wide(size / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    CheckLink(ParseLink(wide));

    std::string_view narrow(reinterpret_cast<const char*>(data), size);
    CheckLink(ParseNarrowLink(narrow));
    StartsWithLinkScheme(narrow);

    // Every run of digits the parser might meet decodes without overflow.
    std::u16string_view digits(wide);
    std::int32_t value = DecodeBase62(digits.substr(0, 8));
    Check(value >= 0 && value <= 916132831);
    return 0;
}
