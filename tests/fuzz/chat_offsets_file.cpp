// Reads arbitrary bytes as the chat offsets file and checks that every offset kept is in range and not
// zero, that no more shows are kept than the limit, and that what would be saved reads back the same.

#include "app/ChatOffsets.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto offsets = MyChatOffsets::Parse(std::span<const std::uint8_t>(data, size));
    Check(offsets.size() <= MyChatOffsets::kMaxShows);
    for (const auto& [show, seconds] : offsets)
        Check(seconds != 0 && seconds >= -MyChatOffsets::kMaxOffset && seconds <= MyChatOffsets::kMaxOffset);
    const std::string text = MyChatOffsets::Format(offsets);
    const auto again = MyChatOffsets::Parse(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    Check(again == offsets);
    return 0;
}
