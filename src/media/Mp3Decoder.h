#pragma once
// One libmpg123 decoder in feed mode, made to deliver 44,100 Hz 16-bit stereo for every stream: its
// format table allows only that, so libmpg123 duplicates mono channels and resamples other rates itself.
// Failures are reported with the media thread's error boxes; libmpg123 itself prints nothing.

#include <cstddef>
#include <cstdint>
#include <memory>

struct mpg123_handle_struct;
struct Mp3DataBlock;

// Decoder answers the media thread relies on (libmpg123's own values).
constexpr int kMpg123Ok = 0;
constexpr int kMpg123NeedMore = -10;
constexpr int kMpg123NewFormat = -11;

// Initialises libmpg123 for the process; call before the first decoder (the media thread's start).
void Mp3DecoderLibraryInit();

class Mp3Decoder {
public:
    // Makes a decoder into `decoder` (replacing the one there) and starts it on one block. Answers 1 when
    // the block gave the stream's format, 0 when the decoder needs more data before it knows the format
    // (the block's data is then inside it), -1 on a failure that has already been reported. `decoder`
    // stays null only when libmpg123 could not make one.
    static int Start(const Mp3DataBlock& block, std::unique_ptr<Mp3Decoder>& decoder);

    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Decodes into `out`, at most `room` bytes; `done` receives the bytes written. Answers kMpg123Ok when
    // `out` is full, kMpg123NeedMore when the decoder wants input, anything else on a fault.
    int Read(std::uint8_t* out, std::size_t room, std::size_t& done);
    // Hands MP3 bytes to the decoder's input.
    void Feed(const std::uint8_t* data, std::size_t size);

private:
    explicit Mp3Decoder(mpg123_handle_struct* handle) : handle_(handle) {}

    mpg123_handle_struct* handle_;
};
