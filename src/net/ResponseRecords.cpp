#include "net/ResponseRecords.h"

#include "platform/Utf.h"

namespace {

std::uint16_t LoadUInt16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                             << 8);
}

} // namespace

bool RecordReader::Take(std::size_t count, const char** out) {
    if (count > length_ - position_)
        return false;
    *out = data_ + position_;
    position_ += count;
    return true;
}

bool RecordReader::TakeCounted(std::string_view& out) {
    const std::size_t start = position_;
    std::uint16_t count = 0;
    const char* bytes = nullptr;
    if (!ReadUInt16(count) || !Take(count, &bytes)) {
        position_ = start;
        return false;
    }
    out = std::string_view(bytes, count);
    return true;
}

bool RecordReader::ReadByte(std::uint8_t& out) {
    const char* p = nullptr;
    if (!Take(1, &p))
        return false;
    out = static_cast<std::uint8_t>(*p);
    return true;
}

bool RecordReader::ReadUInt16(std::uint16_t& out) {
    const char* p = nullptr;
    if (!Take(2, &p))
        return false;
    out = LoadUInt16(p);
    return true;
}

bool RecordReader::ReadUInt32(std::uint32_t& out) {
    const char* p = nullptr;
    if (!Take(4, &p))
        return false;
    out = static_cast<std::uint32_t>(LoadUInt16(p)) | static_cast<std::uint32_t>(LoadUInt16(p + 2)) << 16;
    return true;
}

bool RecordReader::ReadInt32(std::int32_t& out) {
    std::uint32_t value = 0;
    if (!ReadUInt32(value))
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

bool RecordReader::ReadText(std::u16string& out) {
    std::string_view bytes;
    if (!TakeCounted(bytes))
        return false;
    out = Utf8ToUtf16(bytes);
    if (out.size() > kMaxTextUnits)
        out.clear();
    else if (std::size_t zero = out.find(u'\0'); zero != std::u16string::npos)
        out.resize(zero);
    return true;
}

bool RecordReader::SkipText() {
    std::string_view bytes;
    return TakeCounted(bytes);
}

bool RecordReader::ReadByteString(std::string& out) {
    std::string_view bytes;
    if (!TakeCounted(bytes))
        return false;
    out.assign(bytes);
    return true;
}

RecordFrame FrameRecord(const char* data, std::size_t available, ResponseRecord& out) {
    if (available < 2)
        return RecordFrame::Incomplete;
    const auto length = static_cast<std::int16_t>(LoadUInt16(data));
    if (length < 1 || static_cast<std::size_t>(length) > kMaxRecordLength)
        return RecordFrame::Invalid;
    const std::size_t size = 2 + static_cast<std::size_t>(length);
    if (available < size)
        return RecordFrame::Incomplete;
    out.type = static_cast<std::uint8_t>(data[2]);
    out.fields = RecordReader(data + 3, size - 3);
    out.size = size;
    return RecordFrame::Complete;
}
