#include "RecordWriter.h"

#include "Text.h"

#include <algorithm>

namespace station {

void RecordWriter::FitTexts(std::vector<std::string_view>& texts, std::size_t fixedLength) {
    std::size_t total = fixedLength;
    for (auto& text : texts) {
        text = CutUtf8(text, 32767, kMaxTextUnits);
        total += 2 + text.size();
    }
    if (total <= kMaxRecordLength)
        return;
    const std::size_t overhead = fixedLength + 2 * texts.size();
    const std::size_t budget = overhead < kMaxRecordLength ? kMaxRecordLength - overhead : 0;
    // Share the budget fairly: find the largest cap such that the texts, each cut to at most the cap,
    // fit; texts shorter than the cap stay whole.
    std::vector<std::size_t> lengths;
    for (auto text : texts)
        lengths.push_back(text.size());
    std::sort(lengths.begin(), lengths.end());
    std::size_t cap = 0;
    std::size_t used = 0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const std::size_t remaining = lengths.size() - i;
        const std::size_t share = (budget - used) / remaining;
        if (lengths[i] > share) {
            cap = share;
            break;
        }
        used += lengths[i];
        cap = lengths[i];
    }
    for (auto& text : texts)
        text = CutUtf8(text, cap, kMaxTextUnits);
}

void RecordWriter::Begin(ResponseRecordType type) {
    recordStart_ = body_.size();
    body_.append(2, '\0');
    U8(type);
}

void RecordWriter::U8(std::uint8_t value) {
    body_.push_back(static_cast<char>(value));
}

void RecordWriter::U16(std::uint16_t value) {
    body_.push_back(static_cast<char>(value & 0xFF));
    body_.push_back(static_cast<char>(value >> 8));
}

void RecordWriter::U32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        body_.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void RecordWriter::I32(std::int32_t value) {
    U32(static_cast<std::uint32_t>(value));
}

void RecordWriter::Text(std::string_view bytes) {
    U16(static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), 0x7FFF)));
    body_.append(bytes.substr(0, 0x7FFF));
}

void RecordWriter::Bytes(std::string_view bytes) {
    body_.append(bytes);
}

bool RecordWriter::End() {
    const std::size_t length = body_.size() - recordStart_ - 2;
    if (length > kMaxRecordLength) {
        body_.resize(recordStart_);
        return false;
    }
    body_[recordStart_] = static_cast<char>(length & 0xFF);
    body_[recordStart_ + 1] = static_cast<char>(length >> 8);
    return true;
}

} // namespace station
