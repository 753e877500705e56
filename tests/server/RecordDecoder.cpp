#include "RecordDecoder.h"

namespace stationtest {

bool SplitRecords(const std::string& body, std::vector<Record>& records) {
    records.clear();
    std::size_t pos = 0;
    while (pos < body.size()) {
        if (pos + 2 > body.size())
            return false;
        const auto length = static_cast<std::int16_t>(static_cast<std::uint8_t>(body[pos]) |
                                                      (static_cast<std::uint8_t>(body[pos + 1]) << 8));
        if (length < 1 || length > 2048 || pos + 2 + static_cast<std::size_t>(length) > body.size())
            return false;
        Record record;
        record.type = static_cast<std::uint8_t>(body[pos + 2]);
        record.fields = body.substr(pos + 3, static_cast<std::size_t>(length) - 1);
        records.push_back(std::move(record));
        pos += 2 + static_cast<std::size_t>(length);
    }
    return true;
}

bool FieldReader::Need(std::size_t n) {
    if (!ok_ || pos_ + n > bytes_.size())
        ok_ = false;
    return ok_;
}

std::uint8_t FieldReader::U8() {
    if (!Need(1))
        return 0;
    return static_cast<std::uint8_t>(bytes_[pos_++]);
}

std::uint16_t FieldReader::U16() {
    if (!Need(2))
        return 0;
    const auto value = static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes_[pos_]) |
                                                  (static_cast<std::uint8_t>(bytes_[pos_ + 1]) << 8));
    pos_ += 2;
    return value;
}

std::int32_t FieldReader::I32() {
    if (!Need(4))
        return 0;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes_[pos_ + static_cast<std::size_t>(i)]);
    pos_ += 4;
    return static_cast<std::int32_t>(value);
}

std::string FieldReader::Text() {
    const std::uint16_t n = U16();
    if (n > 0x7FFF || !Need(n))
        return {};
    std::string text = bytes_.substr(pos_, n);
    pos_ += n;
    return text;
}

} // namespace stationtest
