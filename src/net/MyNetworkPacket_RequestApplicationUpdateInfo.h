#pragma once
// Asks the update server for the newest program version ("getvantriversioninfo/version19") and, when it
// is above this program's, tells the main window, which asks the user.
//
// Response: one record of 8 bytes: L = 6, type 255, format version byte 1, newest version (int32).
// Unlike the catalogue parsers, a record of another type or version, or a bad length, only stops parsing
// without an error box; the exchange then ends when the server closes.

#include "net/MyNetworkPacketBase.h"
#include "records/WireFormat.h"

#include <string>

class MyNetworkPacket_RequestApplicationUpdateInfo : public MyNetworkPacketBase {
public:
    // Asks the configured update server.
    explicit MyNetworkPacket_RequestApplicationUpdateInfo(MyAppContext* context);
    MyNetworkPacket_RequestApplicationUpdateInfo(MyAppContext* context, StationConnectionData updateServer);

    bool SendRequest() override;
    int HandleData(const char* data, int length) override;
    // The exact request text SendRequest sends.
    std::string RequestText() const;

    std::uint32_t newestVersion() const { return newestVersion_; }

private:
    std::uint32_t newestVersion_ = 0;
};
