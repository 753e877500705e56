#include "support/CatalogueResponses.h"

namespace testsupport {

RecordFields& RecordFields::Byte(std::uint8_t value) {
    fields_.push_back(static_cast<char>(value));
    return *this;
}

RecordFields& RecordFields::UInt16(std::uint16_t value) {
    fields_.push_back(static_cast<char>(value & 0xFF));
    fields_.push_back(static_cast<char>(value >> 8));
    return *this;
}

RecordFields& RecordFields::Int32(std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        fields_.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    return *this;
}

RecordFields& RecordFields::Text(std::string_view utf8) {
    return CountedBytes(utf8, static_cast<int>(utf8.size()));
}

RecordFields& RecordFields::CountedBytes(std::string_view bytes, int count) {
    UInt16(static_cast<std::uint16_t>(count));
    fields_.append(bytes);
    return *this;
}

RecordFields& RecordFields::Raw(std::string_view bytes) {
    fields_.append(bytes);
    return *this;
}

std::string RecordFields::Record(std::uint8_t type) const {
    return RecordWithLength(type, static_cast<std::int16_t>(fields_.size() + 1));
}

std::string RecordFields::RecordWithLength(std::uint8_t type, std::int16_t length) const {
    std::string out;
    auto u = static_cast<std::uint16_t>(length);
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
    out.push_back(static_cast<char>(type));
    out += fields_;
    return out;
}

std::string DirectoryHeader(std::int32_t stationCount, std::uint8_t version) {
    return RecordFields().Byte(version).Int32(stationCount).Record(7);
}

std::string DirectoryStation(std::int32_t stationId, std::uint16_t port, std::string_view name,
                             std::string_view host, std::string_view basePath) {
    return RecordFields().Int32(stationId).UInt16(port).Text(name).Text(host).Text(basePath).Record(8);
}

std::string StationHeader(std::uint8_t version, std::string_view name, std::string_view description,
                          std::int32_t streamCount) {
    RecordFields fields;
    fields.Byte(version).Text(name);
    if (version == 5)
        fields.Text(description);
    return fields.Int32(streamCount).Record(1);
}

std::string StreamRecord(const StreamFields& s) {
    return RecordFields()
        .Int32(s.streamId)
        .Int32(s.startTime)
        .Int32(s.duration)
        .Int32(s.size)
        .Byte(s.streamType)
        .Int32(s.extraValue1)
        .Byte(s.hasChat)
        .Int32(s.extraValue2)
        .Text(s.text1)
        .Text(s.text2)
        .Text(s.text3)
        .Record(2);
}

std::string TrackListHeader(std::int32_t trackCount, std::uint8_t version) {
    return RecordFields().Byte(version).Int32(trackCount).Record(3);
}

std::string TrackRecord(std::int32_t start, std::int32_t secondTime, std::uint8_t trackKind,
                        std::uint8_t flag, std::string_view text1, std::string_view text2) {
    return RecordFields()
        .Int32(start)
        .Int32(secondTime)
        .Byte(trackKind)
        .Byte(flag)
        .Text(text1)
        .Text(text2)
        .Record(4);
}

std::string ChatHeader(std::int32_t rowCount, std::uint8_t version, std::string_view text) {
    return RecordFields().Byte(version).Text(text).Int32(rowCount).Record(5);
}

std::string ChatRowRecord(std::int32_t time, std::uint8_t kind, const std::vector<std::string>& args) {
    RecordFields fields;
    fields.Int32(time).Byte(kind).Byte(static_cast<std::uint8_t>(args.size()));
    for (const auto& arg : args)
        fields.Text(arg);
    return fields.Record(6);
}

} // namespace testsupport
