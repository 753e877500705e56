#pragma once
// An Icecast (or SHOUTcast) listener stream as it arrives: the response head, then the MP3 bytes with a
// metadata block after every `icy-metaint` bytes. The metadata blocks are taken out; what is left is the
// stream byte for byte as the source sent it, and each block's StreamTitle is handed on.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station::record {

struct IcyHead {
    int status = 0;          // 200 when the mount is there, 404 when it is not
    std::string reason;      // the status line's text
    std::size_t metaint = 0; // audio bytes between metadata blocks; 0 when the server sends none
    std::string name;        // icy-name
    std::string contentType; // Content-Type
};

class IcySink {
public:
    virtual ~IcySink() = default;
    virtual void OnAudio(std::string_view bytes) = 0;
    // The title a metadata block carries (UTF-8; Latin-1 titles converted); empty blocks are not passed.
    virtual void OnTitle(const std::string& title) = 0;
};

class IcyStream {
public:
    // Heads longer than this are refused (bytes).
    static constexpr std::size_t kMaxHeadBytes = 16384;

    // Takes the next bytes of the connection. Answers false once the stream cannot be read (a bad head,
    // a head past its limit); error() says why. Audio and titles go to `sink` as they are found.
    bool Feed(std::string_view bytes, IcySink& sink);

    // The head, once it arrived whole.
    const std::optional<IcyHead>& head() const { return head_; }
    const std::string& error() const { return error_; }

private:
    bool ParseHead(std::string_view text);

    std::string headText_;
    std::optional<IcyHead> head_;
    std::string error_;
    std::size_t untilMeta_ = 0; // audio bytes before the next metadata length byte
    std::size_t metaLeft_ = 0;  // bytes of the current metadata block still to come
    bool inMeta_ = false;
    std::string meta_;
};

// The StreamTitle of a metadata block ("StreamTitle='Artist - Title';StreamUrl='';"), if it has one.
std::optional<std::string> StreamTitleOf(std::string_view metadata);
// "Artist - Title" split at the first " - "; without one the artist is empty.
void SplitTitle(std::string_view title, std::string& artist, std::string& name);

} // namespace station::record
