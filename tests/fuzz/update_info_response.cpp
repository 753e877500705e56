// Arbitrary bytes, split arbitrarily, offered to the update information response parser.

#include "CatalogueFuzzing.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateInfo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::InstallSilentBoxes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Threads threads;
    MyNetworkPacket_RequestApplicationUpdateInfo exchange(&threads.context,
                                                          StationConnectionData("update.example"));
    fuzzing::Feed(exchange, data, size);
    return 0;
}
