#pragma once
// Builds catalogue response bodies byte by byte, as a station or directory server sends them: records of
// a 16-bit length, a type byte and little-endian fields; texts as a 16-bit byte count and UTF-8.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class RecordFields {
public:
    RecordFields& Byte(std::uint8_t value);
    RecordFields& UInt16(std::uint16_t value);
    RecordFields& Int32(std::int32_t value);
    // A counted text or byte string; the count is the byte length unless given.
    RecordFields& Text(std::string_view utf8);
    RecordFields& CountedBytes(std::string_view bytes, int count);
    RecordFields& Raw(std::string_view bytes);
    // The whole record: the length (type byte plus fields), the type, the fields.
    std::string Record(std::uint8_t type) const;
    // A record whose length field says `length` whatever the fields hold.
    std::string RecordWithLength(std::uint8_t type, std::int16_t length) const;

private:
    std::string fields_;
};

std::string DirectoryHeader(std::int32_t stationCount, std::uint8_t version = 1);
std::string DirectoryStation(std::int32_t stationId, std::uint16_t port, std::string_view name,
                             std::string_view host, std::string_view basePath = "/");

std::string StationHeader(std::uint8_t version, std::string_view name, std::string_view description,
                          std::int32_t streamCount);
struct StreamFields {
    std::int32_t streamId = 1;
    std::int32_t startTime = 1'600'000'000;
    std::int32_t duration = 3600;
    std::int32_t size = 57'600'000;
    std::uint8_t streamType = 1; // wire value, 1 to 3
    std::int32_t extraValue1 = 0;
    std::uint8_t hasChat = 1;
    std::int32_t extraValue2 = 0;
    std::string text1 = "Show";
    std::string text2 = "Host";
    std::string text3 = "Topic";
};
std::string StreamRecord(const StreamFields& stream);

std::string TrackListHeader(std::int32_t trackCount, std::uint8_t version = 3);
std::string TrackRecord(std::int32_t start, std::int32_t secondTime, std::uint8_t trackKind,
                        std::uint8_t flag, std::string_view text1, std::string_view text2);

std::string ChatHeader(std::int32_t rowCount, std::uint8_t version = 3, std::string_view text = "#channel");
std::string ChatRowRecord(std::int32_t time, std::uint8_t kind, const std::vector<std::string>& args);

} // namespace testsupport
