// Arbitrary bytes, split arbitrarily, offered to the RequestTrackInfoList response parser.

#include "CatalogueFuzzing.h"
#include "net/MyNetworkPacket_RequestTrackInfoList.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::InstallSilentBoxes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Threads threads;
    MyNetworkPacket_RequestTrackInfoList exchange(&threads.context, fuzzing::Station(), 5, 77);
    fuzzing::Feed(exchange, data, size);
    return 0;
}
