#include "support/RecordingMessageBoxes.h"

#include "platform/Utf.h"

namespace testsupport {

std::vector<std::string> RecordingMessageBoxes::utf8() const {
    std::vector<std::string> out;
    for (const auto& t : texts())
        out.push_back(Utf16ToUtf8(t));
    return out;
}

} // namespace testsupport
