// Arbitrary bytes, split arbitrarily, offered to the update download parser. The download goes to a
// folder of the fuzzer's own; no input can carry a valid signature, so nothing ever runs, and every file
// the parser makes must be gone when the exchange is.

#include "CatalogueFuzzing.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateDownload.h"

#include <cstdlib>
#include <filesystem>

namespace {

std::filesystem::path& Folder() {
    static std::filesystem::path folder;
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::InstallSilentBoxes();
    Folder() = std::filesystem::temp_directory_path() / ("vantri-fuzz-update-" + std::to_string(std::rand()));
    std::filesystem::create_directories(Folder());
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(Folder(), error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        fuzzing::Threads threads;
        MyNetworkPacket_RequestApplicationUpdateDownload::Options options;
        options.downloadFolder = Folder().u16string();
        options.programFolder = u"/nonexistent/";
        options.publicKeys = {"RWS5ns2hCW71siCaBPIXZq4XJO+YEpIQhpjtSgqQqLETWTdvsT/Yf7Og"};
        MyNetworkPacket_RequestApplicationUpdateDownload exchange(
            &threads.context, StationConnectionData("update.example"), options);
        fuzzing::Feed(exchange, data, size);
        exchange.Disconnect(NETWORKERROR_NONE);
        if (exchange.installerStarted())
            std::abort();
    }
    if (!std::filesystem::is_empty(Folder()))
        std::abort(); // a download that did not verify left a file behind
    return 0;
}
