#pragma once
// Writes response records: Begin(type), the fields, End() fills in the length. Texts given to a record
// must first be fitted with FitTexts so that the record stays within 2048 bytes and the player keeps
// every text.

#include "records/WireFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace station {

class RecordWriter {
public:
    // Cuts `texts` (valid UTF-8) at character boundaries so that each needs at most 1999 UTF-16 units and
    // the record, `fixedLength` bytes of other fields (type byte included) plus 2 + n bytes per text, has
    // L <= 2048. The longest texts are cut first.
    static void FitTexts(std::vector<std::string_view>& texts, std::size_t fixedLength);

    void Begin(ResponseRecordType type);
    void U8(std::uint8_t value);
    void U16(std::uint16_t value);
    void I32(std::int32_t value);
    void U32(std::uint32_t value);
    // A 16-bit byte count and the bytes; the caller keeps the count within the record limit.
    void Text(std::string_view bytes);
    // Raw bytes, no count.
    void Bytes(std::string_view bytes);
    // Closes the record; false (and the record removed) when L would exceed 2048.
    bool End();

    const std::string& body() const { return body_; }
    std::string Take() { return std::move(body_); }

private:
    std::string body_;
    std::size_t recordStart_ = 0;
};

} // namespace station
