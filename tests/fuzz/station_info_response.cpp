// Arbitrary bytes, split arbitrarily, offered to the RequestStationInfo response parser.

#include "CatalogueFuzzing.h"
#include "net/MyNetworkPacket_RequestStationInfo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::InstallSilentBoxes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Threads threads;
    MyNetworkPacket_RequestStationInfo exchange(&threads.context, fuzzing::Station(), 5);
    fuzzing::Feed(exchange, data, size);
    return 0;
}
