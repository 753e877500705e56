#include "StationFixtures.h"

#include <atomic>
#include <chrono>
#include <fstream>

namespace stationtest {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("vantri-station-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string SilentMp3Bytes(std::size_t frames) {
    std::string bytes;
    bytes.reserve(frames * kSilentFrameBytes);
    for (std::size_t i = 0; i < frames; ++i) {
        std::string frame(kSilentFrameBytes, '\0');
        frame[0] = '\xFF';
        frame[1] = '\xFB';
        frame[2] = '\x90';
        frame[3] = '\x64';
        frame[kSilentFrameBytes - 1] = static_cast<char>(i & 0xFF);
        bytes += frame;
    }
    return bytes;
}

void WriteSilentMp3(const fs::path& path, std::size_t frames) {
    WriteText(path, SilentMp3Bytes(frames));
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void MakeSmallArchive(const fs::path& root) {
    WriteText(root / "server.conf", "update-version = 20\nupdate-installer = updates/VantriUpdate.exe\n");
    std::string installer;
    for (int i = 0; i < 5000; ++i)
        installer.push_back(static_cast<char>(i * 7));
    WriteText(root / "updates/VantriUpdate.exe", installer);

    const fs::path one = root / "stations/1";
    WriteText(one / "station.conf", "name = Radio One\ndescription = Mixes from the archive\n");
    WriteText(one / "streams/1/stream.conf", "start = 2024-03-03 20:00:00\nduration = 0:00:03\ntype = 2\n"
                                             "text1 = Friday Mix\ntext2 = DJ Test\ntext3 = House\n"
                                             "channel = #radio\nextra1 = 7\nextra2 = -3\n");
    WriteSilentMp3(one / "streams/1/recording.mp3", 100);
    WriteText(one / "streams/1/tracks.txt", "# start\tkind\tartist\ttitle\n"
                                            "0:00:00\ttalk\tDJ Test\tWelcome\t0:00:01\t0\n"
                                            "0:00:01\tmusic\tArtist A\tFirst Song\t0:00:03\t1\n");
    WriteText(one / "streams/1/chat.txt", "-0:00:05\tjoin\talice\n"
                                          "0:00:01\tmessage\talice\thello\n"
                                          "0:00:02\tmode\top\t+o\talice\n");
    WriteText(one / "streams/2/stream.conf", "start = 2024-03-10 20:00:00\n");
    WriteSilentMp3(one / "streams/2/recording.mp3", 40);

    const fs::path five = root / "stations/5";
    WriteText(five / "station.conf", "name = Night Shift\npath = /night/\n");
    WriteText(five / "streams/3/stream.conf", "start = 2024-01-01 00:00:00\nduration = 60\ntext1 = Late\n");
    WriteSilentMp3(five / "streams/3/recording.mp3", 20);
}

} // namespace stationtest
