#pragma once
// The record framing every catalogue response body uses, and a reader for the fields of one record.
//
// Every field is read inside its record: a field that runs past the record's end makes the record
// invalid, and so does a record whose fields do not fill it exactly.

#include "records/WireFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reads the fields of one record in order. Each Read answers false, and reads nothing, when the field
// would run past the end of the record.
class RecordReader {
public:
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
