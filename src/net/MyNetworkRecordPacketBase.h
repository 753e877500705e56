#pragma once
// The common body parser of the catalogue exchanges (directory, station information, track list, chat
// rows): it takes whole records off the front of the body and hands each to the concrete class, and ends
// the exchange when a record completes the result or is bad. A partial record stays in the receive
// buffer until the rest has arrived.

#include "net/MyNetworkPacketBase.h"
#include "net/ResponseRecords.h"

#include <memory>
#include <vector>

class MyMediaHandler;
class MyMessageBase;

class MyNetworkRecordPacketBase : public MyNetworkPacketBase {
public:
    using MyNetworkPacketBase::MyNetworkPacketBase;

    // Answers the bytes of the whole records consumed, or -1 once the exchange has ended.
    int HandleData(const char* data, int length) final;
    // Before the exchange starts: every whole record taken is appended to `records` too (a kept show's
    // track list or chat, to be read again without the network). The caller keeps it while the exchange
    // lives.
    void KeepRecordsIn(std::vector<std::uint8_t>* records) { records_ = records; }

private:
    std::vector<std::uint8_t>* records_ = nullptr;

protected:
    enum RecordOutcome {
        RecordOutcome_Next,         // go on with the next record
        RecordOutcome_Delivered,    // the result has been handed on; end normally
        RecordOutcome_InvalidData,  // bad fields or a type this response does not use
        RecordOutcome_WrongVersion, // a format version this client does not read
    };

    // Takes one complete record; `record.fields` starts after the type byte. A record whose fields do not
    // fill it exactly is invalid: the class checks record.fields.atEnd() before it acts on the record.
    virtual RecordOutcome HandleRecord(ResponseRecord& record) = 0;

    // Where results go; null when the context names no thread.
    MyMediaHandler* mediaHandler() const;
};
