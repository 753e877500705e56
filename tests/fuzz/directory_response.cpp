// Arbitrary bytes, split arbitrarily, offered to the RequestStationsConnectionData response parser.

#include "CatalogueFuzzing.h"
#include "net/MyNetworkPacket_RequestStationsConnectionData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::InstallSilentBoxes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Threads threads;
    MyNetworkPacket_RequestStationsConnectionData exchange(&threads.context,
                                                           StationConnectionData("dir.example"));
    fuzzing::Feed(exchange, data, size);
    return 0;
}
