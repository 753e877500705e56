// Fuzzes the recorder's reading of an Icecast listener stream (head, audio and metadata blocks), fed in
// pieces whose sizes the input picks, and its MP3 frame clock on the audio: no crash, the audio handed on
// never longer than the input, every title valid UTF-8.

#include "Text.h"
#include "record/IcyStream.h"
#include "record/Mp3FrameClock.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

struct Sink : station::record::IcySink {
    std::size_t audio = 0;
    station::record::Mp3FrameClock clock;
    void OnAudio(std::string_view bytes) override {
        audio += bytes.size();
        clock.Feed(bytes);
    }
    void OnTitle(const std::string& title) override {
        if (!IsValidUtf8(title))
            std::abort();
        std::string artist;
        std::string name;
        station::record::SplitTitle(title, artist, name);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    station::record::IcyStream stream;
    Sink sink;
    for (std::size_t at = 0; at < input.size(); at += piece)
        if (!stream.Feed(input.substr(at, piece), sink))
            break;
    if (sink.audio > input.size() || sink.clock.seconds() < 0)
        std::abort();
    return 0;
}
