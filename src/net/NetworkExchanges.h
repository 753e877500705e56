#pragma once
// The concrete exchanges the network thread can build, by request message. The network thread checks
// the station connection table first (types 0 to 3 need a record) and then asks here for the exchange.

#include "net/MyNetworkPacketBase.h"

#include <memory>

class MyNetworkHandlerMessage;

// Builds the exchange for `message` (types 0 to 4 and 6 to 8). `station` is the station's record for types
// 0 to 3 and 8 and null otherwise. Answers null for a type this build has no exchange for yet.
std::unique_ptr<MyNetworkPacketBase>
MakeNetworkExchange(MyAppContext* context, const MyNetworkHandlerMessage& message,
                    std::shared_ptr<const StationConnectionData> station);
