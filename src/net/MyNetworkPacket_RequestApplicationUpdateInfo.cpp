#include "net/MyNetworkPacket_RequestApplicationUpdateInfo.h"

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "net/ResponseLimits.h"
#include "net/ServerAddresses.h"
#include "records/ProgramVersion.h"

namespace {

constexpr const char* kNormalTail = " HTTP/1.1\r\n";
constexpr const char* kDebugTail = "&debug HTTP/1.1\r\n";

std::string PathAndQuery() {
    return "getvantriversioninfo/version" + std::to_string(kProgramVersion);
}

} // namespace

MyNetworkPacket_RequestApplicationUpdateInfo::MyNetworkPacket_RequestApplicationUpdateInfo(
    MyAppContext* context)
    : MyNetworkPacket_RequestApplicationUpdateInfo(context, UpdateServerConnectionData()) {}

MyNetworkPacket_RequestApplicationUpdateInfo::MyNetworkPacket_RequestApplicationUpdateInfo(
    MyAppContext* context, StationConnectionData updateServer)
    : MyNetworkPacketBase(context, NetworkPacketType_RequestApplicationUpdateInfo) {
    connectionData = std::make_shared<const StationConnectionData>(std::move(updateServer));
    SetBodyLimit(kMaxUpdateInfoBodyBytes);
}

bool MyNetworkPacket_RequestApplicationUpdateInfo::SendRequest() {
    return SendRequestText(PathAndQuery(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestApplicationUpdateInfo::RequestText() const {
    return ComposeRequest(PathAndQuery(), kNormalTail, kDebugTail);
}

int MyNetworkPacket_RequestApplicationUpdateInfo::HandleData(const char* data, int length) {
    if (length < 2)
        return 0;
    const std::uint16_t recordLength = static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[0]) |
                                                                  static_cast<std::uint8_t>(data[1]) << 8);
    if (recordLength > kMaxRecordLength)
        return -1;
    if (length < recordLength + 2)
        return 0;
    // The record must hold its type, version byte and version number.
    if (recordLength < 6)
        return -1;
    const auto type = static_cast<std::uint8_t>(data[2]);
    const auto version = static_cast<std::uint8_t>(data[3]);
    if (type != ResponseRecordType_UpdateInformation || version != kUpdateFormatVersion)
        return -1;
    newestVersion_ = 0;
    for (int i = 3; i >= 0; --i)
        newestVersion_ = newestVersion_ << 8 | static_cast<std::uint8_t>(data[4 + i]);
    if (newestVersion_ > static_cast<std::uint32_t>(kProgramVersion) && context && context->callbacks)
        context->callbacks->NewApplicationVersion(newestVersion_);
    resultDelivered = true;
    Disconnect(NETWORKERROR_NONE);
    return -1;
}
