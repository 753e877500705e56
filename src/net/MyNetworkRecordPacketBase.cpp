#include "net/MyNetworkRecordPacketBase.h"

#include "app/MyAppContext.h"

int MyNetworkRecordPacketBase::HandleData(const char* data, int length) {
    std::size_t consumed = 0;
    const std::size_t available = length > 0 ? static_cast<std::size_t>(length) : 0;
    for (;;) {
        ResponseRecord record;
        RecordFrame frame = FrameRecord(data + consumed, available - consumed, record);
        if (frame == RecordFrame::Incomplete)
            return static_cast<int>(consumed);
        RecordOutcome outcome =
            frame == RecordFrame::Invalid ? RecordOutcome_InvalidData : HandleRecord(record);
        if (records_ && (outcome == RecordOutcome_Next || outcome == RecordOutcome_Delivered)) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(data + consumed);
            records_->insert(records_->end(), bytes, bytes + record.size);
        }
        switch (outcome) {
        case RecordOutcome_Next:
            consumed += record.size;
            break;
        case RecordOutcome_Delivered:
            Disconnect(NETWORKERROR_NONE);
            return -1;
        case RecordOutcome_InvalidData:
            Disconnect(NETWORKERROR_INVALIDDATA);
            return -1;
        case RecordOutcome_WrongVersion:
            Disconnect(NETWORKERROR_WRONGVERSION);
            return -1;
        }
    }
}

MyMediaHandler* MyNetworkRecordPacketBase::mediaHandler() const {
    return context ? context->mediaHandler : nullptr;
}
