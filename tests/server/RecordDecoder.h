#pragma once
// The tests' own reading of response records (independent of the player's parsers): framing checks and
// a field reader.

#include <cstdint>
#include <string>
#include <vector>

namespace stationtest {

struct Record {
    std::uint8_t type = 0;
    std::string fields; // the bytes after the type byte
};

// Splits a body into records; false when a length is out of 0..2048 or a record is cut short.
bool SplitRecords(const std::string& body, std::vector<Record>& records);

class FieldReader {
public:
    explicit FieldReader(const std::string& bytes) : bytes_(bytes) {}
    std::uint8_t U8();
    std::uint16_t U16();
    std::int32_t I32();
    std::uint32_t U32() { return static_cast<std::uint32_t>(I32()); }
    std::string Text();
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

private:
    bool Need(std::size_t n);
    const std::string& bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace stationtest
