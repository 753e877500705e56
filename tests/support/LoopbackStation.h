#pragma once
// A station server on loopback serving one show, in this process: vantri-station's HTTP server over an
// archive built in memory. For tests and benchmarks that link the station server's library.

#include "Archive.h"
#include "Catalogue.h"
#include "HttpServer.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace testsupport {

struct LoopbackShow {
    std::int32_t stationId = 1;
    std::int32_t streamId = 7;
    std::string recording;      // the MP3 file
    std::uint32_t duration = 0; // seconds
    std::int32_t startTime = 1700000000;
    bool chunked = false;
    std::int32_t streams = 1;     // streams streamId, streamId + 1, ... all of the same recording
    std::uint16_t publicPort = 0; // the port the directory names (a proxy's); 0: the server's own
    // Chat lines of every stream besides its two: "line N of the interview" by carol, spread evenly over
    // the show.
    std::int32_t interviewLines = 0;
};

class LoopbackStation {
public:
    explicit LoopbackStation(const LoopbackShow& show) {
        station::Archive archive;
        archive.root = std::filesystem::path(show.recording).parent_path();
        station::Station& st = archive.stations[show.stationId];
        st.id = show.stationId;
        st.name = "Loopback FM";
        st.basePath = station::DefaultBasePath(show.stationId);
        for (std::int32_t n = 0; n < show.streams; ++n)
            AddStream(st, show, show.streamId + n);
        auto catalogue = station::Catalogue::Build(std::move(archive));
        if (!catalogue)
            return;
        station::ServerOptions options;
        options.chunked = show.chunked;
        options.threads = 1;
        options.publicPort = show.publicPort;
        auto server = station::HttpServer::Start(*catalogue, options);
        if (server)
            server_ = std::move(*server);
    }

    bool running() const { return server_ != nullptr; }
    std::uint16_t port() const { return server_ ? server_->port() : 0; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }

    std::uint64_t size = 0; // bytes of the recording

private:
    void AddStream(station::Station& st, const LoopbackShow& show, std::int32_t id) {
        station::Stream& stream = st.streams[id];
        stream.id = id;
        stream.startTime = show.startTime;
        stream.duration = show.duration;
        std::error_code error;
        stream.size = std::filesystem::file_size(show.recording, error);
        stream.recording = show.recording;
        stream.text1 = "Tone show";
        stream.text2 = "Test host";
        stream.tracks = {{0, 0, 0, false, "First", "Tone"}, {10, 0, 0, false, "Second", "Tone"}};
        stream.hasChat = true;
        stream.chat = {{2, 1, {"alice", "hello"}}, {12, 3, {"bob"}}};
        for (std::int32_t i = 0; i < show.interviewLines; ++i)
            stream.chat.push_back({static_cast<std::int32_t>(static_cast<std::int64_t>(i) * show.duration /
                                                             show.interviewLines),
                                   1,
                                   {"carol", "line " + std::to_string(i) + " of the interview"}});
        std::stable_sort(stream.chat.begin(), stream.chat.end(),
                         [](const auto& a, const auto& b) { return a.time < b.time; });
        size = stream.size;
    }

    std::unique_ptr<station::HttpServer> server_;
};

} // namespace testsupport
