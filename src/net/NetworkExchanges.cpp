#include "net/NetworkExchanges.h"

#include "net/MyNetworkHandlerMessages.h"

// This build has no concrete exchanges: every request is dropped by the network thread.
std::unique_ptr<MyNetworkPacketBase> MakeNetworkExchange(MyAppContext*, const MyNetworkHandlerMessage&,
                                                         std::shared_ptr<const StationConnectionData>) {
    return nullptr;
}
