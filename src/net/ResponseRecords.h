#pragma once
// The record framing every catalogue response body uses, and a reader for the fields of one record.
//
// A body is a sequence of records, all integers little-endian:
//   offset 0, 2 bytes: length L (signed 16-bit), the bytes that follow this field, 0 to 2048
//   offset 2, 1 byte:  record type
//   offset 3, L - 1:   the fields of the type
// A text field is a signed 16-bit byte count and that many bytes of UTF-8; a byte-string field is a
// 16-bit count and that many bytes taken as they are.
//
// Every field is read inside its record: a field that runs past the record's end makes the record
// invalid, and so does a record whose fields do not fill it exactly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum ResponseRecordType : std::uint8_t {
    ResponseRecordType_StationHeader = 1,
    ResponseRecordType_Stream = 2,
    ResponseRecordType_TrackListHeader = 3,
    ResponseRecordType_Track = 4,
    ResponseRecordType_ChatHeader = 5,
    ResponseRecordType_ChatRow = 6,
    ResponseRecordType_DirectoryHeader = 7,
    ResponseRecordType_DirectoryStation = 8,
    ResponseRecordType_UpdateData = 253,
    ResponseRecordType_UpdateHeader = 254,
    ResponseRecordType_UpdateInformation = 255,
};

// Reads the fields of one record in order. Each Read answers false, and reads nothing, when the field
// would run past the end of the record.
class RecordReader {
public:
    // The most UTF-16 units a text may take; a text that needs more is read as empty.
    static constexpr std::size_t kMaxTextUnits = 1999;

    RecordReader(const char* data, std::size_t length) : data_(data), length_(length) {}

    bool ReadByte(std::uint8_t& out);
    bool ReadUInt16(std::uint16_t& out);
    bool ReadInt32(std::int32_t& out);
    bool ReadUInt32(std::uint32_t& out);
    // A UTF-8 text converted to UTF-16: ill-formed sequences become U+FFFD, the text ends at its first
    // zero unit (as a zero-terminated wide text does), and one needing more than kMaxTextUnits is empty.
    bool ReadText(std::u16string& out);
    // A text that is checked against the record but not kept.
    bool SkipText();
    // A byte string, copied as it is (zero bytes included).
    bool ReadByteString(std::string& out);

    bool atEnd() const { return position_ == length_; }

private:
    bool Take(std::size_t count, const char** out);
    bool TakeCounted(std::string_view& out);

    const char* data_;
    std::size_t length_;
    std::size_t position_ = 0;
};

enum class RecordFrame { Complete, Incomplete, Invalid };

struct ResponseRecord {
    std::uint8_t type = 0;
    RecordReader fields{nullptr, 0};
    std::size_t size = 0; // bytes of the whole record, length field included
};

// Frames the record at the front of `data`: Incomplete until its 2 + L bytes have arrived, Invalid when L
// is outside 1 to 2048 (a record must at least hold its type byte).
RecordFrame FrameRecord(const char* data, std::size_t available, ResponseRecord& out);
